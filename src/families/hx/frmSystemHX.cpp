#include "frmSystemHX.h"

#include "families/common/Exchange.h"
#include "frmSystemHXCodeDialogs.h"
#include "frmSystemHXParameterVNB.h"
#include "frmSystemHXSetLanguage.h"
#include "families/common/DataItems.h"
#include "families/common/FormControls.h"
#include "families/common/KRTagTypes.h"
#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/common/frmSystemKRWrite.h"
#include "families/common/frmSystemWDTagState.h"
#include "families/common/TagPassword.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "shell/ByteTextEdit.h"
#include "shell/ctrlList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
const char* const kHexChars = "0123456789abcdefABCDEF";
} // namespace

frmSystemHX::frmSystemHX(AppContext& ctx, QWidget* parent) : DirectFamilyForm(ctx, QStringLiteral("frmSystemHX"), parent)
{
    auto protocol = std::make_unique<HXProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID HX"));
    buildControls();
    setDataList(ctrlList);
    connectControls();
    connectCodeButtons();
    proto_->chooseProfile = [this](int channel, const hx::HXHeadType& head) {
        return profileDialog ? profileDialog(channel, head) : frmSystemHXSetLanguage::ShowDialog(ctx_, channel, head, this);
    };
}

frmSystemHX::~frmSystemHX() = default;

void frmSystemHX::buildControls()
{
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);

    // The unit and its channels.
    panel = new HXUnitPanel(ctx_, *proto_, this);
    outer->addWidget(panel);
    frameModule = panel->frameModule;
    frameStation = panel->frameStation;
    frameStationMode = panel->frameStationMode;
    btOrvidSystem = panel->btOrvidSystem;
    rdHead = panel->rdHead;
    rdMode = panel->rdMode;
    btHead = panel->btHead;
    btInfo = panel->btInfo;
    btParameter = panel->btParameter;
    linHead = panel->linHead;
    linVert = panel->linVert;
    linSelHead = panel->linSelHead;
    frameTrigger = panel->frameTrigger;
    cmbTrigger = panel->cmbTrigger;
    cmbTriggerMode = panel->cmbTriggerMode;

    // The head frame: selections, data list, buttons, password.
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setProperty("langTag", QStringLiteral("NOLANG"));
    outer->addWidget(frameHead, 1);
    auto* grid = new QGridLayout(frameHead);
    auto* left = new QVBoxLayout;
    cmbCode = FramedControl<QComboBox>(frameHead, left, frameCode, "frameCode", QStringLiteral("Code/Datenträger"), "cmbCode");
    cmbMode = FramedControl<QComboBox>(frameHead, left, frameMode, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    AddModeItems(cmbMode, false);
    txtAddress = FramedControl<QLineEdit>(frameHead, left, frameAddress, "frameAddress", QStringLiteral("Adresse (Hex.)"), "txtAddress");
    txtAddress->setText(QStringLiteral("0000"));
    txtAddress->setMaxLength(4);
    txtLength = FramedControl<QLineEdit>(frameHead, left, frameLength, "frameLength", QStringLiteral("Länge"), "txtLength");
    txtLength->setText(QStringLiteral("000"));
    txtLength->setMaxLength(3);
    auto* repr = NamedControl<QGroupBox>(frameHead, "frameDataMode");
    repr->setProperty("langTag", QStringLiteral("NOLANG"));
    rdDataMode = ByteTextEdit::CreateOptions(repr, new QVBoxLayout(repr));
    rdDataMode[0]->setChecked(true);
    left->addWidget(repr);
    left->addStretch(1);
    grid->addLayout(left, 0, 0);

    ctrlList = FramedControl<orvid::ctrlList>(frameHead, nullptr, frameTagData, "frameTagData", QStringLiteral("Daten"), "ctrlList");
    ctrlList->Init();
    ctrlList->setMinimumSize(320, 200);
    grid->addWidget(frameTagData, 0, 1);
    grid->setColumnStretch(1, 1);

    buildButtons(grid);

    framePassword = NamedControl<QGroupBox>(frameHead, "framePassword");
    framePassword->setTitle(QStringLiteral("Passwort"));
    auto* pw = new QGridLayout(framePassword);
    chkPasswort = NamedControl<QCheckBox>(framePassword, "chkPasswort");
    chkPasswort->setProperty("langTag", QStringLiteral("NOLANG"));
    lblPActive = NamedControl<QLabel>(framePassword, "lblPActive");
    lblPActive->setText(QStringLiteral("Aktivieren"));
    pw->addWidget(chkPasswort, 0, 0);
    pw->addWidget(lblPActive, 0, 1);
    const char* const pwTexts[] = {"Passwort (Hex.)", "Neues Passwort", "Passwort wiederh."};
    for (int i = 0; i < 3; ++i) {
        auto* l = NamedControl<QLabel>(framePassword, "lblPassword", i);
        l->setText(QString::fromLatin1(pwTexts[i]));
        auto* t = NamedControl<QLineEdit>(framePassword, "txtPasswort", i);
        t->setEchoMode(QLineEdit::Password);
        t->setMaxLength(8);
        lblPassword.append(l);
        txtPasswort.append(t);
        pw->addWidget(l, 1, 2 * i);
        pw->addWidget(t, 1, 2 * i + 1);
    }
    btTagPassword = NamedButton(framePassword, "btTagPassword", QStringLiteral("Tag-Passwort setzen"));
    pw->addWidget(btTagPassword, 1, 6);
    grid->addWidget(framePassword, 1, 0, 1, 3);
}

void frmSystemHX::buildButtons(QGridLayout* grid)
{
    auto* right = new QGridLayout;
    int row = 0;
    auto pair = [&](QLabel*& label, const char* labelName, const QString& text, QPushButton*& a, const char* aName,
                    const QString& aText, QPushButton*& b, const char* bName, const QString& bText) {
        label = NamedControl<QLabel>(frameHead, labelName);
        label->setText(text);
        a = NamedButton(frameHead, aName, aText);
        b = NamedButton(frameHead, bName, bText);
        right->addWidget(label, row, 0);
        right->addWidget(a, row, 1);
        right->addWidget(b, row, 2);
        ++row;
    };
    pair(lblTagData, "lblTagData", QStringLiteral("Daten"), btRead, "btRead", QStringLiteral("&Lesen"), btWrite, "btWrite",
         QStringLiteral("&Schreiben"));
    pair(lblTagFixcode, "lblTagFixcode", QStringLiteral("Fixcode"), btFixcode, "btFixcode", QStringLiteral("Le&sen"),
         btWriteFixcode, "btWriteFixcode", QStringLiteral("&Schreiben"));
    pair(lblTagSpecialFixcode, "lblTagSpecialFixcode", QStringLiteral("Spezial"), btSpecialFixCode, "btSpecialFixCode",
         QStringLiteral("Le&sen"), btWriteSpecialFixcode, "btWriteSpecialFixcode", QStringLiteral("&Schreiben"));
    lblConfig = NamedControl<QLabel>(frameHead, "lblConfig");
    lblConfig->setText(QStringLiteral("Konfig"));
    right->addWidget(lblConfig, row, 0);
    btConfig.append(NamedButton(frameHead, "btConfig", QStringLiteral("L&esen"), 0));
    btConfig.append(NamedButton(frameHead, "btConfig", QStringLiteral("Sch&reiben"), 1));
    right->addWidget(btConfig[0], row, 1);
    right->addWidget(btConfig[1], row++, 2);
    btStop = NamedButton(frameHead, "btStop", QStringLiteral("S&top"));
    btBattery = NamedButton(frameHead, "btBattery", QStringLiteral("&Batterie"));
    btMakeNCX = NamedButton(frameHead, "btMakeNCX", QStringLiteral("&NCX Tag erzeugen"));
    btClear = NamedButton(frameHead, "btClear", QStringLiteral("L&öschen"));
    right->addWidget(btStop, row, 1);
    right->addWidget(btBattery, row++, 2);
    right->addWidget(btMakeNCX, row, 1);
    right->addWidget(btClear, row++, 2);
    right->setRowStretch(row, 1);
    grid->addLayout(right, 0, 2);
}

void frmSystemHX::connectControls()
{
    // Stop counts at once; the other buttons talk to the device or open a dialog.
    const std::pair<QPushButton*, void (frmSystemHX::*)()> actions[] = {
        {btRead, &frmSystemHX::btRead_Click},       {btFixcode, &frmSystemHX::btFixcode_Click},
        {btWrite, &frmSystemHX::btWrite_Click},     {btWriteFixcode, &frmSystemHX::btWriteFixcode_Click},
        {btBattery, &frmSystemHX::btBattery_Click}, {btTagPassword, &frmSystemHX::btTagPassword_Click}};
    ConnectActions(ctx_, this, actions);
    connect(btStop, &QPushButton::clicked, this, &frmSystemHX::btStop_Click);
    connect(btClear, &QPushButton::clicked, this, [this] { ctrlList->Clear(); });
    for (int i = 0; i < 2; ++i)
        ConnectAction(ctx_, btConfig[i], &QPushButton::clicked, this, [this, i] { btConfig_Click(i); });
    for (int i = 0; i < 5; ++i)
        connect(rdHead[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_)
                rdHead_Click(i);
        });
    for (int i = 0; i < 3; ++i)
        connect(rdDataMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_) {
                putItem(KRItem::DataRepresentation, i);
                ctrlList->Format(i + 1);
            }
        });
    for (int i = 0; i < 2; ++i)
        connect(rdMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (!on || filling_)
                return;
            RunUserAction(ctx_, rdMode[i], this, [this, i] {
                HXScope scope(*proto_);
                if (scope)
                    proto_->SetMultiplexed(i == 1);
            });
        });
    connect(panel, &HXUnitPanel::triggerChosen, this, [this](int sensor) {
        if (filling_)
            return;
        RunUserAction(ctx_, panel->cmbTrigger[sensor], this, [this, sensor] {
            HXScope scope(*proto_);
            if (scope)
                proto_->SetTrigger(sensor, TriggerSource(sensor), TriggerMode(sensor));
        });
    });
    connect(cmbCode, QOverload<int>::of(&QComboBox::activated), this, [this] { cmbCode_Click(); });
    connect(cmbMode, QOverload<int>::of(&QComboBox::activated), this,
            [this] { putItem(KRItem::OperationMode, cmbMode->currentData().toInt()); });
    connect(chkPasswort, &QCheckBox::clicked, this, [this] { chkPasswort_Click(); });
    connect(txtAddress, &QLineEdit::textEdited, this, [this] { HexKeyFilter(txtAddress, QString::fromLatin1(kHexChars)); });
    connect(txtLength, &QLineEdit::textEdited, this, [this] { HexKeyFilter(txtLength, QStringLiteral("0123456789")); });
    // Password boxes take hexadecimal digits only. Every change, typed or set here (the new
    // password after "Tag-Passwort setzen"), sends the password mode again before the next
    // tag command.
    for (QLineEdit* t : txtPasswort) {
        connect(t, &QLineEdit::textEdited, this, [t] { HexKeyFilter(t, QString::fromLatin1(kHexChars)); });
        connect(t, &QLineEdit::textChanged, this, [this] { proto_->PasswordPending = true; });
    }
    // Each box selects its text when it gets the focus.
    for (QLineEdit* box : QList<QLineEdit*>{txtAddress, txtLength} + txtPasswort)
        box->installEventFilter(this);
}

bool frmSystemHX::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    else if (box == txtAddress && event->type() == QEvent::FocusOut)
        txtAddress_LostFocus();
    else if (box == txtLength && event->type() == QEvent::FocusOut)
        txtLength_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void frmSystemHX::txtAddress_LostFocus()
{
    const quint32 value = static_cast<quint32>(Val("&H" + txtAddress->text().toLatin1())) & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(value, "0000")));
    putItem(KRItem::StartAddress, static_cast<int>(value));
}

void frmSystemHX::txtLength_LostFocus()
{
    const int value = static_cast<int>(Val(txtLength->text()));
    txtLength->setText(QString::number(value).rightJustified(3, QLatin1Char('0')));
    putItem(KRItem::DataLength, value);
}

// ---- load, texts, settings ----------------------------------------------------------------

void frmSystemHX::OnLoad()
{
    proto_->LoadSettings(kSettings);
    SetLanguage();
    filling_ = true;
    rdDataMode[std::clamp<int>(proto_->DataRepresentation, 0, 2)]->setChecked(true);
    ctrlList->Format(std::clamp<int>(proto_->DataRepresentation, 0, 2) + 1);
    chkPasswort->setChecked(proto_->PasswordFlag);
    filling_ = false;
    panel->FillTriggerLists(proto_->Translate(QStringLiteral("Head"), QStringLiteral("Kopf")));
    loadingPanel_ = true;
    FillUnitPanel();
    loadingPanel_ = false;
}

void frmSystemHX::OnUnload()
{
    // A closed window lists nothing: every head's read ends, not only the chosen head's.
    stopHead(proto_->AnyChannelBusy() ? QStringLiteral("x") : proto_->Channel);
    proto_->SaveSettings(kSettings);
}

void frmSystemHX::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    auto tr = [this](const char* key, const QString& text) { return proto_->Translate(QString::fromLatin1(key), text); };
    lineTexts_ = krconfig::LineTexts::Translated(tr);
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemHX::SetRWFrameTitle(const QString& title)
{
    panel->SetTitle(title.isEmpty() ? proto_->Translate(QStringLiteral("NoHead"), QStringLiteral("Keine Station vorhanden"))
                                    : title);
}

// ---- the unit panel -------------------------------------------------------------------------

void frmSystemHX::FillUnitPanel()
{
    filling_ = true;
    const int option = panel->Fill();
    filling_ = false;
    rdHead[option]->setChecked(true);
    rdHead_Click(option);
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemHX::rdHead_Click(int index)
{
    if (filling_)
        return;
    btStop_Click();
    const QString channel = index == 4 ? QStringLiteral("x") : QString::number(index + 1);
    putItem(KRItem::HeadNumber, channel);
    panel->ShowSelectionLine(index);
    frameHead->setTitle(index == 4 ? rdHead[4]->text()
                                   : proto_->Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ')
                                         + QString::number(index + 1) + QStringLiteral(": ") + rdHead[index]->text());
    fillCodeList(channel, index == 4 ? int16_t(99) : proto_->Records[index + 1].tagType);
    cmbCode_Click();
}

void frmSystemHX::fillCodeList(const QString& channel, int16_t wanted)
{
    HeadFamilies f;
    f.inductive = proto_->HasFamily(QStringLiteral("I"), channel);
    f.microwave = proto_->HasFamily(QStringLiteral("M"), channel);
    f.zlb = proto_->HasFamily(QStringLiteral("ZLB"), channel);
    f.rmb = proto_->HasFamily(QStringLiteral("RMB"), channel);
    f.rmb1 = proto_->HasFamily(QStringLiteral("RMB1"), channel);
    f.vnb = proto_->HasFamily(QStringLiteral("VNB"), channel);
    f.rmb2 = proto_->HasFamily(QStringLiteral("RMB2"), channel);
    filling_ = true;
    cmbCode->clear();
    for (const TagType& t : HXWindowTagTypes(f))
        AddComboItem(cmbCode, t.code == TagCode::Standard ? proto_->Translate(QStringLiteral("StandardOrvid"), t.name) : t.name,
                     t.code);
    // A type the new list lacks: the first entry, never "no entry".
    SelectComboItem(cmbCode, wanted, 0);
    // Two entries are a choice too ("Standard" and "WTX60").
    cmbCode->setEnabled(cmbCode->count() >= 2);
    filling_ = false;
}

void frmSystemHX::btHead_Click(int index)
{
    panel->btHead_Click(index);
}

void frmSystemHX::cmbCode_Click()
{
    if (filling_ || cmbCode->currentIndex() < 0)
        return;
    putItem(KRItem::Tagcode, cmbCode->currentData().toInt());
    if (!loadingPanel_ && ctx_.lk && ctx_.lk->CurrentWindow() == this) {
        HXScope scope(*proto_, ExchangeScope::Polling::SuspendAndRestore, false);
        if (scope)
            proto_->ChangeTag(-1);
    }
}

void frmSystemHX::PutData(int16_t id, const QVariant& value)
{
    if (filling_)
        return;
    FamilyForm::PutData(id, value);
    if (id == KRItem::Tagcode) {
        adaptToTagType();
    } else if (id == KRItem::HeadNumber) {
        refreshModeControls();
        updateBatteryButton();
    }
}

void frmSystemHX::refreshModeControls()
{
    filling_ = true;
    // The tag type set from elsewhere shows too (when the head's list has it).
    if (const int16_t code = SelectComboItem(cmbCode, proto_->TagType, -1, false); code >= 0)
        cmbCode->setCurrentIndex(code);
    SelectComboItem(cmbMode, proto_->OperationMode, 0);
    txtAddress->setText(QString::fromLatin1(HexString(proto_->DisplayAddress, "0000")));
    txtLength->setText(QString::number(proto_->DisplayLength).rightJustified(3, QLatin1Char('0')));
    filling_ = false;
    // What is shown is what is sent: a stored mode the list lacks becomes its first entry.
    if (GetComboItemData(cmbMode) != proto_->OperationMode)
        putItem(KRItem::OperationMode, GetComboItemData(cmbMode));
}

void frmSystemHX::updateBatteryButton()
{
    btBattery->setEnabled(proto_->TagType == 60 && proto_->ChannelIsSingle());
}

void frmSystemHX::adaptToTagType()
{
    const int t = proto_->TagType;
    bool words = true, address = true, fixWrite = false, special = false, ncx = false, password = false;
    switch (t) {
    case 2: case 20: case 52: words = false; break;
    case 3: case 12: password = true; break;
    case 10: address = false; break;
    case 11: case 14: fixWrite = true; words = false; break;
    case 50: special = true; ncx = true; break;
    case 60: fixWrite = true; break;
    case 80: special = true; break;
    default: break;
    }
    if (t == 10) {
        proto_->PutData(KRItem::StartAddress, 0);
        proto_->PutData(KRItem::DataLength, 12);
    }
    frameAddress->setEnabled(address);
    frameLength->setEnabled(address);
    btRead->setEnabled(words);
    btWrite->setEnabled(words);
    btFixcode->setEnabled(true);
    btWriteFixcode->setEnabled(fixWrite);
    btSpecialFixCode->setEnabled(special);
    btWriteSpecialFixcode->setEnabled(special);
    btMakeNCX->setEnabled(ncx);
    for (QWidget* w : QWidgetList{framePassword, lblConfig, btConfig[0], chkPasswort, lblPActive, lblPassword[0], txtPasswort[0]})
        w->setEnabled(password);
    updateBatteryButton();
    if (password)
        chkPasswort_Click();
    else
        for (QWidget* w : QWidgetList{btConfig[1], lblPassword[1], lblPassword[2], txtPasswort[1], txtPasswort[2], btTagPassword})
            w->setEnabled(false);
    refreshModeControls();
}

void frmSystemHX::chkPasswort_Click()
{
    if (!chkPasswort->isEnabled())
        return;
    const bool on = chkPasswort->isChecked();
    proto_->PutData(KRItem::PasswordFlag, on);
    for (QWidget* w : QWidgetList{lblPassword[1], lblPassword[2], txtPasswort[1], txtPasswort[2], btTagPassword, btConfig[1]})
        w->setEnabled(on);
    txtPasswort[1]->clear();
    txtPasswort[2]->clear();
    if (on)
        txtPasswort[0]->setFocus();
}

// ---- IHXView ---------------------------------------------------------------------------------

bool frmSystemHX::PasswordChecked() const
{
    return chkPasswort->isChecked();
}

QString frmSystemHX::PasswordText() const
{
    return txtPasswort[0]->text();
}

int frmSystemHX::TriggerSource(int sensor) const
{
    return panel->TriggerSource(sensor);
}

int frmSystemHX::TriggerMode(int sensor) const
{
    return panel->TriggerMode(sensor);
}

// ---- buttons ---------------------------------------------------------------------------------

void frmSystemHX::btRead_Click()
{
    if (reading_)
        return;
    HXScope scope(*proto_, ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    reading_ = true;
    if (scope.WasPolling())
        proto_->StopBuffered(true, false);
    proto_->SetChannelBusy(false, false);
    proto_->ReadData(true);
    reading_ = false;
}

void frmSystemHX::btFixcode_Click()
{
    // A read that runs on a head is still there after a single fixcode read: its replies
    // keep coming, and the poll timer goes on collecting them (HXScope) until Stop.
    HXScope scope(*proto_, ExchangeScope::Polling::Suspend);
    if (scope)
        proto_->ReadData(false);
}

void frmSystemHX::btStop_Click()
{
    stopHead(proto_->Channel);
}

void frmSystemHX::stopHead(const QString& channel)
{
    // A stop that waits for the link goes to the head it was asked for, even when another
    // head has been chosen by then.
    proto_->Exchanges().RequestStop([this, channel] { proto_->StopChannel(channel); },
                                    [this] { return ctx_.lk && ctx_.lk->CurrentWindow() == this; }, channel);
}

void frmSystemHX::StopBuffered()
{
    requestStop();
}

void frmSystemHX::btWrite_Click()
{
    if ((ctx_.lk && ctx_.lk->PollingEnabled()) || proto_->AnyChannelBusy()) {
        HXScope scope(*proto_, ExchangeScope::Polling::Suspend);
        if (!scope)
            return;
        // The read being polled ends before the dialog: its repeats would otherwise be
        // taken for the write's read-back. (The scope has switched polling off already,
        // so the stop must not ask whether polling is on.)
        proto_->StopChannel(proto_->Channel);
    }
    if (writeDialog)
        writeDialog();
    else
        frmSystemKRWrite::ShowDialog(ctx_, static_cast<int16_t>(proto_->ChannelCount), this);
}

void frmSystemHX::btWriteFixcode_Click()
{
    if (proto_->TagType == 60)
        return openCodeDialog(QStringLiteral("frmSystemHXWriteFixcodeWTX"));
    if (fixcodeDialog)
        fixcodeDialog();
    else
        frmSystemHXWriteFixcode::ShowDialog(ctx_, this);
}

void frmSystemHX::btBattery_Click()
{
    if (proto_->AnyChannelBusy()) {
        HXScope scope(*proto_, ExchangeScope::Polling::Suspend);
        if (scope)
            proto_->StopBuffered(true, true);
    }
    if (stateDialog)
        stateDialog();
    else
        frmSystemWDTagState::ShowDialog(ctx_, this, this);
}

void frmSystemHX::btConfig_Click(int index)
{
    HXScope scope(*proto_);
    if (!scope)
        return;
    // A read polled until now, or still running on a head, ends first, or its repeats
    // would be taken for the words; the head is idle then, as after Stop.
    if (scope.WasPolling() || proto_->AnyChannelBusy())
        proto_->StopCurrentRead();
    if (index == 0) {
        proto_->ListConfiguration(lineTexts_);
        return;
    }
    QByteArray control, protection;
    if (!proto_->ConfigurationForDialog(control, protection))
        return;
    const bool write = configDialog ? configDialog(control, protection) : frmConfigKR::ShowDialog(ctx_, control, protection, this);
    if (write && !(control.isEmpty() && protection.isEmpty()))
        proto_->WriteConfiguration(control, protection);
}

void frmSystemHX::btTagPassword_Click()
{
    if (txtPasswort[1]->text() != txtPasswort[2]->text()) {
        proto_->ShowMessage(60);
        return;
    }
    HXScope scope(*proto_);
    if (!scope)
        return;
    if (proto_->ChangePassword(txtPasswort[0]->text(), txtPasswort[1]->text())) {
        quint32 value = 0;
        ParsePassword(txtPasswort[1]->text(), value);
        txtPasswort[0]->setText(QString::number(value, 16).toUpper());
    }
}

// ---- writers ----------------------------------------------------------------------------------

bool frmSystemHX::WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                           const QByteArray& data, const QByteArray& head)
{
    return scoped([&] { return proto_->WriteTag(tagCode, mode, fixcode, address, length, data, head); });
}

bool frmSystemHX::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    return scoped([&] { return proto_->WriteQTX11Fixcode(mode, writeProtect, fixcode); });
}

void frmSystemHX::GetTagState(ITagStateView& view)
{
    scoped([&] {
        proto_->GetTagState(view);
        return true;
    });
}

bool frmSystemHX::WriteSpecialFixcode(int16_t mode, const QByteArray& code)
{
    return scoped([&] { return proto_->WriteSpecialFixcode(mode, code); });
}

bool frmSystemHX::WriteVNBFixcode(const QByteArray& code)
{
    return scoped([&] { return proto_->WriteVNBFixcode(code); });
}

bool frmSystemHX::WriteWTXFixcode(int16_t mode, const QByteArray& code)
{
    return scoped([&] { return proto_->WriteWTXFixcode(mode, code); });
}

bool frmSystemHX::WriteNCXTag(int16_t mode, const QByteArray& code)
{
    return scoped([&] { return proto_->WriteNCXTag(mode, code); });
}

// ---- code buttons ---------------------------------------------------------------------------

void frmSystemHX::connectCodeButtons()
{
    const std::pair<QPushButton*, void (frmSystemHX::*)()> actions[] = {
        {btSpecialFixCode, &frmSystemHX::btSpecialFixCode_Click},
        {btWriteSpecialFixcode, &frmSystemHX::btWriteSpecialFixcode_Click},
        {btMakeNCX, &frmSystemHX::btMakeNCX_Click}};
    ConnectActions(ctx_, this, actions);
    for (int i = 0; i < btParameter.size(); ++i)
        ConnectAction(ctx_, btParameter[i], &QPushButton::clicked, this, [this, i] { btParameter_Click(i); });
    proto_->parameterDialog = [this](const hx::HXHeadType& head, hx::ParameterList& params) {
        return frmSystemHXParameterVNB::ShowDialog(ctx_, this, head, *proto_, params);
    };
}

void frmSystemHX::btParameter_Click(int index)
{
    // A second click while the action waits for the head or shows its dialog does nothing.
    if (parameterBusy_ || index < 0 || index >= 4)
        return;
    parameterBusy_ = true;
    // The head's channel becomes the current one, and a read running there ends.
    if (!rdHead[index]->isChecked())
        rdHead[index]->setChecked(true);
    btStop_Click();
    {
        HXScope scope(*proto_, ExchangeScope::Polling::Suspend);
        if (scope)
            proto_->EditParameters(index + 1);
    }
    parameterBusy_ = false;
}

void frmSystemHX::openCodeDialog(const QString& name)
{
    if (codeDialog)
        return codeDialog(name);
    if (name == QLatin1String("frmSystemHXWriteFixcodeWTX"))
        frmSystemHXWriteFixcodeWTX::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmSystemHXWriteFixcodeVNB"))
        frmSystemHXWriteFixcodeVNB::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmSystemHXMakeNCX"))
        frmSystemHXMakeNCX::ShowDialog(ctx_, this);
    else
        frmSystemHXWriteFixcodeSpecial::ShowDialog(ctx_, this);
}

void frmSystemHX::btSpecialFixCode_Click()
{
    HXScope scope(*proto_, ExchangeScope::Polling::Suspend);
    if (scope)
        proto_->ReadSpecialFixcode();
}

void frmSystemHX::btWriteSpecialFixcode_Click()
{
    openCodeDialog(proto_->HasFamily(QStringLiteral("VNB"), proto_->Channel) ? QStringLiteral("frmSystemHXWriteFixcodeVNB")
                                                                             : QStringLiteral("frmSystemHXWriteFixcodeSpecial"));
}

void frmSystemHX::btMakeNCX_Click()
{
    openCodeDialog(QStringLiteral("frmSystemHXMakeNCX"));
}

} // namespace orvid
