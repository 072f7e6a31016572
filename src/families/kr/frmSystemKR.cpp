#include "frmSystemKR.h"

#include "families/common/DataItems.h"
#include "families/common/Exchange.h"
#include "families/common/FormControls.h"
#include "families/common/KRTagTypes.h"
#include "families/common/TagPassword.h"
#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/common/frmSystemKRWrite.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "shell/ByteTextEdit.h"
#include "shell/ctrlList.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
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
const char* const kHexChars = "0123456789abcdefABCDEF";
} // namespace

frmSystemKR::frmSystemKR(AppContext& ctx, QWidget* parent)
    : FamilyForm(ctx, QStringLiteral("frmSystemKR"), parent)
{
    auto protocol = std::make_unique<KRProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-I System R"));
    buildControls();
    setDataList(ctrlList);
    connectControls();
}

frmSystemKR::~frmSystemKR() = default;

void frmSystemKR::buildControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    // Its caption is the head type (SetRWFrameTitle), not a translated text.
    frameHead->setProperty("langTag", QStringLiteral("NOLANG"));
    outer->addWidget(frameHead);
    auto* grid = new QGridLayout(frameHead);

    // Left column: the small frames.
    auto* left = new QVBoxLayout;
    cmbCode = FramedControl<QComboBox>(frameHead, left, frameCode, "frameCode", QStringLiteral("Code/Datenträger"), "cmbCode");
    for (const TagType& t : KRWindowDesignTagTypes())
        AddComboItem(cmbCode, t.name, t.code);

    cmbHeadNumber = FramedControl<QComboBox>(frameHead, left, frameHeadNumber, "frameHeadNumber",
                                             QStringLiteral("Kopfnummer"), "cmbHeadNumber");
    cmbHeadNumber->setProperty("langTag", QStringLiteral("NOLANG"));
    for (int i = 1; i <= 4; ++i)
        AddComboItem(cmbHeadNumber, QString::number(i), i);
    AddComboItem(cmbHeadNumber, QStringLiteral("x"), 0);

    cmbMode = FramedControl<QComboBox>(frameHead, left, frameMode, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    AddModeItems(cmbMode);
    cmbModeQTI = NamedControl<QComboBox>(frameMode, "cmbModeQTI");
    cmbModeQTI->setProperty("langTag", QStringLiteral("NOLANG"));
    AddModeItems(cmbModeQTI, false);
    frameMode->layout()->addWidget(cmbModeQTI);
    cmbModeQTI->hide(); // cmbMode is in front

    txtAddress = FramedControl<QLineEdit>(frameHead, left, frameAddress, "frameAddress",
                                          QStringLiteral("Adresse (Hex.)"), "txtAddress");
    txtAddress->setText(QStringLiteral("0000"));
    txtAddress->setMaxLength(4);
    txtLength = FramedControl<QLineEdit>(frameHead, left, frameLength, "frameLength", QStringLiteral("Länge"), "txtLength");
    txtLength->setText(QStringLiteral("000"));
    txtLength->setMaxLength(3);

    Frame1 = NamedControl<QGroupBox>(frameHead, "Frame1");
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    // The names of the representations read the same in every language.
    rdDataMode = ByteTextEdit::CreateOptions(Frame1, new QVBoxLayout(Frame1));
    rdDataMode[0]->setChecked(true);
    left->addWidget(Frame1);
    left->addStretch(1);
    grid->addLayout(left, 0, 0, 2, 1);

    // Middle: the data list.
    ctrlList = FramedControl<orvid::ctrlList>(frameHead, nullptr, frameTagData, "frameTagData", QStringLiteral("Daten"), "ctrlList");
    ctrlList->Init();
    ctrlList->setMinimumSize(360, 200);
    grid->addWidget(frameTagData, 0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);

    // Right: the buttons and the configuration frame.
    auto* right = new QVBoxLayout;
    const struct { QPushButton** button; const char* name; const char* text; } buttons[] = {
        {&btRead, "btRead", "&Lesen"},       {&btAutoRead, "btAutoRead", "&Autolesen"},
        {&btWrite, "btWrite", "&Schreiben"}, {&btFixcode, "btFixcode", "&Fixcode"},
        {&btStop, "btStop", "S&top"},        {&btClear, "btClear", "L&öschen"},
    };
    for (const auto& b : buttons) {
        *b.button = NamedControl<QPushButton>(frameHead, b.name);
        (*b.button)->setText(QString::fromUtf8(b.text));
        right->addWidget(*b.button);
    }
    frameConfig = NamedControl<QGroupBox>(frameHead, "frameConfig");
    frameConfig->setTitle(QStringLiteral("Konfig"));
    auto* configLayout = new QVBoxLayout(frameConfig);
    const char* const configTexts[] = {"L&esen", "Sch&reiben"};
    for (int i = 0; i < 2; ++i) {
        auto* b = NamedControl<QPushButton>(frameConfig, "btConfig", i);
        b->setText(QString::fromLatin1(configTexts[i]));
        configLayout->addWidget(b);
        btConfig.append(b);
    }
    right->addWidget(frameConfig);
    right->addStretch(1);
    grid->addLayout(right, 0, 2);

    // Below the data list and the buttons, beside the left column, which is the tallest:
    // the tag password. Its controls take two rows, so the window is no wider than the
    // three columns above it.
    framePassword = NamedControl<QGroupBox>(frameHead, "framePassword");
    framePassword->setTitle(QStringLiteral("Passwort"));
    auto* pw = new QGridLayout(framePassword);
    chkPasswort = NamedControl<QCheckBox>(framePassword, "chkPasswort");
    chkPasswort->setProperty("langTag", QStringLiteral("NOLANG"));
    lblPActive = NamedControl<QLabel>(framePassword, "lblPActive");
    lblPActive->setText(QStringLiteral("Aktivieren"));
    auto* activeRow = new QHBoxLayout;
    activeRow->addWidget(chkPasswort);
    activeRow->addWidget(lblPActive);
    activeRow->addStretch(1);
    pw->addLayout(activeRow, 0, 0);
    pw->setColumnStretch(0, 1);
    const char* const pwTexts[] = {"Passwort (Hex.)", "Neues Passwort", "Passwort wiederh."};
    Frame2 = NamedControl<QGroupBox>(framePassword, "Frame2");
    Frame2->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* f2 = new QGridLayout(Frame2);
    for (int i = 0; i < 3; ++i) {
        QWidget* host = i == 0 ? static_cast<QWidget*>(framePassword) : Frame2;
        auto* l = NamedControl<QLabel>(host, "lblPassword", i);
        l->setText(QString::fromLatin1(pwTexts[i]));
        auto* t = NamedControl<QLineEdit>(host, "txtPasswort", i);
        t->setEchoMode(QLineEdit::Password);
        t->setMaxLength(8);
        t->setMinimumWidth(t->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDDDD")));
        t->setEnabled(false);
        l->setEnabled(false);
        lblPassword.append(l);
        txtPasswort.append(t);
        if (i == 0) {
            pw->addWidget(l, 0, 1);
            pw->addWidget(t, 0, 2);
        } else {
            f2->addWidget(l, i - 1, 0);
            f2->addWidget(t, i - 1, 1);
        }
    }
    btTagPassword = NamedControl<QPushButton>(Frame2, "btTagPassword");
    btTagPassword->setText(QStringLiteral("Tag-Passwort setzen"));
    btTagPassword->setEnabled(false);
    f2->addWidget(btTagPassword, 0, 2);
    f2->setColumnStretch(3, 1);
    pw->addWidget(Frame2, 1, 0, 1, 3);
    grid->addWidget(framePassword, 1, 1, 1, 2);
}

void frmSystemKR::connectControls()
{
    // Handlers. Combo boxes react to the user's choice; Fill runs the handlers itself.
    // The buttons that talk to the device or open a dialog are the user's device actions,
    // the automatic read too (its reads go out on the poll steps): in the order clicked
    // with a Stop queued, which ends it when its turn comes. Stop counts at once, and
    // Clear only empties the list.
    const std::pair<QPushButton*, void (frmSystemKR::*)()> actions[] = {
        {btRead, &frmSystemKR::btRead_Click}, {btFixcode, &frmSystemKR::btFixcode_Click},
        {btWrite, &frmSystemKR::btWrite_Click}, {btTagPassword, &frmSystemKR::btTagPassword_Click},
        {btAutoRead, &frmSystemKR::btAutoRead_Click}};
    ConnectActions(ctx_, this, actions);
    connect(btStop, &QPushButton::clicked, this, &frmSystemKR::btStop_Click);
    connect(btClear, &QPushButton::clicked, this, &frmSystemKR::btClear_Click);
    for (int i = 0; i < 3; ++i) {
        connect(rdDataMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_)
                rdDataMode_Click(i);
        });
    }
    for (int i = 0; i < 2; ++i)
        ConnectAction(ctx_, btConfig[i], &QPushButton::clicked, this, [this, i] { btConfig_Click(i); });
    connect(chkPasswort, &QCheckBox::clicked, this, &frmSystemKR::chkPasswort_Click);
    connect(cmbCode, qOverload<int>(&QComboBox::activated), this, [this] { cmbCode_Click(); });
    connect(cmbMode, qOverload<int>(&QComboBox::activated), this, [this] { cmbMode_Click(cmbMode); });
    connect(cmbModeQTI, qOverload<int>(&QComboBox::activated), this, [this] { cmbMode_Click(cmbModeQTI); });
    connect(cmbHeadNumber, qOverload<int>(&QComboBox::activated), this, [this] { cmbHeadNumber_Click(); });
    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QString::fromLatin1(kHexChars)); });
    connect(txtLength, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtLength, QStringLiteral("0123456789")); });
    // A password is a 32-bit number in hex: nothing else may slip into it.
    for (QLineEdit* t : txtPasswort) {
        connect(t, &QLineEdit::textChanged, this,
                [t] { FilterTextBox(t, QString::fromLatin1(kHexChars)); });
        t->installEventFilter(this);
    }
    txtAddress->installEventFilter(this);
    txtLength->installEventFilter(this);
}

// ---- lifecycle ------------------------------------------------------------------------

void frmSystemKR::OnLoad()
{
    proto_->LoadSettings();
    // The system's further tag types first, so a stored QTX11/12/14 finds its entry.
    FillTagCodes();
    Fill();
    SetLanguage();

    const int16_t system = proto_->CurrentSystem();
    framePassword->setVisible(system == 2 || system == 3);
    frameConfig->setVisible(system == 2 || system == 3);
    frameHeadNumber->hide();
    btAutoRead->show();
    cmbModeQTI->hide();
    cmbMode->show();

    adjustSize();
    if (QWidget* host = container())
        host->adjustSize();
}

void frmSystemKR::OnPlaced()
{
    // The password frame's height counts only while it is shown.
    applyMinimumSize();
    FillTagCodes();
}

void frmSystemKR::OnUnload()
{
    proto_->SaveHeadNumber();
    btStop_Click();
}

bool frmSystemKR::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn) {
        SelectAllTextBox(box);
    } else if (box && event->type() == QEvent::FocusOut) {
        if (box == txtAddress)
            txtAddress_LostFocus();
        else if (box == txtLength)
            txtLength_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

// ---- texts ----------------------------------------------------------------------------

void frmSystemKR::SetLanguage()
{
    Language* lang = ctx_.language;
    if (lang)
        lang->ApplyWindowLanguage(this);
    // The device's own mode name: the fourth mode keeps it in every language.
    const int enhanced = SelectComboItem(cmbMode, 3, -1, false);
    if (enhanced >= 0)
        cmbMode->setItemText(enhanced, QStringLiteral("Enhanced"));
    auto tr = [this](const char* key, const QString& text) { return proto_->Translate(QString::fromLatin1(key), text); };
    lineTexts_ = krconfig::LineTexts::Translated(tr);
    headText_ = tr("Head", QStringLiteral("Kopf"));
    notAvailableText_ = tr("NotAvailable", QStringLiteral("-/-"));
    proto_->StatusPrefix = tr("ErrorStr", QStringLiteral("STATUS:"));
    proto_->NoHeadText = tr("NoHead", QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemKR::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? proto_->NoHeadText : title);
}

// ---- data items -----------------------------------------------------------------------

void frmSystemKR::PutData(int16_t id, const QVariant& value)
{
    if (!proto_->PutData(id, value))
        return;
    if (id == KRItem::Tagcode)
        adaptToTagcode();
}

void frmSystemKR::GetData(int16_t id, QVariant& value)
{
    if (id == KRItem::ModeFrameEnabled) {
        value = frameMode->isEnabled();
        return;
    }
    if (id == KRItem::HeadFrameVisible) {
        value = !frameHeadNumber->isHidden();
        return;
    }
    proto_->GetData(id, value);
}

void frmSystemKR::setPasswordControlsEnabled(bool on)
{
    framePassword->setEnabled(on);
    frameConfig->setEnabled(on);
    for (QPushButton* b : btConfig)
        b->setEnabled(on);
    lblPActive->setEnabled(on);
    for (QLabel* l : lblPassword)
        l->setEnabled(on);
    for (QLineEdit* t : txtPasswort)
        t->setEnabled(on);
    btTagPassword->setEnabled(on);
    chkPasswort->setEnabled(on);
}

void frmSystemKR::adaptToTagcode()
{
    const int16_t tag = proto_->Tagcode;
    const bool password = tag == TagCode::QTX03 || tag == TagCode::QTX12;
    setPasswordControlsEnabled(password);
    const bool fixed = tag == TagCode::QTX10;
    if (fixed) {
        txtAddress->setText(QStringLiteral("0000"));
        txtLength->setText(QStringLiteral("012"));
        putItem(KRItem::StartAddress, 0);
        putItem(KRItem::DataLength, 12);
    }
    frameAddress->setEnabled(!fixed);
    frameLength->setEnabled(!fixed);
    txtAddress->setEnabled(!fixed);
    txtLength->setEnabled(!fixed);
    if (password)
        chkPasswort_Click();
}

void frmSystemKR::FillTagCodes()
{
    for (const TagType& t : KRWindowExtraTagTypes(proto_->CurrentSystem())) {
        if (SelectComboItem(cmbCode, t.code, -1, false) < 0)
            AddComboItem(cmbCode, t.name, t.code);
    }
}

void frmSystemKR::Fill()
{
    filling_ = true;
    // Read before the tag type adapts the password controls (which sets item 105 from the
    // box): the stored flag must survive into the box.
    const bool passwordFlag = getItem(KRItem::PasswordFlag).toBool();

    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));

    {
        QSignalBlocker block(cmbCode);
        SelectComboItem(cmbCode, static_cast<int16_t>(getItem(KRItem::Tagcode).toInt()), 0);
    }
    cmbCode_Click();

    frameMode->setEnabled(true);
    cmbMode->setEnabled(true);
    cmbModeQTI->setEnabled(true);
    const auto mode = static_cast<int16_t>(getItem(KRItem::OperationMode).toInt());
    {
        QSignalBlocker b1(cmbMode), b2(cmbModeQTI);
        SelectComboItem(cmbMode, mode, 0);
        SelectComboItem(cmbModeQTI, mode, 0);
    }
    cmbMode_Click(cmbMode);

    if (proto_->Tagcode != TagCode::QTX10) {
        txtAddress->setText(QString::fromLatin1(HexString(getItem(KRItem::StartAddress).toLongLong() & 0xFFFF, "0000")));
        txtLength->setText(QStringLiteral("%1").arg(getItem(KRItem::DataLength).toInt(), 3, 10, QLatin1Char('0')));
    }

    int rep = getItem(KRItem::DataRepresentation).toInt();
    if (rep < 0 || rep >= rdDataMode.size())
        rep = 0;
    rdDataMode[rep]->setChecked(true);
    rdDataMode_Click(rep);

    if (chkPasswort->isChecked() != passwordFlag) {
        chkPasswort->setChecked(passwordFlag);
        chkPasswort_Click();
    }

    const int16_t index = SelectComboItem(cmbHeadNumber, HeadNumberData(getItem(KRItem::HeadNumber).toString()), -1, false);
    if (index >= 0) {
        QSignalBlocker block(cmbHeadNumber);
        cmbHeadNumber->setCurrentIndex(index);
    }
    filling_ = false;
}

// ---- control handlers -----------------------------------------------------------------

void frmSystemKR::cmbCode_Click()
{
    putItem(KRItem::Tagcode, GetComboItemData(cmbCode));
}

void frmSystemKR::cmbMode_Click(QComboBox* list)
{
    putItem(KRItem::OperationMode, GetComboItemData(list));
}

void frmSystemKR::cmbHeadNumber_Click()
{
    putItem(KRItem::HeadNumber, HeadNumberText(GetComboItemData(cmbHeadNumber)));
}

void frmSystemKR::rdDataMode_Click(int index)
{
    putItem(KRItem::DataRepresentation, index);
    ctrlList->Format(index + 1);
}

void frmSystemKR::txtAddress_LostFocus()
{
    // Unsigned: 8000..FFFF are ordinary addresses.
    const qint64 v = static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(v, "0000")));
    putItem(KRItem::StartAddress, static_cast<int>(v));
}

void frmSystemKR::txtLength_LostFocus()
{
    const int16_t v = CInt16(Val(txtLength->text()));
    txtLength->setText(QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0')));
    putItem(KRItem::DataLength, v);
}

void frmSystemKR::chkPasswort_Click()
{
    if (!chkPasswort->isEnabled())
        return;
    const bool on = chkPasswort->isChecked();
    PutData(KRItem::PasswordFlag, on);
    for (int i = 0; i < 3; ++i) {
        lblPassword[i]->setEnabled(on);
        txtPasswort[i]->setEnabled(on);
        txtPasswort[i]->clear();
    }
    btTagPassword->setEnabled(on);
    btConfig[1]->setEnabled(on);
    if (on)
        txtPasswort[0]->setFocus();
}

// ---- device actions -------------------------------------------------------------------
// Each runs in an exchange scope: refused (beep) while another exchange waits for the
// device, since one started inside its wait would steal or mix up the replies; poll
// ticks are off meanwhile, as they would take the action's replies.

void frmSystemKR::btRead_Click()
{
    // Polling stays off afterwards: a repeated read switches it on itself.
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    proto_->ReadData(true);
}

void frmSystemKR::btFixcode_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    const bool wasAuto = proto_->AutoRead;
    proto_->AutoRead = false;
    proto_->ReadData(false);
    resumeAutomaticRead(scope, wasAuto);
}

void frmSystemKR::resumeAutomaticRead(const ExchangeScope& scope, bool wasAuto)
{
    // The action's "QU" ended whatever read ran on the head: a repeated read is over and
    // is not polled again. The automatic reading goes on as before, unless Stop came
    // meanwhile: each of its steps sends a read of its own.
    if (scope.Stopped() || !wasAuto)
        return;
    proto_->AutoRead = true;
    if (ctx_.lk && scope.WasPolling())
        ctx_.lk->EnablePolling(true);
}

void frmSystemKR::btAutoRead_Click()
{
    proto_->AutoRead = true;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(true);
    txtAddress->setText(QStringLiteral("0000"));
    txtLength->setText(QStringLiteral("%1").arg(proto_->AutoSRLength, 3, 10, QLatin1Char('0')));
    putItem(KRItem::StartAddress, 0);
    putItem(KRItem::DataLength, proto_->AutoSRLength);
}

void frmSystemKR::btStop_Click()
{
    // Polling and the automatic read end at the click, and again when the "QU" goes out:
    // a read asked for before the Stop has switched polling on by then.
    requestStop([this] {
        if (ctx_.lk)
            ctx_.lk->EnablePolling(false);
        proto_->AutoRead = false;
    });
}

void frmSystemKR::StopBuffered()
{
    // As the Stop button: a read waiting for its first reply leaves polling off, and the
    // "QU" never goes out inside a running wait.
    btStop_Click();
}

void frmSystemKR::btClear_Click()
{
    ctrlList->Clear();
}

void frmSystemKR::btWrite_Click()
{
    {
        // Only the check and the pause: the dialog's write is an exchange of its own.
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
        if (!scope)
            return;
        // Polling stays off while the dialog is open and after it: a repeated or automatic
        // read would go on unseen (the dialog may be cancelled), so it ends as Stop ends it.
        if (scope.WasPolling() || proto_->AutoRead)
            btStop_Click();
    }
    if (proto_->Tagcode == TagCode::QTX11 || proto_->Tagcode == TagCode::QTX14) {
        if (fixcodeDialog)
            fixcodeDialog();
        else
            frmSystemHXWriteFixcode::ShowDialog(ctx_, this);
    } else {
        if (writeDialog)
            writeDialog();
        else
            frmSystemKRWrite::ShowDialog(ctx_, 4, this);
    }
}

QStringList frmSystemKR::ConfigurationLines(const QByteArray& controlWord,
                                            const QByteArray& protectionWord) const
{
    return krconfig::ConfigurationLines(controlWord, protectionWord, lineTexts_);
}

void frmSystemKR::btConfig_Click(int index)
{
    // Poll ticks inside these exchanges would take the words' replies (or hand the
    // automatic read's data over as a word).
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    const bool wasAuto = proto_->AutoRead;
    proto_->AutoRead = false;
    SetBusy(true);

    QByteArray control, protection;
    bool cut = false;
    if (proto_->ReadConfiguration(control, protection, &cut)) {
        if (index == 0) {
            for (const QString& line : ConfigurationLines(control, protection))
                ShowData(1, QByteArray(), ToCp1252(line));
            if (cut)
                proto_->ShowMessage(61);
        } else {
            SetBusy(false);
            const bool write = configDialog ? configDialog(control, protection)
                                            : frmConfigKR::ShowDialog(ctx_, control, protection, this);
            SetBusy(true);
            if (write)
                proto_->WriteConfiguration(control, protection);
        }
    }

    SetBusy(false);
    resumeAutomaticRead(scope, wasAuto);
}

void frmSystemKR::btTagPassword_Click()
{
    if (txtPasswort[1]->text() != txtPasswort[2]->text()) {
        proto_->ShowMessage(60);
        return;
    }
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (!scope || !ctx_.lk)
        return;
    quint32 oldValue = 0, newValue = 0;
    // Both passwords must be numbers the user meant: up to 8 hex digits.
    for (int i = 0; i < 2; ++i) {
        if (!ParsePassword(txtPasswort[i]->text(), i == 0 ? oldValue : newValue)) {
            QApplication::beep();
            txtPasswort[i]->setFocus();
            return;
        }
    }
    btStop_Click();
    // Only a password the tag took becomes the current one.
    if (proto_->ChangePassword(oldValue, newValue))
        txtPasswort[0]->setText(QString::number(newValue, 16).toUpper());
}

// ---- writers and view -----------------------------------------------------------------

bool frmSystemKR::WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                           const QByteArray& data, const QByteArray& head)
{
    return proto_->WriteTag(tagCode, mode, fixcode, address, length, data, head);
}

bool frmSystemKR::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    return proto_->WriteQTX11Fixcode(mode, writeProtect, fixcode);
}

bool frmSystemKR::PasswordChecked() const
{
    return chkPasswort->isChecked();
}

QString frmSystemKR::PasswordText() const
{
    return txtPasswort[0]->text();
}

} // namespace orvid
