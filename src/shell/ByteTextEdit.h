#pragma once
// Tag bytes edited in a line edit with the three representation options beside it (text,
// hex, decimal; see ByteText). The write dialogs of both tag families share it: it keeps
// the representation the box is in, converts the text when an option is clicked (a text
// that does not convert keeps the old option, shows message 20 and selects the offending
// part), optionally holds typing to the characters of the representation, and reads the
// bytes back on OK. In the text view its tooltip tells how control characters are named
// there (section "ByteTextEdit", key "txtData" of the language files). The dialogs keep owning and laying out the widgets, so their names,
// properties and tab order are theirs; the two factories below make them alike.

#include "foundations/AppContext.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QBoxLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace orvid {

class Language;

// A control array of option buttons: one QRadioButton a text, objectName name, dynamic
// property "ctrlIndex" = its index ("langTag" "NOLANG" when not translated), created in
// parent and added to layout in order. clicked (if given) gets the index of the option
// that becomes checked.
QList<QRadioButton*> CreateOptionArray(QWidget* parent, QBoxLayout* layout, const QString& name,
                                       const QStringList& texts, bool translated,
                                       const std::function<void(int)>& clicked = {});

class ByteTextEdit : public QObject {
    Q_OBJECT
public:
    enum Typing { AnyTyping, FilterTyping };

    // The data box "txtData": fixed font, wide enough for widthChars digits, any length.
    // A limit on characters would cut bytes without a word (a named byte takes five
    // characters in the text view, four in decimal): a dialog limits bytes instead
    // (setMaxBytes), and OK refuses more.
    static QLineEdit* CreateBox(QWidget* parent, int widthChars);
    // The option array "rdDataMode" ("ASCII", "HEX", "DEZ"; ctrlIndex 0..2, never
    // translated), created in parent and added to layout in that order; clicked as for
    // CreateOptionArray (an owning ByteTextEdit connects itself).
    static QList<QRadioButton*> CreateOptions(QWidget* parent, QBoxLayout* layout,
                                              const std::function<void(int)>& clicked = {});

    // Takes over box and the three options; option 0 is checked unless one already is.
    // Without options the box stays in the text view.
    ByteTextEdit(AppContext& ctx, QLineEdit* box, const QList<QRadioButton*>& options, Typing typing,
                 QObject* parent);

    int representation() const { return rep_; }
    // As a click on the option: the text is converted; false (option and text unchanged,
    // message 20 shown) when it does not convert. Out of range counts as text.
    bool setRepresentation(int representation);
    // The bytes in the current representation.
    void setBytes(const QByteArray& bytes);
    // The most bytes the text may spell (0: no limit).
    void setMaxBytes(int maxBytes) { maxBytes_ = maxBytes; }
    // The bytes the text spells; false (message 20, offending part selected) when it
    // does not convert, or (the whole text selected) when it spells more than the limit.
    bool bytes(QByteArray* out);
    // Message 20 and the given part of the text selected, the box focused.
    void refuse(int start, int length);

    // The box's tooltip in the text view, in the current language: how control characters
    // and a "<" that would begin a name are written there.
    static QString NamesTip(const Language* language);

private:
    void optionClicked(int index);
    void showTip();
    void textChanged();

    AppContext& ctx_;
    QLineEdit* box_;
    QList<QRadioButton*> options_;
    int rep_ = 0;
    int maxBytes_ = 0;
    // Setting the old option back after a refusal toggles it again.
    bool busy_ = false;
};

} // namespace orvid
