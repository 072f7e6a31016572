#include "WLSettings.h"

#include "families/common/FamilySettings.h"
#include "foundations/Utils.h"

#include <cmath>

namespace orvid {

namespace {
// The stored number when it lies in [low, high], else the default.
int16_t within(const SettingsSection& s, const char* key, const char* fallback, int low, int high)
{
    const double v = s.Number(key, fallback);
    if (!std::isfinite(v) || v < low || v > high)
        return static_cast<int16_t>(QString::fromLatin1(fallback).toInt());
    return static_cast<int16_t>(v);
}
} // namespace

QString WLSettings::FrequencyText(const QString& text)
{
    const double v = std::trunc(Val(text));
    if (!std::isfinite(v) || v < 1 || v > 99)
        return QString();
    return QStringLiteral("%1").arg(static_cast<int>(v), 2, 10, QLatin1Char('0'));
}

WLSettings WLSettings::Load(AppContext& ctx)
{
    const SettingsSection s(ctx, kSection);
    WLSettings w;
    w.OperationMode = within(s, Key::OperationMode, "0", 0, 2);
    w.StartAddress = static_cast<quint16>(static_cast<qint64>(s.Number(Key::StartAddress, "0")) & 0xFFFF);
    w.DataLength = within(s, Key::DataLength, "0", 0, 999);
    w.DataRepresentation = within(s, Key::DataRepresentation, "0", 0, 2);
    // A stored channel that is no number 1..99 would go out unchecked in "CM".
    const QString frequency = FrequencyText(s.Read(Key::Frequency, QStringLiteral("50")));
    w.Frequency = frequency.isEmpty() ? QStringLiteral("50") : frequency;
    w.Range = within(s, Key::Range, "4", 1, 4);
    w.BitRate = within(s, Key::BitRate, "2", 1, 2);
    w.TagSpeed = within(s, Key::TagSpeed, "2", 1, 2);
    w.MaxRetries = CInt16(s.Number(Key::MaxRetries, "2"));
    return w;
}

void WLSettings::Save(AppContext& ctx) const
{
    SettingsSection s(ctx, kSection);
    s.Write(Key::OperationMode, OperationMode);
    s.Write(Key::StartAddress, static_cast<int>(StartAddress));
    s.Write(Key::DataLength, DataLength);
    s.Write(Key::DataRepresentation, DataRepresentation);
    s.Write(Key::Frequency, Frequency);
    s.Write(Key::Range, Range);
    s.Write(Key::BitRate, BitRate);
    s.Write(Key::TagSpeed, TagSpeed);
}

bool WLSettings::AutoMode(AppContext& ctx, const char* key)
{
    return SettingsSection(ctx, kSmallWindows).Number(key, "0") != 0;
}

void WLSettings::SaveAutoMode(AppContext& ctx, const char* key, bool on)
{
    SettingsSection(ctx, kSmallWindows).Write(key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace orvid
