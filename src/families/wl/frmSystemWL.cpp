#include "frmSystemWL.h"

#include "families/common/Exchange.h"
#include "frmSystemWLIO.h"
#include "frmSystemWLParameter.h"
#include "frmSystemWLState.h"
#include "families/common/DataItems.h"
#include "families/common/FamilySettings.h"
#include "families/common/FormControls.h"
#include "families/common/TagDataList.h"
#include "families/common/frmSystemWLWrite.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace orvid {

namespace {
const QString kDigits = QStringLiteral("0123456789");

// Index stored under key when it lies within the list, else 0.
int storedIndex(const SettingsSection& s, const char* key, int count)
{
    const double v = s.Number(key, "0");
    return std::isfinite(v) && v >= 0 && v < count ? static_cast<int>(v) : 0;
}
} // namespace

frmSystemWL::frmSystemWL(AppContext& ctx, QWidget* parent) : FamilyForm(ctx, QStringLiteral("frmSystemWL"), parent)
{
    auto protocol = std::make_unique<WLFramedProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-M System L"));
    buildControls();
    connectControls();
}

frmSystemWL::~frmSystemWL() = default;

void frmSystemWL::buildControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    frameHead->setProperty("langTag", QStringLiteral("NOLANG"));
    outer->addWidget(frameHead);
    auto* grid = new QGridLayout(frameHead);

    auto* top = new QHBoxLayout;
    cmbPower = FramedControl<QComboBox>(frameHead, top, framePower, "framePower", QStringLiteral("Leistung"), "cmbPower");
    cmbSensitivity = FramedControl<QComboBox>(frameHead, top, frameSensitivity, "frameSensitivity",
                                              QStringLiteral("Empfindlichkeit"), "cmbSensitivity");
    for (QComboBox* box : {cmbPower, cmbSensitivity}) {
        box->addItem(QStringLiteral("Hoch"), 1);
        box->addItem(QStringLiteral("Niedrig"), 0);
    }
    cmbBit = FramedControl<QComboBox>(frameHead, top, frameBit, "frameBit", QStringLiteral("Bitrate"), "cmbBit");
    cmbBit->addItem(QStringLiteral("16 kbps"), 1);
    cmbBit->addItem(QStringLiteral("4 kbps"), 0);
    cmbBit->setProperty("langTag", QStringLiteral("NOLANG"));
    txtFrequency = FramedControl<QLineEdit>(frameHead, top, frameFrequency, "frameFrequency",
                                            QStringLiteral("Frequenz"), "txtFrequency");
    txtFrequency->setMaxLength(3);
    txtFrequency->setText(QStringLiteral("001"));
    top->addStretch(1);
    grid->addLayout(top, 0, 0, 1, 2);

    lstTagData = FramedControl<TagDataList>(frameHead, nullptr, frameTagData, "frameTagData", QStringLiteral("Daten"),
                                            "lstTagData");
    lstTagData->setMinimumSize(360, 200);
    grid->addWidget(frameTagData, 1, 0);

    frameDatabase = NamedControl<QGroupBox>(frameHead, "frameDatabase");
    frameDatabase->setTitle(QStringLiteral("Datenbank"));
    auto* db = new QGridLayout(frameDatabase);
    lstDatabase = NamedControl<QListWidget>(frameDatabase, "lstDatabase");
    lstDatabase->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    db->addWidget(lstDatabase, 0, 0, 1, 4);
    auto* lblDBFixcode = NamedControl<QLabel>(frameDatabase, "lblDBFixcode");
    lblDBFixcode->setText(QStringLiteral("Fixcode"));
    db->addWidget(lblDBFixcode, 1, 0);
    txtDBIdcode = NamedControl<QLineEdit>(frameDatabase, "txtDBIdcode");
    txtDBIdcode->setMaxLength(10); // unsigned 32-bit IDs
    db->addWidget(txtDBIdcode, 1, 1);
    btDBCode = NamedControl<QPushButton>(frameDatabase, "btDBCode");
    btDBCode->setText(QStringLiteral("Code lesen"));
    db->addWidget(btDBCode, 1, 2);
    btNew = NamedControl<QPushButton>(frameDatabase, "btNew");
    btNew->setText(QStringLiteral("Neu"));
    db->addWidget(btNew, 2, 2);
    btDBDelete = NamedControl<QPushButton>(frameDatabase, "btDBDelete");
    btDBDelete->setText(QString::fromUtf8("Löschen"));
    db->addWidget(btDBDelete, 2, 3);
    grid->addWidget(frameDatabase, 1, 0);
    frameDatabase->hide();
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);

    auto* right = new QVBoxLayout;
    const struct { QPushButton** button; const char* name; const char* text; } buttons[] = {
        {&btParameter, "btParameter", "&Parameter"}, {&btRead, "btRead", "&Lesen"},
        {&btWrite, "btWrite", "&Schreiben"},         {&btFixcode, "btFixcode", "&Fixcode"},
        {&btStop, "btStop", "S&top"},                {&btDatabase, "btDatabase", "&Datenbank"},
        {&btClear, "btClear", "L&öschen"},
    };
    for (const auto& b : buttons) {
        *b.button = NamedControl<QPushButton>(frameHead, b.name);
        (*b.button)->setText(QString::fromUtf8(b.text));
        right->addWidget(*b.button);
    }
    right->addStretch(1);
    grid->addLayout(right, 1, 1);
    dbCodeCaption_ = btDBCode->text();
}

void frmSystemWL::connectControls()
{
    // Stop counts at once; the other buttons talk to the reader or open a dialog.
    const std::pair<QPushButton*, void (frmSystemWL::*)()> actions[] = {
        {btRead, &frmSystemWL::btRead_Click},           {btFixcode, &frmSystemWL::btFixcode_Click},
        {btWrite, &frmSystemWL::btWrite_Click},         {btParameter, &frmSystemWL::btParameter_Click},
        {btDatabase, &frmSystemWL::btDatabase_Click},   {btDBCode, &frmSystemWL::btDBCode_Click},
        {btNew, &frmSystemWL::btNew_Click},             {btDBDelete, &frmSystemWL::btDBDelete_Click}};
    ConnectActions(ctx_, this, actions);
    connect(btStop, &QPushButton::clicked, this, &frmSystemWL::btStop_Click);
    connect(btClear, &QPushButton::clicked, this, &frmSystemWL::btClear_Click);
    connect(txtFrequency, &QLineEdit::textChanged, this, [this] { HexKeyFilter(txtFrequency, kDigits); });
    connect(txtDBIdcode, &QLineEdit::textChanged, this, [this] { HexKeyFilter(txtDBIdcode, kDigits); });
    for (QComboBox* box : {cmbPower, cmbSensitivity, cmbBit})
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { applyReaderSettings(); });
    for (QLineEdit* box : {txtFrequency, txtDBIdcode})
        box->installEventFilter(this);
}

// ---- lifecycle --------------------------------------------------------------------------

void frmSystemWL::OnLoad()
{
    const SettingsSection s(ctx_, kSettings);
    cmbSensitivity->setCurrentIndex(storedIndex(s, "Sensitivity", cmbSensitivity->count()));
    cmbPower->setCurrentIndex(storedIndex(s, "Power", cmbPower->count()));
    cmbBit->setCurrentIndex(storedIndex(s, "Bit", cmbBit->count()));
    txtFrequency->setText(s.Read("Frequency", QStringLiteral("1")));
    txtFrequency_LostFocus();
    showTagList();
    SetLanguage();
    btParameter->setEnabled(!proto_->ReaderParameters.isEmpty() || proto_->NormalMode);
    ModeChanged(proto_->NormalMode);
}

void frmSystemWL::OnUnload()
{
    btStop_Click();
    SettingsSection s(ctx_, kSettings);
    s.Write("Sensitivity", QString::number(cmbSensitivity->currentIndex()));
    s.Write("Power", QString::number(cmbPower->currentIndex()));
    s.Write("Bit", QString::number(cmbBit->currentIndex()));
    s.Write("Frequency", txtFrequency->text());
}

bool frmSystemWL::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    else if (box == txtFrequency && event->type() == QEvent::FocusOut)
        txtFrequency_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void frmSystemWL::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    auto tr = [this](const char* key, const QString& text) { return proto_->Translate(QString::fromLatin1(key), text); };
    proto_->WriteActiveText = tr("WriteStr0", QStringLiteral("Tag schreiben aktiv"));
    proto_->WriteDoneText = tr("WriteStr1", QStringLiteral("Tag erfolgreich beschrieben"));
    proto_->WriteErrorText = tr("WriteStr2", QStringLiteral("Tag Schreibfehler"));
    proto_->ParameterFailedText = tr("ParameterFailed", QStringLiteral("Parameter wurden nicht geschrieben"));
    noEntriesText_ = tr("NoEntries", QStringLiteral("Keine Einträge gefunden"));
    readErrorText_ = tr("ReadError", QStringLiteral("Allgemeiner Lesefehler"));
    const QString type = QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray());
    frameHead->setTitle(type.isEmpty() ? tr("NoHead", QStringLiteral("Kein Schreib/Lesekopf vorhanden")) : type);
}

// ---- view -------------------------------------------------------------------------------

void frmSystemWL::AddData(int kind, const QByteArray& caption, const QByteArray& data)
{
    // An empty line is not added.
    if (caption.isEmpty() && data.isEmpty())
        return;
    if (kind == 1)
        lstTagData->AddText(FromCp1252(caption + data));
    else
        lstTagData->AddLine(FromCp1252(caption), data);
}

void frmSystemWL::ModeChanged(bool normalMode)
{
    for (QPushButton* button : {btRead, btFixcode, btStop, btDatabase})
        button->setEnabled(!normalMode);
    setWindowTitle(normalMode ? QStringLiteral("ORVID-M System L (Normal-Mode)")
                              : QStringLiteral("ORVID-M System L (Morsek-Mode)"));
}

void frmSystemWL::SetParameterEnabled(bool enabled)
{
    btParameter->setEnabled(enabled);
}

void frmSystemWL::SetWriteRunning(bool running)
{
    btWrite->setEnabled(!running);
    btStop->setEnabled(!running && !proto_->NormalMode);
}

void frmSystemWL::ShowDbCode(const QString& id)
{
    txtDBIdcode->setText(id);
}

void frmSystemWL::DbCodeModeChanged(bool on)
{
    btDBCode->setText(on ? btStop->text() : dbCodeCaption_);
}

void frmSystemWL::showTagList()
{
    frameDatabase->hide();
    frameTagData->show();
}

void frmSystemWL::applyReaderSettings()
{
    proto_->Power = static_cast<char>(cmbPower->currentData().toInt());
    proto_->Sensitivity = static_cast<char>(cmbSensitivity->currentData().toInt());
    proto_->Bit = static_cast<char>(cmbBit->currentData().toInt());
}

// ---- hosts of the small windows -----------------------------------------------------------

void frmSystemWL::ScanEnable(bool flag)
{
    // A small window's change of refresh ends "Code lesen", and so the reading it started.
    const bool codeReading = proto_->DbCodeMode;
    scanEnable(flag);
    if (codeReading)
        requestStop();
}

void frmSystemWL::scanEnable(bool flag)
{
    if (Loaded())
        showTagList();
    proto_->ScanEnable(flag);
}

bool frmSystemWL::AutoRefresh() const
{
    const frmSystemWLIO* io = ioWindow ? ioWindow() : nullptr;
    const frmSystemWLState* state = stateWindow ? stateWindow() : nullptr;
    return (io && io->AutoRefresh()) || (state && state->AutoRefresh());
}

void frmSystemWL::RefreshSmallWindows()
{
    const frmSystemWLIO* io = ioWindow ? ioWindow() : nullptr;
    const frmSystemWLState* state = stateWindow ? stateWindow() : nullptr;
    if (io && io->AutoRefresh())
        readInputs();
    if (state && state->AutoRefresh())
        readStatus();
}

void frmSystemWL::OutputSet()
{
    frmSystemWLIO* io = ioWindow ? ioWindow() : nullptr;
    if (!io)
        return;
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (scope)
        proto_->OutputSet(io->OutputChecked(0), io->OutputChecked(1));
}

void frmSystemWL::InputSet()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (scope)
        readInputs();
}

void frmSystemWL::readInputs()
{
    frmSystemWLIO* io = ioWindow ? ioWindow() : nullptr;
    if (!io)
        return;
    const auto lit = proto_->InputSet();
    if (!lit) {
        io->ClearLamps();
        return;
    }
    io->SetLamps({(*lit)[0], (*lit)[1], (*lit)[2]}, {(*lit)[3], (*lit)[4]});
}

void frmSystemWL::StatusSet(const QString&)
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (scope)
        readStatus();
}

void frmSystemWL::readStatus()
{
    frmSystemWLState* state = stateWindow ? stateWindow() : nullptr;
    if (!state)
        return;
    const wlframed::Status s = proto_->StatusSet().value_or(wlframed::Status{});
    state->SetStateLamp(0, s.state & 0x40);
    state->SetStateLamp(1, s.state & 0x20);
    const int errorBits[] = {0, 1, 2, 3, 5, 6, 7};
    for (int i = 0; i < 7; ++i)
        state->SetErrorLamp(i, s.error & (1 << errorBits[i]));
}

// ---- handlers ---------------------------------------------------------------------------

void frmSystemWL::txtFrequency_LostFocus()
{
    const double v = Val(txtFrequency->text());
    const int channel = std::clamp(static_cast<int>(std::isfinite(v) ? v : 1), 1, 100);
    txtFrequency->setText(QStringLiteral("%1").arg(channel, 3, 10, QLatin1Char('0')));
    proto_->Frequency = channel;
}

void frmSystemWL::endReading()
{
    proto_->ScanActive = false;
    scanEnable(false);
}

void frmSystemWL::btStop_Click()
{
    // Again when the stop goes out: a read asked for before the Stop may have started by then.
    requestStop([this] { endReading(); });
}

void frmSystemWL::StopBuffered()
{
    // The link's stop (the command window's Stop, its multi-reply Send) ends the reading and
    // "Code lesen" as Stop does, at once and again when "CN" and "DB" go out. Polling stays
    // off, as the link has switched it: the small windows' refresh must not take the ticks
    // the command window collects its replies on.
    requestStop([this] {
        proto_->EndReading();
        if (ctx_.lk)
            ctx_.lk->EnablePolling(false);
    });
}

void frmSystemWL::btRead_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    proto_->StopReading();
    applyReaderSettings();
    proto_->ReadData(false);
    showTagList();
}

void frmSystemWL::btFixcode_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    proto_->StopReading();
    applyReaderSettings();
    proto_->ReadData(true);
    showTagList();
}

void frmSystemWL::btWrite_Click()
{
    WLWriteValues values;
    {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
        if (!scope)
            return;
        // Stop as the stop button does: the tag list comes back for the write's progress
        // and "Code lesen" ends, so no later reading lands in the database box.
        endReading();
        proto_->StopReading();
    }
    const bool ok = writeDialog ? writeDialog(values) : frmSystemWLWrite::ShowDialog(ctx_, values, lastId_);
    if (!ok)
        return;
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (scope)
        proto_->WriteTag(values);
}

void frmSystemWL::btClear_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (!scope)
        return;
    proto_->Clear();
    lstTagData->clear();
}

void frmSystemWL::btParameter_Click()
{
    btStop_Click();
    if (parameterDialog) {
        parameterDialog();
        return;
    }
    frmSystemWLParameter dialog(ctx_, proto_->ReaderParameters, ctx_.mainWindow);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (scope)
        proto_->SetReaderVariables(dialog.Result(), true);
}

void frmSystemWL::btDatabase_Click()
{
    if (frameDatabase->isHidden()) {
        btStop_Click();
        frameTagData->hide();
        frameDatabase->show();
    }
    ShowDatabase();
}

void frmSystemWL::ShowDatabase()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (!scope)
        return;
    SetBusy(true);
    lstDatabase->clear();
    const std::optional<QList<quint32>> ids = proto_->ReadDatabase();
    if (!ids)
        lstDatabase->addItem(readErrorText_);
    else if (ids->isEmpty())
        lstDatabase->addItem(noEntriesText_);
    for (quint32 id : ids.value_or(QList<quint32>()))
        lstDatabase->addItem(QStringLiteral("%1").arg(id, 8, 10, QLatin1Char('0')));
    SetBusy(false);
}

void frmSystemWL::btDBCode_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
    if (!scope)
        return;
    const bool on = !proto_->DbCodeMode;
    // The caption at once, for the exchanges that start or end it.
    DbCodeModeChanged(on);
    proto_->ReadDbCode(on);
}

void frmSystemWL::btNew_Click()
{
    // A text line ("Keine Einträge gefunden") reads as 0, as does an empty box.
    const double value = std::nearbyint(Val(txtDBIdcode->text()));
    const quint32 id = value < 0 || value > 4294967295.0 ? 0 : static_cast<quint32>(value);
    bool present = false;
    for (int i = 0; i < lstDatabase->count(); ++i)
        present = present || static_cast<quint32>(Val(lstDatabase->item(i)->text())) == id;
    if (!present) {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
        if (!scope)
            return;
        proto_->AddDatabase(id);
    }
    ShowDatabase();
}

void frmSystemWL::btDBDelete_Click()
{
    if (lstDatabase->count() == 1 && lstDatabase->item(0)->text().size() > 8)
        return;
    QListWidgetItem* selected = lstDatabase->currentItem();
    if (!selected) {
        proto_->ShowMessage(53);
        return;
    }
    const QString entry = selected->text();
    if (!ctx_.language || ctx_.language->ShowMessage(52, Msg::YesNo, 0, entry) == Msg::No)
        return;
    {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Keep);
        if (!scope)
            return;
        SetBusy(true);
        proto_->DeleteDatabase(static_cast<quint32>(Val(entry)));
        // The reader takes a while to rewrite its table.
        if (ctx_.ports)
            for (int i = 0; i < 4; ++i)
                ctx_.ports->WaitTimeout();
        SetBusy(false);
    }
    ShowDatabase();
}

} // namespace orvid
