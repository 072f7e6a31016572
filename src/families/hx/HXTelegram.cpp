#include "HXTelegram.h"

#include "foundations/Utils.h"

#include <array>

namespace orvid::hx {

namespace {

using R = PayloadRule;

// In the order of HXCommand.
constexpr std::array<CommandInfo, 33> kCommands{{
    {"VE", -1, R::None},    {"QU", 0x02, R::Plain}, {"SR", 0x10, R::Word},
    {"BR", -1, R::Word},    {"AR", -1, R::Word},    {"ER", 0x19, R::Word},
    {"SW", 0x40, R::Word},  {"BW", -1, R::Word},    {"AW", -1, R::Word},
    {"EW", 0x1A, R::Word},  {"SF", 0x01, R::Plain}, {"BF", -1, R::Plain},
    {"AF", -1, R::Plain},   {"EF", 0x1D, R::Plain}, {"CT", 0x04, R::Plain},
    {"PM", 0x18, R::Plain}, {"PS", 0x42, R::Plain}, {"PC", 0x41, R::Plain},
    {"SG", 0x61, R::Plain}, {"SC", 0x12, R::Plain}, {"SX", 0x1F, R::Word},
    {"AX", -1, R::Word},    {"BX", -1, R::Word},    {"EX", 0x24, R::Word},
    {"GS", -1, R::None},    {"MM", 0x9B, R::Plain}, {"TM", 0x9C, R::Trigger},
    {"SS", 0x0A, R::Plain}, {"ES", 0x71, R::Plain}, {"SP", 0x0D, R::Special},
    {"EP", 0x75, R::Special}, {"RP", 0xBE, R::Plain}, {"WP", 0xBF, R::Plain},
}};

bool isFixcodeWrite(HXCommand c)
{
    return c == HXCommand::SX || c == HXCommand::AX || c == HXCommand::BX || c == HXCommand::EX;
}

bool hexRun(const QByteArray& text, qsizetype from, qsizetype count, quint32& value)
{
    if (text.size() < from + count)
        return false;
    return ParseHexDigits(QByteArrayView(text).sliced(from, count), value);
}

} // namespace

const CommandInfo& Info(HXCommand command)
{
    return kCommands.at(static_cast<size_t>(command));
}

bool CommandOf(const QByteArray& text, HXCommand& command)
{
    for (size_t i = 0; i < kCommands.size(); ++i) {
        if (text.startsWith(kCommands[i].text)) {
            command = static_cast<HXCommand>(i);
            return true;
        }
    }
    return false;
}

QByteArray CommandField(HXCommand command, bool ethernet)
{
    const CommandInfo& info = Info(command);
    if (!ethernet)
        return QByteArray(info.text);
    return info.code < 0 ? QByteArray() : QByteArray(1, static_cast<char>(info.code));
}

bool ReadCommand(int mode, bool fixcode, HXCommand& command)
{
    static constexpr HXCommand words[] = {HXCommand::SR, HXCommand::BR, HXCommand::AR, HXCommand::ER};
    static constexpr HXCommand codes[] = {HXCommand::SF, HXCommand::BF, HXCommand::AF, HXCommand::EF};
    if (mode < 0 || mode > 3)
        return false;
    command = fixcode ? codes[mode] : words[mode];
    return true;
}

bool WriteCommand(int mode, bool fixcode, HXCommand& command)
{
    static constexpr HXCommand words[] = {HXCommand::SW, HXCommand::BW, HXCommand::AW, HXCommand::EW};
    static constexpr HXCommand codes[] = {HXCommand::SX, HXCommand::AX, HXCommand::BX, HXCommand::EX};
    if (mode < 0 || mode > 3)
        return false;
    command = fixcode ? codes[mode] : words[mode];
    return true;
}

QByteArray SerialTelegram(const QByteArray& command, const QByteArray& channel,
                          const QByteArray& data)
{
    return command + channel + data + "#\r";
}

int ChannelNumber(const QByteArray& channel)
{
    if (channel.isEmpty())
        return 0;
    const int value = static_cast<int>(Val(channel));
    return value == 0 ? 7 : value;
}

FrameRefusal EthernetFrame(HXCommand command, QByteArray& channel, const QByteArray& data,
                           QByteArray& frame)
{
    const CommandInfo& info = Info(command);
    if (info.code < 0)
        return FrameRefusal::NoCode;
    if (isFixcodeWrite(command))
        return FrameRefusal::Fixcode;

    int argument = 0;
    QByteArray payload;
    switch (info.rule) {
    case R::Word: {
        quint32 address = 0, count = 0;
        if (!hexRun(data, 0, 4, address) || !hexRun(data, 4, 2, count))
            return FrameRefusal::BadData;
        if (count > kMaxEthernetWords)
            return FrameRefusal::WordCount;
        argument = static_cast<int>(count);
        payload.append(static_cast<char>(address >> 8)).append(static_cast<char>(address & 0xFF));
        payload.append(data.mid(6));
        break;
    }
    case R::Special: {
        const int digit = data.isEmpty() ? -1 : HexDigitValue(static_cast<uchar>(data.at(0)));
        if (digit < 0)
            return FrameRefusal::BadData;
        argument = digit;
        payload = QByteArray("\x00\x00\x30\x00", 4) + data.mid(1);
        break;
    }
    case R::Trigger: {
        if (data.size() < 2 || data.at(0) < '0' || data.at(0) > '9' || data.at(1) < '0'
            || data.at(1) > '9')
            return FrameRefusal::BadData;
        channel = QByteArray::number(static_cast<int>(Val(channel)) + 2);
        argument = data.at(0) - '0';
        payload = QByteArray(1, static_cast<char>(data.at(1) - '0'));
        break;
    }
    case R::Plain:
    case R::None:
        payload = data;
        break;
    }

    const int length = 4 + static_cast<int>(payload.size());
    if (length > 0xFFFF)
        return FrameRefusal::BadData;
    const int number = ChannelNumber(channel) & 7;
    frame.clear();
    frame.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF));
    frame.append(static_cast<char>(info.code));
    frame.append(static_cast<char>((number << 1) | ((argument & 0x0F) << 4)));
    frame.append(payload);
    return FrameRefusal::None;
}

void MapStatusByte(uint8_t byte, QByteArray& character, int& status)
{
    if (byte == 64) {
        character = "4";
        status = 4;
    } else if (byte <= 15) {
        character = StatusCode(byte);
        status = byte;
    } else {
        // The unit's table ends at F: a byte past it names no status this program knows,
        // and taking it for success would report a failed command as done.
        character = "?";
        status = byte;
    }
}

bool AnnouncesFurtherFrame(const QByteArray& frame)
{
    return frame.size() >= 6 && static_cast<uint8_t>(frame.at(4)) == kFurtherFrame;
}

bool DecodeEthernetReply(const QByteArray& frame, const QByteArray& further, HXReply& reply)
{
    const QByteArray& used = AnnouncesFurtherFrame(frame) ? further : frame;
    if (used.size() < 6)
        return false;
    QByteArray character;
    int status = 0;
    MapStatusByte(static_cast<uint8_t>(used.at(4)), character, status);
    const int channel = (static_cast<uint8_t>(used.at(3)) >> 1) & 7;
    reply.status = status;
    reply.text = character + QByteArray::number(channel) + used.mid(6);
    return true;
}

int SerialStatus(const QByteArray& reply)
{
    if (reply.isEmpty())
        return 16;
    const int digit = HexDigitValue(static_cast<uchar>(reply.at(0)));
    return digit < 0 ? 16 : digit;
}

int16_t GetLKResult(QByteArray& reply, int16_t length, int protocolType, int status)
{
    if (length <= 0)
        return length;
    if (status != 0)
        return static_cast<int16_t>(-status);
    const int header = HeaderLength(protocolType);
    if (length <= header) {
        reply.clear();
        return 0;
    }
    reply = reply.mid(header);
    return static_cast<int16_t>(length - header);
}

int16_t GetLKResult(QByteArray& reply, int16_t length, int protocolType)
{
    return GetLKResult(reply, length, protocolType, SerialStatus(reply));
}

QString BuiltInStatusText(const QByteArray& code)
{
    if (code == "4")
        return QStringLiteral("Falscher oder ungültiger Befehl");
    if (code == "5")
        return QStringLiteral("Kein Tag im Lesebereich");
    if (code == "6")
        return QStringLiteral("Hardware Fehler (Schreiblesekopf nicht erkannt)");
    if (code == "7")
        return QStringLiteral("Software Fehler (ungültiges Befehlargument)");
    if (code == "9")
        return QStringLiteral("Der parametrierte Datenträgertyp passt nicht zum angeschlossenen Lesekopf.");
    if (code == "A")
        return QStringLiteral("Es befinden sich mehrere Transponder im Lesekopfbereich.");
    if (code == "E")
        return QStringLiteral("Interner Pufferüberlauf, Reset durchführen.");
    return QString();
}

QByteArray StatusCode(int status)
{
    if (status >= 0 && status <= 15)
        return QByteArray(1, "0123456789ABCDEF"[status]);
    return QByteArray::number(status);
}

} // namespace orvid::hx
