#include "frmOptions.h"

#include "foundations/AppContext.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "foundations/WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

frmOptions::frmOptions(AppContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Optionen"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    chkStartupDetect_ = new QCheckBox(QStringLiteral("&automatische Orvidsystemerkennung"), this);
    chkStartupDetect_->setObjectName(QStringLiteral("chkStartupDetect"));
    chkReadHeadError_ = new QCheckBox(QStringLiteral("&Lesekopffehler anzeigen"), this);
    chkReadHeadError_->setObjectName(QStringLiteral("chkReadHeadError"));
    frameSprache_ = new QGroupBox(QStringLiteral("Sprache/Language"), this);
    frameSprache_->setObjectName(QStringLiteral("frameSprache"));
    cmbLanguage_ = new QComboBox(frameSprache_);
    cmbLanguage_->setObjectName(QStringLiteral("cmbLanguage"));
    btOK_ = new QPushButton(QStringLiteral("OK"), this);
    btOK_->setObjectName(QStringLiteral("btOK"));
    btOK_->setDefault(true);
    btCancel_ = new QPushButton(QStringLiteral("Abbruch"), this);
    btCancel_->setObjectName(QStringLiteral("btCancel"));
    btHelp_ = new QPushButton(QStringLiteral("Hilfe"), this);
    btHelp_->setObjectName(QStringLiteral("btHelp"));
    btHelp_->setAutoDefault(false);
    btCancel_->setAutoDefault(false);

    auto* frameLayout = new QVBoxLayout(frameSprache_);
    frameLayout->addWidget(cmbLanguage_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOK_);
    buttons->addWidget(btCancel_);
    buttons->addWidget(btHelp_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkStartupDetect_);
    layout->addWidget(chkReadHeadError_);
    layout->addWidget(frameSprache_);
    layout->addLayout(buttons);

    connect(btOK_, &QPushButton::clicked, this, &frmOptions::accept);
    connect(btCancel_, &QPushButton::clicked, this, &frmOptions::reject);
    connect(btHelp_, &QPushButton::clicked, this, [this] { ShowHelp(ctx_, kHelpContext); });

    load();
    // Connected after the list is filled: selecting the current entry at load must not
    // switch anything.
    connect(cmbLanguage_, &QComboBox::activated, this, &frmOptions::languageClicked);
}

int frmOptions::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmOptions dialog(ctx, parent);
    return dialog.exec();
}

void frmOptions::load()
{
    SetLanguage();
    if (ctx_.language) {
        for (int16_t i = 0;; ++i) {
            const QString name = ctx_.language->GetLanguageName(i);
            if (name.isEmpty())
                break;
            cmbLanguage_->addItem(name);
        }
        int16_t current = -1;
        ctx_.language->SelectLanguage(current);
        cmbLanguage_->setCurrentIndex(current);
    }
    if (ctx_.state) {
        chkReadHeadError_->setChecked(ctx_.state->ReadHeadError);
        chkStartupDetect_->setChecked(ctx_.state->AutoDetect);
    }
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmOptions::languageClicked(int index)
{
    if (!ctx_.language || index < 0)
        return;
    // The language is current at once; Abbruch does not take it back.
    int16_t i = static_cast<int16_t>(index);
    ctx_.language->SelectLanguage(i);
    SetLanguage();
}

void frmOptions::accept()
{
    if (ctx_.state) {
        ctx_.state->ReadHeadError = chkReadHeadError_->isChecked();
        ctx_.state->AutoDetect = chkStartupDetect_->isChecked();
    }
    QDialog::accept();
}

void frmOptions::SetLanguage()
{
    if (!ctx_.language)
        return;
    const QList<QAbstractButton*> controls = {chkReadHeadError_, chkStartupDetect_, btOK_,
                                              btCancel_, btHelp_};
    if (!languageStored_) {
        setProperty("langTag", windowTitle());
        for (QAbstractButton* c : controls)
            c->setProperty("langTag", c->text());
        languageStored_ = true;
    }
    const QString section = objectName();
    setWindowTitle(ctx_.language->Translate(section, section, property("langTag").toString()));
    for (QAbstractButton* c : controls)
        c->setText(ctx_.language->Translate(section, c->objectName(),
                                            c->property("langTag").toString()));
}

} // namespace orvid
