#include "frmSystemL.h"

#include "families/common/Exchange.h"
#include "frmSystemLWrite.h"
#include "frmSystemWLIO.h"
#include "families/common/DataItems.h"
#include "families/common/FormControls.h"
#include "families/common/TagDataList.h"
#include "foundations/Cp1252.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "shell/ByteTextEdit.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
const char* const kHexChars = "0123456789abcdefABCDEF";
} // namespace

frmSystemL::frmSystemL(AppContext& ctx, QWidget* parent) : FamilyForm(ctx, QStringLiteral("frmSystemL"), parent)
{
    auto protocol = std::make_unique<WLProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-M System L (Valdrecht Talk)"));
    buildControls();
    connectControls();
}

frmSystemL::~frmSystemL() = default;

void frmSystemL::buildControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    frameHead->setProperty("langTag", QStringLiteral("NOLANG"));
    outer->addWidget(frameHead);
    auto* grid = new QGridLayout(frameHead);

    // Top row: the radio settings and the configuration listing.
    auto* top = new QHBoxLayout;
    cmbTagSpeed = FramedControl<QComboBox>(frameHead, top, frameSpeed, "frameSpeed", QStringLiteral("Geschw."), "cmbTagSpeed");
    cmbTagSpeed->addItems({QStringLiteral("1"), QStringLiteral("2")});
    cmbBitrate = FramedControl<QComboBox>(frameHead, top, frameBitrate, "frameBitrate", QStringLiteral("Bitrate"), "cmbBitrate");
    cmbBitrate->addItems({QStringLiteral("niedrig"), QStringLiteral("hoch")});
    cmbRange = FramedControl<QComboBox>(frameHead, top, frameRange, "frameRange", QStringLiteral("Reichw."), "cmbRange");
    cmbRange->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    cmbRange->setProperty("langTag", QStringLiteral("NOLANG"));
    cmbTagSpeed->setProperty("langTag", QStringLiteral("NOLANG"));
    txtFrequency = FramedControl<QLineEdit>(frameHead, top, frameFrequency, "frameFrequency", QStringLiteral("Freq."), "txtFrequency");
    txtFrequency->setText(QStringLiteral("50"));
    txtFrequency->setMaxLength(3);
    btConfig = FramedControl<QPushButton>(frameHead, top, frameConfig, "frameConfig", QStringLiteral("Konfig"), "btConfig");
    btConfig->setText(QStringLiteral("L&esen"));
    top->addStretch(1);
    grid->addLayout(top, 0, 0, 1, 3);

    // Left: mode, address, length, representation.
    auto* left = new QVBoxLayout;
    cmbMode = FramedControl<QComboBox>(frameHead, left, frameMode, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    cmbMode->addItems({QStringLiteral("Single"), QStringLiteral("Buffered"), QStringLiteral("Auto")});
    txtAddress = FramedControl<QLineEdit>(frameHead, left, frameAddress, "frameAddress", QStringLiteral("Adresse (Hex.)"), "txtAddress");
    txtAddress->setText(QStringLiteral("0000"));
    txtAddress->setMaxLength(4);
    txtLength = FramedControl<QLineEdit>(frameHead, left, frameLength, "frameLength", QStringLiteral("Länge"), "txtLength");
    txtLength->setText(QStringLiteral("000"));
    // Three digits: at most 251 words, so the count always fits its two hex digits.
    txtLength->setMaxLength(3);
    Frame1 = NamedControl<QGroupBox>(frameHead, "Frame1");
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    rdDataMode = ByteTextEdit::CreateOptions(Frame1, new QVBoxLayout(Frame1));
    rdDataMode[0]->setChecked(true);
    left->addWidget(Frame1);
    left->addStretch(1);
    grid->addLayout(left, 1, 0);

    lstTagData = FramedControl<TagDataList>(frameHead, nullptr, frameTagData, "frameTagData", QStringLiteral("Daten"), "lstTagData");
    lstTagData->setMinimumSize(360, 200);
    grid->addWidget(frameTagData, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    auto* right = new QVBoxLayout;
    const struct { QPushButton** button; const char* name; const char* text; } buttons[] = {
        {&btRead, "btRead", "&Lesen"},       {&btFixcode, "btFixcode", "&Fixcode"},
        {&btWrite, "btWrite", "&Schreiben"}, {&btStop, "btStop", "S&top"},
        {&btClear, "btClear", "L&öschen"},
    };
    for (const auto& b : buttons) {
        *b.button = NamedControl<QPushButton>(frameHead, b.name);
        (*b.button)->setText(QString::fromUtf8(b.text));
        right->addWidget(*b.button);
    }
    right->addStretch(1);
    grid->addLayout(right, 1, 2);
}

void frmSystemL::connectControls()
{
    // Stop counts at once; the other buttons talk to the reader or open a dialog.
    const std::pair<QPushButton*, void (frmSystemL::*)()> actions[] = {
        {btRead, &frmSystemL::btRead_Click}, {btFixcode, &frmSystemL::btFixcode_Click},
        {btWrite, &frmSystemL::btWrite_Click}, {btConfig, &frmSystemL::btConfig_Click}};
    ConnectActions(ctx_, this, actions);
    connect(btStop, &QPushButton::clicked, this, &frmSystemL::btStop_Click);
    connect(btClear, &QPushButton::clicked, this, &frmSystemL::btClear_Click);
    for (int i = 0; i < 3; ++i) {
        connect(rdDataMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_)
                putItem(WLItem::DataRepresentation, i);
        });
    }
    connect(cmbMode, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { putItem(WLItem::OperationMode, index); });
    connect(cmbRange, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { putItem(WLItem::Range, index + 1); });
    connect(cmbBitrate, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { putItem(WLItem::BitRate, index + 1); });
    connect(cmbTagSpeed, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { putItem(WLItem::TagSpeed, index + 1); });
    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QString::fromLatin1(kHexChars)); });
    connect(txtLength, &QLineEdit::textChanged, this, [this] { FilterTextBox(txtLength, QStringLiteral("0123456789")); });
    connect(txtFrequency, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtFrequency, QStringLiteral("0123456789")); });
    for (QLineEdit* box : {txtAddress, txtLength, txtFrequency})
        box->installEventFilter(this);
}

// ---- lifecycle --------------------------------------------------------------------------

void frmSystemL::OnLoad()
{
    proto_->LoadSettings();
    filling_ = true;
    cmbRange->setCurrentIndex(proto_->Range - 1);
    cmbBitrate->setCurrentIndex(proto_->BitRate - 1);
    cmbTagSpeed->setCurrentIndex(proto_->TagSpeed - 1);
    txtFrequency->setText(proto_->Frequency);
    filling_ = false;
    Fill();
    SetLanguage();
}

void frmSystemL::OnUnload()
{
    btStop_Click();
    // A write's progress (and its hourglass) does not outlive the window.
    if (writeRunning_) {
        proto_->WriteProgress = 0;
        SetWriteRunning(false);
    }
    proto_->SaveSettings();
}

bool frmSystemL::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn) {
        SelectAllTextBox(box);
    } else if (box && event->type() == QEvent::FocusOut) {
        if (box == txtAddress)
            txtAddress_LostFocus();
        else if (box == txtLength)
            txtLength_LostFocus();
        else if (box == txtFrequency)
            txtFrequency_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void frmSystemL::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    auto tr = [this](const char* key, const QString& text) { return proto_->Translate(QString::fromLatin1(key), text); };
    proto_->StatusPrefix = tr("ErrorStr", QStringLiteral("STATUS:"));
    proto_->NoHeadText = tr("NoHead", QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemL::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? proto_->NoHeadText : title);
}

void frmSystemL::Fill()
{
    filling_ = true;
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
    const int mode = getItem(WLItem::OperationMode).toInt();
    if (mode >= 0 && mode < cmbMode->count())
        cmbMode->setCurrentIndex(mode);
    txtAddress->setText(QString::fromLatin1(HexString(getItem(WLItem::StartAddress).toLongLong() & 0xFFFF, "0000")));
    txtLength->setText(QStringLiteral("%1").arg(getItem(WLItem::DataLength).toInt(), 3, 10, QLatin1Char('0')));
    const int rep = getItem(WLItem::DataRepresentation).toInt();
    if (rep >= 0 && rep < rdDataMode.size())
        rdDataMode[rep]->setChecked(true);
    filling_ = false;
}

// ---- view -------------------------------------------------------------------------------

void frmSystemL::AddData(int kind, const QByteArray& caption, const QByteArray& data)
{
    if (kind == 1)
        lstTagData->AddText(FromCp1252(caption + data));
    else
        lstTagData->AddLine(FromCp1252(caption), data);
}

void frmSystemL::AppendToLastLine(const QByteArray& text)
{
    // The write's progress line: it goes and comes back longer, as the newest line.
    const int last = lstTagData->count() - 1;
    if (last < 0)
        return;
    const QString line = lstTagData->LineText(last) + FromCp1252(text);
    delete lstTagData->takeItem(last);
    lstTagData->AddText(line);
}

void frmSystemL::SetWriteRunning(bool running)
{
    // While the unit reports a write's progress, every reply belongs to that write: a read
    // started meanwhile would have its data taken as a progress tick and lost.
    for (QPushButton* button : {btWrite, btStop, btRead, btFixcode, btConfig})
        button->setEnabled(!running);
    // The hourglass from the write dialog's OK until the progress ends.
    if (running != writeRunning_) {
        writeRunning_ = running;
        SetBusy(running);
    }
}

int frmSystemL::LineWidth() const
{
    const int blank = std::max(1, QFontMetrics(lstTagData->font()).horizontalAdvance(QLatin1Char(' ')));
    return std::max(4, lstTagData->viewport()->width() / blank - 2);
}

frmSystemWLIO* frmSystemL::io() const
{
    return ioWindow ? ioWindow() : nullptr;
}

bool frmSystemL::IOAutoRefresh() const
{
    const frmSystemWLIO* w = io();
    return w && w->AutoRefresh();
}

// ---- host of the I/O window -------------------------------------------------------------

void frmSystemL::OutputSet()
{
    const frmSystemWLIO* w = io();
    if (!w)
        return;
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (!scope)
        return;
    proto_->OutputSet(w->OutputChecked(0), w->OutputChecked(1));
}

void frmSystemL::InputSet()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (scope)
        readInputs();
}

void frmSystemL::readInputs()
{
    frmSystemWLIO* w = io();
    if (!w)
        return;
    const std::optional<WLIOState> state = proto_->InputSet();
    if (state)
        w->SetLamps(state->inputs, state->outputs);
    else
        w->ClearLamps();
}

void frmSystemL::ScanEnable(bool flag)
{
    proto_->ScanEnable(flag);
}

// ---- handlers ---------------------------------------------------------------------------

void frmSystemL::txtAddress_LostFocus()
{
    const qint64 v = static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(v, "0000")));
    putItem(WLItem::StartAddress, static_cast<int>(v));
}

void frmSystemL::txtLength_LostFocus()
{
    const int v = std::clamp(static_cast<int>(Val(txtLength->text())), 0, WLProtocol::kMaxLength);
    txtLength->setText(QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0')));
    putItem(WLItem::DataLength, v);
}

bool frmSystemL::txtFrequency_LostFocus()
{
    const QString text = WLSettings::FrequencyText(txtFrequency->text());
    if (text.isEmpty()) {
        proto_->ShowMessage(70);
        txtFrequency->setFocus();
        SelectAllTextBox(txtFrequency);
        return false;
    }
    txtFrequency->setText(text);
    putItem(WLItem::Frequency, text);
    return true;
}

void frmSystemL::btRead_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    proto_->ScanEnable(false, false);
    proto_->ReadData(true);
}

void frmSystemL::btFixcode_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    proto_->ScanEnable(false, false);
    proto_->ReadData(false);
}

void frmSystemL::btStop_Click()
{
    // Again when the stop goes out: a read asked for before the Stop may have started by then.
    requestStop([this] { proto_->ScanEnable(false, false); });
}

void frmSystemL::StopBuffered()
{
    // The link's stop (the command window's Stop, its multi-reply Send) ends the reading as
    // Stop does, at once and again when the "QU" goes out. Polling stays off, as the link
    // has switched it: the I/O window's refresh must not take the ticks the command window
    // collects its replies on.
    requestStop([this] {
        proto_->ScanActive = false;
        if (ctx_.lk)
            ctx_.lk->EnablePolling(false);
    });
}

void frmSystemL::btClear_Click()
{
    lstTagData->clear();
}

void frmSystemL::btWrite_Click()
{
    {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
        if (!scope)
            return;
        // A continuous read is stopped as the stop button does: left running while the dialog
        // is open (and after a Cancel) it would answer into a window that no longer takes its
        // replies. With none running nothing goes out: the write sends its own "QU".
        if (proto_->ScanActive)
            btStop_Click();
        else
            proto_->ScanEnable(false, false);
    }
    if (writeDialog)
        writeDialog();
    else
        frmSystemLWrite::ShowDialog(ctx_, this);
}

bool frmSystemL::WriteTag(int16_t intervalType, int16_t intervalLength, const QByteArray& data)
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (!scope)
        return false;
    return proto_->WriteTag(intervalType, intervalLength, data);
}

void frmSystemL::btConfig_Click()
{
    ExchangeScope scope(proto_->Exchanges());
    if (!scope)
        return;
    SetBusy(true);
    proto_->ListConfiguration();
    SetBusy(false);
}

} // namespace orvid
