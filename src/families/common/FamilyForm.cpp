#include "FamilyForm.h"

#include "DataItems.h"
#include "foundations/ControlUtils.h"
#include "foundations/MainFrame.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"
#include "shell/ctrlList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QListWidget>
#include <QMdiSubWindow>

namespace orvid {

FamilyForm::FamilyForm(AppContext& ctx, const QString& name, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(name);
}

FamilyForm::~FamilyForm()
{
    while (busyDepth_ > 0)
        SetBusy(false);
}

void FamilyForm::setProtocol(std::unique_ptr<FamilyProtocol> protocol)
{
    protocol_ = std::move(protocol);
}

// ---- lifecycle ------------------------------------------------------------------------

QWidget* FamilyForm::container() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void FamilyForm::load()
{
    closed_ = false;
    OnLoad();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this);
    OnPlaced();
    loaded_ = true;
}

void FamilyForm::Show()
{
    if (!loaded_)
        load();
    ShowInFront(this);
    fitContainer();
}

void FamilyForm::fitContainer()
{
    QWidget* host = container();
    if (!host)
        host = this;
    const QSize needed = host->minimumSizeHint();
    if (host->width() < needed.width() || host->height() < needed.height())
        host->resize(host->size().expandedTo(needed));
}

void FamilyForm::applyMinimumSize()
{
    // The window never gets smaller than its controls need (a stored or default placement
    // may be smaller).
    setMinimumSize(minimumSizeHint());
    if (QWidget* host = container()) {
        host->setMinimumSize(host->minimumSizeHint().expandedTo(minimumSize()));
        host->resize(host->size().expandedTo(host->minimumSize()));
    } else {
        resize(size().expandedTo(minimumSize()));
    }
}

void FamilyForm::requestStop(std::function<void()> ends)
{
    // At once, so that nothing more is polled meanwhile; and again when the stop goes out,
    // as a read asked for before the Stop may have switched polling on by then.
    if (ends)
        ends();
    protocol_->Exchanges().RequestStop([this, ends] {
        if (ends)
            ends();
        protocol_->StopBuffered();
    }, [this] { return !ctx_.lk || ctx_.lk->CurrentWindow() == static_cast<ISystemForm*>(this); });
}

void FamilyForm::unloadNow()
{
    OnUnload();
    // What the window listed goes with it: shown again later, old lines would read as
    // new ones, perhaps of another unit.
    for (orvid::ctrlList* list : findChildren<orvid::ctrlList*>())
        list->Clear();
    for (QListWidget* list : findChildren<QListWidget*>())
        list->clear();
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(MenuEntry::OrvidWindow, false);
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
    closed_ = true;
}

void FamilyForm::Unload()
{
    if (loaded_)
        unloadNow();
    hide();
    if (QWidget* host = container())
        host->hide();
}

void FamilyForm::closeEvent(QCloseEvent* event)
{
    if (loaded_)
        unloadNow();
    event->accept();
}

// ---- the link's calls -----------------------------------------------------------------

Menues FamilyForm::CommandList()
{
    return protocol_->CommandList();
}

bool FamilyForm::Check()
{
    return protocol_->Check();
}

QString FamilyForm::Poll(const QVariant& a, const QVariant& b)
{
    // A poll tick arriving while one of this family's own exchanges waits must not start
    // reading the same reply.
    if (protocol_->Exchanges().Depth() > 0)
        return QString();
    return protocol_->PollStep(a, b);
}

void FamilyForm::CloseLK()
{
    protocol_->CloseLK();
}

void FamilyForm::Init(bool ethernet)
{
    protocol_->Init(ethernet);
}

void FamilyForm::PutData(int16_t id, const QVariant& value)
{
    protocol_->PutData(id, value);
}

void FamilyForm::GetData(int16_t id, QVariant& value)
{
    protocol_->GetData(id, value);
}

QByteArray FamilyForm::SetLKString(const QByteArray& command, const QByteArray& suffix)
{
    return protocol_->BuildTelegram(command, suffix);
}

int16_t FamilyForm::GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption)
{
    return protocol_->ReplyResult(reply, length, logOption);
}

void FamilyForm::StopBuffered()
{
    // The link's stop (the command window's Stop, its multi-reply Send) is the Stop button's:
    // never inside another exchange's wait.
    requestStop();
}

int FamilyForm::ReplyOwed()
{
    return protocol_->ReplyOwed();
}

void FamilyForm::OwedReply(QByteArray& reply, int16_t length)
{
    protocol_->OwedReply(reply, length);
}

bool FamilyForm::ReadRunning()
{
    return protocol_->ReadRunning();
}

bool FamilyForm::ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
{
    return protocol_->ReadFrame(frame, length, inAnswer);
}

void FamilyForm::putItem(int16_t id, const QVariant& value)
{
    if (ctx_.lk && ctx_.lk->CurrentWindow() == static_cast<ISystemForm*>(this))
        ctx_.lk->LkPutData(id, value);
    else
        PutData(id, value);
}

QVariant FamilyForm::getItem(int16_t id) const
{
    QVariant v;
    if (id >= LinkItem::HeadType && id <= LinkItem::LastData) {
        if (ctx_.lk)
            ctx_.lk->LkGetData(id, v);
        return v;
    }
    protocol_->GetData(id, v);
    return v;
}

// ---- view -----------------------------------------------------------------------------

void FamilyForm::ShowData(int kind, const QByteArray& caption, const QByteArray& data)
{
    if (!closed_)
        AddData(kind, caption, data);
}

void FamilyForm::AddData(int kind, const QByteArray& caption, const QByteArray& data)
{
    if (dataList_)
        dataList_->ShowData(kind, caption, data);
}

void FamilyForm::SetBusy(bool busy)
{
    if (busy) {
        ++busyDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        --busyDepth_;
        QApplication::restoreOverrideCursor();
    }
}

bool FamilyForm::ExchangeRunning() const
{
    return protocol_->Exchanges().Running();
}

// ---- the direct route -----------------------------------------------------------------

bool DirectFamilyForm::DataAvailable()
{
    ILkDirectAccess* direct = protocol().DirectAccess();
    return direct && direct->DataAvailable();
}

bool DirectFamilyForm::DirectModeSupported()
{
    ILkDirectAccess* direct = protocol().DirectAccess();
    return direct && direct->DirectModeSupported();
}

int16_t DirectFamilyForm::DirectRead(QByteArray& reply, int16_t& count, const QVariant& logOption, bool log,
                                     bool noCheck)
{
    ILkDirectAccess* direct = protocol().DirectAccess();
    return direct ? direct->DirectRead(reply, count, logOption, log, noCheck) : 0;
}

int16_t DirectFamilyForm::ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok)
{
    ok = false;
    ILkDirectAccess* direct = protocol().DirectAccess();
    return direct ? direct->ReadData(command, reply, log, ok) : 0;
}

int16_t DirectFamilyForm::WriteData(const QByteArray& command, const QByteArray& suffix, bool log)
{
    ILkDirectAccess* direct = protocol().DirectAccess();
    return direct ? direct->WriteData(command, suffix, log) : 0;
}

} // namespace orvid
