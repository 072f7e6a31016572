#pragma once
// A system L reader in its text protocol with one tag, on the master side of a
// pseudo-terminal.
//
// Wire: a telegram is command letters, a parameter, "#" CR; a reply a status digit, data,
// "#" CR. Behaviour where the reader's documentation is silent (chosen here):
// - VE: "0" + "ORVID-M Valdrecht Talk V2.10" (replaceable). QU: "0", ends a Buffered or
//   waiting Auto read. CM, MI, TC: "0", their parameters kept.
// - SR/BR/AR wwww cc (hex): "0" + 4*cc bytes from byte 4*wwww; SF/BF/AF: "0" + the
//   fixcode. No tag: Single "5"; Auto waits for a tag; Buffered answers once now when a
//   tag is there and once per arrival of a tag (or every repeat interval, once one is
//   set), until QU.
// - SW 0000 nn data (nn: decimal word count, two digits or three from 100 on): the data
//   at byte 0, "0"; no tag "5".
// - DO 000000 <o2> <o1>: outputs kept, "0". GI: "0" + 16 characters, outputs 2 and 1 at
//   7 and 8, inputs 3, 2, 1 at 14 to 16 ("1" on, "0" off).
// - LS: the listing lines, each ended CR LF, the first after the status "0", the others
//   unasked right after it.
// - Anything else: "4".
// Faults: as every simulator (SimFaults.h).

#include "SimHashCr.h"

#include <QByteArray>
#include <QList>
#include <array>

namespace orvid::test {

class SimL : public SimHashCr {
public:
    SimL();
    ~SimL() override;

    void setFixcode(const QByteArray& code);
    void setInputs(bool in1, bool in2, bool in3);
    std::array<bool, 2> outputs() const;
    // The last CM, MI and TC parameters.
    QByteArray channel() const;
    QByteArray bitRate() const;
    QByteArray tagConfig() const;

protected:
    QByteArray handle(const QByteArray& telegram) override;
    QByteArray repeatReply(const QByteArray& command, const QByteArray& parameter) const override;
    QByteArray replyEnd(const QByteArray& telegram) const override;

private:
    QByteArray readReply(const QByteArray& command, const QByteArray& parameter) const;
    QByteArray write(const QByteArray& parameter);

    QByteArray fixcode_ = "FIXCODE1";
    std::array<bool, 3> inputs_{};
    std::array<bool, 2> outputs_{};
    QList<QByteArray> listing_;
    QByteArray channel_, bitRate_, tagConfig_;
};

} // namespace orvid::test
