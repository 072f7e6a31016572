#include "frmSystemWDWrite.h"

#include "frmSystemWD.h"
#include "foundations/ControlUtils.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"
#include "shell/ByteText.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <limits>

namespace orvid {

namespace {
constexpr int kHelpContext = 2550;
const char* const kHexChars = "0123456789abcdefABCDEF";
const QString kNoLang = QStringLiteral("NOLANG");
constexpr int kTagMemory = WDProtocol::kAddressSpace;

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& text)
{
    auto* f = new QGroupBox(text, parent);
    f->setObjectName(QString::fromLatin1(name));
    return f;
}
} // namespace

frmSystemWDWrite::frmSystemWDWrite(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("frmSystemWDWrite"));
    setWindowTitle(QStringLiteral("Daten schreiben"));
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;

    frameHeadNumber = makeFrame(this, "frameHeadNumber", QStringLiteral("Antenne"));
    cmbHeadNumber = new QComboBox(frameHeadNumber);
    cmbHeadNumber->setObjectName(QStringLiteral("cmbHeadNumber"));
    cmbHeadNumber->setProperty("langTag", kNoLang);
    cmbHeadNumber->addItems({QStringLiteral("0"), QStringLiteral("1")});
    (new QHBoxLayout(frameHeadNumber))->addWidget(cmbHeadNumber);
    grid->addWidget(frameHeadNumber, 0, 0);

    frameAddress = makeFrame(this, "frameAddress", QStringLiteral("Adresse (Hex.)"));
    txtAddress = new QLineEdit(QStringLiteral("0000"), frameAddress);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setMaxLength(4);
    (new QHBoxLayout(frameAddress))->addWidget(txtAddress);
    grid->addWidget(frameAddress, 1, 0);

    frameAccessType = makeFrame(this, "frameAccessType", QStringLiteral("Zugriffsart"));
    auto* al = new QVBoxLayout(frameAccessType);
    const QString accessTexts[] = {QStringLiteral("alle Datenträger"),
                                   QStringLiteral("Datenträger mit ID-Code"),
                                   QStringLiteral("Datenträger mit anderem ID-Code")};
    for (int i = 0; i < 3; ++i) {
        auto* rd = new QRadioButton(accessTexts[i], frameAccessType);
        rd->setObjectName(QStringLiteral("rdIDCode"));
        rd->setProperty("ctrlIndex", i);
        al->addWidget(rd);
        rdIDCode.append(rd);
        connect(rd, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                rdIDCode_Click(i);
        });
    }
    auto* idRow = new QHBoxLayout;
    lblIdCode = new QLabel(QStringLiteral("ID-Code (Hex.)"), frameAccessType);
    lblIdCode->setObjectName(QStringLiteral("lblIdCode"));
    txtIDCode = new QLineEdit(QStringLiteral("00000000"), frameAccessType);
    txtIDCode->setObjectName(QStringLiteral("txtIDCode"));
    txtIDCode->setMaxLength(8);
    idRow->addWidget(lblIdCode);
    idRow->addWidget(txtIDCode);
    al->addLayout(idRow);
    grid->addWidget(frameAccessType, 0, 1, 2, 1);
    top->addLayout(grid);

    frameData = makeFrame(this, "frameData", QStringLiteral("Daten"));
    auto* dl = new QVBoxLayout(frameData);
    txtData = new QLineEdit(frameData);
    txtData->setObjectName(QStringLiteral("txtData"));
    txtData->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtData->setMinimumWidth(txtData->fontMetrics().horizontalAdvance(QString(48, QLatin1Char('0'))));
    // The default limit of a line edit would cut a long read (decimal takes four
    // characters a byte) without a word.
    txtData->setMaxLength(std::numeric_limits<int>::max());
    dl->addWidget(txtData);
    auto* rl = new QHBoxLayout;
    const char* const repNames[] = {"ASCII", "HEX", "DEZ"};
    for (int i = 0; i < 3; ++i) {
        auto* rd = new QRadioButton(QString::fromLatin1(repNames[i]), frameData);
        rd->setObjectName(QStringLiteral("rdDataMode"));
        rd->setProperty("ctrlIndex", i);
        rd->setProperty("langTag", kNoLang);
        rl->addWidget(rd);
        rdDataMode.append(rd);
        connect(rd, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                rdDataMode_Click(i);
        });
    }
    rl->addStretch(1);
    dl->addLayout(rl);
    top->addWidget(frameData);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("&Abbruch"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btHelp = new QPushButton(QStringLiteral("&Hilfe"), this);
    btHelp->setObjectName(QStringLiteral("btHelp"));
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    buttons->addWidget(btHelp);
    top->addLayout(buttons);

    // The address is hex like in the main window: other characters would silently give a
    // different address.
    connect(txtAddress, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtAddress, QString::fromLatin1(kHexChars)); });
    connect(txtIDCode, &QLineEdit::textChanged, this,
            [this] { FilterTextBox(txtIDCode, QString::fromLatin1(kHexChars)); });
    for (QLineEdit* e : {txtAddress, txtIDCode, txtData})
        e->installEventFilter(this);
    connect(btOk, &QPushButton::clicked, this, &frmSystemWDWrite::btOk_Click);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btHelp, &QPushButton::clicked, this, [this] { ShowHelp(ctx_, kHelpContext); });

    rdIDCode[0]->setChecked(true);
    rdDataMode[0]->setChecked(true);
}

IWDWriteTarget* frmSystemWDWrite::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IWDWriteTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
}

void frmSystemWDWrite::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
}

void frmSystemWDWrite::Load()
{
    WDEntries entries;
    if (IWDWriteTarget* t = target())
        entries = t->Entries();
    // With the text still empty the option's click only takes the new representation.
    txtData->clear();
    const int rep = entries.dataRepresentation >= 0 && entries.dataRepresentation < 3
        ? entries.dataRepresentation : 0;
    SetOptionGroup(rdDataMode, rep);
    dataRep_ = rep;

    cmbHeadNumber->setCurrentIndex(entries.head >= 0 && entries.head < cmbHeadNumber->count() ? entries.head : 0);
    SetOptionGroup(rdIDCode, entries.accessType);
    rdIDCode_Click(GetOptionGroup(rdIDCode));
    txtAddress->setText(frmSystemWD::FormatAddress(entries.address));
    txtIDCode->setText(entries.idCode);
    txtData->setText(ByteText::ToView(entries.lastData, dataRep_));

    SetLanguage();
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmSystemWDWrite::rdIDCode_Click(int index)
{
    lblIdCode->setEnabled(index != 0);
    txtIDCode->setEnabled(index != 0);
}

void frmSystemWDWrite::refuseData(int start, int length)
{
    if (ctx_.language)
        ctx_.language->ShowMessage(20);
    txtData->setFocus();
    txtData->setSelection(start, length);
}

void frmSystemWDWrite::rdDataMode_Click(int index)
{
    if (repBusy_)
        return;
    const QScopedValueRollback busy(repBusy_, true);
    QString converted;
    ByteText::Span error;
    if (ByteText::ChangeView(txtData->text(), dataRep_, index, &converted, &error)) {
        dataRep_ = index;
        txtData->setText(converted);
        return;
    }
    rdDataMode[dataRep_]->setChecked(true);
    refuseData(error.start, error.length);
}

bool frmSystemWDWrite::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn) {
        SelectAllTextBox(box);
    } else if (box && event->type() == QEvent::FocusOut) {
        if (box == txtIDCode)
            box->setText(frmSystemWD::FormatIDCode(box->text()));
        else if (box == txtAddress)
            box->setText(frmSystemWD::FormatAddress(box->text()));
    }
    return QDialog::eventFilter(watched, event);
}

void frmSystemWDWrite::btOk_Click()
{
    QByteArray data;
    ByteText::Span error;
    if (!ByteText::FromView(txtData->text(), dataRep_, &data, &error)) {
        refuseData(error.start, error.length);
        return;
    }
    txtAddress->setText(frmSystemWD::FormatAddress(txtAddress->text()));
    const auto address = static_cast<quint16>(static_cast<qint64>(Val(QStringLiteral("&H") + txtAddress->text())) & 0xFFFF);
    IWDWriteTarget* t = target();
    // Bytes past the end of the tag memory cannot be written: refuse before anything goes
    // out instead of writing a part of the data.
    if (!t || address + data.size() > kTagMemory) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        if (t) {
            txtData->setFocus();
            txtData->selectAll();
        }
        return;
    }
    const auto head = static_cast<int16_t>(qMax(0, cmbHeadNumber->currentIndex()));
    const auto access = static_cast<int16_t>(GetOptionGroup(rdIDCode));
    // A write the unit did not confirm has been reported by the system window; the dialog
    // stays open so the data can be sent again or the dialog cancelled.
    if (t->WriteTag(true, head, access, txtIDCode->text(), address, int(data.size()), data))
        accept();
}

void frmSystemWDWrite::ShowDialog(AppContext& ctx, QWidget* parent, IWDWriteTarget* target)
{
    frmSystemWDWrite dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.setTarget(target);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
