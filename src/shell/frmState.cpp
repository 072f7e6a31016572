#include "frmState.h"

#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

frmState::frmState(AppContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmState"));
    setWindowTitle(QStringLiteral("ORVID System"));
    // Modeless: the main window stays in reach while the box is up. A second selection is
    // refused there, and its close ends the recognition as Cancel does.
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    gaugeBar_ = new QProgressBar(this);
    gaugeBar_->setObjectName(QStringLiteral("gaugeBar"));
    gaugeBar_->setTextVisible(false);
    lblState_ = new QLabel(QStringLiteral("Status"), this);
    lblState_->setObjectName(QStringLiteral("lblState"));
    btCancel_ = new QPushButton(QStringLiteral("&Abbruch"), this);
    btCancel_->setObjectName(QStringLiteral("btCancel"));
    btCancel_->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gaugeBar_);
    layout->addWidget(lblState_);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btCancel_);
    row->addStretch();
    layout->addLayout(row);
    setMinimumWidth(320);
    setFixedHeight(sizeHint().height());

    connect(btCancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
}

void frmState::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    SetLanguage();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmState::ShowForm(int steps)
{
    cancelled_ = false;
    gaugeBar_->setRange(0, steps + 1);
    gaugeBar_->setValue(1);
    load();
    show();
}

void frmState::SetStatus(const QString& text)
{
    lblState_->setText(text);
    // The caller is busy and does not return to the event loop before the next step.
    lblState_->repaint();
}

bool frmState::IncBar(int steps)
{
    load();
    show();
    const int max = gaugeBar_->maximum();
    const int value = gaugeBar_->value();
    gaugeBar_->setValue(value + steps > max ? max : value + steps);
    return !cancelled_;
}

void frmState::Unload()
{
    closingByProgram_ = true;
    close();
    closingByProgram_ = false;
    loaded_ = false;
}

int frmState::barValue() const
{
    return gaugeBar_->value();
}

int frmState::barMax() const
{
    return gaugeBar_->maximum();
}

void frmState::SetLanguage()
{
    if (!ctx_.language)
        return;
    if (!languageStored_) {
        setProperty("langTag", windowTitle());
        btCancel_->setProperty("langTag", btCancel_->text());
        languageStored_ = true;
    }
    const QString section = objectName();
    setWindowTitle(ctx_.language->Translate(section, section, property("langTag").toString()));
    btCancel_->setText(ctx_.language->Translate(section, QStringLiteral("btCancel"),
                                                btCancel_->property("langTag").toString()));
}

void frmState::closeEvent(QCloseEvent* event)
{
    // The user's close box only cancels; the caller decides when the box goes away
    // (Unload). Nothing else in the program closes this box.
    if (!closingByProgram_) {
        cancelled_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmState::reject()
{
    // Escape behaves like the Cancel button: it marks, it does not close.
    if (closingByProgram_) {
        QDialog::reject();
        return;
    }
    cancelled_ = true;
}

} // namespace orvid
