#pragma once
// What the shared tag dialogs call on the current system window. A dialog finds the
// interface with dynamic_cast on LK::CurrentWindow(); a window that does not offer it
// simply is not written to. The system R window and the interface-unit window implement
// both. The dialogs ask the writer what it offers (Offer) rather than which system it is.

#include <QByteArray>
#include <cstdint>

namespace orvid {

// What a writer offers beyond the plain write.
struct WriterOffer {
    // Buffered and Auto besides Single and Enhanced.
    bool allModes = true;
    // The tag types follow the head families the device reports (items 110..117) instead
    // of the system's own table.
    bool typesByHeadFamily = false;
};

class ITagWriter {
public:
    virtual ~ITagWriter() = default;
    virtual WriterOffer Offer() const { return WriterOffer(); }
    // tagCode: ItemData of the dialog's tag list; mode: 0 Single, 1 Buffered, 2 Auto,
    // 3 Enhanced; fixcode: the QTX10 fixcode box (honoured only with tag code 10);
    // address: byte address 0..65535; length: bytes of data; data: raw bytes;
    // head: "x" for all heads or "1".."4". The window reports failures itself; true when
    // the tag was written.
    virtual bool WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                          const QByteArray& data, const QByteArray& head) = 0;
};

class IQTX11FixcodeWriter {
public:
    virtual ~IQTX11FixcodeWriter() = default;
    virtual WriterOffer Offer() const { return WriterOffer(); }
    // fixcode: raw bytes; the first five are written, filled up with NUL bytes. The window
    // reports failures itself; true when the device accepted the write.
    virtual bool WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode) = 0;
};

} // namespace orvid
