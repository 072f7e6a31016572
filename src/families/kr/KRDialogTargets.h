#pragma once
// What the shared tag dialogs (data write, fixcode write) read from the window they were
// opened for: the writer interfaces (TagWriters.h), found with dynamic_cast on the link's
// current window, and the data items below, read through LkGetData.

#include "TagWriters.h"

#include <cstdint>

namespace orvid {

// Data item ids the dialogs read from the current system window.
namespace KRItem {
enum : int16_t {
    LastData = 3,            // bytes of the last read (program-wide item)
    OperationMode = 100,
    StartAddress = 101,      // 0..65535
    DataLength = 102,
    DataRepresentation = 103, // 0 ASCII, 1 hex, 2 decimal
    Tagcode = 104,
    PasswordFlag = 105,
    HeadNumber = 106,        // "1".."4" or "x"
    ModeFrameEnabled = 108,
    HeadFrameVisible = 109,
    InductiveHead = 110,
    MicrowaveHead = 111,
    ZLBHead = 113,
    RMBHead = 114,
    RMB1Head = 115,
    VNBHead = 116,
    RMB2Head = 117,
};
} // namespace KRItem

} // namespace orvid
