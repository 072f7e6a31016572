#pragma once
// Walking a real window for the texts it shows, to check a language file against it:
// choosing a language must change every caption, and choosing German again must bring
// back the exact design texts. The captions are collected from the widgets themselves,
// so a control added later without an entry in the language file makes the checks fail.

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>

#include <functional>
#include <ostream>

class QWidget;

// Readable failure output for Qt strings.
void PrintTo(const QString& s, std::ostream* os);

namespace orvid {
class Language;
}

namespace orvid::test {

// The key under which the window's own title is collected.
extern const QString kWindowTitleKey;

// The bytes of a language file shipped in data/ (empty when it cannot be read).
QByteArray ShippedLanguageFile(const QString& name = QStringLiteral("ORVILANG.ENG"));

class TestContext;
// Puts the shipped English file into the test's program folder and rebuilds the language
// list, so the test can switch to it. Returns the file's bytes (empty when unreadable).
QByteArray InstallShippedLanguage(TestContext& tc);

struct CaptionWalk {
    // The items of drop-down lists that are not editable, as "<name>[<index>]" (an
    // editable list holds the user's entries, not texts of the program).
    bool listItems = false;
    // The entries of the window's menus, by the entry's name (plus its array index).
    bool menuEntries = false;
};

// The captions a window shows, keyed by control name plus its array index, and the title
// under kWindowTitleKey. Hidden controls count as well: a frame shown later must be in the
// language too. Controls tagged "NOLANG" and the "lblCONST" marks keep their text by
// design; a control without a caption shows nothing. A control with text but without a
// name could never be translated, so it is reported as a test failure.
QMap<QString, QString> CaptionsOf(QWidget* window, CaptionWalk walk = {});

// True when a text holds a German letter (umlaut or sharp s).
bool LooksGerman(const QString& text);

// German (the window's first texts) to English and back, calling setLanguage after each
// choice. Every caption changes except those listed in same, which read the same in both
// languages; German restores each design text exactly. Returns the German captions.
QMap<QString, QString> LanguageRoundTrip(Language& language, QWidget* window,
                                         const std::function<void()>& setLanguage,
                                         const QSet<QString>& same, CaptionWalk walk = {});

} // namespace orvid::test
