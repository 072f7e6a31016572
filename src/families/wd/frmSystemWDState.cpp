#include "frmSystemWDState.h"

#include "families/common/Lamp.h"
#include "WDSettings.h"
#include "link/LK.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace orvid {

namespace {
const char* const kStateTexts[frmSystemWDState::kStates] = {
    "Warten auf den Triggereingang", "Warten auf den Befehl", "Datenträgerzugriff",
    "Fehler bei Datenträger", "Auf das Ende der Operation warten",
    "Scannen des Schreib/Lesekopfes", "Datenzugriff von anderer Station"};
} // namespace

frmSystemWDState::frmSystemWDState(AppContext& ctx, QWidget* parent)
    : WDUnitLampWindow(ctx, "frmSystemWDState", QStringLiteral("Status"), WDSettings::kStateAutoMode, MenuEntry::State, parent)
{
    frameState = new QGroupBox(this);
    frameState->setObjectName(QStringLiteral("frameState"));
    auto* grid = new QGridLayout(frameState);
    for (int i = 0; i < kStates; ++i) {
        auto* lamp = new Lamp(frameState);
        lamp->setObjectName(QStringLiteral("cirState"));
        lamp->setProperty("ctrlIndex", i);
        auto* label = new QLabel(QString::fromUtf8(kStateTexts[i]), frameState);
        label->setObjectName(QStringLiteral("lblState"));
        label->setProperty("ctrlIndex", i);
        grid->addWidget(lamp, i, 0);
        grid->addWidget(label, i, 1);
        cirState.append(lamp);
        lblState.append(label);
    }
    setLampFrame(frameState);
}

void frmSystemWDState::SetStateLamp(int index, bool lit)
{
    if (index >= 0 && index < cirState.size())
        cirState[index]->setLit(lit);
}

bool frmSystemWDState::lampLit(int index) const
{
    return index >= 0 && index < cirState.size() && cirState[index]->lit();
}

void frmSystemWDState::refresh(IWDUnitTarget& target)
{
    target.GetState();
}

void frmSystemWDState::loadingLamps()
{
    // The automatic refresh rides on the poll step.
    if (ctx_.lk)
        ctx_.lk->EnablePolling(true);
}

void frmSystemWDState::autoChanged(bool on)
{
    // Ticked again after something switched polling off, the refresh needs the steps too.
    if (on && Loaded() && ctx_.lk)
        ctx_.lk->EnablePolling(true);
}

} // namespace orvid
