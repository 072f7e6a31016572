// The microwave system D telegram layer without a device: wrapping and unwrapping, the ID
// code's wire form, the command layouts, error texts, data items and what CloseLK leaves in
// the settings.

#include "support/TestContext.h"

#include "families/wd/WDProtocol.h"

#include <QDate>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

TEST(WDTelegram, WrapsWithStationAndHeadAndAlwaysEndsWithAt)
{
    EXPECT_EQ(WDProtocol::Wrap("?73", 0, 0, ""), "::00?73@@");
    EXPECT_EQ(WDProtocol::Wrap("?12**0H", 0, 1, ""), "::01?12**0H@@");
    // Already wrapped (or a bare "::"): only the ending is added.
    EXPECT_EQ(WDProtocol::Wrap("::37?70", 0, 0, ""), "::37?70@@");
    EXPECT_EQ(WDProtocol::Wrap("::", 0, 0, "x"), "::@@x");
    EXPECT_EQ(WDProtocol::Wrap(":", 0, 1, ""), "::01:@@");
    EXPECT_EQ(WDProtocol::Wrap("", 0, 0, ""), "::00@@");

    TestContext tc;
    WDProtocol p(tc.ctx);
    p.HeadNumber = 1;
    EXPECT_EQ(p.BuildTelegram("?16H", ""), "::01?16H@@");
}

TEST(WDTelegram, UnwrapsByTheGivenLength)
{
    QByteArray r = "::00#10**00000000H@@";
    EXPECT_EQ(WDProtocol::GetLKResultExt(r, static_cast<int16_t>(r.size())), 14);
    EXPECT_EQ(r, "#10**00000000H");

    // Seven characters is the shortest wrapped reply: one payload character.
    r = "::00$@@";
    EXPECT_EQ(WDProtocol::GetLKResultExt(r, 7), 1);
    EXPECT_EQ(r, "$");

    for (QByteArray bad : {QByteArray("::00#@"), QByteArray("xx00#70@@"), QByteArray(":00#70@@")}) {
        const QByteArray before = bad;
        EXPECT_EQ(WDProtocol::GetLKResultExt(bad, static_cast<int16_t>(bad.size())), 0) << before.constData();
        EXPECT_EQ(bad, before);
    }
    // The length argument decides, not the text's own length.
    r = "::00#70@@";
    EXPECT_EQ(WDProtocol::GetLKResultExt(r, 6), 0);
    EXPECT_EQ(r, "::00#70@@");
}

TEST(WDTelegram, IdCodeWireFormReversesDigitPairsBothWays)
{
    EXPECT_EQ(WDProtocol::IDWireForm(QByteArray("12345678")), "78563412");
    EXPECT_EQ(WDProtocol::IDWireForm(QByteArray("1234")), "34120000");
    EXPECT_EQ(WDProtocol::IDWireForm(QByteArray("")), "00000000");
    EXPECT_EQ(WDProtocol::IDWireForm(QByteArray("FFFFFFFF")), "FFFFFFFF");
    // Longer texts: the last eight characters count.
    EXPECT_EQ(WDProtocol::IDWireForm(QByteArray("AB12345678")), "78563412");
    EXPECT_EQ(WDProtocol::IDWireForm(WDProtocol::IDWireForm(QByteArray("1A2B3C4D"))), "1A2B3C4D");
}

TEST(WDTelegram, CommandLayouts)
{
    const QByteArray id = WDProtocol::IDWireForm(QByteArray("1234"));
    EXPECT_EQ(WDProtocol::ReadDataCommand(0, 0x8044, 14, id), "?10**08044000EH");
    EXPECT_EQ(WDProtocol::ReadDataCommand(1, 0x1F, 3, id), "?10**1001F0003H34120000");
    EXPECT_EQ(WDProtocol::ReadDataCommand(2, 0xFFF0, 16, id), "?10**2FFF00010H34120000");
    EXPECT_EQ(WDProtocol::ReadIDCommand(0, id), "?12**0H");
    EXPECT_EQ(WDProtocol::ReadIDCommand(1, id), "?12**1H34120000");

    // Data bytes go out as two upper-case hex digits each, any byte value.
    EXPECT_EQ(WDProtocol::WriteDataCommand(0, 0x10, QByteArray("A\r\xff", 3), id), "?20**000100003H410DFF");
    EXPECT_EQ(WDProtocol::WriteDataCommand(2, 0, QByteArray(), id), "?20**200000000H34120000");
    EXPECT_EQ(WDProtocol::WriteIDCommand(0, id, "4D3C2B1A"), "?22**0H4D3C2B1A");
    EXPECT_EQ(WDProtocol::WriteIDCommand(2, id, "4D3C2B1A"), "?22**2H341200004D3C2B1A");

    EXPECT_EQ(WDProtocol::ScanCommand('B', "78563412"), "?20**B00000001H7856341200");
    EXPECT_EQ(WDProtocol::ScanCommand('C', "78563412"), "?20**C00000001H7856341200");
    EXPECT_EQ(WDProtocol::TagStateCommand(0, id), "?50**000000000H");
    EXPECT_EQ(WDProtocol::TagStateCommand(1, id), "?50**100000000H34120000");
    EXPECT_EQ(WDProtocol::OutputsCommand({true, false, true, false}), "?721010");
}

TEST(WDErrors, TextsComeFromTheTableTheLanguageOrUnknown)
{
    EXPECT_EQ(WDProtocol::BuiltinErrorText("25"), QStringLiteral("RAM-Fehler"));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("30"), QStringLiteral("RAM-Fehler"));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("26"), QStringLiteral("ROM-Fehler"));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("31"), QStringLiteral("ROM-Fehler"));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("1F"), QStringLiteral("\"CR\"-Fehler"));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("74"),
              QStringLiteral("\"CR\" Fehler zwischen der Station Nummer \"0\" und Station Nummer \"N\""));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("1a"), QStringLiteral("Unbekannter Fehler"));
    EXPECT_EQ(WDProtocol::BuiltinErrorText("71"), QStringLiteral("Unbekannter Fehler"));

    TestContext tc;
    WDProtocol p(tc.ctx);
    QByteArray reply = "%1040";
    EXPECT_EQ(p.GetError(reply), QString::fromUtf8("STATUS: 40 - Kein Datenträger"));
    // An empty reply takes the remembered one; withHead false begins with the blank.
    QByteArray empty;
    EXPECT_EQ(p.GetError(empty, false), QString::fromUtf8(" 40 - Kein Datenträger"));
    EXPECT_EQ(empty, "%1040");
    EXPECT_EQ(p.GetError(QByteArray("#10**")), QString());
    EXPECT_EQ(p.ErrorLine("%12"), QStringLiteral("STATUS:  - Unbekannter Fehler"));

    // A language file names codes of its own and the word in front.
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[frmSystemWD]\r\nErrorStr=STATE:\r\n"
                        "ERROR_40=No tag\r\nNoHead=No head\r\n");
    tc.language->LoadLanguageList();
    QString name = QStringLiteral("English");
    tc.language->SelectLanguageByCode(name);
    EXPECT_TRUE(p.ApplyLanguage());
    EXPECT_FALSE(p.ApplyLanguage());
    EXPECT_EQ(p.GetError(QByteArray("%2040")), QStringLiteral("STATE: 40 - No tag"));
    EXPECT_EQ(p.GetError(QByteArray("%2018")), QStringLiteral("STATE: 18 - Schutzfehler"));
    EXPECT_EQ(p.NoHeadText, QStringLiteral("No head"));
}

TEST(WDItems, DataItemsAndProgramEndKeepTheUsersEntries)
{
    TestContext tc;
    const QString s = QStringLiteral("OrvidWD");
    tc.settings->write(s, QStringLiteral("StartAddress"), QStringLiteral("8044"));
    tc.settings->write(s, QStringLiteral("DataLength"), QStringLiteral("014"));
    tc.settings->write(s, QStringLiteral("HeadNumber"), QStringLiteral(" 1"));

    WDProtocol p(tc.ctx);
    QVariant v = QStringLiteral("untouched");
    EXPECT_FALSE(p.GetData(206, v));
    EXPECT_EQ(v.toString(), QStringLiteral("untouched"));
    EXPECT_FALSE(p.PutData(206, 5));

    // Init (also run before CloseLK when another system is chosen) and CloseLK without
    // any value of this run: the window's saved entries stay.
    p.Init();
    p.CloseLK();
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("StartAddress"), QString()), QStringLiteral("8044"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("DataLength"), QString()), QStringLiteral("014"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("HeadNumber"), QString()), QStringLiteral(" 1"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("Tagcode"), QStringLiteral("none")), QStringLiteral("none"));

    // Values put in by the inductive system D windows are stored; the address in the hex
    // form the window reads back.
    p.PutData(203, 32);
    p.PutData(204, QByteArray("7"));
    p.PutData(205, -2);
    p.PutData(201, 1);
    p.PutData(103, 2);
    ASSERT_TRUE(p.GetData(203, v));
    EXPECT_EQ(v.toInt(), 32);
    ASSERT_TRUE(p.GetData(205, v));
    EXPECT_EQ(v.toInt(), -2);
    ASSERT_TRUE(p.GetData(103, v));
    EXPECT_EQ(v.toInt(), 2);
    p.CloseLK();
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("StartAddress"), QString()), QStringLiteral("0020"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("DataLength"), QString()), QStringLiteral(" 7"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("Tagcode"), QString()), QStringLiteral("-2"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("HeadNumber"), QString()), QStringLiteral(" 1"));
}

} // namespace
} // namespace orvid::test
