#include "frmSystemKDFixcode.h"

#include "KDControls.h"
#include "KDItems.h"
#include "families/common/Exchange.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

namespace orvid {

frmSystemKDFixcode::frmSystemKDFixcode(AppContext& ctx, QWidget* parent)
    : KDWindow(ctx, QString::fromLatin1(KDFixcodeProtocol::kSection), parent)
{
    auto protocol = std::make_unique<KDFixcodeProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-I System D (Fixcode)"));
    buildControls();
}

void frmSystemKDFixcode::buildControls()
{
    buildSkeleton(
        [this](QVBoxLayout* left) {
            cmbHeadNumber = kd::HeadFrame(frameHead, left, frameHeadNumber);
            cmbMode = kd::ModeFrame(frameHead, left, frameMode,
                                    {QStringLiteral("Single"), QStringLiteral("Auto"), QStringLiteral("Continuous"),
                                     QStringLiteral("Buffered")},
                                    chkDoubleSided, QStringLiteral("Doppelseitiges Lesen"));
            cmbDataFormat = FramedControl<QComboBox>(frameHead, left, frameDataFormat, "frameDataFormat",
                                                     QStringLiteral("Datenformat"), "cmbDataFormat");
            cmbDataFormat->addItems({QStringLiteral("10"), QStringLiteral("28")});
            cmbDataFormat->setProperty("langTag", kd::kNoLang);
        },
        [this](QVBoxLayout* right) { btFixcode = kd::Button(frameHead, right, "btFixcode", QStringLiteral("&Fixcode")); });

    ConnectAction(ctx_, btFixcode, &QPushButton::clicked, this, &frmSystemKDFixcode::btFixcode_Click);
    // User choices only (activated): Fill setting the same lists stores nothing.
    connect(cmbHeadNumber, &QComboBox::activated, this, [this](int i) { putItem(KDItem::HeadNumber, i); });
    connect(cmbMode, &QComboBox::activated, this, [this](int i) { putItem(KDItem::OperationMode, i); });
    connect(cmbDataFormat, &QComboBox::activated, this, [this](int i) { putItem(KDItem::DataFormat, i); });
    connect(chkDoubleSided, &QCheckBox::clicked, this,
            [this] { putItem(KDItem::DoubleSided, GetCheck(chkDoubleSided)); });
}

// ---- load, language, items -------------------------------------------------------------------

void frmSystemKDFixcode::OnLoad()
{
    proto_->HeadLabel = QStringLiteral("KOPF");
    proto_->StatusLabel = QStringLiteral("STATUS: ");
    proto_->LoadSettings();
    Fill();
    SetLanguage();
}

void frmSystemKDFixcode::OnUnload()
{
    btStop_Click();
    proto_->SaveSettings(true);
}

void frmSystemKDFixcode::SetLanguage()
{
    applyLanguage();
    proto_->HeadLabel = proto_->Translate(QStringLiteral("HeadStr"), QStringLiteral("KOPF"));
    proto_->StatusLabel = proto_->Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS: "));
}

void frmSystemKDFixcode::Fill()
{
    refreshTitle();
    cmbHeadNumber->setCurrentIndex(kd::ListIndex(getItem(KDItem::HeadNumber).toInt(), cmbHeadNumber->count()));
    cmbMode->setCurrentIndex(kd::ListIndex(getItem(KDItem::OperationMode).toInt(), cmbMode->count()));
    cmbDataFormat->setCurrentIndex(kd::ListIndex(getItem(KDItem::DataFormat).toInt(), cmbDataFormat->count()));
    SetCheck(chkDoubleSided, getItem(KDItem::DoubleSided).toInt() != 0);
}

// ---- handlers --------------------------------------------------------------------------------

void frmSystemKDFixcode::btFixcode_Click()
{
    // Polling stays off afterwards unless the read switches it on for its further lines.
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (scope)
        proto_->ReadData();
}

void frmSystemKDFixcode::StopBuffered()
{
    // An Auto read being re-armed right now sends nothing more; polling ends, and again
    // when the "RST" goes out, after a read asked for before the Stop.
    requestStop([this] {
        if (ctx_.lk)
            ctx_.lk->EnablePolling(false);
        proto_->AutoRepeat = false;
    });
}

} // namespace orvid
