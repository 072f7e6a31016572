#include "Language.h"

#include "IniFile.h"
#include "SystemError.h"
#include "Utils.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTranslator>
#include <QTreeWidget>
#include <QVariant>

#include <limits>
#include <utility>

namespace orvid {

namespace {

const char* const kTagProperty = "langTag";
const char* const kIndexProperty = "ctrlIndex";
// Set on a window once its design-time texts are kept, so switching languages several
// times always translates from the German originals.
const char* const kStoredProperty = "langStored";
const QString kNoLang = QStringLiteral("NOLANG");
const QString kGermanHelp = QStringLiteral("ORVIDGER.HLP");

struct BuiltInMessage {
    int16_t number;
    const char16_t* text;
};

// The German texts of the numbered messages. A backslash followed by "n" is kept as two
// characters here and becomes a line break when the message is shown.
const BuiltInMessage kMessages[] = {
    {1, u"Das Programm konnte kein Orvidsystem detektieren!"},
    {2, u"Fehler bei der Initialisierung der seriellen Schnittstelle!"},
    {3, u"Fehler beim Schreiben der Initialisierungsdaten!"},
    {4, u"Fehler: Der Code/Datenträger konnte nicht beschrieben werden."},
    {5, u"In der Datenausgabe sind keine gültigen Daten vorhanden."},
    {6, u"Fehler beim Schreiben der Logdatei!\\n\\n%s"},
    {7, u"Fehler beim Herstellen der Verbinung zu <%s>.\r\nFehler: %s"},
    {8, u"Fehler bei der Datenübertragung zu <%s>.\r\nFehler: %s"},
    {9, u"Die Hilfedatei %s ist nicht vorhanden."},
    {20, u"Fehler bei der Datenumwandlung!"},
    {40, u"Fehler: QTX 02 unterstützt nur Fixcode"},
    {41, u"Fehler: QTX 01 unterstützt keinen Fixcode"},
    {50, u"ORVID.EXE konnte die Orvid-M System L Parameter nicht lesen!\r\nSie können nur eingeschränkte Funktionalität nutzen."},
    {51, u"Orvid-M System L befindet sich in der Bertriebsart Normal.\r\nIn dieser Betriebsart stehen Ihnen nicht alle Funktionen zur Verfügung.\r\nÄndern Sie die Betriebsart auf Morsek um die volle Funktionalität zu nutzen."},
    {52, u"Fixcode %s aus der Datenbank löschen?"},
    {53, u"Wählen Sie einen Fixcode aus der Liste!"},
    {60, u"Das neue und das wiederholte Passwort stimmen nicht überein!\r\nBitte überprüfen Sie Ihre Eingabe."},
    {61, u"Die Konfiguration konnte nicht oder nur teilweise gelesen werden."},
    {62, u"Dieser Datenträger kann nur einmal mit einem Fixcode beschrieben werden.\r\nWollen Sie den Vorgang fortsetzten?"},
    {63, u"Leseschutz darf nur für Adressen größer 2 aktiviert werden!"},
    {64, u"Das letzte lese geschützte Wort ist kleiner als das erste lese geschützte Wort!"},
    {65, u"Schreibschutz darf nur für Adressen größer 2 aktiviert werden!"},
    {66, u"Das letzte schreib geschützte Wort ist kleiner als das erste schreib geschützte Wort!"},
    {70, u"Es sind nur Werte zwischen 01 und 99 erlaubt."},
    {71, u"Es sind nur Werte zwischen 1 und 4 erlaubt."},
    {80, u"Sie müssen mindestens einen Kanal auswählen!"},
    {81, u"Der Wert der Variable <%s> muss im Bereich von %s bis %s liegen."},
    {82, u"Wollen Sie den Lesekopf auf Werkseinstellungen zurücksetzen?"},
};

enum class Kind {
    None,
    Label,
    CommandButton,
    CheckOrOption,
    Frame,
    Menu,
    Action,
    Combo,
    Tabs,
    ListView,
    Window,
};

Kind KindOf(QObject* o)
{
    if (qobject_cast<QAction*>(o))
        return Kind::Action;
    QWidget* w = qobject_cast<QWidget*>(o);
    if (!w)
        return Kind::None;
    if (qobject_cast<QLabel*>(w))
        return Kind::Label;
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
        return Kind::CheckOrOption;
    if (qobject_cast<QAbstractButton*>(w))
        return Kind::CommandButton;
    if (qobject_cast<QGroupBox*>(w))
        return Kind::Frame;
    if (qobject_cast<QMenu*>(w))
        return Kind::Menu;
    if (qobject_cast<QComboBox*>(w))
        return Kind::Combo;
    if (qobject_cast<QTabWidget*>(w))
        return Kind::Tabs;
    if (qobject_cast<QTabBar*>(w))
        return qobject_cast<QTabWidget*>(w->parentWidget()) ? Kind::None : Kind::Tabs;
    if (qobject_cast<QTreeWidget*>(w) || qobject_cast<QTableWidget*>(w))
        return Kind::ListView;
    return Kind::None;
}

// Widgets that start a window of their own: their controls belong to that window, not
// to the one being walked (an MDI child inside the main window, a dialog owned by it).
bool StartsOwnWindow(const QWidget* w)
{
    if (qobject_cast<const QMdiSubWindow*>(w) || qobject_cast<const QMdiSubWindow*>(w->parentWidget()))
        return true;
    return w->isWindow() && !qobject_cast<const QMenu*>(w);
}

// Composite widgets whose inner widgets are theirs, not controls of the window.
bool IsComposite(const QObject* o)
{
    return qobject_cast<const QTabBar*>(o) || qobject_cast<const QComboBox*>(o)
           || qobject_cast<const QAbstractItemView*>(o) || qobject_cast<const QAbstractSpinBox*>(o)
           || qobject_cast<const QLineEdit*>(o);
}

bool IsInternalName(const QString& name)
{
    return name.isEmpty() || name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1String("_q_"));
}

bool BelongsTo(QObject* control, QWidget* window)
{
    for (QObject* p = control; p; p = p->parent()) {
        if (p == window)
            return true;
        if (auto* w = qobject_cast<QWidget*>(p); w && StartsOwnWindow(w))
            return false;
        if (p != control && IsComposite(p))
            return false;
    }
    return false;
}

QList<QObject*> TranslatableControls(QWidget* window)
{
    QList<QObject*> result;
    if (!window)
        return result;
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (KindOf(w) != Kind::None && !IsInternalName(w->objectName()) && BelongsTo(w, window))
            result.append(w);
    }
    const auto actions = window->findChildren<QAction*>();
    for (QAction* a : actions) {
        if (!IsInternalName(a->objectName()) && BelongsTo(a, window))
            result.append(a);
    }
    return result;
}

QString TagOf(const QObject* o)
{
    return o->property(kTagProperty).toString();
}

void SetTag(QObject* o, const QString& tag)
{
    o->setProperty(kTagProperty, tag);
}

QString IndexText(const QObject* o)
{
    const QVariant v = o->property(kIndexProperty);
    bool ok = false;
    const int index = v.toInt(&ok);
    return v.isValid() && ok ? QString::number(index) : QString();
}

// A stored list "a|b|c|" back into its parts.
QStringList StoredParts(const QString& stored)
{
    QStringList parts = stored.split(QLatin1Char('|'));
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts;
}

QString JoinedList(const QStringList& items)
{
    QString joined;
    for (const QString& item : items)
        joined += item + QLatin1Char('|');
    return joined;
}

std::pair<QString, QString> SplitCaption(const QString& text)
{
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return {text, QString()};
    return {text.left(bar), text.mid(bar + 1)};
}

QStringList TabTexts(QObject* o)
{
    QStringList texts;
    if (auto* tw = qobject_cast<QTabWidget*>(o)) {
        for (int i = 0; i < tw->count(); ++i)
            texts << tw->tabText(i);
    } else if (auto* tb = qobject_cast<QTabBar*>(o)) {
        for (int i = 0; i < tb->count(); ++i)
            texts << tb->tabText(i);
    }
    return texts;
}

void SetTab(QObject* o, int i, const QString& caption, const QString& tip)
{
    if (auto* tw = qobject_cast<QTabWidget*>(o)) {
        tw->setTabText(i, caption);
        if (!tip.isEmpty())
            tw->setTabToolTip(i, tip);
    } else if (auto* tb = qobject_cast<QTabBar*>(o)) {
        tb->setTabText(i, caption);
        if (!tip.isEmpty())
            tb->setTabToolTip(i, tip);
    }
}

QStringList HeaderTexts(QObject* o)
{
    QStringList texts;
    if (auto* tree = qobject_cast<QTreeWidget*>(o)) {
        if (QTreeWidgetItem* h = tree->headerItem()) {
            for (int c = 0; c < tree->columnCount(); ++c)
                texts << h->text(c);
        }
    } else if (auto* table = qobject_cast<QTableWidget*>(o)) {
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem* h = table->horizontalHeaderItem(c);
            texts << (h ? h->text() : QString());
        }
    }
    return texts;
}

void SetHeader(QObject* o, int c, const QString& text)
{
    if (auto* tree = qobject_cast<QTreeWidget*>(o)) {
        if (QTreeWidgetItem* h = tree->headerItem())
            h->setText(c, text);
    } else if (auto* table = qobject_cast<QTableWidget*>(o)) {
        if (QTableWidgetItem* h = table->horizontalHeaderItem(c))
            h->setText(text);
        else
            table->setHorizontalHeaderItem(c, new QTableWidgetItem(text));
    }
}

QString CaptionOf(QObject* o, Kind kind)
{
    switch (kind) {
    case Kind::Label: return static_cast<QLabel*>(o)->text();
    case Kind::CommandButton:
    case Kind::CheckOrOption: return static_cast<QAbstractButton*>(o)->text();
    case Kind::Frame: return static_cast<QGroupBox*>(o)->title();
    case Kind::Menu: return static_cast<QMenu*>(o)->title();
    case Kind::Action: return static_cast<QAction*>(o)->text();
    case Kind::Window: return static_cast<QWidget*>(o)->windowTitle();
    default: return QString();
    }
}

void SetCaption(QObject* o, Kind kind, const QString& caption, const QString& tip)
{
    switch (kind) {
    case Kind::Label: static_cast<QLabel*>(o)->setText(caption); break;
    case Kind::CommandButton:
    case Kind::CheckOrOption: static_cast<QAbstractButton*>(o)->setText(caption); break;
    case Kind::Frame: static_cast<QGroupBox*>(o)->setTitle(caption); break;
    case Kind::Menu: static_cast<QMenu*>(o)->setTitle(caption); break;
    case Kind::Action: static_cast<QAction*>(o)->setText(caption); break;
    case Kind::Window:
        static_cast<QWidget*>(o)->setWindowTitle(caption);
        return; // a window shows no tooltip of its own
    default: return;
    }
    if (!tip.isEmpty()) {
        if (auto* a = qobject_cast<QAction*>(o))
            a->setToolTip(tip);
        else if (auto* w = qobject_cast<QWidget*>(o))
            w->setToolTip(tip);
    }
}

// The Qt language a language file's name stands for: the language whose English or own
// name it is ("English", "Deutsch", "Français"); AnyLanguage when none is.
QLocale::Language QtLanguageOf(const QString& name)
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return QLocale::AnyLanguage;
    for (int l = QLocale::C + 1; l <= QLocale::LastLanguage; ++l) {
        const auto language = static_cast<QLocale::Language>(l);
        if (QLocale::languageToString(language).compare(wanted, Qt::CaseInsensitive) == 0)
            return language;
        const QLocale locale(language);
        if (locale.language() == language
            && locale.nativeLanguageName().compare(wanted, Qt::CaseInsensitive) == 0)
            return language;
    }
    return QLocale::AnyLanguage;
}

// The kind of a control, or of a window when the object is none of the control kinds.
Kind KindOrWindow(QObject* o)
{
    const Kind kind = KindOf(o);
    if (kind == Kind::None && qobject_cast<QWidget*>(o))
        return Kind::Window;
    return kind;
}

} // namespace

struct Language::Impl {
    QString programDir;
    // Entries numbered from 1; entry 0 stays empty.
    QStringList names{QString(), QStringLiteral("Deutsch")};
    QStringList files{QString(), QString()};
    QStringList helpFiles{QString(), kGermanHelp};
    int16_t count = 1;
    int16_t index = 0;
    QString file;
    QString name = QStringLiteral("Deutsch");
    QString help = kGermanHelp;

    QtMessagePresenter qtPresenter;
    IMessagePresenter* presenter = &qtPresenter;

    // Qt's own texts in the program's language, one translation per Qt module: the buttons
    // of message boxes and the file dialog (qtbase), the serial port's error texts that the
    // status bar shows (qtserialport). Each is installed while one for the language is found.
    struct QtTexts {
        explicit QtTexts(const char* name) : module(name) {}
        const char* module;
        QTranslator translator;
        bool installed = false;
        QString file;
    };
    QtTexts qtBase{"qtbase"};
    QtTexts qtSerialPort{"qtserialport"};

    void selectQtTexts();
};

void Language::Impl::selectQtTexts()
{
    const QLocale::Language language = index == 0 ? QLocale::German : QtLanguageOf(name);
    for (QtTexts* texts : {&qtBase, &qtSerialPort}) {
        QString file;
        if (language != QLocale::AnyLanguage) {
            QTranslator probe;
            if (probe.load(QLocale(language), QLatin1String(texts->module), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                file = probe.filePath();
        }
        if (file == texts->file && texts->installed == !file.isEmpty())
            continue;
        if (texts->installed)
            QCoreApplication::removeTranslator(&texts->translator);
        texts->installed = false;
        texts->file = file;
        // Without a translation Qt shows its built-in English texts.
        if (!file.isEmpty() && texts->translator.load(file))
            texts->installed = QCoreApplication::installTranslator(&texts->translator);
    }
}

Language::Language(QString programDir) : d(std::make_unique<Impl>())
{
    d->programDir = std::move(programDir);
    // The program speaks its built-in German from the start, Qt's own texts too: a reason
    // Qt words (a settings file that cannot be read, at start-up before the language list
    // is loaded) reads as the ones after it do.
    d->selectQtTexts();
}

Language::~Language() = default;

void Language::setPresenter(IMessagePresenter* presenter)
{
    d->presenter = presenter ? presenter : &d->qtPresenter;
}

IMessagePresenter* Language::presenter() const
{
    return d->presenter;
}

void Language::LoadLanguageList()
{
    d->names = {QString(), QStringLiteral("Deutsch")};
    d->files = {QString(), QString()};
    d->helpFiles = {QString(), kGermanHelp};
    d->count = 1;

    // Sorted by name so the list has the same order on every system.
    const QDir dir(d->programDir);
    const QStringList entries = dir.entryList({QStringLiteral("ORVILANG.*")}, QDir::Files,
                                              QDir::Name | QDir::IgnoreCase);
    for (const QString& entry : entries) {
        if (d->count >= std::numeric_limits<int16_t>::max())
            break;
        const QString path = d->programDir + QLatin1Char('/') + entry;
        const QString name = ReadIni(path, QStringLiteral("ORVID"), QStringLiteral("Language"), QString());
        if (name.isEmpty())
            continue;
        d->names << name;
        d->files << path;
        d->helpFiles << ReadIni(path, QStringLiteral("ORVID"), QStringLiteral("Help"), kGermanHelp);
        ++d->count;
    }
    int16_t first = 0;
    SelectLanguage(first);
}

void Language::SelectLanguage(int16_t& index)
{
    if (index == -1) {
        index = d->index;
        return;
    }
    // An index outside the list (a stale combo position) leaves the language as it is.
    if (index < 0 || index >= d->count)
        return;
    d->index = index;
    d->name = d->names.at(index + 1);
    d->file = d->files.at(index + 1);
    d->help = d->helpFiles.at(index + 1);
    d->selectQtTexts();
}

QString Language::GetLanguageName(int16_t index) const
{
    if (index < 0)
        return d->name;
    if (index > d->count - 1)
        return QString();
    return d->names.at(index + 1);
}

void Language::SelectLanguageByCode(QString& name)
{
    if (name.isEmpty()) {
        name = d->name;
        return;
    }
    for (int16_t entry = 1; entry <= d->count; ++entry) {
        if (d->names.at(entry) == name) {
            int16_t index = static_cast<int16_t>(entry - 1);
            SelectLanguage(index);
            return;
        }
    }
}

int16_t Language::LanguageIndex() const
{
    return d->index;
}

int16_t Language::LanguageCount() const
{
    return d->count;
}

QString Language::LanguageFile() const
{
    return d->file;
}

QString Language::LanguageName() const
{
    return d->name;
}

QString Language::QtTranslationFile() const
{
    return d->qtBase.installed ? d->qtBase.file : QString();
}

QString Language::helpFile() const
{
    return d->programDir + QLatin1Char('/') + d->help;
}

QString Language::Translate(const QString& section, const QString& key, const QString& defaultText) const
{
    if (d->file.isEmpty() && d->index == 0)
        return defaultText;
    // An empty key would ask the reader for the section's key list.
    if (key.isEmpty() || section.isEmpty())
        return defaultText;
    return ReadIni(d->file, section, key, defaultText);
}

QString Language::SystemErrorText(int error) const
{
    const QString section = QStringLiteral("SystemErrors");
    const QString key = SystemErrorKey(error);
    return key.isEmpty() ? orvid::SystemErrorText(error, Translate(section, QStringLiteral("Other"), QString()))
                         : Translate(section, key, orvid::SystemErrorText(error));
}

void Language::StoreFormTexts(QWidget* window)
{
    for (QObject* control : TranslatableControls(window))
        StoreControlTexts(control);
}

void Language::TranslateForm(const QString& section, QWidget* window)
{
    for (QObject* control : TranslatableControls(window))
        TranslateControl(section, control);
}

void Language::StoreControlTexts(QObject* control)
{
    if (!control)
        return;
    const QString tag = TagOf(control);
    // Kept once: a filled tag already holds the design-time texts.
    if (tag == kNoLang || !tag.isEmpty())
        return;
    const Kind kind = KindOrWindow(control);
    switch (kind) {
    case Kind::Tabs:
        SetTag(control, JoinedList(TabTexts(control)));
        break;
    case Kind::ListView:
        SetTag(control, JoinedList(HeaderTexts(control)));
        break;
    case Kind::Window: {
        const QString title = CaptionOf(control, kind);
        SetTag(control, title.isEmpty() ? kNoLang : title);
        break;
    }
    case Kind::Combo: {
        auto* combo = static_cast<QComboBox*>(control);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        SetTag(control, JoinedList(items));
        break;
    }
    case Kind::CommandButton: {
        auto* button = static_cast<QAbstractButton*>(control);
        const QString tip = button->toolTip();
        SetTag(control, tip.isEmpty() ? button->text() : button->text() + QLatin1Char('|') + tip);
        break;
    }
    case Kind::None:
        break;
    default:
        SetTag(control, CaptionOf(control, kind));
        break;
    }
}

void Language::TranslateControl(const QString& section, QObject* control, const QString& defaults)
{
    if (!control)
        return;
    const QString tag = TagOf(control);
    const QString name = control->objectName();
    if (tag == kNoLang || name.startsWith(QLatin1String("lblCONST")) || name.isEmpty())
        return;
    const QString stored = defaults.isNull() ? tag : defaults;
    const QString base = name + IndexText(control);
    const Kind kind = KindOrWindow(control);

    switch (kind) {
    case Kind::Tabs: {
        // Tabs and column headers count from 1 in the keys, combo items from 0. Entries
        // added after the texts were kept have no stored default and keep their text.
        const QStringList parts = StoredParts(stored);
        const QStringList current = TabTexts(control);
        for (int i = 0; i < current.size(); ++i) {
            const QString def = i < parts.size() ? parts.at(i) : current.at(i);
            const auto [caption, tip] =
                SplitCaption(Translate(section, base + QString::number(i + 1), def));
            SetTab(control, i, caption, tip);
        }
        break;
    }
    case Kind::ListView: {
        const QStringList parts = StoredParts(stored);
        const QStringList current = HeaderTexts(control);
        for (int c = 0; c < current.size(); ++c) {
            const QString def = c < parts.size() ? parts.at(c) : current.at(c);
            SetHeader(control, c, Translate(section, base + QString::number(c + 1), def));
        }
        break;
    }
    case Kind::Combo: {
        auto* combo = static_cast<QComboBox*>(control);
        const QStringList parts = StoredParts(stored);
        for (int i = 0; i < combo->count(); ++i) {
            const QString def = i < parts.size() ? parts.at(i) : combo->itemText(i);
            combo->setItemText(i, Translate(section, base + QString::number(i), def));
        }
        break;
    }
    case Kind::None:
        break;
    default: {
        const auto [caption, tip] = SplitCaption(Translate(section, base, stored));
        SetCaption(control, kind, caption, tip);
        break;
    }
    }
}

void Language::StoreListTexts(QComboBox* list, QStringList& texts)
{
    texts.clear();
    if (!list)
        return;
    texts << QString();
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
}

void Language::TranslateListTexts(const QString& section, QComboBox* list, const QStringList& texts)
{
    if (!list)
        return;
    for (int i = 1; i <= list->count(); ++i) {
        // Items added after the texts were kept keep their own text as the default.
        const QString def = i < texts.size() ? texts.at(i) : list->itemText(i - 1);
        list->setItemText(i - 1, Translate(section, list->objectName() + QString::number(i - 1), def));
    }
}

void Language::ApplyWindowLanguage(QWidget* window)
{
    if (!window)
        return;
    if (!window->property(kStoredProperty).toBool()) {
        StoreControlTexts(window);
        StoreFormTexts(window);
        window->setProperty(kStoredProperty, true);
    }
    const QString section = window->objectName();
    TranslateControl(section, window);
    TranslateForm(section, window);
}

QString Language::GetMessageText(int16_t number) const
{
    const QString text = Translate(QStringLiteral("Errors"), QString::number(number), QString());
    if (!text.isEmpty())
        return text;
    for (const BuiltInMessage& m : kMessages) {
        if (m.number == number)
            return QString::fromUtf16(m.text);
    }
    return QString();
}

int Language::ShowMessage(int16_t number, int buttons, int helpContext, const QString& args)
{
    return present(number, buttons, helpContext, args, QString());
}

int Language::ShowMessageWithDetail(int16_t number, int buttons, const QString& detail)
{
    return present(number, buttons, 0, QString(), detail);
}

int Language::present(int16_t number, int buttons, int helpContext, const QString& args,
                      const QString& detail)
{
    MessageRequest request;
    request.number = number;
    request.args = args;
    request.title = Translate(QStringLiteral("frmMessage"), QStringLiteral("frmMessage"), QStringLiteral("Orvid"));
    QString text = GetMessageText(number);
    if (text.isEmpty()) {
        text = Translate(QStringLiteral("Errors"), QStringLiteral("Default"),
                         QStringLiteral("Programmfehler! Fehlernummer"))
               + QLatin1Char(' ') + QString::number(number);
    }
    if (!args.isNull())
        text = FormatArgs(text, args);
    request.text = ExpandNewlines(text);
    if (!detail.isEmpty())
        request.text += QStringLiteral("\r\r") + detail;
    // The box always shows the question icon: icon bits a caller passes along (such as
    // 36 for Yes/No with the question icon) are dropped rather than added up.
    request.buttons = buttons & ~0x70;
    request.helpContext = helpContext;
    if (helpContext != 0)
        request.helpFile = helpFile();
    // The box waits for the user, not for a device: no wait cursor over it, whichever
    // selection or exchange put one up (it is back when the box has closed).
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    const QCursor* shown = gui ? QGuiApplication::overrideCursor() : nullptr;
    const bool lift = shown && (shown->shape() == Qt::WaitCursor || shown->shape() == Qt::BusyCursor);
    if (lift)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = d->presenter->present(request);
    if (lift)
        QGuiApplication::restoreOverrideCursor();
    return answer;
}

} // namespace orvid
