// Text, number and bit procedures, the Windows-1252 code page, the start-up trace and
// opening help files and addresses.
#include "support/TestContext.h"
#include "foundations/Cp1252.h"
#include "foundations/Help.h"
#include "foundations/Trace.h"
#include "foundations/Utils.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QLoggingCategory>
#include <QUrl>

#include <cmath>

using namespace orvid;

TEST(GetToken, SplitsAtFirstSeparatorAndKeepsTheRest)
{
    QByteArray text = "640x480+0+0";
    QByteArray found;
    EXPECT_EQ(GetToken(text, "x", &found), QByteArray("640"));
    EXPECT_EQ(text, QByteArray("480+0+0"));
    EXPECT_EQ(found, QByteArray("x"));
    EXPECT_EQ(GetToken(text, "+"), QByteArray("480"));
    EXPECT_EQ(GetToken(text, "+"), QByteArray("0"));
    EXPECT_EQ(GetToken(text, "+", &found), QByteArray("0"));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(found.isEmpty()); // last part: no separator seen

    QByteArray multi = "a<->b";
    EXPECT_EQ(GetToken(multi, "<->"), QByteArray("a"));
    EXPECT_EQ(multi, QByteArray("b"));

    QByteArray csv = " a , b";
    EXPECT_EQ(GetToken(csv), QByteArray(" a "));
    EXPECT_EQ(GetToken(csv, ",", nullptr, true), QByteArray("b"));
}

TEST(GetToken, WithoutSeparatorTakesAllAndNeverLoops)
{
    QString text = QStringLiteral("COM1");
    QString found = QStringLiteral("stale");
    EXPECT_EQ(GetToken(text, QStringLiteral(";"), &found), QStringLiteral("COM1"));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(found.isEmpty());

    // An empty separator must not hand the same text back (a caller's token loop would
    // never end).
    QString loop = QStringLiteral("abc");
    EXPECT_EQ(GetToken(loop, QString()), QStringLiteral("abc"));
    EXPECT_TRUE(loop.isEmpty());

    // Trim removes blanks only, and only from the result.
    QString t = QStringLiteral("  x\t | y ");
    EXPECT_EQ(GetToken(t, QStringLiteral("|"), nullptr, true), QStringLiteral("x\t"));
    EXPECT_EQ(t, QStringLiteral(" y "));
}

TEST(ClampValue, OutOfRangeGivesDefaultNotTheBound)
{
    EXPECT_EQ(ClampValue(150, 0, 100, 50), 50);
    EXPECT_EQ(ClampValue(100, 0, 100, 50), 100);
    EXPECT_EQ(ClampValue(0, 0, 100, 50), 0);
    EXPECT_EQ(ClampValue(-1, 0, 100, 50), 50);
    EXPECT_DOUBLE_EQ(ClampValue(2.5, 0, 2, 1), 1.0);
}

TEST(FormatArgs, FillsPlaceholdersInOrder)
{
    EXPECT_EQ(FormatArgs(QStringLiteral("<%s> Fehler: %s"), QStringLiteral("10.0.0.1")),
              QStringLiteral("<10.0.0.1> Fehler: "));
    EXPECT_EQ(FormatArgs(QStringLiteral("%s-%s"), QStringLiteral("a|b|c")), QStringLiteral("a-b"));
    EXPECT_EQ(FormatArgs(QStringLiteral("no marks"), QStringLiteral("a|b")), QStringLiteral("no marks"));
    EXPECT_EQ(FormatArgs(QStringLiteral("%s%s"), QString()), QString());
    // An argument holding "%s" is inserted as it is, not filled by the next argument.
    EXPECT_EQ(FormatArgs(QStringLiteral("[%s][%s]"), QStringLiteral("x%sy|z")),
              QStringLiteral("[x%sy][z]"));
    EXPECT_EQ(FormatArgs(QByteArray("%s=%s"), QByteArray("k|v")), QByteArray("k=v"));
}

TEST(ExpandNewlines, BackslashNBecomesOneCr)
{
    const QString in = QStringLiteral("Datei:\\n\\nname");
    const QString out = ExpandNewlines(in);
    EXPECT_EQ(out, QStringLiteral("Datei:\r\rname"));
    EXPECT_EQ(out.size(), in.size() - 2);
    EXPECT_FALSE(out.contains(QChar(10)));
    EXPECT_EQ(ExpandNewlines(QByteArray("a\\\\nb")), QByteArray("a\\\rb"));
    EXPECT_EQ(ExpandNewlines(QByteArray("a\\tb\\")), QByteArray("a\\tb\\"));
}

TEST(ControlChars, NamesAndParsesTheNineCodes)
{
    const QByteArray raw("\x02" "AB\x03\x00\x06\x0A\x0D\x10\x15\x16\x01", 12);
    const QByteArray shown = ShowControlChars(raw);
    EXPECT_EQ(shown, QByteArray("<STX>AB<ETX><NUL><ACK><LF><CR><DLE><NAK><SYN>\x01"));
    EXPECT_EQ(ParseControlChars(shown), raw);
    // Names are matched exactly (upper case); unknown names stay.
    EXPECT_EQ(ParseControlChars("<cr><BEL><CR>"), QByteArray("<cr><BEL>\r"));
}

TEST(HexString, PadsFromThePatternAndNeverCuts)
{
    EXPECT_EQ(HexString(10, "00"), QByteArray("0A"));
    EXPECT_EQ(HexString(4096, "00"), QByteArray("1000"));
    EXPECT_EQ(HexString(255, "0000"), QByteArray("00FF"));
    EXPECT_EQ(HexString(0, "00"), QByteArray("00"));
    EXPECT_EQ(HexString(0xAB, "xyz"), QByteArray("xAB"));
    EXPECT_EQ(HexString(-1, "00"), QByteArray("FFFFFFFF"));
    EXPECT_EQ(HexString(26, QStringLiteral("0000")), QStringLiteral("001A"));
}

TEST(Val, LeadingNumberRule)
{
    EXPECT_EQ(Val(QByteArray("640x480")), 640.0);
    EXPECT_EQ(Val(QByteArray("  -12.5abc")), -12.5);
    EXPECT_EQ(Val(QByteArray("1 2 3")), 123.0); // blanks inside the number are skipped
    EXPECT_EQ(Val(QByteArray(".5")), 0.5);
    EXPECT_EQ(Val(QByteArray("+7")), 7.0);
    EXPECT_EQ(Val(QByteArray("1E3x")), 1000.0);
    EXPECT_EQ(Val(QByteArray("2e")), 2.0);
    EXPECT_EQ(Val(QByteArray("1,5")), 1.0);
    EXPECT_EQ(Val(QByteArray("MAXIMIZED")), 0.0);
    EXPECT_EQ(Val(QByteArray("")), 0.0);
    EXPECT_EQ(Val(QByteArray("-")), 0.0);
    EXPECT_EQ(Val(QByteArray("&HFF")), 255.0);
    EXPECT_EQ(Val(QByteArray("&h1aG")), 26.0);
    EXPECT_EQ(Val(QByteArray("&HFFFF")), 65535.0);
    EXPECT_EQ(Val(QByteArray("&H")), 0.0);
    EXPECT_EQ(Val(QByteArray("&X1")), 0.0);
    EXPECT_EQ(Val(QStringLiteral("\t42;1")), 42.0);
    EXPECT_GT(Val(QByteArray("9e999")), 1e300); // overflow saturates, never inf/garbage
}

TEST(CInt16, HalvesToEvenAndRangeIsFlagged)
{
    bool ok = false;
    EXPECT_EQ(CInt16(2.5, &ok), 2);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CInt16(3.5), 4);
    EXPECT_EQ(CInt16(-2.5), -2);
    EXPECT_EQ(CInt16(-0.4), 0);
    EXPECT_EQ(CInt16(32767.4, &ok), 32767);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CInt16(32767.5, &ok), 32767);
    EXPECT_FALSE(ok);
    EXPECT_EQ(CInt16(-40000, &ok), -32768);
    EXPECT_FALSE(ok);
    EXPECT_EQ(CInt16(std::nan(""), &ok), 0);
    EXPECT_FALSE(ok);
}

TEST(ToSingle, NumberOrZero)
{
    EXPECT_FLOAT_EQ(ToSingle(QByteArray("1.5")), 1.5f);
    EXPECT_FLOAT_EQ(ToSingle(QByteArray(" 20 ")), 20.0f);
    EXPECT_FLOAT_EQ(ToSingle(QByteArray("12abc")), 0.0f); // not a number as a whole
    EXPECT_FLOAT_EQ(ToSingle(QByteArray("")), 0.0f);
    EXPECT_FLOAT_EQ(ToSingle(QByteArray("1e60")), 0.0f); // beyond single precision
}

TEST(Bytes, CharCodeStringToBytesCvlMkl)
{
    const QByteArray text("A\xA7\xFF", 3);
    EXPECT_EQ(CharCode(text, 1), 65);
    EXPECT_EQ(CharCode(text, 2), 0xA7);
    EXPECT_EQ(CharCode(text, 3), 255);
    EXPECT_EQ(CharCode(text, 4), 0);
    EXPECT_EQ(CharCode(text, 0), 0);

    QByteArray bytes("junk");
    StringToBytes(bytes, "ABC");
    EXPECT_EQ(bytes, QByteArray("\0ABC", 4));
    StringToBytes(bytes, "ABC", true);
    EXPECT_EQ(bytes, QByteArray("\0CBA", 4));
    StringToBytes(bytes, QByteArray());
    EXPECT_EQ(bytes, QByteArray(1, '\0'));

    EXPECT_EQ(CVL(QByteArray("\xC8\x00\x00\x00", 4)), 200);
    EXPECT_EQ(CVL(QByteArray("\xFF\xFF\xFF\xFF", 4)), -1);
    EXPECT_EQ(CVL(QByteArray("\x01\x02\x03\x04", 4)), 0x04030201);
    for (const qint32 v : {0, 1, -1, 200, 0x7FFFFFFF, static_cast<qint32>(0x80000000), 0x12345678})
        EXPECT_EQ(CVL(MKL(v)), v);
    EXPECT_EQ(MKL(0x04030201), QByteArray("\x01\x02\x03\x04", 4));

    for (const QByteArray& bad : {QByteArray("abc"), QByteArray(), QByteArray("abcde")}) {
        try {
            CVL(bad);
            ADD_FAILURE() << "no error for length " << bad.size();
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 1000);
            EXPECT_EQ(e.source(), QStringLiteral("CVL"));
            EXPECT_EQ(e.description(), QStringLiteral("Invalid string argument"));
        }
    }
}

TEST(Bits, GetBitGetBitsSetBitMakeByte)
{
    EXPECT_EQ(GetBit(0x80, 7), 1);
    EXPECT_EQ(GetBit(0x80, 6), 0);
    EXPECT_EQ(GetBit(0xFF, 8), 0);
    EXPECT_EQ(GetBit(0xFF, -1), 0);

    EXPECT_EQ(GetBits(0xB4, 2, 5), 13);
    EXPECT_EQ(GetBits(0xB4, 5, 2), 0);
    EXPECT_EQ(GetBits(0xB4, 0, 7), 0xB4);
    EXPECT_EQ(GetBits(0xB4, 7, 7), 1);
    EXPECT_EQ(GetBits(0xFF, 4, 12), 0x0F); // bits above 7 are 0

    quint8 b = 0x0F;
    qint16 state = 5;
    EXPECT_EQ(SetBit(b, 7, state), 1);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(b, 0x8F);
    EXPECT_EQ(SetBit(b, 7, state), 0);
    EXPECT_EQ(b, 0x8F);
    state = 0;
    EXPECT_EQ(SetBit(b, 0, state), 1);
    EXPECT_EQ(b, 0x8E);
    EXPECT_EQ(SetBit(b, 9, 1), 0); // no such bit: byte unchanged
    EXPECT_EQ(b, 0x8E);

    quint8 m = 0xFF;
    MakeByte(m, 2, 4, 0b010);
    EXPECT_EQ(m, 0xEB);
    MakeByte(m, 0, 7, 0x1A5); // surplus value bits ignored
    EXPECT_EQ(m, 0xA5);
    MakeByte(m, 6, 10, 0);
    EXPECT_EQ(m, 0x25);
}

TEST(Bits, WordsAndByteHalves)
{
    EXPECT_EQ(MakeWord(0x12, 0x34), 0x1234);
    EXPECT_EQ(MakeWord(0, 255), 255);
    EXPECT_EQ(HiByte(0x1234), 0x12);
    EXPECT_EQ(HiByte(65535), 255);
    EXPECT_EQ(HiByte(65536), 255);
    EXPECT_EQ(HiByte(-1), 0);
    EXPECT_EQ(HiByte(-256), 255);
    EXPECT_EQ(LoByte(0x1234), 0x34);
    EXPECT_EQ(LoByte(-1), 255);
    EXPECT_EQ(LoByte(-256), 0);
    EXPECT_EQ(LoByte(-300), 255);
}

TEST(UpperKeyFilter, UpperCasesWindows1252Codes)
{
    EXPECT_EQ(UpperKeyFilter('a'), 'A');
    EXPECT_EQ(UpperKeyFilter('Z'), 'Z');
    EXPECT_EQ(UpperKeyFilter('1'), '1');
    EXPECT_EQ(UpperKeyFilter(8), 8);       // backspace passes
    EXPECT_EQ(UpperKeyFilter(0xE4), 0xC4); // ä -> Ä
    EXPECT_EQ(UpperKeyFilter(0x9A), 0x8A); // š -> Š
    EXPECT_EQ(UpperKeyFilter(0xFF), 0x9F); // ÿ -> Ÿ
    EXPECT_EQ(UpperKeyFilter(0xDF), 0xDF); // ß has no single upper-case letter
    EXPECT_EQ(UpperKeyFilter(0xB5), 0xB5); // µ: its upper case is outside the code page
}

TEST(Cp1252, EveryByteRoundTripsAndHighCodesMapToTypography)
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const QString text = FromCp1252(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToCp1252(text), all);
    EXPECT_EQ(text.at(0x80), QChar(0x20AC));
    EXPECT_EQ(text.at(0x9F), QChar(0x0178));
    EXPECT_EQ(text.at(0xA7), QChar(0x00A7));
    EXPECT_EQ(text.at(0x81), QChar(0x0081));

    EXPECT_EQ(ToCp1252(QStringLiteral("€ – “x”")), QByteArray("\x80 \x96 \x93x\x94"));
    // Unmapped characters become one '?' each, also outside the basic plane.
    EXPECT_EQ(ToCp1252(QString::fromUtf8("a\xe2\x82\xbd" "b\xf0\x9f\x98\x80" "c")), QByteArray("a?b?c"));
    EXPECT_EQ(ToCp1252(QString(QChar(0x80))), QByteArray("?"));
}

namespace {

// Stands in for the desktop's viewer: records what would have been opened.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
    Q_INVOKABLE void open(const QUrl& url) { urls << url; }
};

QStringList g_traceLines;
QString g_traceCategory;
void traceHandler(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    g_traceCategory = QString::fromLatin1(context.category);
    g_traceLines << message;
}

} // namespace

TEST(ShowHelp, OpensTheLanguageHelpFileOnlyWhenItExists)
{
    test::TestContext t;
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");

    ShowHelp(t.ctx, 0);
    EXPECT_TRUE(recorder.urls.isEmpty()); // no help file next to the program

    const QString help = t.language->helpFile();
    ASSERT_FALSE(help.isEmpty());
    t.writeProgramFile(QFileInfo(help).fileName(), "help");
    ShowHelp(t.ctx, 4000);
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0], QUrl::fromLocalFile(QFileInfo(help).absoluteFilePath()));

    AppContext bare; // no language module: nothing happens
    ShowHelp(bare, 0);
    EXPECT_EQ(recorder.urls.size(), 1);

    // ShellOpen: files become file addresses, complete addresses pass, the rest fails.
    UrlRecorder web;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &web, "open");
    EXPECT_TRUE(ShellOpen(help));
    EXPECT_EQ(recorder.urls.last(), QUrl::fromLocalFile(QFileInfo(help).absoluteFilePath()));
    EXPECT_TRUE(ShellOpen(QStringLiteral("https://10.0.0.5/index.htm")));
    ASSERT_EQ(web.urls.size(), 1);
    EXPECT_EQ(web.urls[0].host(), QStringLiteral("10.0.0.5"));
    EXPECT_FALSE(ShellOpen(QString()));
    EXPECT_FALSE(ShellOpen(QStringLiteral("no-such-file.txt")));
    EXPECT_EQ(web.urls.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

TEST(DebugTrace, WritesToTheStartupCategoryWhenEnabled)
{
    g_traceLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(traceHandler);
    // Off by default: a normal start prints nothing.
    DebugTrace(QStringLiteral("Zarvento"), 0, QStringLiteral("hidden"));
    EXPECT_TRUE(g_traceLines.isEmpty());
    QLoggingCategory::setFilterRules(QStringLiteral("orvid.startup.debug=false"));
    DebugTrace(QStringLiteral("Zarvento"), 0, QStringLiteral("hidden"));
    EXPECT_TRUE(g_traceLines.isEmpty());

    QLoggingCategory::setFilterRules(QStringLiteral("orvid.startup.debug=true"));
    DebugTrace(QStringLiteral("Zarvento"), 2, QStringLiteral("Options loaded"));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_traceLines.size(), 1);
    EXPECT_EQ(g_traceCategory, QStringLiteral("orvid.startup"));
    EXPECT_TRUE(g_traceLines[0].startsWith(QStringLiteral("Zarvento: Options loaded")));
    EXPECT_TRUE(g_traceLines[0].contains(QLatin1String("2")));
}

#include "utils_test.moc"
