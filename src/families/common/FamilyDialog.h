#pragma once
// The base of the families' dialogs (the tag write dialogs, the configuration dialog, the
// tag-state box ...): what every one of them builds and does the same way.
//
//   - the button row at the bottom: the accepting button (its name and text are the
//     dialog's: "btOK" "&OK", "btWrite" "&Schreiben" ...), Cancel, and Help when the
//     dialog has a help topic;
//   - the data box: "txtData" with the three representation options "rdDataMode" and the
//     lossless byte codec behind them (ByteTextEdit);
//   - texts from the language file, and centring over the main window once loaded;
//   - the current system window's data items and interfaces (the shared dialogs are
//     opened for whichever family is current).

#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"
#include "shell/ByteTextEdit.h"

#include <QDialog>
#include <QList>
#include <QVariant>
#include <cstdint>

class QBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvid {

class FamilyDialog : public QDialog {
    Q_OBJECT
public:
    FamilyDialog(AppContext& ctx, const char* name, const QString& title, QWidget* parent = nullptr);

    // The dialog's texts in the current language (its objectName is its section).
    virtual void SetLanguage();

protected:
    struct ButtonRow {
        QPushButton* ok = nullptr;
        QPushButton* cancel = nullptr;
        QPushButton* help = nullptr;   // null without a help topic
    };
    // Adds the row to top. The accepting button is the default button; its click is the
    // dialog's to connect. Cancel rejects; Help shows helpContext (0: no Help button).
    ButtonRow addButtonRow(QBoxLayout* top, const char* okName, const QString& okText, int helpContext,
                           const QString& cancelText = QStringLiteral("&Abbruch"));

    struct DataBox {
        QLineEdit* box = nullptr;
        QList<QRadioButton*> options;
        ByteTextEdit* edit = nullptr;
    };
    // "txtData" (widthChars wide, any length) added to boxLayout, the options added to
    // optionsLayout, and the codec that keeps the bytes through every change of
    // representation.
    DataBox addDataBox(QWidget* boxParent, QBoxLayout* boxLayout, QWidget* optionsParent,
                       QBoxLayout* optionsLayout, int widthChars, ByteTextEdit::Typing typing);

    // After loading: fit to the contents and centre over the main window.
    void fitAndCentre();

    // A data item of the current system window (through the link).
    QVariant item(int16_t id) const;
    // The current system window as interface I (null: none, or it does not offer I).
    template <class I>
    I* currentAs() const
    {
        return dynamic_cast<I*>(currentWindow());
    }

    AppContext& ctx_;

private:
    ISystemForm* currentWindow() const;
};

} // namespace orvid
