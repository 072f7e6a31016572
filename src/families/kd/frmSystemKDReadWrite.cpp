#include "frmSystemKDReadWrite.h"

#include "KDControls.h"
#include "KDItems.h"
#include "families/common/Exchange.h"
#include "frmSystemKDMakeNCX.h"
#include "frmSystemKDWrite.h"
#include "foundations/ControlUtils.h"
#include "foundations/Utils.h"
#include "link/LK.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orvid {

frmSystemKDReadWrite::frmSystemKDReadWrite(AppContext& ctx, QWidget* parent)
    : KDWindow(ctx, QString::fromLatin1(KDReadWriteProtocol::kSection), parent)
{
    auto protocol = std::make_unique<KDReadWriteProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-I System D (Read/Write)"));
    buildControls();
    writeDialog = [this] { frmSystemKDWrite::ShowDialog(ctx_, this, this); };
    makeNCXDialog = [this] { frmSystemKDMakeNCX::ShowDialog(ctx_, this, this); };
}

void frmSystemKDReadWrite::buildControls()
{
    buildSkeleton(
        [this](QVBoxLayout* left) {
            cmbCode = kd::CodeFrame(frameHead, left, frameCode, true);
            cmbHeadNumber = kd::HeadFrame(frameHead, left, frameHeadNumber);
            cmbMode = kd::ModeFrame(frameHead, left, frameMode, {QStringLiteral("Single"), QStringLiteral("Auto")},
                                    chkDoubleSided, QStringLiteral("Doppelseitiges Lesen"));
            auto* fields = new QHBoxLayout;
            txtAddress = FramedControl<QLineEdit>(frameHead, fields, frameAddress, "frameAddress",
                                                  QStringLiteral("Adresse (Hex.)"), "txtAddress");
            kd::MakeAddressBox(txtAddress);
            txtLength = FramedControl<QLineEdit>(frameHead, fields, frameLength, "frameLength",
                                                 QStringLiteral("L\xE4nge"), "txtLength");
            txtLength->setMaxLength(3);
            txtLength->setText(QStringLiteral("000"));
            connect(txtLength, &QLineEdit::textChanged, this,
                    [this] { FilterTextBox(txtLength, QStringLiteral("0123456789")); });
            for (QLineEdit* e : {txtAddress, txtLength}) {
                e->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
                e->installEventFilter(this);
            }
            left->addLayout(fields);
        },
        [this](QVBoxLayout* right) {
            btRead = kd::Button(frameHead, right, "btRead", QStringLiteral("&Lesen"));
            btWrite = kd::Button(frameHead, right, "btWrite", QStringLiteral("&Schreiben"));
            btMakeNCX = kd::Button(frameHead, right, "btMakeNCX", QStringLiteral("&NCX Tag erzeugen"));
        });

    const std::pair<QPushButton*, void (frmSystemKDReadWrite::*)()> actions[] = {
        {btRead, &frmSystemKDReadWrite::btRead_Click},
        {btWrite, &frmSystemKDReadWrite::btWrite_Click},
        {btMakeNCX, &frmSystemKDReadWrite::btMakeNCX_Click}};
    ConnectActions(ctx_, this, actions);
    // User choices only (activated): Fill setting the lists neither stores nor stops.
    connect(cmbCode, &QComboBox::activated, this, [this] { cmbCode_Click(); });
    connect(cmbHeadNumber, &QComboBox::activated, this, [this](int i) { cmbHeadNumber_Click(i); });
    connect(cmbMode, &QComboBox::activated, this, [this](int i) { putItem(KDItem::OperationMode, i); });
    connect(chkDoubleSided, &QCheckBox::clicked, this,
            [this] { putItem(KDItem::DoubleSided, GetCheck(chkDoubleSided)); });
}

bool frmSystemKDReadWrite::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    else if (box == txtAddress && event->type() == QEvent::FocusOut)
        txtAddress_LostFocus();
    else if (box == txtLength && event->type() == QEvent::FocusOut)
        txtLength_LostFocus();
    return KDWindow::eventFilter(watched, event);
}

void frmSystemKDReadWrite::txtAddress_LostFocus()
{
    putItem(KDItem::StartAddress, int(kd::TakeAddress(txtAddress)));
}

void frmSystemKDReadWrite::txtLength_LostFocus()
{
    const int16_t length = CInt16(Val(txtLength->text()));
    txtLength->setText(QString::number(length).rightJustified(3, QLatin1Char('0')));
    putItem(KDItem::DataLength, length);
}

// ---- load, language, items -------------------------------------------------------------------

void frmSystemKDReadWrite::OnLoad()
{
    settle_ = true;
    proto_->HeadLabel = QStringLiteral("KOPF");
    proto_->StatusLabel = QStringLiteral("STATUS:");
    proto_->WriteLabel = QStringLiteral("SCHREIBEN:");
    proto_->LoadSettings();
    Fill();
    SetLanguage();
    settle_ = false;
}

void frmSystemKDReadWrite::OnUnload()
{
    btStop_Click();
    settle_ = true;
    // Values typed but not yet confirmed by leaving the box are taken.
    txtAddress_LostFocus();
    txtLength_LostFocus();
    proto_->SaveSettings(true);
    settle_ = false;
}

void frmSystemKDReadWrite::SetLanguage()
{
    applyLanguage();
    proto_->HeadLabel = proto_->Translate(QStringLiteral("HeadStr"), QStringLiteral("KOPF"));
    proto_->StatusLabel = proto_->Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS:"));
    proto_->WriteLabel = proto_->Translate(QStringLiteral("WriteStr"), QStringLiteral("SCHREIBEN:"));
}

void frmSystemKDReadWrite::Fill()
{
    refreshTitle();
    cmbHeadNumber->setCurrentIndex(kd::ListIndex(getItem(KDItem::HeadNumber).toInt(), cmbHeadNumber->count()));
    SelectComboItem(cmbCode, CInt16(getItem(KDItem::Tagcode).toInt()), 0);
    cmbMode->setCurrentIndex(kd::ListIndex(getItem(KDItem::OperationMode).toInt(), cmbMode->count()));
    SetCheck(chkDoubleSided, getItem(KDItem::DoubleSided).toInt() != 0);
    txtAddress->setText(kd::AddressText(static_cast<quint16>(getItem(KDItem::StartAddress).toInt())));
    txtLength->setText(QString::number(getItem(KDItem::DataLength).toInt()).rightJustified(3, QLatin1Char('0')));
    // The list may already show the stored type: no change signal then, so the rule is
    // applied here as well.
    applyCodeRule();
}

void frmSystemKDReadWrite::applyCodeRule()
{
    const bool writable = GetComboItemData(cmbCode) != 0;
    btWrite->setEnabled(writable);
    btMakeNCX->setEnabled(writable);
}

// ---- handlers --------------------------------------------------------------------------------

void frmSystemKDReadWrite::cmbCode_Click()
{
    applyCodeRule();
    putItem(KDItem::Tagcode, GetComboItemData(cmbCode));
}

void frmSystemKDReadWrite::cmbHeadNumber_Click(int index)
{
    // Another head ends what the unit is doing for the previous one.
    if (!settle_)
        btStop_Click();
    putItem(KDItem::HeadNumber, index);
}

void frmSystemKDReadWrite::btRead_Click()
{
    if (readBusy_)
        return;
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    readBusy_ = true;
    proto_->ReadData();
    readBusy_ = false;
}

KDWriteResult frmSystemKDReadWrite::WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided,
                                             const QByteArray& data)
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return KDWriteResult::Refused;
    return proto_->WriteTag(mode, head, address, tagCode, doubleSided, data);
}

void frmSystemKDReadWrite::stopForDialog()
{
    // Polling stays off while a write dialog is open and after it: a read whose replies
    // are still expected (Auto, all heads) would go on unseen when the dialog is
    // cancelled, so it ends as Stop ends it.
    const bool polling = ctx_.lk && ctx_.lk->EnablePolling(false);
    if (polling || proto_->ExpectedReplies != 0)
        btStop_Click();
}

void frmSystemKDReadWrite::btWrite_Click()
{
    stopForDialog();
    if (writeDialog)
        writeDialog();
}

void frmSystemKDReadWrite::btMakeNCX_Click()
{
    stopForDialog();
    if (makeNCXDialog)
        makeNCXDialog();
}

void frmSystemKDReadWrite::StopBuffered()
{
    // Stopped, the unit sends no further replies: none is counted on, and nothing is
    // polled; again when the stop goes out, after a read asked for before the Stop.
    requestStop([this] {
        if (ctx_.lk)
            ctx_.lk->EnablePolling(false);
        proto_->ExpectedReplies = 0;
    });
}

} // namespace orvid
