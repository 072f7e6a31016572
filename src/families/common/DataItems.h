#pragma once
// Data item ids: what the link, the windows and the shared dialogs exchange through
// LK::LkPutData / LkGetData. Ids 1..3 are the link's own; each family has its range.

#include <cstdint>

namespace orvid {

// Held by the link for every system.
namespace LinkItem {
enum : int16_t {
    HeadType = 1,      // the recognised head type ("QTR-AX"), the head frame's caption
    VersionText = 2,   // the device's version reply, upper case
    LastData = 3,      // bytes of the last read
};
} // namespace LinkItem

// The items of system R, which the interface units answer as well: the shared tag dialogs
// (frmSystemKRWrite, frmSystemHXWriteFixcode) read them from whichever is current.
namespace KRItem {
enum : int16_t {
    LastData = LinkItem::LastData,
    OperationMode = 100,      // 0 Single, 1 Buffered, 2 Auto, 3 Enhanced
    StartAddress = 101,       // 0..65535
    DataLength = 102,
    DataRepresentation = 103, // 0 ASCII, 1 hex, 2 decimal
    Tagcode = 104,
    PasswordFlag = 105,
    HeadNumber = 106,         // "1".."4" or "x"
    ModeFrameEnabled = 108,   // answered by the window
    HeadFrameVisible = 109,   // answered by the window
    // The head families an interface unit reports (tag types it can write).
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
