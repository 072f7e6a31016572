// The port settings string ("38400,n,8,1") comes from the per-user settings file and the
// port dialog: any text must parse or be refused without a change, and what parses must
// come back the same through its normal form and through a port object.
#include "link/CommPort.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <cstdlib>

using orvid::CommPort;

namespace {

bool same(const CommPort::LineSettings& a, const CommPort::LineSettings& b)
{
    return a.baud == b.baud && a.parity == b.parity && a.dataBits == b.dataBits && a.stopBits == b.stopBits;
}

CommPort& port()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "portsettings_fuzz";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    static CommPort* p = new CommPort; // never opened: the settings are only stored
    return *p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    CommPort::LineSettings sentinel;
    sentinel.baud = 1;
    sentinel.parity = '?';
    sentinel.dataBits = 0;
    sentinel.stopBits = "?";
    CommPort::LineSettings parsed = sentinel;
    const bool ok = CommPort::parseSettings(text, &parsed);
    if (!ok) {
        if (!same(parsed, sentinel))
            std::abort(); // a refused text changes nothing
    } else {
        if (parsed.baud <= 0 || parsed.baud > 4000000 || !QByteArray("neoms").contains(parsed.parity)
            || parsed.dataBits < 5 || parsed.dataBits > 8
            || (parsed.stopBits != "1" && parsed.stopBits != "1.5" && parsed.stopBits != "2"))
            std::abort();
        // The normal form parses to the same values and is its own normal form.
        const QString normal = CommPort::formatSettings(parsed);
        CommPort::LineSettings again = sentinel;
        if (!CommPort::parseSettings(normal, &again) || !same(again, parsed)
            || CommPort::formatSettings(again) != normal)
            std::abort();
        // Blanks around the parts and upper case do not matter.
        const QString spaced = QStringLiteral(" %1 , %2 , %3 , %4 ")
                                   .arg(parsed.baud)
                                   .arg(QChar(QLatin1Char(parsed.parity)).toUpper())
                                   .arg(parsed.dataBits)
                                   .arg(QString::fromLatin1(parsed.stopBits));
        CommPort::LineSettings loose = sentinel;
        if (!CommPort::parseSettings(spaced, &loose) || !same(loose, parsed))
            std::abort();
    }
    if (!CommPort::parseSettings(text, nullptr) != !ok)
        std::abort();

    // A port object takes what parses and keeps its settings on a refusal.
    CommPort& p = port();
    const QString before = p.settings();
    const bool taken = p.setSettings(text);
    if (taken) {
        if (!ok || p.settings() != CommPort::formatSettings(parsed))
            std::abort();
    } else if (p.settings() != before) {
        std::abort();
    }
    return 0;
}
