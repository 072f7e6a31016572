// The system R telegram layer against a scripted device that sits directly behind the
// link (no serial line): the telegrams each operation produces, byte for byte, reply
// decoding, status texts, data items, settings, and the refusals and failure reports of
// reads and writes.

#include "support/ProtocolForm.h"
#include "support/TestContext.h"

#include "families/kr/KRProtocol.h"
#include "families/common/KRTagTypes.h"
#include "foundations/Cp1252.h"
#include "link/LK.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace orvid::test {
namespace {

class FakeView : public IKRView {
public:
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override
    {
        (kind == 1 ? lines : shown).append(caption + data);
    }
    bool PasswordChecked() const override { return passwordChecked; }
    QString PasswordText() const override { return passwordText; }
    void FillTagCodes() override { ++fills; }
    bool Loaded() const override { return loaded; }
    void SetBusy(bool) override {}

    QList<QByteArray> lines;   // kind 1
    QList<QByteArray> shown;   // kind 2
    bool passwordChecked = false;
    QString passwordText;
    bool loaded = false;
    int fills = 0;
};

// The system R entry with a device that answers inside the link's direct route: every
// telegram is recorded; device() maps it to the raw reply (a null array is silence).
class ScriptedForm : public ProtocolForm, public ILkDirectAccess {
public:
    explicit ScriptedForm(KRProtocol& p) : ProtocolForm(p, QStringLiteral("frmSystemKR")) { loaded = true; }

    bool DataAvailable() override { return !pending.isEmpty(); }
    bool DirectModeSupported() override { return true; }
    int16_t DirectRead(QByteArray& reply, int16_t& count, const QVariant&, bool, bool) override
    {
        reply.clear();
        if (pending.isEmpty())
            return 0;
        reply = pending.takeFirst();
        if (count > 0)
            reply = reply.left(count);
        return static_cast<int16_t>(reply.size());
    }
    int16_t ReadData(const QByteArray& command, QByteArray& reply, bool, bool& ok) override
    {
        const QByteArray telegram = KRProtocol::SetLKString(command, QByteArray());
        sent.append(telegram);
        const QByteArray r = device(telegram);
        ok = !r.isNull();
        reply = r;
        return ok ? KRProtocol::GetLKResult(reply, static_cast<int16_t>(r.size())) : 0;
    }
    int16_t WriteData(const QByteArray& command, const QByteArray& suffix, bool) override
    {
        const QByteArray telegram = KRProtocol::SetLKString(command, suffix);
        sent.append(telegram);
        const QByteArray r = device(telegram);
        if (!r.isNull())
            pending.append(r);
        return -1;
    }

    std::function<QByteArray(const QByteArray&)> device;
    QList<QByteArray> sent;
    QList<QByteArray> pending;
};

QByteArray T(const QByteArray& body)
{
    return body + "#\r";
}

class KRProtocolTest : public ::testing::Test {
protected:
    KRProtocolTest()
    {
        tc.state.CurrentSystem = 2;
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        lk->RegisterSystem(2, [this] { return &form; });
        for (int i = 0; i < memory.size(); ++i)
            memory[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
        form.device = [this](const QByteArray& t) { return answer(t); };
        kr.Init();
        form.sent.clear();
    }

    // A tag memory behind the scripted device: word reads and writes, "0" for the rest.
    QByteArray answer(const QByteArray& t)
    {
        const QByteArray c = t.left(2);
        if (c == "SR" || c == "BR" || c == "AR" || c == "ER") {
            const int word = t.mid(2, 4).toInt(nullptr, 16);
            const int count = t.mid(6, 2).toInt(nullptr, 16);
            return "0" + memory.mid(word * 4, count * 4);
        }
        if (c == "SW" || c == "BW" || c == "AW" || c == "EW") {
            const int word = t.mid(2, 4).toInt(nullptr, 16);
            const QByteArray data = t.mid(8).chopped(2);
            memory.replace(word * 4, data.size(), data);
            return "0";
        }
        if (c == "SF" || c == "BF")
            return "0ABCDE";
        return "0";
    }
    QList<QByteArray> sentStartingWith(const QByteArray& prefix) const
    {
        QList<QByteArray> r;
        for (const QByteArray& t : form.sent)
            if (t.startsWith(prefix))
                r.append(t);
        return r;
    }

    TestContext tc;
    FakeView view;
    KRProtocol kr{tc.ctx, &view};
    ScriptedForm form{kr};
    std::unique_ptr<LK> lk;
    QByteArray memory = QByteArray(65536, '\0');
};

TEST(KRFraming, RepliesDecodeByTheirStatusDigit)
{
    EXPECT_EQ(KRProtocol::SetLKString("SR", QByteArray("0001\x02", 5)), QByteArray("SR0001\x02#\r", 9));

    QByteArray reply = "0ABCD";
    EXPECT_EQ(KRProtocol::GetLKResult(reply, 5), 4);
    EXPECT_EQ(reply, "ABCD");

    reply = "5";
    EXPECT_EQ(KRProtocol::GetLKResult(reply, 1), -5);
    EXPECT_EQ(reply, "5"); // kept for GetError

    reply = "7xy";
    EXPECT_EQ(KRProtocol::GetLKResult(reply, 3), -7);

    // A first byte that is no digit counts as status 0 and is taken off.
    reply = "ORVID";
    EXPECT_EQ(KRProtocol::GetLKResult(reply, 5), 4);
    EXPECT_EQ(reply, "RVID");

    reply = "0";
    EXPECT_EQ(KRProtocol::GetLKResult(reply, 1), 0);
    EXPECT_EQ(reply, "");

    reply = "stale";
    EXPECT_EQ(KRProtocol::GetLKResult(reply, 0), 0);
    EXPECT_EQ(KRProtocol::GetLKResult(reply, -3), -3);
    EXPECT_EQ(reply, "stale");
}

TEST_F(KRProtocolTest, StatusTextsComeFromTheLanguageFileOrTheBuiltInTable)
{
    EXPECT_EQ(kr.GetError("4"), QStringLiteral("STATUS: 4 - Falscher oder ungültiger Befehl"));
    EXPECT_EQ(kr.GetError("5"), QStringLiteral("STATUS: 5 - Kein Tag im Lesebereich"));
    EXPECT_EQ(kr.GetError("6xyz"), QStringLiteral("STATUS: 6 - Hardware Fehler (Schreiblesekopf nicht erkannt)"));
    EXPECT_EQ(kr.GetError("7"), QStringLiteral("STATUS: 7 - Software Fehler (ungültiges Befehlargument)"));
    EXPECT_EQ(kr.GetError("5", false), QStringLiteral(" 5 - Kein Tag im Lesebereich"));
    for (const QByteArray& none : {QByteArray("0ABC"), QByteArray("8"), QByteArray("X"), QByteArray()})
        EXPECT_EQ(kr.GetError(none), QString()) << none.constData();

    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[frmSystemKR]\r\nERROR_QTB_4=Bad command\r\n"
                        "ERROR_QTB_9=Antenna open\r\n");
    tc.language->LoadLanguageList();
    QString name = QStringLiteral("English");
    tc.language->SelectLanguageByCode(name);
    kr.StatusPrefix = QStringLiteral("STATE:");
    EXPECT_EQ(kr.GetError("4"), QStringLiteral("STATE: 4 - Bad command"));
    EXPECT_EQ(kr.GetError("9"), QStringLiteral("STATE: 9 - Antenna open"));
    EXPECT_EQ(kr.GetError("5"), QStringLiteral("STATE: 5 - Kein Tag im Lesebereich"));
}

TEST_F(KRProtocolTest, DataItemsKeepAddressAndWordsTogether)
{
    kr.PutData(101, 6);
    kr.PutData(102, 3);
    EXPECT_EQ(kr.StartWord, 1);
    EXPECT_EQ(kr.WordCount, 2);
    kr.PutData(101, 4);
    EXPECT_EQ(kr.DataLength, 3);
    EXPECT_EQ(kr.WordCount, 1);

    // The address box hands over 8001 hex as a negative 16-bit number: the same address.
    kr.PutData(101, static_cast<int16_t>(0x8001));
    EXPECT_EQ(kr.StartAddress, 0x8001);
    EXPECT_EQ(kr.StartWord, 0x2000);
    QVariant v;
    ASSERT_TRUE(kr.GetData(101, v));
    EXPECT_EQ(v.toInt(), 0x8001);

    v = QStringLiteral("untouched");
    EXPECT_FALSE(kr.GetData(107, v));
    EXPECT_FALSE(kr.PutData(107, 5));
    EXPECT_EQ(v.toString(), QStringLiteral("untouched"));

    kr.PutData(106, QStringLiteral("x"));
    kr.PutData(105, true);
    kr.GetData(106, v);
    EXPECT_EQ(v.toString(), QStringLiteral("x"));
    kr.GetData(105, v);
    EXPECT_TRUE(v.toBool());
}

TEST_F(KRProtocolTest, ReadsAskForTheWordsAroundTheBytesAndShowOnlyThoseBytes)
{
    struct Case {
        int address;
        int length;
        QByteArray parameter;
    };
    const Case cases[] = {
        {0, 12, "000003"},
        {6, 3, "000102"},
        {0x7FFF, 2, "1FFF02"},
        {0x8001, 2, "200001"},
        {0xFFFC, 4, "3FFF01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        kr.PutData(101, static_cast<int16_t>(c.address)); // as the window's 16-bit box gives it
        kr.PutData(102, c.length);
        form.sent.clear();
        view.shown.clear();
        kr.ReadData(true);
        EXPECT_EQ(form.sent, (QList<QByteArray>{T("QU"), T("PM0"), T("CT00"), T("SR" + c.parameter)}));
        ASSERT_EQ(view.shown.size(), 1);
        EXPECT_EQ(view.shown[0], memory.mid(c.address, c.length));
        QVariant item;
        lk->LkGetData(3, item);
        EXPECT_EQ(item.toByteArray(), memory.mid(c.address, c.length));
    }
}

TEST_F(KRProtocolTest, FixcodeRepliesAreNotShiftedByTheStartAddress)
{
    kr.PutData(104, TagCode::QTX11);
    kr.PutData(101, 6);
    kr.PutData(102, 3);
    kr.ReadData(false);
    EXPECT_EQ(form.sent.last(), T("SF"));
    EXPECT_EQ(form.sent[2], T("CT11"));
    EXPECT_EQ(view.shown, QList<QByteArray>{"ABCDE"});
    EXPECT_TRUE(kr.FixcodeRead);
}

TEST_F(KRProtocolTest, ReadsTheTagTypeCannotServeAreRefused)
{
    kr.PutData(104, TagCode::QTX02);
    kr.ReadData(true);
    kr.PutData(104, TagCode::QTX01);
    kr.ReadData(false);
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{40, 41}));
    EXPECT_TRUE(form.sent.isEmpty());

    // More words than a telegram can name: refused with a line, nothing sent.
    EXPECT_FALSE(kr.ReadDataExt(true, 0, 0, 0, 256, false, QByteArray()));
    EXPECT_TRUE(form.sent.isEmpty());
    ASSERT_EQ(view.lines.size(), 1);
    EXPECT_TRUE(view.lines[0].contains("255"));
    EXPECT_TRUE(kr.ReadDataExt(true, 0, 0, 0x3FFF, 1, false, QByteArray()));
}

TEST_F(KRProtocolTest, StatusRepliesOfAPollAreListedOnlyWithReadHeadError)
{
    form.pending = {"5", QByteArray(1, '\x16'), "5"};
    kr.Poll(true, true);
    EXPECT_TRUE(view.lines.isEmpty());
    tc.state.ReadHeadError = true;
    kr.Poll(true, true); // a SYN keep-alive: no text
    kr.Poll(true, true);
    EXPECT_EQ(view.lines, QList<QByteArray>{ToCp1252(QStringLiteral("STATUS: 5 - Kein Tag im Lesebereich"))});
    EXPECT_TRUE(view.shown.isEmpty());
}

TEST_F(KRProtocolTest, TheWindowsOwnPollsNeverStartTheAutomaticCycle)
{
    kr.AutoRead = true;
    form.pending = {"7xyz", "0"};
    kr.Poll(true, true);
    kr.Poll(false, true);
    EXPECT_TRUE(form.sent.isEmpty());
    EXPECT_EQ(kr.AutoToggle, 0);
    // A step of the poll timer does.
    kr.Poll();
    EXPECT_EQ(form.sent.last(), T("SR000005"));
    EXPECT_EQ(kr.AutoToggle, 1);
}

TEST_F(KRProtocolTest, AutomaticCycleReadsAtMostWhatATelegramCarries)
{
    // A stored length beyond 255 words reads 255 words, cycle after cycle, without a line.
    tc.settings->write(QStringLiteral("OrvidKR"), QStringLiteral("AutoSRLength"), QStringLiteral(" 4000"));
    kr.LoadSettings();
    kr.AutoRead = true;
    for (int i = 0; i < 4; ++i)
        kr.Poll();
    EXPECT_EQ(sentStartingWith("SR"), (QList<QByteArray>{T("SR0000FF"), T("SR0000FF")}));
    EXPECT_EQ(sentStartingWith("SF").size(), 2);
    // Also when the length is set past the settings.
    kr.AutoSRLength = 1021;
    kr.Poll();
    kr.Poll();
    ASSERT_EQ(sentStartingWith("SR").size(), 3);
    EXPECT_EQ(sentStartingWith("SR").last(), T("SR0000FF"));
    EXPECT_TRUE(view.lines.isEmpty());
}

TEST_F(KRProtocolTest, PasswordBlockSendsTheHexValueLeastSignificantByteFirst)
{
    view.passwordChecked = true;
    view.passwordText = QStringLiteral(" 1a2B3c4D ");
    kr.PutData(104, TagCode::QTX03);
    kr.ReadData(true);
    ASSERT_GE(form.sent.size(), 4);
    EXPECT_EQ(form.sent[0], T("QU"));
    EXPECT_EQ(form.sent[1], T("PM1"));
    EXPECT_EQ(form.sent[2], T("PS\x4D\x3C\x2B\x1A"));
    EXPECT_EQ(form.sent[3], T("CT03"));

    // Other tag types never send the password.
    form.sent.clear();
    kr.PutData(104, TagCode::Auto);
    kr.ReadData(true);
    EXPECT_EQ(form.sent[1], T("PM0"));

    // An empty box is the password 0.
    kr.PutData(104, TagCode::QTX03);
    form.sent.clear();
    view.passwordText = QStringLiteral("  ");
    kr.ReadData(true);
    ASSERT_GE(form.sent.size(), 3);
    EXPECT_EQ(form.sent[1], T("PM1"));
    EXPECT_EQ(form.sent[2], T(QByteArray("PS\0\0\0\0", 6)));

    // A password that is not plain hex is not guessed at: nothing goes out.
    for (const char* bad : {"12G4", "123456789", "0x12", "+12", "1 2"}) {
        form.sent.clear();
        view.lines.clear();
        view.passwordText = QString::fromLatin1(bad);
        kr.ReadData(true);
        EXPECT_TRUE(form.sent.isEmpty()) << bad;
        EXPECT_EQ(view.lines.size(), 1) << bad;
    }
}

TEST_F(KRProtocolTest, WriteMergesTheNewBytesIntoTheWordsReadBack)
{
    memory.replace(4, 4, "abcd");
    EXPECT_TRUE(kr.WriteTag(0, 0, false, 5, 2, "XY", "1"));
    EXPECT_EQ(form.sent, (QList<QByteArray>{T("QU"), T("PM0"), T("CT00"), T("SR000101"), T("QU"), T("PM0"),
                                            T("CT00"), T("SW000101aXYd")}));
    EXPECT_EQ(memory.mid(4, 4), "aXYd");
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    EXPECT_TRUE(kr.CurrentCommand.isEmpty());
    EXPECT_FALSE(kr.WriteBusy);

    // An address above 7FFF: the right word, the read-back fields restored afterwards.
    kr.PutData(101, 6);
    kr.PutData(102, 3);
    form.sent.clear();
    EXPECT_TRUE(kr.WriteTag(3, 2, false, 0xFFFD, 3, "pqr", "1"));
    EXPECT_EQ(form.sent[3], T("AR3FFF01"));
    EXPECT_EQ(form.sent.last(), T("AW3FFF01" + memory.mid(0xFFFC, 1) + "pqr"));
    EXPECT_EQ(kr.StartAddress, 6);
    EXPECT_EQ(kr.DataLength, 3);
    EXPECT_EQ(kr.WordCount, 2);
}

TEST_F(KRProtocolTest, FixcodeWritesUseTheirOwnLetterRow)
{
    const QByteArray nul5(5, '\0');
    EXPECT_TRUE(kr.WriteTag(TagCode::QTX10, 1, true, 0, 5, "ABCDE", "1"));
    EXPECT_EQ(form.sent[3], T("BR000003")); // read-back: three words, the mode's read letter
    EXPECT_EQ(form.sent.last(), T("AX0205ABCDE"));
    // A shorter fixcode is filled up with NUL, not with the tag bytes read back.
    form.sent.clear();
    ASSERT_NE(memory.mid(3, 2), QByteArray(2, '\0'));
    EXPECT_TRUE(kr.WriteTag(TagCode::QTX10, 2, true, 0, 3, "ABC", "1"));
    EXPECT_EQ(form.sent[3], T("AR000001"));
    EXPECT_EQ(form.sent.last(), T(QByteArray("BX0205ABC\0\0", 11)));
    // The fixcode flag means nothing for other tag types.
    form.sent.clear();
    EXPECT_TRUE(kr.WriteTag(TagCode::QTX03, 0, true, 0, 4, "ABCD", "1"));
    EXPECT_EQ(form.sent.last(), T("SW000001ABCD"));

    form.sent.clear();
    EXPECT_TRUE(kr.WriteQTX11Fixcode(0, true, "ABC"));
    EXPECT_TRUE(kr.WriteQTX11Fixcode(0, false, "ABC"));
    EXPECT_TRUE(kr.WriteQTX11Fixcode(3, false, "123456789"));
    EXPECT_TRUE(kr.WriteQTX11Fixcode(1, false, QByteArray()));
    EXPECT_EQ(form.sent, (QList<QByteArray>{T(QByteArray("SX0205ABC\0\0", 11)), T(QByteArray("SX1105ABC\0\0", 11)),
                                            T("EX110512345"), T("AX1105" + nul5)}));
}

TEST_F(KRProtocolTest, AFailedReadBackWritesNothingAndSaysSo)
{
    const QByteArray before = memory;
    struct Case {
        const char* what;
        QByteArray readReply;   // null: no reply
        QByteArray line;
    };
    const Case cases[] = {
        {"time-out", QByteArray(), QByteArray()},
        {"status", "5", ToCp1252(QStringLiteral("STATUS: 5 - Kein Tag im Lesebereich"))},
        {"short", "0ab", QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.sent.clear();
        view.lines.clear();
        tc.presenter.requests.clear();
        form.device = [&](const QByteArray& t) { return t.startsWith("SR") ? c.readReply : answer(t); };
        EXPECT_FALSE(kr.WriteTag(0, 0, false, 5, 2, "XY", "1"));
        EXPECT_TRUE(sentStartingWith("SW").isEmpty());
        EXPECT_EQ(form.sent.last(), T("QU"));
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
        EXPECT_EQ(view.lines, c.line.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{c.line});
        EXPECT_EQ(memory, before);
        EXPECT_FALSE(kr.WriteBusy);
    }
}

TEST_F(KRProtocolTest, WriteOutcomeIsReportedWhateverReadHeadErrorSays)
{
    ASSERT_FALSE(tc.state.ReadHeadError);
    form.device = [&](const QByteArray& t) { return t.startsWith("SW") ? QByteArray("7") : answer(t); };
    EXPECT_FALSE(kr.WriteTag(0, 0, false, 0, 4, "DATA", "1"));
    EXPECT_EQ(view.lines, QList<QByteArray>{ToCp1252(QStringLiteral("STATUS: 7 - Software Fehler (ungültiges Befehlargument)"))});
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});

    view.lines.clear();
    tc.presenter.requests.clear();
    form.device = [&](const QByteArray& t) { return t.startsWith("SX") ? QByteArray() : answer(t); };
    EXPECT_FALSE(kr.WriteQTX11Fixcode(0, true, "ABCDE"));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});

    // A good reply that carries data beginning with a digit is no status.
    tc.presenter.requests.clear();
    tc.state.ReadHeadError = true;
    form.device = [&](const QByteArray& t) {
        if (t.startsWith("SW"))
            return "0" + t.mid(8).chopped(2);
        return t.startsWith("SX") ? "0" + t.mid(6).chopped(2) : answer(t);
    };
    EXPECT_TRUE(kr.WriteTag(0, 0, false, 0, 4, "5123", "1"));
    EXPECT_TRUE(kr.WriteQTX11Fixcode(0, true, "6ABCD"));
    EXPECT_TRUE(view.lines.isEmpty());
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST_F(KRProtocolTest, WritesNoTelegramCanCarryAreRefusedBeforeAnythingIsSent)
{
    struct Case {
        int address;
        int length;
        bool line;
    };
    const Case cases[] = {
        {0, 1021, true},        // 256 words
        {3, 1018, true},        // 256 words from an odd address
        {0xFFFE, 4, true},      // past FFFF
        {0x10000, 1, false},
        {-1, 1, false},
        {0, 0, false},          // nothing to write
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        tc.presenter.requests.clear();
        view.lines.clear();
        EXPECT_FALSE(kr.WriteTag(0, 0, false, c.address, c.length, QByteArray(c.length, 'z'), "1"));
        EXPECT_TRUE(form.sent.isEmpty());
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
        EXPECT_EQ(view.lines.size(), c.line ? 1 : 0);
    }
    // Modes without command letters.
    tc.presenter.requests.clear();
    EXPECT_FALSE(kr.WriteTag(0, 4, false, 0, 4, "ABCD", "1"));
    EXPECT_FALSE(kr.WriteQTX11Fixcode(-1, true, "ABCDE"));
    EXPECT_TRUE(form.sent.isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{4, 4}));

    // 255 words is the most a telegram takes.
    EXPECT_TRUE(kr.WriteTag(0, 0, false, 0, 1020, QByteArray(1020, 'z'), "1"));
    EXPECT_EQ(form.sent.last().mid(2, 6), "0000FF");
    EXPECT_EQ(memory.left(1020), QByteArray(1020, 'z'));
}

TEST_F(KRProtocolTest, SettingsRoundTrip)
{
    kr.PutData(104, TagCode::QTX10);
    kr.PutData(100, 3);
    kr.PutData(101, 0x9C40);
    kr.PutData(102, 12);
    kr.PutData(103, 2);
    kr.PutData(105, true);
    kr.CloseLK();
    EXPECT_EQ(form.sent, QList<QByteArray>{T("QU")});
    const QString s = QStringLiteral("OrvidKR");
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("DataLength"), QString()), QStringLiteral(" 12"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("Tagcode"), QString()), QStringLiteral(" 10"));
    EXPECT_EQ(tc.settings->read(s, QStringLiteral("PasswordFlag"), QString()), QStringLiteral("-1"));
    tc.settings->write(s, QStringLiteral("AutoDataRepRead"), QStringLiteral("5"));
    tc.settings->write(s, QStringLiteral("AutoDataRepFixed"), QStringLiteral("2"));
    tc.settings->write(s, QStringLiteral("HeadNumber"), QStringLiteral("x"));

    KRProtocol other(tc.ctx);
    other.LoadSettings();
    EXPECT_EQ(other.Tagcode, TagCode::QTX10);
    EXPECT_EQ(other.OperationMode, 3);
    EXPECT_EQ(other.StartAddress, 0x9C40);
    EXPECT_EQ(other.StartWord, 0x2710);
    EXPECT_EQ(other.DataLength, 12);
    EXPECT_EQ(other.WordCount, 3);
    EXPECT_EQ(other.DataRepresentation, 2);
    EXPECT_TRUE(other.PasswordFlag);
    EXPECT_EQ(other.HeadNumber, QStringLiteral("x"));
    EXPECT_EQ(other.AutoDataRepRead, -1);
    EXPECT_EQ(other.AutoDataRepFixed, 2);

    // An address stored as a negative 16-bit number by an older version is the same address.
    tc.settings->write(s, QStringLiteral("StartAddress"), QStringLiteral("-25536"));
    other.LoadSettings();
    EXPECT_EQ(other.StartAddress, 0x9C40);
}

TEST(KRTagTypes, WindowAndWriteDialogListsPerSystem)
{
    auto codes = [](const QList<TagType>& list) {
        QList<int> c;
        for (const TagType& t : list)
            c.append(t.code);
        return c;
    };
    EXPECT_EQ(codes(KRWindowTagTypes(2)), (QList<int>{0, 2, 3, 10, 11}));
    EXPECT_EQ(codes(KRWindowTagTypes(3)), (QList<int>{0, 2, 3, 10, 11, 12, 14}));
    EXPECT_EQ(KRWindowTagTypes(2).first().name, QStringLiteral("Auto Orvid"));
    EXPECT_EQ(codes(KRWriteTagTypes(2)), (QList<int>{0, 3, 10}));
    EXPECT_EQ(KRWriteTagTypes(2).first().name, QStringLiteral("Auto Detect"));
    // Every type the window offers for a data write on system 3 keeps its code in the dialog.
    EXPECT_EQ(codes(KRWriteTagTypes(3)), (QList<int>{0, 3, 10, 11, 12, 14}));

    HeadFamilies microwave;
    microwave.microwave = true;
    EXPECT_EQ(codes(KRWriteTagTypesForHeads(microwave)), (QList<int>{99, 60}));
    HeadFamilies vnb;
    vnb.vnb = true;
    EXPECT_EQ(KRWriteTagTypesForHeads(vnb), (QList<TagType>{TagType{80, QStringLiteral("VNX80")}}));
    HeadFamilies all;
    all.inductive = all.rmb = all.rmb1 = all.zlb = true;
    EXPECT_EQ(codes(KRWriteTagTypesForHeads(all)),
              (QList<int>{99, 2, 3, 10, 11, 12, 14, 20, 21, 22, 24, 33, 20, 21, 22, 24, 33, 35, 37, 50, 52}));
    EXPECT_EQ(TagTypeName(50), QStringLiteral("ZKX-...-1K"));
}

} // namespace
} // namespace orvid::test
