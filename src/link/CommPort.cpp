#include "CommPort.h"

#include "foundations/Language.h"
#include "foundations/SystemError.h"
#include "foundations/Utils.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace orvid {

namespace {
// A failure the port layer gives no system error number for is one of input or output.
int knownError(int systemError)
{
    return systemError != 0 ? systemError : EIO;
}
} // namespace

CommPort::CommPort(QObject* parent) : QObject(parent)
{
    port_.setReadBufferSize(kReadBufferSize);
    connect(&port_, &QSerialPort::readyRead, this, &CommPort::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &CommPort::onError);
}

CommPort::~CommPort()
{
    // No signals from the destructor: the receivers may already be gone.
    port_.disconnect(this);
    if (port_.isOpen())
        port_.close();
}

bool CommPort::parseSettings(const QString& text, LineSettings* out)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    LineSettings s;
    bool ok = false;
    const qint64 baud = parts[0].trimmed().toLongLong(&ok);
    if (!ok || baud <= 0 || baud > 4000000)
        return false;
    s.baud = static_cast<qint32>(baud);

    const QString parity = parts[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        return false;
    s.parity = parity.at(0).toLatin1();

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    s.dataBits = bits;

    const QString stop = parts[3].trimmed();
    if (stop != QLatin1String("1") && stop != QLatin1String("1.5") && stop != QLatin1String("2"))
        return false;
    s.stopBits = stop.toLatin1();

    if (out)
        *out = s;
    return true;
}

QString CommPort::formatSettings(const LineSettings& s)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(s.baud)
        .arg(QLatin1Char(s.parity))
        .arg(s.dataBits)
        .arg(QString::fromLatin1(s.stopBits));
}

QString CommPort::settings() const
{
    return formatSettings(line_);
}

bool CommPort::setSettings(const QString& text)
{
    LineSettings parsed;
    if (!parseSettings(text, &parsed))
        return false;
    const LineSettings previous = line_;
    line_ = parsed;
    if (!apply()) {
        line_ = previous;
        apply();
        return false;
    }
    return true;
}

bool CommPort::setHandshaking(int value)
{
    if (value < NoHandshake || value > RtsCtsXonXoff)
        return false;
    const int previous = handshake_;
    handshake_ = value;
    if (!apply()) {
        handshake_ = previous;
        apply();
        return false;
    }
    return true;
}

void CommPort::setPortName(const QString& devicePath)
{
    portName_ = devicePath;
}

// Hands the settings to QSerialPort. While the port is closed they are only stored and
// checked by the device when it opens.
bool CommPort::apply()
{
    bool ok = port_.setBaudRate(line_.baud);
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (line_.parity) {
    case 'e': parity = QSerialPort::EvenParity; break;
    case 'o': parity = QSerialPort::OddParity; break;
    case 'm': parity = QSerialPort::MarkParity; break;
    case 's': parity = QSerialPort::SpaceParity; break;
    default: break;
    }
    ok = port_.setParity(parity) && ok;
    ok = port_.setDataBits(static_cast<QSerialPort::DataBits>(line_.dataBits)) && ok;
    QSerialPort::StopBits stop = QSerialPort::OneStop;
    if (line_.stopBits == "2")
        stop = QSerialPort::TwoStop;
    else if (line_.stopBits == "1.5")
        stop = QSerialPort::OneAndHalfStop;
    ok = port_.setStopBits(stop) && ok;
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (handshake_ == XonXoff)
        flow = QSerialPort::SoftwareControl;
    else if (handshake_ == RtsCts || handshake_ == RtsCtsXonXoff)
        flow = QSerialPort::HardwareControl;
    ok = port_.setFlowControl(flow) && ok;
    return ok;
}

QString CommPort::FailureText(const Failure& failure, const Language* language)
{
    const auto words = [language](const char* key, const char16_t* german) {
        const QString text = QString::fromUtf16(german);
        return language ? language->Translate(QStringLiteral("SerialPort"), QString::fromLatin1(key), text) : text;
    };
    const auto with = [&failure, &words](const char* key, const char16_t* german, const QString& more = QString()) {
        return FormatArgs(words(key, german), QStringList{failure.device, more});
    };
    const QString systemError = language ? language->SystemErrorText(failure.error) : SystemErrorText(failure.error);
    switch (failure.kind) {
    case Failure::None:
        break;
    case Failure::NoPortName:
        return words("NoPort", u"Keine Schnittstelle angegeben.");
    case Failure::InvalidSettings:
        return FormatArgs(words("InvalidSettings", u"Ungültige Einstellungen \"%s\" für %s."),
                          QStringList{failure.settings, failure.device});
    case Failure::OneAndHalfStopBits:
        return with("StopBits", u"Die Schnittstelle %s unterstützt 1,5 Stoppbits nicht.");
    case Failure::NotFound:
        return with("NotFound", u"Die Schnittstelle %s gibt es nicht.");
    case Failure::NoPermission:
        return with("NoPermission",
                    u"Keine Berechtigung für %s: der Benutzer muss Mitglied der Gruppe \"dialout\" sein.");
    case Failure::Busy:
        return with("Busy", u"Die Schnittstelle %s ist belegt (von einem anderen Programm geöffnet oder gesperrt).");
    case Failure::AlreadyOpen:
        return with("AlreadyOpen", u"Die Schnittstelle %s ist bereits geöffnet.");
    case Failure::Unsupported:
        return with("Unsupported", u"%s ist keine serielle Schnittstelle oder unterstützt die Einstellungen %s nicht.",
                    failure.settings);
    case Failure::CannotOpen:
        return with("CannotOpen", u"Die Schnittstelle %s kann nicht geöffnet werden: %s", systemError);
    case Failure::Broken:
        return with("Broken", u"Die Verbindung über %s ist abgebrochen: %s", systemError);
    case Failure::Disappeared:
        return with("Broken", u"Die Verbindung über %s ist abgebrochen: %s",
                    words("Disappeared", u"Gerät wurde vom System entfernt"));
    }
    return QString();
}

bool CommPort::open()
{
    failure_ = {};
    if (port_.isOpen())
        return true;
    if (portName_.isEmpty()) {
        failure_.kind = Failure::NoPortName;
        return false;
    }
    // Serial drivers on this system know one or two stop bits only; the port layer would
    // quietly run 1.5 as 1, so the line would not be what the user chose.
    if (line_.stopBits == "1.5") {
        failure_ = {Failure::OneAndHalfStopBits, portName_, QString(), 0};
        return false;
    }
    port_.setPortName(portName_);
    apply();
    port_.clearError();
    errno = 0;
    if (!port_.open(QIODevice::ReadWrite)) {
        // The system's error number of the call that failed, before anything else runs.
        const int systemError = errno;
        failure_ = openFailure(port_.error(), systemError);
        port_.clearError();
        return false;
    }
    failed_ = false;
    return true;
}

CommPort::Failure CommPort::openFailure(QSerialPort::SerialPortError error, int systemError) const
{
    Failure failure{Failure::CannotOpen, portName_, QString(), 0};
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        failure.kind = Failure::NotFound;
        break;
    case QSerialPort::PermissionError:
        // The driver says "permission" both for missing rights and for a device that
        // another program holds or has locked; the file's access rights tell them apart.
        failure.kind = ::access(QFile::encodeName(portName_).constData(), R_OK | W_OK) != 0 && errno == EACCES
            ? Failure::NoPermission
            : Failure::Busy;
        break;
    case QSerialPort::OpenError:
        failure.kind = Failure::AlreadyOpen;
        break;
    case QSerialPort::UnsupportedOperationError:
        failure.kind = Failure::Unsupported;
        failure.settings = settings();
        break;
    default:
        failure.error = knownError(systemError);
        break;
    }
    return failure;
}

void CommPort::close()
{
    if (port_.isOpen())
        port_.close();
}

bool CommPort::isOpen() const
{
    return port_.isOpen();
}

qint64 CommPort::inBufferCount() const
{
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QByteArray CommPort::input()
{
    return port_.isOpen() ? port_.readAll() : QByteArray();
}

QByteArray CommPort::input(qint64 maxBytes)
{
    return port_.isOpen() ? port_.read(maxBytes) : QByteArray();
}

bool CommPort::output(const QByteArray& bytes)
{
    if (!port_.isOpen())
        return false;
    if (port_.write(bytes) != bytes.size())
        return false;
    // Push the bytes to the driver now rather than on the next event-loop pass, so the
    // telegram is on its way before the caller starts waiting for the reply.
    if (port_.isOpen())
        port_.flush();
    return true;
}

void CommPort::discardInput()
{
    if (!port_.isOpen())
        return;
    port_.clear(QSerialPort::Input);
    port_.readAll();
}

int CommPort::lineEvents() const
{
    pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
    if (p.fd < 0 || ::poll(&p, 1, 0) < 0)
        return -1;
    return p.revents;
}

void CommPort::onError(QSerialPort::SerialPortError error)
{
    const int systemError = errno;
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError
        || error == QSerialPort::UnsupportedOperationError)
        return;
    // Errors while opening are answered by open(); after the first failure the port is
    // closed and nothing more is reported.
    if (!port_.isOpen() || failed_)
        return;
    // A flush that empties the driver between the port's read notification and its read
    // leaves that read nothing (EAGAIN), which the serial port reports as a failed read and
    // then stops listening. The line is fine - nothing to read, no hang-up, no error - so
    // listen again. A read that fails while the line says it has data, or a line that hung
    // up or failed, is a lost device. (Listening again on an idle line cannot spin: the
    // notification only fires once there is something to read.)
    const int events = lineEvents();
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && events == 0) {
        port_.clearError();
        char probe;
        port_.peek(&probe, 1); // an empty read re-arms the read notification
        return;
    }
    failed_ = true;
    // A device that went away (the line hung up) makes the port report a failed read with
    // the system's error number of some earlier call ("File exists"): it is told as gone.
    // Any other error comes straight from the call that failed, so errno is still its own.
    if (error == QSerialPort::ResourceError || (events > 0 && (events & POLLHUP)))
        failure_ = {Failure::Disappeared, portName_, QString(), 0};
    else
        failure_ = {Failure::Broken, portName_, QString(), knownError(systemError)};
    port_.clearError();
    port_.close();
    emit failed();
}

} // namespace orvid
