#include "IniFile.h"

#include "Cp1252.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <memory>
#include <sys/stat.h>

namespace orvid {

namespace {

QString foldName(const QString& s)
{
    return s.toCaseFolded();
}

// Blanks and tabs only: a no-break space (0xA0) at either end of a text stays.
QString trimBlanks(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s.at(b) == u' ' || s.at(b) == u'\t'))
        ++b;
    while (e > b && (s.at(e - 1) == u' ' || s.at(e - 1) == u'\t'))
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

QString stripQuotes(const QString& v)
{
    if (v.size() >= 2) {
        const QChar q = v.front();
        if ((q == u'"' || q == u'\'') && v.back() == q)
            return v.mid(1, v.size() - 2);
    }
    return v;
}

struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

bool stampOf(const QString& path, FileStamp& stamp)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.device = static_cast<quint64>(st.st_dev);
    stamp.inode = static_cast<quint64>(st.st_ino);
    stamp.size = static_cast<qint64>(st.st_size);
    stamp.mtimeNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.ctimeNs = static_cast<qint64>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    return true;
}

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000LL;
}

// File times move in clock ticks, so a file rewritten in the same tick with the same size
// keeps its stamp. While a cached file is that young its bytes are compared as well.
constexpr qint64 kRacyWindowNs = 2000000000LL;

struct CacheEntry {
    FileStamp stamp;
    QByteArray bytes;
    bool racy = false;
    std::shared_ptr<const IniDocument> doc;
};

struct Cache {
    QMutex mutex;
    QHash<QString, CacheEntry> entries;
};

Cache& cache()
{
    static Cache c;
    return c;
}

constexpr int kMaxCachedFiles = 32;

std::shared_ptr<const IniDocument> loadDocument(const QString& path)
{
    FileStamp stamp;
    if (path.isEmpty() || !stampOf(path, stamp))
        return nullptr;

    Cache& c = cache();
    QMutexLocker lock(&c.mutex);
    auto it = c.entries.find(path);
    if (it != c.entries.end() && it->stamp == stamp && !it->racy)
        return it->doc;

    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = f.readAll();
    f.close();
    // The file may have changed between the status check and the read; take its stamp
    // again so a later change is seen.
    FileStamp after;
    if (!stampOf(path, after))
        after = FileStamp{};

    if (it != c.entries.end() && it->stamp == after && it->bytes == bytes) {
        it->racy = nowNs() - after.mtimeNs < kRacyWindowNs;
        return it->doc;
    }

    if (c.entries.size() >= kMaxCachedFiles && it == c.entries.end())
        c.entries.clear();
    CacheEntry entry;
    entry.stamp = after;
    entry.bytes = bytes;
    entry.racy = nowNs() - after.mtimeNs < kRacyWindowNs;
    entry.doc = std::make_shared<const IniDocument>(IniParse(bytes));
    auto doc = entry.doc;
    c.entries.insert(path, std::move(entry));
    return doc;
}

} // namespace

const IniSection* IniDocument::section(const QString& name) const
{
    const auto it = index.constFind(foldName(trimBlanks(name)));
    return it == index.constEnd() ? nullptr : &sections.at(*it);
}

IniDocument IniParse(const QByteArray& bytes)
{
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    else
        text = FromCp1252(bytes);

    IniDocument doc;
    IniSection* current = nullptr;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        const QString line = trimBlanks(text.mid(pos, end - pos));
        pos = end;
        if (pos < n && text.at(pos) == u'\r')
            ++pos;
        if (pos < n && text.at(pos) == u'\n')
            ++pos;

        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            qsizetype close = line.indexOf(u']');
            if (close < 0)
                close = line.size();
            IniSection s;
            s.name = trimBlanks(line.mid(1, close - 1));
            doc.sections.append(s);
            const QString folded = foldName(s.name);
            if (!doc.index.contains(folded))
                doc.index.insert(folded, doc.sections.size() - 1);
            current = &doc.sections.last();
            continue;
        }
        if (!current)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = trimBlanks(line.left(eq));
        if (key.isEmpty())
            continue;
        current->entries.append({key, stripQuotes(trimBlanks(line.mid(eq + 1)))});
        const QString folded = foldName(key);
        if (!current->index.contains(folded))
            current->index.insert(folded, current->entries.size() - 1);
    }
    return doc;
}

QString IniLookup(const IniDocument& doc, const QString& section, const QString& key,
                  const QString& defaultValue)
{
    if (section.isEmpty()) {
        if (!key.isEmpty())
            return defaultValue;
        QString out;
        for (const IniSection& s : doc.sections)
            out += s.name + QChar(0);
        return out;
    }
    const IniSection* s = doc.section(section);
    if (!s)
        return defaultValue;
    if (key.isEmpty()) {
        QString out;
        for (const auto& e : s->entries)
            out += e.first + QChar(0);
        return out;
    }
    const auto it = s->index.constFind(foldName(trimBlanks(key)));
    if (it == s->index.constEnd())
        return defaultValue;
    return s->entries.at(*it).second;
}

QString ReadIni(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue)
{
    const auto doc = loadDocument(file);
    if (!doc)
        return defaultValue;
    return IniLookup(*doc, section, key, defaultValue);
}

void IniGetString(const QString& file, const QString& section, const QString& key,
                  const QString& defaultValue, QString& result)
{
    result = ReadIni(file, section, key, defaultValue);
}

} // namespace orvid
