#pragma once
// The telegram layer of the framed system L reader (system entry 8), without a port: the
// body of a request (the link adds STX, the check character and ETX), the acceptance of a
// reply by its address byte and toggle bit, the header strip and the removal of the DLE
// escapes from the data, the byte orders of the reader's numbers, and the decoding of the
// replies the window reads field by field ("QA", "PA", "CO") and of the "CP" write block.
//
// Named apart from WLProtocol, which is the text protocol of system entry 7.
//
// A reply as the link hands it out: STX, address byte (bus address + 128 x toggle), two
// header bytes, two status bytes (7F FF: error), then the DLE-escaped data. Only the data
// is escaped, which is why the link is told where the header ends (kHeaderLength).

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid::wlframed {

constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kDLE = 0x10;
constexpr char kSYN = 0x16;
constexpr int kHeaderLength = 6;
// The special characters of the link's "^" protocol, escaped in requests and reply data.
bool IsSpecial(char c);

// The request body for command and parameter: the address byte (escaped when special),
// then command and parameter with every special character escaped; a command beginning
// with "~" goes out unescaped without its "~" (the resync telegram "~" SYN).
QByteArray FrameBody(const QByteArray& command, const QByteArray& parameter, int busAddress, int toggleBit);

// Whether a reply of length n is taken for the toggle bit expected: at least five bytes,
// STX first, and its address byte says the toggle expected (any address byte that does not
// say toggle 1 counts as toggle 0).
bool AcceptReply(const QByteArray& reply, int n, int busAddress, int toggleBit);

struct Reply {
    QByteArray data; // header stripped, escapes removed
    bool error = false; // status 7F FF
};
// The data of an accepted reply of length n: never negative, never read past its end.
Reply StripHeader(const QByteArray& reply, int n);
// DLE escapes removed left to right: a DLE keeps the byte after it, a last DLE (the one
// that escaped the check character) is dropped.
QByteArray Unescape(const QByteArray& data);

// Byte orders: most significant byte first. IDs are unsigned 32-bit numbers; missing bytes
// of a short text count as 0. The reader's two-byte number is MakeReaderInteger
// (MicrowaveWrite.h), shared with the KLX9000 reader.
quint32 MakeIntelLong(const QByteArray& text);
QByteArray MakeLong(quint32 value);
int MakeIntelInteger(const QByteArray& text);

// "QA": the texts between the first five "\" give the type and version texts; false when
// fewer than five "\" are there.
bool ParseReaderInfo(const QByteArray& data, QByteArray& typeText, QByteArray& versionText);

// "PA" reading reply (data, header stripped). valid: at least one character and 05 first.
struct Reading {
    bool valid = false;
    quint32 id = 0;        // c3 x 2^22 + c4 x 2^14 + c5 x 64 + c6 / 4, halves to even
    QString idText;        // at least eight digits
    bool hasData = false;  // a data class with a line to show
    QByteArray prefix;     // "Mini: ", "Quarter: ", "Full: " or none
    QByteArray data;       // the tag's bytes as they came, or a Mini value's number
};
Reading DecodeReading(const QByteArray& data);
// The number a two-byte Mini value shows: value / 4 in decimal with a point, as many
// decimals as needed ("1.25", "10000.25", "1000").
QString MiniText(const QByteArray& twoBytes);

// "CO": error and state byte; both 0 without two data characters or on an error reply.
struct Status {
    quint8 error = 0;
    quint8 state = 0;
};
Status DecodeStatus(const QByteArray& data, bool readError);

// The block sent after "CP". speed: 0 "Hoch"; intervalType 0 "Constant", 1 "Random";
// memory 0 Mini, 1 Quarter, 2 Full; intervalLength 0..3.
struct WriteRequest {
    QByteArray id; // decimal digits of the ID, empty for any tag
    int speed = 0;
    int intervalType = 0;
    int memory = 0;
    int intervalLength = 0;
    QString data;
};
QByteArray WriteBlock(const WriteRequest& request);

} // namespace orvid::wlframed
