#include "frmSystemKR.h"

#include "families/common/KRConfigWord.h"
#include "families/common/KRTagTypes.h"
#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/common/frmSystemKRWrite.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/MainFrame.h"
#include "foundations/Options.h"
#include "foundations/Utils.h"
#include "foundations/WindowPlacement.h"
#include "link/DeviceWait.h"
#include "link/LK.h"
#include "shell/ctrlList.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace orvid {

namespace {

const char* const kHexChars = "0123456789abcdefABCDEF";

// Configuration-word labels: key and default text. The defaults are padded with blanks
// to one width per block (29 and 32 characters) so the values line up in the list.
struct LabelDefault {
    const char* key;
    QString text;
};
QString pad(const QString& text, int width)
{
    return text.leftJustified(width - 1, QLatin1Char(' ')) + QLatin1Char(':');
}
QList<LabelDefault> controlDefaults()
{
    return {{"controlheader", QStringLiteral("Control Word")},
            {"controlreadstart", pad(QStringLiteral("Lesebereich-Anfang"), 29)},
            {"controlreadend", pad(QStringLiteral("Lesebereich-Ende"), 29)},
            {"controlpassword", pad(QStringLiteral("Passwort-Schutz"), 29)},
            {"controlrawmode", pad(QStringLiteral("Read-after-write-Betriebsart"), 29)},
            {"controluserdefined", pad(QStringLiteral("Benutzerdefiniert"), 29)}};
}
QList<LabelDefault> protectDefaults()
{
    return {{"protectHeader", QStringLiteral("Protection Word")},
            {"protectFirstWOWord", pad(QStringLiteral("Erstes lesegeschütztes Wort"), 32)},
            {"protectLastWOWord", pad(QStringLiteral("Letztes lesegeschütztes Wort"), 32)},
            {"protectFirstROWord", pad(QStringLiteral("Erstes schreibgeschütztes Wort"), 32)},
            {"protectLastROWord", pad(QStringLiteral("Letztes schreibgeschütztes Wort"), 32)}};
}

QByteArray twoDigits(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

template <typename T>
T* named(QWidget* parent, const char* name, int index = -1)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (index >= 0)
        w->setProperty("ctrlIndex", index);
    return w;
}

} // namespace

frmSystemKR::frmSystemKR(AppContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx), proto_(ctx, this)
{
    setObjectName(QStringLiteral("frmSystemKR"));
    setWindowTitle(QStringLiteral("ORVID-I System R"));
    for (const LabelDefault& l : controlDefaults())
        controlLabels_ << l.text;
    for (const LabelDefault& l : protectDefaults())
        protectLabels_ << l.text;
    buildControls();
    stopTimer_ = new QTimer(this);
    stopTimer_->setInterval(10);
    connect(stopTimer_, &QTimer::timeout, this, &frmSystemKR::sendQueuedStop);
}

frmSystemKR::~frmSystemKR()
{
    while (busyDepth_ > 0)
        SetBusy(false);
}

void frmSystemKR::buildControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    frameHead = named<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    // Its caption is the head type (SetRWFrameTitle), not a translated text.
    frameHead->setProperty("langTag", QStringLiteral("NOLANG"));
    outer->addWidget(frameHead);
    auto* grid = new QGridLayout(frameHead);

    // Left column: the small frames.
    auto* left = new QVBoxLayout;
    frameCode = named<QGroupBox>(frameHead, "frameCode");
    frameCode->setTitle(QStringLiteral("Code/Datenträger"));
    cmbCode = named<QComboBox>(frameCode, "cmbCode");
    for (const TagType& t : KRWindowDesignTagTypes())
        AddComboItem(cmbCode, t.name, t.code);
    (new QHBoxLayout(frameCode))->addWidget(cmbCode);
    left->addWidget(frameCode);

    frameHeadNumber = named<QGroupBox>(frameHead, "frameHeadNumber");
    frameHeadNumber->setTitle(QStringLiteral("Kopfnummer"));
    cmbHeadNumber = named<QComboBox>(frameHeadNumber, "cmbHeadNumber");
    cmbHeadNumber->setProperty("langTag", QStringLiteral("NOLANG"));
    for (int i = 1; i <= 4; ++i)
        AddComboItem(cmbHeadNumber, QString::number(i), i);
    AddComboItem(cmbHeadNumber, QStringLiteral("x"), 0);
    (new QHBoxLayout(frameHeadNumber))->addWidget(cmbHeadNumber);
    left->addWidget(frameHeadNumber);

    frameMode = named<QGroupBox>(frameHead, "frameMode");
    frameMode->setTitle(QStringLiteral("Betriebsart"));
    auto* modeLayout = new QHBoxLayout(frameMode);
    cmbMode = named<QComboBox>(frameMode, "cmbMode");
    AddComboItem(cmbMode, QStringLiteral("Single"), 0);
    AddComboItem(cmbMode, QStringLiteral("Buffered"), 1);
    AddComboItem(cmbMode, QStringLiteral("Auto"), 2);
    AddComboItem(cmbMode, QStringLiteral("Enhanced"), 3);
    cmbModeQTI = named<QComboBox>(frameMode, "cmbModeQTI");
    cmbModeQTI->setProperty("langTag", QStringLiteral("NOLANG"));
    AddComboItem(cmbModeQTI, QStringLiteral("Single"), 0);
    AddComboItem(cmbModeQTI, QStringLiteral("Enhanced"), 3);
    modeLayout->addWidget(cmbMode);
    modeLayout->addWidget(cmbModeQTI);
    cmbModeQTI->hide(); // cmbMode is in front
    left->addWidget(frameMode);

    frameAddress = named<QGroupBox>(frameHead, "frameAddress");
    frameAddress->setTitle(QStringLiteral("Adresse (Hex.)"));
    txtAddress = named<QLineEdit>(frameAddress, "txtAddress");
    txtAddress->setText(QStringLiteral("0000"));
    txtAddress->setMaxLength(4);
    (new QHBoxLayout(frameAddress))->addWidget(txtAddress);
    left->addWidget(frameAddress);

    frameLength = named<QGroupBox>(frameHead, "frameLength");
    frameLength->setTitle(QStringLiteral("Länge"));
    txtLength = named<QLineEdit>(frameLength, "txtLength");
    txtLength->setText(QStringLiteral("000"));
    txtLength->setMaxLength(3);
    (new QHBoxLayout(frameLength))->addWidget(txtLength);
    left->addWidget(frameLength);

    Frame1 = named<QGroupBox>(frameHead, "Frame1");
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* repLayout = new QVBoxLayout(Frame1);
    const char* const repNames[] = {"ASCII", "HEX", "DEZ"};
    for (int i = 0; i < 3; ++i) {
        auto* rd = named<QRadioButton>(Frame1, "rdDataMode", i);
        rd->setText(QString::fromLatin1(repNames[i]));
        // The names of the representations read the same in every language.
        rd->setProperty("langTag", QStringLiteral("NOLANG"));
        repLayout->addWidget(rd);
        rdDataMode.append(rd);
    }
    rdDataMode[0]->setChecked(true);
    left->addWidget(Frame1);
    left->addStretch(1);
    grid->addLayout(left, 0, 0);

    // Middle: the data list.
    frameTagData = named<QGroupBox>(frameHead, "frameTagData");
    frameTagData->setTitle(QStringLiteral("Daten"));
    ctrlList = new orvid::ctrlList(frameTagData);
    ctrlList->setObjectName(QStringLiteral("ctrlList"));
    ctrlList->Init();
    ctrlList->setMinimumSize(360, 200);
    (new QVBoxLayout(frameTagData))->addWidget(ctrlList);
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
        *b.button = named<QPushButton>(frameHead, b.name);
        (*b.button)->setText(QString::fromUtf8(b.text));
        right->addWidget(*b.button);
    }
    frameConfig = named<QGroupBox>(frameHead, "frameConfig");
    frameConfig->setTitle(QStringLiteral("Konfig"));
    auto* configLayout = new QVBoxLayout(frameConfig);
    const char* const configTexts[] = {"L&esen", "Sch&reiben"};
    for (int i = 0; i < 2; ++i) {
        auto* b = named<QPushButton>(frameConfig, "btConfig", i);
        b->setText(QString::fromLatin1(configTexts[i]));
        configLayout->addWidget(b);
        btConfig.append(b);
    }
    right->addWidget(frameConfig);
    right->addStretch(1);
    grid->addLayout(right, 0, 2);

    // Bottom: the tag password.
    framePassword = named<QGroupBox>(frameHead, "framePassword");
    framePassword->setTitle(QStringLiteral("Passwort"));
    auto* pw = new QGridLayout(framePassword);
    chkPasswort = named<QCheckBox>(framePassword, "chkPasswort");
    chkPasswort->setProperty("langTag", QStringLiteral("NOLANG"));
    lblPActive = named<QLabel>(framePassword, "lblPActive");
    lblPActive->setText(QStringLiteral("Aktivieren"));
    auto* activeRow = new QHBoxLayout;
    activeRow->addWidget(chkPasswort);
    activeRow->addWidget(lblPActive);
    activeRow->addStretch(1);
    pw->addLayout(activeRow, 0, 0, 1, 2);
    const char* const pwTexts[] = {"Passwort (Hex.)", "Neues Passwort", "Passwort wiederh."};
    Frame2 = named<QGroupBox>(framePassword, "Frame2");
    Frame2->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* f2 = new QGridLayout(Frame2);
    for (int i = 0; i < 3; ++i) {
        QWidget* host = i == 0 ? static_cast<QWidget*>(framePassword) : Frame2;
        auto* l = named<QLabel>(host, "lblPassword", i);
        l->setText(QString::fromLatin1(pwTexts[i]));
        auto* t = named<QLineEdit>(host, "txtPasswort", i);
        t->setEchoMode(QLineEdit::Password);
        t->setMaxLength(8);
        t->setMinimumWidth(t->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDDDD")));
        t->setEnabled(false);
        l->setEnabled(false);
        lblPassword.append(l);
        txtPasswort.append(t);
        if (i == 0) {
            pw->addWidget(l, 1, 0);
            pw->addWidget(t, 1, 1);
        } else {
            f2->addWidget(l, 0, 2 * (i - 1));
            f2->addWidget(t, 0, 2 * (i - 1) + 1);
        }
    }
    btTagPassword = named<QPushButton>(Frame2, "btTagPassword");
    btTagPassword->setText(QStringLiteral("Tag-Passwort setzen"));
    btTagPassword->setEnabled(false);
    f2->addWidget(btTagPassword, 0, 4);
    pw->addWidget(Frame2, 0, 2, 2, 1);
    pw->setColumnStretch(3, 1);
    grid->addWidget(framePassword, 1, 0, 1, 3);

    // Handlers. Combo boxes react to the user's choice; Fill runs the handlers itself.
    connect(btRead, &QPushButton::clicked, this, &frmSystemKR::btRead_Click);
    connect(btFixcode, &QPushButton::clicked, this, &frmSystemKR::btFixcode_Click);
    connect(btAutoRead, &QPushButton::clicked, this, &frmSystemKR::btAutoRead_Click);
    connect(btStop, &QPushButton::clicked, this, &frmSystemKR::btStop_Click);
    connect(btClear, &QPushButton::clicked, this, &frmSystemKR::btClear_Click);
    connect(btWrite, &QPushButton::clicked, this, &frmSystemKR::btWrite_Click);
    for (int i = 0; i < 2; ++i)
        connect(btConfig[i], &QPushButton::clicked, this, [this, i] { btConfig_Click(i); });
    connect(btTagPassword, &QPushButton::clicked, this, &frmSystemKR::btTagPassword_Click);
    connect(chkPasswort, &QCheckBox::clicked, this, &frmSystemKR::chkPasswort_Click);
    connect(cmbCode, qOverload<int>(&QComboBox::activated), this, [this] { cmbCode_Click(); });
    connect(cmbMode, qOverload<int>(&QComboBox::activated), this, [this] { cmbMode_Click(cmbMode); });
    connect(cmbModeQTI, qOverload<int>(&QComboBox::activated), this, [this] { cmbMode_Click(cmbModeQTI); });
    connect(cmbHeadNumber, qOverload<int>(&QComboBox::activated), this, [this] { cmbHeadNumber_Click(); });
    for (int i = 0; i < 3; ++i) {
        connect(rdDataMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_)
                rdDataMode_Click(i);
        });
    }
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

QWidget* frmSystemKR::container() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

int16_t frmSystemKR::currentSystem() const
{
    if (ctx_.lk)
        return ctx_.lk->CurrentSystemIndex();
    return ctx_.state ? ctx_.state->CurrentSystem : 0;
}

void frmSystemKR::Form_Load()
{
    proto_.LoadSettings();
    // The system's further tag types first, so a stored QTX11/12/14 finds its entry.
    FillTagCodes();
    Fill();
    SetLanguage();

    const int16_t system = currentSystem();
    framePassword->setVisible(system == 2 || system == 3);
    frameConfig->setVisible(system == 2 || system == 3);
    frameHeadNumber->hide();
    btAutoRead->show();
    cmbModeQTI->hide();
    cmbMode->show();

    adjustSize();
    if (QWidget* host = container())
        host->adjustSize();
    if (ctx_.placement)
        ctx_.placement->RestoreWindowPos(this);
    applyMinimumSize();
    FillTagCodes();
    loaded_ = true;
}

void frmSystemKR::applyMinimumSize()
{
    // The window never gets smaller than its controls need (a stored or default placement
    // may be smaller); the password frame's height counts only while it is shown.
    setMinimumSize(minimumSizeHint());
    if (QWidget* host = container()) {
        host->setMinimumSize(host->minimumSizeHint().expandedTo(minimumSize()));
        host->resize(host->size().expandedTo(host->minimumSize()));
    } else {
        resize(size().expandedTo(minimumSize()));
    }
}

void frmSystemKR::Show()
{
    if (!loaded_)
        Form_Load();
    if (QWidget* host = container()) {
        host->showNormal();
        show();
        host->raise();
    } else {
        showNormal();
        raise();
    }
}

void frmSystemKR::Form_QueryUnload()
{
    proto_.SaveHeadNumber();
    btStop_Click();
    if (ctx_.frame)
        ctx_.frame->setMenuChecked(MenuEntry::OrvidWindow, false);
    if (ctx_.placement)
        ctx_.placement->SaveWindowPos(this);
}

void frmSystemKR::Unload()
{
    if (loaded_) {
        Form_QueryUnload();
        loaded_ = false;
    }
    hide();
    if (QWidget* host = container())
        host->hide();
}

void frmSystemKR::closeEvent(QCloseEvent* event)
{
    if (loaded_) {
        Form_QueryUnload();
        loaded_ = false;
    }
    event->accept();
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
    const QString section = Name();
    auto tr = [&](const char* key, const QString& text) {
        return lang ? lang->Translate(section, QString::fromLatin1(key), text) : text;
    };
    controlLabels_.clear();
    for (const LabelDefault& l : controlDefaults())
        controlLabels_ << tr(l.key, l.text);
    protectLabels_.clear();
    for (const LabelDefault& l : protectDefaults())
        protectLabels_ << tr(l.key, l.text);
    headText_ = tr("Head", QStringLiteral("Kopf"));
    notAvailableText_ = tr("NotAvailable", QStringLiteral("-/-"));
    onText_ = tr("On", QStringLiteral("Ein"));
    offText_ = tr("Off", QStringLiteral("Aus"));
    proto_.StatusPrefix = tr("ErrorStr", QStringLiteral("STATUS:"));
    proto_.NoHeadText = tr("NoHead", QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    SetRWFrameTitle(QString::fromLatin1(getItem(1).toByteArray()));
}

void frmSystemKR::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? proto_.NoHeadText : title);
}

// ---- data items -----------------------------------------------------------------------

void frmSystemKR::putItem(int16_t id, const QVariant& value)
{
    // The handlers go through the link, as every other caller does; a window that is not
    // the current one (not selected yet) keeps its items itself.
    if (ctx_.lk && ctx_.lk->CurrentWindow() == static_cast<ISystemForm*>(this))
        ctx_.lk->LkPutData(id, value);
    else
        PutData(id, value);
}

QVariant frmSystemKR::getItem(int16_t id) const
{
    QVariant v;
    if (id >= 1 && id <= 3) {
        if (ctx_.lk)
            ctx_.lk->LkGetData(id, v);
        return v;
    }
    proto_.GetData(id, v);
    return v;
}

void frmSystemKR::PutData(int16_t id, const QVariant& value)
{
    if (!proto_.PutData(id, value))
        return;
    if (id == 104)
        adaptToTagcode();
}

void frmSystemKR::GetData(int16_t id, QVariant& value)
{
    if (id == 108) {
        value = frameMode->isEnabled();
        return;
    }
    if (id == 109) {
        value = !frameHeadNumber->isHidden();
        return;
    }
    proto_.GetData(id, value);
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
    const int16_t tag = proto_.Tagcode;
    const bool password = tag == TagCode::QTX03 || tag == TagCode::QTX12;
    setPasswordControlsEnabled(password);
    const bool fixed = tag == TagCode::QTX10;
    if (fixed) {
        txtAddress->setText(QStringLiteral("0000"));
        txtLength->setText(QStringLiteral("012"));
        putItem(101, 0);
        putItem(102, 12);
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
    for (const TagType& t : KRWindowExtraTagTypes(currentSystem())) {
        if (SelectComboItem(cmbCode, t.code, -1, false) < 0)
            AddComboItem(cmbCode, t.name, t.code);
    }
}

void frmSystemKR::Fill()
{
    filling_ = true;
    // Read before the tag type adapts the password controls (which sets item 105 from the
    // box): the stored flag must survive into the box.
    const bool passwordFlag = getItem(105).toBool();

    SetRWFrameTitle(QString::fromLatin1(getItem(1).toByteArray()));

    {
        QSignalBlocker block(cmbCode);
        SelectComboItem(cmbCode, static_cast<int16_t>(getItem(104).toInt()), 0);
    }
    cmbCode_Click();

    frameMode->setEnabled(true);
    cmbMode->setEnabled(true);
    cmbModeQTI->setEnabled(true);
    const auto mode = static_cast<int16_t>(getItem(100).toInt());
    {
        QSignalBlocker b1(cmbMode), b2(cmbModeQTI);
        SelectComboItem(cmbMode, mode, 0);
        SelectComboItem(cmbModeQTI, mode, 0);
    }
    cmbMode_Click(cmbMode);

    if (proto_.Tagcode != TagCode::QTX10) {
        txtAddress->setText(QString::fromLatin1(HexString(getItem(101).toLongLong() & 0xFFFF, "0000")));
        txtLength->setText(QStringLiteral("%1").arg(getItem(102).toInt(), 3, 10, QLatin1Char('0')));
    }

    int rep = getItem(103).toInt();
    if (rep < 0 || rep >= rdDataMode.size())
        rep = 0;
    rdDataMode[rep]->setChecked(true);
    rdDataMode_Click(rep);

    if (chkPasswort->isChecked() != passwordFlag) {
        chkPasswort->setChecked(passwordFlag);
        chkPasswort_Click();
    }

    const QString head = getItem(106).toString();
    const int16_t headData = head.compare(QLatin1String("x"), Qt::CaseInsensitive) == 0
        ? int16_t(0) : CInt16(Val(head));
    const int16_t index = SelectComboItem(cmbHeadNumber, headData, -1, false);
    if (index >= 0) {
        QSignalBlocker block(cmbHeadNumber);
        cmbHeadNumber->setCurrentIndex(index);
    }
    filling_ = false;
}

// ---- control handlers -----------------------------------------------------------------

void frmSystemKR::cmbCode_Click()
{
    putItem(104, GetComboItemData(cmbCode));
}

void frmSystemKR::cmbMode_Click(QComboBox* list)
{
    putItem(100, GetComboItemData(list));
}

void frmSystemKR::cmbHeadNumber_Click()
{
    const int16_t v = GetComboItemData(cmbHeadNumber);
    putItem(106, v != 0 ? QString::number(v) : QStringLiteral("x"));
}

void frmSystemKR::rdDataMode_Click(int index)
{
    putItem(103, index);
    ctrlList->Format(index + 1);
}

void frmSystemKR::txtAddress_LostFocus()
{
    // Unsigned: 8000..FFFF are ordinary addresses.
    const qint64 v = static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(v, "0000")));
    putItem(101, static_cast<int>(v));
}

void frmSystemKR::txtLength_LostFocus()
{
    const int16_t v = CInt16(Val(txtLength->text()));
    txtLength->setText(QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0')));
    putItem(102, v);
}

void frmSystemKR::chkPasswort_Click()
{
    if (!chkPasswort->isEnabled())
        return;
    const bool on = chkPasswort->isChecked();
    PutData(105, on);
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

bool frmSystemKR::refuseWhileBusy()
{
    // Another exchange (a poll step, a read this window started) is waiting for the
    // device: starting one inside its wait would steal or mix up the replies.
    if (ctx_.lk && ctx_.lk->Busy()) {
        QApplication::beep();
        return true;
    }
    return false;
}

void frmSystemKR::btRead_Click()
{
    if (readGuard_ || refuseWhileBusy())
        return;
    readGuard_ = true;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    proto_.ReadData(true);
    readGuard_ = false;
}

void frmSystemKR::btFixcode_Click()
{
    if (refuseWhileBusy())
        return;
    // Poll ticks must not run inside the read's waits (they would take its reply); the
    // automatic reading goes on afterwards as before.
    const bool wasPolling = ctx_.lk ? ctx_.lk->EnablePolling(false) : false;
    const bool wasAuto = proto_.AutoRead;
    const int stops = proto_.StopCount();
    proto_.AutoRead = false;
    proto_.ReadData(false);
    // A Stop pressed during the read keeps everything off.
    if (proto_.StopCount() != stops)
        return;
    proto_.AutoRead = wasAuto;
    // A repeated read (Buffered, Enhanced) switched polling on to collect its replies.
    if (ctx_.lk && !ctx_.lk->PollTimerEnabled())
        ctx_.lk->EnablePolling(wasPolling);
}

void frmSystemKR::btAutoRead_Click()
{
    proto_.AutoRead = true;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(true);
    txtAddress->setText(QStringLiteral("0000"));
    txtLength->setText(QStringLiteral("%1").arg(proto_.AutoSRLength, 3, 10, QLatin1Char('0')));
    putItem(101, 0);
    putItem(102, proto_.AutoSRLength);
}

void frmSystemKR::btStop_Click()
{
    proto_.NoteStop();
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    proto_.AutoRead = false;
    // While an exchange waits, sending now would flush its reply away: the device is told
    // to stop as soon as that exchange has ended.
    if (ctx_.lk && ctx_.lk->Busy()) {
        queueStop();
        return;
    }
    stopTimer_->stop();
    proto_.StopBuffered();
}

void frmSystemKR::queueStop()
{
    // Checked every few milliseconds rather than only when a wait ends: an exchange may
    // end without another wait, and a wait of zero length reports nothing.
    if (!stopTimer_->isActive())
        stopTimer_->start();
}

void frmSystemKR::sendQueuedStop()
{
    if (ctx_.lk && ctx_.lk->Busy())
        return;
    stopTimer_->stop();
    // Another system selected meanwhile has had its own "QU" from the link.
    if (ctx_.lk && ctx_.lk->CurrentWindow() != static_cast<ISystemForm*>(this))
        return;
    proto_.StopBuffered();
}

void frmSystemKR::btClear_Click()
{
    ctrlList->Clear();
}

void frmSystemKR::btWrite_Click()
{
    if (refuseWhileBusy())
        return;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    if (proto_.Tagcode == TagCode::QTX11 || proto_.Tagcode == TagCode::QTX14) {
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

// ---- configuration words --------------------------------------------------------------

int16_t frmSystemKR::readWord(const QByteArray& command, QByteArray& word, bool& answered)
{
    QByteArray reply;
    bool ok = false;
    const int16_t n = proto_.SendCommandExpect(command, reply, krconfig::kWordBytes, QVariant(), ok);
    word.clear();
    answered = false;
    if (n < 0) {
        if (ctx_.state && ctx_.state->ReadHeadError)
            ShowData(1, QByteArray(), ToCp1252(proto_.GetError(reply)));
    } else if (ok) {
        answered = true;
        // Only a whole word can be decoded or written back.
        if (reply.size() == krconfig::kWordBytes)
            word = reply;
    }
    return n;
}

bool frmSystemKR::ReadConfiguration(QByteArray& controlWord, QByteArray& protectionWord)
{
    controlWord.clear();
    protectionWord.clear();
    wordCut_ = false;
    if (!ctx_.lk)
        return false;
    QByteArray reply;
    bool ok = false;
    const KRProtocol::Commands& c = proto_.cmd();
    ctx_.lk->SendCommand(c.Quit, reply, QVariant(), ok);
    if (!proto_.SetPasswordMode(false, QByteArray()))
        return false;
    ctx_.lk->SendCommand(c.ChangeTag + twoDigits(proto_.Tagcode), reply, QVariant(), ok);
    bool controlAnswered = false, protectionAnswered = false;
    readWord(c.GetConfig + "2", controlWord, controlAnswered);
    readWord(c.GetConfig + "1", protectionWord, protectionAnswered);
    // A good answer that does not hold a whole word cannot be decoded.
    wordCut_ = (controlAnswered && controlWord.isEmpty()) || (protectionAnswered && protectionWord.isEmpty());
    return true;
}

void frmSystemKR::reportFailure(const QByteArray& reply, bool answered)
{
    // A write the device refused (or never answered) is always reported: its status line
    // when it sent one, and the message that the tag was not written.
    if (answered)
        ShowData(1, QByteArray(), ToCp1252(proto_.GetError(reply)));
    if (ctx_.language)
        ctx_.language->ShowMessage(4);
}

bool frmSystemKR::writeWord(const QByteArray& command, const QByteArray& word)
{
    QByteArray reply;
    bool ok = false;
    const int16_t n = ctx_.lk->SendCommand(command + word, reply, QVariant(), ok);
    if (ok && n >= 0)
        return true;
    if (ok)
        ShowData(1, QByteArray(), ToCp1252(proto_.GetError(reply)));
    return false;
}

bool frmSystemKR::WriteConfiguration(const QByteArray& controlWord, const QByteArray& protectionWord)
{
    // Only whole words go to the tag: a word that was never read (or came back cut) is
    // never replaced by zeros, and half a configuration is not written either.
    if (controlWord.size() != krconfig::kWordBytes || protectionWord.size() != krconfig::kWordBytes) {
        if (ctx_.language)
            ctx_.language->ShowMessage(61);
        return false;
    }
    if (!ctx_.lk)
        return false;
    QByteArray reply;
    bool ok = false;
    const KRProtocol::Commands& c = proto_.cmd();
    ctx_.lk->SendCommand(c.Quit, reply, QVariant(), ok);
    if (!proto_.SetPasswordMode(false, QByteArray()))
        return false;
    ctx_.lk->SendCommand(c.ChangeTag + twoDigits(proto_.Tagcode), reply, QVariant(), ok);
    // The second word is written even when the first was refused; one message for both.
    const bool protection = writeWord(c.SetConfig + "1", protectionWord);
    const bool control = writeWord(c.SetConfig + "2", controlWord);
    if (protection && control)
        return true;
    if (ctx_.language)
        ctx_.language->ShowMessage(4);
    return false;
}

QStringList frmSystemKR::ConfigurationLines(const QByteArray& controlWord,
                                            const QByteArray& protectionWord) const
{
    QStringList lines;
    quint32 value = 0;
    if (krconfig::WordValue(controlWord, value))
        lines += krconfig::ControlWordLines(value, controlLabels_, onText_, offText_);
    if (krconfig::WordValue(protectionWord, value))
        lines += krconfig::ProtectionWordLines(value, protectLabels_);
    return lines;
}

void frmSystemKR::btConfig_Click(int index)
{
    if (refuseWhileBusy())
        return;
    // Poll ticks inside these exchanges would take the words' replies (or hand the
    // automatic read's data over as a word); both go on afterwards as before.
    const bool wasPolling = ctx_.lk ? ctx_.lk->EnablePolling(false) : false;
    const bool wasAuto = proto_.AutoRead;
    const int stops = proto_.StopCount();
    proto_.AutoRead = false;
    SetBusy(true);

    QByteArray control, protection;
    if (ReadConfiguration(control, protection)) {
        if (index == 0) {
            for (const QString& line : ConfigurationLines(control, protection))
                ShowData(1, QByteArray(), ToCp1252(line));
            if (wordCut_ && ctx_.language)
                ctx_.language->ShowMessage(61);
        } else {
            SetBusy(false);
            const bool write = configDialog ? configDialog(control, protection)
                                            : frmConfigKR::ShowDialog(ctx_, control, protection, this);
            SetBusy(true);
            if (write)
                WriteConfiguration(control, protection);
        }
    }

    SetBusy(false);
    // A Stop pressed while the words were exchanged keeps everything off.
    if (proto_.StopCount() != stops)
        return;
    proto_.AutoRead = wasAuto;
    if (ctx_.lk)
        ctx_.lk->EnablePolling(wasPolling);
}

// ---- tag password ---------------------------------------------------------------------

void frmSystemKR::btTagPassword_Click()
{
    if (txtPasswort[1]->text() != txtPasswort[2]->text()) {
        if (ctx_.language)
            ctx_.language->ShowMessage(60);
        return;
    }
    if (refuseWhileBusy() || !ctx_.lk)
        return;
    quint32 oldValue = 0, newValue = 0;
    // Both passwords must be numbers the user meant: 1 to 8 hex digits.
    for (int i = 0; i < 2; ++i) {
        if (!KRProtocol::ParsePassword(txtPasswort[i]->text(), i == 0 ? oldValue : newValue)) {
            QApplication::beep();
            txtPasswort[i]->setFocus();
            return;
        }
    }
    btStop_Click();
    QByteArray reply;
    bool ok = false;
    const KRProtocol::Commands& c = proto_.cmd();
    ctx_.lk->SendCommand(c.ChangeTag + twoDigits(proto_.Tagcode), reply, QVariant(), ok);
    const int16_t n = ctx_.lk->SendCommand(c.PasswordChange + MKL(static_cast<qint32>(oldValue))
                                               + MKL(static_cast<qint32>(newValue)),
                                           reply, QVariant(), ok);
    // Only a password the tag took becomes the current one; a refusal is always reported.
    if (ok && n >= 0)
        txtPasswort[0]->setText(QString::number(newValue, 16).toUpper());
    else
        reportFailure(reply, ok);
}

// ---- link side ------------------------------------------------------------------------

Menues frmSystemKR::CommandList()
{
    return proto_.CommandList();
}

bool frmSystemKR::Check()
{
    return proto_.Check();
}

QString frmSystemKR::Poll(const QVariant& a, const QVariant& b)
{
    return QString::fromLatin1(proto_.Poll(a, b));
}

void frmSystemKR::CloseLK()
{
    proto_.CloseLK();
}

void frmSystemKR::Init(bool)
{
    proto_.Init();
}

QByteArray frmSystemKR::SetLKString(const QByteArray& command, const QByteArray& suffix)
{
    // Every telegram flushes the input first: replies kept for later are stale now.
    proto_.DropKeptReplies();
    return KRProtocol::SetLKString(command, suffix);
}

int16_t frmSystemKR::GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption)
{
    return KRProtocol::GetLKResult(reply, length, logOption);
}

void frmSystemKR::StopBuffered()
{
    // As the Stop button: a read waiting for its first reply leaves polling off, and the
    // "QU" never goes out inside a running wait.
    proto_.NoteStop();
    if (ctx_.lk && ctx_.lk->Busy()) {
        queueStop();
        return;
    }
    proto_.StopBuffered();
}

bool frmSystemKR::WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                           const QByteArray& data, const QByteArray& head)
{
    return proto_.WriteTag(tagCode, mode, fixcode, address, length, data, head);
}

bool frmSystemKR::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    return proto_.WriteQTX11Fixcode(mode, writeProtect, fixcode);
}

// ---- view side ------------------------------------------------------------------------

void frmSystemKR::ShowData(int kind, const QByteArray& caption, const QByteArray& data)
{
    ctrlList->ShowData(kind, caption, data);
}

bool frmSystemKR::PasswordChecked() const
{
    return chkPasswort->isChecked();
}

QString frmSystemKR::PasswordText() const
{
    return txtPasswort[0]->text();
}

void frmSystemKR::SetBusy(bool busy)
{
    if (busy) {
        ++busyDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        --busyDepth_;
        QApplication::restoreOverrideCursor();
    }
}

} // namespace orvid
