#pragma once
// A system R read/write head with one tag in its field, on the master side of a
// pseudo-terminal.
//
// Wire: a telegram is two command letters, a parameter, "#" CR; a reply is a status digit,
// data, "#" CR. Telegrams whose parameter carries raw bytes are cut by their length, so
// those bytes may hold "#" CR:
//   SW/BW/AW/EW wwww cc + 4*cc bytes     PS + 4 bytes      PC + 4 + 4 bytes
//   SX/AX/BX/EX tt ll + ll bytes          SC1/SC2 + 4 bytes
// every other telegram ends at its first "#" CR.
//
// Behaviour where the head's documentation leaves it open (chosen here):
// - VE: "0" + "ORVID-I <variant> V1.07" (the whole text can be replaced).
// - QU, DM<n>, PM0/PM1, PS: "0". CTnn: "0" and the session tag code nn (two decimal
//   digits; anything else "7"). A session tag code other than 0 that differs from the
//   tag's type makes every tag access answer "7".
// - No tag in the field: "5" for every tag access.
// - Password: the tag is protected while bit 16 of its control word is set (the
//   control word's password bit). Data reads, data writes and SG/SC then need PM1 and a PS
//   with the tag's password (four bytes, least significant first); otherwise "7".
//   PC old new: "0" and the new password when old is the current one, else "7".
// - Data reads SR/BR/AR/ER wwww cc: "0" + 4*cc bytes from byte 4*wwww. cc 00 reads three
//   words on a QTX10 tag and is refused ("7") on others, as is a range past FFFF.
//   Writes SW/BW/AW/EW: memory updated, "0" (with echoWrites: "0" + the written bytes).
//   The Auto writes (AW, and BX of the fixcode row) wait for a tag as Auto reads do, and
//   are carried out when one enters the field; QU cancels them.
// - Fixcode: five bytes. SF/BF/AF/EF: "0" + the fixcode. SX/AX/BX/EX tt ll code: only on
//   QTX10/11/14 tags ("7" otherwise); tt "02" locks the fixcode, and a locked fixcode
//   refuses every further write with "7".
// - SG1 protection word, SG2 control word: "0" + four bytes (first byte = bits 31..24);
//   SC1/SC2 + four bytes store them.
// - Buffered and Enhanced reads (B*, E* of the read rows) repeat their reply every
//   repeatInterval ms until QU; any other telegram leaves the repetition running. Auto
//   reads (AR, AF) answer at once when a tag is present, else once a tag enters the field
//   (setTagPresent(true)); QU cancels a waiting Auto read.
// - Any other command: "4".
// Faults (SimFaults.h): the next reply(s) to telegrams starting with a prefix can be
// replaced by a bare status, withheld, delayed, cut short or turned into a hang-up; every
// reply can be split in two with a pause.

#include "SimHashCr.h"

#include <QByteArray>

namespace orvid::test {

class SimKR : public SimHashCr {
public:
    explicit SimKR(const QByteArray& variant = "QTR-AX");
    ~SimKR() override;

    // ---- device and tag (any thread) -----------------------------------------------
    void setVariant(const QByteArray& variant);
    void setTagType(int type);
    // Sets the password and switches the protection bit of the control word.
    void setPassword(quint32 password, bool protect);
    quint32 password() const;
    void setFixcode(const QByteArray& code, bool locked = false);
    QByteArray fixcode() const;
    bool fixcodeLocked() const;
    void setConfigWords(const QByteArray& control, const QByteArray& protection);
    QByteArray controlWord() const;
    QByteArray protectionWord() const;
    void setEchoWrites(bool on);
    int sessionTagCode() const;
    // The tag leaves the field once the next telegram starting with prefix is answered.
    void leaveAfterNext(const QByteArray& prefix);

protected:
    // Telegrams whose parameter carries raw bytes are cut by their length.
    qsizetype telegramLength(const QByteArray& buffer) const override;
    QByteArray handle(const QByteArray& telegram) override;
    QByteArray repeatReply(const QByteArray& command, const QByteArray& parameter) const override;
    QByteArray armedReply(const QByteArray& command, const QByteArray& parameter) override;

private:
    QByteArray answer(const QByteArray& telegram);
    QByteArray readReply(const QByteArray& command, const QByteArray& parameter) const;
    QByteArray fixcodeReply() const;
    QByteArray access(bool needsPassword) const;   // empty when allowed, else the status

    int type_ = 3;
    quint32 password_ = 0;
    QByteArray fixcode_;
    bool fixcodeLocked_ = false;
    QByteArray control_;
    QByteArray protection_;
    bool echoWrites_ = false;
    QByteArray leaveAfter_;

    int sessionTag_ = 0;
    bool sessionPasswordMode_ = false;
    quint32 sessionPassword_ = 0;
};

} // namespace orvid::test
