#include "FamilyProtocol.h"

#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "link/DeviceWait.h"
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
                              const std::function<bool(const QByteArray&)>& isAnswer, QList<QByteArray>* passed,
                              const QVariant& logOption, bool lateAnswerMayCome)
{
    const bool noCheck = command.startsWith('\xA7');
    sendOnly(noCheck ? command.mid(1) : command, parameter, logOption);
    for (int taken = 0; taken <= kRepliesBeforeStopAnswer; ++taken) {
        QByteArray frame;
        if (receive(frame, logOption, noCheck) <= 0)
            return false;
        if (isAnswer(frame)) {
            // Nothing came before it, so it may be the ended command's late answer: then
            // the stop's own follows at once.
            if (lateAnswerMayCome && taken == 0 && inputWithin(kSecondAnswerMs)) {
                QByteArray second;
                if (receive(second, logOption, noCheck) > 0 && isAnswer(second) && passed)
                    passed->append(frame);
            }
            return true;
        }
        if (passed)
            passed->append(frame);
    }
    return false;
}

bool FamilyProtocol::inputWithin(int ms)
{
    if (!ctx_.lk)
        return false;
    LK& lk = *ctx_.lk;
    DeviceWait::waitUntil([&lk] { return lk.LkDataAvailable(); }, ms);
    return lk.LkDataAvailable();
}

bool FamilyProtocol::sendDeviceStop(const QByteArray& command, bool repliesMayCome, const QVariant& logOption)
{
    // Nothing of a read ahead of it: whatever comes first is the answer, and the unit's
    // answer to this command from now on. Behind a read's replies only the answer the unit
    // gave before can be told from them.
    const QByteArray known = deviceStopAnswers_.value(command);   // a frame is never empty
    QByteArray first;
    const bool answered = sendStop(command, QByteArray(), [&](const QByteArray& frame) {
        if (repliesMayCome)
            return !known.isEmpty() && frame == known;
        first = frame;
        return true;
    }, nullptr, logOption);
    if (!first.isEmpty())
        deviceStopAnswers_.insert(command, first);
    return answered;
}

int16_t FamilyProtocol::receive(QByteArray& reply, const QVariant& logOption, bool noCheck)
{
    int16_t count = 0;
    if (ctx_.lk)
        return ctx_.lk->LkReceive(reply, count, logOption, true, noCheck);
    if (ctx_.ports)
        return ctx_.ports->ReceiveTelegram(reply, count, logOption, true, noCheck);
    reply.clear();
    return 0;
}

int16_t FamilyProtocol::receiveAnswer(QByteArray& reply, const QVariant& logOption)
{
    if (ctx_.lk && !ctx_.lk->GetDirectAccess())
        return ctx_.lk->ReceiveAnswer(reply, logOption);
    return receive(reply, logOption);
}

} // namespace orvid
