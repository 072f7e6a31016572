#include "Options.h"

#include "AppContext.h"
#include "Language.h"
#include "MainFrame.h"
#include "SettingsStore.h"
#include "Utils.h"

#include <cmath>

namespace orvid {

namespace {

const QString kSettings = QStringLiteral("Settings");

// The window-menu marks in the order they are read and written, with their defaults.
struct WindowMark {
    const char* key;
    MenuEntry entry;
    const char* defaultValue;
};
constexpr WindowMark kMarks[] = {
    {"OrvidSystemWnd", MenuEntry::OrvidWindow, "Show"},
    {"IOWnd", MenuEntry::IO, "Show"},
    {"StateWnd", MenuEntry::State, "Show"},
    {"CommandWnd", MenuEntry::Command, "Show"},
    {"MonitorWnd", MenuEntry::Monitor, "Hide"},
};

// The highest system index the program knows; a stored index beyond the table (a hand-
// edited or foreign settings file) would select a system that does not exist.
constexpr int16_t kLastSystem = 10;

} // namespace

void LoadOptions(AppContext& ctx)
{
    if (!ctx.settings || !ctx.state)
        return;
    SettingsStore& s = *ctx.settings;
    AppState& st = *ctx.state;

    st.ShowTimeouts = s.read(kSettings, QStringLiteral("ShowTimeouts"), QStringLiteral("0"))
                      == QLatin1String("1");

    QString language = s.read(kSettings, QStringLiteral("Language"), QStringLiteral("GER"));
    // An empty name would only ask for the current one.
    if (ctx.language && !language.isEmpty())
        ctx.language->SelectLanguageByCode(language);

    bool ok = true;
    const int16_t system =
        CInt16(Val(s.read(kSettings, QStringLiteral("OrvidSystem"), QStringLiteral("0"))), &ok);
    st.CurrentSystem = (ok && system >= 0 && system <= kLastSystem) ? system : 0;

    // Any non-zero number after rounding means on; a number beyond 16 bits is non-zero too.
    const double autoDetect = Val(s.read(kSettings, QStringLiteral("AutoDetect"), QStringLiteral("0")));
    st.AutoDetect = CInt16(autoDetect) != 0;

    st.ReadHeadError = s.read(kSettings, QStringLiteral("ReadHeadError"), QStringLiteral("No"))
                       == QLatin1String("Yes");

    if (ctx.frame) {
        for (const WindowMark& m : kMarks) {
            // Only "Show" sets a mark; reading never clears one.
            if (s.read(kSettings, QLatin1String(m.key), QLatin1String(m.defaultValue))
                == QLatin1String("Show"))
                ctx.frame->setMenuChecked(m.entry, true);
        }
    }
}

void SaveOptions(AppContext& ctx)
{
    if (!ctx.settings || !ctx.state)
        return;
    SettingsStore& s = *ctx.settings;
    const AppState& st = *ctx.state;

    if (ctx.language)
        s.write(kSettings, QStringLiteral("Language"), ctx.language->LanguageName());
    s.write(kSettings, QStringLiteral("OrvidSystem"), QString::number(st.CurrentSystem));
    s.write(kSettings, QStringLiteral("AutoDetect"), st.AutoDetect ? QStringLiteral("-1") : QStringLiteral("0"));
    s.write(kSettings, QStringLiteral("ReadHeadError"), st.ReadHeadError ? QStringLiteral("Yes") : QStringLiteral("No"));
    if (ctx.frame) {
        for (const WindowMark& m : kMarks) {
            s.write(kSettings, QLatin1String(m.key),
                    ctx.frame->menuChecked(m.entry) ? QStringLiteral("Show") : QStringLiteral("Hide"));
        }
    }
}

} // namespace orvid
