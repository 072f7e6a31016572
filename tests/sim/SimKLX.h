#pragma once
// A long-range reader KLX9000 on 127.0.0.1 (TcpHarness): LF-ended text lines.
//
// Replies: "RPLY" + the command's first four characters + two status digits + payload.
// - "HELO": "RPLYHELO" + hello status ("00") + the version text ("TAGP/1.6 SimKLX").
//   "HELO" + protocol ("HELOTAGP/1.6"): "RPLYHELO" + the second status ("00"), no payload.
// - "GET name": "RPLYGET 00name=value" for the twelve parameters, BUZZER, LED and RELAY;
//   an unknown name "RPLYGET 11".
// - "SET name=value": stored, "RPLYSET 00" with no payload; unknown name "RPLYSET 11".
// - "PUSHTAG STOP": "RPLYPUSH00", a recorded write is dropped.
// - "PUSHTAG target;format;data": recorded, "RPLYPUSH00"; when a tag in the field matches
//   the target ("*" or its ID as nine digits), "EVNTWRIT" + the target follows after the
//   write delay and the tag takes the data.
// Command words are taken in either case; replies name them in upper case.
// - anything else: "RPLY" + its first four characters + "99".
// Tag reports: "EVNTTAG " + 17 filler characters + the report (ID in 28 bits, class in the
// type byte, Mini value, Quarter or Full data), every byte outside 0x20..0x7E and "%"
// percent-encoded. pushReports() sends one per present tag; setReportRate repeats it.
// Faults (SimFaultTable, key = the command line: prefix "GET" hits every GET, "GET LED" one):
// Status (two characters, e.g. "12" or "0A"), Silence, Delay (a late reply), Truncate (the
// reply cut to value characters), HangUp (the connection closed), Unterminated (no LF),
// Drip (a byte every value ms), Report (tag value's report right behind the reply); split
// replies; an event line before every reply; the WRIT event before the PUSHTAG reply.
// A reader may end its lines otherwise (CR LF) and put a field of its own behind each
// report's data (setLines); "no LF" then leaves what comes before the LF.

#include "sim/SimFaults.h"
#include "support/TcpHarness.h"

#include <QHash>
#include <QTimer>

#include <mutex>

namespace orvid::test {

class SimKLX : public TcpHarness {
public:
    enum Class { Mini = 0, Full = 1, Quarter = 2, NoData = 3 };
    struct Tag {
        quint32 id = 0;
        int cls = Mini;
        int mini = 0;
        QByteArray data;   // Full: 72 bytes, Quarter: 20
        bool present = true;
    };

    explicit SimKLX(quint16 port = 0);

    // ---- reader (any thread) ---------------------------------------------------------
    void setVersion(const QByteArray& v) { std::lock_guard l(mutex_); version_ = v; }
    void setHelloStatus(const QByteArray& first, const QByteArray& second)
    {
        std::lock_guard l(mutex_);
        helloStatus_ = first;
        secondStatus_ = second;
    }
    void setParameter(const QByteArray& name, const QByteArray& v) { std::lock_guard l(mutex_); parameters_.insert(name, v); }
    QByteArray parameter(const QByteArray& name) const { std::lock_guard l(mutex_); return parameters_.value(name); }
    // The PUSHTAG lines received (STOP excluded).
    QList<QByteArray> pushTags() const { std::lock_guard l(mutex_); return pushTags_; }
    SimFaultTable& faults() { return faults_; }   // change only while no request is handled
    void setEventBeforeReply(bool on) { std::lock_guard l(mutex_); eventBeforeReply_ = on; }
    void setWritBeforeReply(bool on) { std::lock_guard l(mutex_); writBeforeReply_ = on; }
    void setWriteDelay(int ms) { std::lock_guard l(mutex_); writeDelay_ = ms; }
    void setLines(const QByteArray& end, const QByteArray& reportField)
    {
        std::lock_guard l(mutex_);
        lineEnd_ = end;
        reportField_ = reportField;
    }
    QByteArray lineEnd() const { std::lock_guard l(mutex_); return lineEnd_; }

    // ---- tags ------------------------------------------------------------------------
    int addTag(const Tag& t) { std::lock_guard l(mutex_); tags_.append(t); return int(tags_.size()) - 1; }
    Tag tag(int index) const { std::lock_guard l(mutex_); return tags_.value(index); }
    void setTagPresent(int index, bool present)
    {
        std::lock_guard l(mutex_);
        if (index >= 0 && index < tags_.size())
            tags_[index].present = present;
    }
    // The event line (with LF) the reader sends for a tag: as this reader ends it, or with
    // the field and line end given.
    QByteArray report(const Tag& tag) const { std::lock_guard l(mutex_); return reportLine(tag, reportField_, lineEnd_); }
    static QByteArray reportLine(const Tag& tag, const QByteArray& field = {}, const QByteArray& end = "\n");
    // Every byte outside 0x20..0x7E and "%" as "%" + two hex digits.
    static QByteArray percentEncode(const QByteArray& bytes);
    void pushReports();
    void setReportRate(int ms);   // 0: off

private:
    TcpScript answer(const QByteArray& request);
    QByteArray handle(const QByteArray& line, TcpScript& events);

    mutable std::mutex mutex_;
    SimFaultTable faults_;
    QByteArray version_ = "TAGP/1.6 SimKLX";
    QByteArray helloStatus_ = "00", secondStatus_ = "00";
    QHash<QByteArray, QByteArray> parameters_;
    QList<QByteArray> pushTags_;
    QList<Tag> tags_;
    bool eventBeforeReply_ = false;
    bool writBeforeReply_ = false;
    int writeDelay_ = 20;
    QByteArray lineEnd_ = "\n";
    QByteArray reportField_;
    QTimer reportTimer_;
};

} // namespace orvid::test
