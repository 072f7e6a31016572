// KLX9000 decoding fed arbitrary bytes: the tag report of an "EVNTTAG " event line
// (KLXProtocol::ParseTagReport), the tag write line built from arbitrary data
// (KLXProtocol::WriteTagCommand), and where the reader's lines end (KLXProtocol::Lines).
//
// Input layout: byte 0 picks the write's memory model (mod 3) and its interval/speed bits;
// the rest is both the event data and the write's data.
//
// Checked: a report gives a line only from 22 characters on, always beginning with
// "IDCODE: " and a 28-bit ID; its data part has the length of its class. A write line has
// exactly three ";"-separated fields, no LF or NUL, and its data field decodes to the
// padded data (Quarter 20, Full 72) or the two Mini bytes. Any line ends at its terminator,
// or before it only where a line of the reader begins (a cut) or as a whole tag report; a
// report the reader builds from arbitrary data is one line, also with a reply or with the
// start of a reply in front of it (lost LFs).

#include "families/wklx/KLXProtocol.h"
#include "link/Network.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>

using namespace orvid;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "klx_reply_fuzz: %s\n", what);
    __builtin_trap();
}

void checkReport(const QByteArray& text)
{
    const QByteArray line = KLXProtocol::ParseTagReport(text);
    if (text.size() < 22) {
        if (!line.isEmpty())
            fail("line from a short report");
        return;
    }
    if (!line.startsWith("IDCODE: "))
        fail("no ID part");
    const qsizetype blank = line.indexOf(' ', 8);
    if (blank < 0 || line.mid(8, blank - 8).toULongLong() >= (1ULL << 28))
        fail("ID beyond 28 bits");
    const QByteArray rest = line.mid(blank + 1);
    if (text.size() < 28) {
        if (!rest.isEmpty())
            fail("class part without type byte");
        return;
    }
    if (rest.startsWith("FULL: ") && rest != "FULL: <NO DATA>" && rest.size() != 6 + 72)
        fail("Full data length");
    if (rest.startsWith("QUARTER: ") && rest != "QUARTER: <NO DATA>" && rest.size() != 9 + 20)
        fail("Quarter data length");
    if (!rest.startsWith("FULL: ") && !rest.startsWith("QUARTER: ") && !rest.startsWith("MINI: ") && rest != "N/A")
        fail("unknown class part");
}

void checkWrite(int selector, const QByteArray& data)
{
    const int m = selector % 3;
    const QByteArray line = KLXProtocol::WriteTagCommand(m, selector & 4, (selector >> 3) & 1, (selector >> 4) & 3,
                                                         QString(), data);
    if (line.isEmpty()) {
        if (m != 0)
            fail("refused a text write");
        return;
    }
    if (line.contains('\n') || line.contains('\0'))
        fail("raw LF or NUL on the wire");
    const QList<QByteArray> fields = line.mid(8).split(';');
    if (!line.startsWith("PUSHTAG ") || fields.size() != 3 || fields[1].size() != 4)
        fail("write line fields");
    const QByteArray decoded = Network::UrlDecode(fields[2]);
    if (m == 1 && decoded != data.left(20).leftJustified(20, ' '))
        fail("Quarter data");
    if (m == 2 && decoded != data.left(72).leftJustified(72, ' '))
        fail("Full data");
    if (m == 0 && decoded.size() != 2)
        fail("Mini data");
}

// The reader's escaping: every byte outside 0x20..0x7E, and "%".
QByteArray escaped(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u > 0x7E || c == '%' ? '%' + QByteArray::number(u + 0x100, 16).right(2).toUpper() : QByteArray(1, c);
    }
    return out;
}

void checkLines(int selector, const QByteArray& rest)
{
    const ILineStructure& lines = KLXProtocol::Lines();
    const ILineStructure::End any = lines.LineEnd(rest);
    if (any.length < 0 || any.length > rest.size() || (!rest.isEmpty() && any.length < 1))
        fail("line end outside the line");
    if (any.length < rest.size()) {
        const QByteArray next = rest.mid(any.length, 4);
        if (any.whole ? !Network::UrlDecode(rest.left(any.length)).startsWith("EVNTTAG ")
                      : next != "EVNT" && next != "RPLY")
            fail("a line cut where nothing ended");
    }
    // A report as the reader sends it, its ID and data taken from the input.
    static constexpr int kClass[] = {0, 2, 1};
    static constexpr int kData[] = {2, 20, 72};
    const int m = selector % 3;
    QByteArray s = rest.left(5).leftJustified(10, 'x');
    s[8] = 0;
    s[9] = static_cast<char>(kClass[m] << 5);
    const QByteArray report = "EVNTTAG " + escaped("ABCDEFGHIJKLMNOPQ" + s + rest.mid(5).leftJustified(kData[m], ' ').left(kData[m]));
    const ILineStructure::End whole = lines.LineEnd(report);
    if (whole.length != report.size() || !whole.whole)
        fail("a whole report cut");
    const ILineStructure::End lostLf = lines.LineEnd(report + "RPLYGET 00" + escaped(rest));
    if (lostLf.length != report.size() || !lostLf.whole)
        fail("a report does not end with its class");
    // (The payload may hold a whole report of its own that ends with ours.)
    const QByteArray cut = "RPLYGET 00" + escaped(rest.left(8)) + report;
    const ILineStructure::End cutReply = lines.LineEnd(cut);
    if (cutReply.whole || cutReply.length > cut.size() - report.size() || cut.mid(cutReply.length, 8) != "EVNTTAG ")
        fail("a reply that lost its end to a report kept it");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(bytes) + 1, static_cast<qsizetype>(size - 1));
    checkReport(rest);
    checkWrite(bytes[0], rest);
    checkLines(bytes[0], rest);
    return 0;
}
