#include "frmSystemWD.h"

#include "families/common/Exchange.h"
#include "families/common/Lamp.h"
#include "WDFields.h"
#include "frmSystemWDIO.h"
#include "frmSystemWDState.h"
#include "families/common/frmSystemWDTagState.h"
#include "frmSystemWDWrite.h"
#include "frmSystemWDWriteIDCode.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "shell/ByteTextEdit.h"
#include "shell/ctrlList.h"

#include "families/common/FormControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
using WDFields::kDigits;
using WDFields::kHexChars;
const QString kNoLang = QStringLiteral("NOLANG");

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* makeBox(QWidget* parent, const char* name, const QString& text, int maxLength)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    e->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QString(maxLength + 3, QLatin1Char('0'))) + 8);
    return e;
}
} // namespace

frmSystemWD::frmSystemWD(AppContext& ctx, QWidget* parent)
    : FamilyForm(ctx, QStringLiteral("frmSystemWD"), parent)
{
    auto protocol = std::make_unique<WDProtocol>(ctx, this);
    wd_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-M System D"));
    buildControls();
    setDataList(list);
    showWriteDialog = [this] { frmSystemWDWrite::ShowDialog(ctx_, this, this); };
    showWriteIDCodeDialog = [this] { frmSystemWDWriteIDCode::ShowDialog(ctx_, this, this); };
    showTagStateDialog = [this] { frmSystemWDTagState::ShowDialog(ctx_, this, this); };
}

void frmSystemWD::buildControls()
{
    auto* top = new QVBoxLayout(this);
    // The window never gets smaller than the head frame with its entries and buttons.
    top->setSizeConstraint(QLayout::SetMinimumSize);
    frameHead = NamedFrame(this, "frameHead", QStringLiteral("LESEKOPF"));
    frameHead->setProperty("langTag", kNoLang);
    top->addWidget(frameHead);
    auto* head = new QHBoxLayout(frameHead);

    // Left column: the entries of a tag access.
    auto* left = new QVBoxLayout;
    frameAntenna = NamedFrame(frameHead, "frameAntenna", QStringLiteral("Antenne"));
    cmbHeadNumber = new QComboBox(frameAntenna);
    cmbHeadNumber->setObjectName(QStringLiteral("cmbHeadNumber"));
    cmbHeadNumber->setProperty("langTag", kNoLang);
    cmbHeadNumber->addItems({QStringLiteral("0"), QStringLiteral("1")});
    (new QHBoxLayout(frameAntenna))->addWidget(cmbHeadNumber);
    left->addWidget(frameAntenna);

    frameAccessType = NamedFrame(frameHead, "frameAccessType", QStringLiteral("Zugriffsart"));
    auto* al = new QVBoxLayout(frameAccessType);
    rdIDCode = CreateOptionArray(frameAccessType, al, QStringLiteral("rdIDCode"), WDFields::AccessTypeTexts(), true,
                                 [this](int i) { rdIDCode_Click(i); });
    auto* idRow = new QHBoxLayout;
    lblIDCode = new QLabel(QStringLiteral("ID-Code (Hex.)"), frameAccessType);
    lblIDCode->setObjectName(QStringLiteral("lblIDCode"));
    txtIDCode = makeBox(frameAccessType, "txtIDCode", QStringLiteral("00000000"), 8);
    idRow->addWidget(lblIDCode);
    idRow->addWidget(txtIDCode);
    al->addLayout(idRow);
    left->addWidget(frameAccessType);

    auto* addrRow = new QHBoxLayout;
    frameAddress = NamedFrame(frameHead, "frameAddress", QStringLiteral("Adresse (Hex.)"));
    txtAddress = makeBox(frameAddress, "txtAddress", QStringLiteral("0000"), 4);
    (new QHBoxLayout(frameAddress))->addWidget(txtAddress);
    frameLength = NamedFrame(frameHead, "frameLength", QStringLiteral("Länge"));
    txtLength = makeBox(frameLength, "txtLength", QStringLiteral("000"), 3);
    (new QHBoxLayout(frameLength))->addWidget(txtLength);
    addrRow->addWidget(frameAddress);
    addrRow->addWidget(frameLength);
    left->addLayout(addrRow);
    left->addStretch(1);
    head->addLayout(left);

    // Middle: the data list, or in its place the scan slots.
    auto* middle = new QVBoxLayout;
    frameTagData = NamedFrame(frameHead, "frameTagData", QStringLiteral("Daten"));
    auto* dl = new QVBoxLayout(frameTagData);
    list = new ctrlList(frameTagData);
    list->setObjectName(QStringLiteral("ctrlList"));
    list->Init();
    list->setMinimumSize(280, 160);
    dl->addWidget(list, 1);
    picButtons = new QWidget(frameTagData);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    auto* pl = new QHBoxLayout(picButtons);
    pl->setContentsMargins(0, 0, 0, 0);
    rdDataMode = ByteTextEdit::CreateOptions(picButtons, pl, [this](int i) { rdDataMode_Click(i); });
    pl->addStretch(1);
    dl->addWidget(picButtons);
    middle->addWidget(frameTagData, 1);

    frameTagScan = NamedFrame(frameHead, "frameTagScan", QStringLiteral("ID-Code Scan"));
    auto* sl = new QGridLayout(frameTagScan);
    for (int i = 0; i < WDProtocol::kScanSlots; ++i) {
        auto* chk = new QCheckBox(frameTagScan);
        chk->setObjectName(QStringLiteral("chkScan"));
        chk->setProperty("ctrlIndex", i);
        chk->setProperty("langTag", kNoLang);
        chk->setChecked(true);
        auto* box = makeBox(frameTagScan, "txtScan", QString(), 8);
        box->setProperty("ctrlIndex", i);
        auto* lamp = new Lamp(frameTagScan);
        lamp->setObjectName(QStringLiteral("cirScan"));
        lamp->setProperty("ctrlIndex", i);
        sl->addWidget(chk, i, 0);
        sl->addWidget(box, i, 1);
        sl->addWidget(lamp, i, 2);
        chkScan.append(chk);
        txtScan.append(box);
        cirScan.append(lamp);
        connect(chk, &QCheckBox::toggled, this, [box](bool on) { box->setEnabled(on); });
        connect(box, &QLineEdit::textChanged, this,
                [box] { FilterTextBox(box, QString::fromLatin1(kHexChars)); });
        box->installEventFilter(this);
    }
    auto* scanButtons = new QHBoxLayout;
    btScanStart = makeButton(frameTagScan, "btScanStart", QStringLiteral("Start"));
    btScanPause = makeButton(frameTagScan, "btScanPause", QStringLiteral("Pause"));
    btScanPause->setEnabled(false);
    auto* clear1 = makeButton(frameTagScan, "btClear", QStringLiteral("L&öschen"));
    clear1->setProperty("ctrlIndex", 1);
    scanButtons->addWidget(btScanStart);
    scanButtons->addWidget(btScanPause);
    scanButtons->addWidget(clear1);
    sl->addLayout(scanButtons, WDProtocol::kScanSlots, 0, 1, 4);
    sl->setColumnStretch(3, 1);
    middle->addWidget(frameTagScan, 0, Qt::AlignHCenter | Qt::AlignTop);
    frameTagScan->hide();
    head->addLayout(middle, 1);

    // Right column: the buttons.
    auto* right = new QVBoxLayout;
    frameIdCode = NamedFrame(frameHead, "frameIdCode", QStringLiteral("ID Code"));
    auto* il = new QVBoxLayout(frameIdCode);
    btIdCodeRead = makeButton(frameIdCode, "btIdCodeRead", QStringLiteral("&Lesen"));
    btIdCodeWrite = makeButton(frameIdCode, "btIdCodeWrite", QStringLiteral("&Schreiben"));
    btCodeScan = makeButton(frameIdCode, "btCodeScan", QStringLiteral("S&can"));
    il->addWidget(btIdCodeRead);
    il->addWidget(btIdCodeWrite);
    il->addWidget(btCodeScan);
    right->addWidget(frameIdCode);
    frameText = NamedFrame(frameHead, "frameText", QStringLiteral("Daten"));
    auto* tl = new QVBoxLayout(frameText);
    btRead = makeButton(frameText, "btRead", QStringLiteral("L&esen"));
    btWrite = makeButton(frameText, "btWrite", QStringLiteral("Schrei&ben"));
    tl->addWidget(btRead);
    tl->addWidget(btWrite);
    right->addWidget(frameText);
    btTagInfo = makeButton(frameHead, "btTagInfo", QStringLiteral("&Taginfo"));
    chkLoop = new QCheckBox(QStringLiteral("Schleife"), frameHead);
    chkLoop->setObjectName(QStringLiteral("chkLoop"));
    btStop = makeButton(frameHead, "btStop", QStringLiteral("Sto&p"));
    auto* clear0 = makeButton(frameHead, "btClear", QStringLiteral("L&öschen"));
    clear0->setProperty("ctrlIndex", 0);
    right->addWidget(btTagInfo);
    right->addWidget(chkLoop);
    right->addWidget(btStop);
    right->addWidget(clear0);
    right->addStretch(1);
    head->addLayout(right);
    btClear = {clear0, clear1};

    // Stop counts at once; the buttons that talk to the unit or open a dialog are the
    // user's device actions; the scan's buttons only switch what the poll steps do.
    const std::pair<QPushButton*, void (frmSystemWD::*)()> actions[] = {
        {btRead, &frmSystemWD::btRead_Click},             {btWrite, &frmSystemWD::btWrite_Click},
        {btIdCodeRead, &frmSystemWD::btIdCodeRead_Click}, {btIdCodeWrite, &frmSystemWD::btIdCodeWrite_Click},
        {btTagInfo, &frmSystemWD::btTagInfo_Click}};
    ConnectActions(ctx_, this, actions);
    connect(btCodeScan, &QPushButton::clicked, this, [this] { btCodeScan_Click(); });
    connect(btStop, &QPushButton::clicked, this, [this] { btStop_Click(); });
    for (QPushButton* b : btClear)
        connect(b, &QPushButton::clicked, this, [this] { btClear_Click(); });
    connect(btScanStart, &QPushButton::clicked, this, [this] { btScanStart_Click(); });
    connect(btScanPause, &QPushButton::clicked, this, [this] { btScanPause_Click(); });

    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QString::fromLatin1(kHexChars)); });
    connect(txtIDCode, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtIDCode, QString::fromLatin1(kHexChars)); });
    connect(txtLength, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtLength, QString::fromLatin1(kDigits)); });
    for (QLineEdit* e : {txtAddress, txtIDCode, txtLength})
        e->installEventFilter(this);

    rdIDCode[0]->setChecked(true);
    rdDataMode[0]->setChecked(true);
}

bool frmSystemWD::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        if (event->type() == QEvent::FocusIn) {
            SelectAllTextBox(box);
        } else if (box == txtAddress) {
            box->setText(WDFields::FormatAddress(box->text()));
        } else if (box == txtIDCode) {
            box->setText(WDFields::FormatIDCode(box->text()));
        } else if (box == txtLength) {
            box->setText(WDFields::FormatLength(box->text()));
        } else if (txtScan.contains(box)) {
            box->setText(WDFields::FormatScanCode(box->text()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- load and unload ----------------------------------------------------------

void frmSystemWD::OnLoad()
{
    const auto index = [](const QString& text, int count) {
        const double v = Val(text);
        return v < 0 || v >= count ? 0 : static_cast<int>(v);
    };
    const WDSettings stored = WDSettings::Load(ctx_);
    // 1. The representation goes through the data item, so the dialogs read the same one.
    wd_->PutData(WDItem::DataRepresentation, CInt16(Val(*stored.DataRepresentation)));
    QVariant rep;
    wd_->GetData(WDItem::DataRepresentation, rep);
    const int repIndex = index(QString::number(rep.toInt()), int(rdDataMode.size()));
    SetOptionGroup(rdDataMode, repIndex);
    rdDataMode_Click(repIndex);

    // 5. The entries.
    cmbHeadNumber->setCurrentIndex(index(*stored.HeadNumber, cmbHeadNumber->count()));
    const int access = index(*stored.UseIdCode, int(rdIDCode.size()));
    SetOptionGroup(rdIDCode, access);
    rdIDCode_Click(access);
    chkLoop->setChecked(*stored.LoopFlag == QLatin1String("1"));
    txtIDCode->setText(WDFields::FormatIDCode(*stored.IdCode));
    txtAddress->setText(WDFields::FormatAddress(*stored.StartAddress));
    txtLength->setText(WDFields::FormatLength(*stored.DataLength));

    SetLanguage();
}

void frmSystemWD::OnPlaced()
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(true);
}

void frmSystemWD::OnUnload()
{
    btStop_Click();
    WDSettings& stored = wd_->Stored;
    stored.DataRepresentation = WDSettings::Number(wd_->DataRepresentation);
    stored.HeadNumber = WDSettings::Number(cmbHeadNumber->currentIndex());
    stored.UseIdCode = WDSettings::Number(GetOptionGroup(rdIDCode));
    stored.LoopFlag = chkLoop->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    stored.IdCode = txtIDCode->text();
    stored.StartAddress = txtAddress->text();
    stored.DataLength = txtLength->text();
    stored.Save(ctx_);
}

void frmSystemWD::SetLanguage()
{
    if (ctx_.language && !languageStored_) {
        ctx_.language->StoreControlTexts(this);
        ctx_.language->StoreFormTexts(this);
        languageStored_ = true;
    }
    // The head frame's title is set in any case, so a recognised head type shows also
    // while the built-in German is current.
    if (wd_->ApplyLanguage() && ctx_.language) {
        const QString section = QString::fromLatin1(WDProtocol::kSection);
        ctx_.language->TranslateControl(section, this);
        ctx_.language->TranslateForm(section, this);
    }
}

void frmSystemWD::Init(bool ethernet)
{
    FamilyForm::Init(ethernet);
    if (!wd_->ScanMode && btScanPause->isEnabled())
        unlockScan(true);
}

void frmSystemWD::setStateWindow(frmSystemWDState* w)
{
    wd_->setStateView(w);
    if (w)
        w->setTarget(this);
}

void frmSystemWD::setIOWindow(frmSystemWDIO* w)
{
    wd_->setOutputsView(w);
    if (w)
        w->setTarget(this);
}

// ---- IWDView ---------------------------------------------------------------------------

bool frmSystemWD::LoopChecked() const { return chkLoop->isChecked(); }
int frmSystemWD::HeadIndex() const { return qMax(0, cmbHeadNumber->currentIndex()); }
int frmSystemWD::AccessType() const { return GetOptionGroup(rdIDCode); }
QString frmSystemWD::IDCodeText() const { return txtIDCode->text(); }
QString frmSystemWD::AddressText() const { return txtAddress->text(); }
QString frmSystemWD::LengthText() const { return txtLength->text(); }

void frmSystemWD::SetRWFrameTitle(const QString& title) { frameHead->setTitle(title); }

void frmSystemWD::SetScanText(int slot, const QString& code)
{
    if (slot >= 1 && slot <= txtScan.size())
        txtScan[slot - 1]->setText(code);
}

void frmSystemWD::SetScanLED(int slot, bool on)
{
    if (slot >= 1 && slot <= cirScan.size())
        cirScan[slot - 1]->setLit(on);
}

// ---- device actions --------------------------------------------------------------------

bool frmSystemWD::refuseWhileBusy()
{
    // The dialogs run their exchanges in scopes of their own; opening one while another
    // exchange waits would only have it refused later.
    if (!ExchangeRunning())
        return false;
    QApplication::beep();
    return true;
}

void frmSystemWD::GetTagState(ITagStateView& view)
{
    if (ExchangeScope scope{wd_->Exchanges()})
        wd_->GetTagState(view);
}

WDEntries frmSystemWD::Entries() const
{
    WDEntries e;
    e.head = HeadIndex();
    e.accessType = AccessType();
    e.idCode = txtIDCode->text();
    e.address = txtAddress->text();
    e.lastData = wd_->LastDataRead();
    e.dataRepresentation = wd_->DataRepresentation;
    return e;
}

bool frmSystemWD::WriteTag(bool isData, int16_t head, int16_t accessType, const QString& idCode,
                           quint16 address, int length, const QByteArray& data)
{
    ExchangeScope scope(wd_->Exchanges());
    return scope && wd_->WriteTag(isData, head, accessType, idCode, address, length, data);
}

void frmSystemWD::GetState()
{
    if (ExchangeScope scope{wd_->Exchanges()})
        wd_->GetState();
}

bool frmSystemWD::OutputSet()
{
    ExchangeScope scope(wd_->Exchanges());
    return scope && wd_->OutputSet();
}

// ---- handlers --------------------------------------------------------------------------

void frmSystemWD::leaveScan()
{
    // Read, ID-code Read, Write and ID-code Write always bring the data frame back and
    // pause a running scan, also when the action itself is then refused: the user has left
    // the scan either way. The scan's loop ends with it (otherwise every poll tick would go
    // on re-sending the scan's last read); a data loop is the handler's business.
    if (wd_->ScanMode)
        btScanPause_Click();
    EnableScan(false);
}

void frmSystemWD::btRead_Click()
{
    leaveScan();
    ExchangeScope scope(wd_->Exchanges());
    if (!scope)
        return;
    wd_->LoopMode = false;
    wd_->ReadData(true);
}

void frmSystemWD::btIdCodeRead_Click()
{
    leaveScan();
    ExchangeScope scope(wd_->Exchanges());
    if (!scope)
        return;
    wd_->LoopMode = false;
    wd_->ReadData(false);
}

void frmSystemWD::stopLoop()
{
    // Every loop step ends with the next read already sent: left without a stop, the unit
    // goes on with a read the window no longer follows.
    if (wd_->LoopMode)
        btStop_Click();
}

void frmSystemWD::btWrite_Click()
{
    leaveScan();
    stopLoop();
    if (refuseWhileBusy())
        return;
    if (showWriteDialog)
        showWriteDialog();
}

void frmSystemWD::btIdCodeWrite_Click()
{
    leaveScan();
    if (refuseWhileBusy())
        return;
    if (showWriteIDCodeDialog)
        showWriteIDCodeDialog();
}

void frmSystemWD::btTagInfo_Click()
{
    if (refuseWhileBusy())
        return;
    if (showTagStateDialog)
        showTagStateDialog();
}

void frmSystemWD::btCodeScan_Click()
{
    stopLoop();
    EnableScan(true);
}

void frmSystemWD::btStop_Click()
{
    // Inside another exchange's wait the loop and scan end at its next step.
    const bool scanning = wd_->ScanMode;
    wd_->Stop();
    if (scanning)
        unlockScan(true);
}

void frmSystemWD::StopBuffered()
{
    btStop_Click();
}

void frmSystemWD::btClear_Click()
{
    list->Clear();
    wd_->ClearScan();
}

void frmSystemWD::btScanStart_Click()
{
    QStringList codes;
    for (QLineEdit* box : txtScan) {
        codes.append(box->text().trimmed());
        box->setReadOnly(true);
    }
    wd_->ScanStart(codes);
    btScanPause->setEnabled(true);
    btScanStart->setEnabled(false);
}

void frmSystemWD::btScanPause_Click()
{
    unlockScan(true);
}

void frmSystemWD::unlockScan(bool endLoop)
{
    // The protocol puts the lamps out; the boxes take typing again.
    for (QLineEdit* box : txtScan)
        box->setReadOnly(false);
    wd_->ScanPause(endLoop);
    btScanPause->setEnabled(false);
    btScanStart->setEnabled(true);
}

void frmSystemWD::EnableScan(bool enable)
{
    // Hide before show: showing a frame lays out its ancestors at once, and with both
    // frames visible at that moment the window would grow to hold the two stacked.
    if (enable) {
        frameTagData->setVisible(false);
        frameTagScan->setVisible(true);
    } else {
        frameTagScan->setVisible(false);
        frameTagData->setVisible(true);
    }
    if (enable && Loaded())
        fitContainer();
    if (!enable)
        unlockScan(false);
}

bool frmSystemWD::ScanFrameShown() const
{
    return !frameTagScan->isHidden();
}

void frmSystemWD::rdIDCode_Click(int index)
{
    lblIDCode->setEnabled(index != 0);
    txtIDCode->setEnabled(index != 0);
}

void frmSystemWD::rdDataMode_Click(int index)
{
    wd_->PutData(WDItem::DataRepresentation, index);
    list->Format(index + 1);
}

} // namespace orvid
