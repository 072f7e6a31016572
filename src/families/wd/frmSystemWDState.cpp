#include "frmSystemWDState.h"

#include "WDLamp.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
const char* const kStateTexts[frmSystemWDState::kStates] = {
    "Warten auf den Triggereingang", "Warten auf den Befehl", "Datenträgerzugriff",
    "Fehler bei Datenträger", "Auf das Ende der Operation warten",
    "Scannen des Schreib/Lesekopfes", "Datenzugriff von anderer Station"};
} // namespace

frmSystemWDState::frmSystemWDState(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmSystemWDState"));
    setWindowTitle(QStringLiteral("Status"));
    auto* top = new QVBoxLayout(this);
    frameState = new QGroupBox(this);
    frameState->setObjectName(QStringLiteral("frameState"));
    auto* grid = new QGridLayout(frameState);
    for (int i = 0; i < kStates; ++i) {
        auto* lamp = new WDLamp(frameState);
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
    top->addWidget(frameState);
    auto* row = new QHBoxLayout;
    chkAuto = new QCheckBox(QStringLiteral("&automatisch aktualisieren"), this);
    chkAuto->setObjectName(QStringLiteral("chkAuto"));
    btSet = new QPushButton(QStringLiteral("A&ktualisieren"), this);
    btSet->setObjectName(QStringLiteral("btSet"));
    row->addWidget(chkAuto);
    row->addStretch(1);
    row->addWidget(btSet);
    top->addLayout(row);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(chkAuto, &QCheckBox::toggled, this, [this] { chkAuto_Click(); });
    connect(btSet, &QPushButton::clicked, this, [this] { btSet_Click(); });
}

IWDUnitTarget* frmSystemWDState::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IWDUnitTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
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

void frmSystemWDState::chkAuto_Click()
{
    autoMode_ = chkAuto->isChecked();
    btSet->setEnabled(!autoMode_);
}

void frmSystemWDState::btSet_Click()
{
    if (IWDUnitTarget* t = target())
        t->GetState();
}

void frmSystemWDState::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmSystemWDState::load()
{
    const QString value = ctx_.settings
        ? ctx_.settings->read(QString::fromLatin1(WDProtocol::kSettings), QStringLiteral("StateAutoMode"),
                              QStringLiteral("0"))
        : QStringLiteral("0");
    const bool on = Val(value) != 0;
    chkAuto->setChecked(on);
    chkAuto_Click();
    if (ctx_.lk)
        ctx_.lk->EnablePolling(true);
    loaded_ = true;
    SetLanguage();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this, false);
}

void frmSystemWDState::Show()
{
    if (!loaded_)
        load();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        // The window keeps its size: no maximise button on its frame.
        sub->setWindowFlags(sub->windowFlags() & ~Qt::WindowMaximizeButtonHint);
        sub->showNormal();
        show();
        // Its size is fixed: the frame takes exactly the window's size.
        sub->adjustSize();
    } else {
        showNormal();
    }
}

void frmSystemWDState::closeHandling()
{
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(MenuEntry::State, false);
    if (ctx_.settings)
        ctx_.settings->write(QString::fromLatin1(WDProtocol::kSettings), QStringLiteral("StateAutoMode"),
                             chkAuto->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
}

void frmSystemWDState::Unload()
{
    if (loaded_)
        closeHandling();
    hide();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->hide();
}

void frmSystemWDState::closeEvent(QCloseEvent* event)
{
    if (loaded_)
        closeHandling();
    event->accept();
}

void frmSystemWDState::changeEvent(QEvent* event)
{
    // A fixed-size window: a maximised one comes back to its normal size.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QWidget::changeEvent(event);
}

} // namespace orvid
