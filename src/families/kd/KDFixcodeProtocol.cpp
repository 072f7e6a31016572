#include "KDFixcodeProtocol.h"

#include "KDItems.h"
#include "families/common/DataItems.h"
#include "families/common/FamilySettings.h"
#include "foundations/AppContext.h"
#include "foundations/Cp1252.h"
#include "foundations/MainFrame.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Ports.h"

namespace orvid {

KDFixcodeProtocol::KDFixcodeProtocol(AppContext& ctx, IFamilyView* view) : FamilyProtocol(ctx, kSection, view) {}

// ---- framing and recognition ---------------------------------------------------------------

void KDFixcodeProtocol::Init(bool)
{
    if (ctx_.frame)
        ctx_.frame->setMenuEnabled(MenuEntry::IO, false);
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    if (ctx_.ports) {
        ctx_.ports->SetFramingType(3);
        ctx_.ports->SetLinkProtocol("\r\n");
        ctx_.ports->FlushInput();
    }
    reset();
}

QByteArray KDFixcodeProtocol::BuildTelegram(const QByteArray& command, const QByteArray& suffix)
{
    LastCommand = command.toUpper();
    return command + suffix;
}

bool KDFixcodeProtocol::IsRead(const QByteArray& command)
{
    for (const char* prefix : {"R", "AR", "CAR", "BAR"}) {
        if (command.startsWith(prefix) && command.indexOf(',') == qsizetype(qstrlen(prefix)) + 1)
            return true;
    }
    return false;
}

int16_t KDFixcodeProtocol::ReplyResult(QByteArray& reply, int16_t length, const QVariant& logOption)
{
    if (length <= 0 || LastCommand != "VER")
        return length;
    // The version is two lines; a unit that sends one still gets its line and CR LF.
    QByteArray second;
    const int16_t n = receiveAnswer(second, logOption);
    reply = reply.left(length) + "\r\n" + (n > 0 ? second.left(n) : QByteArray());
    return static_cast<int16_t>(qMin<qsizetype>(reply.size(), 32767));
}

bool KDFixcodeProtocol::Check()
{
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray());
        ctx_.lk->LkPutData(LinkItem::VersionText, QByteArray());
    }
    QByteArray reply;
    bool ok = false;
    const int16_t n = sendCommand("VER", reply, QVariant(), ok);
    if (n <= 0)
        return false;
    const QByteArray upper = reply.left(n).toUpper();
    if (!upper.contains("ORVID-I"))
        return false;
    const char* type = upper.contains("DVN") ? kTypeDVN : upper.contains("DRN") ? kTypeDRN : nullptr;
    if (!type)
        return false;
    if (ctx_.lk) {
        ctx_.lk->LkPutData(LinkItem::HeadType, QByteArray(type));
        ctx_.lk->LkPutData(LinkItem::VersionText, reply.left(n));
    }
    return true;
}

// ---- reads -----------------------------------------------------------------------------------

QByteArray KDFixcodeProtocol::ReadCommand(int mode, int head, int dataFormat)
{
    static const char* const prefixes[] = {"R", "AR", "CAR", "BAR"};
    const char* prefix = mode >= 0 && mode <= 3 ? prefixes[mode] : "R";
    return prefix + kd::HeadText(head) + "," + (dataFormat == 0 ? "10" : "28");
}

bool KDFixcodeProtocol::ReadDataExt(int mode, int head, int dataFormat, int doubleSided)
{
    const int stops = Exchanges().StopCount();
    // A Stop pressed while a reply is awaited here ends the read: nothing more goes out.
    const auto stopped = [&] {
        if (Exchanges().StopCount() == stops)
            return false;
        AutoRepeat = false;
        return true;
    };
    reset();
    if (stopped())
        return false;
    if (doubleSided != 0) {
        sendCommand("SD");
        if (stopped())
            return false;
    }
    AutoRepeat = mode == 1;
    LastHead = static_cast<int16_t>(head >= 0 && head <= 3 ? head : 4);
    readRunning_ = ReadCommand(mode, head, dataFormat);
    sendOnly(readRunning_, QByteArray());
    rearmDue_ = false;
    return mode >= 1 && mode <= 3;
}

void KDFixcodeProtocol::ReadData()
{
    SetBusy(true);
    const int stops = Exchanges().StopCount();
    const bool repeating = ReadDataExt(OperationMode, HeadNumber, DataFormat, DoubleSided);
    if (Exchanges().StopCount() == stops) {
        if (ctx_.lk)
            ctx_.lk->EnablePolling(repeating);
        Poll(true, true);
    }
    SetBusy(false);
}

QString KDFixcodeProtocol::PollStep(const QVariant& show, const QVariant& forced)
{
    Poll(show.isValid() ? show.toBool() : true, forced.toBool());
    return QString();
}

void KDFixcodeProtocol::Poll(bool show, bool)
{
    if (rearmDue_ && AutoRepeat)
        ReadDataExt(OperationMode, HeadNumber, DataFormat, DoubleSided);
    QByteArray line;
    const int16_t n = receive(line, QVariant());
    if (n > 0)
        takeLine(line.left(n), show, true);
}

void KDFixcodeProtocol::takeLine(const QByteArray& line, bool show, bool rearmNow)
{
    // A Single or Auto read sends one line: after it, nothing of it is left to come.
    if (readRunning_.startsWith('R') || readRunning_.startsWith("AR"))
        readRunning_.clear();
    // The line belongs to the head it was read from, whatever the re-arm below names.
    const QString head = LastHead == 4 ? QStringLiteral("X") : QString::number(LastHead + 1);
    if (AutoRepeat) {
        // The Auto read is armed again before the line is shown, as the unit expects; the
        // re-arm's sends discard lines that arrived meanwhile. It is armed with the window's
        // mode as it is now, and leaves polling alone: a read the user switched to Single
        // meanwhile still has its reply taken by the next poll step. Only the read button
        // and Stop switch polling. A line the link took before a telegram of its own is
        // re-armed by the next poll step, after that telegram.
        if (rearmNow)
            ReadDataExt(OperationMode, HeadNumber, DataFormat, DoubleSided);
        else
            rearmDue_ = true;
    }
    if (!show || !View())
        return;
    const QString status = GetError(line);
    if (status.isEmpty()) {
        View()->ShowData(2, ToCp1252(HeadLabel + QLatin1Char(' ') + head + QStringLiteral(": ")), line);
        lastLine_.note(line);
    } else if (ReadHeadError()) {
        ShowLine(status);
    }
}

bool KDFixcodeProtocol::ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
{
    const QByteArray line = frame.left(length);
    if (inAnswer && !lastLine_.echoes(line, IsRead(LastCommand)))
        return false;
    takeLine(line, true, false);
    return true;
}

QString KDFixcodeProtocol::BuiltinStatusText(const QByteArray& line)
{
    static const struct {
        const char* codes[2];
        const char* text;
    } table[] = {
        {{"E0", "M6"}, "Lesekopf ist nicht funktionsbereit"},
        {{"E1", "M0"}, "Hardwarefehler in der Auswerteeinheit"},
        {{"E2", "M7"}, "Kein Datentr\xE4ger vorhanden"},
        {{"E3", nullptr}, "Datenr\xE4ger kann nicht gelesen werden"},
        {{"E5", "M5"}, "Bin\xE4rmode nicht zul\xE4ssing"},
        {{"E9", "M3"}, "Unbekannter Befehl"},
        {{"M1", "M2"}, "Speicherfehler in der Auswerteeinheit"},
        {{"M4", nullptr}, "Kommunikationsfehler"},
        {{"M8", nullptr}, "Fehler bei der Daten\xFC\x62\x65rtragung zum Code- Datentr\xE4ger"},
        {{"M9", nullptr}, "Lesekopf ist nicht ansprechbar"},
    };
    for (const auto& row : table) {
        for (const char* code : row.codes) {
            if (code && line == code)
                return QString::fromLatin1(row.text);
        }
    }
    return QString();
}

QString KDFixcodeProtocol::GetError(const QByteArray& line) const
{
    // The language file may name any line; its text wins over the built-in one.
    QString text = Translate(QStringLiteral("ERROR_") + FromCp1252(line), QString());
    if (text.isEmpty())
        text = BuiltinStatusText(line);
    if (text.isEmpty())
        return QString();
    return StatusLabel + QLatin1Char(' ') + FromCp1252(line) + QStringLiteral(" - ") + text;
}

// ---- stop, close, items, settings --------------------------------------------------------------

void KDFixcodeProtocol::reset()
{
    // What the unit answers is its own business: the line it gave while no read ran.
    if (sendDeviceStop("RST", !readRunning_.isEmpty()))
        readRunning_.clear();
}

void KDFixcodeProtocol::StopBuffered()
{
    AutoRepeat = false;
    reset();
}

void KDFixcodeProtocol::CloseLK()
{
    reset();
    SaveSettings(false);
}

bool KDFixcodeProtocol::PutData(int16_t id, const QVariant& value)
{
    const auto v = static_cast<int16_t>(value.toInt());
    switch (id) {
    case KDItem::OperationMode: OperationMode = v; return true;
    case KDItem::HeadNumber: HeadNumber = v; return true;
    case KDItem::DataFormat: DataFormat = v; return true;
    case KDItem::DoubleSided: DoubleSided = v; return true;
    default: return false;
    }
}

bool KDFixcodeProtocol::GetData(int16_t id, QVariant& value) const
{
    switch (id) {
    case KDItem::OperationMode: value = OperationMode; return true;
    case KDItem::HeadNumber: value = HeadNumber; return true;
    case KDItem::DataFormat: value = DataFormat; return true;
    case KDItem::DoubleSided: value = DoubleSided; return true;
    default: return false;
    }
}

void KDFixcodeProtocol::LoadSettings()
{
    const SettingsSection s(ctx_, kSettings);
    DataFormat = CInt16(s.Number("DataFormat", "00"));
    OperationMode = CInt16(s.Number("OperationMode", "0"));
    HeadNumber = CInt16(s.Number("HeadNumber", "0"));
    DoubleSided = CInt16(s.Number("DoubleSided", "0"));
}

void KDFixcodeProtocol::SaveSettings(bool withDoubleSided)
{
    SettingsSection s(ctx_, kSettings);
    s.Write("HeadNumber", HeadNumber);
    s.Write("OperationMode", OperationMode);
    s.Write("DataFormat", DataFormat);
    if (withDoubleSided)
        s.Write("DoubleSided", DoubleSided);
}

} // namespace orvid
