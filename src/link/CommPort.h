#pragma once
// The serial port as the link sees it: a settings string such as "38400,n,8,1", a
// handshake number, a device path, open and close with the reason of a failure, the count
// of waiting bytes, read-all and write.
//
// A device error while the port is open (unplugged adapter, hung-up pseudo-terminal)
// closes the port at once and is reported a single time through failed(): left open, such
// a port keeps the read notifier firing and floods the event loop with errors.
//
// A failure is kept as what happened (its kind, the device, the system's error number)
// rather than as a sentence, so that the place that shows it says it in the program's
// language at that moment (FailureText).

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace orvid {

class Language;

class CommPort : public QObject {
    Q_OBJECT
public:
    // Handshake numbers as stored by the port dialog and the settings.
    enum Handshake : int { NoHandshake = 0, XonXoff = 1, RtsCts = 2, RtsCtsXonXoff = 3 };

    struct LineSettings {
        qint32 baud = 38400;
        char parity = 'n';          // n, e, o, m, s
        int dataBits = 8;           // 5..8
        QByteArray stopBits = "1";  // "1", "1.5", "2"
    };

    // What the port keeps of the input that nobody has read yet. When it is full the port
    // stops reading from the driver until the program reads, so a device that floods the
    // line is held back by the driver (and the handshake) instead of filling the memory.
    static constexpr qint64 kReadBufferSize = 64 * 1024;

    // Why the port could not be opened, or why the open port was closed.
    struct Failure {
        enum Kind {
            None,
            NoPortName,
            InvalidSettings,    // the settings text does not parse (Ports)
            OneAndHalfStopBits,
            NotFound,
            NoPermission,       // the user may not use the device
            Busy,               // another program holds or has locked it
            AlreadyOpen,
            Unsupported,        // not a serial port, or not with these settings
            CannotOpen,         // error tells why
            Broken,             // the open port failed; error tells why
            Disappeared,        // the open port's device went away
        };
        Kind kind = None;
        QString device;
        QString settings;       // InvalidSettings, Unsupported
        int error = 0;          // CannotOpen, Broken: the system's error number (errno)
    };
    // The failure in words a user can act on: the language's texts (section "SerialPort",
    // system errors under "SystemErrors") when one is given, the built-in German otherwise.
    static QString FailureText(const Failure& failure, const Language* language = nullptr);

    explicit CommPort(QObject* parent = nullptr);
    ~CommPort() override;

    // Parses "baud,parity,databits,stopbits"; false (and no change) when malformed.
    static bool parseSettings(const QString& text, LineSettings* out);
    static QString formatSettings(const LineSettings& s);

    // The settings in their normal form ("38400,n,8,1").
    QString settings() const;
    // Applies at once when the port is open; false when the text is malformed or the
    // open port refuses the values (the settings are then left as they were).
    bool setSettings(const QString& text);

    int handshaking() const { return handshake_; }
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 RTS/CTS (the two cannot be combined here).
    bool setHandshaking(int value);

    QString portName() const { return portName_; }
    void setPortName(const QString& devicePath);

    // Opens portName() with the current settings. On failure failure() tells why.
    bool open();
    void close();
    bool isOpen() const;
    // Why the last open() failed, or why failed() was emitted.
    const Failure& failure() const { return failure_; }

    qint64 inBufferCount() const;
    QByteArray input();                       // everything waiting
    QByteArray input(qint64 maxBytes);        // at most maxBytes of it
    bool output(const QByteArray& bytes);     // queued and pushed to the driver at once
    void discardInput();

    QSerialPort& device() { return port_; }

signals:
    void readyRead();
    // The open port was closed because of a device error (failure() tells which); emitted
    // once per opening.
    void failed();

private:
    void onError(QSerialPort::SerialPortError error);
    // What poll() says of the line now (POLLIN, POLLHUP ...); -1 when it cannot be asked.
    int lineEvents() const;
    bool apply();
    Failure openFailure(QSerialPort::SerialPortError error, int systemError) const;

    QSerialPort port_;
    QString portName_;
    LineSettings line_;
    int handshake_ = NoHandshake;
    Failure failure_;
    bool failed_ = false;
};

} // namespace orvid
