// The code dialogs of the interface-unit window, offscreen against a recording stand-in
// for the current system window: what each OK hands to the writer (mode and code) for the
// numbers or bytes typed, the codes refused in the dialog (message 81 with the row and its
// range, the too-long message, a conversion failure) with the dialog kept open, and a
// write the window refused keeping it open too.

#include "support/FakeSystems.h"
#include "support/LanguageWalk.h"
#include "support/RealInput.h"
#include "support/TestContext.h"

#include "families/common/DataItems.h"
#include "families/hx/frmSystemHXCodeDialogs.h"
#include "link/LK.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {
namespace {

class CodeWriter : public FakeSystemForm, public hx::IHXCodeWriter {
public:
    using FakeSystemForm::FakeSystemForm;
    bool WriteSpecialFixcode(int16_t mode, const QByteArray& code) override { return record("special", mode, code); }
    bool WriteVNBFixcode(const QByteArray& code) override { return record("vnb", 0, code); }
    bool WriteWTXFixcode(int16_t mode, const QByteArray& code) override { return record("wtx", mode, code); }
    bool WriteNCXTag(int16_t mode, const QByteArray& code) override { return record("ncx", mode, code); }
    bool record(const char* writer, int mode, const QByteArray& code)
    {
        calls.append(QByteArray(writer) + ' ' + QByteArray::number(mode) + ' ' + code.toHex().toUpper());
        return result;
    }
    QList<QByteArray> calls;
    bool result = true;
};

class HXCodeDialogs : public ::testing::Test {
protected:
    HXCodeDialogs()
    {
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        lk->RegisterSystem(1, [this] { return &unit; });
        tc.state.CurrentSystem = 1;
        unit.data[KRItem::DataRepresentation] = 1;
        unit.data[KRItem::OperationMode] = 3;
    }
    QString lastArgs() const
    {
        return tc.presenter.requests.isEmpty() ? QString() : tc.presenter.requests.last().args;
    }
    static QByteArray hex(const char* text) { return QByteArray(text).toHex().toUpper(); }

    TestContext tc;
    Journal journal;
    std::unique_ptr<LK> lk;
    CodeWriter unit{tc.ctx, QStringLiteral("frmSystemHX"), journal};
};

TEST_F(HXCodeDialogs, SpecialFixcodeNumbersInStepAndRange)
{
    struct Case {
        const char* box;   // "hex" or "dec"
        QString typed;
        QString otherShows;
        QByteArray sent;   // empty: refused with message 81
    };
    const Case cases[] = {
        {"hex", QStringLiteral("1A"), QStringLiteral("00000026"), "special 3 " + hex("00001A")},
        {"dec", QStringLiteral("16777215"), QStringLiteral("FFFFFF"), "special 3 " + hex("FFFFFF")},
        {"dec", QStringLiteral("16777216"), QStringLiteral("1000000"), {}},
        {"dec", QStringLiteral("99999999"), QStringLiteral("5F5E0FF"), {}},
        {"hex", QStringLiteral("1G2"), QStringLiteral("00000018"), "special 3 " + hex("000012")},   // G filtered out
        {"hex", QStringLiteral("1234567"), QStringLiteral("01193046"), "special 3 " + hex("123456")},   // six digits
    };
    for (const Case& c : cases) {
        unit.calls.clear();
        tc.presenter.requests.clear();
        frmSystemHXWriteFixcodeSpecial dialog(tc.ctx);
        dialog.Load();
        EXPECT_EQ(dialog.cmbMode->currentText(), QStringLiteral("Enhanced"));
        QLineEdit* box = QByteArray(c.box) == "hex" ? dialog.txtHex : dialog.txtDEZ;
        QLineEdit* other = box == dialog.txtHex ? dialog.txtDEZ : dialog.txtHex;
        ASSERT_TRUE(activate(&dialog));
        box->setFocus();
        box->clear();
        typeKeys(c.typed);
        EXPECT_EQ(other->text(), c.otherShows) << c.typed.toStdString();
        ASSERT_TRUE(clickOn(dialog.btOk));
        if (c.sent.isEmpty()) {
            EXPECT_TRUE(unit.calls.isEmpty());
            EXPECT_EQ(tc.presenter.numbers(), QList<int>{81});
            EXPECT_EQ(lastArgs(), QStringLiteral("DEZ|0|16777215"));
            EXPECT_NE(dialog.result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(unit.calls, QList<QByteArray>{c.sent}) << c.typed.toStdString();
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
        }
    }
}

TEST_F(HXCodeDialogs, ChipCodeRowsAndTheirRanges)
{
    struct Case {
        QString waferDec, dieDec;
        QByteArray sent;    // empty: refused
        QString args;       // message 81 arguments when refused
    };
    const Case cases[] = {
        {QStringLiteral("5"), QStringLiteral("4660"), "ncx 3 " + hex("0051234"), {}},
        {QStringLiteral("4095"), QStringLiteral("65535"), "ncx 3 " + hex("FFFFFFF"), {}},
        {QStringLiteral("0"), QStringLiteral("0"), "ncx 3 " + hex("0000000"), {}},
        {QStringLiteral("4096"), QStringLiteral("1"), {}, QStringLiteral("Wafer Nr|0|4095")},
        {QStringLiteral("1"), QStringLiteral("65536"), {}, QStringLiteral("Die Nr.|0|65535")},
        {QStringLiteral("1"), QStringLiteral("-1"), {}, QStringLiteral("Die Nr.|0|65535")},
    };
    for (const Case& c : cases) {
        unit.calls.clear();
        tc.presenter.requests.clear();
        frmSystemHXMakeNCX dialog(tc.ctx);
        dialog.Load();
        dialog.txtDEZ[0]->setText(c.waferDec);
        dialog.txtDEZ[1]->setText(c.dieDec);
        dialog.btOk->click();
        if (c.sent.isEmpty()) {
            EXPECT_TRUE(unit.calls.isEmpty()) << c.dieDec.toStdString();
            EXPECT_EQ(lastArgs(), c.args);
            EXPECT_NE(dialog.result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(unit.calls, QList<QByteArray>{c.sent});
            EXPECT_TRUE(tc.presenter.requests.isEmpty());
        }
    }
    // The rows stay in step: hex 5 shows 0005, decimal 65535 shows FFFF.
    frmSystemHXMakeNCX dialog(tc.ctx);
    dialog.Load();
    dialog.txtHex[0]->setText(QStringLiteral("5"));
    EXPECT_EQ(dialog.txtDEZ[0]->text(), QStringLiteral("0005"));
    dialog.txtDEZ[1]->setText(QStringLiteral("65535"));
    EXPECT_EQ(dialog.txtHex[1]->text(), QStringLiteral("FFFF"));

    // Typed out of a row's range, the hex box shows the chip-code arithmetic's digits,
    // whole: the wafer's hex form (of the number's 32 bits), the die's last four.
    const struct {
        int row;
        const char* typed;
        const char* hexShows;
    } outOfRange[] = {
        {0, "4096", "1000"},
        {0, "-1", "FFFFFFFF"},
        {1, "65536", "0000"},
        {1, "70000", "1170"},
        {1, "-1", "FFFF"},
    };
    for (const auto& c : outOfRange) {
        dialog.txtDEZ[c.row]->clear();
        QTest::keyClicks(dialog.txtDEZ[c.row], QString::fromLatin1(c.typed));
        EXPECT_EQ(dialog.txtHex[c.row]->text(), QString::fromLatin1(c.hexShows)) << c.typed;
    }
}

TEST_F(HXCodeDialogs, ByteCodesTheirLimitsAndModes)
{
    struct Case {
        const char* dialog;
        int view;
        QString text;
        int modeIndex;
        QByteArray sent;   // empty: refused, dialog open
        int message;       // 20 conversion, 0 the too-long box
    };
    const Case cases[] = {
        {"vnb", 1, QStringLiteral("41 42"), 0, "vnb 0 4142", -1},
        {"vnb", 2, QStringLiteral("0"), 0, "vnb 0 00", -1},
        {"vnb", 1, QString(), 0, "vnb 0 ", -1},
        {"vnb", 0, QStringLiteral("ABCDEFGHIJKLMN"), 0, "vnb 0 " + hex("ABCDEFGHIJKLMN"), -1},
        {"vnb", 0, QStringLiteral("ABCDEFGHIJKLMNO"), 0, {}, 0},
        {"vnb", 1, QStringLiteral("123"), 0, {}, 20},
        {"wtx", 1, QStringLiteral("01 02 03 04"), 1, "wtx 3 01020304", -1},
        {"wtx", 0, QStringLiteral("ABCDE"), 0, {}, 0},
        {"wtx", 2, QStringLiteral("300"), 0, {}, 20},
    };
    for (const Case& c : cases) {
        unit.calls.clear();
        tc.presenter.requests.clear();
        unit.data[KRItem::DataRepresentation] = c.view;
        std::unique_ptr<HXByteCodeDialog> dialog;
        if (QByteArray(c.dialog) == "vnb")
            dialog = std::make_unique<frmSystemHXWriteFixcodeVNB>(tc.ctx);
        else
            dialog = std::make_unique<frmSystemHXWriteFixcodeWTX>(tc.ctx);
        dialog->Load();
        EXPECT_EQ(dialog->DataRep(), c.view);
        if (dialog->cmbMode) {
            // Single and Enhanced only, Single first.
            ASSERT_EQ(dialog->cmbMode->count(), 2);
            EXPECT_EQ(dialog->cmbMode->currentText(), QStringLiteral("Single"));
            dialog->cmbMode->setCurrentIndex(c.modeIndex);
        }
        dialog->txtData->setText(c.text);
        dialog->btOk->click();
        if (c.sent.isEmpty()) {
            EXPECT_TRUE(unit.calls.isEmpty()) << c.text.toStdString();
            ASSERT_EQ(tc.presenter.requests.size(), 1);
            EXPECT_EQ(tc.presenter.requests[0].number, c.message);
            EXPECT_NE(dialog->result(), QDialog::Accepted);
            EXPECT_FALSE(dialog->txtData->selectedText().isEmpty());
        } else {
            EXPECT_EQ(unit.calls, QList<QByteArray>{c.sent}) << c.text.toStdString();
            EXPECT_EQ(dialog->result(), QDialog::Accepted);
        }
    }
    // A write the window refused keeps the dialog open with its code.
    unit.result = false;
    unit.data[KRItem::DataRepresentation] = 0;
    frmSystemHXWriteFixcodeWTX dialog(tc.ctx);
    dialog.Load();
    dialog.txtData->setText(QStringLiteral("AB"));
    dialog.btOk->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.txtData->text(), QStringLiteral("AB"));
}

TEST_F(HXCodeDialogs, EnglishAndBack)
{
    ASSERT_FALSE(InstallShippedLanguage(tc).isEmpty());
    const QSet<QString> same{QStringLiteral("lblHex")};
    frmSystemHXWriteFixcodeSpecial special(tc.ctx);
    LanguageRoundTrip(*tc.language, &special, [&] { special.SetLanguage(); }, same);
    frmSystemHXMakeNCX ncx(tc.ctx);
    LanguageRoundTrip(*tc.language, &ncx, [&] { ncx.SetLanguage(); }, same);
    frmSystemHXWriteFixcodeVNB vnb(tc.ctx);
    LanguageRoundTrip(*tc.language, &vnb, [&] { vnb.SetLanguage(); }, {});
    frmSystemHXWriteFixcodeWTX wtx(tc.ctx);
    LanguageRoundTrip(*tc.language, &wtx, [&] { wtx.SetLanguage(); }, {});
}

} // namespace
} // namespace orvid::test
