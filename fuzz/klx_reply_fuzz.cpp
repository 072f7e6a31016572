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
// or before it only where a line of the reader begins, and judged in two pieces (as it comes)
// it ends where it ends judged whole. A report the reader builds from arbitrary data, with
// any bytes of the reader's own behind its data, is one line to its LF, unless a whole
// report begins in its data; followed by a reply or a report (a lost LF) it ends where that
// begins; behind the start of a reply (a lost LF) it ends that reply.

#include "families/wklx/KLXProtocol.h"
#include "link/Network.h"

#include <QByteArray>

#include <algorithm>
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

// Does a tag report whole for its class begin at `at` (decoded as the window decodes it)?
bool wholeReportAt(const QByteArray& line, qsizetype at)
{
    // Whole, whatever follows it does not change what it says.
    const QByteArray d = Network::UrlDecode(line.mid(at));
    const QByteArray data = d.mid(8);
    return d.startsWith("EVNTTAG ") && data.size() >= 27
           && KLXProtocol::ParseTagReport(data + QByteArray(80, '\0')) == KLXProtocol::ParseTagReport(data + QByteArray(80, '\xff'));
}

// Where line lost its end (-1: it runs to its terminator), judged whole and, as the link
// judges a line that comes in pieces, up to `split` first and then from where that left off
// (behind the line's first ILineStructure::kHeadBytes when those were all it kept).
qsizetype breakAt(const QByteArray& line, qsizetype split)
{
    const ILineStructure& lines = KLXProtocol::Lines();
    const qsizetype at = lines.LineBreak(line, 1, true).at;
    if (at == 0 || at >= line.size() || (at > 0 && line.mid(at, 4) != "EVNT" && line.mid(at, 4) != "RPLY"))
        fail("a line cut where no line tag begins");
    if (line.isEmpty())
        return at;
    split = std::clamp<qsizetype>(split, 1, line.size());
    const ILineStructure::Break first = lines.LineBreak(QByteArrayView(line).first(split), 1, false);
    if (first.at >= 0 ? first.at != at : first.undecided < 1 || first.undecided > split)
        fail("the start of a line judged otherwise than the whole line");
    if (first.at < 0) {
        const qsizetype from = first.undecided;
        const qsizetype kept = std::min(from, ILineStructure::kHeadBytes);
        const qsizetype rest = lines.LineBreak(line.left(kept) + line.mid(from), std::max<qsizetype>(kept, 1), true).at;
        if ((rest < 0 ? -1 : rest + from - kept) != at)
            fail("the rest of a line judged otherwise than the whole line");
    }
    return at;
}

void checkLines(int selector, const QByteArray& rest)
{
    const qsizetype split = selector + rest.size() / 2;
    breakAt(rest, split);
    // A report as the reader sends it, its ID and data taken from the input, with bytes of
    // the reader's own behind its data (any, but no line of the reader).
    static constexpr int kClass[] = {0, 2, 1};
    static constexpr int kData[] = {2, 20, 72};
    const int m = selector % 3;
    QByteArray s = rest.left(5).leftJustified(10, 'x');
    s[8] = 0;
    s[9] = static_cast<char>(kClass[m] << 5);
    const QByteArray report = "EVNTTAG " + escaped("ABCDEFGHIJKLMNOPQ" + s + rest.mid(5).leftJustified(kData[m], ' ').left(kData[m]));
    const QByteArray own = escaped(rest.right(selector % 8)).replace("EVNT", "evnt").replace("RPLY", "rply");
    // Data in which a whole report of its own begins is that report's end: the reader lost
    // the LF of the one in front of it. Else it ends only where the next line begins.
    const auto endsAt = [&](const QByteArray& line, qsizetype next) {
        const qsizetype at = breakAt(line, split);
        return at == next || (at >= 0 && at < report.size() && wholeReportAt(line, at));
    };
    if (!endsAt(report + own, -1))
        fail("a report cut where its data holds no whole report");
    if (!endsAt(report + own + "RPLYGET 00" + escaped(rest), report.size() + own.size()))
        fail("a report that lost its LF did not end where the reply begins");
    if (!endsAt(report + "\r" + report, report.size() + 1))
        fail("a report that lost its LF did not end where the next report begins");
    // (The payload may hold a whole report of its own that ends with ours.)
    const QByteArray cut = "RPLYGET 00" + escaped(rest.left(8)) + report + own;
    const qsizetype cutReply = breakAt(cut, split);
    if (cutReply < 0 || cutReply > cut.size() - report.size() - own.size() || !wholeReportAt(cut, cutReply))
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
