#include "frmSystemWDIO.h"

#include "WDLamp.h"
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
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

frmSystemWDIO::frmSystemWDIO(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmSystemWDIO"));
    setWindowTitle(QStringLiteral("Ausgänge"));
    auto* top = new QVBoxLayout(this);
    frameOutput = new QGroupBox(QStringLiteral("Ausgänge"), this);
    frameOutput->setObjectName(QStringLiteral("frameOutput"));
    auto* grid = new QGridLayout(frameOutput);
    for (int i = 0; i < kOutputs; ++i) {
        auto* box = new QCheckBox(QString::number(i), frameOutput);
        box->setObjectName(QStringLiteral("chkOutput"));
        box->setProperty("ctrlIndex", i);
        box->setProperty("langTag", QStringLiteral("NOLANG"));
        auto* lamp = new WDLamp(frameOutput, QColor(230, 40, 40));
        lamp->setObjectName(QStringLiteral("cirOutput"));
        lamp->setProperty("ctrlIndex", i);
        grid->addWidget(box, 0, i, Qt::AlignHCenter);
        grid->addWidget(lamp, 1, i, Qt::AlignHCenter);
        chkOutput.append(box);
        cirOutput.append(lamp);
        connect(box, &QCheckBox::clicked, this, [this] { chkOutput_Click(); });
    }
    top->addWidget(frameOutput);
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

    connect(chkAuto, &QCheckBox::toggled, this, [this](bool on) { btSet->setEnabled(!on); });
    connect(btSet, &QPushButton::clicked, this, [this] { btSet_Click(); });
}

IWDUnitTarget* frmSystemWDIO::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IWDUnitTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
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

void frmSystemWDIO::btSet_Click()
{
    if (IWDUnitTarget* t = target())
        t->OutputSet();
}

void frmSystemWDIO::chkOutput_Click()
{
    if (chkAuto->isChecked())
        btSet_Click();
}

void frmSystemWDIO::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmSystemWDIO::load()
{
    const QString value = ctx_.settings
        ? ctx_.settings->read(QString::fromLatin1(WDProtocol::kSettings), QStringLiteral("IOAutoMode"),
                              QStringLiteral("0"))
        : QStringLiteral("0");
    chkAuto->setChecked(Val(value) != 0);
    btSet->setEnabled(!chkAuto->isChecked());
    loaded_ = true;
    SetLanguage();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this, false);
}

void frmSystemWDIO::Show()
{
    if (!loaded_)
        load();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->setWindowFlags(sub->windowFlags() & ~Qt::WindowMaximizeButtonHint);
        sub->showNormal();
        show();
        // Its size is fixed: the frame takes exactly the window's size.
        sub->adjustSize();
    } else {
        showNormal();
    }
}

void frmSystemWDIO::closeHandling()
{
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(MenuEntry::IO, false);
    if (ctx_.settings)
        ctx_.settings->write(QString::fromLatin1(WDProtocol::kSettings), QStringLiteral("IOAutoMode"),
                             chkAuto->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
    loaded_ = false;
}

void frmSystemWDIO::Unload()
{
    if (loaded_)
        closeHandling();
    hide();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->hide();
}

void frmSystemWDIO::closeEvent(QCloseEvent* event)
{
    if (loaded_)
        closeHandling();
    event->accept();
}

void frmSystemWDIO::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QWidget::changeEvent(event);
}

} // namespace orvid
