#pragma once
// What the small windows of system L ask of the current system window. The windows find
// these interfaces with dynamic_cast on the link's current window, so they call nothing on
// a window (or no window) that does not offer them. frmSystemL (entry 7) is the I/O host;
// the framed-protocol window of entry 8 is both hosts.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid {

class IWLScanHost {
public:
    virtual ~IWLScanHost() = default;
    // Keeps the poll timer running while flag is set (and otherwise while the system
    // window itself needs it); its poll steps refresh the small windows set to automatic.
    virtual void ScanEnable(bool flag) = 0;
};

class IWLIOHost : public virtual IWLScanHost {
public:
    // Sends the outputs as the I/O window's chkOutput boxes show them.
    virtual void OutputSet() = 0;
    // Reads inputs and outputs into the I/O window's lamps.
    virtual void InputSet() = 0;
};

class IWLStateHost : public virtual IWLScanHost {
public:
    // With an empty text: asks the reader for its state and lights the state window's lamps.
    virtual void StatusSet(const QString& text) = 0;
};

} // namespace orvid

namespace orvid {

// What the write dialog of entry 7 calls on the current system window.
class IWLTextWriter {
public:
    virtual ~IWLTextWriter() = default;
    // The write sequence with the interval type (0 constant, 1 random) and length index
    // (0..3: 0, 4, 8, 16); false when refused before anything was sent (the window has
    // reported why). A write the unit refuses went out: the window lists the failure.
    virtual bool WriteTag(int16_t intervalType, int16_t intervalLength, const QByteArray& data) = 0;
};

} // namespace orvid
