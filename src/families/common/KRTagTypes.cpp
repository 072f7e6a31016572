#include "KRTagTypes.h"

#include "foundations/Utils.h"

namespace orvid {

namespace {

struct Named {
    int16_t code;
    const char* name;
};

const Named kNames[] = {
    {0, "Auto Orvid"}, {2, "QTX02"},  {3, "QTX03"},  {10, "QTX10"}, {11, "QTX11"}, {12, "QTX12"},
    {14, "QTX14"},     {20, "RMX20"}, {21, "RMX21"}, {22, "RMX22"}, {24, "RMX24"}, {33, "RMX33"},
    {35, "RMX35"},     {37, "RMX37"}, {40, "RMX40"}, {41, "RMX41"}, {42, "RMX42"}, {43, "RMX43"},
    {50, "ZKX-...-1K"}, {52, "NCX"},  {60, "WTX60"}, {80, "VNX80"}, {99, "Standard"},
};

TagType named(int16_t code)
{
    return {code, TagTypeName(code)};
}

QList<TagType> named(std::initializer_list<int16_t> codes)
{
    QList<TagType> list;
    for (int16_t c : codes)
        list.append(named(c));
    return list;
}

} // namespace

QString TagTypeName(int16_t code)
{
    for (const Named& n : kNames) {
        if (n.code == code)
            return QString::fromLatin1(n.name);
    }
    return QString();
}

QList<TagType> KRWindowDesignTagTypes()
{
    return named({TagCode::Auto, TagCode::QTX02, TagCode::QTX03, TagCode::QTX10});
}

QList<TagType> KRWindowExtraTagTypes(int16_t system)
{
    if (system == 2)
        return named({TagCode::QTX11});
    if (system == 3)
        return named({TagCode::QTX11, TagCode::QTX12, TagCode::QTX14});
    return {};
}

QList<TagType> KRWindowTagTypes(int16_t system)
{
    return KRWindowDesignTagTypes() + KRWindowExtraTagTypes(system);
}

QList<TagType> KRWriteDesignTagTypes()
{
    QList<TagType> list = named({TagCode::Auto, TagCode::QTX03, TagCode::QTX10});
    list[0].name = QStringLiteral("Auto Detect");
    return list;
}

QList<TagType> KRWriteTagTypes(int16_t system)
{
    QList<TagType> list = KRWriteDesignTagTypes();
    // QTX12 as well: the window offers it on this entry, and a dialog without it would
    // silently write with "Auto Detect" instead.
    if (system == 3)
        list += named({TagCode::QTX11, TagCode::QTX12, TagCode::QTX14});
    return list;
}

namespace {

// The tag types the reported head families can write. The write dialog and the
// interface-unit window list them in the same order but for the ZLB and RMB2 groups.
QList<TagType> tagTypesForHeads(const HeadFamilies& heads, bool rmb2BeforeZlb)
{
    QList<TagType> list;
    if (!heads.vnb)
        list.append(named(TagCode::Standard));
    if (heads.inductive)
        list += named({2, 3, 10, 11, 12, 14});
    if (heads.microwave)
        list += named({60});
    if (heads.rmb)
        list += named({20, 21, 22, 24, 33});
    if (heads.rmb1)
        list += named({20, 21, 22, 24, 33, 35, 37});
    const QList<TagType> zlb = heads.zlb ? named({50, 52}) : QList<TagType>();
    const QList<TagType> rmb2 = heads.rmb2 ? named({40, 41, 42, 43}) : QList<TagType>();
    list += rmb2BeforeZlb ? rmb2 + zlb : zlb + rmb2;
    if (heads.vnb)
        list += named({80});
    return list;
}

} // namespace

QList<TagType> KRWriteTagTypesForHeads(const HeadFamilies& heads)
{
    return tagTypesForHeads(heads, false);
}

QList<TagType> HXWindowTagTypes(const HeadFamilies& heads)
{
    return tagTypesForHeads(heads, true);
}

int16_t HeadNumberData(const QString& head)
{
    const QString h = head.trimmed();
    return h.compare(QLatin1String("x"), Qt::CaseInsensitive) == 0 ? int16_t(0) : CInt16(Val(h));
}

QString HeadNumberText(int16_t data)
{
    return data != 0 ? QString::number(data) : QStringLiteral("x");
}

} // namespace orvid
