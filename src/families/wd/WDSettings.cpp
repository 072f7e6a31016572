#include "WDSettings.h"

#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"

namespace orvid {

namespace {

struct Field {
    const char* key;
    std::optional<QString> WDSettings::*member;
    const char* defaultValue;
};

const Field kFields[] = {
    {WDSettings::kDataRepresentation, &WDSettings::DataRepresentation, "0"},
    {WDSettings::kHeadNumber, &WDSettings::HeadNumber, "0"},
    {WDSettings::kUseIdCode, &WDSettings::UseIdCode, "0"},
    {WDSettings::kLoopFlag, &WDSettings::LoopFlag, "0"},
    {WDSettings::kIdCode, &WDSettings::IdCode, ""},
    {WDSettings::kStartAddress, &WDSettings::StartAddress, ""},
    {WDSettings::kDataLength, &WDSettings::DataLength, ""},
    {WDSettings::kTagcode, &WDSettings::Tagcode, "0"},
    {WDSettings::kOperationMode, &WDSettings::OperationMode, "0"},
};

QString section() { return QString::fromLatin1(WDSettings::kSection); }

} // namespace

QString WDSettings::Number(int value)
{
    return value >= 0 ? QLatin1Char(' ') + QString::number(value) : QString::number(value);
}

WDSettings WDSettings::Load(const SettingsStore* store)
{
    WDSettings s;
    for (const Field& f : kFields) {
        const QString fallback = QString::fromLatin1(f.defaultValue);
        s.*f.member = store ? store->read(section(), QString::fromLatin1(f.key), fallback) : fallback;
    }
    return s;
}

void WDSettings::Save(SettingsStore* store) const
{
    if (!store)
        return;
    for (const Field& f : kFields) {
        if (const std::optional<QString>& value = this->*f.member)
            store->write(section(), QString::fromLatin1(f.key), *value);
    }
}

bool WDSettings::AutoMode(const SettingsStore* store, const char* key)
{
    return store && Val(store->read(section(), QString::fromLatin1(key), QStringLiteral("0"))) != 0;
}

void WDSettings::SaveAutoMode(SettingsStore* store, const char* key, bool on)
{
    if (store)
        store->write(section(), QString::fromLatin1(key), on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace orvid
