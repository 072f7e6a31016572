#include "frmSystemWDIO.h"

#include "families/common/Exchange.h"
#include "families/common/Lamp.h"
#include "WDSettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>

namespace orvid {

frmSystemWDIO::frmSystemWDIO(AppContext& ctx, QWidget* parent)
    : WDUnitLampWindow(ctx, "frmSystemWDIO", QStringLiteral("Ausgänge"), WDSettings::kIOAutoMode, MenuEntry::IO, parent)
{
    frameOutput = new QGroupBox(QStringLiteral("Ausgänge"), this);
    frameOutput->setObjectName(QStringLiteral("frameOutput"));
    auto* grid = new QGridLayout(frameOutput);
    for (int i = 0; i < kOutputs; ++i) {
        auto* box = new QCheckBox(QString::number(i), frameOutput);
        box->setObjectName(QStringLiteral("chkOutput"));
        box->setProperty("ctrlIndex", i);
        box->setProperty("langTag", QStringLiteral("NOLANG"));
        auto* lamp = new Lamp(frameOutput, QColor(230, 40, 40));
        lamp->setObjectName(QStringLiteral("cirOutput"));
        lamp->setProperty("ctrlIndex", i);
        grid->addWidget(box, 0, i, Qt::AlignHCenter);
        grid->addWidget(lamp, 1, i, Qt::AlignHCenter);
        chkOutput.append(box);
        cirOutput.append(lamp);
        ConnectAction(ctx_, box, &QCheckBox::clicked, this, [this] { chkOutput_Click(); });
    }
    setLampFrame(frameOutput);
}

bool frmSystemWDIO::OutputChecked(int index) const
{
    return index >= 0 && index < chkOutput.size() && chkOutput[index]->isChecked();
}

void frmSystemWDIO::SetOutputLamp(int index, bool lit)
{
    if (index >= 0 && index < cirOutput.size())
        cirOutput[index]->setLit(lit);
}

bool frmSystemWDIO::lampLit(int index) const
{
    return index >= 0 && index < cirOutput.size() && cirOutput[index]->lit();
}

void frmSystemWDIO::refresh(IWDUnitTarget& target)
{
    target.OutputSet();
}

void frmSystemWDIO::chkOutput_Click()
{
    // In automatic mode a changed box goes out at once (the button is disabled then).
    if (!chkAuto->isChecked())
        return;
    if (IWDUnitTarget* t = target())
        refresh(*t);
}

} // namespace orvid
