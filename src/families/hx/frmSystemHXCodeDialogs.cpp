#include "frmSystemHXCodeDialogs.h"

#include "families/common/DataItems.h"
#include "families/common/Exchange.h"
#include "families/common/FormControls.h"
#include "families/common/NCXCode.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "link/LK.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr auto kHexDigits = "~0123456789ABCDEFabcdef";
constexpr auto kDecimalDigits = "~0123456789";

QLineEdit* numberBox(QWidget* parent, const char* name, int maxLength, int index, QObject* filter)
{
    auto* box = NamedControl<QLineEdit>(parent, name, index);
    LimitTyping(box, maxLength);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->installEventFilter(filter);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = NamedControl<QLabel>(parent, name);
    l->setText(text);
    return l;
}

// Leading zeros up to digits, all digits of a longer value.
QString hexText(qint64 value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}
} // namespace

// ---- shared -------------------------------------------------------------------------------------

hx::IHXCodeWriter* HXCodeDialog::writer() const
{
    return writer_ ? writer_ : currentAs<hx::IHXCodeWriter>();
}

void HXCodeDialog::addModeFrame(QBoxLayout* into)
{
    cmbMode = FramedControl<QComboBox>(this, into, frameMode, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    // The unit has no Buffered or Auto command for these codes on Ethernet, and the serial
    // fixcode writes of the two are the Single ones: Single and Enhanced on both entries.
    AddModeItems(cmbMode, false);
}

void HXCodeDialog::addButtons(QBoxLayout* top, int helpContext)
{
    btOk = addButtonRow(top, "btOk", QStringLiteral("&Ok"), helpContext).ok;
    ConnectAction(ctx_, btOk, &QPushButton::clicked, this, [this] { btOk_Click(); });
}

void HXCodeDialog::Load()
{
    SetLanguage();
    FillDialog();
    fitAndCentre();
}

void HXCodeDialog::FillDialog()
{
    if (cmbMode)
        SelectComboItem(cmbMode, static_cast<int16_t>(item(KRItem::OperationMode).toInt()));
}

int16_t HXCodeDialog::mode() const
{
    return cmbMode ? GetComboItemData(cmbMode) : 0;
}

bool HXCodeDialog::deviceBusy() const
{
    // A device exchange is still waiting: the write would run inside its wait.
    if (ctx_.lk && ctx_.lk->Busy()) {
        QApplication::beep();
        return true;
    }
    return false;
}

void HXCodeDialog::refuseRange(const QString& caption, const QString& low, const QString& high, QLineEdit* box)
{
    if (ctx_.language)
        ctx_.language->ShowMessage(81, 0, 0, caption + QLatin1Char('|') + low + QLatin1Char('|') + high);
    box->setFocus();
    box->selectAll();
}

bool HXCodeDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            SelectAllTextBox(box);
    return FamilyDialog::eventFilter(watched, event);
}

// ---- special fixcode ----------------------------------------------------------------------------

frmSystemHXWriteFixcodeSpecial::frmSystemHXWriteFixcodeSpecial(AppContext& ctx, QWidget* parent)
    : HXCodeDialog(ctx, "frmSystemHXWriteFixcodeSpecial", QStringLiteral("Special Fixcode schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    lblHex = label(this, "lblHex", QStringLiteral("HEX"));
    lblDez = label(this, "lblDez", QStringLiteral("DEZ"));
    // Six hex digits typed at most; a larger decimal entry (99999999) still shows in full
    // there before OK refuses it.
    txtHex = numberBox(this, "txtHex", 6, -1, this);
    txtDEZ = numberBox(this, "txtDEZ", 8, -1, this);
    grid->addWidget(lblHex, 0, 0);
    grid->addWidget(txtHex, 0, 1);
    grid->addWidget(lblDez, 1, 0);
    grid->addWidget(txtDEZ, 1, 1);
    top->addLayout(grid);
    addModeFrame(top);
    addButtons(top, 0);
    connect(txtHex, &QLineEdit::textChanged, this, [this] {
        if (FilterText(txtHex, QString::fromLatin1(kHexDigits)))
            Update(txtHex, ncx::ParseHex(txtHex->text()));
    });
    connect(txtDEZ, &QLineEdit::textChanged, this, [this] {
        if (FilterText(txtDEZ, QString::fromLatin1(kDecimalDigits)))
            Update(txtDEZ, ncx::ParseDecimal(txtDEZ->text()));
    });
    txtHex->setText(QStringLiteral("000000"));
}

void frmSystemHXWriteFixcodeSpecial::Update(QLineEdit* source, qint64 value)
{
    if (updating_)
        return;
    updating_ = true;
    if (source != txtHex)
        txtHex->setText(hexText(value, 6));
    if (source != txtDEZ)
        txtDEZ->setText(QString::number(value).rightJustified(8, QLatin1Char('0')));
    updating_ = false;
}

void frmSystemHXWriteFixcodeSpecial::btOk_Click()
{
    if (deviceBusy())
        return;
    // 24 bits: a larger decimal entry would lose its high digits on the tag.
    const qint64 value = ncx::ParseDecimal(txtDEZ->text());
    if (value < 0 || value > kMaxCode) {
        refuseRange(lblDez->text(), QStringLiteral("0"), QString::number(kMaxCode), txtDEZ);
        return;
    }
    hx::IHXCodeWriter* w = writer();
    if (!w) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    if (w->WriteSpecialFixcode(mode(), hexText(value, 6).toLatin1()))
        accept();
}

void frmSystemHXWriteFixcodeSpecial::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemHXWriteFixcodeSpecial dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load();
    dialog.exec();
}

// ---- chip code ----------------------------------------------------------------------------------

frmSystemHXMakeNCX::frmSystemHXMakeNCX(AppContext& ctx, QWidget* parent)
    : HXCodeDialog(ctx, "frmSystemHXMakeNCX", QStringLiteral("NCX Tag erzeugen"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    lblWafer = label(this, "lblWafer", QStringLiteral("Wafer Nr"));
    lblDie = label(this, "lblDie", QStringLiteral("Die Nr."));
    lblHex = label(this, "lblHex", QStringLiteral("HEX"));
    lblDez = label(this, "lblDez", QStringLiteral("DEZ"));
    grid->addWidget(lblHex, 0, 1);
    grid->addWidget(lblDez, 0, 2);
    grid->addWidget(lblWafer, 1, 0);
    grid->addWidget(lblDie, 2, 0);
    const int hexLength[] = {3, 4}, decLength[] = {4, 5};
    for (int i = 0; i < 2; ++i) {
        txtHex.append(numberBox(this, "txtHex", hexLength[i], i, this));
        txtDEZ.append(numberBox(this, "txtDEZ", decLength[i], i, this));
        grid->addWidget(txtHex[i], 1 + i, 1);
        grid->addWidget(txtDEZ[i], 1 + i, 2);
        QLineEdit* hex = txtHex[i];
        QLineEdit* dec = txtDEZ[i];
        connect(hex, &QLineEdit::textChanged, this, [this, hex, i] {
            if (!FilterText(hex, QString::fromLatin1(kHexDigits)))
                return;
            const qint64 v = ncx::ParseHex(hex->text());
            i == 0 ? UpdateW(hex, v) : UpdateDie(hex, v);
        });
        connect(dec, &QLineEdit::textChanged, this, [this, dec, i] {
            const qint64 v = ncx::ParseDecimal(dec->text());
            i == 0 ? UpdateW(dec, v) : UpdateDie(dec, v);
        });
    }
    top->addLayout(grid);
    addModeFrame(top);
    addButtons(top, kHelpContext);
    txtHex[0]->setText(QStringLiteral("000"));
    txtHex[1]->setText(QStringLiteral("0000"));
}

void frmSystemHXMakeNCX::UpdateW(QLineEdit* source, qint64 value)
{
    if (updating_)
        return;
    updating_ = true;
    wafer_ = value;
    if (source != txtHex[0])
        txtHex[0]->setText(ncx::WaferHex(value));
    if (source != txtDEZ[0])
        txtDEZ[0]->setText(ncx::WaferDecimal(value));
    updating_ = false;
}

void frmSystemHXMakeNCX::UpdateDie(QLineEdit* source, qint64 value)
{
    if (updating_)
        return;
    updating_ = true;
    die_ = value;
    if (source != txtHex[1])
        txtHex[1]->setText(ncx::DieHex(value));
    if (source != txtDEZ[1])
        txtDEZ[1]->setText(ncx::DieDecimal(value));
    updating_ = false;
}

void frmSystemHXMakeNCX::btOk_Click()
{
    if (deviceBusy())
        return;
    // Out of its row's range a number would lose its high digits (or wrap from negative).
    if (wafer_ < 0 || wafer_ > ncx::kMaxWafer) {
        refuseRange(lblWafer->text(), QStringLiteral("0"), QString::number(ncx::kMaxWafer), txtDEZ[0]);
        return;
    }
    if (die_ < 0 || die_ > ncx::kMaxDie) {
        refuseRange(lblDie->text(), QStringLiteral("0"), QString::number(ncx::kMaxDie), txtDEZ[1]);
        return;
    }
    hx::IHXCodeWriter* w = writer();
    if (!w) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    if (w->WriteNCXTag(mode(), (hexText(wafer_, 3) + hexText(die_, 4)).toLatin1()))
        accept();
}

void frmSystemHXMakeNCX::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemHXMakeNCX dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load();
    dialog.exec();
}

// ---- byte codes ---------------------------------------------------------------------------------

HXByteCodeDialog::HXByteCodeDialog(AppContext& ctx, const char* name, const QString& title, int maxBytes,
                                   bool withMode, int helpContext, QWidget* parent)
    : HXCodeDialog(ctx, name, title, parent), maxBytes_(maxBytes)
{
    auto* top = new QVBoxLayout(this);
    frameData = NamedControl<QGroupBox>(this, "frameData");
    frameData->setTitle(QStringLiteral("Daten"));
    auto* dl = new QVBoxLayout(frameData);
    top->addWidget(frameData);
    auto* middle = new QHBoxLayout;
    Frame1 = NamedControl<QGroupBox>(this, "Frame1");
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* rl = new QHBoxLayout(Frame1);
    const DataBox box = addDataBox(frameData, dl, Frame1, rl, 3 * maxBytes, ByteTextEdit::FilterTyping);
    txtData = box.box;
    rdDataMode = box.options;
    data_ = box.edit;
    middle->addWidget(Frame1);
    if (withMode)
        addModeFrame(middle);
    top->addLayout(middle);
    addButtons(top, helpContext);
}

void HXByteCodeDialog::FillDialog()
{
    if (cmbMode)
        SelectComboItem(cmbMode, 0, 0);
    txtData->clear();
    data_->setRepresentation(item(KRItem::DataRepresentation).toInt());
}

int HXByteCodeDialog::DataRep() const
{
    return data_->representation();
}

void HXByteCodeDialog::btOk_Click()
{
    if (deviceBusy())
        return;
    QByteArray code;
    if (!data_->bytes(&code))
        return;
    // The tag takes maxBytes_: the rest would be dropped without a word.
    if (code.size() > maxBytes_) {
        const QString fallback = QStringLiteral("Der Code darf höchstens %1 Byte lang sein.").arg(maxBytes_);
        const QString text = ctx_.language
            ? ctx_.language->Translate(objectName(), QStringLiteral("CodeTooLong"), fallback) : fallback;
        if (IMessagePresenter* presenter = ctx_.language ? ctx_.language->presenter() : nullptr) {
            MessageRequest request;
            request.title = ctx_.language->Translate(QStringLiteral("frmMessage"), QStringLiteral("frmMessage"),
                                                     QStringLiteral("Orvid"));
            request.text = text;
            request.buttons = Msg::OkOnly;
            presenter->present(request);
        }
        txtData->setFocus();
        txtData->selectAll();
        return;
    }
    if (!writer()) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    if (write(mode(), code))
        accept();
}

frmSystemHXWriteFixcodeVNB::frmSystemHXWriteFixcodeVNB(AppContext& ctx, QWidget* parent)
    : HXByteCodeDialog(ctx, "frmSystemHXWriteFixcodeVNB", QStringLiteral("Special Fixcode schreiben"), kMaxBytes,
                       false, 4000, parent)
{
}

bool frmSystemHXWriteFixcodeVNB::write(int16_t, const QByteArray& code)
{
    return writer()->WriteVNBFixcode(code);
}

void frmSystemHXWriteFixcodeVNB::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemHXWriteFixcodeVNB dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load();
    dialog.exec();
}

frmSystemHXWriteFixcodeWTX::frmSystemHXWriteFixcodeWTX(AppContext& ctx, QWidget* parent)
    : HXByteCodeDialog(ctx, "frmSystemHXWriteFixcodeWTX", QStringLiteral("WTX Fixcode schreiben"), kMaxBytes, true,
                       1090, parent)
{
}

bool frmSystemHXWriteFixcodeWTX::write(int16_t mode, const QByteArray& code)
{
    return writer()->WriteWTXFixcode(mode, code);
}

void frmSystemHXWriteFixcodeWTX::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemHXWriteFixcodeWTX dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
