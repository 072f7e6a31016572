#include "frmSystemKDReadWrite.h"

#include "KDControls.h"
#include "KDItems.h"
#include "frmSystemKDMakeNCX.h"
#include "frmSystemKDWrite.h"
#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
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

namespace {
const QString kNoLang = QStringLiteral("NOLANG");
const QString kHexChars = QStringLiteral("0123456789abcdefABCDEF");
const QString kDigits = QStringLiteral("0123456789");

QString addressText(quint16 address)
{
    return QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}
} // namespace

frmSystemKDReadWrite::frmSystemKDReadWrite(AppContext& ctx, QWidget* parent)
    : FamilyForm(ctx, QString::fromLatin1(KDReadWriteProtocol::kSection), parent)
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
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetMinimumSize);
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    frameHead->setProperty("langTag", kNoLang);
    top->addWidget(frameHead);
    auto* row = new QHBoxLayout(frameHead);

    auto* left = new QVBoxLayout;
    cmbCode = FramedControl<QComboBox>(frameHead, left, frameCode, "frameCode", QStringLiteral("Code/Datentr\xE4ger"),
                                       "cmbCode");
    cmbCode->addItem(QStringLiteral("NCX-..."), 0);
    kd::AddWritableCodeItems(cmbCode);
    cmbHeadNumber = FramedControl<QComboBox>(frameHead, left, frameHeadNumber, "frameHeadNumber",
                                             QStringLiteral("Kopfnummer"), "cmbHeadNumber");
    kd::AddHeadItems(cmbHeadNumber);
    cmbMode = FramedControl<QComboBox>(frameHead, left, frameMode, "frameMode", QStringLiteral("Betriebsart"),
                                       "cmbMode");
    cmbMode->addItems({QStringLiteral("Single"), QStringLiteral("Auto")});
    chkDoubleSided = NamedControl<QCheckBox>(frameMode, "chkDoubleSided");
    chkDoubleSided->setText(QStringLiteral("Doppelseitiges Lesen"));
    frameMode->layout()->addWidget(chkDoubleSided);
    static_cast<QHBoxLayout*>(frameMode->layout())->setDirection(QBoxLayout::TopToBottom);
    auto* fields = new QHBoxLayout;
    txtAddress = FramedControl<QLineEdit>(frameHead, fields, frameAddress, "frameAddress",
                                          QStringLiteral("Adresse (Hex.)"), "txtAddress");
    txtAddress->setMaxLength(4);
    txtAddress->setText(QStringLiteral("0000"));
    txtLength = FramedControl<QLineEdit>(frameHead, fields, frameLength, "frameLength", QStringLiteral("L\xE4nge"),
                                         "txtLength");
    txtLength->setMaxLength(3);
    txtLength->setText(QStringLiteral("000"));
    for (QLineEdit* e : {txtAddress, txtLength}) {
        e->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        e->installEventFilter(this);
    }
    left->addLayout(fields);
    left->addStretch(1);
    row->addLayout(left);

    frameTagData = NamedControl<QGroupBox>(frameHead, "frameTagData");
    frameTagData->setTitle(QStringLiteral("Daten"));
    lstTagData = new TagDataList(frameTagData);
    lstTagData->setMinimumSize(300, 180);
    (new QVBoxLayout(frameTagData))->addWidget(lstTagData);
    row->addWidget(frameTagData, 1);

    auto* right = new QVBoxLayout;
    btRead = kd::Button(frameHead, right, "btRead", QStringLiteral("&Lesen"));
    btWrite = kd::Button(frameHead, right, "btWrite", QStringLiteral("&Schreiben"));
    btMakeNCX = kd::Button(frameHead, right, "btMakeNCX", QStringLiteral("&NCX Tag erzeugen"));
    btStop = kd::Button(frameHead, right, "btStop", QStringLiteral("S&top"));
    btClear = kd::Button(frameHead, right, "btClear", QStringLiteral("L&\xF6schen"));
    right->addStretch(1);
    row->addLayout(right);

    connect(btRead, &QPushButton::clicked, this, [this] { btRead_Click(); });
    connect(btWrite, &QPushButton::clicked, this, [this] { btWrite_Click(); });
    connect(btMakeNCX, &QPushButton::clicked, this, [this] { btMakeNCX_Click(); });
    connect(btStop, &QPushButton::clicked, this, [this] { btStop_Click(); });
    connect(btClear, &QPushButton::clicked, this, [this] { btClear_Click(); });
    // User choices only (activated): Fill setting the lists neither stores nor stops.
    connect(cmbCode, &QComboBox::activated, this, [this] { cmbCode_Click(); });
    connect(cmbHeadNumber, &QComboBox::activated, this, [this](int i) { cmbHeadNumber_Click(i); });
    connect(cmbMode, &QComboBox::activated, this, [this](int i) { putItem(KDItem::OperationMode, i); });
    connect(chkDoubleSided, &QCheckBox::clicked, this,
            [this] { putItem(KDItem::DoubleSided, GetCheck(chkDoubleSided)); });
    connect(txtAddress, &QLineEdit::textChanged, this, [this] { FilterTextBox(txtAddress, kHexChars); });
    connect(txtLength, &QLineEdit::textChanged, this, [this] { FilterTextBox(txtLength, kDigits); });
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
    return FamilyForm::eventFilter(watched, event);
}

void frmSystemKDReadWrite::txtAddress_LostFocus()
{
    quint32 value = 0;
    ParseHexDigits(txtAddress->text().toLatin1(), value);
    const auto address = static_cast<quint16>(value);
    txtAddress->setText(addressText(address));
    putItem(KDItem::StartAddress, int(address));
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
    proto_->NoHeadText = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
    proto_->LoadSettings();
    Fill();
    SetLanguage();
    settle_ = false;
}

void frmSystemKDReadWrite::OnPlaced()
{
    applyMinimumSize();
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
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    proto_->HeadLabel = proto_->Translate(QStringLiteral("HeadStr"), QStringLiteral("KOPF"));
    proto_->StatusLabel = proto_->Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS:"));
    proto_->WriteLabel = proto_->Translate(QStringLiteral("WriteStr"), QStringLiteral("SCHREIBEN:"));
    proto_->NoHeadText = proto_->Translate(QStringLiteral("NoHead"), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    SetRWFrameTitle(FromCp1252(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemKDReadWrite::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? proto_->NoHeadText : title);
}

void frmSystemKDReadWrite::Fill()
{
    SetRWFrameTitle(FromCp1252(getItem(LinkItem::HeadType).toByteArray()));
    cmbHeadNumber->setCurrentIndex(kd::ListIndex(getItem(KDItem::HeadNumber).toInt(), cmbHeadNumber->count()));
    SelectComboItem(cmbCode, CInt16(getItem(KDItem::Tagcode).toInt()), 0);
    cmbMode->setCurrentIndex(kd::ListIndex(getItem(KDItem::OperationMode).toInt(), cmbMode->count()));
    SetCheck(chkDoubleSided, getItem(KDItem::DoubleSided).toInt() != 0);
    txtAddress->setText(addressText(static_cast<quint16>(getItem(KDItem::StartAddress).toInt())));
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

void frmSystemKDReadWrite::ShowData(int kind, const QByteArray& caption, const QByteArray& data)
{
    if (kind == 1)
        lstTagData->AddText(FromCp1252(data));
    else
        lstTagData->AddLine(FromCp1252(caption), data);
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

bool frmSystemKDReadWrite::WriteTag(int mode, int head, quint16 address, int tagCode, int doubleSided,
                                    const QByteArray& data)
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    return scope && proto_->WriteTag(mode, head, address, tagCode, doubleSided, data);
}

void frmSystemKDReadWrite::btWrite_Click()
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    if (writeDialog)
        writeDialog();
}

void frmSystemKDReadWrite::btMakeNCX_Click()
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    if (makeNCXDialog)
        makeNCXDialog();
}

void frmSystemKDReadWrite::btStop_Click()
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    requestStop();
}

void frmSystemKDReadWrite::StopBuffered()
{
    requestStop();
}

void frmSystemKDReadWrite::btClear_Click()
{
    lstTagData->clear();
}

} // namespace orvid
