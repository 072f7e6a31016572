#include "LanguageWalk.h"

#include "TestContext.h"
#include "foundations/Language.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace orvid::test {

const QString kWindowTitleKey = QStringLiteral("<title>");

namespace {

bool insideComposite(const QWidget* w, const QWidget* window)
{
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget()) {
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractItemView*>(p)
            || qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QLineEdit*>(p))
            return true;
    }
    return false;
}

bool excluded(const QObject* o, const QString& name)
{
    return o->property("langTag").toString() == QLatin1String("NOLANG")
        || name.startsWith(QLatin1String("lblCONST"));
}

QString keyOf(const QObject* o)
{
    const QVariant index = o->property("ctrlIndex");
    return index.isValid() ? o->objectName() + QString::number(index.toInt()) : o->objectName();
}

void insert(QMap<QString, QString>& captions, const QString& key, const QString& text)
{
    EXPECT_FALSE(captions.contains(key)) << "two controls answer to " << key.toStdString();
    captions.insert(key, text);
}

void addMenuEntries(QMap<QString, QString>& captions, QWidget* window)
{
    QList<QAction*> actions;
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        actions += bar->actions();
    for (QMenu* menu : window->findChildren<QMenu*>())
        actions += menu->actions();
    QSet<QAction*> seen;
    for (QAction* a : actions) {
        if (seen.contains(a) || a->isSeparator() || a->text().isEmpty())
            continue;
        seen.insert(a);
        if (excluded(a, a->objectName()))
            continue;
        if (a->objectName().isEmpty()) {
            ADD_FAILURE() << "a menu entry without a name shows \"" << a->text().toStdString() << '"';
            continue;
        }
        insert(captions, keyOf(a), a->text());
    }
}

} // namespace

QByteArray ShippedLanguageFile(const QString& name)
{
    const QString path = QDir(QStringLiteral(ORVID_SHIPPED_DATA_DIR)).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QByteArray InstallShippedLanguage(TestContext& tc)
{
    const QByteArray file = ShippedLanguageFile();
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"), file);
    tc.language->LoadLanguageList();
    return file;
}

QMap<QString, QString> CaptionsOf(QWidget* window, CaptionWalk walk)
{
    QMap<QString, QString> captions;
    captions.insert(kWindowTitleKey, window->windowTitle());
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        const QString name = w->objectName();
        if (insideComposite(w, window) || name.startsWith(QLatin1String("qt_")) || excluded(w, name))
            continue;
        if (auto* list = qobject_cast<QComboBox*>(w)) {
            if (!walk.listItems || list->isEditable())
                continue;
            for (int i = 0; i < list->count(); ++i)
                insert(captions, keyOf(w) + u'[' + QString::number(i) + u']', list->itemText(i));
            continue;
        }
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(w))
            text = frame->title();
        else
            continue;
        if (text.isEmpty())
            continue;
        if (name.isEmpty()) {
            ADD_FAILURE() << "a control without a name shows \"" << text.toStdString() << '"';
            continue;
        }
        insert(captions, keyOf(w), text);
    }
    if (walk.menuEntries)
        addMenuEntries(captions, window);
    return captions;
}

bool LooksGerman(const QString& text)
{
    for (const QChar c : {QChar(0xE4), QChar(0xF6), QChar(0xFC), QChar(0xC4), QChar(0xD6), QChar(0xDC), QChar(0xDF)}) {
        if (text.contains(c))
            return true;
    }
    return false;
}

QMap<QString, QString> LanguageRoundTrip(Language& language, QWidget* window,
                                         const std::function<void()>& setLanguage,
                                         const QSet<QString>& same, CaptionWalk walk)
{
    auto choose = [&language](const char* name) {
        QString wanted = QString::fromLatin1(name);
        language.SelectLanguageByCode(wanted);
        EXPECT_EQ(language.LanguageName(), wanted);
    };
    const std::string where = window->objectName().toStdString();
    const QMap<QString, QString> german = CaptionsOf(window, walk);
    choose("English");
    setLanguage();
    const QMap<QString, QString> translated = CaptionsOf(window, walk);
    EXPECT_EQ(translated.keys(), german.keys()) << where;
    for (auto it = german.cbegin(); it != german.cend(); ++it) {
        const QString now = translated.value(it.key());
        const std::string control = where + ' ' + it.key().toStdString();
        if (same.contains(it.key()))
            EXPECT_EQ(now, it.value()) << control;
        else
            EXPECT_NE(now, it.value()) << control << " has no English text";
        EXPECT_FALSE(LooksGerman(now)) << control << ": " << now.toStdString();
    }
    for (const QString& key : same)
        EXPECT_TRUE(german.contains(key)) << where << ": listed but not shown: " << key.toStdString();

    choose("Deutsch");
    setLanguage();
    EXPECT_EQ(CaptionsOf(window, walk), german) << where;
    return german;
}

} // namespace orvid::test
