#include "frmSystemKDFixcode.h"

#include "KDControls.h"
#include "KDItems.h"
#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace orvid {

namespace {
const QString kNoLang = QStringLiteral("NOLANG");
}

frmSystemKDFixcode::frmSystemKDFixcode(AppContext& ctx, QWidget* parent)
    : FamilyForm(ctx, QString::fromLatin1(KDFixcodeProtocol::kSection), parent)
{
    auto protocol = std::make_unique<KDFixcodeProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-I System D (Fixcode)"));
    buildControls();
}

void frmSystemKDFixcode::buildControls()
{
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetMinimumSize);
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    frameHead->setProperty("langTag", kNoLang);
    top->addWidget(frameHead);
    auto* row = new QHBoxLayout(frameHead);

    auto* left = new QVBoxLayout;
    cmbHeadNumber = FramedControl<QComboBox>(frameHead, left, frameHeadNumber, "frameHeadNumber",
                                             QStringLiteral("Kopfnummer"), "cmbHeadNumber");
    kd::AddHeadItems(cmbHeadNumber);
    cmbMode = FramedControl<QComboBox>(frameHead, left, frameMode, "frameMode", QStringLiteral("Betriebsart"),
                                       "cmbMode");
    cmbMode->addItems({QStringLiteral("Single"), QStringLiteral("Auto"), QStringLiteral("Continuous"),
                       QStringLiteral("Buffered")});
    chkDoubleSided = NamedControl<QCheckBox>(frameMode, "chkDoubleSided");
    chkDoubleSided->setText(QStringLiteral("Doppelseitiges Lesen"));
    frameMode->layout()->addWidget(chkDoubleSided);
    static_cast<QHBoxLayout*>(frameMode->layout())->setDirection(QBoxLayout::TopToBottom);
    cmbDataFormat = FramedControl<QComboBox>(frameHead, left, frameDataFormat, "frameDataFormat",
                                             QStringLiteral("Datenformat"), "cmbDataFormat");
    cmbDataFormat->addItems({QStringLiteral("10"), QStringLiteral("28")});
    cmbDataFormat->setProperty("langTag", kNoLang);
    left->addStretch(1);
    row->addLayout(left);

    frameTagData = NamedControl<QGroupBox>(frameHead, "frameTagData");
    frameTagData->setTitle(QStringLiteral("Daten"));
    lstTagData = new TagDataList(frameTagData);
    lstTagData->setMinimumSize(300, 180);
    (new QVBoxLayout(frameTagData))->addWidget(lstTagData);
    row->addWidget(frameTagData, 1);

    auto* right = new QVBoxLayout;
    btFixcode = kd::Button(frameHead, right, "btFixcode", QStringLiteral("&Fixcode"));
    btStop = kd::Button(frameHead, right, "btStop", QStringLiteral("S&top"));
    btClear = kd::Button(frameHead, right, "btClear", QStringLiteral("L&\xF6schen"));
    right->addStretch(1);
    row->addLayout(right);

    connect(btFixcode, &QPushButton::clicked, this, [this] { btFixcode_Click(); });
    connect(btStop, &QPushButton::clicked, this, [this] { btStop_Click(); });
    connect(btClear, &QPushButton::clicked, this, [this] { btClear_Click(); });
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
    proto_->NoHeadText = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
    proto_->LoadSettings();
    Fill();
    SetLanguage();
}

void frmSystemKDFixcode::OnPlaced()
{
    applyMinimumSize();
}

void frmSystemKDFixcode::OnUnload()
{
    btStop_Click();
    proto_->SaveSettings(true);
}

void frmSystemKDFixcode::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    proto_->HeadLabel = proto_->Translate(QStringLiteral("HeadStr"), QStringLiteral("KOPF"));
    proto_->StatusLabel = proto_->Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS: "));
    proto_->NoHeadText = proto_->Translate(QStringLiteral("NoHead"), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    SetRWFrameTitle(FromCp1252(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemKDFixcode::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? proto_->NoHeadText : title);
}

void frmSystemKDFixcode::Fill()
{
    SetRWFrameTitle(FromCp1252(getItem(LinkItem::HeadType).toByteArray()));
    cmbHeadNumber->setCurrentIndex(kd::ListIndex(getItem(KDItem::HeadNumber).toInt(), cmbHeadNumber->count()));
    cmbMode->setCurrentIndex(kd::ListIndex(getItem(KDItem::OperationMode).toInt(), cmbMode->count()));
    cmbDataFormat->setCurrentIndex(kd::ListIndex(getItem(KDItem::DataFormat).toInt(), cmbDataFormat->count()));
    SetCheck(chkDoubleSided, getItem(KDItem::DoubleSided).toInt() != 0);
}

void frmSystemKDFixcode::ShowData(int kind, const QByteArray& caption, const QByteArray& data)
{
    if (kind == 1)
        lstTagData->AddText(FromCp1252(data));
    else
        lstTagData->AddLine(FromCp1252(caption), data);
}

// ---- handlers --------------------------------------------------------------------------------

void frmSystemKDFixcode::btFixcode_Click()
{
    // Polling stays off afterwards unless the read switches it on for its further lines.
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (scope)
        proto_->ReadData();
}

void frmSystemKDFixcode::btStop_Click()
{
    // An Auto read being re-armed right now sends nothing more; the "RST" goes out once
    // the link is free.
    proto_->AutoRepeat = false;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    requestStop();
}

void frmSystemKDFixcode::StopBuffered()
{
    proto_->AutoRepeat = false;
    requestStop();
}

void frmSystemKDFixcode::btClear_Click()
{
    lstTagData->clear();
}

} // namespace orvid
