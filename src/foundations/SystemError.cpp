#include "SystemError.h"

#include "Utils.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

namespace orvid {

namespace {

struct Known {
    int error;
    const char* key;
    const char* german;
};

constexpr Known kKnown[] = {
    // Files
    {EPERM, "EPERM", "Der Vorgang ist nicht zulässig"},
    {ENOENT, "ENOENT", "Die Datei oder das Verzeichnis konnte nicht gefunden werden"},
    {EIO, "EIO", "Ein-/Ausgabefehler"},
    {EACCES, "EACCES", "Zugriff verweigert"},
    {EEXIST, "EEXIST", "Die Datei ist bereits vorhanden"},
    {EXDEV, "EXDEV", "Die Datei liegt auf einem anderen Dateisystem"},
    {ENOTDIR, "ENOTDIR", "Ein Teil des Pfades ist kein Verzeichnis"},
    {EISDIR, "EISDIR", "Das Ziel ist ein Verzeichnis"},
    {EINVAL, "EINVAL", "Ungültiges Argument"},
    {ENFILE, "ENFILE", "Zu viele offene Dateien im System"},
    {EMFILE, "EMFILE", "Zu viele offene Dateien"},
    {ETXTBSY, "ETXTBSY", "Die Datei wird gerade verwendet"},
    {EFBIG, "EFBIG", "Die Datei ist zu groß"},
    {ENOSPC, "ENOSPC", "Auf dem Datenträger ist kein Speicherplatz mehr frei"},
    {EROFS, "EROFS", "Das Dateisystem ist schreibgeschützt"},
    {EMLINK, "EMLINK", "Zu viele Verknüpfungen"},
    {ENAMETOOLONG, "ENAMETOOLONG", "Der Dateiname ist zu lang"},
    {ELOOP, "ELOOP", "Zu viele symbolische Verknüpfungen"},
    {EDQUOT, "EDQUOT", "Das Speicherkontingent ist erschöpft"},
    {EBUSY, "EBUSY", "Das Gerät oder die Ressource ist belegt"},
    {ENOMEM, "ENOMEM", "Nicht genügend Arbeitsspeicher"},
    {EAGAIN, "EAGAIN", "Die Ressource ist vorübergehend nicht verfügbar"},
    // Devices (what a serial port's open, settings, reads and writes give)
    {ENXIO, "ENXIO", "Das Gerät oder die Adresse gibt es nicht"},
    {ENODEV, "ENODEV", "Das Gerät gibt es nicht"},
    {ENOTTY, "ENOTTY", "Das Gerät nimmt diesen Steuerbefehl nicht an"},
    {EBADF, "EBADF", "Ungültiger Dateideskriptor"},
    {EBADFD, "EBADFD", "Der Dateideskriptor ist in einem ungültigen Zustand"},
    // Connections
    {ECONNREFUSED, "ECONNREFUSED", "Der Zielrechner hat die Verbindung verweigert"},
    {ENETUNREACH, "ENETUNREACH", "Das Netzwerk ist nicht erreichbar"},
    {EHOSTUNREACH, "EHOSTUNREACH", "Der Host kann nicht erreicht werden"},
    {ENETDOWN, "ENETDOWN", "Das Netzwerk ist ausgefallen"},
    {ETIMEDOUT, "ETIMEDOUT", "Das Zeitlimit für die Verbindung wurde überschritten"},
    {ECONNRESET, "ECONNRESET", "Die Verbindung wurde vom entfernten Rechner zurückgesetzt"},
    {ECONNABORTED, "ECONNABORTED", "Die Verbindung wurde abgebrochen"},
    {ENETRESET, "ENETRESET", "Die Verbindung wurde vom Netzwerk getrennt"},
    {EHOSTDOWN, "EHOSTDOWN", "Der Host ist ausgefallen"},
    {EADDRINUSE, "EADDRINUSE", "Die Adresse wird bereits verwendet"},
    {EADDRNOTAVAIL, "EADDRNOTAVAIL", "Die angeforderte Adresse ist nicht verfügbar"},
    {EAFNOSUPPORT, "EAFNOSUPPORT", "Die Adressfamilie wird nicht unterstützt"},
    {ENOBUFS, "ENOBUFS", "Kein Pufferspeicher verfügbar"},
    {EPIPE, "EPIPE", "Die Verbindung ist unterbrochen"},
    {ENOTCONN, "ENOTCONN", "Es besteht keine Verbindung"},
};

const Known* find(int error)
{
    for (const Known& known : kKnown) {
        if (known.error == error)
            return &known;
    }
    return nullptr;
}

// strerror_r comes in two forms: the GNU one returns the text, the POSIX one fills the
// buffer and returns 0.
[[maybe_unused]] const char* described(const char* text, const char*)
{
    return text;
}
[[maybe_unused]] const char* described(int result, const char* buffer)
{
    return result == 0 ? buffer : "";
}

// The system's own description of error, in the language the system is set to.
QString systemDescription(int error)
{
    char buffer[256] = {};
    return QString::fromLocal8Bit(described(::strerror_r(error, buffer, sizeof buffer), buffer));
}

} // namespace

QString SystemErrorText(int error, const QString& otherWords)
{
    if (const Known* known = find(error))
        return QString::fromUtf8(known->german);
    return FormatArgs(otherWords.isEmpty() ? QStringLiteral("Systemfehler %s (%s)") : otherWords,
                      QStringList{QString::number(error), systemDescription(error)});
}

QString SystemErrorKey(int error)
{
    const Known* known = find(error);
    return known ? QString::fromLatin1(known->key) : QString();
}

} // namespace orvid
