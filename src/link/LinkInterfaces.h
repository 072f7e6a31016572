#pragma once
// The interfaces between the device link and the windows above it.
//
//   ISystemForm      every family main window (called by the link and the main window)
//   ILkDirectAccess  a family window that frames and transfers its telegrams itself
//   IEventCallback   receiver of TCP errors and pushed "EVNT" lines
//   IToolWindow      any window the main window shows, hides and translates
//   IMonitor         the traffic monitor sink (every telegram and reply goes through it)
//   IProgressBox, IConnectingBox, ICommandWindow: tool windows the link drives
//
// Telegrams, replies and data are QByteArray: one byte per character, codes 0..255.

#include "foundations/Menues.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>

class QTcpSocket;

namespace orvid {

class IToolWindow {
public:
    virtual ~IToolWindow() = default;
    virtual QString Name() const = 0;        // the objectName: key of the stored placement
    virtual bool Loaded() const = 0;         // true while the window is loaded
    virtual void Show() = 0;                 // load when needed, show in front as placed
    virtual void Unload() = 0;               // save settings and placement, reset, hide
    virtual void SetLanguage() = 0;
};

class ISystemForm : public IToolWindow {
public:
    virtual Menues CommandList() = 0;
    virtual bool Check() = 0;
    virtual QString Poll(const QVariant& a = QVariant(), const QVariant& b = QVariant()) = 0;
    virtual void CloseLK() = 0;
    virtual void Init(bool ethernet = false) = 0;
    // SetLanguage comes from IToolWindow.
    virtual void PutData(int16_t id, const QVariant& value) = 0;
    virtual void GetData(int16_t id, QVariant& value) = 0;
    virtual QByteArray SetLKString(const QByteArray& command, const QByteArray& suffix) = 0;
    virtual int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption) = 0;
    virtual void StopBuffered() = 0;
    // A reply still owed to a telegram the window sent without waiting (a read whose
    // reply its poll step takes): the ms it may still take, 0 when its time is up (it is
    // taken only when it is there already); negative when nothing is owed. The device
    // answers in order, so on the serial route the link takes it off the line before the
    // next telegram goes out, and hands it to OwedReply (length 0: it did not come); the
    // window lists it as its poll step would and owes nothing any more.
    virtual int ReplyOwed() { return -1; }
    virtual void OwedReply(QByteArray& reply, int16_t length) { Q_UNUSED(reply); Q_UNUSED(length); }
};

class ILkDirectAccess {
public:
    virtual ~ILkDirectAccess() = default;
    virtual bool DataAvailable() = 0;
    virtual bool DirectModeSupported() = 0;
    virtual int16_t DirectRead(QByteArray& reply, int16_t& count, const QVariant& logOption,
                               bool log = true, bool noCheck = false) = 0;
    virtual int16_t ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok) = 0;
    virtual int16_t WriteData(const QByteArray& command, const QByteArray& suffix, bool log) = 0;
};

class IEventCallback {
public:
    virtual ~IEventCallback() = default;
    virtual void Error(const QString& text) = 0;
    virtual void EventReceived(const QByteArray& text) = 0;
};

class IMonitor {
public:
    virtual ~IMonitor() = default;
    // prefix "W: ", "R: ", "F: " or "F<level>: "; the flag is passed through unchanged.
    // data may be of any length: the monitor keeps what it can show and notes the rest.
    virtual void Add(const QByteArray& prefix, const QByteArray& data,
                     const QVariant& flag = QVariant()) = 0;
};

class IProgressBox {
public:
    virtual ~IProgressBox() = default;
    virtual void ShowForm(int steps) = 0;
    virtual void SetStatus(const QString& text) = 0;
    // Advances the bar; false when the user cancelled or closed the box.
    virtual bool IncBar(int steps = 1) = 0;
    virtual void Unload() = 0;
};

class IConnectingBox {
public:
    virtual ~IConnectingBox() = default;
    // Modal while the socket still connects; false when the user cancelled.
    virtual bool ShowDialog(QTcpSocket* socket) = 0;
};

class ICommandWindow : public IToolWindow {
public:
    virtual void Poll() = 0;                 // collect pending replies of a multi-reply command
    virtual void SetBuffered(bool on) = 0;   // multi-reply mode on/off
    virtual void RefreshForm() = 0;
};

} // namespace orvid
