#include "SettingsStore.h"

#include "Cp1252.h"
#include "SaveFile.h"
#include "Utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvid {

namespace {

enum class Kind { Section, Name, Value };

const QString& rootPath()
{
    static const QString root = QString::fromLatin1(SettingsStore::RootPath);
    return root;
}

bool startsWithDword(QStringView s)
{
    return s.size() >= 6 && (s.front() == u'd' || s.front() == u'D')
        && s.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive);
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


// Reads n hex digits at s[pos]; -1 when they are not all there.
int readHex(QStringView s, qsizetype pos, int n)
{
    if (pos + n > s.size())
        return -1;
    int v = 0;
    for (int k = 0; k < n; ++k) {
        const int d = HexDigitValue(s.at(pos + k).unicode());
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

// The inverse of escape. An unknown escape keeps its backslash, so a path typed by hand
// mostly survives.
QString unescape(QStringView s)
{
    if (!s.contains(u'\\'))
        return s.toString();
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
QStringView trimRaw(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s.at(b) == u' ' || s.at(b) == u'\t'))
        ++b;
    while (e > b && (s.at(e - 1) == u' ' || s.at(e - 1) == u'\t'))
        --e;
    return s.sliced(b, e - b);
}

bool parseDword(QStringView raw, qint32& number)
{
    if (!startsWithDword(raw))
        return false;
    const QStringView digits = raw.sliced(6);
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    quint32 v = 0;
    for (const QChar ch : digits) {
        const int d = HexDigitValue(ch.unicode());
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

// The folder and the missing ones above it, made; 0, or the system's error number of the
// step that failed (a file in the folder's place: EEXIST, one above it: ENOTDIR), which the
// user is told with the folder that step could not make (*failed).
int makeFolder(const QByteArray& folder, QByteArray* failed)
{
    struct stat st {};
    const auto isFolder = [&st, &folder] { return ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode); };
    const auto make = [&] {
        if (::mkdir(folder.constData(), 0777) == 0)
            return 0;
        const int error = errno;
        // Made by another program meanwhile counts as made.
        return error == EEXIST && isFolder() ? 0 : error;
    };
    if (isFolder())
        return 0;
    *failed = folder;
    const int error = make();
    const qsizetype slash = folder.lastIndexOf('/');
    if (error != ENOENT || slash <= 0)
        return error;
    if (const int above = makeFolder(folder.left(slash), failed))
        return above;
    *failed = folder;
    return make();
}

// The whole file and its state after the reading; 0, or the system's error number of the
// call that failed (a folder in the file's place: EISDIR).
int readWhole(const QByteArray& file, QByteArray& bytes, struct stat& st)
{
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    // Read straight into the buffer, sized for the file as it stands (a file that grows
    // meanwhile is read to its end all the same).
    qsizetype size = 0;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        bytes.resize(st.st_size + 1);
    for (;;) {
        if (size == bytes.size())
            bytes.resize(std::max<qsizetype>(2 * size, 65536));
        const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (n > 0)
            size += n;
        else if (n == 0 || errno != EINTR) {
            error = n == 0 ? 0 : errno;
            break;
        }
    }
    bytes.truncate(size);
    if (error == 0 && ::fstat(fd, &st) != 0)
        error = errno;
    ::close(fd);
    return error;
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

enum class LineType { Blank, Comment, Header, BrokenHeader, Value, Other };

struct LineInfo {
    LineType type = LineType::Blank;
    QString section; // Header: the section's name
    QString name;    // Value: the value's name
    QStringView raw; // Value: the text after "=" as written (in the classified text)
};

LineInfo classify(QStringView text)
{
    LineInfo info;
    const QStringView line = trimRaw(text);
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
        info.section = unescape(trimRaw(line.sliced(1, close - 1)));
        return info;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        info.type = LineType::Other;
        return info;
    }
    info.type = LineType::Value;
    info.name = unescape(trimRaw(line.first(eq)));
    info.raw = trimRaw(line.sliced(eq + 1));
    return info;
}

// Lines are decoded only to be understood; the file keeps their bytes. A line is UTF-8
// when it decodes as such; otherwise it was typed in an 8-bit editor and is Windows-1252.
// Deciding per line keeps a file readable that holds both. U+FEFF at the start of a line
// is a character of the line: only the file's own first bytes can be a byte order mark.
class LineDecoder {
public:
    // The text stays valid until the next call.
    const QString& operator()(QByteArrayView bytes)
    {
        if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; })) {
            // Most lines: ASCII, into the buffer of the line before.
            text_.resize(bytes.size());
            std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char16_t*>(text_.data()));
            return text_;
        }
        utf8_.resetState();
        QString text = utf8_(bytes);
        text_ = utf8_.hasError() ? FromCp1252(bytes.toByteArray()) : std::move(text);
        return text_;
    }

private:
    QString text_;
    QStringDecoder utf8_{QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
};

// One line of the file: its text is [start, textEnd), its line break (if any) runs up to
// next. A break is "\n" or "\r\n"; the file's last line may end in "\r" or in nothing.
struct LineSpan {
    qsizetype start;
    qsizetype textEnd;
    qsizetype next;
    bool hasNewline(const QByteArray& bytes) const { return next > start && bytes.at(next - 1) == '\n'; }
};

LineSpan lineAt(const QByteArray& bytes, qsizetype start)
{
    const qsizetype nl = bytes.indexOf('\n', start);
    LineSpan line{start, nl < 0 ? bytes.size() : nl, nl < 0 ? bytes.size() : nl + 1};
    if (line.textEnd > start && bytes.at(line.textEnd - 1) == '\r')
        --line.textEnd;
    return line;
}

const QString& lineText(const QByteArray& bytes, const LineSpan& line, LineDecoder& decode)
{
    return decode(QByteArrayView(bytes).sliced(line.start, line.textEnd - line.start));
}

QString foldKey(const QString& s)
{
    return s.toCaseFolded();
}

// Names of sections and values are matched without regard to case. The hash is taken
// over the case-folded characters (the folding a case-insensitive comparison uses) without
// building a folded copy of each name; names with equal hashes are then told apart by
// that comparison.
size_t foldedHash(QStringView s)
{
    size_t h = 14695981039346656037ull;
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t c = s.at(i).unicode();
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z')
                c += u'a' - u'A';
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), s.at(++i).unicode());
            c = QChar::toCaseFolded(c);
        }
        h = (h ^ c) * 1099511628211ull;
    }
    return h;
}

// Positions in a list of named things (nameOf gives the name at a position).
class NameIndex {
public:
    template <typename NameOf>
    qsizetype find(size_t hash, QStringView name, NameOf&& nameOf) const
    {
        for (auto [it, end] = map_.equal_range(hash); it != end; ++it) {
            if (QStringView(nameOf(*it)).compare(name, Qt::CaseInsensitive) == 0)
                return *it;
        }
        return -1;
    }
    template <typename NameOf>
    qsizetype find(QStringView name, NameOf&& nameOf) const
    {
        return find(foldedHash(name), name, nameOf);
    }
    void insert(size_t hash, qsizetype pos) { map_.insert(hash, pos); }

private:
    QMultiHash<size_t, qsizetype> map_;
};

struct SectionIndex {
    NameIndex values;                 // names -> position in Section::values
    QList<qsizetype> lineStart;       // per value: where its line starts in the file
    qsizetype anchor = -1;            // start of the line a new value is written after
};

// The file's bytes with what was understood of them. Offsets count from the file's
// first byte (a byte order mark included).
struct ParsedFile {
    QByteArray bytes;
    qsizetype bomSize = 0;
    SettingsStore::Document doc;
    QList<SectionIndex> index;          // parallel to doc
    NameIndex sections;                 // names -> position in doc
    QByteArray eol = "\n";              // the file's own line break, for lines a write adds
    bool hasContent = false;            // any line that is not blank
};

// One pass over the file. A section written twice is one section; the first line of a
// name wins (as a lookup would find it); what follows a broken header belongs nowhere.
ParsedFile parseFile(const QByteArray& bytes)
{
    ParsedFile f;
    f.bytes = bytes;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        f.bomSize = 3;
    LineDecoder decode;
    bool eolSeen = false;
    qsizetype current = -1;
    for (qsizetype pos = f.bomSize; pos < bytes.size();) {
        const LineSpan line = lineAt(bytes, pos);
        if (!eolSeen && line.hasNewline(bytes)) {
            f.eol = bytes.mid(line.textEnd, line.next - line.textEnd);
            eolSeen = true;
        }
        const QString& text = lineText(bytes, line, decode);
        const LineInfo info = classify(text);
        f.hasContent = f.hasContent || info.type != LineType::Blank;
        switch (info.type) {
        case LineType::Header: {
            const size_t hash = foldedHash(info.section);
            current = f.sections.find(hash, info.section,
                                      [&](qsizetype i) -> const QString& { return f.doc.at(i).name; });
            if (current < 0) {
                current = f.doc.size();
                f.doc.append(SettingsStore::Section{info.section, {}});
                f.index.append(SectionIndex());
                f.sections.insert(hash, current);
            }
            f.index[current].anchor = pos;
            break;
        }
        case LineType::BrokenHeader:
            current = -1;
            break;
        case LineType::Value: {
            if (current < 0)
                break;
            SectionIndex& idx = f.index[current];
            idx.anchor = pos;
            QList<SettingsStore::Value>& values = f.doc[current].values;
            const size_t hash = foldedHash(info.name);
            const auto nameAt = [&](qsizetype i) -> const QString& { return values.at(i).name; };
            if (idx.values.find(hash, info.name, nameAt) >= 0)
                break;
            SettingsStore::Value v;
            v.name = info.name;
            v.isNumber = parseDword(info.raw, v.number);
            if (!v.isNumber)
                v.text = unescape(info.raw);
            idx.values.insert(hash, values.size());
            idx.lineStart.append(pos);
            values.append(v);
            break;
        }
        case LineType::Other:
            if (current >= 0)
                f.index[current].anchor = pos;
            break;
        case LineType::Comment:
        case LineType::Blank:
            break;
        }
        pos = line.next;
    }
    return f;
}

qsizetype findSection(const ParsedFile& f, const QString& section)
{
    return f.sections.find(section, [&](qsizetype i) -> const QString& { return f.doc.at(i).name; });
}

qsizetype findValue(const ParsedFile& f, qsizetype section, const QString& name)
{
    const QList<SettingsStore::Value>& values = f.doc.at(section).values;
    return f.index.at(section).values.find(name, [&](qsizetype i) -> const QString& {
        return values.at(i).name;
    });
}

const SettingsStore::Value* lookup(const ParsedFile& f, const QString& section, const QString& name)
{
    const qsizetype s = findSection(f, section);
    const qsizetype v = s < 0 ? -1 : findValue(f, s, name);
    return v < 0 ? nullptr : &f.doc.at(s).values.at(v);
}

// Setting one text value is one splice of the file's bytes: `removed` bytes at pos give
// way to `inserted`. Every other byte stays as it is.
struct Edit {
    bool changed = false;
    qsizetype pos = 0;
    qsizetype removed = 0;
    QByteArray inserted;
    qsizetype section = -1;  // -1: the section is new
    qsizetype value = -1;    // -1: the value is new
    qsizetype valueLine = 0; // where the value's line starts after the splice
};

Edit planEdit(const ParsedFile& f, const QString& section, const QString& name, const QString& value)
{
    Edit e;
    const QString escapedValue = escape(value, Kind::Value);
    e.section = findSection(f, section);
    if (e.section >= 0) {
        const SectionIndex& idx = f.index.at(e.section);
        e.value = findValue(f, e.section, name);
        if (e.value >= 0) {
            const SettingsStore::Value& old = f.doc.at(e.section).values.at(e.value);
            if (!old.isNumber && old.text == value)
                return e;
            // Only the value changes: the name keeps its spelling and the line its layout.
            // (A line typed in an 8-bit editor is written back in UTF-8 as a whole.)
            const LineSpan line = lineAt(f.bytes, idx.lineStart.at(e.value));
            LineDecoder decode;
            const QString text = lineText(f.bytes, line, decode);
            e.changed = true;
            e.pos = line.start;
            e.removed = line.textEnd - line.start;
            e.inserted = (text.left(text.indexOf(u'=') + 1) + escapedValue).toUtf8();
            e.valueLine = line.start;
            return e;
        }
    }

    e.changed = true;
    const QByteArray entry = (escape(name, Kind::Name) + u'=' + escapedValue).toUtf8() + f.eol;
    const QByteArray& bytes = f.bytes;
    // The file's last line is ended first; one ending in a bare CR gets its LF.
    QByteArray lastBreak;
    if (bytes.size() > f.bomSize && !bytes.endsWith('\n'))
        lastBreak = bytes.endsWith('\r') ? QByteArray("\n") : f.eol;
    if (e.section >= 0) {
        // At the end of the section's last block.
        const LineSpan anchor = lineAt(bytes, f.index.at(e.section).anchor);
        if (anchor.hasNewline(bytes)) {
            e.pos = anchor.next;
        } else {
            e.pos = bytes.size();
            e.inserted = lastBreak;
        }
        e.valueLine = e.pos + e.inserted.size();
        e.inserted += entry;
        return e;
    }
    // A new section at the end of the file, after a blank line.
    e.pos = bytes.size();
    e.inserted = lastBreak;
    if (f.hasContent)
        e.inserted += f.eol;
    e.inserted += (u'[' + escape(section, Kind::Section) + u']').toUtf8() + f.eol;
    e.valueLine = e.pos + e.inserted.size();
    e.inserted += entry;
    return e;
}

QByteArray applyEdit(const QByteArray& bytes, const Edit& e)
{
    QByteArray out;
    out.reserve(bytes.size() - e.removed + e.inserted.size());
    out.append(bytes.constData(), e.pos);
    out.append(e.inserted);
    out.append(bytes.constData() + e.pos + e.removed, bytes.size() - e.pos - e.removed);
    return out;
}

// Brings the parsed file up to date with an edit that reached the disk, without parsing
// it again: offsets behind the splice move, and the value (and section) join the indexes.
void commitEdit(ParsedFile& f, const Edit& e, QByteArray bytes, const QString& section,
                const QString& name, const QString& value)
{
    f.bytes = std::move(bytes);
    f.hasContent = true;
    const qsizetype from = e.pos + e.removed;
    const qsizetype delta = e.inserted.size() - e.removed;
    if (delta != 0) {
        for (SectionIndex& idx : f.index) {
            for (qsizetype& start : idx.lineStart)
                if (start >= from)
                    start += delta;
            if (idx.anchor >= from)
                idx.anchor += delta;
        }
    }
    qsizetype s = e.section;
    if (s < 0) {
        s = f.doc.size();
        f.doc.append(SettingsStore::Section{section, {}});
        f.index.append(SectionIndex());
        f.sections.insert(foldedHash(section), s);
    }
    QList<SettingsStore::Value>& values = f.doc[s].values;
    if (e.value >= 0) {
        SettingsStore::Value& v = values[e.value];
        v.isNumber = false;
        v.number = 0;
        v.text = value;
        return;
    }
    SectionIndex& idx = f.index[s];
    idx.values.insert(foldedHash(name), values.size());
    idx.lineStart.append(e.valueLine);
    idx.anchor = e.valueLine;
    values.append(SettingsStore::Value{name, value, false, 0});
}

// What identifies one state of the file on disk. Every change of the contents moves the
// change time (ctime), which no program can set back; an atomic replace also brings a new
// inode.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modified = 0; // ns
    qint64 changed = 0;  // ns

    bool operator==(const FileStamp&) const = default;
};

qint64 nanoseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp stampOf(const struct stat& st)
{
    return FileStamp{true, st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim),
                     nanoseconds(st.st_ctim)};
}

qint64 nowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

// File times tick in coarse steps, so a change made within the same step as the one that
// was read can leave the stamp as it was. Contents read (or written) this soon after the
// file's last change are compared with the file again on the next call.
constexpr qint64 kTimeStepNs = 1000000000;

} // namespace

struct SettingsStore::Model : ParsedFile {
    FileStamp stamp;
    qint64 readAt = 0; // when the contents were known to be the file's (ns)

    bool trusted(const FileStamp& now) const
    {
        return stamp == now && readAt - stamp.changed >= kTimeStepNs;
    }
};

QString TrimNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

SettingsStore::SettingsStore(const QString& filePath)
    : path_(filePath.isEmpty() ? defaultFilePath() : filePath)
{
    removeStaleTemporaries();
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Valdrecht/Zarvento.conf");
}

QString SettingsStore::filePath() const
{
    return path_;
}

void SettingsStore::setWriteFailureHandler(WriteFailureHandler handler)
{
    onWriteFailure_ = std::move(handler);
}

void SettingsStore::setWriteMendedHandler(std::function<void()> handler)
{
    onWriteMended_ = std::move(handler);
}

// A save that was cut off (crash, power loss) can leave its temporary file next to the
// settings file: the file's name, a dot and six random letters. Under the folder lock no
// save of this program is running, so any such file is left over. A suffix of lower-case
// letters only is spared: that is how a copy made by hand ("Zarvento.conf.backup") looks,
// and one in 64 temporary names.
void SettingsStore::removeStaleTemporaries() const
{
    const QFileInfo info(path_);
    const QDir dir = info.absoluteDir();
    if (!dir.exists())
        return;
    const FolderLock lock(dir.absolutePath());
    const QString prefix = info.fileName() + u'.';
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
            continue;
        const QString suffix = name.mid(prefix.size());
        const bool letters = std::all_of(suffix.cbegin(), suffix.cend(), [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        });
        if (letters && suffix != suffix.toLower())
            QFile::remove(entry.absoluteFilePath());
    }
}

SettingsStore::Document SettingsStore::parse(const QByteArray& bytes)
{
    return parseFile(bytes).doc;
}

QByteArray SettingsStore::withText(const QByteArray& bytes, const QString& section,
                                   const QString& name, const QString& value, bool* changed)
{
    const Edit e = planEdit(parseFile(bytes), section, name, value);
    if (changed)
        *changed = e.changed;
    return e.changed ? applyEdit(bytes, e) : bytes;
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

const SettingsStore::Model* SettingsStore::current(int* error) const
{
    const QByteArray native = QFile::encodeName(path_);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        // No file (or none that can be reached): every value reads as its default.
        if (!model_ || model_->stamp.exists || !model_->bytes.isEmpty())
            model_ = std::make_unique<Model>();
        return model_.get();
    }
    if (model_ && model_->trusted(stampOf(st)))
        return model_.get();

    const qint64 readAt = nowNs();
    QByteArray bytes;
    if (const int failed = readWhole(native, bytes, st)) {
        if (error)
            *error = failed;
        return nullptr;
    }
    if (!model_ || !model_->stamp.exists || model_->bytes != bytes) {
        auto parsed = std::make_unique<Model>();
        static_cast<ParsedFile&>(*parsed) = parseFile(bytes);
        model_ = std::move(parsed);
    }
    model_->stamp = stampOf(st);
    model_->readAt = readAt;
    return model_.get();
}

bool SettingsStore::writeFailed(int error, const QString& path)
{
    // One report until a write succeeds again: the caller may go on writing value after
    // value into the same unwritable file.
    if (!failureReported_ && onWriteFailure_) {
        failureReported_ = true;
        onWriteFailure_(QDir::toNativeSeparators(path.isEmpty() ? path_ : path), error);
    }
    return false;
}

QVariant SettingsStore::RegReadValue(const QString& path, const QString& section,
                                     const QString& name, const QVariant& defaultValue) const
{
    QString sec;
    if (!sectionFor(path, section, sec))
        return defaultValue;
    const Model* m = current();
    const Value* v = m ? lookup(*m, sec, name) : nullptr;
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
    const Model* m = current();
    const Value* v = m ? lookup(*m, sec, name) : nullptr;
    return v ? textOf(*v) : defaultValue;
}

bool SettingsStore::RegWriteString(const QString& path, const QString& section,
                                   const QString& name, const QString& value)
{
    QString sec;
    if (!sectionFor(path, section, sec))
        return false;
    const QFileInfo info(path_);
    QByteArray folder;
    if (const int error = makeFolder(QFile::encodeName(info.absolutePath()), &folder))
        return writeFailed(error, QFile::decodeName(folder));

    // Serialises read-change-replace between stores and programs.
    const FolderLock lock(info.absolutePath());

    // A file that exists but cannot be read is not replaced: that would drop every
    // value in it.
    int error = 0;
    const Model* m = current(&error);
    if (!m)
        return writeFailed(error);
    const Edit edit = planEdit(*m, sec, name, value);
    if (!edit.changed)
        return true;
    QByteArray bytes = applyEdit(m->bytes, edit);

    // On a failure the file on disk and the values kept here stay as they were.
    const SaveFileResult saved = SaveFileAtomically(path_, bytes);
    if (!saved.ok())
        return writeFailed(saved.error);
    const bool mended = failureReported_;
    failureReported_ = false;

    const qint64 writtenAt = nowNs();
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0) {
        model_.reset(); // read again next time
    } else {
        commitEdit(*model_, edit, std::move(bytes), sec, name, value);
        model_->stamp = stampOf(st);
        model_->readAt = writtenAt;
    }
    // Last, with the kept copy up to date: the one told may write at once.
    if (mended && onWriteMended_)
        onWriteMended_();
    return true;
}

QList<QPair<QString, QString>> SettingsStore::RegEnumValues(const QString& keyPath) const
{
    QList<QPair<QString, QString>> rows;
    QString sec;
    if (!sectionFor(keyPath, QString(), sec))
        return rows;
    const Model* m = current();
    if (!m)
        return rows;
    const qsizetype s = findSection(*m, sec);
    if (s < 0)
        return rows;
    for (const Value& v : m->doc.at(s).values)
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
    const Model* m = current();
    if (!m)
        return keys;
    QSet<QString> seen;
    for (const Section& s : m->doc) {
        if (!s.name.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString rest = s.name.mid(prefix.size());
        const QString child = rest.section(u'\\', 0, 0);
        if (child.isEmpty())
            continue;
        if (!seen.contains(foldKey(child))) {
            seen.insert(foldKey(child));
            keys.append(child);
        }
    }
    return keys;
}

} // namespace orvid
