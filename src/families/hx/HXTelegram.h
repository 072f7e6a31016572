#pragma once
// The interface unit's telegrams on both transports, without widgets or a link: the
// command table, the serial text telegram, the Ethernet byte frame, and the bringing of
// either transport's reply into one text (status character, channel character, data).
//
// Everything above this layer (recognition, tag operations, polling) is written once for
// both transports: it names commands by HXCommand and decodes the unified reply text.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvid::hx {

enum class HXCommand {
    VE, QU, SR, BR, AR, ER, SW, BW, AW, EW, SF, BF, AF, EF, CT, PM, PS, PC, SG, SC,
    SX, AX, BX, EX, GS, MM, TM, SS, ES, SP, EP, RP, WP,
};

// How an Ethernet frame carries a command's data text.
enum class PayloadRule { None, Plain, Word, Special, Trigger };

struct CommandInfo {
    const char* text; // the serial command
    int code;         // the Ethernet command code, -1 when the unit has none on Ethernet
    PayloadRule rule;
};

const CommandInfo& Info(HXCommand command);
// The command whose serial text begins text (a command typed by hand); false when none.
bool CommandOf(const QByteArray& text, HXCommand& command);
// The command field: the serial text, or one character of the Ethernet code (empty when
// the command has no Ethernet code).
QByteArray CommandField(HXCommand command, bool ethernet);

// Read, write and fixcode-write commands by operating mode 0..3 (Single, Buffered, Auto,
// Enhanced). A fixcode written in Buffered goes out as "AX" and in Auto as "BX": that is
// how the units number them. False for a mode outside 0..3.
bool ReadCommand(int mode, bool fixcode, HXCommand& command);
bool WriteCommand(int mode, bool fixcode, HXCommand& command);

// Word counts one telegram can carry: two hex digits on serial, a 4-bit field on Ethernet.
constexpr int kMaxSerialWords = 255;
constexpr int kMaxEthernetWords = 15;

// Serial: command, channel, data, "#" CR.
QByteArray SerialTelegram(const QByteArray& command, const QByteArray& channel,
                          const QByteArray& data);

// The channel number of a frame: the decimal value of the text, 7 for a non-empty text
// whose value is 0 ("x"), 0 for the empty text.
int ChannelNumber(const QByteArray& channel);

// Why an Ethernet frame was not built.
enum class FrameRefusal {
    None,
    NoCode,        // the command has no Ethernet code
    WordCount,     // more words than the 4-bit field holds
    Fixcode,       // the word rule would drop two code bytes and write a wrong address
    BadData,       // the data does not start with the address and count the rule needs
};

// Builds the Ethernet request frame of command with data to channel. The trigger rule
// replaces the channel text by its value plus 2 (the caller's text changes too). frame is
// untouched unless the result is FrameRefusal::None.
FrameRefusal EthernetFrame(HXCommand command, QByteArray& channel, const QByteArray& data,
                           QByteArray& frame);

// ---- replies ---------------------------------------------------------------------------

// The status of a unified reply: 0 success, 1..15 the unit's hexadecimal status, 16 a
// serial status that is no hexadecimal digit, on Ethernet the status byte itself when the
// unit's table cannot name it (16..254 except 64), 255 a second "further frame" mark.
// Nothing past 255: an unknown status is a failure, never success.
struct HXReply {
    QByteArray text; // status character(s), channel digit, data
    int status = 0;
};

constexpr uint8_t kFurtherFrame = 255;

// The status character of an Ethernet status byte, and its status (see HXReply).
// Unknown bytes give the character "?", which no later decoding takes for success.
void MapStatusByte(uint8_t byte, QByteArray& character, int& status);

// One Ethernet reply frame (as the network delivered it, length bytes first) in unified
// form. further: the frame that followed a status-255 frame (empty when none came).
// False when the frame used is shorter than 6 bytes: no reply.
bool DecodeEthernetReply(const QByteArray& frame, const QByteArray& further, HXReply& reply);
// True when frame announces a further frame (status byte 255).
bool AnnouncesFurtherFrame(const QByteArray& frame);

// The header length of a reply: 2, or 8 with the diagnose header.
inline int HeaderLength(int protocolType) { return protocolType != 0 ? 8 : 2; }
// Position (from 0) of the channel character.
inline int ChannelPosition(int protocolType) { return protocolType != 0 ? 4 : 1; }

// The status of a reply in either transport's text form, by its first character (16 when
// it is no hex digit: an unknown Ethernet status "?", a second further-frame mark "^").
int SerialStatus(const QByteArray& reply);

// The link's result rule: length 0 or less is returned unchanged. A failed status gives
// minus the status and leaves the reply; success removes the header.
int16_t GetLKResult(QByteArray& reply, int16_t length, int protocolType, int status);
// The same with the status read from the reply's first character.
int16_t GetLKResult(QByteArray& reply, int16_t length, int protocolType);

// The built-in German text of a status code ("4", "5", ... "E"); empty when none.
QString BuiltInStatusText(const QByteArray& code);
// The code shown for a status: its hex digit, or the decimal number past 15.
QByteArray StatusCode(int status);

} // namespace orvid::hx
