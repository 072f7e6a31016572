#pragma once
// The code writers of the interface-unit window that the fixcode, WTX, VNB and chip-code
// dialogs call: the dialogs find them on the current system window with dynamic_cast.
// Each returns false when the code was refused or a head reported a failure (the line is
// in the window's data list), so a dialog can stay open.

#include <QByteArray>
#include <cstdint>

namespace orvid::hx {

class IHXCodeWriter {
public:
    virtual ~IHXCodeWriter() = default;
    // mode 0 Single, 3 Enhanced; code up to 6 hex digits, filled with "0" on the right.
    virtual bool WriteSpecialFixcode(int16_t mode, const QByteArray& code) = 0;
    // Up to 14 raw bytes, filled with NUL.
    virtual bool WriteVNBFixcode(const QByteArray& code) = 0;
    // Up to 4 raw bytes, filled with NUL; modes 0..3.
    virtual bool WriteWTXFixcode(int16_t mode, const QByteArray& code) = 0;
    // Seven hex digits: the wafer (3) then the die (4); modes 0..3.
    virtual bool WriteNCXTag(int16_t mode, const QByteArray& code) = 0;
};

} // namespace orvid::hx
