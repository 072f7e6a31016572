#pragma once
// Reader for INI-style files with the Windows profile rules (ORVID.DEF, ORVILANG.*,
// ORVIDHX.INI): sections and keys without regard to case, first match wins, blanks
// trimmed, surrounding quotes removed, ";" comment lines, Windows-1252 text.
// Never fails: a missing file, section or key gives the default.
//
// Parsed files are cached by path, identity, size and modification time, so the language
// lookups that run once per control cost a file status check, not a parse. Values have no
// length limit.

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

class QByteArray;

namespace orvid {

// key not empty: the value (a key with an empty value gives the empty text).
// key empty, section not empty: the section's key names, each followed by a NUL.
// both empty: the file's section names, each followed by a NUL.
QString ReadIni(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue);
void IniGetString(const QString& file, const QString& section, const QString& key,
                  const QString& defaultValue, QString& result);

// A parsed file. Entries and sections keep the file's order; the indexes (case-folded
// names) point at the first occurrence, which is the one a lookup finds.
struct IniSection {
    QString name;
    QList<QPair<QString, QString>> entries;
    QHash<QString, qsizetype> index;
};
struct IniDocument {
    QList<IniSection> sections;
    QHash<QString, qsizetype> index;

    const IniSection* section(const QString& name) const;
};

// Parses file bytes: Windows-1252, or UTF-8 when the file starts with a UTF-8 byte-order
// mark. Lines end at LF, CR LF or CR.
IniDocument IniParse(const QByteArray& bytes);
// The ReadIni rules on a parsed file.
QString IniLookup(const IniDocument& doc, const QString& section, const QString& key,
                  const QString& defaultValue);

} // namespace orvid
