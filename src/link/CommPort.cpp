#include "CommPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace orvid {

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

bool CommPort::open()
{
    reason_.clear();
    if (port_.isOpen())
        return true;
    if (portName_.isEmpty()) {
        reason_ = tr("Keine Schnittstelle angegeben.");
        return false;
    }
    // Serial drivers on this system know one or two stop bits only; the port layer would
    // quietly run 1.5 as 1, so the line would not be what the user chose.
    if (line_.stopBits == "1.5") {
        reason_ = tr("Die Schnittstelle %1 unterstützt 1,5 Stoppbits nicht.").arg(portName_);
        return false;
    }
    port_.setPortName(portName_);
    apply();
    port_.clearError();
    if (!port_.open(QIODevice::ReadWrite)) {
        reason_ = openFailureReason(port_.error());
        port_.clearError();
        return false;
    }
    failed_ = false;
    return true;
}

QString CommPort::openFailureReason(QSerialPort::SerialPortError error) const
{
    const QString name = portName_;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return tr("Die Schnittstelle %1 gibt es nicht.").arg(name);
    case QSerialPort::PermissionError:
        // The driver says "permission" both for missing rights and for a device that
        // another program holds or has locked; the file's access rights tell them apart.
        if (::access(QFile::encodeName(name).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return tr("Keine Berechtigung für %1: der Benutzer muss Mitglied der Gruppe "
                      "\"dialout\" sein.").arg(name);
        return tr("Die Schnittstelle %1 ist belegt (von einem anderen Programm geöffnet "
                  "oder gesperrt).").arg(name);
    case QSerialPort::OpenError:
        return tr("Die Schnittstelle %1 ist bereits geöffnet.").arg(name);
    case QSerialPort::UnsupportedOperationError:
        return tr("%1 ist keine serielle Schnittstelle oder unterstützt die Einstellungen "
                  "%2 nicht.").arg(name, settings());
    default:
        return tr("Die Schnittstelle %1 kann nicht geöffnet werden: %2")
            .arg(name, port_.errorString());
    }
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
    // the system's error number of some earlier call ("File exists"); the serial port's own
    // words say what happened, in the program's language.
    const QString text = error == QSerialPort::ResourceError || (events > 0 && (events & POLLHUP))
        ? QCoreApplication::translate("QSerialPort", "Device disappeared from the system")
        : port_.errorString();
    port_.clearError();
    port_.close();
    emit failed(tr("Die Verbindung über %1 ist abgebrochen: %2").arg(portName_, text));
}

} // namespace orvid
