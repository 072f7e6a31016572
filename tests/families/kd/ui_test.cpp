// The inductive system D windows and dialogs without a device: the read/write window's
// entry boxes, settings, NCX rule and head change; the write dialog's pre-fill; the
// chip-code composition and the dialog's boxes in step; English and German texts.

#include "support/FakeShell.h"
#include "support/LanguageWalk.h"
#include "support/TestContext.h"

#include "families/common/TagDataList.h"
#include "families/kd/KDItems.h"
#include "families/common/NCXCode.h"
#include "families/kd/frmSystemKDFixcode.h"
#include "families/kd/frmSystemKDMakeNCX.h"
#include "families/kd/frmSystemKDReadWrite.h"
#include "families/kd/frmSystemKDWrite.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(w, &out);
}

void type(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

struct WriteCall {
    int mode, head;
    quint16 address;
    int tagCode, doubleSided;
    QByteArray data;
};

class FakeTarget : public IKDWriteTarget {
public:
    QVariant Item(int16_t id) const override { return items.value(id); }
    QString HeadLabel() const override { return QStringLiteral("KOPF"); }
    const TagDataList* ReplyList() const override { return &list; }
    KDWriteResult WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided,
                           const QByteArray& data) override
    {
        calls.append({mode, head, address, tagCode, doubleSided, data});
        return result;
    }
    QMap<int, QVariant> items;
    TagDataList list;
    QList<WriteCall> calls;
    KDWriteResult result = KDWriteResult::Written;
};

class KDWindows : public ::testing::Test {
protected:
    TestContext tc;
    FakeTarget target;
};

TEST_F(KDWindows, ReadWriteWindowEntriesSettingsAndRules)
{
    tc.settings->write(QStringLiteral("OrvidKDReadWrite"), QStringLiteral("StartAddress"), QStringLiteral("-1"));
    tc.settings->write(QStringLiteral("OrvidKDReadWrite"), QStringLiteral("Tagcode"), QStringLiteral("0"));
    tc.settings->write(QStringLiteral("OrvidKDReadWrite"), QStringLiteral("OperationMode"), QStringLiteral("7"));
    frmSystemKDReadWrite w(tc.ctx);
    const int stopsBefore = w.Protocol().Exchanges().StopCount();
    w.Show();
    // Load: a stored -1 is address FFFF; NCX leaves nothing to write; a mode out of range
    // is Single; the head set by Fill stops nothing.
    EXPECT_EQ(w.txtAddress->text(), QStringLiteral("FFFF"));
    EXPECT_EQ(w.Protocol().StartAddress, 0xFFFF);
    EXPECT_FALSE(w.btWrite->isEnabled());
    EXPECT_FALSE(w.btMakeNCX->isEnabled());
    EXPECT_EQ(w.cmbMode->currentIndex(), 0);
    EXPECT_EQ(w.Protocol().Exchanges().StopCount(), stopsBefore);

    w.cmbCode->setCurrentIndex(3);
    emit w.cmbCode->activated(3);
    EXPECT_TRUE(w.btWrite->isEnabled());
    EXPECT_TRUE(w.btMakeNCX->isEnabled());
    EXPECT_EQ(w.Protocol().Tagcode, 3);
    w.cmbCode->setCurrentIndex(0);
    emit w.cmbCode->activated(0);
    EXPECT_FALSE(w.btWrite->isEnabled());

    // The user's head change stops what runs.
    emit w.cmbHeadNumber->activated(2);
    EXPECT_EQ(w.Protocol().Exchanges().StopCount(), stopsBefore + 1);
    EXPECT_EQ(w.Protocol().HeadNumber, 2);

    // Entry boxes: offending characters go, leaving the box formats the value.
    type(w.txtAddress, QStringLiteral("12G4"));
    EXPECT_EQ(w.txtAddress->text(), QStringLiteral("124"));
    leave(w.txtAddress);
    EXPECT_EQ(w.txtAddress->text(), QStringLiteral("0124"));
    EXPECT_EQ(w.Protocol().StartAddress, 0x124);
    type(w.txtLength, QStringLiteral("7x"));
    leave(w.txtLength);
    EXPECT_EQ(w.txtLength->text(), QStringLiteral("007"));
    EXPECT_EQ(w.Protocol().DataLength, 7);

    // Closing takes a value still being typed, and stores the address unsigned.
    type(w.txtAddress, QStringLiteral("ffff"));
    w.Unload();
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidKDReadWrite"), QStringLiteral("StartAddress"), QString()).trimmed(),
              QStringLiteral("65535"));
    EXPECT_EQ(tc.settings->read(QStringLiteral("OrvidKDReadWrite"), QStringLiteral("DataLength"), QString()).trimmed(),
              QStringLiteral("7"));
}

TEST_F(KDWindows, WriteDialogStartsFromTheLineItsBytesAndTheItems)
{
    const QByteArray bin("\x00\x01\tA\r", 5);
    const struct {
        QByteArray line;
        bool data;
        QByteArray expected;
    } lines[] = {
        {"KOPF 1: ABC", true, "ABC"},
        {"KOPF X: 1: two colons ", true, "1: two colons"},
        {"KOPF 2:  " + bin + "  ", true, bin},
        {"KOPF 3:", true, ""},
        {"STATUS:03 - Kein", false, {}},
        {"KOPF without colon", false, {}},
    };
    for (const auto& c : lines) {
        const auto got = frmSystemKDWrite::DataOfLine(c.line, QStringLiteral("KOPF"));
        EXPECT_EQ(got.has_value(), c.data) << c.line.constData();
        if (got) {
            EXPECT_EQ(*got, c.expected) << c.line.constData();
        }
    }

    target.items = {{KDItem::HeadNumber, 4}, {KDItem::Tagcode, 3}, {KDItem::OperationMode, 9},
                    {KDItem::DoubleSided, 1}, {KDItem::StartAddress, 0xFFFF}};
    {
        // Empty list: the data box stays empty.
        frmSystemKDWrite d(tc.ctx);
        d.setTarget(&target);
        d.Load();
        EXPECT_TRUE(d.txtData->text().isEmpty());
        EXPECT_EQ(d.cmbHeadNumber->currentIndex(), 4);
        EXPECT_EQ(d.cmbCode->currentData().toInt(), 3);
        EXPECT_EQ(d.cmbMode->currentIndex(), 0);
        EXPECT_TRUE(d.chkDoubleSided->isChecked());
        EXPECT_EQ(d.txtAddress->text(), QStringLiteral("FFFF"));
    }
    target.list.AddLine(QStringLiteral("KOPF 1: "), bin);
    target.list.AddText(QStringLiteral("STATUS:03 - Kein Datentr\u00E4ger vorhanden"));
    {
        // The last line is a status line: nothing taken. The selected data line is.
        frmSystemKDWrite d(tc.ctx);
        d.setTarget(&target);
        d.Load();
        EXPECT_TRUE(d.txtData->text().isEmpty());
    }
    target.list.setCurrentRow(0);
    frmSystemKDWrite d(tc.ctx);
    d.setTarget(&target);
    d.Load();
    // A write the window refuses keeps the dialog open; one that went out closes it.
    target.result = KDWriteResult::Refused;
    d.btOk_Click();
    EXPECT_NE(d.result(), QDialog::Accepted);
    target.result = KDWriteResult::NotWritten;
    d.btOk_Click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    ASSERT_EQ(target.calls.size(), 2);
    target.calls.removeFirst();
    EXPECT_EQ(target.calls[0].data, bin);
    EXPECT_EQ(target.calls[0].head, 4);
    EXPECT_EQ(target.calls[0].address, 0xFFFF);
    EXPECT_EQ(target.calls[0].doubleSided, 1);

    // Characters without a Windows-1252 byte, and an address over FF for a 2-digit type,
    // are refused in the dialog (message 20), which stays open.
    frmSystemKDWrite refuse(tc.ctx);
    refuse.setTarget(&target);
    refuse.Load();
    refuse.txtData->setText(QStringLiteral("A\u4E2D"));
    refuse.btOk_Click();
    refuse.txtData->setText(QStringLiteral("A"));
    refuse.cmbCode->setCurrentIndex(0);
    refuse.btOk_Click();
    EXPECT_EQ(target.calls.size(), 1);
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{20, 20}));
}

TEST_F(KDWindows, ChipCodeComposition)
{
    const struct {
        int wafer, die;
        const char* digits;
        const char* block;
    } vectors[] = {
        {0x000, 0x0000, "000000000000F0F0", "C0C0C0C000000000"},
        {0x123, 0x4567, "1234567C0900F0F0", "C0CCCACF180E0510"},
        {0xFFF, 0xFFFF, "FFFFFFF0F000F0F0", "DFDFDFDF07070707"},
    };
    for (const auto& v : vectors) {
        const ncx::Digits d = ncx::Compose(v.wafer, v.die);
        EXPECT_EQ(ncx::DigitText(d), QString::fromLatin1(v.digits));
        EXPECT_EQ(ncx::Block(d).toHex().toUpper(), QByteArray(v.block));
    }
    // Entry forms: hex stops at the first non-digit, decimal takes a sign; a negative die
    // wraps.
    EXPECT_EQ(ncx::ParseHex(QStringLiteral("1fz9")), 0x1F);
    EXPECT_EQ(ncx::ParseHex(QString()), 0);
    EXPECT_EQ(ncx::ParseDecimal(QStringLiteral("-1")), -1);
    EXPECT_EQ(ncx::ParseDecimal(QStringLiteral("12a3")), 12);
    EXPECT_EQ(ncx::DieFromEntry(-1), 0xFFFF);
    EXPECT_FALSE(ncx::InRange(4096, 0));
    EXPECT_FALSE(ncx::InRange(0, 65536));

    // Display forms out of range: the hex form is that of the number's 32 bits; a wafer
    // keeps all its digits, a die shows the last four.
    const struct {
        qint64 value;
        const char *waferHex, *waferDec, *dieHex;
    } forms[] = {
        {5, "005", "0005", "0005"},
        {4096, "1000", "4096", "1000"},
        {65536, "10000", "65536", "0000"},
        {70000, "11170", "70000", "1170"},
        {-1, "FFFFFFFF", "-0001", "FFFF"},
    };
    for (const auto& f : forms) {
        EXPECT_EQ(ncx::WaferHex(f.value), QString::fromLatin1(f.waferHex)) << f.value;
        EXPECT_EQ(ncx::WaferDecimal(f.value), QString::fromLatin1(f.waferDec)) << f.value;
        EXPECT_EQ(ncx::DieHex(f.value), QString::fromLatin1(f.dieHex)) << f.value;
    }
}

TEST_F(KDWindows, ChipCodeDialogKeepsItsBoxesInStep)
{
    target.items = {{KDItem::HeadNumber, 1}, {KDItem::Tagcode, 4}, {KDItem::OperationMode, -3},
                    {KDItem::DoubleSided, 0}};
    frmSystemKDMakeNCX d(tc.ctx);
    d.setTarget(&target);
    d.Load();
    EXPECT_EQ(d.CodeText(), QStringLiteral("000000000000F0F0"));
    EXPECT_EQ(d.txt28[1]->text(), QStringLiteral("00000"));
    EXPECT_EQ(d.cmbMode->currentIndex(), 0);
    EXPECT_EQ(d.cmbCode->currentData().toInt(), 4);

    type(d.txtDEZ[0], QStringLiteral("4095"));
    EXPECT_EQ(d.txtHex[0]->text(), QStringLiteral("FFF"));
    EXPECT_EQ(d.txt10[0]->text(), QStringLiteral("FFF"));
    EXPECT_EQ(d.txt28[0]->text(), QStringLiteral("4095"));
    type(d.txtHex[1], QStringLiteral("FFFF"));
    for (QLineEdit* box : {d.txtDEZ[1], d.txt10[1], d.txt28[1]})
        EXPECT_EQ(box->text(), QStringLiteral("65535"));
    EXPECT_EQ(d.CodeText(), QStringLiteral("FFFFFFF0F000F0F0"));
    type(d.txt28[1], QStringLiteral("-1"));
    EXPECT_EQ(d.txtHex[1]->text(), QStringLiteral("FFFF"));
    EXPECT_EQ(d.txtDEZ[1]->text(), QStringLiteral("65535"));
    EXPECT_EQ(d.Die(), 0xFFFF);
    // A cleared box stays empty, the others read 0.
    d.txtHex[0]->clear();
    EXPECT_TRUE(d.txtHex[0]->text().isEmpty());
    EXPECT_EQ(d.txtDEZ[0]->text(), QStringLiteral("0000"));
    EXPECT_EQ(d.txt10[0]->text(), QStringLiteral("000"));

    // Out of range: the boxes show the number's digits, whole; OK is off; back in range
    // it is on again. Typing stays limited to the box's width.
    type(d.txtDEZ[0], QStringLiteral("4096"));
    EXPECT_EQ(d.txtHex[0]->text(), QStringLiteral("1000"));
    EXPECT_EQ(d.txt10[0]->text(), QStringLiteral("1000"));
    type(d.txtDEZ[0], QStringLiteral("-1"));
    EXPECT_EQ(d.txtHex[0]->text(), QStringLiteral("FFFFFFFF"));
    EXPECT_EQ(d.txt10[0]->text(), QStringLiteral("FFFFFFFF"));
    EXPECT_EQ(d.txt28[0]->text(), QStringLiteral("-0001"));
    EXPECT_FALSE(d.buttons.ok->isEnabled());
    type(d.txtHex[0], QStringLiteral("12345"));
    EXPECT_EQ(d.txtHex[0]->text(), QStringLiteral("123"));
    type(d.txtDEZ[0], QStringLiteral("5000"));
    EXPECT_FALSE(d.buttons.ok->isEnabled());
    type(d.txtDEZ[0], QStringLiteral("291"));
    EXPECT_TRUE(d.buttons.ok->isEnabled());
    type(d.txtDEZ[1], QStringLiteral("70000"));
    EXPECT_EQ(d.txtHex[1]->text(), QStringLiteral("1170"));
    EXPECT_FALSE(d.buttons.ok->isEnabled());
    type(d.txtHex[1], QStringLiteral("4567"));
    EXPECT_TRUE(d.buttons.ok->isEnabled());
    EXPECT_EQ(d.CodeText(), QStringLiteral("1234567C0900F0F0"));
    d.btOk_Click();
    ASSERT_EQ(target.calls.size(), 1);
    EXPECT_EQ(target.calls[0].data.toHex().toUpper(), QByteArray("C0CCCACF180E0510"));
    EXPECT_EQ(target.calls[0].address, 0);
    EXPECT_EQ(target.calls[0].head, 1);
    EXPECT_EQ(target.calls[0].tagCode, 4);
}

TEST_F(KDWindows, EnglishAndGermanTexts)
{
    ASSERT_FALSE(InstallShippedLanguage(tc).isEmpty());
    const QString& title = kWindowTitleKey;
    frmSystemKDFixcode fixcode(tc.ctx);
    fixcode.Show();
    LanguageRoundTrip(*tc.language, &fixcode, [&] {
        fixcode.SetLanguage();
        const bool english = tc.language->LanguageIndex() != 0;
        EXPECT_EQ(fixcode.Protocol().HeadLabel, english ? QStringLiteral("HEAD") : QStringLiteral("KOPF"));
        EXPECT_EQ(fixcode.frameHead->title(), english ? QStringLiteral("No read/write head present")
                                                      : QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    }, {title, QStringLiteral("btFixcode"), QStringLiteral("btStop")});

    frmSystemKDReadWrite rw(tc.ctx);
    rw.Show();
    LanguageRoundTrip(*tc.language, &rw, [&] {
        rw.SetLanguage();
        const bool english = tc.language->LanguageIndex() != 0;
        EXPECT_EQ(rw.Protocol().WriteLabel, english ? QStringLiteral("WRITE:") : QStringLiteral("SCHREIBEN:"));
    }, {title, QStringLiteral("btStop")});

    frmSystemKDWrite write(tc.ctx);
    write.setTarget(&target);
    write.Load();
    LanguageRoundTrip(*tc.language, &write, [&] { write.SetLanguage(); }, {});

    frmSystemKDMakeNCX ncx(tc.ctx);
    ncx.setTarget(&target);
    ncx.Load();
    LanguageRoundTrip(*tc.language, &ncx, [&] { ncx.SetLanguage(); }, {QStringLiteral("lblHex")});
}

} // namespace
} // namespace orvid::test
