#include "families/wl/WLFramedProtocol.h"

#include "families/common/MicrowaveWrite.h"
#include "foundations/Utils.h"

#include <QList>

#include <algorithm>
#include <cmath>

namespace orvid::wlframed {

namespace {

quint8 Code(const QByteArray& text, qsizetype index)
{
    return index >= 0 && index < text.size() ? static_cast<quint8>(text.at(index)) : 0;
}

void AppendEscaped(QByteArray& out, char c)
{
    if (IsSpecial(c))
        out.append(kDLE);
    out.append(c);
}

} // namespace

bool IsSpecial(char c)
{
    switch (c) {
    case kSTX: case kETX: case kSYN: case kDLE: case 0x06: case 0x15:
        return true;
    default:
        return false;
    }
}

QByteArray FrameBody(const QByteArray& command, const QByteArray& parameter, int busAddress, int toggleBit)
{
    QByteArray out;
    AppendEscaped(out, static_cast<char>((busAddress + (toggleBit == 1 ? 128 : 0)) & 0xFF));
    if (command.startsWith('~')) {
        out += command.mid(1);
        out += parameter;
        return out;
    }
    for (char c : command + parameter)
        AppendEscaped(out, c);
    return out;
}

bool AcceptReply(const QByteArray& reply, int n, int busAddress, int toggleBit)
{
    if (n < 5 || reply.size() < 2 || reply.at(0) != kSTX)
        return false;
    const int t = Code(reply, 1) - busAddress == 128 ? 1 : 0;
    return t == toggleBit;
}

Reply StripHeader(const QByteArray& reply, int n)
{
    Reply r;
    r.error = Code(reply, 4) == 0x7F && Code(reply, 5) == 0xFF;
    const qsizetype end = std::min<qsizetype>(n, reply.size());
    if (end > kHeaderLength)
        r.data = Unescape(reply.mid(kHeaderLength, end - kHeaderLength));
    return r;
}

QByteArray Unescape(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data.at(i) == kDLE) {
            if (++i >= data.size())
                break; // the DLE that escaped the check character
        }
        out.append(data.at(i));
    }
    return out;
}

quint32 MakeIntelLong(const QByteArray& text)
{
    return (quint32(Code(text, 0)) << 24) | (quint32(Code(text, 1)) << 16) | (quint32(Code(text, 2)) << 8)
        | Code(text, 3);
}

QByteArray MakeLong(quint32 value)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    return out;
}

int MakeIntelInteger(const QByteArray& text)
{
    return Code(text, 0) * 256 + Code(text, 1);
}

bool ParseReaderInfo(const QByteArray& data, QByteArray& typeText, QByteArray& versionText)
{
    const QList<QByteArray> parts = data.split('\\');
    if (parts.size() < 6)
        return false;
    const QByteArray& p1 = parts[1];
    const QByteArray& p2 = parts[2];
    typeText = p1 + ' ' + p2 + ' ';
    versionText = p1 + ' ' + p2 + ' ' + parts[3] + " \r\nKT7-3MV " + parts[4] + ' ';
    return true;
}

QString MiniText(const QByteArray& twoBytes)
{
    // Quarters: every digit of the whole part, and only the decimals the quarter needs.
    static const char* const kQuarters[] = {"", ".25", ".5", ".75"};
    const int v = MakeIntelInteger(twoBytes);
    return QString::number(v / 4) + QLatin1String(kQuarters[v % 4]);
}

Reading DecodeReading(const QByteArray& data)
{
    Reading r;
    if (data.isEmpty() || Code(data, 0) != 5)
        return r;
    r.valid = true;
    // The last two bits of c6 are a fraction: rounded, halves to the even number.
    const double id = Code(data, 2) * 4194304.0 + Code(data, 3) * 16384.0 + Code(data, 4) * 64.0
        + Code(data, 5) / 4.0;
    r.id = static_cast<quint32>(std::nearbyint(id));
    r.idText = QStringLiteral("%1").arg(r.id, 8, 10, QLatin1Char('0'));
    if (data.size() < 13)
        return r;
    const int cls = Code(data, 12);
    int count = 0;
    switch (cls) {
    case 0: count = 2; r.prefix = "Mini: "; break;
    case 1: count = 20; r.prefix = "Quarter: "; break;
    case 2: count = 72; r.prefix = "Full: "; break;
    case 3: case 4: return r;
    default: count = cls - 4; break;
    }
    // Never past the reply's end: a short reply shows what it holds.
    const QByteArray shown = data.mid(13, count);
    r.hasData = true;
    r.data = shown.size() == 2 ? MiniText(shown).toLatin1() : shown;
    return r;
}

Status DecodeStatus(const QByteArray& data, bool readError)
{
    Status s;
    if (data.size() < 2 || readError)
        return s;
    s.error = Code(data, 0);
    s.state = Code(data, 1);
    return s;
}

QByteArray WriteBlock(const WriteRequest& request)
{
    QByteArray block;
    if (!request.id.isEmpty()) {
        block.append('\0');
        block += request.id;
    } else {
        block.append('\x01');
        block += QByteArray(9, '\0');
    }
    quint8 flags = 0;
    if (request.speed == 0)
        flags |= 0x80;
    if (request.intervalType == 1)
        flags |= 0x40;
    if (request.memory == 1)
        flags |= 0x10;
    if (request.memory == 2)
        flags |= 0x08;
    switch (request.intervalLength) {
    case 1: flags |= 0x20; break;
    case 2: flags |= 0x24; break;
    case 3: flags |= 0x22; break;
    default: break;
    }
    block.append(static_cast<char>(flags));
    block.append('\0');
    switch (request.memory) {
    case 0:
        block.append('\0');
        block += MakeReaderInteger(Val(request.data) * 4);
        break;
    case 1:
        block.append('\x01');
        block += request.data.toLatin1().leftJustified(20, ' ', true);
        break;
    default:
        block.append('\x02');
        block += request.data.toLatin1().leftJustified(72, ' ', true);
        break;
    }
    return block;
}

} // namespace orvid::wlframed
