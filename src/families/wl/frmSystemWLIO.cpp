#include "frmSystemWLIO.h"

#include "WLHosts.h"
#include "WLSettings.h"
#include "families/common/Exchange.h"
#include "families/common/Lamp.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

namespace orvid {

frmSystemWLIO::frmSystemWLIO(AppContext& ctx, QWidget* parent)
    : LampWindow(ctx, "frmSystemWLIO", QStringLiteral("Ein/Ausgänge"), WLSettings::kSmallWindows,
                   WLSettings::Key::IOAutoMode, MenuEntry::IO, parent)
{
    auto* frames = new QWidget(this);
    auto* row = new QHBoxLayout(frames);
    row->setContentsMargins(0, 0, 0, 0);
    frameInput = new QGroupBox(QStringLiteral("Eingänge"), frames);
    frameInput->setObjectName(QStringLiteral("frameInput"));
    auto* in = new QGridLayout(frameInput);
    for (int i = 0; i < 3; ++i) {
        auto* lamp = new Lamp(frameInput);
        lamp->setObjectName(QStringLiteral("cirInput"));
        lamp->setProperty("ctrlIndex", i);
        auto* label = new QLabel(QString::number(i + 1), frameInput);
        label->setObjectName(QStringLiteral("lblInput"));
        label->setProperty("ctrlIndex", i);
        label->setProperty("langTag", QStringLiteral("NOLANG"));
        in->addWidget(lamp, 0, i, Qt::AlignHCenter);
        in->addWidget(label, 1, i, Qt::AlignHCenter);
        cirInput.append(lamp);
        lblInput.append(label);
    }
    frameOutput = new QGroupBox(QStringLiteral("Ausgänge"), frames);
    frameOutput->setObjectName(QStringLiteral("frameOutput"));
    auto* out = new QGridLayout(frameOutput);
    for (int i = 0; i < 2; ++i) {
        auto* box = new QCheckBox(QString::number(i + 1), frameOutput);
        box->setObjectName(QStringLiteral("chkOutput"));
        box->setProperty("ctrlIndex", i);
        box->setProperty("langTag", QStringLiteral("NOLANG"));
        auto* lamp = new Lamp(frameOutput, QColor(230, 40, 40));
        lamp->setObjectName(QStringLiteral("cirOutput"));
        lamp->setProperty("ctrlIndex", i);
        out->addWidget(box, 0, i, Qt::AlignHCenter);
        out->addWidget(lamp, 1, i, Qt::AlignHCenter);
        chkOutput.append(box);
        cirOutput.append(lamp);
        ConnectAction(ctx_, box, &QCheckBox::clicked, this, [this] { chkOutput_Click(); });
    }
    row->addWidget(frameInput);
    row->addWidget(frameOutput);
    setLampFrame(frames);
}

IWLIOHost* frmSystemWLIO::host() const
{
    return ctx_.lk ? dynamic_cast<IWLIOHost*>(ctx_.lk->CurrentWindow()) : nullptr;
}

bool frmSystemWLIO::OutputChecked(int index) const
{
    return index >= 0 && index < chkOutput.size() && chkOutput[index]->isChecked();
}

void frmSystemWLIO::SetLamps(const std::array<bool, 3>& inputs, const std::array<bool, 2>& outputs)
{
    for (int i = 0; i < 3; ++i)
        cirInput[i]->setLit(inputs[i]);
    for (int i = 0; i < 2; ++i)
        cirOutput[i]->setLit(outputs[i]);
}

void frmSystemWLIO::ClearLamps()
{
    SetLamps({}, {});
}

bool frmSystemWLIO::InputLit(int index) const
{
    return index >= 0 && index < cirInput.size() && cirInput[index]->lit();
}

bool frmSystemWLIO::OutputLit(int index) const
{
    return index >= 0 && index < cirOutput.size() && cirOutput[index]->lit();
}

void frmSystemWLIO::refresh()
{
    if (IWLIOHost* h = host()) {
        h->OutputSet();
        h->InputSet();
    }
}

void frmSystemWLIO::autoChanged(bool on)
{
    if (IWLIOHost* h = host())
        h->ScanEnable(on);
}

void frmSystemWLIO::loadingLamps()
{
    // Nothing shows as on until the unit has said so: not what another unit (the window
    // serves both entries) or an earlier showing said.
    ClearLamps();
    mirrorOutputs();
    whenLinkFree([this] {
        if (IWLIOHost* h = host()) {
            h->InputSet();
            mirrorOutputs();
        }
    });
}

void frmSystemWLIO::mirrorOutputs()
{
    // The boxes show what the unit has; mirroring them sends nothing.
    for (int i = 0; i < 2; ++i) {
        const QSignalBlocker block(chkOutput[i]);
        chkOutput[i]->setChecked(cirOutput[i]->lit());
    }
}

void frmSystemWLIO::closed()
{
    if (IWLIOHost* h = host())
        h->ScanEnable(false);
}

void frmSystemWLIO::chkOutput_Click()
{
    // In automatic mode a changed box goes out at once, followed by a read.
    if (chkAuto->isChecked())
        refresh();
}

} // namespace orvid
