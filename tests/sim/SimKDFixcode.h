#pragma once
// An inductive system D fixcode unit (four read heads) on the master side of a
// pseudo-terminal.
//
// Wire: a command is a text line ended by CR LF, a reply one or more lines ended by CR LF.
// Behaviour where the unit's documentation leaves it open (chosen here):
// - CR, LF and ETX end a line; empty lines and lines with bytes outside 0x20..0x7E (other
//   families' probes) and lines beginning with "#" get no reply.
// - "RST": "OK" (or the stop's answer set) at once; it ends a running read. "SD": "OK"; the
//   next read is double-sided.
// - "VER": two lines, "ORVID-I DVN-LRS2-4NWZ V2.1" and "ORVID Systems"; setVersion gives
//   one line of the DRN type, two of it, lower case, no type (only "ORVID-I") or silence.
// - Reads "R", "AR", "CAR", "BAR" + head ("1".."4" or "X") + "," + format ("10" or "28").
//   A data line is the tag's code: format 10 the wafer as 3 hex digits and the die as 5
//   decimal digits, format 28 the wafer as 4 and the die as 5 decimal digits.
//   Head X reads the first head (1 to 4) holding a tag: one line per read cycle.
//   R: one line, "M7" without a tag. AR: one line as soon as a tag is there (at once, or
//   when one arrives), then nothing until the next command. CAR and BAR: a line every
//   rate ms while a tag is there, until "RST" or the next command.
// - Anything else: "E9".
// Faults (prefix matched against the command line): a status line instead of the reply,
// silence, delay; every reply can be split in two with a pause.

#include "sim/SimKDBase.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <chrono>
#include <optional>

namespace orvid::test {

class SimKDFixcode : public SimKDBase {
public:
    enum class Version { TwoLines, OneLine, DRN, LowerCase, NoType, Silent };

    SimKDFixcode();
    ~SimKDFixcode() override;

    // Tags under head 0..3 (wafer 0..FFF, die 0..65535).
    void setTag(int head, quint32 wafer, quint32 die);
    void removeTag(int head);
    void setVersion(Version v);
    bool doubleSided() const;       // set by "SD", cleared by the next read (setRate: CAR, BAR)
    // The data line of a tag in a format ("10" or "28").
    static QByteArray DataLine(quint32 wafer, quint32 die, const QByteArray& format);

protected:
    qsizetype onBytes(const QByteArray& buffer) override;

private:
    struct Read {
        char kind = 0;          // 'A' Auto, 'C' continuous (CAR/BAR)
        int head = 0;           // 0..3, 4 = X
        QByteArray format;
        std::chrono::steady_clock::time_point due;
    };
    QList<QByteArray> reply(const QByteArray& line);          // under m_
    std::optional<QByteArray> tagLine(int head, const QByteArray& format) const;   // under m_
    void tick() override;

    std::array<std::optional<std::pair<quint32, quint32>>, 4> tags_;
    Version version_ = Version::TwoLines;
    bool doubleSided_ = false;
    std::optional<Read> read_;
};

} // namespace orvid::test
