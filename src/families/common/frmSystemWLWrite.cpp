#include "frmSystemWLWrite.h"

#include "families/common/Exchange.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"

#include "families/common/FormControls.h"

#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace orvid {

frmSystemWLWrite::frmSystemWLWrite(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemWLWrite", QStringLiteral("Daten schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);

    auto* frameId = NamedFrame(this, "Frame1", QStringLiteral("ID-Code"));
    auto* idLayout = new QVBoxLayout(frameId);
    cmbIDCode = new QComboBox(frameId);
    cmbIDCode->setObjectName(QStringLiteral("cmbIDCode"));
    cmbIDCode->setEditable(true);
    cmbIDCode->addItem(QStringLiteral("Alle Datentags"));
    // IDs are decimal numbers; anything else (";" above all) would break the write line.
    // The first entry ("any tag") is the one text besides digits.
    connect(cmbIDCode->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        QString kept;
        for (const QChar c : text)
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                kept += c;
        if (kept != text)
            cmbIDCode->lineEdit()->setText(kept);
    });
    idLayout->addWidget(cmbIDCode);
    top->addWidget(frameId);

    auto* row = new QHBoxLayout;
    auto* frameMemory = NamedFrame(this, "frameMemorySize", QStringLiteral("Speichermodell"));
    auto* memLayout = new QVBoxLayout(frameMemory);
    auto* hints = new QStackedLayout;
    const QStringList hintTexts = {QStringLiteral("numerische Daten, max. 1 Zeichen (0-16383)"),
                                   QStringLiteral("alphanumerische Daten, max. 19 Zeichen"),
                                   QStringLiteral("numerische Daten, max. 71 Zeichen")};
    for (int i = 0; i < hintTexts.size(); ++i) {
        auto* hint = new QLabel(hintTexts[i], frameMemory);
        hint->setObjectName(QStringLiteral("lblMemorySize"));
        hint->setProperty("ctrlIndex", i);
        hints->addWidget(hint);
        lblMemorySize.append(hint);
    }
    hints->setCurrentIndex(1);
    rdMemorySize = CreateOptionArray(frameMemory, memLayout, QStringLiteral("rdMemorySize"),
                                     {QStringLiteral("Mini (14 bits)"), QStringLiteral("Quarter (154 bits)"),
                                      QStringLiteral("Full (574 bits)")},
                                     true, [hints](int k) { hints->setCurrentIndex(k); });
    memLayout->addLayout(hints);
    row->addWidget(frameMemory);

    auto* frameSpeed = NamedFrame(this, "frameDataSpeed", QStringLiteral("Bitrate"));
    auto* speedLayout = new QVBoxLayout(frameSpeed);
    rdDataSpeed = CreateOptionArray(frameSpeed, speedLayout, QStringLiteral("rdDataSpeed"),
                                    {QStringLiteral("Hoch (16 kbps)"), QStringLiteral("Niedrig (4 kbps)")}, true);
    rdDataSpeed[0]->setChecked(true);
    rdDataSpeed[1]->setEnabled(false);
    row->addWidget(frameSpeed);

    auto* frameType = NamedFrame(this, "frameIntervalType", QStringLiteral("Intervaltyp"));
    auto* typeLayout = new QVBoxLayout(frameType);
    rdIntervalType = CreateOptionArray(frameType, typeLayout, QStringLiteral("rdIntervalType"),
                                       {QStringLiteral("Constant"), QStringLiteral("Random")}, true);
    rdIntervalType[0]->setChecked(true);
    row->addWidget(frameType);

    auto* frameLength = NamedFrame(this, "frameIntervalLength", QStringLiteral("Intervall Länge"));
    auto* lengthLayout = new QVBoxLayout(frameLength);
    rdIntervalLength = CreateOptionArray(frameLength, lengthLayout, QStringLiteral("rdIntervalLength"),
                                         {QStringLiteral("0"), QStringLiteral("4"), QStringLiteral("8"),
                                          QStringLiteral("16")},
                                         true);
    rdIntervalLength[2]->setChecked(true);
    row->addWidget(frameLength);
    top->addLayout(row);

    auto* frameData = NamedFrame(this, "frameData", QStringLiteral("Daten"));
    auto* dataLayout = new QVBoxLayout(frameData);
    txtData = new QLineEdit(frameData);
    txtData->setObjectName(QStringLiteral("txtData"));
    txtData->setFont(QFont(QStringLiteral("Fixedsys")));
    dataLayout->addWidget(txtData);
    top->addWidget(frameData);

    const ButtonRow buttons = addButtonRow(top, "btOk", QStringLiteral("&Ok"), kHelpContext);
    ConnectAction(ctx_, buttons.ok, &QPushButton::clicked, this, [this] { btOk_Click(); });
}

int frmSystemWLWrite::selected(const QList<QRadioButton*>& group)
{
    for (int i = 0; i < group.size(); ++i)
        if (group[i]->isChecked())
            return i;
    return 0;
}

bool frmSystemWLWrite::dataValid(int m, const QString& data)
{
    if (m == 1 || m == 2) {
        QString text = data;
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text.size() <= (m == 1 ? 19 : 71);
    }
    // Mini: a number whose whole value the tag's 14 bits hold; a text without a number is
    // no data.
    return MiniValue(data).has_value();
}

QString frmSystemWLWrite::idCodeFor(const QString& text, const QString& previous) const
{
    if (text == cmbIDCode->itemText(0))
        return QString();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return previous;
    return (QStringLiteral("000000000") + trimmed).right(9);
}

void frmSystemWLWrite::btOk_Click()
{
    const int m = selected(rdMemorySize);
    if (!dataValid(m, txtData->text())) {
        if (ctx_.language)
            ctx_.language->ShowMessage(20);
        txtData->setFocus();
        return;
    }
    values.idCode = idCodeFor(cmbIDCode->currentText(), lastId);
    lastId = values.idCode;
    values.memorySize = m;
    values.dataSpeed = selected(rdDataSpeed);
    values.intervalType = selected(rdIntervalType);
    values.intervalLength = selected(rdIntervalLength);
    values.data = ToCp1252(txtData->text());
    accept();
}

bool frmSystemWLWrite::ShowDialog(AppContext& ctx, WLWriteValues& values, QString& lastId)
{
    frmSystemWLWrite dialog(ctx, ctx.mainWindow);
    dialog.lastId = lastId;
    dialog.SetLanguage();
    dialog.fitAndCentre();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values;
    lastId = dialog.lastId;
    return true;
}

} // namespace orvid
