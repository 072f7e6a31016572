#include "FamilyProtocol.h"

#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "link/LK.h"
#include "link/Ports.h"

namespace orvid {

FamilyProtocol::FamilyProtocol(AppContext& ctx, const char* languageSection, IFamilyView* view)
    : ctx_(ctx), section_(languageSection), view_(view), gate_(ctx)
{
}

FamilyProtocol::~FamilyProtocol() = default;

bool FamilyProtocol::PutData(int16_t, const QVariant&)
{
    return false;
}

bool FamilyProtocol::GetData(int16_t, QVariant&) const
{
    return false;
}

QString FamilyProtocol::StatusLine(const QByteArray&) const
{
    return QString();
}

int16_t FamilyProtocol::CurrentSystem() const
{
    if (ctx_.lk)
        return ctx_.lk->CurrentSystemIndex();
    return ctx_.state ? ctx_.state->CurrentSystem : 0;
}

bool FamilyProtocol::ReadHeadError() const
{
    return ctx_.state && ctx_.state->ReadHeadError;
}

QString FamilyProtocol::Translate(const QString& key, const QString& text) const
{
    if (!ctx_.language)
        return text;
    return ctx_.language->Translate(QString::fromLatin1(section_), key, text);
}

void FamilyProtocol::ShowLine(const QString& text)
{
    if (view_ && !text.isEmpty())
        view_->ShowData(1, QByteArray(), ToCp1252(text));
}

void FamilyProtocol::ShowMessage(int16_t number)
{
    if (ctx_.language)
        ctx_.language->ShowMessage(number);
}

bool FamilyProtocol::FailWrite(const QString& reason, const QByteArray& statusReply)
{
    ShowLine(reason);
    ShowLine(StatusLine(statusReply));
    ShowMessage(4);
    return false;
}

void FamilyProtocol::SetBusy(bool busy)
{
    if (view_)
        view_->SetBusy(busy);
}

int16_t FamilyProtocol::sendCommand(const QByteArray& command, QByteArray& reply, const QVariant& logOption,
                                    bool& ok)
{
    ok = false;
    reply.clear();
    telegramGoingOut();
    if (!ctx_.lk)
        return 0;
    return ctx_.lk->SendCommand(command, reply, logOption, ok);
}

int16_t FamilyProtocol::sendCommand(const QByteArray& command, const QVariant& logOption)
{
    QByteArray reply;
    bool ok = false;
    return sendCommand(command, reply, logOption, ok);
}

void FamilyProtocol::sendOnly(const QByteArray& command, const QByteArray& parameter, const QVariant& logOption)
{
    telegramGoingOut();
    if (ctx_.lk)
        ctx_.lk->SendOnly(command, parameter, logOption);
}

bool FamilyProtocol::sendStop(const QByteArray& command, const QByteArray& parameter,
                              const std::function<bool(const QByteArray&)>& isAnswer)
{
    sendOnly(command, parameter, QVariant());
    for (int passed = 0; passed <= kRepliesBeforeStopAnswer; ++passed) {
        QByteArray frame;
        if (receive(frame, QVariant()) <= 0)
            return false;
        if (isAnswer(frame))
            return true;
    }
    return false;
}

int16_t FamilyProtocol::receive(QByteArray& reply, const QVariant& logOption)
{
    int16_t count = 0;
    if (ctx_.lk)
        return ctx_.lk->LkReceive(reply, count, logOption);
    if (ctx_.ports)
        return ctx_.ports->ReceiveTelegram(reply, count, logOption);
    reply.clear();
    return 0;
}

} // namespace orvid
