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
#include <QByteArrayView>
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
    // ---- what a running read has on the line when the next telegram goes out --------
    // The device answers in order, and a read the window runs may send frames of its own
    // accord. Before a telegram goes out on the serial route (a command sent by hand, or
    // any exchange through the link), the link takes off the line what the window is owed
    // and what its read has put there and hands it to the window, which lists it as its
    // poll step would; only what is no frame is flushed.
    //
    // A reply still owed to a telegram the window sent without waiting (a read whose reply
    // its poll step takes): the ms it may still take, 0 when its time is up (it is taken
    // only when it is there already); negative when nothing is owed. The link takes one
    // frame and hands it to OwedReply (length 0: it did not come; the window owes nothing
    // more then), and asks again: an answer in two frames (an acknowledgement, then the
    // data) is still owed after the first.
    virtual int ReplyOwed() { return -1; }
    virtual void OwedReply(QByteArray& reply, int16_t length) { Q_UNUSED(reply); Q_UNUSED(length); }
    // True while a read the window runs sends frames by itself (a repeated or continuous
    // read), so that frames of it may be waiting, or come while an answer is awaited.
    virtual bool ReadRunning() { return false; }
    // A frame met while ReadRunning. Waiting before a telegram goes out (inAnswer false),
    // it is the read's: the window takes it as its poll step would. In the receive of a
    // telegram's answer (inAnswer true) the window claims only a frame it can tell from
    // that answer: it lists it and returns true, and the receive goes on to the answer.
    virtual bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer)
    {
        Q_UNUSED(frame);
        Q_UNUSED(length);
        Q_UNUSED(inAnswer);
        return false;
    }
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

// What a family knows of its own text lines over TCP. A line ends at its terminator; the
// link cuts one before it only where the bytes prove that the line lost its terminator
// there: a line of the family, whole by its own structure, begins at that place. What a
// line holds beyond what the family reads of it (a CR before the terminator, a field of the
// device's own) is part of that line, and user data inside it is data.
class ILineStructure {
public:
    // The family tells what a line is from at most its first kHeadBytes bytes, and whether
    // a line begins at a place from at most the kHeadBytes bytes there.
    static constexpr qsizetype kHeadBytes = 512;
    struct Break {
        qsizetype at = -1;       // where the line lost its end (a line of the family begins); -1: nowhere
        bool whole = false;      // what came of the line before `at` is whole by its own shape
        qsizetype undecided = 0; // at -1 and not terminated: from here on the bytes that have
                                 // come cannot tell yet
    };
    // line: raw bytes (escapes as they came) from the start of one line, up to its
    // terminator (without it) when terminated, else as far as they have come. Places before
    // `from` (at least 1) were judged already; where bytes between were dropped, the first
    // `from` bytes are the line's first kHeadBytes. stalled: a receive stopped waiting for
    // the line right before `from` (its time-out), so a line of the family that begins
    // right there ends it, whatever the line is; further on the line's own rule holds.
    virtual Break LineBreak(QByteArrayView line, qsizetype from, bool terminated, bool stalled = false) const = 0;
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
