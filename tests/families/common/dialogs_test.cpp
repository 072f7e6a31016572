// The shared tag dialogs of the inductive family (data write, QTX11/QTX14 fixcode,
// configuration words) and the configuration-word codec under them. The dialogs run
// offscreen against a recording stand-in for the current system window; message boxes go
// to the recording presenter.

#include "support/FakeSystems.h"
#include "support/TestContext.h"

#include "families/common/KRConfigWord.h"
#include "families/common/DataItems.h"
#include "families/common/TagWriters.h"
#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/common/frmSystemKRWrite.h"
#include "link/LK.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

// ---- configuration words ----------------------------------------------------------------

TEST(KRConfigWord, DecodesEncodesAndChecksTheWords)
{
    quint32 value = 0;
    ASSERT_TRUE(krconfig::WordValue(QByteArray("\x80\x00\x05\x03", 4), value));
    const krconfig::ControlWord c = krconfig::DecodeControl(value);
    EXPECT_EQ(c.readStart, 0x03);
    EXPECT_EQ(c.readEnd, 0x05);
    EXPECT_FALSE(c.password);
    EXPECT_FALSE(c.rawMode);
    EXPECT_EQ(c.userBits, 1u << 13); // bit 31
    EXPECT_EQ(krconfig::WordBytes(krconfig::EncodeControl(c)), QByteArray("\x80\x00\x05\x03", 4));

    ASSERT_TRUE(krconfig::WordValue(QByteArray("\x00\x03\x00\x00", 4), value));
    EXPECT_TRUE(krconfig::DecodeControl(value).password);
    EXPECT_TRUE(krconfig::DecodeControl(value).rawMode);

    // Every word decodes and encodes back to itself (no bit lost or moved).
    QRandomGenerator rng(99);
    for (int i = 0; i < 1000; ++i) {
        const quint32 v = rng.generate();
        EXPECT_EQ(krconfig::EncodeControl(krconfig::DecodeControl(v)), v);
        EXPECT_EQ(krconfig::EncodeProtection(krconfig::DecodeProtection(v)), v);
    }
    // Only whole words decode.
    EXPECT_FALSE(krconfig::WordValue(QByteArray("ABC"), value));
    EXPECT_FALSE(krconfig::WordValue(QByteArray("ABCDE"), value));

    struct Case { quint8 fr, lr, fw, lw; int message; };
    const Case cases[] = {
        {0x03, 0x08, 0x03, 0x10, 0}, {0, 0, 0, 0, 0}, {0x02, 0x05, 0, 0, 63}, {0x06, 0x05, 0, 0, 64},
        {0x00, 0x05, 0, 0, 63},      {0, 0, 0x05, 0x00, 66}, {0, 0, 0x00, 0x05, 65},
    };
    for (const Case& k : cases)
        EXPECT_EQ(krconfig::CheckProtection({k.fr, k.lr, k.fw, k.lw}), k.message)
            << int(k.fr) << " " << int(k.lr) << " " << int(k.fw) << " " << int(k.lw);
}

TEST(KRConfigWord, ListsTheWordsLineByLine)
{
    const QStringList control = {QStringLiteral("Control Word"), QStringLiteral("Anfang:"),
                                 QStringLiteral("Ende:"), QStringLiteral("Passwort:"),
                                 QStringLiteral("RAW:"), QStringLiteral("User:")};
    quint32 value = 0;
    ASSERT_TRUE(krconfig::WordValue("ABCD", value));
    const QStringList lines = krconfig::ControlWordLines(value, control, QStringLiteral("Ein"), QStringLiteral("Aus"));
    const QString rule(45, QLatin1Char('='));
    EXPECT_EQ(lines, (QStringList{rule, QStringLiteral("Control Word"), rule,
                                  QStringLiteral("Anfang: 44"), QStringLiteral("Ende: 43"),
                                  QStringLiteral("Passwort: Aus"), QStringLiteral("RAW: Ein"),
                                  QStringLiteral("User: 00001010000010")}));
    ASSERT_TRUE(krconfig::WordValue(QByteArray("\x2F\x20\x10\x03", 4), value));
    const QStringList protection = krconfig::ProtectionWordLines(
        value, {QStringLiteral("P"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    EXPECT_EQ(protection.mid(3), (QStringList{QStringLiteral("a 03"), QStringLiteral("b 10"),
                                              QStringLiteral("c 20"), QStringLiteral("d 2F")}));
}

// ---- a current system window that records what the dialogs ask of it ----------------------

class RecordingWriter : public FakeSystemForm, public ITagWriter, public IQTX11FixcodeWriter {
public:
    using FakeSystemForm::FakeSystemForm;
    struct Write {
        int16_t tagCode; int16_t mode; bool fixcode; int32_t address; int length;
        QByteArray data; QByteArray head;
    };
    struct Fixcode { int16_t mode; bool writeProtect; QByteArray code; };
    bool WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                  const QByteArray& data, const QByteArray& head) override
    {
        writes.append({tagCode, mode, fixcode, address, length, data, head});
        return accepts;
    }
    bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& code) override
    {
        fixcodes.append({mode, writeProtect, code});
        return accepts;
    }
    WriterOffer Offer() const override { return offer; }
    bool accepts = true; // false: the window refused the write (and said why)
    WriterOffer offer;   // what the window says it offers
    QList<Write> writes;
    QList<Fixcode> fixcodes;
};

// What the interface-unit window offers: Single and Enhanced, tag types by head family.
const WriterOffer kInterfaceUnit{false, true};

class KRDialogs : public ::testing::Test {
protected:
    KRDialogs()
    {
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        for (int i : {1, 2, 3, 10})
            lk->RegisterSystem(i, [this] { return &window; });
        lk->RegisterSystem(6, [this] { return &otherFamily; });
        select(2);
        window.data[KRItem::DataRepresentation] = 0;
        window.data[KRItem::Tagcode] = 0;
        window.data[KRItem::OperationMode] = 0;
        window.data[KRItem::StartAddress] = 0;
        window.data[KRItem::HeadNumber] = QStringLiteral("1");
        window.data[KRItem::ModeFrameEnabled] = true;
        window.data[KRItem::HeadFrameVisible] = false;
    }
    void select(int16_t system) { tc.state.CurrentSystem = system; }
    static QStringList entries(const QComboBox* box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }

    TestContext tc;
    Journal journal;
    std::unique_ptr<LK> lk;
    RecordingWriter window{tc.ctx, QStringLiteral("frmSystemKR"), journal};
    FakeSystemForm otherFamily{tc.ctx, QStringLiteral("frmSystemWD"), journal}; // takes no tag writes
};

// ---- configuration dialog ---------------------------------------------------------------

TEST_F(KRDialogs, ConfigDialogRefusesBadProtectionRangesAndStaysOpen)
{
    frmConfigKR dialog(tc.ctx);
    dialog.Load(QByteArray("\x80\x00\x05\x03", 4), QByteArray("\x10\x03\x08\x03", 4));
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    EXPECT_EQ(dialog.txtKonfig[0]->text(), QStringLiteral("03"));
    EXPECT_EQ(dialog.txtKonfig[1]->text(), QStringLiteral("05"));
    EXPECT_TRUE(dialog.chkUserdefined[13]->isChecked());
    EXPECT_FALSE(dialog.chkPassword->isChecked());
    EXPECT_EQ(dialog.txtKonfig[4]->text(), QStringLiteral("03"));
    EXPECT_EQ(dialog.txtKonfig[5]->text(), QStringLiteral("10"));

    struct Case { const char* f[4]; int message; };
    const Case cases[] = {
        {{"02", "05", "", ""}, 63}, {{"06", "05", "", ""}, 64}, {{"", "05", "", ""}, 63},
        {{"", "", "05", "00"}, 66}, {{"", "", "", "05"}, 65},
    };
    dialog.show();
    for (const Case& c : cases) {
        tc.presenter.requests.clear();
        for (int i = 0; i < 4; ++i)
            dialog.txtKonfig[2 + i]->setText(QString::fromLatin1(c.f[i]));
        QTest::mouseClick(dialog.btWrite, Qt::LeftButton);
        EXPECT_EQ(tc.presenter.numbers(), QList<int>{c.message}) << c.message;
        EXPECT_TRUE(dialog.Cancelled());
        EXPECT_TRUE(dialog.isVisible());
    }
    // Fields take hex digits only and show them in upper case.
    dialog.txtKonfig[0]->clear();
    QTest::keyClicks(dialog.txtKonfig[0], QStringLiteral("g1f"));
    EXPECT_EQ(dialog.txtKonfig[0]->text(), QStringLiteral("1F"));

    for (int i = 2; i < 6; ++i)
        dialog.txtKonfig[i]->setText(QStringLiteral("00"));
    QTest::mouseClick(dialog.btWrite, Qt::LeftButton);
    EXPECT_FALSE(dialog.Cancelled());
    QByteArray control, protection;
    dialog.Result(control, protection);
    EXPECT_EQ(control, QByteArray("\x80\x00\x05\x1F", 4));
    EXPECT_EQ(protection, QByteArray(4, '\0'));
}

TEST_F(KRDialogs, ConfigDialogNeverInventsAWordThatWasNotRead)
{
    // The protection word could not be read: message 61, and Write with its fields left
    // empty is refused (four zero bytes would lift the tag's protection); the dialog stays
    // open until the user cancels, and the words come back as they were.
    QByteArray control("\x00\x03\x00\x00", 4);
    QByteArray protection;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<frmConfigKR*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(d->chkPassword->isChecked());
        EXPECT_TRUE(d->chkRAWMode->isChecked());
        EXPECT_TRUE(d->txtKonfig[2]->text().isEmpty());
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
        stayedOpen = d->isVisible();
        QTest::mouseClick(d->btCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(frmConfigKR::ShowDialog(tc.ctx, control, protection));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{61, 61}));
    EXPECT_EQ(control, QByteArray("\x00\x03\x00\x00", 4));
    EXPECT_TRUE(protection.isEmpty());

    // A cut word (three bytes) counts as unread too; once the user edits its fields, it is
    // built from them.
    tc.presenter.requests.clear();
    protection = "\x01\x02\x03";
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<frmConfigKR*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        QTest::keyClicks(d->txtKonfig[4], QStringLiteral("04"));
        QTest::keyClicks(d->txtKonfig[5], QStringLiteral("07"));
        QTest::mouseClick(d->btWrite, Qt::LeftButton);
        if (d->isVisible()) // refused: do not leave the test waiting in the dialog
            QTest::mouseClick(d->btCancel, Qt::LeftButton);
    });
    EXPECT_TRUE(frmConfigKR::ShowDialog(tc.ctx, control, protection));
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{61});
    EXPECT_EQ(protection, QByteArray("\x07\x04\x00\x00", 4));
}

TEST_F(KRDialogs, ConfigDialogCancelAndCloseLeaveTheWords)
{
    for (bool viaClose : {false, true}) {
        QByteArray control("ABCD"), protection("\x10\x03\x08\x03", 4);
        QTimer::singleShot(0, [viaClose] {
            auto* d = qobject_cast<frmConfigKR*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->txtKonfig[0]->setText(QStringLiteral("77"));
            if (viaClose)
                d->close();
            else
                QTest::mouseClick(d->btCancel, Qt::LeftButton);
        });
        EXPECT_FALSE(frmConfigKR::ShowDialog(tc.ctx, control, protection));
        EXPECT_EQ(control, QByteArray("ABCD"));
        EXPECT_EQ(protection, QByteArray("\x10\x03\x08\x03", 4));
    }
}

// ---- data write dialog ------------------------------------------------------------------

TEST_F(KRDialogs, WriteDialogListsPerSystem)
{
    {
        frmSystemKRWrite dialog(tc.ctx);
        dialog.Load(4);
        EXPECT_EQ(entries(dialog.cmbCode), (QStringList{"Auto Detect", "QTX03", "QTX10"}));
        EXPECT_TRUE(dialog.cmbCode->isEnabled());
        EXPECT_EQ(entries(dialog.cmbHeadNumber), (QStringList{"1", "2", "3", "4", "x"}));
        EXPECT_FALSE(dialog.cmbMode->isHidden());
        EXPECT_TRUE(dialog.cmbModeQTI->isHidden());
    }
    // System 3 offers what its window offers, QTX12 included, and keeps the window's tag
    // type and mode (Enhanced) instead of falling back to the first entries.
    select(3);
    window.data[KRItem::Tagcode] = 12;
    window.data[KRItem::OperationMode] = 3;
    {
        frmSystemKRWrite dialog(tc.ctx);
        dialog.Load(4);
        EXPECT_EQ(entries(dialog.cmbCode), (QStringList{"Auto Detect", "QTX03", "QTX10", "QTX11", "QTX12", "QTX14"}));
        EXPECT_EQ(dialog.cmbCode->currentText(), QStringLiteral("QTX12"));
        EXPECT_EQ(dialog.cmbMode->currentData().toInt(), 3);
    }
    // The interface unit: lists by head family, the short mode list, the head frame.
    select(10);
    window.offer = kInterfaceUnit;
    window.data[KRItem::MicrowaveHead] = true;
    window.data[KRItem::HeadFrameVisible] = true;
    window.data[KRItem::OperationMode] = 3;
    {
        frmSystemKRWrite dialog(tc.ctx);
        dialog.Load(2);
        EXPECT_EQ(entries(dialog.cmbCode), (QStringList{"Standard", "WTX60"}));
        EXPECT_FALSE(dialog.cmbCode->isEnabled());
        EXPECT_TRUE(dialog.cmbMode->isHidden());
        EXPECT_FALSE(dialog.cmbModeQTI->isHidden());
        EXPECT_EQ(dialog.cmbModeQTI->currentData().toInt(), 3);
        EXPECT_EQ(entries(dialog.cmbHeadNumber), (QStringList{"1", "2", "x"}));
        EXPECT_FALSE(dialog.frameHeadNumber->isHidden());
    }
}

TEST_F(KRDialogs, WriteDialogWritesExactlyTheEnteredBytes)
{
    window.data[KRItem::DataRepresentation] = 1;
    window.data[KRItem::StartAddress] = 0xFFFF;
    window.data[KRItem::HeadNumber] = QStringLiteral("x");
    lk->LkPutData(KRItem::LastData, QByteArray("<CR>")); // the link keeps the last data itself
    frmSystemKRWrite dialog(tc.ctx);
    dialog.Load(4);
    EXPECT_EQ(dialog.DataRep(), 1);
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("3C 43 52 3E "));
    EXPECT_EQ(dialog.txtAddress->text(), QStringLiteral("FFFF"));
    // Through the text view and back: still the four bytes, not one CR.
    dialog.rdDataMode[0]->click();
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("<CR>"));
    dialog.rdDataMode[2]->click();
    dialog.rdDataMode[1]->click();
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("3C 43 52 3E "));
    dialog.rdDataMode[0]->click();
    dialog.show();
    QTest::mouseClick(dialog.btOK, Qt::LeftButton);
    ASSERT_EQ(window.writes.size(), 1);
    const RecordingWriter::Write& w = window.writes.first();
    EXPECT_EQ(w.data, QByteArray("<CR>"));
    EXPECT_EQ(w.length, 4);
    EXPECT_EQ(w.address, 65535);
    EXPECT_EQ(w.head, QByteArray("x"));
    EXPECT_EQ(w.tagCode, 0);
    EXPECT_FALSE(w.fixcode);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(KRDialogs, WriteDialogKeepsEveryByteWhicheverViewCameFirst)
{
    // NUL, CR, DEL, a code without a character, high bytes; and a read long enough that
    // its decimal view is longer than a line edit holds by default.
    const QByteArray sample = QByteArray("\0A\r\x7F\x81\xA7\xFF<LF>", 11);
    QByteArray longRead;
    for (int i = 0; i < 9000; ++i)
        longRead += char(i * 7);
    for (const QByteArray& bytes : {sample, longRead}) {
        lk->LkPutData(KRItem::LastData, bytes);
        for (int first = 0; first < 3; ++first) {
            window.writes.clear();
            window.data[KRItem::DataRepresentation] = first;
            frmSystemKRWrite dialog(tc.ctx);
            dialog.Load(4);
            for (int rep : {2, 0, 1, 0, 2})
                dialog.rdDataMode[rep]->click();
            dialog.btOK->click();
            ASSERT_EQ(window.writes.size(), 1);
            EXPECT_EQ(window.writes.first().data, bytes) << "first shown as " << first;
            EXPECT_EQ(window.writes.first().length, bytes.size());
        }
    }
    EXPECT_TRUE(tc.presenter.requests.isEmpty());

    // Typed in the text view: what is typed goes out, and a character without a byte is
    // refused rather than written as something else.
    window.writes.clear();
    window.data[KRItem::DataRepresentation] = 0;
    lk->LkPutData(KRItem::LastData, QByteArray());
    frmSystemKRWrite dialog(tc.ctx);
    dialog.Load(4);
    dialog.show();
    QTest::keyClicks(dialog.txtData, QStringLiteral("A<NUL>"));
    dialog.txtData->insert(QStringLiteral("\u2190")); // as a paste or a compose key would
    QTest::keyClicks(dialog.txtData, QStringLiteral("B"));
    dialog.btOK->click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_EQ(dialog.txtData->selectedText(), QStringLiteral("\u2190"));
    EXPECT_TRUE(window.writes.isEmpty());
    dialog.txtData->setText(QStringLiteral("A<NUL>B"));
    dialog.btOK->click();
    ASSERT_EQ(window.writes.size(), 1);
    EXPECT_EQ(window.writes.first().data, QByteArray("A<NUL>B"));
}

TEST_F(KRDialogs, WriteDialogStaysOpenWhenTheWriteDoesNotHappen)
{
    // The window refused the write (it has reported why): the user's entries stay.
    window.accepts = false;
    frmSystemKRWrite dialog(tc.ctx);
    dialog.Load(4);
    dialog.show();
    dialog.rdDataMode[1]->click();
    dialog.txtData->setText(QStringLiteral("01 02 03"));
    dialog.btOK->click();
    EXPECT_EQ(window.writes.size(), 1);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("01 02 03"));
    window.accepts = true;
    dialog.btOK->click();
    EXPECT_EQ(window.writes.size(), 2);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // The current window takes no tag writes: message 4, not a silent close.
    select(6);
    frmSystemKRWrite other(tc.ctx);
    other.Load(4);
    other.show();
    other.txtData->setText(QStringLiteral("abc"));
    other.btOK->click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    EXPECT_TRUE(other.isVisible());
    EXPECT_NE(other.result(), QDialog::Accepted);
    EXPECT_EQ(window.writes.size(), 2);
}

TEST_F(KRDialogs, WriteDialogReportsConversionErrorsAndAsksBeforeAFixcode)
{
    frmSystemKRWrite dialog(tc.ctx);
    dialog.Load(4);
    dialog.show();
    dialog.rdDataMode[1]->click();
    QTest::keyClicks(dialog.txtData, QStringLiteral("41 1FF 42"));
    // A change of representation that fails keeps the old one.
    dialog.rdDataMode[2]->click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_TRUE(dialog.rdDataMode[1]->isChecked());
    EXPECT_EQ(dialog.DataRep(), 1);
    EXPECT_EQ(dialog.txtData->selectedText(), QStringLiteral("1FF"));
    // OK refuses it too and writes nothing.
    QTest::mouseClick(dialog.btOK, Qt::LeftButton);
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{20, 20}));
    EXPECT_TRUE(window.writes.isEmpty());
    EXPECT_TRUE(dialog.isVisible());

    // QTX10 with the fixcode box: message 62; No keeps the dialog open, Yes writes it.
    dialog.txtData->setText(QStringLiteral("41 42"));
    EXPECT_FALSE(dialog.chkFixcode->isEnabled());
    dialog.cmbCode->setCurrentIndex(dialog.cmbCode->findData(10));
    emit dialog.cmbCode->activated(dialog.cmbCode->currentIndex()); // as the user's choice
    ASSERT_TRUE(dialog.chkFixcode->isEnabled());
    dialog.chkFixcode->setChecked(true);
    tc.presenter.requests.clear();
    tc.presenter.answers = {Msg::No};
    QTest::mouseClick(dialog.btOK, Qt::LeftButton);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{62});
    EXPECT_TRUE(window.writes.isEmpty());
    tc.presenter.answers = {Msg::Yes};
    QTest::mouseClick(dialog.btOK, Qt::LeftButton);
    ASSERT_EQ(window.writes.size(), 1);
    EXPECT_TRUE(window.writes.first().fixcode);
    EXPECT_EQ(window.writes.first().tagCode, 10);
    EXPECT_EQ(window.writes.first().data, QByteArray("AB"));
}

TEST_F(KRDialogs, WriteDialogEmptyDataAndAddressField)
{
    frmSystemKRWrite dialog(tc.ctx);
    dialog.Load(4);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.txtAddress->setFocus();
    dialog.txtAddress->clear();
    QTest::keyClicks(dialog.txtAddress, QStringLiteral("a-b c"));
    EXPECT_EQ(dialog.txtAddress->text(), QStringLiteral("abc"));
    dialog.txtData->setFocus(); // leaving the field rewrites it
    EXPECT_EQ(dialog.txtAddress->text(), QStringLiteral("0ABC"));
    dialog.cmbHeadNumber->setCurrentIndex(2);
    QTest::mouseClick(dialog.btOK, Qt::LeftButton);
    ASSERT_EQ(window.writes.size(), 1);
    EXPECT_EQ(window.writes.first().address, 0x0ABC);
    EXPECT_EQ(window.writes.first().length, 0);
    EXPECT_TRUE(window.writes.first().data.isEmpty());
    EXPECT_EQ(window.writes.first().head, QByteArray("3"));
}

// ---- QTX11/QTX14 fixcode dialog ---------------------------------------------------------

TEST_F(KRDialogs, FixcodeDialogModesPerSystem)
{
    // The dialog asks the writer what it offers, whichever entry it is registered for.
    const struct { int16_t system; WriterOffer offer; QStringList modes; } cases[] = {
        {2, {}, {"Single", "Buffered", "Auto", "Enhanced"}},
        {3, {}, {"Single", "Buffered", "Auto", "Enhanced"}},
        {1, kInterfaceUnit, {"Single", "Enhanced"}},
        {10, kInterfaceUnit, {"Single", "Enhanced"}}, // the same unit over Ethernet
        {2, kInterfaceUnit, {"Single", "Enhanced"}},
        {10, {}, {"Single", "Buffered", "Auto", "Enhanced"}},
    };
    for (const auto& c : cases) {
        select(c.system);
        window.offer = c.offer;
        frmSystemHXWriteFixcode dialog(tc.ctx);
        dialog.Load();
        EXPECT_EQ(entries(dialog.cmbMode), c.modes) << c.system;
        EXPECT_EQ(dialog.cmbMode->currentData().toInt(), 0);
    }
}

TEST_F(KRDialogs, FixcodeDialogKeepsNulBytesAndAsksOnlyBeforeAProtectedWrite)
{
    window.data[KRItem::DataRepresentation] = 1;
    frmSystemHXWriteFixcode dialog(tc.ctx);
    dialog.Load();
    dialog.show();
    EXPECT_EQ(dialog.DataRep(), 1);
    QTest::keyClicks(dialog.txtData, QStringLiteral("00 41 00 42"));
    dialog.rdDataMode[0]->click();
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("\u2400A\u2400B")); // NUL is not a blank
    dialog.rdDataMode[2]->click();
    dialog.rdDataMode[1]->click();
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("00 41 00 42 "));

    // Write-protected, the code is for good: message 62 first; No writes nothing.
    dialog.chkFixcode->setChecked(true);
    dialog.cmbMode->setCurrentIndex(3);
    tc.presenter.answers = {Msg::No};
    dialog.btOk->click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{62});
    EXPECT_TRUE(window.fixcodes.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    tc.presenter.answers = {Msg::Yes};
    dialog.btOk->click();
    ASSERT_EQ(window.fixcodes.size(), 1);
    EXPECT_EQ(window.fixcodes.first().code, QByteArray("\0A\0B", 4));
    EXPECT_TRUE(window.fixcodes.first().writeProtect);
    EXPECT_EQ(window.fixcodes.first().mode, 3);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Without protection the code can be written again: no question, short or full.
    for (const QString& code : {QStringLiteral("AB"), QStringLiteral("ABCDE")}) {
        tc.presenter.requests.clear();
        frmSystemHXWriteFixcode plain(tc.ctx);
        plain.Load();
        plain.rdDataMode[0]->click();
        plain.txtData->setText(code);
        plain.btOk->click();
        EXPECT_TRUE(tc.presenter.requests.isEmpty()) << code.toStdString();
        EXPECT_EQ(window.fixcodes.last().code, code.toLatin1());
        EXPECT_FALSE(window.fixcodes.last().writeProtect);
        EXPECT_EQ(plain.result(), QDialog::Accepted);
    }
}

TEST_F(KRDialogs, FixcodeDialogRefusesWhatCannotBeWritten)
{
    frmSystemHXWriteFixcode dialog(tc.ctx);
    dialog.Load();
    dialog.show();
    dialog.rdDataMode[0]->click();

    // Six bytes where the tag takes five: said as such, not as a conversion error, and
    // nothing is cut off and written.
    dialog.chkFixcode->setChecked(true);
    QTest::keyClicks(dialog.txtData, QStringLiteral("ABCDEF"));
    dialog.btOk->click();
    ASSERT_EQ(tc.presenter.requests.size(), 1);
    EXPECT_EQ(tc.presenter.requests.first().number, 0);
    EXPECT_EQ(tc.presenter.requests.first().text, QStringLiteral("Der Fixcode darf höchstens 5 Byte lang sein."));
    EXPECT_EQ(dialog.txtData->selectedText(), QStringLiteral("ABCDEF"));
    EXPECT_TRUE(window.fixcodes.isEmpty());
    EXPECT_TRUE(dialog.isVisible());

    // The window refused the write: the dialog stays with the code.
    tc.presenter.requests.clear();
    window.accepts = false;
    dialog.chkFixcode->setChecked(false);
    dialog.txtData->setText(QStringLiteral("ABCDE"));
    dialog.btOk->click();
    EXPECT_EQ(window.fixcodes.size(), 1);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("ABCDE"));

    // No window that writes fixcodes: message 4, before any question about the tag.
    select(6);
    dialog.chkFixcode->setChecked(true);
    dialog.btOk->click();
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{4});
    EXPECT_EQ(window.fixcodes.size(), 1);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(KRDialogs, FixcodeDialogDecimalInput)
{
    frmSystemHXWriteFixcode dialog(tc.ctx);
    dialog.Load();
    dialog.show();
    dialog.rdDataMode[2]->click();
    QTest::keyClicks(dialog.txtData, QStringLiteral("065 x066 256"));
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("065 066 256")); // letters are filtered
    QTest::mouseClick(dialog.btOk, Qt::LeftButton);
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_EQ(dialog.txtData->selectedText(), QStringLiteral("256"));
    EXPECT_TRUE(window.fixcodes.isEmpty());
}

} // namespace
} // namespace orvid::test
