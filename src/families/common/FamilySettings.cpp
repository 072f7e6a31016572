#include "FamilySettings.h"

#include "foundations/AppContext.h"
#include "foundations/SettingsStore.h"
#include "foundations/Utils.h"

namespace orvid {

SettingsSection::SettingsSection(AppContext& ctx, const char* section)
    : ctx_(ctx), section_(QString::fromLatin1(section))
{
}

QString SettingsSection::Read(const char* key, const QString& defaultValue) const
{
    return ctx_.settings ? ctx_.settings->read(section_, QString::fromLatin1(key), defaultValue) : defaultValue;
}

double SettingsSection::Number(const char* key, const char* defaultValue) const
{
    return Val(Read(key, QString::fromLatin1(defaultValue)));
}

void SettingsSection::Write(const char* key, const QString& value)
{
    if (ctx_.settings)
        ctx_.settings->write(section_, QString::fromLatin1(key), value);
}

QString SettingsSection::NumberText(int value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

} // namespace orvid
