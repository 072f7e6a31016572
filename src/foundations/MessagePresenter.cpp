#include "MessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace orvid {

namespace {

struct ButtonDef {
    QMessageBox::StandardButton button;
    int result;
};

QList<ButtonDef> ButtonSet(int set)
{
    switch (set) {
    case Msg::OkCancel:
        return {{QMessageBox::Ok, Msg::Ok}, {QMessageBox::Cancel, Msg::Cancel}};
    case Msg::AbortRetryIgnore:
        return {{QMessageBox::Abort, Msg::Abort}, {QMessageBox::Retry, Msg::Retry},
                {QMessageBox::Ignore, Msg::Ignore}};
    case Msg::YesNoCancel:
        return {{QMessageBox::Yes, Msg::Yes}, {QMessageBox::No, Msg::No},
                {QMessageBox::Cancel, Msg::Cancel}};
    case Msg::YesNo:
        return {{QMessageBox::Yes, Msg::Yes}, {QMessageBox::No, Msg::No}};
    case Msg::RetryCancel:
        return {{QMessageBox::Retry, Msg::Retry}, {QMessageBox::Cancel, Msg::Cancel}};
    default:
        return {{QMessageBox::Ok, Msg::Ok}};
    }
}

// Message texts break lines with CR (and some with CR LF); a plain-text message box
// breaks only at LF.
QString DisplayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

int QtMessagePresenter::present(const MessageRequest& request)
{
    const QList<ButtonDef> defs = ButtonSet(request.buttons & 0x7);

    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(request.title);
    box.setTextFormat(Qt::PlainText);
    box.setText(DisplayText(request.text));

    QMessageBox::StandardButtons buttons;
    for (const ButtonDef& def : defs)
        buttons |= def.button;
    box.setStandardButtons(buttons);

    int defaultPos = 0;
    if (request.buttons & Msg::DefaultButton3)
        defaultPos = 2;
    else if (request.buttons & Msg::DefaultButton2)
        defaultPos = 1;
    if (defaultPos >= defs.size())
        defaultPos = 0;
    box.setDefaultButton(defs.at(defaultPos).button);

    // Closing the box without a button answers Cancel where the set has one, else the
    // only button (OK); a set without either (Abort/Retry/Ignore, Yes/No) cannot be
    // closed that way.
    for (const ButtonDef& def : defs) {
        if (def.result == Msg::Cancel || defs.size() == 1)
            box.setEscapeButton(def.button);
    }

    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonDef& def : defs) {
        if (def.button == clicked)
            return def.result;
    }
    // No button registered (the box was closed some other way): the safest answer of
    // the set.
    for (const ButtonDef& def : defs) {
        if (def.result == Msg::Cancel || def.result == Msg::No || def.result == Msg::Abort)
            return def.result;
    }
    return defs.first().result;
}

} // namespace orvid
