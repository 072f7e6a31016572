#include "SettingsStore.h"

#include "Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvid {

namespace {

enum class Kind { Section, Name, Value };

const QString& rootPath()
{
    static const QString root = QString::fromLatin1(SettingsStore::RootPath);
    return root;
}

bool startsWithDword(const QString& s)
{
    return s.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive);
}

void appendHex(QString& out, char16_t c, int digits)
{
    out += QString::number(c, 16).rightJustified(digits, u'0').toUpper();
}

// Escapes what the line form cannot hold as it stands. Lone surrogates (text that is no
// valid UTF-16) are written as "\uHHHH" so that they survive the UTF-8 file too.
QString escape(const QString& s, Kind kind)
{
    QString out;
    out.reserve(s.size() + 8);
    const qsizetype last = s.size() - 1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i < last && QChar::isLowSurrogate(s.at(i + 1).unicode())) {
            out += s.at(i);
            out += s.at(i + 1);
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c)) {
            out += QLatin1String("\\u");
            appendHex(out, c, 4);
            continue;
        }
        switch (c) {
        case u'\\': out += QLatin1String("\\\\"); continue;
        case u'\n': out += QLatin1String("\\n"); continue;
        case u'\r': out += QLatin1String("\\r"); continue;
        case u'\t': out += QLatin1String("\\t"); continue;
        case 0: out += QLatin1String("\\0"); continue;
        default: break;
        }
        bool hex = c < 0x20 || c == 0x7F;
        if (c == u' ' && (i == 0 || i == last)) {
            out += QLatin1String("\\s");
            continue;
        }
        switch (kind) {
        case Kind::Section:
            hex = hex || c == u']';
            break;
        case Kind::Name:
            hex = hex || c == u'=' || (i == 0 && (c == u'[' || c == u';' || c == u'#'));
            break;
        case Kind::Value:
            // A text that looks like a number value must not read back as one.
            hex = hex || (i == 0 && startsWithDword(s));
            break;
        }
        if (hex) {
            out += QLatin1String("\\x");
            appendHex(out, c, 2);
            continue;
        }
        out += s.at(i);
    }
    return out;
}

int hexValue(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Reads n hex digits at s[pos]; -1 when they are not all there.
int readHex(const QString& s, qsizetype pos, int n)
{
    if (pos + n > s.size())
        return -1;
    int v = 0;
    for (int k = 0; k < n; ++k) {
        const int d = hexValue(s.at(pos + k));
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

// The inverse of escape. An unknown escape keeps its backslash, so a path typed by hand
// mostly survives.
QString unescape(const QString& s)
{
    if (!s.contains(u'\\'))
        return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c != u'\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        const char16_t e = s.at(i + 1).unicode();
        switch (e) {
        case u'\\': out += u'\\'; ++i; continue;
        case u'n': out += u'\n'; ++i; continue;
        case u'r': out += u'\r'; ++i; continue;
        case u't': out += u'\t'; ++i; continue;
        case u'0': out += QChar(0); ++i; continue;
        case u's': out += u' '; ++i; continue;
        case u'x': {
            const int v = readHex(s, i + 2, 2);
            if (v >= 0) {
                out += QChar(static_cast<char16_t>(v));
                i += 3;
                continue;
            }
            break;
        }
        case u'u': {
            const int v = readHex(s, i + 2, 4);
            if (v >= 0) {
                out += QChar(static_cast<char16_t>(v));
                i += 5;
                continue;
            }
            break;
        }
        default:
            break;
        }
        out += c;
    }
    return out;
}

// Blanks around names and values typed by hand; written blanks are escaped.
QString trimRaw(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s.at(b) == u' ' || s.at(b) == u'\t'))
        ++b;
    while (e > b && (s.at(e - 1) == u' ' || s.at(e - 1) == u'\t'))
        --e;
    return s.mid(b, e - b);
}

bool parseDword(const QString& raw, qint32& number)
{
    if (!startsWithDword(raw))
        return false;
    const QString digits = raw.mid(6);
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    quint32 v = 0;
    for (const QChar ch : digits) {
        const int d = hexValue(ch);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<quint32>(d);
    }
    number = static_cast<qint32>(v);
    return true;
}

SettingsStore::Section* findSection(SettingsStore::Document& doc, const QString& name)
{
    for (auto& s : doc) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    }
    return nullptr;
}

const SettingsStore::Section* findSection(const SettingsStore::Document& doc, const QString& name)
{
    return findSection(const_cast<SettingsStore::Document&>(doc), name);
}

SettingsStore::Value* findValue(SettingsStore::Section& section, const QString& name)
{
    for (auto& v : section.values) {
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    }
    return nullptr;
}

QString textOf(const SettingsStore::Value& v)
{
    return v.isNumber ? QString::number(v.number) : v.text;
}

// An advisory lock on the settings folder itself: it needs no lock file (nothing to leave
// behind or to go stale after a crash) and is released when the descriptor closes. When
// the folder cannot be locked the write goes ahead unguarded.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ >= 0)
            ::flock(fd_, LOCK_EX);
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

// One line of the file without its line break: eol is "\n" or "\r\n"; the last line may
// end in "\r" or in nothing.
struct Line {
    QString text;
    QByteArray eol;
};

struct FileLines {
    QList<Line> lines;
    QByteArray eol = "\n"; // the file's own line break, for lines a write adds
    bool bom = false;
};

// A line is UTF-8 when it decodes as such; otherwise it was typed in an 8-bit editor and
// is Windows-1252. Deciding per line keeps a file readable that holds both.
QString decodeLine(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? FromCp1252(bytes) : text;
}

FileLines splitLines(const QByteArray& input)
{
    FileLines file;
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.bom = true;
        bytes.remove(0, 3);
    }
    bool eolSeen = false;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        const bool lastLine = end < 0;
        if (lastLine)
            end = bytes.size();
        Line line;
        qsizetype textEnd = end;
        const bool cr = textEnd > pos && bytes.at(textEnd - 1) == '\r';
        if (cr)
            --textEnd;
        if (!lastLine) {
            line.eol = cr ? QByteArray("\r\n") : QByteArray("\n");
            if (!eolSeen) {
                file.eol = line.eol;
                eolSeen = true;
            }
        } else if (cr) {
            line.eol = "\r";
        }
        line.text = decodeLine(bytes.mid(pos, textEnd - pos));
        file.lines.append(line);
        pos = end + 1;
    }
    return file;
}

QByteArray joinLines(const FileLines& file)
{
    QByteArray out;
    if (file.bom)
        out += "\xEF\xBB\xBF";
    for (const Line& line : file.lines) {
        out += line.text.toUtf8();
        out += line.eol;
    }
    return out;
}

enum class LineType { Blank, Comment, Header, BrokenHeader, Value, Other };

struct LineInfo {
    LineType type = LineType::Blank;
    QString section; // Header: the section's name
    QString name;    // Value: the value's name
    QString raw;     // Value: the text after "=" as written
};

LineInfo classify(const QString& text)
{
    LineInfo info;
    const QString line = trimRaw(text);
    if (line.isEmpty())
        return info;
    if (line.front() == u';' || line.front() == u'#') {
        info.type = LineType::Comment;
        return info;
    }
    if (line.front() == u'[') {
        const qsizetype close = line.indexOf(u']');
        if (close < 0) {
            info.type = LineType::BrokenHeader;
            return info;
        }
        info.type = LineType::Header;
        info.section = unescape(trimRaw(line.mid(1, close - 1)));
        return info;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        info.type = LineType::Other;
        return info;
    }
    info.type = LineType::Value;
    info.name = unescape(trimRaw(line.left(eq)));
    info.raw = trimRaw(line.mid(eq + 1));
    return info;
}

template <typename F>
void walkLines(const QList<Line>& lines, F&& f)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        f(i, classify(lines.at(i).text));
}

} // namespace

QString TrimNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

SettingsStore::SettingsStore(const QString& filePath)
    : path_(filePath.isEmpty() ? defaultFilePath() : filePath)
{
}

QString SettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Valdrecht/Zarvento.conf");
}

QString SettingsStore::filePath() const
{
    return path_;
}

SettingsStore::Document SettingsStore::parse(const QByteArray& bytes)
{
    Document doc;
    Section* current = nullptr;
    walkLines(splitLines(bytes).lines, [&](qsizetype, const LineInfo& info) {
        switch (info.type) {
        case LineType::Header:
            current = findSection(doc, info.section);
            if (!current) {
                doc.append(Section{info.section, {}});
                current = &doc.last();
            }
            break;
        case LineType::BrokenHeader:
            // What follows belongs to no known section.
            current = nullptr;
            break;
        case LineType::Value: {
            if (!current || findValue(*current, info.name))
                break;
            Value v;
            v.name = info.name;
            v.isNumber = parseDword(info.raw, v.number);
            if (!v.isNumber)
                v.text = unescape(info.raw);
            current->values.append(v);
            break;
        }
        default:
            break;
        }
    });
    return doc;
}

QByteArray SettingsStore::withText(const QByteArray& bytes, const QString& section,
                                   const QString& name, const QString& value, bool* changed)
{
    FileLines file = splitLines(bytes);
    QList<Line>& lines = file.lines;
    bool inSection = false;
    qsizetype found = -1;
    qsizetype anchor = -1; // the last line of the section's last block
    walkLines(lines, [&](qsizetype i, const LineInfo& info) {
        switch (info.type) {
        case LineType::Header:
            inSection = info.section.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                anchor = i;
            break;
        case LineType::BrokenHeader:
            inSection = false;
            break;
        case LineType::Value:
            if (!inSection)
                break;
            anchor = i;
            // The first line of a name is the one a lookup finds.
            if (found < 0 && info.name.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
            break;
        case LineType::Other:
            if (inSection)
                anchor = i;
            break;
        case LineType::Comment:
        case LineType::Blank:
            break;
        }
    });

    const QString escapedValue = escape(value, Kind::Value);
    if (found >= 0) {
        Line& line = lines[found];
        const qsizetype eq = line.text.indexOf(u'=');
        const QString raw = trimRaw(line.text.mid(eq + 1));
        qint32 number = 0;
        if (!parseDword(raw, number) && unescape(raw) == value) {
            if (changed)
                *changed = false;
            return bytes;
        }
        // Only the value changes: the name keeps its spelling and the line its layout.
        line.text = line.text.left(eq + 1) + escapedValue;
    } else {
        const Line entry{escape(name, Kind::Name) + u'=' + escapedValue, file.eol};
        if (anchor >= 0) {
            if (lines[anchor].eol.isEmpty())
                lines[anchor].eol = file.eol;
            lines.insert(anchor + 1, entry);
        } else {
            bool hasContent = false;
            for (const Line& l : lines)
                hasContent = hasContent || !trimRaw(l.text).isEmpty();
            // A file ending without a line break still ends its last line.
            if (!lines.isEmpty() && lines.last().eol.isEmpty()) {
                if (lines.last().text.isEmpty())
                    lines.removeLast();
                else
                    lines.last().eol = file.eol;
            }
            if (hasContent)
                lines.append(Line{QString(), file.eol});
            lines.append(Line{u'[' + escape(section, Kind::Section) + u']', file.eol});
            lines.append(entry);
        }
    }
    if (changed)
        *changed = true;
    return joinLines(file);
}

QByteArray SettingsStore::serialize(const Document& doc)
{
    QString out;
    bool first = true;
    for (const Section& s : doc) {
        if (!first)
            out += u'\n';
        first = false;
        out += u'[' + escape(s.name, Kind::Section) + QLatin1String("]\n");
        for (const Value& v : s.values) {
            out += escape(v.name, Kind::Name) + u'=';
            if (v.isNumber)
                out += QStringLiteral("dword:%1")
                           .arg(static_cast<quint32>(v.number), 8, 16, QChar(u'0'));
            else
                out += escape(v.text, Kind::Value);
            out += u'\n';
        }
    }
    return out.toUtf8();
}

const SettingsStore::Value* SettingsStore::find(const Document& doc, const QString& section,
                                                const QString& name)
{
    const Section* s = findSection(doc, section);
    if (!s)
        return nullptr;
    return findValue(const_cast<Section&>(*s), name);
}

bool SettingsStore::setText(Document& doc, const QString& section, const QString& name,
                            const QString& value)
{
    Section* s = findSection(doc, section);
    if (!s) {
        doc.append(Section{section, {}});
        s = &doc.last();
    }
    Value* v = findValue(*s, name);
    if (!v) {
        s->values.append(Value{name, value, false, 0});
        return true;
    }
    if (!v->isNumber && v->text == value)
        return false;
    // The name keeps the spelling it was first written with.
    v->isNumber = false;
    v->number = 0;
    v->text = value;
    return true;
}

bool SettingsStore::sectionFor(const QString& path, const QString& section, QString& out)
{
    const QString full = section.isEmpty() ? path : path + u'\\' + section;
    const QString& root = rootPath();
    if (full.size() <= root.size() + 1 || !full.startsWith(root, Qt::CaseInsensitive)
        || full.at(root.size()) != u'\\')
        return false;
    out = full.mid(root.size() + 1);
    return true;
}

bool SettingsStore::loadBytes(QByteArray& bytes) const
{
    bytes.clear();
    QFile f(path_);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    // readAll on a directory or a device that fails mid-way: treat it as unreadable.
    bytes = f.readAll();
    return f.error() == QFileDevice::NoError;
}

bool SettingsStore::load(Document& doc) const
{
    doc.clear();
    QByteArray bytes;
    if (!loadBytes(bytes))
        return false;
    doc = parse(bytes);
    return true;
}

QVariant SettingsStore::RegReadValue(const QString& path, const QString& section,
                                     const QString& name, const QVariant& defaultValue) const
{
    QString sec;
    if (!sectionFor(path, section, sec))
        return defaultValue;
    Document doc;
    if (!load(doc))
        return defaultValue;
    const Value* v = find(doc, sec, name);
    if (!v)
        return defaultValue;
    return v->isNumber ? QVariant(v->number) : QVariant(v->text);
}

QString SettingsStore::ReadSetting(const QString& path, const QString& section,
                                   const QString& name, const QString& defaultValue) const
{
    QString sec;
    if (!sectionFor(path, section, sec))
        return defaultValue;
    Document doc;
    if (!load(doc))
        return defaultValue;
    const Value* v = find(doc, sec, name);
    return v ? textOf(*v) : defaultValue;
}

bool SettingsStore::RegWriteString(const QString& path, const QString& section,
                                   const QString& name, const QString& value)
{
    QString sec;
    if (!sectionFor(path, section, sec))
        return false;
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return false;

    // Serialises read-change-replace between stores and programs.
    const FolderLock lock(info.absolutePath());

    QByteArray current;
    // A file that exists but cannot be read is not replaced: that would drop every
    // value in it.
    if (!loadBytes(current))
        return false;
    bool changed = false;
    const QByteArray bytes = withText(current, sec, name, value, &changed);
    if (!changed && QFileInfo::exists(path_))
        return true;

    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

QList<QPair<QString, QString>> SettingsStore::RegEnumValues(const QString& keyPath) const
{
    QList<QPair<QString, QString>> rows;
    QString sec;
    if (!sectionFor(keyPath, QString(), sec))
        return rows;
    Document doc;
    if (!load(doc))
        return rows;
    const Section* s = findSection(doc, sec);
    if (!s)
        return rows;
    for (const Value& v : s->values)
        rows.append({v.name, textOf(v)});
    return rows;
}

QStringList SettingsStore::RegEnumKeys(const QString& keyPath) const
{
    QStringList keys;
    QString prefix;
    if (keyPath.compare(rootPath(), Qt::CaseInsensitive) != 0) {
        if (!sectionFor(keyPath, QString(), prefix))
            return keys;
        prefix += u'\\';
    }
    Document doc;
    if (!load(doc))
        return keys;
    for (const Section& s : doc) {
        if (!s.name.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString rest = s.name.mid(prefix.size());
        const QString child = rest.section(u'\\', 0, 0);
        if (child.isEmpty())
            continue;
        if (!keys.contains(child, Qt::CaseInsensitive))
            keys.append(child);
    }
    return keys;
}

} // namespace orvid
