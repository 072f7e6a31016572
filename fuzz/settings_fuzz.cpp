// Arbitrary bytes as the settings file: what parses must survive being written and read
// back, also after one value is changed, and nothing may crash.
#include "foundations/SettingsStore.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using namespace orvid;

namespace {

bool sameValue(const SettingsStore::Value& a, const SettingsStore::Value& b)
{
    return a.name == b.name && a.isNumber == b.isNumber
        && (a.isNumber ? a.number == b.number : a.text == b.text);
}

bool sameDocument(const SettingsStore::Document& a, const SettingsStore::Document& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].values.size() != b[i].values.size())
            return false;
        for (qsizetype k = 0; k < a[i].values.size(); ++k) {
            if (!sameValue(a[i].values[k], b[i].values[k]))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SettingsStore::Document doc = SettingsStore::parse(bytes);
    const SettingsStore::Document back = SettingsStore::parse(SettingsStore::serialize(doc));
    if (!sameDocument(doc, back))
        std::abort();

    // A write of one value (taken from the input itself) keeps every other value.
    SettingsStore::Document changed = back;
    const QString text = QString::fromUtf8(bytes.left(64));
    SettingsStore::setText(changed, QStringLiteral("Settings"), text, text);
    const SettingsStore::Document reread = SettingsStore::parse(SettingsStore::serialize(changed));
    if (!sameDocument(changed, reread))
        std::abort();
    const SettingsStore::Value* v = SettingsStore::find(reread, QStringLiteral("settings"), text);
    if (!v || v->isNumber || v->text != text)
        std::abort();
    for (const auto& section : doc) {
        for (const auto& value : section.values) {
            const SettingsStore::Value* kept = SettingsStore::find(reread, section.name, value.name);
            if (!kept)
                std::abort();
            const bool overwritten = section.name.compare(QStringLiteral("Settings"), Qt::CaseInsensitive) == 0
                && value.name.compare(text, Qt::CaseInsensitive) == 0;
            if (!overwritten && !sameValue(*kept, value))
                std::abort();
        }
    }
    return 0;
}
