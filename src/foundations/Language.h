#pragma once
// Language texts and numbered messages. The built-in language is German; language files
// "ORVILANG.*" next to the program replace window texts (section = window name,
// key = control name plus index for control arrays) and message texts (section "Errors").
//
// Widgets keep their design-time texts as translation defaults in the dynamic property
// "langTag" (the control's Tag); the value "NOLANG" excludes a control. A member of a
// control array carries its index in the dynamic property "ctrlIndex".
//
// Translatable kinds: labels, buttons, check boxes, option buttons, group boxes, menus
// (QMenu, title) and menu entries (QAction, text), combo boxes (items; keys count from 0),
// tab widgets and tab bars (keys count from 1) and tree/table widgets (column headers,
// keys count from 1), plus the window's own title. A window's controls are its named
// descendants that are not inside another window (an MDI child, a dialog) or inside a
// composite widget; menus must have the window (or its menu bar) as an ancestor.
// Names starting with "lblCONST" and the tag "NOLANG" are never translated.

#include "MessagePresenter.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class QObject;
class QWidget;
class QComboBox;

namespace orvid {

class Language {
public:
    explicit Language(QString programDir);
    ~Language();

    // The presenter used by ShowMessage (the Qt one unless a test replaces it).
    void setPresenter(IMessagePresenter* presenter);
    IMessagePresenter* presenter() const;

    void LoadLanguageList();
    void SelectLanguage(int16_t& index);          // -1: returns the current index
    QString GetLanguageName(int16_t index) const; // negative: the current language
    void SelectLanguageByCode(QString& name);     // empty: returns the current name
    int16_t LanguageIndex() const;
    int16_t LanguageCount() const;
    QString LanguageFile() const;
    QString LanguageName() const;
    QString helpFile() const;                     // full path of the current help file
    // Qt's translation of its own texts (message-box buttons, file dialog) for the current
    // language, installed in the application while it is selected: "qtbase_de" for the
    // built-in German, the language a file's name stands for otherwise. Empty when none
    // is installed (Qt's English texts).
    QString QtTranslationFile() const;

    QString Translate(const QString& section, const QString& key, const QString& defaultText) const;
    // A system error's description (an errno value) in the program's language: the language
    // file's text under "SystemErrors", the built-in German otherwise (SystemErrorText); a
    // number without a text of its own in the file's words for any system error (key
    // "Other") with its number and the system's own description.
    QString SystemErrorText(int error) const;

    void StoreFormTexts(QWidget* window);
    void TranslateForm(const QString& section, QWidget* window);
    void StoreControlTexts(QObject* control);
    void TranslateControl(const QString& section, QObject* control,
                          const QString& defaults = QString());
    void StoreListTexts(QComboBox* list, QStringList& texts);
    void TranslateListTexts(const QString& section, QComboBox* list, const QStringList& texts);

    // Applies a window's language: stores its defaults on the first call, then translates
    // its caption (key = window name) and its controls (section = window name).
    void ApplyWindowLanguage(QWidget* window);

    QString GetMessageText(int16_t number) const;
    // args null: not given (placeholders stay); any other text fills them in turn. The
    // question icon is always shown, so icon bits in buttons are ignored.
    int ShowMessage(int16_t number, int buttons = 0, int helpContext = 0,
                    const QString& args = QString());
    // The same message with a detail line under its text (for example why a device
    // could not be opened), for messages whose text has no place for it.
    int ShowMessageWithDetail(int16_t number, int buttons, const QString& detail);

private:
    int present(int16_t number, int buttons, int helpContext, const QString& args,
                const QString& detail);

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orvid
