#include "frmSystemLWrite.h"

#include "WLHosts.h"
#include "families/common/Exchange.h"
#include "foundations/Language.h"
#include "link/LK.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

frmSystemLWrite::frmSystemLWrite(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemLWrite", QStringLiteral("Daten schreiben"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto frame = [this, row](const char* name, const QString& title) {
        auto* f = new QGroupBox(title, this);
        f->setObjectName(QString::fromLatin1(name));
        row->addWidget(f);
        return f;
    };
    Frame1 = frame("Frame1", QString());
    Frame1->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* optionsLayout = new QVBoxLayout(Frame1);
    frameIntervalType = frame("frameIntervalType", QStringLiteral("Intervalltyp"));
    rdIntervalType = CreateOptionArray(frameIntervalType, new QVBoxLayout(frameIntervalType),
                                       QStringLiteral("rdIntervalType"),
                                       {QStringLiteral("Konstant"), QStringLiteral("Zufällig")}, true);
    rdIntervalType[0]->setChecked(true);
    frameIntervalLength = frame("frameIntervalLength", QStringLiteral("Intervall Länge"));
    rdIntervalLength = CreateOptionArray(frameIntervalLength, new QVBoxLayout(frameIntervalLength),
                                         QStringLiteral("rdIntervalLength"),
                                         {QStringLiteral("0"), QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("16")},
                                         false);
    rdIntervalLength[2]->setChecked(true);
    top->addLayout(row);

    frameData = new QGroupBox(QStringLiteral("Daten"), this);
    frameData->setObjectName(QStringLiteral("frameData"));
    auto* dataLayout = new QHBoxLayout(frameData);
    const DataBox box = addDataBox(frameData, dataLayout, Frame1, optionsLayout, 40, ByteTextEdit::FilterTyping);
    txtData = box.box;
    rdDataMode = box.options;
    data_ = box.edit;
    top->addWidget(frameData);

    const ButtonRow buttons = addButtonRow(top, "btOk", QStringLiteral("&Ok"), kHelpContext);
    btOk = buttons.ok;
    btCancel = buttons.cancel;
    btHelp = buttons.help;
    ConnectAction(ctx_, btOk, &QPushButton::clicked, this, &frmSystemLWrite::btOk_Click);
}

int frmSystemLWrite::checkedIndex(const QList<QRadioButton*>& options)
{
    for (int i = 0; i < options.size(); ++i) {
        if (options[i]->isChecked())
            return i;
    }
    return 0;
}

void frmSystemLWrite::btOk_Click()
{
    if (ctx_.lk && ctx_.lk->Busy()) {
        QApplication::beep();
        return;
    }
    QByteArray bytes;
    if (!data_->bytes(&bytes))
        return;   // message 20 shown, the bad part selected
    IWLTextWriter* writer = target_ ? target_ : currentAs<IWLTextWriter>();
    if (!writer) {
        if (ctx_.language)
            ctx_.language->ShowMessage(4);
        return;
    }
    // A write refused before anything went out keeps the dialog open with the user's
    // entries; once sent, the dialog closes whatever the unit answers.
    if (writer->WriteTag(static_cast<int16_t>(checkedIndex(rdIntervalType)),
                         static_cast<int16_t>(checkedIndex(rdIntervalLength)), bytes))
        accept();
}

void frmSystemLWrite::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmSystemLWrite dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.SetLanguage();
    dialog.fitAndCentre();
    dialog.exec();
}

} // namespace orvid
