// Arbitrary bytes as an INI file: the listings name every section and key, every key of a
// first section is found by a lookup, and nothing may crash.
#include "foundations/IniFile.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using namespace orvid;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const IniDocument doc = IniParse(bytes);
    const QString missing = QStringLiteral("\x01missing");

    QString sectionList;
    for (const IniSection& s : doc.sections)
        sectionList += s.name + QChar(0);
    if (IniLookup(doc, QString(), QString(), missing) != sectionList)
        std::abort();

    for (const IniSection& s : doc.sections) {
        if (s.name.isEmpty())
            continue; // an empty section name asks for the listing
        // Lookups find the first section of a name and the first key of a name in it.
        const IniSection* first = doc.section(s.name);
        if (!first || first->name.compare(s.name, Qt::CaseInsensitive) != 0)
            std::abort();
        QString keyList;
        for (const auto& e : first->entries)
            keyList += e.first + QChar(0);
        if (IniLookup(doc, s.name, QString(), missing) != keyList)
            std::abort();
        for (const auto& e : s.entries) {
            const QString v = IniLookup(doc, s.name, e.first, missing);
            if (&s == first && v == missing)
                std::abort();
            IniLookup(doc, s.name.toUpper(), e.first.toLower(), missing);
        }
    }
    IniLookup(doc, QStringLiteral("ORVID"), QStringLiteral("Language"), missing);
    return 0;
}
