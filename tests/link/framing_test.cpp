// Telegram framing, reply cutting and port-setting parsing without a port.

#include "foundations/AppContext.h"
#include "link/CommPort.h"
#include "link/Ports.h"

#include <QSerialPortInfo>
#include <gtest/gtest.h>

using namespace orvid;

namespace {

QByteArray B(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(static_cast<char>(c));
    return b;
}

const QByteArray kSpecial = B({2, 3, 22, 16, 6, 21});

} // namespace

TEST(FrameTelegram, EveryTypeOnTheWire)
{
    const QByteArray d = "AB"; // 65 + 66 = 131; 65 ^ 66 = 3
    struct Case {
        int type;
        QByteArray data;
        QByteArray special;
        QByteArray wire;
    } cases[] = {
        {0, d, {}, "AB"},
        {1, d, {}, B({65, 66, 3})},               // XOR from 0
        {2, d, {}, B({65, 66, 131, 3})},          // sum, ETX
        {3, d, {}, B({65, 66, 13, 10})},
        {4, d, {}, B({65, 66, 131, 3, 13, 10})},
        {5, d, {}, B({65, 66, 13})},
        {6, d, kSpecial, B({2, 65, 66, 1, 3})},   // 2 ^ 65 ^ 66 = 1: plain
        {6, "A@", kSpecial, B({2, 65, 64, 16, 3, 3})}, // 2 ^ 65 ^ 64 = 3: DLE first
        {6, "A@", {}, B({2, 65, 64, 3, 3})},      // no special characters known: no DLE
        {6, {}, kSpecial, B({2, 16, 2, 3})},      // empty data: the BCC is STX itself
        {7, d, {}, "AB"},
        {-1, d, {}, "AB"},
        {2, B({0xFF, 0x02}), {}, B({0xFF, 0x02, 0x01, 3})}, // sum modulo 256
        {1, {}, {}, B({0})},
        // Data is never escaped: an ETX inside the data goes out as it is.
        {6, B({3, 16}), kSpecial, B({2, 3, 16, 17, 3})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " data " << c.data.toHex().constData());
        EXPECT_EQ(Ports::FrameTelegram(static_cast<int16_t>(c.type), c.data, c.special).toHex(),
                  c.wire.toHex());
    }
}

TEST(CutReply, TerminatorWithoutCheck)
{
    QByteArray buf = "OK\rNEXT\r";
    QByteArray reply, tail;
    EXPECT_EQ(Ports::CutReply(buf, 0, {}, "\r", {}, false, &reply, &tail), 2);
    EXPECT_EQ(reply, "OK");
    EXPECT_EQ(tail, "\r");
    EXPECT_EQ(buf, "NEXT\r");

    // Empty reply: the terminator stands first.
    buf = "\rX";
    EXPECT_EQ(Ports::CutReply(buf, 0, {}, "\r", {}, false, &reply, &tail), 0);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(buf, "X");

    // Two-character terminator split by the read: not complete until both are there.
    buf = "DATA\r";
    EXPECT_EQ(Ports::CutReply(buf, 0, {}, "\r\n", {}, false, &reply, &tail), Ports::kIncomplete);
    EXPECT_EQ(buf, "DATA\r");
    buf += "\n";
    EXPECT_EQ(Ports::CutReply(buf, 0, {}, "\r\n", {}, false, &reply, &tail), 4);
    EXPECT_EQ(tail, "\r\n");
    EXPECT_TRUE(buf.isEmpty());
}

TEST(CutReply, AdditiveCheckSkipsTerminatorsInsideTheData)
{
    // "A" ETX "B": the first ETX is data; the sum 65 + 3 + 66 = 134 closes the frame.
    const QByteArray frame = B({65, 3, 66, 134, 3});
    QByteArray buf = frame + "rest";
    QByteArray reply, tail;
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", B({3}), {}, false, &reply, &tail), 3);
    EXPECT_EQ(reply, B({65, 3, 66}));
    EXPECT_EQ(tail, B({134, 3}));
    EXPECT_EQ(buf, "rest");

    // A wrong check character is never handed out; the buffer is left alone.
    buf = B({65, 66, 0x10, 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", B({3}), {}, false, &reply, &tail), Ports::kIncomplete);
    EXPECT_EQ(buf.size(), 4);
    // ... until a later terminator closes a frame whose sum is right: the check always
    // covers everything from the start of the buffer.
    const quint8 sum = (65 + 66 + 0x10 + 3 + 'C') & 0xFF;
    buf += B({'C', sum, 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", B({3}), {}, false, &reply, &tail), 5);
    EXPECT_EQ(reply, B({65, 66, 0x10, 3, 'C'}));

    // No check wanted: the check character stays in the reply and is not tested.
    buf = B({65, 66, 0x10, 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", B({3}), {}, true, &reply, &tail), 3);
    EXPECT_EQ(reply, B({65, 66, 0x10}));
    EXPECT_EQ(tail, B({3}));
}

TEST(CutReply, XorCheckLeavesTheDleOutAndInTheReply)
{
    // 'A' ^ 'C' = 2 (STX, special): sent as DLE, 2; the DLE is not covered and stays.
    QByteArray buf = B({'A', 'C', 16, 2, 3});
    QByteArray reply, tail;
    EXPECT_EQ(Ports::CutReply(buf, 0, "^", B({3}), kSpecial, false, &reply, &tail), 3);
    EXPECT_EQ(reply, B({'A', 'C', 16}));
    EXPECT_EQ(tail, B({2, 3}));

    // A plain check character: XOR over everything before it.
    buf = B({'A', 'B', 'C', 'A' ^ 'B' ^ 'C', 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "^", B({3}), kSpecial, false, &reply, &tail), 3);
    EXPECT_EQ(reply, "ABC");

    // In XOR mode "no check" still tests the check character but keeps it in the reply.
    buf = B({'A', 'B', 0x55, 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "^", B({3}), kSpecial, true, &reply, &tail), Ports::kIncomplete);
    buf = B({'A', 'D', 'A' ^ 'D', 3}); // 5: not special
    EXPECT_EQ(Ports::CutReply(buf, 0, "^", B({3}), kSpecial, true, &reply, &tail), 3);
    EXPECT_EQ(reply, B({'A', 'D', 'A' ^ 'D'}));

    // Special check character right at the start: nothing to cover, never equal.
    buf = B({2, 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "^", B({3}), kSpecial, false, &reply, &tail), Ports::kIncomplete);
}

TEST(CutReply, EscapedTerminatorInTheDataNeverEndsTheReply)
{
    // Replies of six unescaped header bytes (STX, address, two header bytes, status) and
    // DLE-escaped data. The byte `fill` is chosen so that a cut at a stuffed ETX in the data
    // would pass its check (0x10, the escaping DLE, taken as the check character), or so
    // that the reply's own check character is special and goes out escaped.
    const QByteArray header = B({2, 0x81, 'P', 'A', 0, 0});
    auto xorOf = [](const QByteArray& b) {
        quint8 x = 0;
        for (char c : b)
            x ^= static_cast<quint8>(c);
        return x;
    };
    auto frame = [](const QByteArray& afterStx) { return Ports::FrameTelegram(6, afterStx, kSpecial); };
    struct Case {
        const char* what;
        QByteArray wire;
        int escapedFrom;
        qsizetype expected; // reply length
    };
    // XOR(header, fill) = DLE makes "fill z DLE ETX" a frame with a passing check.
    QByteArray cutBait = header;
    cutBait.append(static_cast<char>(0x10 ^ xorOf(header)));
    cutBait += B({'z', 0x10, 3, 'B'});
    const QByteArray baitWire = frame(cutBait.mid(1));
    // The check character of the whole reply is ETX itself: DLE ETX ETX at the end.
    QByteArray ownCheck = header + B({'Q'});
    ownCheck.append(static_cast<char>(3 ^ xorOf(ownCheck)));
    const QByteArray ownWire = frame(ownCheck.mid(1));
    // A DLE in the header does not escape the data's first byte: a header ending in DLE,
    // then data "DLE ETX" (an escaped ETX) and more data.
    QByteArray headerDle = B({2, 0x10, 'P', 'A', 0, 0x10, 0x10, 3, 'C'});
    const QByteArray headerDleWire = frame(headerDle.mid(1));
    // Data ETX DLE ETX STX, stuffed: a resync start behind a stuffed ETX must not make
    // the bytes after it a frame of their own (DLE DLE, with DLE as its check, passes).
    const QByteArray stuffedWire = B({2, 0x81, 'F', 'E', 0, 0, 0x10, 3, 0x10, 0x10, 0x10, 3, 0x10, 2, 0x92, 3});
    const Case cases[] = {
        {"stuffed ETX, DLE and STX", stuffedWire, 6, stuffedWire.size() - 2},
        {"unescaped replies: cut at the first passing check", baitWire, -1, cutBait.size() - 3},
        {"escaped data: the whole reply", baitWire, 6, cutBait.size()},
        {"escaped check character", ownWire, 6, ownCheck.size() + 1}, // its DLE stays
        {"DLE at the header's end", headerDleWire, 6, headerDle.size()},
    };
    ASSERT_EQ(static_cast<quint8>(ownWire.at(ownWire.size() - 3)), 0x10);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray buf = c.wire + B({2});
        QByteArray reply, tail;
        EXPECT_EQ(Ports::CutReply(buf, 0, "^", B({3}), kSpecial, false, &reply, &tail, c.escapedFrom),
                  c.expected);
        EXPECT_EQ(reply, c.wire.left(c.expected));
        // The same, byte by byte through the incremental search with resync.
        Ports::ReplyScan scan;
        QByteArray grown, dropped;
        int cut = Ports::kIncomplete;
        for (qsizetype i = 0; i < c.wire.size() && cut == Ports::kIncomplete; ++i) {
            grown.append(c.wire.at(i));
            cut = Ports::CutReply(grown, 0, "^", B({3}), kSpecial, false, &reply, &tail, scan, &dropped,
                                  c.escapedFrom);
        }
        EXPECT_EQ(cut, c.expected);
        EXPECT_TRUE(dropped.isEmpty());
    }
}

TEST(CutReply, TerminatorFirstWithACheckModeIsData)
{
    QByteArray reply = "untouched", tail;
    for (const char* mode : {"~", "^"}) {
        QByteArray buf = B({3});
        EXPECT_EQ(Ports::CutReply(buf, 0, mode, B({3}), kSpecial, false, &reply, &tail), Ports::kIncomplete)
            << mode;
        EXPECT_EQ(buf, B({3}));
    }
    EXPECT_EQ(reply, "untouched");
    // The stray terminator belongs to the next frame's data and its sum.
    QByteArray buf = B({3, 'A', (3 + 'A') & 0xFF, 3});
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", B({3}), {}, false, &reply, &tail), 2);
    EXPECT_EQ(reply, B({3, 'A'}));
}

TEST(CutReply, EmptyTerminatorEndsTheSearch)
{
    QByteArray reply, tail;
    QByteArray buf = "xyz";
    // Without a check an empty terminator matches at once: an empty reply, nothing taken.
    EXPECT_EQ(Ports::CutReply(buf, 0, {}, {}, {}, false, &reply, &tail), 0);
    EXPECT_EQ(buf, "xyz");
    // With a check every position is tried once and the search ends.
    buf = B({1, 2, 7, 9});
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", {}, {}, false, &reply, &tail), Ports::kIncomplete);
    buf = B({1, 2, 3, 9}); // 1 + 2 = 3 before position 3
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", {}, {}, false, &reply, &tail), 2);
    EXPECT_EQ(reply, B({1, 2}));
    EXPECT_EQ(buf, B({9}));
}

TEST(CutReply, FixedCount)
{
    QByteArray buf = "ABC";
    QByteArray reply, tail = "old";
    EXPECT_EQ(Ports::CutReply(buf, 4, "~", "\r", {}, false, &reply, &tail), Ports::kIncomplete);
    buf += "D\rE";
    // A fixed count takes bytes as they are: no terminator, no check.
    EXPECT_EQ(Ports::CutReply(buf, 4, "~", "\r", {}, false, &reply, &tail), 4);
    EXPECT_EQ(reply, "ABCD");
    EXPECT_TRUE(tail.isEmpty());
    EXPECT_EQ(buf, "\rE");
}

TEST(CutReply, ScanInPiecesGivesTheRepliesOfTheWholeAndResyncsAfterAWrongCheck)
{
    const QByteArray etx = B({3});
    struct Case {
        const char* what;
        QByteArray mode;
        QByteArray terminator;
        QByteArray stream;
        QList<QByteArray> replies;  // in order
        QByteArray dropped;         // everything dropped on the way
        QByteArray rest;            // left in the buffer
    } cases[] = {
        {"plain, split terminator", {}, "\r\n", "OK\r\nNEXT\r\nPA", {"OK", "NEXT"}, {}, "PA"},
        {"additive, ETX in the data", "~", etx, B({65, 3, 66, 134, 3, 'Z'}), {B({65, 3, 66})}, {}, "Z"},
        {"additive, wrong check first", "~", etx, B({'X', 'Y', 0x10, 3, 'C', 'C', 3, 'D', 'D', 3}),
         {"C", "D"}, B({'X', 'Y', 0x10, 3}), {}},
        {"XOR, wrong check, DLE check next", "^", etx, B({'X', 0x55, 3, 'A', 'C', 16, 2, 3}),
         {B({'A', 'C', 16})}, B({'X', 0x55, 3}), {}},
        {"wrong check and nothing good", "~", etx, B({'X', 'Y', 0x10, 3, 'Q'}), {}, {},
         B({'X', 'Y', 0x10, 3, 'Q'})},
    };
    for (const Case& c : cases) {
        for (int piece : {1, 3, 1000}) {
            SCOPED_TRACE(testing::Message() << c.what << ", pieces of " << piece);
            Ports::ReplyScan scan;
            QByteArray buf, reply, tail, dropped, allDropped;
            QList<QByteArray> replies;
            for (qsizetype at = 0; at < c.stream.size(); at += piece) {
                buf += c.stream.mid(at, piece);
                int n;
                while ((n = Ports::CutReply(buf, 0, c.mode, c.terminator, kSpecial, false, &reply, &tail,
                                            scan, &dropped)) != Ports::kIncomplete) {
                    replies << reply;
                    allDropped += dropped;
                }
                // The search never goes back over what it has searched.
                EXPECT_LE(scan.scanned, buf.size());
            }
            EXPECT_EQ(replies, c.replies);
            EXPECT_EQ(allDropped.toHex(), c.dropped.toHex());
            EXPECT_EQ(buf.toHex(), c.rest.toHex());
        }
    }
    // Without the scan state the search starts at the front and never drops anything.
    QByteArray buf = B({'X', 'Y', 0x10, 3, 'C', 'C', 3});
    QByteArray reply, tail;
    EXPECT_EQ(Ports::CutReply(buf, 0, "~", etx, {}, false, &reply, &tail), Ports::kIncomplete);
    EXPECT_EQ(buf.size(), 7);
}

TEST(LinkProtocol, ModeAndTerminatorRoundTrip)
{
    AppContext ctx;
    Ports ports(ctx);
    ports.SetLinkProtocol(B({'~', 3}));
    EXPECT_EQ(ports.GetLinkProtocol(), B({'~', 3}));
    ports.SetLinkProtocol("^\r\n");
    EXPECT_EQ(ports.GetLinkProtocol(), "^\r\n");
    ports.SetLinkProtocol("X~\r");
    EXPECT_EQ(ports.GetLinkProtocol(), "X~\r");
    ports.SetLinkProtocol("~");
    EXPECT_EQ(ports.GetLinkProtocol(), "~");
    ports.SetLinkProtocol({});
    EXPECT_TRUE(ports.GetLinkProtocol().isEmpty());
    // Escaped replies hold only until the next system sets its protocol.
    ports.SetLinkProtocol(B({'^', 3}));
    ports.SetEscapedFrom(6);
    EXPECT_EQ(ports.EscapedFrom(), 6);
    ports.SetLinkProtocol(B({'^', 3}));
    EXPECT_EQ(ports.EscapedFrom(), -1);
    EXPECT_EQ(ports.SetTimeout(500), 200);
    EXPECT_EQ(ports.SetTimeout(50), 500);
    EXPECT_EQ(ports.GetTimeout(), 50);
}

TEST(PortSettings, ParsingAndNormalForm)
{
    CommPort::LineSettings s;
    ASSERT_TRUE(CommPort::parseSettings(QStringLiteral("9600,E,7,2"), &s));
    EXPECT_EQ(CommPort::formatSettings(s), QStringLiteral("9600,e,7,2"));
    ASSERT_TRUE(CommPort::parseSettings(QStringLiteral(" 115200 , m , 5 , 1.5 "), &s));
    EXPECT_EQ(CommPort::formatSettings(s), QStringLiteral("115200,m,5,1.5"));
    for (const char* bad : {"", "38400", "38400,n,8", "38400,n,8,1,1", "0,n,8,1", "-9600,n,8,1",
                            "abc,n,8,1", "38400,x,8,1", "38400,,8,1", "38400,n,9,1", "38400,n,4,1",
                            "38400,n,8,3", "38400,n,8,1.0", "38400,no,8,1"}) {
        EXPECT_FALSE(CommPort::parseSettings(QString::fromLatin1(bad), nullptr)) << bad;
    }
    CommPort port;
    EXPECT_TRUE(port.setSettings(QStringLiteral("19200,o,8,1")));
    EXPECT_FALSE(port.setSettings(QStringLiteral("19200,q,8,1")));
    EXPECT_EQ(port.settings(), QStringLiteral("19200,o,8,1")); // a refused string changes nothing
    EXPECT_FALSE(port.setHandshaking(4));
    EXPECT_EQ(port.handshaking(), 0);
}

TEST(PortNames, StoredComNamesMapToDevices)
{
    EXPECT_EQ(Ports::DevicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(Ports::DevicePath(QStringLiteral("com12")), QStringLiteral("/dev/ttyS11"));
    EXPECT_EQ(Ports::DevicePath(QStringLiteral("COM3:")), QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(Ports::DevicePath(QStringLiteral("COM0")), QStringLiteral("COM0"));
    EXPECT_EQ(Ports::DevicePath(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(Ports::DevicePath(QStringLiteral("/tmp/COM1")), QStringLiteral("/tmp/COM1"));
}

TEST(PortNames, ListIsSortedByNumberWithFirstInFront)
{
    AppContext ctx;
    Ports ports(ctx);
    const QStringList plain = ports.FillComPorts();
    ASSERT_FALSE(plain.isEmpty()); // at least the default device
    const QStringList list = ports.FillComPorts(QStringLiteral("/dev/pts/99"));
    ASSERT_FALSE(list.isEmpty());
    EXPECT_EQ(list.first(), QStringLiteral("/dev/pts/99"));
    EXPECT_EQ(list.count(QStringLiteral("/dev/pts/99")), 1);
    auto number = [](const QString& name) {
        qsizetype i = name.size();
        while (i > 0 && name.at(i - 1).isDigit())
            --i;
        return name.mid(i).toLongLong();
    };
    for (qsizetype i = 2; i < list.size(); ++i)
        EXPECT_LE(number(list[i - 1]), number(list[i])) << list.join(QLatin1Char(' ')).toStdString();
    // The default device stands in only when the machine lists none and no first is given.
    if (QSerialPortInfo::availablePorts().isEmpty()) {
        EXPECT_EQ(plain, QStringList{QString::fromLatin1(Ports::kDefaultPort)});
        EXPECT_EQ(list.size(), 1);
    } else {
        EXPECT_EQ(list.size(), plain.size() + 1);
    }
}
