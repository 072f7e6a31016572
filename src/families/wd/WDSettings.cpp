#include "WDSettings.h"

#include "families/common/FamilySettings.h"

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

} // namespace

QString WDSettings::Number(int value)
{
    return SettingsSection::NumberText(value);
}

WDSettings WDSettings::Load(AppContext& ctx)
{
    const SettingsSection section(ctx, kSection);
    WDSettings s;
    for (const Field& f : kFields)
        s.*f.member = section.Read(f.key, QString::fromLatin1(f.defaultValue));
    return s;
}

void WDSettings::Save(AppContext& ctx) const
{
    SettingsSection section(ctx, kSection);
    for (const Field& f : kFields) {
        if (const std::optional<QString>& value = this->*f.member)
            section.Write(f.key, *value);
    }
}

bool WDSettings::AutoMode(AppContext& ctx, const char* key)
{
    return SettingsSection(ctx, kSection).Number(key, "0") != 0;
}

void WDSettings::SaveAutoMode(AppContext& ctx, const char* key, bool on)
{
    SettingsSection(ctx, kSection).Write(key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace orvid
