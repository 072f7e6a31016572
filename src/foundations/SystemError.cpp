#include "SystemError.h"

#include <cerrno>

namespace orvid {

QString SystemErrorText(int error)
{
    switch (error) {
    // Files
    case EPERM: return QStringLiteral("Der Vorgang ist nicht zulässig");
    case ENOENT: return QStringLiteral("Die Datei oder das Verzeichnis konnte nicht gefunden werden");
    case EIO: return QStringLiteral("Ein-/Ausgabefehler");
    case EACCES: return QStringLiteral("Zugriff verweigert");
    case EEXIST: return QStringLiteral("Die Datei ist bereits vorhanden");
    case EXDEV: return QStringLiteral("Die Datei liegt auf einem anderen Dateisystem");
    case ENOTDIR: return QStringLiteral("Ein Teil des Pfades ist kein Verzeichnis");
    case EISDIR: return QStringLiteral("Das Ziel ist ein Verzeichnis");
    case EINVAL: return QStringLiteral("Ungültiges Argument");
    case ENFILE: return QStringLiteral("Zu viele offene Dateien im System");
    case EMFILE: return QStringLiteral("Zu viele offene Dateien");
    case ETXTBSY: return QStringLiteral("Die Datei wird gerade verwendet");
    case EFBIG: return QStringLiteral("Die Datei ist zu groß");
    case ENOSPC: return QStringLiteral("Auf dem Datenträger ist kein Speicherplatz mehr frei");
    case EROFS: return QStringLiteral("Das Dateisystem ist schreibgeschützt");
    case EMLINK: return QStringLiteral("Zu viele Verknüpfungen");
    case ENAMETOOLONG: return QStringLiteral("Der Dateiname ist zu lang");
    case ELOOP: return QStringLiteral("Zu viele symbolische Verknüpfungen");
    case EDQUOT: return QStringLiteral("Das Speicherkontingent ist erschöpft");
    case EBUSY: return QStringLiteral("Das Gerät oder die Ressource ist belegt");
    case ENOMEM: return QStringLiteral("Nicht genügend Arbeitsspeicher");
    case EAGAIN: return QStringLiteral("Die Ressource ist vorübergehend nicht verfügbar");
    // Connections
    case ECONNREFUSED: return QStringLiteral("Der Zielrechner hat die Verbindung verweigert");
    case ENETUNREACH: return QStringLiteral("Das Netzwerk ist nicht erreichbar");
    case EHOSTUNREACH: return QStringLiteral("Der Host kann nicht erreicht werden");
    case ENETDOWN: return QStringLiteral("Das Netzwerk ist ausgefallen");
    case ETIMEDOUT: return QStringLiteral("Das Zeitlimit für die Verbindung wurde überschritten");
    case ECONNRESET: return QStringLiteral("Die Verbindung wurde vom entfernten Rechner zurückgesetzt");
    case ECONNABORTED: return QStringLiteral("Die Verbindung wurde abgebrochen");
    case ENETRESET: return QStringLiteral("Die Verbindung wurde vom Netzwerk getrennt");
    case EHOSTDOWN: return QStringLiteral("Der Host ist ausgefallen");
    case EADDRINUSE: return QStringLiteral("Die Adresse wird bereits verwendet");
    case EADDRNOTAVAIL: return QStringLiteral("Die angeforderte Adresse ist nicht verfügbar");
    case EAFNOSUPPORT: return QStringLiteral("Die Adressfamilie wird nicht unterstützt");
    case ENOBUFS: return QStringLiteral("Kein Pufferspeicher verfügbar");
    case EPIPE: return QStringLiteral("Die Verbindung ist unterbrochen");
    case ENOTCONN: return QStringLiteral("Es besteht keine Verbindung");
    default: return QStringLiteral("Systemfehler %1").arg(error);
    }
}

} // namespace orvid
