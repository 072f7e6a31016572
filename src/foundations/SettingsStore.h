#pragma once
// Per-user settings store: one INI-style file ($XDG_CONFIG_HOME/Valdrecht/Zarvento.conf)
// in place of the registry key "Software\Valdrecht\Zarvento". One file section per
// registry section; value names match without regard to case; every write is atomic
// (SaveFileAtomically: a failed write keeps the old file) and nothing is ever deleted. A file that does not parse never stops the
// program: what parses is used and kept by later writes, the rest reads as defaults.
//
// File form (UTF-8): "[section]" lines and "name=value" lines; ";" and "#" start comment
// lines. A line that is not valid UTF-8 was typed in an 8-bit editor and reads as
// Windows-1252. A write changes only the line of its value (or adds one): comments, blank
// lines and lines that do not parse stay as they are. Values and names hold any characters and any length: a backslash, CR, LF, TAB,
// NUL and other control characters, and blanks at either end are written as escapes
// ("\\", "\r", "\n", "\t", "\0", "\xHH", "\s" for a blank). A value written by hand as
// "dword:hhhhhhhh" is a 32-bit number (a registry export's form) and reads as its decimal
// text. A write keeps every other line byte for byte, 8-bit and binary ones included.
//
// The file is parsed once and kept; every call checks with one stat whether the file on
// disk is still the one parsed (device, inode, size, change times) and reads it afresh
// when not, so two stores (or two programs) on one file see each other's writes. A write
// holds a lock on the folder while it reads, changes and replaces the file, and updates
// the kept copy itself. Opening a store removes temporary files an interrupted save left
// next to the file. A store is used from one thread.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace orvid {

class SettingsStore {
public:
    // The path every caller passes; the store adds "\" and the section.
    static constexpr const char* RootPath = "Software\\Valdrecht\\Zarvento";

    // filePath empty: the per-user default location.
    explicit SettingsStore(const QString& filePath = QString());
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;
    static QString defaultFilePath();

    // Told when a write does not reach the disk: the path whose step failed (the folder that
    // could not be made, else the file), in the system's notation, and the system's error
    // number (errno) of the failure, which the place that shows it says in the program's
    // language (Language::SystemErrorText). Once, and not again before a write has
    // succeeded. The program carries on either way.
    using WriteFailureHandler = std::function<void(const QString& file, int error)>;
    void setWriteFailureHandler(WriteFailureHandler handler);
    // Told when a write reaches the disk again after a failure was told: the fault is
    // mended, so a report of it would mislead.
    void setWriteMendedHandler(std::function<void()> handler);
    // The next failed write is told too, though none has succeeded since the last report
    // (the one who was told no longer shows it); the write that succeeds is not told.
    void reportNextFailure() { failureReported_ = false; }
    QString filePath() const;

    // A value converted to text; the default when the value or section is missing.
    QString ReadSetting(const QString& path, const QString& section, const QString& name,
                        const QString& defaultValue) const;
    // A value as stored (text; numbers written by other tools read as their number).
    QVariant RegReadValue(const QString& path, const QString& section, const QString& name,
                          const QVariant& defaultValue) const;
    // Stores a text value, creating the section. True when it reached the disk.
    bool RegWriteString(const QString& path, const QString& section, const QString& name,
                        const QString& value);
    // Value names and data of one key path (e.g. RootPath + "\\Port").
    QList<QPair<QString, QString>> RegEnumValues(const QString& keyPath) const;
    // Names of the sections below a key path.
    QStringList RegEnumKeys(const QString& keyPath) const;

    // Shorthands with RootPath.
    QString read(const QString& section, const QString& name, const QString& defaultValue) const
    { return ReadSetting(QString::fromLatin1(RootPath), section, name, defaultValue); }
    bool write(const QString& section, const QString& name, const QString& value)
    { return RegWriteString(QString::fromLatin1(RootPath), section, name, value); }

    // The parsed file. Sections and the values in them are unique without regard to case
    // (the first occurrence in the file wins, as a lookup would find it).
    struct Value {
        QString name;
        QString text;
        bool isNumber = false; // a "dword:" value; text is then unused
        qint32 number = 0;
    };
    struct Section {
        QString name;
        QList<Value> values;
    };
    using Document = QList<Section>;

    // Never fails: lines that do not parse are left out.
    static Document parse(const QByteArray& bytes);
    static QByteArray serialize(const Document& doc);
    static const Value* find(const Document& doc, const QString& section, const QString& name);
    // Sets a text value, adding the section and the value when missing. False when the
    // document already held exactly this text.
    static bool setText(Document& doc, const QString& section, const QString& name,
                        const QString& value);
    // The file's bytes with one text value set: the value's line is rewritten, or a line
    // (and the section) is added; every other line keeps its text. The result is UTF-8.
    // *changed is false (and the bytes are returned as they are) when the value already
    // held exactly this text.
    static QByteArray withText(const QByteArray& bytes, const QString& section,
                               const QString& name, const QString& value,
                               bool* changed = nullptr);

private:
    struct Model;

    // The file's section for a registry path and section; false outside RootPath.
    static bool sectionFor(const QString& path, const QString& section, QString& out);
    // The parsed file as it is on disk now (empty when there is no file); null when it
    // exists but cannot be read (*error: the system's error number). Parses only when the
    // file changed since the last call.
    const Model* current(int* error = nullptr) const;
    // path: the folder whose making failed; empty for the file.
    bool writeFailed(int error, const QString& path = QString());
    void removeStaleTemporaries() const;

    QString path_;
    mutable std::unique_ptr<Model> model_;
    WriteFailureHandler onWriteFailure_;
    std::function<void()> onWriteMended_;
    bool failureReported_ = false;
};

// The text up to its first NUL character.
QString TrimNul(const QString& text);

} // namespace orvid
