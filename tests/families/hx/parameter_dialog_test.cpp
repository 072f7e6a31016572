// The VNB parameter dialog offscreen against a scripted parameter link: unavailable
// parameters disabled, OK setting the composed values, a range fault (message 81 with
// the caption and range, the box selected, the dialog open), the channel exclusion, the
// factory reset (RD, then the head's values as defaults; a failed reset listed), and its
// English texts.

#include "support/LanguageWalk.h"
#include "support/TestContext.h"

#include "families/hx/frmSystemHXParameterVNB.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

class FakeLink : public hx::IHXParameterLink {
public:
    int16_t ReadCmd(clsParameter& p, bool asDefault, const QByteArray&, bool* replied) override
    {
        reads.append(p.Name());
        if (missing.contains(p.Name())) {
            *replied = true;
            return -4;
        }
        *replied = true;
        if (head.contains(p.Name()))
            asDefault ? p.DefaultValue(head.value(p.Name())) : p.setValue(head.value(p.Name()));
        return static_cast<int16_t>(p.value().size());
    }
    int16_t WriteCmd(clsParameter& p) override
    {
        writes.append(p.Name());
        return writeResult;
    }
    void ListLine(const QString& line) override { lines.append(line); }
    QString ParameterError(const QString& name, int16_t result) const override
    {
        return name + QLatin1Char(':') + QString::number(result);
    }
    QStringList reads, writes, lines;
    QSet<QString> missing;
    QMap<QString, QString> head;
    int16_t writeResult = 1;
};

class HXParameterDialog : public ::testing::Test {
protected:
    HXParameterDialog() : file(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)))
    {
        params = hx::NewParameters(false);
        for (clsParameter& p : params)
            p.setAvailable(p.Name() != QLatin1String("E5"));
    }
    const hx::HXHeadType& head() const { return *file.HeadType(QStringLiteral("UHF-A")); }
    QByteArray value(const char* name) const { return hx::ValueBytes(*hx::FindParameter(params, QString::fromLatin1(name))); }

    TestContext tc;
    hx::HXHeadFile file;
    hx::ParameterList params;
    FakeLink link;
};

TEST_F(HXParameterDialog, UnavailableDisabledOkComposesAndRangeFaultsStayOpen)
{
    frmSystemHXParameterVNB dialog(tc.ctx, head(), link, params);
    dialog.Load();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("<UHF-A> Parameter"));
    EXPECT_FALSE(dialog.txtEnhancedStatus->isEnabled());
    EXPECT_FALSE(dialog.lblEnhancedStatus->isEnabled());
    EXPECT_TRUE(dialog.txtNumberChannels->isEnabled());
    EXPECT_EQ(dialog.txtPowerTransmit[0]->text(), QStringLiteral("50"));
    EXPECT_EQ(dialog.cmbPolarisation->count(), 2);

    // Choosing 7 in the first channel box clears it from the third.
    dialog.cmbDenseReaderMode[0]->setCurrentIndex(dialog.cmbDenseReaderMode[0]->findData(7));
    EXPECT_EQ(dialog.cmbDenseReaderMode[2]->currentData().toInt(), 0);

    // A power above the head's limit: message 81, the box selected, nothing after it set.
    dialog.txtPowerTransmit[1]->setText(QStringLiteral("301"));
    dialog.txtNumberChannels->setText(QStringLiteral("9"));
    dialog.btOK->click();
    ASSERT_EQ(tc.presenter.numbers(), QList<int>{81});
    EXPECT_EQ(tc.presenter.requests[0].args, QStringLiteral("Sendeleistung (PT)|10|300"));
    EXPECT_EQ(dialog.txtPowerTransmit[1]->selectedText(), QStringLiteral("301"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(value("NC"), QByteArray("\x01", 1));

    // Blanks and letters never reach a number box.
    dialog.txtPowerTransmit[1]->setText(QStringLiteral("1x20"));
    EXPECT_EQ(dialog.txtPowerTransmit[1]->text(), QStringLiteral("120"));
    dialog.btOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(value("PT"), QByteArray("\x00\x32\x00\x78", 4));
    EXPECT_EQ(value("CD"), QByteArray("\x07\x0A\x0D", 3));
    EXPECT_EQ(value("NC"), QByteArray("\x09", 1));
    EXPECT_EQ(value("E5"), QByteArray("\x05", 1));   // unavailable: untouched
    EXPECT_FALSE(hx::FindParameter(params, QStringLiteral("E5"))->Changed());
    EXPECT_FALSE(hx::FindParameter(params, QStringLiteral("TA"))->Changed());

    // A head under a country profile: the caption names the profile as the language file
    // describes it, not by its name in the head-type file.
    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[OrvidHX]\r\nUHF_LANGUAGE_A_2=Europe (EU)\r\n");
    tc.language->LoadLanguageList();
    QString english = QStringLiteral("English");
    tc.language->SelectLanguageByCode(english);
    hx::ParameterList profiled = hx::NewParameters(true);
    hx::SetValueBytes(*hx::FindParameter(profiled, QStringLiteral("RC")), QByteArray("\x01\x05", 2));   // ID 261
    frmSystemHXParameterVNB underProfile(tc.ctx, head(), link, profiled);
    underProfile.Load();
    EXPECT_EQ(underProfile.windowTitle(), QStringLiteral("<UHF-A> Parameter (Länderkennung Europe (EU))"));
}

TEST_F(HXParameterDialog, FactoryResetReadsTheDefaults)
{
    frmSystemHXParameterVNB dialog(tc.ctx, head(), link, params);
    dialog.resetPauseMs = 0;
    dialog.Load();
    // No: nothing happens.
    tc.presenter.answers = {Msg::No};
    dialog.btFactorySettings->click();
    EXPECT_TRUE(link.writes.isEmpty());

    link.head[QStringLiteral("NC")] = QStringLiteral("\x07");
    link.missing.insert(QStringLiteral("QW"));
    dialog.txtNumberChannels->setText(QStringLiteral("3"));
    tc.presenter.answers = {Msg::Yes};
    dialog.btFactorySettings->click();
    EXPECT_EQ(link.writes, QStringList{QStringLiteral("RD")});
    EXPECT_EQ(link.reads.size(), params.size());
    EXPECT_EQ(dialog.txtNumberChannels->text(), QStringLiteral("7"));
    EXPECT_FALSE(dialog.txtQValue->isEnabled());
    EXPECT_TRUE(dialog.txtEnhancedStatus->isEnabled());
    EXPECT_TRUE(dialog.isEnabled());
    for (const clsParameter& p : params)
        EXPECT_FALSE(p.Changed());

    // A failed reset reads nothing and is listed.
    link.reads.clear();
    link.writeResult = -7;
    tc.presenter.answers = {Msg::Yes};
    dialog.btFactorySettings->click();
    EXPECT_TRUE(link.reads.isEmpty());
    EXPECT_EQ(link.lines, QStringList{QStringLiteral("RD:-7")});
}

TEST_F(HXParameterDialog, EnglishAndBack)
{
    ASSERT_FALSE(InstallShippedLanguage(tc).isEmpty());
    frmSystemHXParameterVNB dialog(tc.ctx, head(), link, params);
    // Captions that read the same in both languages.
    QSet<QString> same{QStringLiteral("lblPolarisation"), QStringLiteral("lblPowerTransmitUnit0"), QStringLiteral("btOK")};
    for (int i = 1; i < 10; ++i)
        same.insert(QStringLiteral("lblPowerTransmitUnit%1").arg(i));
    LanguageRoundTrip(*tc.language, &dialog, [&] { dialog.SetLanguage(); }, same);
}

} // namespace
} // namespace orvid::test
