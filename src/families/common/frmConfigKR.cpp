#include "frmConfigKR.h"

#include "KRConfigWord.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
const char* const kHexDigits = "0123456789ABCDEF";

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int index = -1)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    if (index >= 0)
        l->setProperty("ctrlIndex", index);
    return l;
}
} // namespace

frmConfigKR::frmConfigKR(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, "frmConfigKR", QStringLiteral("Konfiguration schreiben"), parent)
{
    buildControls();
}

void frmConfigKR::buildControls()
{
    auto* top = new QVBoxLayout(this);

    frameControlWord = new QGroupBox(QStringLiteral("Control Word"), this);
    frameControlWord->setObjectName(QStringLiteral("frameControlWord"));
    auto* cg = new QGridLayout(frameControlWord);

    for (int i = 0; i < 6; ++i) {
        auto* box = new QLineEdit;
        box->setObjectName(QStringLiteral("txtKonfig"));
        box->setProperty("ctrlIndex", i);
        box->setMaxLength(2);
        box->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 8);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, box] { txtKonfig_Change(box); });
        connect(box, &QLineEdit::textEdited, this, [this, i] {
            (i < 2 ? controlEdited_ : protectionEdited_) = true;
        });
        txtKonfig.append(box);
    }

    cg->addWidget(makeLabel(frameControlWord, "lblReadStart", QStringLiteral("Lesebereich-Anfang")), 0, 0);
    cg->addWidget(txtKonfig[0], 0, 1);
    cg->addWidget(makeLabel(frameControlWord, "lblReadEnd", QStringLiteral("Lesebereich-Ende")), 1, 0);
    cg->addWidget(txtKonfig[1], 1, 1);

    const auto markControlEdited = [this] {
        if (!filling_)
            controlEdited_ = true;
    };
    chkPassword = new QCheckBox(frameControlWord);
    chkPassword->setObjectName(QStringLiteral("chkPassword"));
    chkPassword->setProperty("langTag", QStringLiteral("NOLANG"));
    connect(chkPassword, &QCheckBox::clicked, this, markControlEdited);
    chkRAWMode = new QCheckBox(frameControlWord);
    chkRAWMode->setObjectName(QStringLiteral("chkRAWMode"));
    chkRAWMode->setProperty("langTag", QStringLiteral("NOLANG"));
    connect(chkRAWMode, &QCheckBox::clicked, this, markControlEdited);
    cg->addWidget(makeLabel(frameControlWord, "lblPasswordProtect", QStringLiteral("Passwort-Schutz")), 2, 0);
    cg->addWidget(chkPassword, 2, 1);
    cg->addWidget(makeLabel(frameControlWord, "lblReadAfterWrite", QStringLiteral("Read-after-Write-Betriebsart")), 3, 0);
    cg->addWidget(chkRAWMode, 3, 1);

    cg->addWidget(makeLabel(frameControlWord, "lblUserDefined", QStringLiteral("Benutzerdefiniert")), 4, 0);
    auto* userRow = new QGridLayout;
    userRow->setHorizontalSpacing(2);
    for (int i = 0; i < 14; ++i) {
        auto* box = new QCheckBox(frameControlWord);
        box->setObjectName(QStringLiteral("chkUserdefined"));
        box->setProperty("ctrlIndex", i);
        box->setProperty("langTag", QStringLiteral("NOLANG"));
        connect(box, &QCheckBox::clicked, this, markControlEdited);
        chkUserdefined.append(box);
        userRow->addWidget(box, 0, i);
    }
    // Bit numbers under boxes 0, 6 and 13.
    const struct { int box; const char* text; } marks[] = {{0, "18"}, {6, "24"}, {13, "31"}};
    for (const auto& m : marks) {
        auto* l = new QLabel(QString::fromLatin1(m.text), frameControlWord);
        l->setObjectName(QStringLiteral("lblCONST") + QString::fromLatin1(m.text));
        userRow->addWidget(l, 1, m.box);
    }
    cg->addLayout(userRow, 4, 1, 1, 3);
    cg->setColumnStretch(3, 1);
    top->addWidget(frameControlWord);

    frameProtectionWord = new QGroupBox(QStringLiteral("Protection Word"), this);
    frameProtectionWord->setObjectName(QStringLiteral("frameProtectionWord"));
    auto* pg = new QGridLayout(frameProtectionWord);
    pg->addWidget(makeLabel(frameProtectionWord, "lblWriteOnly", QStringLiteral("Erstes lesegesch. Wort"), 0), 0, 0);
    pg->addWidget(txtKonfig[2], 0, 1);
    pg->addWidget(makeLabel(frameProtectionWord, "lblWriteOnly", QStringLiteral("Letztes lesegesch. Wort"), 1), 1, 0);
    pg->addWidget(txtKonfig[3], 1, 1);
    pg->addWidget(makeLabel(frameProtectionWord, "lblReadOnly", QStringLiteral("Erstes schreibgesch. Wort"), 0), 0, 2);
    pg->addWidget(txtKonfig[4], 0, 3);
    pg->addWidget(makeLabel(frameProtectionWord, "lblReadOnly", QStringLiteral("Letztes schreibgesch. Wort"), 1), 1, 2);
    pg->addWidget(txtKonfig[5], 1, 3);
    pg->setColumnMinimumWidth(2, 20);
    top->addWidget(frameProtectionWord);

    // No help topic: Write and Cancel only.
    const ButtonRow row = addButtonRow(top, "btWrite", QStringLiteral("&Schreiben"), 0, QStringLiteral("&Abbrechen"));
    btWrite = row.ok;
    btCancel = row.cancel;
    connect(btWrite, &QPushButton::clicked, this, &frmConfigKR::btWrite_Click);
}

void frmConfigKR::Load(const QByteArray& controlWord, const QByteArray& protectionWord)
{
    controlIn_ = controlWord;
    protectionIn_ = protectionWord;
    cancelled_ = true;
    quint32 control = 0;
    quint32 protection = 0;
    controlRead_ = krconfig::WordValue(controlWord, control);
    protectionRead_ = krconfig::WordValue(protectionWord, protection);
    controlEdited_ = protectionEdited_ = false;

    // A word that is missing, or too short or long to be decoded, was not (fully) read.
    if ((!controlRead_ || !protectionRead_) && ctx_.language)
        ctx_.language->ShowMessage(61);

    SetLanguage();
    filling_ = true;
    for (QLineEdit* box : txtKonfig)
        box->clear();
    chkPassword->setChecked(false);
    chkRAWMode->setChecked(false);
    for (QCheckBox* box : chkUserdefined)
        box->setChecked(false);
    const auto hex2 = [](quint8 v) { return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper(); };
    if (controlRead_) {
        const krconfig::ControlWord w = krconfig::DecodeControl(control);
        txtKonfig[0]->setText(hex2(w.readStart));
        txtKonfig[1]->setText(hex2(w.readEnd));
        chkPassword->setChecked(w.password);
        chkRAWMode->setChecked(w.rawMode);
        for (int i = 0; i < 14; ++i)
            chkUserdefined[i]->setChecked((w.userBits >> i) & 1);
    }
    if (protectionRead_) {
        const krconfig::ProtectionWord w = krconfig::DecodeProtection(protection);
        txtKonfig[2]->setText(hex2(w.firstReadProtected));
        txtKonfig[3]->setText(hex2(w.lastReadProtected));
        txtKonfig[4]->setText(hex2(w.firstWriteProtected));
        txtKonfig[5]->setText(hex2(w.lastWriteProtected));
    }
    filling_ = false;
    fitAndCentre();
}

quint8 frmConfigKR::fieldValue(int index) const
{
    bool ok = false;
    const uint v = txtKonfig[index]->text().toUInt(&ok, 16);
    return ok ? static_cast<quint8>(v & 0xFF) : 0; // an empty field counts as 00
}

quint32 frmConfigKR::controlValue() const
{
    krconfig::ControlWord w;
    w.readStart = fieldValue(0);
    w.readEnd = fieldValue(1);
    w.password = chkPassword->isChecked();
    w.rawMode = chkRAWMode->isChecked();
    for (int i = 0; i < 14; ++i) {
        if (chkUserdefined[i]->isChecked())
            w.userBits |= quint16(1u << i);
    }
    return krconfig::EncodeControl(w);
}

quint32 frmConfigKR::protectionValue() const
{
    return krconfig::EncodeProtection({fieldValue(2), fieldValue(3), fieldValue(4), fieldValue(5)});
}

void frmConfigKR::Result(QByteArray& controlWord, QByteArray& protectionWord) const
{
    if (cancelled_)
        return;
    controlWord = krconfig::WordBytes(controlValue());
    protectionWord = krconfig::WordBytes(protectionValue());
}

void frmConfigKR::btWrite_Click()
{
    // A word that could not be read is written only with values the user entered for it:
    // empty fields would otherwise turn into zeros the tag never had (which could lift
    // its protection). Both words are whole, or the dialog stays open.
    if (!controlRead_ && !controlEdited_) {
        if (ctx_.language)
            ctx_.language->ShowMessage(61);
        txtKonfig[0]->setFocus();
        return;
    }
    if (!protectionRead_ && !protectionEdited_) {
        if (ctx_.language)
            ctx_.language->ShowMessage(61);
        txtKonfig[2]->setFocus();
        return;
    }
    const int message = krconfig::CheckProtection(krconfig::DecodeProtection(protectionValue()));
    if (message != 0) {
        if (ctx_.language)
            ctx_.language->ShowMessage(static_cast<int16_t>(message));
        return;
    }
    cancelled_ = false;
    accept();
}

void frmConfigKR::txtKonfig_Change(QLineEdit* box)
{
    const QString upper = box->text().toUpper();
    if (upper != box->text()) {
        const int pos = box->cursorPosition();
        QSignalBlocker block(box);
        box->setText(upper);
        box->setCursorPosition(pos);
    }
    FilterTextBox(box, QString::fromLatin1(kHexDigits));
}

bool frmConfigKR::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            SelectAllTextBox(box);
    }
    return FamilyDialog::eventFilter(watched, event);
}

void frmConfigKR::closeEvent(QCloseEvent* event)
{
    // Closing the window is a Cancel.
    cancelled_ = true;
    FamilyDialog::closeEvent(event);
}

bool frmConfigKR::ShowDialog(AppContext& ctx, QByteArray& controlWord, QByteArray& protectionWord,
                             QWidget* parent)
{
    frmConfigKR dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.Load(controlWord, protectionWord);
    dialog.exec();
    if (dialog.Cancelled())
        return false;
    dialog.Result(controlWord, protectionWord);
    return true;
}

} // namespace orvid
