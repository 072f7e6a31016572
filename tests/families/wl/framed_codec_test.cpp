// The framed system L telegram layer and parameter string without a port: framing, reply
// acceptance and unescaping, byte orders, reading and status decoding, the write block,
// and the parameter string through parse and compose.

#include "families/common/MicrowaveWrite.h"
#include "families/wl/WLFramedProtocol.h"
#include "families/wl/WLParameterString.h"

#include <gtest/gtest.h>

using namespace orvid;
using namespace orvid::wlframed;

namespace {

QByteArray B(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(static_cast<char>(c));
    return b;
}

} // namespace

TEST(WLFramed, FramingAcceptanceAndUnescaping)
{
    struct Frame {
        QByteArray command, parameter;
        int address, toggle;
        QByteArray body;
    } frames[] = {
        {"FE", {}, 1, 1, B({0x81, 'F', 'E'})},
        {"FE", {}, 2, 0, B({0x10, 0x02, 'F', 'E'})},       // address byte STX: escaped
        {"$", B({4, '$', 3}), 1, 0, B({1, '$', 4, '$', 0x10, 3})}, // 04 is no special character
        {"~", B({0x16}), 1, 1, B({0x81, 0x16})},            // resync: no escaping
        {"FB", B({0x10, 0, 0, 1}), 1, 0, B({1, 'F', 'B', 0x10, 0x10, 0, 0, 1})},
    };
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.command.toHex().constData());
        EXPECT_EQ(FrameBody(f.command, f.parameter, f.address, f.toggle).toHex(), f.body.toHex());
    }

    const QByteArray header = B({2, 0x81, 'x', 'y', 0, 0});
    struct Accept {
        QByteArray reply;
        int address, toggle;
        bool accepted;
    } accepts[] = {
        {header, 1, 1, true},
        {header, 1, 0, false},                          // toggle 1 while 0 is expected
        {B({2, 0x55, 'x', 'y', 0, 0}), 1, 0, true},     // any other address at toggle 0
        {B({2, 0x82, 'x', 'y', 0, 0}), 1, 1, false},
        {B({3, 0x81, 'x', 'y', 0, 0}), 1, 1, false},    // no STX
        {header.left(4), 1, 1, false},                  // shorter than five
    };
    for (const Accept& a : accepts)
        EXPECT_EQ(AcceptReply(a.reply, static_cast<int>(a.reply.size()), a.address, a.toggle), a.accepted)
            << a.reply.toHex().constData();

    struct Strip {
        QByteArray reply;
        QByteArray data;
        bool error;
    } strips[] = {
        {header + B({0x41, 0x10, 0x03, 0x42}), B({0x41, 0x03, 0x42}), false},
        {header + B({0x41, 0x42, 0x10}), B({0x41, 0x42}), false}, // DLE of the check character
        {header + B({0x10, 0x10, 0x10}), B({0x10}), false},
        {B({2, 1, 'x', 'y', 0x7F, 0xFF, 'E'}), "E", true},
        {B({2, 1, 'x', 'y', 0x7F}), {}, false},                   // five: no data, never negative
    };
    for (const Strip& s : strips) {
        const Reply r = StripHeader(s.reply, static_cast<int>(s.reply.size()));
        EXPECT_EQ(r.data.toHex(), s.data.toHex()) << s.reply.toHex().constData();
        EXPECT_EQ(r.error, s.error);
    }
    // A length shorter than the text: nothing past it is read.
    EXPECT_EQ(StripHeader(header + "ABCD", 8).data, "AB");
}

TEST(WLFramed, ByteOrdersAndReaderInfo)
{
    EXPECT_EQ(MakeLong(1).toHex(), "00000001");
    EXPECT_EQ(MakeLong(0xFFFFFFFFu).toHex(), "ffffffff");
    EXPECT_EQ(MakeIntelLong(B({0, 1, 0xE2, 0x40})), 123456u);
    const quint32 values[] = {0, 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x12345678u};
    for (quint32 v : values)
        EXPECT_EQ(MakeIntelLong(MakeLong(v)), v);
    EXPECT_EQ(MakeIntelLong(B({1})), 0x01000000u); // missing bytes count as 0
    // The reader's two bytes: negative values count from 32768, a Mini value x 4 uses all 16 bits.
    const std::pair<double, const char*> readerIntegers[] = {
        {-1, "7fff"}, {4000, "0fa0"}, {-4, "7ffc"}, {32768, "8000"}, {40000, "9c40"}, {65532, "fffc"}, {2.5, "0002"}};
    for (const auto& [value, hex] : readerIntegers)
        EXPECT_EQ(MakeReaderInteger(value).toHex(), hex) << value;
    EXPECT_EQ(MakeIntelInteger(B({1, 2})), 258);

    QByteArray type, version;
    EXPECT_TRUE(ParseReaderInfo("lead\\A\\B\\C\\D\\", type, version));
    EXPECT_EQ(type, "A B ");
    EXPECT_EQ(version, "A B C \r\nKT7-3MV D ");
    EXPECT_FALSE(ParseReaderInfo("lead\\A\\B\\C\\D", type, version)); // four "\" only
}

TEST(WLFramed, ReadingsStatusAndWriteBlock)
{
    auto reading = [](std::initializer_list<int> id, int cls, const QByteArray& data) {
        QByteArray r = B({5, 0});
        for (int c : id)
            r.append(static_cast<char>(c));
        r += QByteArray(6, '\0');
        if (cls >= 0)
            r.append(static_cast<char>(cls));
        return r + data;
    };
    struct Case {
        QByteArray reply;
        QString idText;
        bool hasData;
        QByteArray line;
    } cases[] = {
        {reading({0, 0, 0, 2}, -1, {}), "00000000", false, {}}, // 0.5 rounds to even
        {reading({0, 0, 0, 3}, -1, {}), "00000001", false, {}},
        {reading({0, 0, 0, 6}, -1, {}), "00000002", false, {}},
        {reading({0, 0, 1, 0xFF}, -1, {}), "00000128", false, {}},
        {reading({1, 2, 3, 4}, -1, {}), "04227265", false, {}},
        {reading({0xFF, 0xFF, 0xFF, 0xFC}, -1, {}), "1073741823", false, {}}, // 30 bits at most
        {reading({0, 0, 0, 0}, 0, B({0, 5})), "00000000", true, "Mini: 1.25"},
        {reading({0, 0, 0, 0}, 0, B({0x0F, 0xA0})), "00000000", true, "Mini: 1000"},
        {reading({0, 0, 0, 0}, 0, B({0x9C, 0x41})), "00000000", true, "Mini: 10000.25"}, // every digit
        {reading({0, 0, 0, 0}, 0, B({0xFF, 0xFE})), "00000000", true, "Mini: 16383.5"},
        {reading({0, 0, 0, 0}, 0, B({0x00, 0x02})), "00000000", true, "Mini: 0.5"},
        {reading({0, 0, 0, 0}, 1, QByteArray(20, 'q')), "00000000", true, "Quarter: " + QByteArray(20, 'q')},
        {reading({0, 0, 0, 0}, 1, "short"), "00000000", true, "Quarter: short"}, // not past the end
        {reading({0, 0, 0, 0}, 3, "xx"), "00000000", false, {}},
        {reading({0, 0, 0, 0}, 5, "Zq"), "00000000", true, "Z"},       // one character as itself
        {reading({0, 0, 0, 0}, 6, B({0, 8})), "00000000", true, "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toHex().constData());
        const Reading r = DecodeReading(c.reply);
        EXPECT_TRUE(r.valid);
        EXPECT_EQ(r.idText, c.idText);
        EXPECT_EQ(r.hasData, c.hasData);
        EXPECT_EQ(r.prefix + r.data, c.line);
    }
    EXPECT_FALSE(DecodeReading(B({4, 0, 1})).valid);
    EXPECT_FALSE(DecodeReading({}).valid);

    EXPECT_EQ(DecodeStatus(B({0x20, 0x40}), false).error, 0x20);
    EXPECT_EQ(DecodeStatus(B({0x20, 0x40}), false).state, 0x40);
    EXPECT_EQ(DecodeStatus(B({0x20, 0x40}), true).state, 0);  // an error reply lights nothing
    EXPECT_EQ(DecodeStatus(B({0x20}), false).error, 0);

    WriteRequest quarter{{}, 0, 0, 1, 3, "ABC"};
    EXPECT_EQ(WriteBlock(quarter).toHex(),
              (B({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xB2, 0, 1}) + "ABC" + QByteArray(17, ' ')).toHex());
    WriteRequest mini{"000012345", 1, 1, 0, 2, "1000"};
    EXPECT_EQ(WriteBlock(mini).toHex(), (B({0}) + "000012345" + B({0x64, 0, 0, 0x0F, 0xA0})).toHex());
    // Mini values above 8191 keep their top bit: 8192 is 80 00, 16383 is FF FC.
    const std::pair<const char*, const char*> minis[] = {{"1000", "0fa0"}, {"8191", "7ffc"}, {"8192", "8000"},
                                                         {"10000", "9c40"}, {"16383", "fffc"}};
    for (const auto& [data, hex] : minis)
        EXPECT_EQ(WriteBlock({{}, 0, 0, 0, 0, QString::fromLatin1(data)}).right(2).toHex(), hex) << data;
    WriteRequest full{{}, 1, 0, 2, 0, QString(80, 'f')};
    EXPECT_EQ(WriteBlock(full).size(), 10 + 2 + 73);
}

TEST(WLFramed, ParameterStringParseAndCompose)
{
    const QByteArray sample = "OF5003HIOF23019601 nOnOFFoALOFdo05OF";
    ASSERT_EQ(sample.size(), kParameterLength);
    const ReaderParameters p = ParseParameters(sample);
    EXPECT_EQ(p.mode, 1);
    EXPECT_EQ(p.channel, "50");
    EXPECT_EQ(p.range, 2);
    EXPECT_EQ(p.port, 0);
    EXPECT_EQ(p.address, "1");
    EXPECT_EQ(p.baud, 3);
    EXPECT_EQ(p.log, 1);
    EXPECT_EQ(p.relay, 2);
    EXPECT_EQ(p.buzzer, 0);
    EXPECT_EQ(p.led, 3);
    EXPECT_EQ(p.timeout, "5");
    EXPECT_EQ(p.tamper, 1);
    EXPECT_EQ(ComposeParameters(p), sample);
    EXPECT_EQ(BusAddressOf(sample), 1);
    EXPECT_EQ(BusAddressOf({}), 0);

    // Identity over every code of every field.
    const char* const modes[] = {"On", "OF", "rb", "Pb"};
    const char* const ports[] = {"23", "42", "44"};
    const char* const bauds[] = {"12", "24", "48", "96", "19", "38"};
    const char* const parities[] = {" n", " O", " E"};
    const char* const radars[] = {"OF", "01", "02", "03", "04", "05"};
    for (int i = 0; i < 6; ++i) {
        QByteArray s = sample;
        s.replace(0, 2, modes[i % 4]);
        s.replace(2, 2, QByteArray::number(10 + 17 * i));
        s.replace(4, 2, "0" + QByteArray::number(1 + i % 4));
        s.replace(6, 2, i % 2 ? "Lo" : "HI");
        s.replace(10, 2, ports[i % 3]);
        s.replace(12, 2, QByteArray::number(11 + 16 * i));
        s.replace(14, 2, bauds[i]);
        s.replace(16, 2, i % 2 ? "02" : "01");
        s.replace(18, 2, parities[i % 3]);
        s.replace(20, 2, i % 2 ? "OF" : "On");
        s.replace(22, 2, radars[i]);
        for (int f = 0; f < 4; ++f)
            s.replace(24 + 2 * f, 2, kEventCodes[(i + f) % 6]);
        s.replace(32, 2, "0" + QByteArray::number(1 + i));
        s.replace(34, 2, i % 2 ? "On" : "OF");
        EXPECT_EQ(ComposeParameters(ParseParameters(s)), s) << s.constData();
    }

    // Odd inputs: field (position from 1), text put there, what comes back.
    struct Odd {
        int position;
        QByteArray field, written;
    } odds[] = {
        {9, "xx", "OF"},  {3, "00", "50"}, {33, "00", "05"}, {33, "12", "05"},
        {17, "03", "02"}, {17, "00", "01"}, {25, "xx", "Fo"}, {27, "xx", "Fo"},
        {31, "xx", "Fo"}, {29, "xx", "OF"}, {23, "07", "OF"}, {5, "09", "04"},
        {5, "-1", "03"},  {5, "00", "03"}, {11, "99", "42"}, {15, "77", "96"},
    };
    for (const Odd& o : odds) {
        QByteArray s = sample;
        s.replace(o.position - 1, 2, o.field);
        EXPECT_EQ(ComposeParameters(ParseParameters(s)).mid(o.position - 1, 2), o.written)
            << o.position << " " << o.field.constData();
    }
    ReaderParameters boxes = p;
    boxes.channel.clear();
    boxes.address.clear();
    boxes.timeout = "0";
    const QByteArray composed = ComposeParameters(boxes);
    EXPECT_EQ(composed.mid(2, 2), "50");
    EXPECT_EQ(composed.mid(12, 2), "01");
    EXPECT_EQ(composed.mid(32, 2), "05");
    EXPECT_EQ(ParseParameters("OF50000HIOF23").timeout, "0"); // short strings parse too
    EXPECT_EQ(ParseParameters({}).range, 2);
}
