#include "frmCommand.h"

#include "CharNames.h"
#include "PopupMenu.h"
#include "foundations/AppContext.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QValidator>

namespace orvid {

namespace {

const QString kSection = QStringLiteral("Command");
constexpr int kMargin = 8;

// Refuses characters that have no single-byte code; they could not be sent as typed.
class Latin1Validator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        for (QChar c : input) {
            if (c.unicode() > 0xFF) {
                QApplication::beep();
                return Invalid;
            }
        }
        return Acceptable;
    }
};

// The hourglass for the length of an exchange, restored however the exchange ends.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}


// Blanks only, as typed history entries are compared; tabs and the like stay.
QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

frmCommand::frmCommand(AppContext& ctx, QWidget* parent)
    : QWidget(parent)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmCommand"));
    setWindowTitle(QStringLiteral("Befehl senden"));

    lblCommand_ = new QLabel(QStringLiteral("Befehl:"), this);
    lblCommand_->setObjectName(QStringLiteral("lblCommand"));
    cmbCommand_ = new QComboBox(this);
    cmbCommand_->setObjectName(QStringLiteral("cmbCommand"));
    cmbCommand_->setEditable(true);
    // The list shows the history and nothing else; AddCommand maintains it.
    cmbCommand_->setInsertPolicy(QComboBox::NoInsert);
    cmbCommand_->setMaxCount(kHistorySize);
    cmbCommand_->lineEdit()->setValidator(new Latin1Validator(cmbCommand_));
    lblCommand_->setBuddy(cmbCommand_);
    btCommand_ = new QPushButton(QStringLiteral("&C"), this);
    btCommand_->setObjectName(QStringLiteral("btCommand"));
    btCommand_->setEnabled(false);
    lblSensor_ = new QLabel(QStringLiteral("Antwort:"), this);
    lblSensor_->setObjectName(QStringLiteral("lblSensor"));
    txtSensor_ = new QLineEdit(this);
    txtSensor_->setObjectName(QStringLiteral("txtSensor"));
    txtSensor_->setReadOnly(true);
    chkBuffered_ = new QCheckBox(QStringLiteral("mehrere &Antworten"), this);
    chkBuffered_->setObjectName(QStringLiteral("chkBuffered"));
    btSend_ = new QPushButton(QStringLiteral("&Senden"), this);
    btSend_->setObjectName(QStringLiteral("btSend"));
    btStop_ = new QPushButton(QStringLiteral("&Stop"), this);
    btStop_->setObjectName(QStringLiteral("btStop"));
    btStop_->setEnabled(false);

    // Design positions; the widths follow the window in layoutControls().
    const int buttonHeight = btSend_->sizeHint().height();
    const int comboHeight = cmbCommand_->sizeHint().height();
    lblCommand_->setGeometry(kMargin, kMargin, lblCommand_->sizeHint().width(),
                             lblCommand_->sizeHint().height());
    const int comboTop = lblCommand_->geometry().bottom() + 3;
    cmbCommand_->setGeometry(kMargin, comboTop, 200, comboHeight);
    btCommand_->setGeometry(kMargin + 200, comboTop, comboHeight + 6, comboHeight);
    lblSensor_->setGeometry(kMargin, comboTop + comboHeight + 6, lblSensor_->sizeHint().width(),
                            lblSensor_->sizeHint().height());
    const int replyTop = lblSensor_->geometry().bottom() + 3;
    txtSensor_->setGeometry(kMargin, replyTop, 200, txtSensor_->sizeHint().height());
    const int rowTop = txtSensor_->geometry().bottom() + 1 + 8;
    const int buttonWidth = qMax(btSend_->sizeHint().width(), btStop_->sizeHint().width());
    btSend_->setGeometry(0, rowTop, buttonWidth, buttonHeight);
    btStop_->setGeometry(0, rowTop, buttonWidth, buttonHeight);
    chkBuffered_->setGeometry(kMargin, rowTop, chkBuffered_->sizeHint().width(), buttonHeight);
    fixedHeight_ = rowTop + buttonHeight + kMargin;

    setMinimumWidth(2 * buttonWidth + chkBuffered_->width() + 2 * kMargin);
    setMinimumHeight(fixedHeight_);
    setMaximumHeight(fixedHeight_);
    resize(minimumWidth() + 100, fixedHeight_);

    // Send is the user's device action: asked for while a poll step waits for the device,
    // it goes out once the step has ended.
    const auto sendAction = [this] {
        if (ctx_.lk)
            ctx_.lk->UserAction(btSend_, this, [this] { send(); });
        else
            send();
    };
    connect(btSend_, &QPushButton::clicked, this, sendAction);
    connect(btStop_, &QPushButton::clicked, this, &frmCommand::stop);
    connect(btCommand_, &QPushButton::clicked, this, &frmCommand::chooseCommand);
    connect(cmbCommand_->lineEdit(), &QLineEdit::returnPressed, this, sendAction);
}

// ---- history ---------------------------------------------------------------------------

void frmCommand::Init()
{
    history_.clear();
    if (ctx_.settings) {
        for (int i = 1; i <= kHistorySize; ++i) {
            const QString value =
                ctx_.settings->read(kSection, QStringLiteral("Command%1").arg(i), QString());
            if (value.isEmpty())
                break;   // a gap ends the history
            history_.append(value);
        }
    }
    fillHistoryList(cmbCommand_->currentText());
}

void frmCommand::Save()
{
    if (!ctx_.settings)
        return;
    for (int i = 0; i < history_.size(); ++i) {
        if (!ctx_.settings->write(kSection, QStringLiteral("Command%1").arg(i + 1), history_.at(i)))
            return;
    }
    // Older values behind the history would come back at the next start after a gap;
    // empty them (empty counts as absent).
    for (int i = int(history_.size()) + 1; i <= kHistorySize; ++i) {
        const QString name = QStringLiteral("Command%1").arg(i);
        if (ctx_.settings->read(kSection, name, QString()).isEmpty())
            continue;
        if (!ctx_.settings->write(kSection, name, QString()))
            return;
    }
}

void frmCommand::AddCommand()
{
    const QString c = remember(cmbCommand_->currentText());
    if (!c.isEmpty())
        fillHistoryList(c);
}

QString frmCommand::remember(const QString& command)
{
    const QString c = trimBlanks(command);
    if (c.isEmpty())
        return c;
    history_.removeOne(c);
    history_.prepend(c);
    while (history_.size() > kHistorySize)
        history_.removeLast();
    return c;
}

void frmCommand::fillHistoryList(const QString& text)
{
    cmbCommand_->clear();
    cmbCommand_->addItems(history_);
    cmbCommand_->setEditText(text);
}

// ---- escapes and replies ---------------------------------------------------------------

QByteArray frmCommand::ConvertEscapes(const QByteArray& typed)
{
    QByteArray out;
    out.reserve(typed.size());
    const qsizetype n = typed.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = typed.at(i);
        if (c == '\\') {
            if (i + 1 < n && typed.at(i + 1) == '\\') {
                out += '\\';
                i += 2;
                continue;
            }
            int digits = 0;
            while (digits < 3 && i + 1 + digits < n && isDigit(typed.at(i + 1 + digits)))
                ++digits;
            if (digits == 0) {
                out += c;
                ++i;
                continue;
            }
            // The longest run whose value still fits in a byte ("\300" is 30 and "0").
            int value = 0;
            for (; digits > 0; --digits) {
                value = 0;
                for (int k = 0; k < digits; ++k)
                    value = value * 10 + (typed.at(i + 1 + k) - '0');
                if (value <= 255)
                    break;
            }
            out += char(value);
            i += 1 + digits;
        } else if (c == '.') {
            if (i + 1 < n && typed.at(i + 1) == '.') {
                out += '.';
                i += 2;
                continue;
            }
            int value = 0;
            int digits = 0;
            while (digits < 2 && i + 1 + digits < n && HexDigitValue(uchar(typed.at(i + 1 + digits))) >= 0) {
                value = value * 16 + HexDigitValue(uchar(typed.at(i + 1 + digits)));
                ++digits;
            }
            if (digits == 0) {
                out += c;
                ++i;
                continue;
            }
            out += char(value);
            i += 1 + digits;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

bool frmCommand::TextToBytes(const QString& text, QByteArray& bytes)
{
    bytes.clear();
    bytes.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
        bytes += char(c.unicode());
    }
    return true;
}

QString frmCommand::RenderReply(const QByteArray& reply)
{
    if (reply.size() == 1) {
        const auto code = static_cast<unsigned char>(reply.at(0));
        // The character itself, in the same code page as every other reply shown here.
        return FromCp1252(reply) + QStringLiteral(" (HEX=")
               + QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper()
               + QLatin1Char(')');
    }
    const QStringList& names = CharNames();
    QString out;
    for (char c : reply)
        out += names.value(static_cast<unsigned char>(c));
    return out;
}

// ---- send, collect, stop ---------------------------------------------------------------

void frmCommand::send()
{
    // A second Send while one waits for its reply would nest the exchange and restore
    // the wrong time-out afterwards: refuse it, as any Send while another exchange runs.
    if (sending_ || !ctx_.lk || ctx_.lk->Busy()) {
        QApplication::beep();
        return;
    }
    // What goes out is what the box holds now; the user may type the next command while
    // the reply is awaited, and the history keeps what was sent.
    const QString command = cmbCommand_->currentText();
    QByteArray typed;
    if (!TextToBytes(command, typed)) {
        QApplication::beep();
        return;
    }

    // The context outlives this window; the window may go while the reply is awaited.
    AppContext& ctx = ctx_;
    QPointer<frmCommand> self(this);
    sending_ = true;
    btSend_->setEnabled(false);
    QString shown;
    const bool multi = chkBuffered_->isChecked();
    {
        WaitCursor hourglass;
        if (multi) {
            SetBuffered(true);
            replyCounter_ = 1;
        }
        txtSensor_->clear();

        LK& lk = *ctx.lk;
        const bool serialRoute = lk.GetDirectAccess() == nullptr;
        int16_t previousTimeout = 0;
        if (serialRoute && ctx.ports)
            previousTimeout = ctx.ports->SetTimeout(1000);
        if (multi) {
            // Polling of the system window stops; the poll timer keeps running so that
            // Poll() here collects the further replies, on either route.
            lk.LkStopBuffered();
            lk.EnablePolling(true, true);
            if (serialRoute && ctx.ports)
                ctx.ports->FlushInput();
        }

        QByteArray reply;
        bool ok = false;
        lk.SendCommand(ConvertEscapes(typed), reply, QVariant(), ok);

        if (serialRoute && ctx.ports)
            ctx.ports->SetTimeout(previousTimeout);
        shown = RenderReply(reply);
    }
    if (!self)
        return;
    txtSensor_->setText(multi ? QStringLiteral("<1> ") + shown : shown);
    const QString kept = remember(command);
    QLineEdit* edit = cmbCommand_->lineEdit();
    if (edit->text() == command) {
        if (!kept.isEmpty())
            fillHistoryList(kept);
        edit->selectAll();
    } else {
        // Typed meanwhile: the list follows the history, the typing stays as it is.
        const int cursor = edit->cursorPosition();
        fillHistoryList(edit->text());
        edit->setCursorPosition(cursor);
    }
    sending_ = false;
    btSend_->setEnabled(true);
}

void frmCommand::Poll()
{
    // Nothing while a Send waits: that exchange owns the reply now arriving.
    if (!loaded_ || !chkBuffered_->isChecked() || sending_ || polling_ || !ctx_.lk)
        return;
    LK& lk = *ctx_.lk;
    // Only read when something came: a receive that times out would hold up every tick.
    if (!lk.LkDataAvailable())
        return;
    QPointer<frmCommand> self(this);
    polling_ = true;
    QByteArray reply;
    int16_t count = 0;
    int16_t length = lk.LkReceive(reply, count, QVariant(), true);
    if (!self)
        return;
    polling_ = false;
    if (length <= 0)
        return;
    ++replyCounter_;
    // Only serial-route windows interpret replies; a direct-route window has read it
    // complete already.
    if (ctx_.state && ctx_.state->CurrentSystem > 0 && !lk.GetDirectAccess()) {
        if (ISystemForm* window = lk.CurrentWindow())
            window->GetLKResult(reply, length, QVariant(true));
    }
    txtSensor_->setText(QStringLiteral("<%1> ").arg(replyCounter_) + RenderReply(reply));
}

void frmCommand::stop()
{
    btStop_->setEnabled(false);
    SetBuffered(false);
    // Ends the device's reply stream as well as the temporary polling.
    if (ctx_.lk)
        ctx_.lk->LkStopBuffered();
}

void frmCommand::SetBuffered(bool on)
{
    if (!loaded_)
        return;
    btStop_->setEnabled(on);
    chkBuffered_->setChecked(on);
}

bool frmCommand::collecting() const
{
    return ctx_.lk && ctx_.lk->BufferedPolling();
}

void frmCommand::showWhatRuns()
{
    // The further replies come only while the link polls for them: once a selection (or
    // anyone) has switched that off, nothing runs, whatever the controls said.
    if (btStop_->isEnabled() && !collecting())
        SetBuffered(false);
}

// ---- command list ----------------------------------------------------------------------

void frmCommand::RefreshForm()
{
    commandList_ = ctx_.lk ? ctx_.lk->LkCommandList() : Menues();
    if (loaded_)
        btCommand_->setEnabled(!commandList_.isEmpty());
    showWhatRuns();
}

void frmCommand::chooseCommand()
{
    if (commandList_.isEmpty())
        return;
    Menues menu;
    for (int n = 1; n <= commandList_.count(); ++n)
        menu.Add(n, commandList_.item(n).Caption);
    // At the mouse cursor; below the button when it was pressed from the keyboard.
    const QPoint cursor = QCursor::pos();
    const bool overButton = btCommand_->rect().contains(btCommand_->mapFromGlobal(cursor));
    const QPoint at = overButton ? cursor : btCommand_->mapToGlobal(QPoint(0, btCommand_->height()));
    const int n = ShowPopupMenu(menu, this, at);
    if (n <= 0 || n > commandList_.count())
        return;
    const QString line = commandList_.item(n).Caption;
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    cmbCommand_->setEditText(blank < 0 ? line : line.left(blank));
}

// ---- window ----------------------------------------------------------------------------

QWidget* frmCommand::container() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void frmCommand::load()
{
    // Half the main window's client width, at its bottom-left corner, before the stored
    // placement (if any) applies.
    QSize client;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()); sub && sub->mdiArea())
        client = sub->mdiArea()->viewport()->size();
    else if (auto* main = qobject_cast<QMainWindow*>(ctx_.mainWindow); main && main->centralWidget())
        client = main->centralWidget()->size();
    if (client.isValid() && client.width() > 0) {
        const int width = qMax(minimumWidth(), client.width() / 2);
        if (QWidget* box = container()) {
            // The frame's size around this widget is known once the frame is laid out.
            box->show();
            if (box->layout())
                box->layout()->activate();
            const QSize frame = box->size() - size();
            box->resize(width + frame.width(), fixedHeight_ + frame.height());
            box->move(0, qMax(0, client.height() - box->height()));
        } else {
            resize(width, fixedHeight_);
        }
    }
    if (QWidget* box = container())
        box->installEventFilter(this);
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this);
    fitContainer();
    loaded_ = true;
    fillHistoryList(cmbCommand_->currentText());
    SetLanguage();
    RefreshForm();
}

void frmCommand::Show()
{
    if (!loaded_)
        load();
    ShowInFront(this);
}

void frmCommand::unloadHandling()
{
    if (!loaded_)
        return;
    // A multi-reply read ends with the window, by the family's stop as Stop ends it; left
    // running, the device would go on repeating with nobody collecting its replies.
    if (btStop_->isEnabled() && collecting())
        stop();
    if (ctx_.frame && ctx_.frame->menuChecked(MenuEntry::Command))
        ctx_.frame->setMenuChecked(MenuEntry::Command, false);
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
}

void frmCommand::Unload()
{
    unloadHandling();
    hide();
    if (QWidget* box = container())
        box->hide();
}

void frmCommand::closeEvent(QCloseEvent* event)
{
    unloadHandling();
    event->accept();
}

void frmCommand::SetLanguage()
{
    if (!ctx_.language)
        return;
    if (!languageStored_) {
        setProperty("langTag", windowTitle());
        for (QLabel* l : {lblCommand_, lblSensor_})
            l->setProperty("langTag", l->text());
        btSend_->setProperty("langTag", btSend_->text());
        const QString tip = btCommand_->toolTip();
        btCommand_->setProperty("langTag", tip.isEmpty() ? btCommand_->text()
                                                         : btCommand_->text() + QLatin1Char('|') + tip);
        // These two keep their design texts in every language.
        chkBuffered_->setProperty("langTag", QStringLiteral("NOLANG"));
        btStop_->setProperty("langTag", QStringLiteral("NOLANG"));
        languageStored_ = true;
    }
    const QString section = objectName();
    Language& lang = *ctx_.language;
    auto tr = [&](QObject* o, const QString& key) {
        return lang.Translate(section, key, o->property("langTag").toString());
    };
    setWindowTitle(tr(this, section));
    btSend_->setText(tr(btSend_, btSend_->objectName()));
    lblCommand_->setText(tr(lblCommand_, lblCommand_->objectName()));
    lblSensor_->setText(tr(lblSensor_, lblSensor_->objectName()));
    // Caption and tooltip: "caption|tooltip"; without "|" the tooltip stays.
    const QString both = tr(btCommand_, btCommand_->objectName());
    const qsizetype bar = both.indexOf(QLatin1Char('|'));
    btCommand_->setText(bar < 0 ? both : both.left(bar));
    if (bar >= 0 && bar + 1 < both.size())
        btCommand_->setToolTip(both.mid(bar + 1));
    layoutControls();
}

void frmCommand::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isMinimized())
        return;
    fitContainer();
    layoutControls();
}

bool frmCommand::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == container())
        fitContainer();
    return QWidget::eventFilter(watched, event);
}

void frmCommand::fitContainer()
{
    QWidget* box = container();
    if (!box || box->isMaximized() || box->isMinimized())
        return;
    // The height never changes: a stored or stretched container is brought back to the
    // title bar and borders around it.
    int frame = box->height() - box->contentsRect().height();
    if (const QLayout* layout = box->layout())
        frame += layout->contentsMargins().top() + layout->contentsMargins().bottom();
    const int wanted = frame + fixedHeight_;
    if (box->height() != wanted)
        box->resize(box->width(), wanted);
}

void frmCommand::layoutControls()
{
    const int m = lblCommand_->x();
    const int w = width();
    const int bh = btSend_->height();
    const int comboWidth = qMax(20, w - 2 * m - btCommand_->width());
    cmbCommand_->resize(comboWidth, cmbCommand_->height());
    btCommand_->move(cmbCommand_->x() + comboWidth, cmbCommand_->y());
    txtSensor_->resize(qMax(20, w - 2 * m), txtSensor_->height());
    lblCommand_->adjustSize();
    lblSensor_->adjustSize();
    chkBuffered_->resize(chkBuffered_->sizeHint().width(), bh);
    const int sendTop = height() - bh - m;
    btSend_->move(w - btSend_->width() - m, sendTop);
    btStop_->move(btSend_->x() - btStop_->width(), sendTop);
    chkBuffered_->move(chkBuffered_->x(), sendTop);
}

} // namespace orvid
