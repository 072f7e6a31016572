#include "WDLampWindow.h"

#include "WDSettings.h"
#include "families/common/FamilySettings.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

WDLampWindow::WDLampWindow(AppContext& ctx, const char* name, const QString& title, const char* section,
                           const char* autoKey, MenuEntry menu, QWidget* parent)
    : QWidget(parent), ctx_(ctx), section_(section), autoKey_(autoKey), menu_(menu)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
}

void WDLampWindow::setLampFrame(QWidget* frame)
{
    auto* top = new QVBoxLayout(this);
    top->addWidget(frame);
    // Built after the lamps, so the tab order runs from the frame down to the button.
    chkAuto = new QCheckBox(QStringLiteral("&automatisch aktualisieren"), this);
    chkAuto->setObjectName(QStringLiteral("chkAuto"));
    btSet = new QPushButton(QStringLiteral("A&ktualisieren"), this);
    btSet->setObjectName(QStringLiteral("btSet"));
    connect(chkAuto, &QCheckBox::toggled, this, [this] { chkAuto_Click(); });
    connect(btSet, &QPushButton::clicked, this, [this] { btSet_Click(); });
    auto* row = new QHBoxLayout;
    row->addWidget(chkAuto);
    row->addStretch(1);
    row->addWidget(btSet);
    top->addLayout(row);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

WDUnitLampWindow::WDUnitLampWindow(AppContext& ctx, const char* name, const QString& title, const char* autoKey,
                                   MenuEntry menu, QWidget* parent)
    : WDLampWindow(ctx, name, title, WDSettings::kSection, autoKey, menu, parent)
{
}

IWDUnitTarget* WDUnitLampWindow::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IWDUnitTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
}

void WDUnitLampWindow::refresh()
{
    if (IWDUnitTarget* t = target())
        refresh(*t);
}

void WDLampWindow::chkAuto_Click()
{
    // In automatic mode the window refreshes by itself: the button has nothing to do.
    btSet->setEnabled(!chkAuto->isChecked());
    autoChanged(chkAuto->isChecked());
}

void WDLampWindow::btSet_Click()
{
    refresh();
}

void WDLampWindow::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void WDLampWindow::load()
{
    // The handler runs once: through the box's signal when the stored mode changes it.
    const bool on = SettingsSection(ctx_, section_).Number(autoKey_, "0") != 0;
    if (chkAuto->isChecked() == on)
        chkAuto_Click();
    else
        chkAuto->setChecked(on);
    loading();
    loaded_ = true;
    SetLanguage();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this, false);
}

void WDLampWindow::Show()
{
    if (!loaded_)
        load();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        // The window keeps its size: no maximise button on its frame, and the frame takes
        // exactly the window's size.
        sub->setWindowFlags(sub->windowFlags() & ~Qt::WindowMaximizeButtonHint);
        sub->showNormal();
        show();
        sub->adjustSize();
    } else {
        showNormal();
    }
}

void WDLampWindow::closeHandling()
{
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(menu_, false);
    SettingsSection(ctx_, section_).Write(autoKey_, chkAuto->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
    closed();
}

void WDLampWindow::Unload()
{
    if (loaded_)
        closeHandling();
    hide();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->hide();
}

void WDLampWindow::closeEvent(QCloseEvent* event)
{
    if (loaded_)
        closeHandling();
    event->accept();
}

void WDLampWindow::changeEvent(QEvent* event)
{
    // A fixed-size window: a maximised one comes back to its normal size.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QWidget::changeEvent(event);
}

} // namespace orvid
