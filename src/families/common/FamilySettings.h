#pragma once
// A family's section of the settings file. A family's settings struct (KRSettings, ...)
// names its section and keys as constants and loads and saves through this, in one place.

#include <QString>

namespace orvid {

struct AppContext;

class SettingsSection {
public:
    SettingsSection(AppContext& ctx, const char* section);
    // The stored text, or defaultValue (also without a settings file).
    QString Read(const char* key, const QString& defaultValue) const;
    // The leading number of the stored text (Val), or of defaultValue.
    double Number(const char* key, const char* defaultValue) const;
    void Write(const char* key, const QString& value);
    void Write(const char* key, int value) { Write(key, NumberText(value)); }
    // The settings file's number form: a leading blank for values that are not negative.
    static QString NumberText(int value);

private:
    AppContext& ctx_;
    QString section_;
};

} // namespace orvid
