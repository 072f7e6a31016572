#include "SmallWindow.h"

#include "FamilySettings.h"
#include "Lamp.h"
#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

// ---- SmallWindow ------------------------------------------------------------------------

SmallWindow::SmallWindow(AppContext& ctx, const char* name, const QString& title, MenuEntry menu, QWidget* parent)
    : QWidget(parent), ctx_(ctx), menu_(menu)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
}

void SmallWindow::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void SmallWindow::load()
{
    ++generation_;
    loading();
    loaded_ = true;
    SetLanguage();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this, false);
}

void SmallWindow::whenLinkFree(std::function<void()> exchange)
{
    if (!ctx_.lk) {
        exchange();
        return;
    }
    ctx_.lk->WhenIdle(this, this, [this, asked = generation_, exchange = std::move(exchange)] {
        if (asked == generation_)
            exchange();
    });
}

void SmallWindow::Show()
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
    BringForward(this);
}

void SmallWindow::closeHandling()
{
    closing();
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(menu_, false);
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
    ++generation_;
    closed();
}

void SmallWindow::Unload()
{
    if (loaded_)
        closeHandling();
    hide();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->hide();
}

void SmallWindow::closeEvent(QCloseEvent* event)
{
    if (loaded_)
        closeHandling();
    event->accept();
}

void SmallWindow::changeEvent(QEvent* event)
{
    // A fixed-size window: a maximised one comes back to its normal size.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QWidget::changeEvent(event);
}

// ---- LampWindow -------------------------------------------------------------------------

LampWindow::LampWindow(AppContext& ctx, const char* name, const QString& title, const char* section,
                       const char* autoKey, MenuEntry menu, QWidget* parent)
    : SmallWindow(ctx, name, title, menu, parent), section_(section), autoKey_(autoKey)
{
}

void LampWindow::setLampFrame(QWidget* frame)
{
    auto* top = new QVBoxLayout(this);
    top->addWidget(frame);
    // Built after the lamps, so the tab order runs from the frame down to the button.
    chkAuto = new QCheckBox(QStringLiteral("&automatisch aktualisieren"), this);
    chkAuto->setObjectName(QStringLiteral("chkAuto"));
    btSet = new QPushButton(QStringLiteral("A&ktualisieren"), this);
    btSet->setObjectName(QStringLiteral("btSet"));
    connect(chkAuto, &QCheckBox::toggled, this, [this] { chkAuto_Click(); });
    ConnectAction(ctx_, btSet, &QPushButton::clicked, this, [this] { btSet_Click(); });
    auto* row = new QHBoxLayout;
    row->addWidget(chkAuto);
    row->addStretch(1);
    row->addWidget(btSet);
    top->addLayout(row);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void LampWindow::chkAuto_Click()
{
    // In automatic mode the window refreshes by itself: the button has nothing to do.
    autoRefresh_ = chkAuto->isChecked();
    btSet->setEnabled(!autoRefresh_);
    autoChanged(autoRefresh_);
}

void LampWindow::btSet_Click()
{
    refresh();
}

void LampWindow::loading()
{
    // The handler runs only when the stored mode changes the box (through its signal): an
    // unchanged box asks the main window for nothing, which would end its own work (a
    // database view, an ID capture).
    chkAuto->setChecked(SettingsSection(ctx_, section_).Number(autoKey_, "0") != 0);
    loadingLamps();
}

void LampWindow::closing()
{
    SettingsSection(ctx_, section_).Write(autoKey_, chkAuto->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // Closed, the window is as built: the next load starts from an unticked box. Off
    // before the closed() step tells the main window, or its poll step would go on
    // refreshing a closed window.
    autoRefresh_ = false;
    const QSignalBlocker block(chkAuto);
    chkAuto->setChecked(false);
    btSet->setEnabled(true);
    // Nor does it keep what it showed of the unit: an output box left ticked would be sent
    // by the next Aktualisieren to a unit that never had it set.
    for (QCheckBox* output : findChildren<QCheckBox*>(QStringLiteral("chkOutput"))) {
        const QSignalBlocker quiet(output);
        output->setChecked(false);
    }
    for (Lamp* lamp : findChildren<Lamp*>())
        lamp->setLit(false);
}

} // namespace orvid
