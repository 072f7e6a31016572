#pragma once
// The framed system L reader's parameter string: 36 characters, 18 fields of two. Parse
// gives what the parameter dialog shows for a string (an option or list index per field,
// the text of the three number boxes); Compose gives the string the dialog writes back.
// Unknown codes and numbers out of range become the field's default on the way through,
// silently, as the reader's parameter dialog has always done.

#include <QByteArray>
#include <QString>

namespace orvid::wlframed {

struct ReaderParameters {
    int mode = 0;        // 0 Normal "On", 1 Morsek "OF", 2 test reading "rb", 3 test writing "Pb"
    QString channel;     // box text, 1..99 (default 50)
    int range = 2;       // 0..3: 0,5 m, 1,0 m, 2,0 m, 3,0 m
    int dataSpeed = 0;   // 0 "HI", 1 "Lo"
    int port = 1;        // 0 RS232 "23", 1 RS485 two-wire "42", 2 RS485 four-wire "44"
    QString address;     // box text, 1..99 (default 1)
    int baud = 3;        // 1200, 2400, 4800, 9600, 19200, 38400
    int stopBits = 0;    // 0 "01", 1 "02"
    int parity = 0;      // 0 " n", 1 " O" ("Gerade"), 2 " E" ("Ungerade")
    int database = 0;    // 0 "On", 1 "OF"
    int radar = 0;       // 0 "OF", 1..5 "01".."05"
    int log = 1;         // event codes, index into kEventCodes
    int relay = 1;
    int buzzer = 0;
    int led = 1;
    QString timeout;     // box text, 1..10 (default 5)
    int tamper = 1;      // 0 "On", 1 "OF"
};

constexpr int kParameterLength = 36;
// "OF", "Fo", "AL", "do", "fd", "Ad": off, stored tags, all tags, motion, and the two
// combinations with motion.
extern const char* const kEventCodes[6];

ReaderParameters ParseParameters(const QByteArray& text);
QByteArray ComposeParameters(const ReaderParameters& p);
// The bus address the string gives the link: the number at positions 13-14; 0 when there
// is none, and 1 for a negative number.
int BusAddressOf(const QByteArray& text);

} // namespace orvid::wlframed
