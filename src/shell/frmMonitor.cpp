#include "frmMonitor.h"

#include "CharNames.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/Options.h"
#include "foundations/SaveFile.h"
#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"
#include "foundations/WindowPlacement.h"

#include <QAbstractListModel>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QHBoxLayout>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

namespace orvid {

// The rows the list view currently shows. frmMonitor keeps the authoritative entries and
// hands over what arrived since the last flush in one go.
class MonitorListModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_.size())
            return {};
        return rows_.at(index.row());
    }

    // Appends the new rows and drops the oldest beyond the cap: at most one removal and
    // one insertion per flush, or one reset when the whole list was replaced.
    void sync(const QList<QString>& added, bool replaceAll, const QList<QString>& all)
    {
        const qsizetype total = rows_.size() + added.size();
        const qsizetype drop = std::max<qsizetype>(0, total - frmMonitor::MaxEntries);
        if (replaceAll || drop >= rows_.size()) {
            beginResetModel();
            rows_ = all;
            endResetModel();
            return;
        }
        if (drop > 0) {
            beginRemoveRows(QModelIndex(), 0, int(drop - 1));
            rows_.remove(0, drop);
            endRemoveRows();
        }
        if (!added.isEmpty()) {
            const int first = int(rows_.size());
            beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
            rows_.append(added);
            endInsertRows();
        }
    }

    void clear()
    {
        beginResetModel();
        rows_.clear();
        endResetModel();
    }

private:
    QList<QString> rows_;
};

namespace {

const char* const kSection = "Monitor";

inline void appendHex(QString& text, unsigned char c)
{
    static const char digits[] = "0123456789ABCDEF";
    text.append(QLatin1Char(digits[c >> 4]));
    text.append(QLatin1Char(digits[c & 0x0F]));
}

} // namespace

frmMonitor::frmMonitor(AppContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmMonitor"));
    setWindowTitle(QStringLiteral("Port Monitor"));
    Init();
    buildControls();

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &frmMonitor::flushView);
}

frmMonitor::~frmMonitor() = default;

void frmMonitor::buildControls()
{
    model_ = new MonitorListModel(this);

    lstComm = new QListView(this);
    lstComm->setObjectName(QStringLiteral("lstComm"));
    lstComm->setProperty("langTag", QStringLiteral("NOLANG"));
    lstComm->setModel(model_);
    // Uniform rows let the view skip measuring each entry: essential at telegram rates.
    lstComm->setUniformItemSizes(true);
    lstComm->setSelectionMode(QAbstractItemView::NoSelection);
    lstComm->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstComm->setFocusPolicy(Qt::StrongFocus);
    lstComm->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Entries are broken for the visible area. With its scroll bar always there, that area
    // stays as it was when the list fills: what was broken for it before stays whole.
    lstComm->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The visible area is laid out after the list itself has been resized.
    lstComm->viewport()->installEventFilter(this);

    picMode = new QFrame(this);
    picMode->setObjectName(QStringLiteral("picMode"));
    picMode->setProperty("langTag", QStringLiteral("NOLANG"));
    picMode->setFrameShape(QFrame::StyledPanel);
    auto* modeLayout = new QVBoxLayout(picMode);
    modeGroup_ = new QButtonGroup(this);
    const char* modeTexts[2] = {"ASCII", "HEX"};
    for (int i = 0; i < 2; ++i) {
        rdMode[i] = new QRadioButton(QString::fromLatin1(modeTexts[i]), picMode);
        rdMode[i]->setObjectName(QStringLiteral("rdMode"));
        rdMode[i]->setProperty("ctrlIndex", i);
        rdMode[i]->setProperty("langTag", QStringLiteral("NOLANG"));
        modeGroup_->addButton(rdMode[i], i);
        modeLayout->addWidget(rdMode[i]);
    }
    rdMode[0]->setChecked(true);

    auto makeCheck = [this](const char* name, const QString& text) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setProperty("langTag", text);
        return box;
    };
    chkDynamic = makeCheck("chkDynamic", QStringLiteral("&dynamische Daten"));
    chkStatic = makeCheck("chkStatic", QStringLiteral("&statische Daten"));

    auto makeButton = [this](const char* name, const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setProperty("langTag", text);
        return button;
    };
    btSave = makeButton("btSave", QStringLiteral("&Speichern"));
    btClear = makeButton("btClear", QStringLiteral("&Löschen"));
    connect(btSave, &QPushButton::clicked, this, &frmMonitor::btSave_Click);
    connect(btClear, &QPushButton::clicked, this, &frmMonitor::clearList);

    auto* checks = new QVBoxLayout;
    checks->addStretch(1);
    checks->addWidget(chkDynamic);
    checks->addWidget(chkStatic);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btSave);
    buttons->addWidget(btClear);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(picMode, 0, Qt::AlignBottom);
    bottom->addLayout(checks);
    bottom->addStretch(1);
    bottom->addLayout(buttons);
    auto* main = new QVBoxLayout(this);
    main->addWidget(lstComm, 1);
    main->addLayout(bottom);
}

void frmMonitor::Init()
{
    InitCharNames();
}

bool frmMonitor::hexMode() const
{
    return rdMode[1]->isChecked();
}

int frmMonitor::ComputeLineWidth(double textWidth, double charWidth)
{
    if (charWidth <= 0)
        return 0;
    return int(std::floor(textWidth / charWidth)) + 1;
}

QStringList frmMonitor::RenderEntries(const QString& prefix, const QByteArray& data,
                                      bool hexMode, int lineWidth, const QStringList& names,
                                      int maxEntries, qsizetype* rendered)
{
    QStringList out;
    if (rendered)
        *rendered = 0;
    if (data.isEmpty())
        return out;
    const qsizetype p = prefix.size();

    if (!hexMode && data.size() == 1) {
        // A single character always gets its name and code, whatever the width.
        const auto c = static_cast<unsigned char>(data.at(0));
        QString text = prefix + names.at(c) + QStringLiteral(" (HEX=");
        appendHex(text, c);
        text.append(QLatin1Char(')'));
        out.append(text);
        if (rendered)
            *rendered = 1;
        return out;
    }

    qsizetype n = p;
    QString text = prefix;
    qsizetype i = 0;
    for (; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data.at(i));
        const qsizetype len = hexMode ? 3 : names.at(c).size();
        // Wrap before a piece that would reach the width, but never leave an entry that
        // holds only the prefix: on a very narrow list each piece gets an entry of its own.
        if (n + len >= lineWidth && n > p) {
            out.append(text);
            text = prefix;
            n = p;
            // The rest of the data is never looked at: the cost stays with what is shown.
            if (maxEntries > 0 && out.size() >= maxEntries)
                break;
        }
        if (hexMode) {
            appendHex(text, c);
            text.append(QLatin1Char(' '));
        } else {
            text.append(names.at(c));
        }
        n += len;
    }
    if (n > p)
        out.append(text);
    if (rendered)
        *rendered = i;
    return out;
}

QString frmMonitor::DroppedNote(qsizetype droppedBytes) const
{
    static const QString fallback = QStringLiteral("... (%s Bytes verworfen)");
    const QString text = ctx_.language
        ? ctx_.language->Translate(QStringLiteral("frmMonitor"), QStringLiteral("Dropped"), fallback)
        : fallback;
    return FormatArgs(text, QString::number(droppedBytes));
}

void frmMonitor::Add(const QByteArray& prefix, const QByteArray& data, const QVariant& flag)
{
    Q_UNUSED(flag);
    if (!loaded_)
        return;
    static const QByteArray timeout = QByteArrayLiteral("<TIMEOUT>");
    const bool isTimeout = (data == timeout);
    if (isTimeout && !(ctx_.state && ctx_.state->ShowTimeouts))
        return;
    const bool hex = hexMode() && !isTimeout;
    const QString head = FromCp1252(prefix);
    // One entry of the list stays free for the note, so a telegram that fills the list
    // still shows its beginning and says what became of the rest.
    qsizetype rendered = 0;
    QStringList lines = RenderEntries(head, data, hex, lineWidth_, CharNames(), MaxEntries - 1, &rendered);
    if (rendered < data.size())
        lines.append(head + DroppedNote(data.size() - rendered));
    appendEntries(lines);
}

void frmMonitor::appendEntries(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    for (const QString& line : lines) {
        entries_.append(line);
        if (entries_.size() > MaxEntries)
            entries_.removeFirst();
        pending_.append(line);
        if (pending_.size() > MaxEntries) {
            pending_.removeFirst();
            pendingOverflow_ = true;
        }
    }
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

void frmMonitor::flushView()
{
    flushTimer_.stop();
    if (pending_.isEmpty() && !pendingOverflow_)
        return;
    model_->sync(pending_, pendingOverflow_, entries_);
    pending_.clear();
    pendingOverflow_ = false;
    // Keep the newest entry in view; nothing is selected.
    lstComm->scrollToBottom();
}

void frmMonitor::clearList()
{
    entries_.clear();
    pending_.clear();
    pendingOverflow_ = false;
    flushTimer_.stop();
    model_->clear();
}

void frmMonitor::updateLineWidth()
{
    if (!loaded_ || isMinimized() || (container() && container()->isMinimized()))
        return;
    lineWidth_ = ComputeLineWidth(entryTextWidth(), charWidth_);
}

double frmMonitor::entryTextWidth() const
{
    // An entry spans the visible area; the style keeps a margin either side of its text
    // and cuts text wider than what is left with "…".
    const int margin = lstComm->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lstComm) + 1;
    return lstComm->viewport()->width() - 2 * margin;
}

bool frmMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstComm->viewport() && event->type() == QEvent::Resize)
        updateLineWidth();
    return QWidget::eventFilter(watched, event);
}

QWidget* frmMonitor::container() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void frmMonitor::placeDefault()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    QSize area;
    if (sub && sub->mdiArea())
        area = sub->mdiArea()->viewport()->size();
    else if (ctx_.mainWindow)
        area = ctx_.mainWindow->size();

    const QSize hint = sizeHint().expandedTo(minimumSizeHint());
    const int width = area.width() > 0 ? std::max(area.width() / 2, minimumSizeHint().width())
                                       : hint.width();
    const QSize client(width, hint.height());
    if (sub) {
        const int frameWidth = sub->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
        const int titleHeight = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
        const QSize outer(client.width() + 2 * frameWidth, client.height() + titleHeight + frameWidth);
        sub->resize(outer);
        if (area.isValid())
            sub->move(std::max(0, area.width() - outer.width()), std::max(0, area.height() - outer.height()));
    } else {
        resize(client);
    }
}

void frmMonitor::load()
{
    Init();
    placeDefault();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this);

    if (ctx_.settings) {
        const auto ticked = [this](const char* key, const char* def) {
            return ctx_.settings->read(QString::fromLatin1(kSection), QString::fromLatin1(key),
                                       QString::fromLatin1(def)).toLower() == QLatin1String("yes");
        };
        chkDynamic->setChecked(ticked("ShowDynamic", "No"));
        chkStatic->setChecked(ticked("ShowStatic", "Yes"));
        const QString mode = ctx_.settings->read(QString::fromLatin1(kSection),
                                                 QStringLiteral("Mode"), QStringLiteral("0"));
        if (Val(mode) == 1.0)
            rdMode[1]->setChecked(true);
        else
            rdMode[0]->setChecked(true);
    }

    // The width of a blank in the list's font, with its fraction: the unit of the line
    // width. In the fixed font every character the list shows is as wide.
    charWidth_ = QFontMetricsF(lstComm->font()).horizontalAdvance(QLatin1Char(' '));
    loaded_ = true;
    SetLanguage();
}

void frmMonitor::Show()
{
    if (!loaded_)
        load();
    ShowInFront(this);
    updateLineWidth();
}

void frmMonitor::closeHandling()
{
    if (ctx_.settings) {
        const QString section = QString::fromLatin1(kSection);
        const auto yesNo = [](const QCheckBox* box) {
            return box->checkState() != Qt::Unchecked ? QStringLiteral("Yes") : QStringLiteral("No");
        };
        ctx_.settings->write(section, QStringLiteral("ShowDynamic"), yesNo(chkDynamic));
        ctx_.settings->write(section, QStringLiteral("ShowStatic"), yesNo(chkStatic));
        ctx_.settings->write(section, QStringLiteral("Mode"), QString::number(hexMode() ? 1 : 0));
    }
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(MenuEntry::Monitor, false);
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
    // The list's contents go with the window.
    clearList();
    if (comdlgSave)
        comdlgSave->reject();
}

void frmMonitor::Unload()
{
    if (loaded_)
        closeHandling();
    hide();
    if (QWidget* host = container())
        host->hide();
}

void frmMonitor::closeEvent(QCloseEvent* event)
{
    // Closing is never refused.
    if (loaded_)
        closeHandling();
    event->accept();
}

void frmMonitor::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmMonitor::btSave_Click()
{
    if (!comdlgSave) {
        comdlgSave = new QFileDialog(this);
        comdlgSave->setObjectName(QStringLiteral("comdlgSave"));
        comdlgSave->setAcceptMode(QFileDialog::AcceptSave);
        comdlgSave->setFileMode(QFileDialog::AnyFile);
        // Both spellings: file names on Linux are case-sensitive.
        comdlgSave->setNameFilter(QStringLiteral("Logdatei (*.LOG *.log)"));
        connect(comdlgSave, &QFileDialog::fileSelected, this, [this](const QString& path) {
            if (!path.isEmpty())
                SaveTo(path);
        });
    }
    // The dialog asks before overwriting an existing file; a cancel does nothing.
    comdlgSave->open();
}

bool frmMonitor::SaveTo(const QString& path)
{
    QByteArray bytes;
    for (const QString& line : std::as_const(entries_)) {
        bytes.append(ToCp1252(line));
        bytes.append("\r\n", 2);
    }

    // A failed save never leaves a truncated log: the old file stays as it was.
    const SaveFileResult saved = SaveFileAtomically(path, bytes);
    if (saved.ok())
        return true;
    if (!ctx_.language)
        return false;
    // The system's error number, and what it means in the program's language. "|"
    // separates message arguments: the description stays one argument.
    QString description = ctx_.language->SystemErrorText(saved.error);
    description.replace(QLatin1Char('|'), QLatin1Char('/'));
    ctx_.language->ShowMessage(6, 0, 0, QString::number(saved.error) + QStringLiteral(" - ") + description);
    return false;
}

} // namespace orvid
