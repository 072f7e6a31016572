#include "HXHeadFile.h"

#include "foundations/IniFile.h"
#include "foundations/Utils.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <cmath>

namespace orvid::hx {

namespace {

// The entry of folder whose name equals name without regard to case; empty when none.
QString findEntry(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || name.isEmpty())
        return QString();
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name)))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return QString();
}

// A relative path ("PICTURE\\HX.GIF") resolved one part at a time without regard to case.
QString findPath(const QString& folder, const QString& relative)
{
    QString current = folder;
    const QStringList parts = QString(relative).replace(QLatin1Char('\\'), QLatin1Char('/'))
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        current = findEntry(current, part);
        if (current.isEmpty())
            return QString();
    }
    return parts.isEmpty() ? QString() : current;
}

struct GroupCache {
    QMutex mutex;
    QHash<QString, HXProfileGroup> groups; // key: file path NUL group (upper case)
};

GroupCache& groupCache()
{
    static GroupCache cache;
    return cache;
}

} // namespace

qint32 IniNumber(const QString& text)
{
    const double v = Val(text);
    if (!std::isfinite(v) || v > 2147483647.0 || v < -2147483648.0)
        return 0;
    return static_cast<qint32>(std::nearbyint(v));
}

int HeadCountOf(const QString& text)
{
    const double v = std::nearbyint(Val(text));
    return (v >= 1 && v <= 4) ? static_cast<int>(v) : 4;
}

QList<qint32> CdValuesOf(const QString& text)
{
    QList<qint32> values;
    QString rest = text;
    while (!rest.isEmpty()) {
        const qint32 v = IniNumber(GetToken(rest, QStringLiteral(",")));
        if (v > 0)
            values.append(v);
    }
    return values;
}

qint32 HXHeadType::PTMin(const HXProfile* profile) const
{
    const bool d = profile && profile->ptT.compare(QLatin1String("D"), Qt::CaseSensitive) == 0;
    qint32 v = d ? ptDMin : ptIMin;
    if (profile && profile->ptMin > v)
        v = profile->ptMin;
    return v;
}

qint32 HXHeadType::PTMax(const HXProfile* profile) const
{
    const bool d = profile && profile->ptT.compare(QLatin1String("D"), Qt::CaseSensitive) == 0;
    qint32 v = d ? ptDMax : ptIMax;
    if (profile && profile->ptMax < v)
        v = profile->ptMax;
    return v;
}

QString HXHeadFile::FindFile(const QString& folder, const QString& name)
{
    const QString found = findEntry(folder, name);
    return found.isEmpty() ? QDir(folder).filePath(name) : found;
}

HXHeadFile::HXHeadFile(const QString& path)
    : path_(path)
    , pictureFolder_(QFileInfo(path).absolutePath())
{
    for (const QString& name : Sections()) {
        if (name.toUpper().contains(QLatin1String("_LANGUAGE_")))
            continue;
        HXHeadType head = Load(name);
        if (head.typ == QLatin1String("HEAD") || HeadType(name))
            continue;
        heads_.append(std::move(head));
    }
}

QString HXHeadFile::value(const QString& section, const QString& key, const QString& def) const
{
    if (path_.isEmpty())
        return def;
    return ReadIni(path_, section, key, def);
}

QStringList HXHeadFile::Sections() const
{
    if (path_.isEmpty())
        return {};
    return ReadIni(path_, QString(), QString(), QString()).split(QChar(0), Qt::SkipEmptyParts);
}

const HXHeadType* HXHeadFile::HeadType(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const HXHeadType& h : heads_)
        if (h.name.compare(name, Qt::CaseInsensitive) == 0)
            return &h;
    return nullptr;
}

std::optional<HXHeadType> HXHeadFile::UnitModel(const QString& model) const
{
    // A section exists when it has any key; blanks around the model never count.
    const QString name = model.trimmed();
    if (name.isEmpty() || value(name, QString(), QString()).isEmpty())
        return std::nullopt;
    return Load(name);
}

QString HXHeadFile::PicturePath(const QString& name) const
{
    return name.isEmpty() ? QString() : findPath(pictureFolder_, QStringLiteral("PICTURE/") + name);
}

HXHeadType HXHeadFile::Load(const QString& section) const
{
    HXHeadType h;
    h.name = section;
    h.typ = value(section, QStringLiteral("TYPE"), QString());
    const QString picture = value(section, QStringLiteral("PICTURE"), QString());
    h.picturePath = PicturePath(picture);
    h.protocolType = value(section, QStringLiteral("PROTOCOL"), QString()).toUpper()
                             == QLatin1String("DIAGNOSE")
                         ? 1
                         : 0;
    if (h.typ == QLatin1String("HEAD"))
        h.headCount = HeadCountOf(value(section, QStringLiteral("HEADCOUNT"), QStringLiteral("4")));
    const QString group = value(section, QStringLiteral("LANGUAGEORVIDIFY"), QString());
    if (!group.isEmpty())
        h.profiles = Group(group);
    h.apValues = value(section, QStringLiteral("AP_VALUES"), QStringLiteral("CL"));
    h.ptDMin = IniNumber(value(section, QStringLiteral("PT_D_MIN"), QStringLiteral("20")));
    h.ptDMax = IniNumber(value(section, QStringLiteral("PT_D_MAX"), QStringLiteral("200")));
    h.ptIMin = IniNumber(value(section, QStringLiteral("PT_I_MIN"), QStringLiteral("20")));
    h.ptIMax = IniNumber(value(section, QStringLiteral("PT_I_MAX"), QStringLiteral("200")));
    return h;
}

HXProfileGroup HXHeadFile::Group(const QString& group) const
{
    GroupCache& cache = groupCache();
    const QString key = path_ + QChar(0) + group.toUpper();
    {
        QMutexLocker lock(&cache.mutex);
        const auto it = cache.groups.constFind(key);
        if (it != cache.groups.constEnd())
            return *it;
    }
    auto list = std::make_shared<QList<HXProfile>>();
    for (int n = 1;; ++n) {
        const QString section = group + QLatin1Char('_') + QString::number(n);
        HXProfile p;
        p.name = value(section, QStringLiteral("Name"), QString());
        if (p.name.isEmpty())
            break;
        p.section = section;
        p.id = IniNumber(value(section, QStringLiteral("ID"), QString()));
        p.cdReadonly = IniNumber(value(section, QStringLiteral("CD_READONLY"), QString())) != 0;
        p.ncReadonly = IniNumber(value(section, QStringLiteral("NC_READONLY"), QString())) != 0;
        p.cdValues = CdValuesOf(value(section, QStringLiteral("CD_VALUES"), QString()));
        p.ptMin = IniNumber(value(section, QStringLiteral("PT_MIN"), QStringLiteral("20")));
        p.ptMax = IniNumber(value(section, QStringLiteral("PT_MAX"), QStringLiteral("200")));
        p.ptT = value(section, QStringLiteral("PT_T"), QString());
        bool duplicate = false;
        for (const HXProfile& q : *list)
            duplicate = duplicate || q.id == p.id;
        if (!duplicate)
            list->append(std::move(p));
    }
    HXProfileGroup shared = list;
    QMutexLocker lock(&cache.mutex);
    return *cache.groups.insert(key, shared);
}

} // namespace orvid::hx
