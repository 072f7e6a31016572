#include "HXParameters.h"

#include "foundations/Utils.h"

#include <cmath>

namespace orvid::hx {

QByteArray WordBytes(int value)
{
    QByteArray b;
    b.append(static_cast<char>((value >> 8) & 0xFF)).append(static_cast<char>(value & 0xFF));
    return b;
}

int WordAt(const QByteArray& b, int at)
{
    return static_cast<uchar>(b.at(at)) << 8 | static_cast<uchar>(b.at(at + 1));
}

namespace {

QString firstByte(const QByteArray& b)
{
    return b.isEmpty() ? QStringLiteral("0") : QString::number(static_cast<uchar>(b.at(0)));
}

qint64 number(const QString& text)
{
    return static_cast<qint64>(std::nearbyint(Val(text)));
}

constexpr char kApLetters[] = "CLRHV";
} // namespace

ParameterList NewParameters(bool withCountryProfile)
{
    const std::pair<const char*, QByteArray> initial[] = {
        {"RC", QByteArray(2, '\0')},         {"AP", "C"},
        {"PT", QByteArray("\x00\x32", 2)},   {"CD", QByteArray("\x04\x0A\x07\x0D", 4)},
        {"NC", QByteArray("\x01", 1)},       {"TA", QByteArray("\x03", 1)},
        {"E5", QByteArray("\x05", 1)},       {"MB", QByteArray("\x03", 1)},
        {"QV", "S"},                         {"IF", QByteArray("\x00", 1)},
        {"QW", QByteArray("\x02", 1)},       {"NT", QByteArray("\xFF", 1)},
        {"SM", QByteArray(2, '\0')},
    };
    ParameterList list;
    for (const auto& [name, value] : initial) {
        if (!withCountryProfile && QByteArray(name) == "RC")
            continue;
        clsParameter p;
        p.Init(QString::fromLatin1(name), QString::fromLatin1(value));
        list.append(p);
    }
    return list;
}

clsParameter* FindParameter(ParameterList& list, const QString& name)
{
    for (clsParameter& p : list)
        if (p.Name() == name)
            return &p;
    return nullptr;
}

const clsParameter* FindParameter(const ParameterList& list, const QString& name)
{
    for (const clsParameter& p : list)
        if (p.Name() == name)
            return &p;
    return nullptr;
}

QByteArray ValueBytes(const clsParameter& p)
{
    return p.value().toLatin1();
}

void SetValueBytes(clsParameter& p, const QByteArray& bytes)
{
    p.setValue(QString::fromLatin1(bytes));
}

int16_t ReadAllParameters(IHXParameterLink& link, ParameterList& params, QString* failedName)
{
    for (clsParameter& p : params) {
        p.ResetChanged();
        p.setAvailable(false);
    }
    for (clsParameter& p : params) {
        bool replied = false;
        const int16_t r = link.ReadCmd(p, true, QByteArray(), &replied);
        if (r >= 0) {
            // Without a reply the head's value is unknown: nothing is shown or written.
            p.setAvailable(replied);
            continue;
        }
        if (r != -4) {
            if (failedName)
                *failedName = p.Name();
            return r;
        }
    }
    return 0;
}

const HXProfile* ProfileOf(const ParameterList& params, const HXHeadType& head)
{
    const clsParameter* rc = FindParameter(params, QStringLiteral("RC"));
    if (!rc || !head.profiles)
        return nullptr;
    const QByteArray v = ValueBytes(*rc);
    if (v.size() < 2)
        return nullptr;
    const int id = WordAt(v, 0);
    if (id <= 0)
        return nullptr;
    for (const HXProfile& profile : *head.profiles)
        if (profile.id == id)
            return &profile;
    return nullptr;
}

VNBForm FillVNBForm(const ParameterList& params, const HXHeadType& head)
{
    VNBForm f;
    f.profile = ProfileOf(params, head);
    auto value = [&](const char* name) {
        const clsParameter* p = FindParameter(params, QString::fromLatin1(name));
        return p ? ValueBytes(*p) : QByteArray();
    };
    auto available = [&](const char* name) {
        const clsParameter* p = FindParameter(params, QString::fromLatin1(name));
        return p && p->Available();
    };

    for (int i = 0; i < 5; ++i)
        if (head.apValues.contains(QLatin1Char(kApLetters[i]), Qt::CaseInsensitive))
            f.apItems.append(i);
    const QByteArray ap = value("AP");
    const int apData = ap.size() == 1 ? std::max<int>(0, QByteArray(kApLetters).indexOf(ap.at(0))) : 0;
    f.ap = f.apItems.contains(apData) ? apData : f.apItems.value(0, 0);
    f.apKept = !f.apItems.contains(apData) || (ap != QByteArray(1, kApLetters[apData]));

    const QByteArray pt = value("PT");
    const int n = std::min<int>(static_cast<int>(pt.size() / 2), 10);
    for (int k = 0; k < n; ++k)
        f.pt[k] = QString::number(WordAt(pt, 2 * k));

    f.cdItems.append(0);
    if (f.profile)
        f.cdItems.append(f.profile->cdValues);
    else
        f.cdItems.append({4, 7, 10, 13});
    const QByteArray cd = value("CD");
    for (int k = 0; k < std::min<int>(static_cast<int>(cd.size()), 4); ++k) {
        const int c = static_cast<uchar>(cd.at(k));
        f.cd[k] = f.cdItems.contains(c) ? c : 0;
    }

    if (available("NC"))
        f.nc = firstByte(value("NC"));
    f.ta = firstByte(value("TA"));
    f.e5 = firstByte(value("E5"));
    f.qw = firstByte(value("QW"));
    f.nt = firstByte(value("NT"));
    const QByteArray mb = value("MB");
    const int mbData = mb.isEmpty() ? -1 : static_cast<uchar>(mb.at(0));
    f.mb = mbData >= 0 && mbData <= 3 ? mbData : 2;
    f.qv = value("QV") == "M" ? 1 : 0;
    const QByteArray info = value("IF");
    f.info = !info.isEmpty() && static_cast<uchar>(info.at(0)) == 1 ? 1 : 0;
    const QByteArray sm = value("SM");
    f.sm = sm.size() == 2 ? QString::number(WordAt(sm, 0)) : QStringLiteral("0");

    for (const char* name : {"AP", "PT", "CD", "NC", "TA", "E5", "MB", "QV", "IF", "QW", "NT", "SM"})
        f.enabled[QString::fromLatin1(name)] = available(name);
    if (f.profile) {
        if (f.profile->cdReadonly)
            f.enabled[QStringLiteral("CD")] = false;
        if (f.profile->ncReadonly)
            f.enabled[QStringLiteral("NC")] = false;
    }
    return f;
}

void ExcludeChannel(VNBForm& form, int j)
{
    const int v = form.cd[j];
    if (v <= 0)
        return;
    for (int k = 0; k < 4; ++k)
        if (k != j && form.cd[k] == v)
            form.cd[k] = 0;
}

std::optional<VNBRangeFault> ComposeVNBForm(const VNBForm& f, const HXHeadType& head, ParameterList& params)
{
    auto on = [&](const char* name) {
        return f.enabled.value(QString::fromLatin1(name)) && FindParameter(params, QString::fromLatin1(name));
    };
    auto set = [&](const char* name, const QByteArray& bytes) {
        SetValueBytes(*FindParameter(params, QString::fromLatin1(name)), bytes);
    };
    auto byteField = [&](const char* name, const QString& text, int min, int max) -> std::optional<VNBRangeFault> {
        if (!on(name))
            return std::nullopt;
        const qint64 v = number(text);
        if (v < min || v > max)
            return VNBRangeFault{QString::fromLatin1(name), min, max, 0};
        set(name, QByteArray(1, static_cast<char>(v)));
        return std::nullopt;
    };

    // The head's own polarisation stays unless the user picked one.
    if (on("AP") && !f.apKept)
        set("AP", QByteArray(1, kApLetters[std::clamp(f.ap, 0, 4)]));
    if (on("PT")) {
        const qint64 min = head.PTMin(f.profile), max = head.PTMax(f.profile);
        QByteArray pt;
        for (int k = 0; k < 10; ++k) {
            if (f.pt[k].isEmpty())
                continue;
            const qint64 v = number(f.pt[k]);
            if (v < min || v > max)
                return VNBRangeFault{QStringLiteral("PT"), min, max, k};
            pt += WordBytes(static_cast<int>(v));
        }
        // An empty power list would leave the head without a transmit power.
        if (pt.isEmpty())
            return VNBRangeFault{QStringLiteral("PT"), min, max, 0};
        set("PT", pt);
    }
    if (on("CD")) {
        QByteArray cd;
        for (int c : f.cd)
            if (c > 0)
                cd.append(static_cast<char>(c));
        set("CD", cd);
    }
    for (const auto& [name, text, min, max] :
         {std::tuple<const char*, QString, int, int>{"NC", f.nc, 1, 50}, {"TA", f.ta, 1, 255}, {"E5", f.e5, 0, 255}}) {
        if (auto fault = byteField(name, text, min, max))
            return fault;
    }
    if (on("MB"))
        set("MB", QByteArray(1, static_cast<char>(f.mb)));
    if (on("QV"))
        set("QV", f.qv == 1 ? "M" : "S");
    if (on("IF"))
        set("IF", QByteArray(1, static_cast<char>(f.info)));
    if (auto fault = byteField("QW", f.qw, 0, 7))
        return fault;
    if (auto fault = byteField("NT", f.nt, 0, 255))
        return fault;
    if (on("SM")) {
        const qint64 v = number(f.sm);
        if (v < 0 || v > 65535)
            return VNBRangeFault{QStringLiteral("SM"), 0, 65535, 0};
        set("SM", WordBytes(static_cast<int>(v)));
    }
    return std::nullopt;
}

} // namespace orvid::hx
