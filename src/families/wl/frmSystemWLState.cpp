#include "frmSystemWLState.h"

#include "WLHosts.h"
#include "WLSettings.h"
#include "families/common/Lamp.h"
#include "link/LK.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

namespace orvid {

namespace {
const char* const kErrorTexts[frmSystemWLState::kErrors] = {
    "Hardwarefehler", "Kein Speicher", "Statusfehler", "Synchronisationsfehler",
    "Checksummenfehler", "Bitfehler", "Schreibfehler"};
const char* const kStateTexts[frmSystemWLState::kStates] = {"Tag lesen", "Tag schreiben"};

void addLamps(QGroupBox* frame, const char* const* texts, int count, QList<Lamp*>& lamps,
              QList<QLabel*>& labels, const char* lampName, const char* labelName, QColor colour)
{
    auto* grid = new QGridLayout(frame);
    for (int i = 0; i < count; ++i) {
        auto* lamp = new Lamp(frame, colour);
        lamp->setObjectName(QString::fromLatin1(lampName));
        lamp->setProperty("ctrlIndex", i);
        auto* label = new QLabel(QString::fromUtf8(texts[i]), frame);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setProperty("ctrlIndex", i);
        grid->addWidget(lamp, i, 0);
        grid->addWidget(label, i, 1);
        lamps.append(lamp);
        labels.append(label);
    }
}
} // namespace

frmSystemWLState::frmSystemWLState(AppContext& ctx, QWidget* parent)
    : LampWindow(ctx, "frmSystemWLState", QStringLiteral("Status"), WLSettings::kSmallWindows,
                   WLSettings::Key::StateAutoMode, MenuEntry::State, parent)
{
    auto* frames = new QWidget(this);
    auto* row = new QHBoxLayout(frames);
    row->setContentsMargins(0, 0, 0, 0);
    frameError = new QGroupBox(QStringLiteral("Fehler"), frames);
    frameError->setObjectName(QStringLiteral("frameError"));
    addLamps(frameError, kErrorTexts, kErrors, cirError, lblError, "cirError", "lblError", QColor(230, 40, 40));
    frameState = new QGroupBox(QStringLiteral("Status"), frames);
    frameState->setObjectName(QStringLiteral("frameState"));
    addLamps(frameState, kStateTexts, kStates, cirState, lblState, "cirState", "lblState", QColor(0, 200, 0));
    row->addWidget(frameError);
    row->addWidget(frameState, 0, Qt::AlignTop);
    setLampFrame(frames);
}

IWLStateHost* frmSystemWLState::host() const
{
    return ctx_.lk ? dynamic_cast<IWLStateHost*>(ctx_.lk->CurrentWindow()) : nullptr;
}

void frmSystemWLState::SetErrorLamp(int index, bool lit)
{
    if (index >= 0 && index < cirError.size())
        cirError[index]->setLit(lit);
}

void frmSystemWLState::SetStateLamp(int index, bool lit)
{
    if (index >= 0 && index < cirState.size())
        cirState[index]->setLit(lit);
}

bool frmSystemWLState::ErrorLit(int index) const
{
    return index >= 0 && index < cirError.size() && cirError[index]->lit();
}

bool frmSystemWLState::StateLit(int index) const
{
    return index >= 0 && index < cirState.size() && cirState[index]->lit();
}

void frmSystemWLState::refresh()
{
    if (IWLStateHost* h = host())
        h->StatusSet(QString());
}

void frmSystemWLState::autoChanged(bool on)
{
    if (IWLStateHost* h = host())
        h->ScanEnable(on);
}

void frmSystemWLState::loadingLamps()
{
    // Dark until the reader has told its state (not what an earlier showing was told).
    for (Lamp* lamp : cirError + cirState)
        lamp->setLit(false);
    whenLinkFree([this] { refresh(); });
}

void frmSystemWLState::closed()
{
    if (IWLStateHost* h = host())
        h->ScanEnable(false);
}

} // namespace orvid
