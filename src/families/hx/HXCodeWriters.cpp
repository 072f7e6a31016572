// The code writers of the interface units' special tag types and the special-fixcode read:
// the fixcode of QTX11 and WTX60 tags, the special fixcode of ZKX tags, the code of a tag
// under a VNB head and the chip code of an NCX tag. Each builds one data text and sends it
// to the current channel through the writers' common frame (writeCode).

#include "HXProtocol.h"

namespace orvid {

using hx::HXCommand;

namespace {

bool hexDigitsOnly(const QByteArray& code)
{
    static const QByteArray digits("0123456789ABCDEFabcdef");
    return std::all_of(code.begin(), code.end(), [](char c) { return digits.contains(c); });
}

// The fixcode writes by mode: Buffered is "AX" and Auto "BX", as for WriteTag.
bool fixcodeWriteCommand(int16_t mode, HXCommand& command)
{
    return hx::WriteCommand(mode, true, command);
}

} // namespace

bool HXProtocol::writeCode(const CodeWrite& w)
{
    if (EthernetMode && w.command != HXCommand::SP && w.command != HXCommand::EP) {
        refuse(Refusal::NoFixcodeNet);
        if (w.message)
            ShowMessage(4);
        return false;
    }
    SetBusy(true);
    // A continuous command on any channel would answer in between: end them all first.
    stopBusyHeads();
    QByteArray channel = Channel.toLatin1(), reply;
    if (w.prepare) {
        if (!sendPasswordMode(channel)) {
            SetBusy(false);
            return false;
        }
        ChangeTag(-1);
        CheckMultitagMode();
    }
    SerialTimeout timeout(*this, w.serialTimeout);
    bool ok = false;
    const int16_t n = HXRead(w.command, channel, w.data, reply, false, ok);
    bool good = ok && n >= 0;
    // Failures are listed whatever the read-error option says: the dialog stays open.
    if (n < 0)
        showError(reply, hx::SerialStatus(reply), w.prepare);
    else if (!ok)
        refuse(Refusal::NoReply);
    good = drainReplies(channel, true) && good;
    if (w.mode >= 0)
        continuousCheck(w.mode, 0);
    if (!good && w.message)
        ShowMessage(4);
    SetBusy(false);
    return good;
}

bool HXProtocol::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    // Single, Buffered and Auto all write with "SX" here; only Enhanced differs. The data
    // names the tag type itself ("11", or "02" write-protected): no "CT" or "PM" first.
    if (mode < 0 || mode > 3)
        return FailWrite(refusalText(Refusal::NoCommand), QByteArray());
    const QByteArray code = (fixcode + QByteArray(5, '\0')).left(5);
    return writeCode({mode == 3 ? HXCommand::EX : HXCommand::SX, QByteArray(writeProtect ? "02" : "11") + "05" + code,
                      mode, false, 0, true});
}

bool HXProtocol::WriteSpecialFixcode(int16_t mode, const QByteArray& code)
{
    // Six hex digits at most: a longer or non-hex code would be cut or sent as garbage.
    if (code.size() > 6 || !hexDigitsOnly(code))
        return refuse(Refusal::SpecialFixcodeInvalid);
    if (mode != 0 && mode != 3)
        return refuse(Refusal::NoCommand);
    return writeCode({mode == 3 ? HXCommand::EP : HXCommand::SP, "6" + code.leftJustified(6, '0'), mode});
}

bool HXProtocol::WriteVNBFixcode(const QByteArray& code)
{
    if (code.size() > 14)
        return refuse(Refusal::VNBCodeTooLong);
    return writeCode({HXCommand::SP, "E" + code.leftJustified(14, '\0'), -1, true, 5000});
}

bool HXProtocol::WriteWTXFixcode(int16_t mode, const QByteArray& code)
{
    if (code.size() > 4)
        return refuse(Refusal::WTXCodeTooLong);
    HXCommand command{};
    if (!fixcodeWriteCommand(mode, command))
        return refuse(Refusal::NoCommand);
    return writeCode({command, "6004" + code.leftJustified(4, '\0'), mode});
}

bool HXProtocol::WriteNCXTag(int16_t mode, const QByteArray& code)
{
    if (code.size() != 7 || !hexDigitsOnly(code))
        return refuse(Refusal::NCXCodeInvalid);
    HXCommand command{};
    if (!fixcodeWriteCommand(mode, command))
        return refuse(Refusal::NoCommand);
    return writeCode({command, "5207" + code, mode});
}

void HXProtocol::ReadSpecialFixcode()
{
    if (OperationMode != 0 && OperationMode != 3) {
        refuse(Refusal::NoCommand);
        return;
    }
    SetBusy(true);
    stopBusyHeads();
    QByteArray channel = Channel.toLatin1();
    if (!sendPasswordMode(channel)) {
        SetBusy(false);
        return;
    }
    ChangeTag(-1);
    CheckMultitagMode();
    QString family;
    if (Channel == QLatin1String("x")) {
        for (const QString& f : HeadFamily)
            if (!f.trimmed().isEmpty()) {
                family = f.trimmed();
                break;
            }
    } else {
        family = HeadFamily[std::clamp(slot(), 1, 4) - 1];
    }
    const QByteArray data = family == QLatin1String("VNB") ? "0" : "6";
    if (!HXWrite(OperationMode == 3 ? HXCommand::ES : HXCommand::SS, channel, data, false)) {
        SetBusy(false);
        return;
    }
    SetFixcodeMode(channel, true);
    {
        SerialTimeout timeout(*this, OperationMode != 3 ? 5000 : 0);
        const int calls = Channel == QLatin1String("x") ? answersOnAll() : 1;
        for (int i = 0; i < calls; ++i) {
            Poll(true, true);
            if (LastReply.isEmpty())
                break;
        }
    }
    continuousCheck(OperationMode, 0);
    SetBusy(false);
}

} // namespace orvid
