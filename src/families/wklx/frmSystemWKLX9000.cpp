#include "frmSystemWKLX9000.h"

#include "KLXParameters.h"
#include "families/common/Exchange.h"
#include "frmSystemWKLX9000Parameter.h"
#include "families/common/TagDataList.h"
#include "families/common/frmSystemWLWrite.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "link/LK.h"
#include "link/Network.h"

#include "families/common/FormControls.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <algorithm>

namespace orvid {

frmSystemWKLX9000::frmSystemWKLX9000(AppContext& ctx, QWidget* parent)
    : DirectFamilyForm(ctx, QString::fromLatin1(KLXProtocol::kSection), parent)
{
    auto protocol = std::make_unique<KLXProtocol>(ctx, this, this);
    klx_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID-M System KLX9000"));

    auto* top = new QVBoxLayout(this);
    frameHead = new QGroupBox(QStringLiteral("LESEKOPF"), this);
    frameHead->setObjectName(QStringLiteral("frameHead"));
    top->addWidget(frameHead);
    auto* head = new QHBoxLayout(frameHead);
    auto* buttons = new QVBoxLayout;
    btRead = NamedButton(frameHead, "btRead", QStringLiteral("&Lesen"));
    btParameter = NamedButton(frameHead, "btParameter", QStringLiteral("&Parameter"));
    btParameter->setEnabled(false);
    btWrite = NamedButton(frameHead, "btWrite", QStringLiteral("&Schreiben"));
    btClear = NamedButton(frameHead, "btClear", QStringLiteral("L&öschen"));
    btStop = NamedButton(frameHead, "btStop", QStringLiteral("S&top"));
    btRead->setProperty("langTag", QStringLiteral("NOLANG"));
    for (QPushButton* b : {btRead, btParameter, btWrite, btClear, btStop})
        buttons->addWidget(b);
    buttons->addStretch(1);
    frameTagData = new QGroupBox(QStringLiteral("Daten"), frameHead);
    frameTagData->setObjectName(QStringLiteral("frameTagData"));
    auto* data = new QVBoxLayout(frameTagData);
    lstTagData = new TagDataList(frameTagData);
    lstTagData->setObjectName(QStringLiteral("lstTagData"));
    lstTagData->setMinimumSize(360, 160);
    data->addWidget(lstTagData);
    head->addWidget(frameTagData, 1);
    head->addLayout(buttons);

    listTimer_.setSingleShot(true);
    listTimer_.setInterval(ListUpdateMs);
    connect(&listTimer_, &QTimer::timeout, this, &frmSystemWKLX9000::flushList);

    // Stop counts at once; the other buttons talk to the reader or open a dialog.
    const std::pair<QPushButton*, void (frmSystemWKLX9000::*)()> actions[] = {
        {btRead, &frmSystemWKLX9000::btRead_Click},
        {btWrite, &frmSystemWKLX9000::btWrite_Click},
        {btParameter, &frmSystemWKLX9000::btParameter_Click}};
    ConnectActions(ctx_, this, actions);
    connect(btStop, &QPushButton::clicked, this, [this] { btStop_Click(); });
    connect(btClear, &QPushButton::clicked, this, [this] { btClear_Click(); });
}

void frmSystemWKLX9000::AddData(int, const QByteArray&, const QByteArray& data)
{
    if (data.isEmpty())
        return;
    // Lines beyond what the list keeps would only pass through it.
    pendingLines_.append(data);
    if (pendingLines_.size() > TagDataList::MaxLines)
        pendingLines_.removeFirst();
    if (!listTimer_.isActive())
        listTimer_.start();
}

void frmSystemWKLX9000::flushList()
{
    listTimer_.stop();
    if (pendingLines_.isEmpty())
        return;
    lstTagData->AddLines(pendingLines_);
    pendingLines_.clear();
}

QList<QByteArray> frmSystemWKLX9000::ListLines() const
{
    QList<QByteArray> lines;
    for (int row = 0; row < lstTagData->count(); ++row)
        lines.append(lstTagData->RawBytes(row));
    lines.append(pendingLines_);
    return lines.mid(std::max<qsizetype>(lines.size() - TagDataList::MaxLines, 0));
}

void frmSystemWKLX9000::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? noHeadTitle_ : title);
}

void frmSystemWKLX9000::SetParameterEnabled(bool enabled)
{
    btParameter->setEnabled(enabled);
}

void frmSystemWKLX9000::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    noHeadTitle_ = klx_->Translate(QStringLiteral("NoHead"), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    klx_->LoadTexts();
    SetRWFrameTitle(FromCp1252(getItem(1).toByteArray()));
    if (ctx_.network)
        ctx_.network->LoadNetTexts();
}

void frmSystemWKLX9000::OnLoad()
{
    SetLanguage();
    applyMinimumSize();
}

void frmSystemWKLX9000::OnUnload()
{
    // Unloaded by a change of system, the reader has been stopped by its close-down.
    if (!klx_->Left())
        btStop_Click();
    // Reports still on their way to the list go with it.
    pendingLines_.clear();
    listTimer_.stop();
}

void frmSystemWKLX9000::btRead_Click()
{
    klx_->StartReading();
}

void frmSystemWKLX9000::btStop_Click()
{
    // Never inside another exchange's wait: the stop line would take its reply. A stop
    // that waited while the reader was left is dropped: its close-down has sent the stop,
    // and the connection is gone or another device's by then.
    klx_->Exchanges().RequestStop(
        [this] {
            ExchangeScope scope(klx_->Exchanges(), ExchangeScope::Polling::Keep, false);
            if (scope)
                klx_->Stop();
        },
        [this] { return !klx_->Left() && (!ctx_.lk || ctx_.lk->CurrentWindow() == this); });
}

void frmSystemWKLX9000::btClear_Click()
{
    pendingLines_.clear();
    listTimer_.stop();
    lstTagData->clear();
}

bool frmSystemWKLX9000::stopBeforeDialog()
{
    ExchangeScope scope(klx_->Exchanges());
    if (!scope)
        return false;
    klx_->Stop();
    return true;
}

void frmSystemWKLX9000::btWrite_Click()
{
    if (writeBusy_)
        return;
    writeBusy_ = true;
    const auto done = qScopeGuard([this] { writeBusy_ = false; });
    // Reports and a pending write end before the dialog opens. The dialog waits for the
    // user, not for the reader: no exchange is held open while it shows, so what falls due
    // meanwhile (a Beep's end) still reaches the reader.
    if (!stopBeforeDialog())
        return;
    WLWriteValues values;
    if (!frmSystemWLWrite::ShowDialog(ctx_, values, lastWriteId_))
        return;
    ExchangeScope scope(klx_->Exchanges());
    if (scope)
        klx_->WriteTag(values.memorySize, values.dataSpeed, values.intervalType, values.intervalLength,
                       values.idCode, values.data);
}

int16_t frmSystemWKLX9000::WriteCmd(clsParameter& parameter)
{
    const int16_t n = klx_->WriteCmd(parameter);
    // A setting that did not reach the reader is shown whatever the error option says.
    if (!LastExchangeOk())
        klx_->ListLastFailure();
    return n;
}

void frmSystemWKLX9000::btParameter_Click()
{
    if (parameterBusy_)
        return;
    parameterBusy_ = true;
    const auto done = qScopeGuard([this] { parameterBusy_ = false; });
    // Read, then edit with no exchange held open, then set what the user changed.
    clsCollection<clsParameter> parameters = KLXParameters::Build();
    {
        ExchangeScope scope(klx_->Exchanges());
        if (!scope)
            return;
        klx_->Stop();
        if (!KLXParameters::ReadAll(*this, parameters))
            return;
    }
    if (!frmSystemWKLX9000Parameter::ShowDialog(ctx_, parameters))
        return;
    ExchangeScope scope(klx_->Exchanges());
    if (scope)
        KLXParameters::WriteChanged(*this, parameters);
}

} // namespace orvid
