#include "SystemError.h"

#include <cerrno>

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

} // namespace

QString SystemErrorText(int error)
{
    const Known* known = find(error);
    return known ? QString::fromUtf8(known->german) : QStringLiteral("Systemfehler %1").arg(error);
}

QString SystemErrorKey(int error)
{
    const Known* known = find(error);
    return known ? QString::fromLatin1(known->key) : QString();
}

} // namespace orvid
