// The interface-unit window's code and parameter buttons offscreen against the simulated
// unit: which dialog each button opens for the channel's head and the tag type, the
// special fixcode read into the list, and the parameter button running the action for its
// channel with the dialog replaced.

#include "sim/SimHX.h"
#include "support/FamilyFixture.h"

#include "families/common/DataItems.h"
#include "families/hx/frmSystemHX.h"
#include "link/LK.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace orvid::test {
namespace {

class HXWindowActions : public PtyFamilyFixture<SimHX> {
protected:
    HXWindowActions()
    {
        sim.withTag(3, [](SimHX::Tag& t) { t.rc = QByteArray("\x00\x01", 2); });
        window = std::make_unique<frmSystemHX>(tc.ctx);
        window->Protocol().SetHeadFile(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)));
        window->profileDialog = [](int, const hx::HXHeadType&) { return 0; };
        window->codeDialog = [this](const QString& name) { opened.append(name); };
        lk->RegisterSystem(1, [this] { return window.get(); });
        tc.state.CurrentSystem = 1;
    }
    ~HXWindowActions() override { lk.reset(); }
    std::unique_ptr<frmSystemHX> window;
    QStringList opened;
};

TEST_F(HXWindowActions, ButtonsOpenTheDialogOfHeadAndTagType)
{
    window->Show();
    ASSERT_TRUE(select(1));
    frmSystemHX& w = *window;
    // Channel 3 has the VNB head: its special-fixcode write is the byte dialog.
    w.rdHead[2]->setChecked(true);
    w.btWriteSpecialFixcode_Click();
    w.rdHead[0]->setChecked(true);
    w.btWriteSpecialFixcode_Click();
    w.btMakeNCX_Click();
    w.Protocol().PutData(KRItem::Tagcode, 60);
    w.btWriteFixcode_Click();
    EXPECT_EQ(opened, (QStringList{QStringLiteral("frmSystemHXWriteFixcodeVNB"),
                                   QStringLiteral("frmSystemHXWriteFixcodeSpecial"), QStringLiteral("frmSystemHXMakeNCX"),
                                   QStringLiteral("frmSystemHXWriteFixcodeWTX")}));

    // The special fixcode read lists the code.
    sim.withTag(1, [](SimHX::Tag& t) { t.special = "12AB00"; });
    w.Protocol().PutData(KRItem::Tagcode, 50);
    sim.clearTranscript();
    w.btSpecialFixCode_Click();
    EXPECT_TRUE(sim.received().contains(QByteArray("SS16#\r")));

    // The parameter button of channel 3 selects it and runs the action there.
    QString seenHead;
    w.Protocol().parameterDialog = [&](const hx::HXHeadType& head, hx::ParameterList& params) {
        seenHead = head.name;
        hx::SetValueBytes(*hx::FindParameter(params, QStringLiteral("NC")), QByteArray("\x05", 1));
        return true;
    };
    EXPECT_TRUE(w.btParameter[2]->isEnabled());
    w.btParameter[2]->click();
    EXPECT_EQ(seenHead, QStringLiteral("UHF-A"));
    EXPECT_TRUE(w.rdHead[2]->isChecked());
    EXPECT_EQ(sim.tag(3).params.value("NC"), QByteArray("\x05", 1));
}

} // namespace
} // namespace orvid::test
