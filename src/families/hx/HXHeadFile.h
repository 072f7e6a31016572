#pragma once
// The head-type file ORVIDHX.INI: unit models, head types and country-profile groups, as
// they come with the devices. Only read, never written.
//
// File and picture names are found without regard to case, and a "\" in a picture name
// is read as "/", so a file written for the units' original platform works as shipped.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace orvid::hx {

// One country profile (section <group>_<n>).
struct HXProfile {
    qint32 id = 0;
    QString name;
    QString section;
    bool cdReadonly = false;
    bool ncReadonly = false;
    QList<qint32> cdValues;
    qint32 ptMin = 20;
    qint32 ptMax = 200;
    QString ptT;
};

// The profiles of one group, in file order, duplicate IDs dropped. Shared by every head
// type naming the group.
using HXProfileGroup = std::shared_ptr<const QList<HXProfile>>;

// One unit-model or head-type section.
struct HXHeadType {
    QString name;        // the section name
    QString typ;         // TYPE: "HEAD" for a unit model, else the head family
    QString picturePath; // the picture file found, or empty
    int protocolType = 0;
    int headCount = 0;   // 1..4 for a unit model, 0 for a head type
    HXProfileGroup profiles; // null when the head type needs no country profile
    QString apValues = QStringLiteral("CL");
    qint32 ptDMin = 20, ptDMax = 200, ptIMin = 20, ptIMax = 200;

    // PT limits, narrowed by the profile when it is given.
    qint32 PTMin(const HXProfile* profile) const;
    qint32 PTMax(const HXProfile* profile) const;
};

class HXHeadFile {
public:
    // The file in folder (found without regard to case); a missing file gives no models,
    // no head types and no profiles.
    static QString FindFile(const QString& folder, const QString& name = QStringLiteral("ORVIDHX.INI"));

    explicit HXHeadFile(const QString& path = QString());

    const QString& Path() const { return path_; }
    // Every section name in file order.
    QStringList Sections() const;
    // The head types (not unit models, not profile sections marked "_LANGUAGE_"), in file
    // order; duplicate names keep the first.
    const QList<HXHeadType>& HeadTypes() const { return heads_; }
    const HXHeadType* HeadType(const QString& name) const;
    // The unit model of that name (trimmed), when the file has the section.
    std::optional<HXHeadType> UnitModel(const QString& model) const;
    // Loads one section.
    HXHeadType Load(const QString& section) const;
    // A picture of the folder PICTURE beside the file (name as the file writes it); empty
    // when there is no such file.
    QString PicturePath(const QString& name) const;
    // The profile group, read once per program run and file.
    HXProfileGroup Group(const QString& group) const;

private:
    QString value(const QString& section, const QString& key, const QString& def) const;
    QString path_;
    QString pictureFolder_;
    QList<HXHeadType> heads_;
};

// A number of the file: the leading number, halves to the even neighbour.
qint32 IniNumber(const QString& text);
// HEADCOUNT: 1..4 as read, anything else 4.
int HeadCountOf(const QString& text);
// CD_VALUES: each comma-separated value above 0.
QList<qint32> CdValuesOf(const QString& text);

} // namespace orvid::hx
