#include "SimWL.h"

namespace orvid::test {

namespace {
constexpr char STX = 0x02, ETX = 0x03, DLE = 0x10, SYN = 0x16;

bool special(char c)
{
    return c == 0x02 || c == 0x03 || c == 0x06 || c == 0x10 || c == 0x15 || c == 0x16;
}

void stuff(QByteArray& out, char c)
{
    if (special(c))
        out.append(DLE);
    out.append(c);
}

QByteArray id4(quint32 v)
{
    QByteArray b;
    for (int shift = 24; shift >= 0; shift -= 8)
        b.append(static_cast<char>((v >> shift) & 0xFF));
    return b;
}

quint32 idOf(const QByteArray& b)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<quint8>(i < b.size() ? b.at(i) : 0);
    return v;
}
} // namespace

SimWL::SimWL()
{
    parameters_ = "OF5003HIOF23019601 nOnOFFoALOFdo05OF";
}

SimWL::~SimWL()
{
    stop();
}

QByteArray SimWL::EncodeFrame(quint8 address, const QByteArray& body, bool stuffBody)
{
    QByteArray out(1, STX);
    stuff(out, static_cast<char>(address));
    for (char c : body) {
        if (stuffBody)
            stuff(out, c);
        else
            out.append(c);
    }
    char check = 0;
    for (char c : out)
        check ^= c;
    stuff(out, check);
    out.append(ETX);
    return out;
}

QByteArray SimWL::Reply(quint8 addressByte, const QByteArray& header, bool error, const QByteArray& data)
{
    // Address, header and status go out as they are; only the data is stuffed.
    QByteArray out(1, STX);
    out.append(static_cast<char>(addressByte));
    out += header.leftJustified(2, ' ', true);
    out += error ? QByteArray("\x7F\xFF", 2) : QByteArray(2, '\0');
    for (char c : data)
        stuff(out, c);
    char check = 0;
    for (char c : out)
        check ^= c;
    stuff(out, check);
    out.append(ETX);
    return out;
}

QByteArray SimWL::DecodeFrame(const QByteArray& buffer, qsizetype& consumed, bool& badCheck)
{
    consumed = 0;
    badCheck = false;
    const qsizetype start = buffer.indexOf(STX);
    if (start < 0) {
        consumed = buffer.size(); // no frame begins here
        return {};
    }
    QByteArray decoded;
    qsizetype lastStart = -1; // wire index where the last decoded byte began
    for (qsizetype i = start + 1; i < buffer.size(); ++i) {
        const char c = buffer.at(i);
        if (c == ETX) {
            consumed = i + 1;
            if (decoded.isEmpty()) {
                badCheck = true;
                return {};
            }
            char x = 0;
            for (qsizetype k = start; k < lastStart; ++k)
                x ^= buffer.at(k);
            badCheck = x != decoded.back();
            decoded.chop(1);
            return badCheck ? QByteArray() : decoded;
        }
        lastStart = i;
        if (c == DLE) {
            if (++i >= buffer.size())
                return {};
            decoded.append(buffer.at(i));
        } else {
            decoded.append(c);
        }
    }
    return {}; // incomplete
}

void SimWL::setBusAddress(int address) { std::lock_guard<std::mutex> l(m_); busAddress_ = address; }
void SimWL::setParameters(const QByteArray& p) { std::lock_guard<std::mutex> l(m_); parameters_ = p; }
QByteArray SimWL::parameters() const { std::lock_guard<std::mutex> l(m_); return parameters_; }
void SimWL::setSilent(bool s) { std::lock_guard<std::mutex> l(m_); silent_ = s; }
void SimWL::setTag(bool present, quint32 id, int dataClass, const QByteArray& data)
{
    std::lock_guard<std::mutex> l(m_);
    tagPresent_ = present;
    tagId_ = id;
    tagClass_ = dataClass;
    tagData_ = data;
}
void SimWL::setTagPresent(bool present) { std::lock_guard<std::mutex> l(m_); tagPresent_ = present; }
QByteArray SimWL::tagData() const { std::lock_guard<std::mutex> l(m_); return tagData_; }
bool SimWL::reading() const { std::lock_guard<std::mutex> l(m_); return reading_; }
void SimWL::setInputs(bool a, bool b, bool c) { std::lock_guard<std::mutex> l(m_); inputs_ = {a, b, c}; }
std::array<quint8, 2> SimWL::outputs() const { std::lock_guard<std::mutex> l(m_); return outputs_; }
void SimWL::setStatus(quint8 e, quint8 s) { std::lock_guard<std::mutex> l(m_); error_ = e; state_ = s; }
void SimWL::setWriteTicks(int t) { std::lock_guard<std::mutex> l(m_); writeTicks_ = t; }
void SimWL::setDatabase(const QList<quint32>& ids) { std::lock_guard<std::mutex> l(m_); database_ = ids; }
QList<quint32> SimWL::database() const { std::lock_guard<std::mutex> l(m_); return database_; }
void SimWL::setEndlessNext(bool on) { std::lock_guard<std::mutex> l(m_); endless_ = on; }
void SimWL::setInfo(const QByteArray& info) { std::lock_guard<std::mutex> l(m_); info_ = info; }
void SimWL::addLine(const QByteArray& line) { std::lock_guard<std::mutex> l(m_); lines_.append(line); }
void SimWL::wrongToggleNext(int replies, const QByteArray& command)
{
    std::lock_guard<std::mutex> l(m_);
    wrongToggle_ = replies;
    wrongToggleCommand_ = command;
}
void SimWL::badCheckNext() { std::lock_guard<std::mutex> l(m_); badCheck_ = true; }
void SimWL::staleReplyNext() { std::lock_guard<std::mutex> l(m_); stale_ = true; }
QList<QByteArray> SimWL::bodies() const { std::lock_guard<std::mutex> l(m_); return bodies_; }
void SimWL::clearBodies() { std::lock_guard<std::mutex> l(m_); bodies_.clear(); }

QByteArray SimWL::execute(const QByteArray& command, const QByteArray& p, bool& error)
{
    error = false;
    const QByteArray two = command.left(2);
    if (command.startsWith('$')) {
        if (p.startsWith("\x04\x01S")) {
            lines_.clear();
            if (normalMode())
                lines_ << "0001 reader started" << "$Mov" + QByteArray(32, '0');
            lines_ << "$" + parameters_;
            if (normalMode())
                lines_ << "0002 ready";
            return {};
        }
        if (p.startsWith("\x04$") && p.size() == 38) {
            parameters_ = p.mid(2);
            // The reader moves to the bus address of its new string.
            busAddress_ = parameters_.mid(12, 2).toInt();
            return {};
        }
        if (p.startsWith('\x05'))
            return lines_.isEmpty() ? QByteArray() : lines_.takeFirst();
        error = true;
        return {};
    }
    if (two == "QA")
        return info_;
    if (two == "KA" && p.size() == 7)
        return QByteArray(1, static_cast<char>(0x21 + p.at(6) - 6));
    if (two == "JA" && p.size() == 6)
        return QByteArray(1, static_cast<char>(0x31 + p.at(5) - 2));
    if (two == "KC" && p.size() == 1) {
        const int k = static_cast<quint8>(p.at(0)) - 0x21;
        if (k < 0 || k > 2) { error = true; return {}; }
        return QByteArray(1, inputs_[k] ? '\0' : '\x01');
    }
    if ((two == "JB" && p.size() == 2) || (two == "JC" && p.size() == 1)) {
        const int k = static_cast<quint8>(p.at(0)) - 0x31;
        if (k < 0 || k > 1) { error = true; return {}; }
        if (two == "JB") {
            outputs_[k] = static_cast<quint8>(p.at(1));
            return {};
        }
        return QByteArray(1, static_cast<char>(outputs_[k]));
    }
    if (two == "KB" || two == "QF" || two == "CA" || two == "CC" || two == "CD" || two == "CG" || two == "CT"
        || two == "CS" || two == "C\\" || two == "CV" || two == "CX")
        return {};
    if (two == "CM") { reading_ = true; return {}; }
    if (two == "CN" || two == "DB") { reading_ = false; return {}; }
    if (two == "PA") {
        if (!reading_ || !tagPresent_)
            return QByteArray(1, '\0');
        // c3..c6 carry the ID times 4 (the low two bits a fraction, 0 here).
        const quint32 shifted = tagId_ << 2;
        QByteArray r = QByteArray("\x05\x00", 2) + id4(shifted) + QByteArray(6, '\0');
        r.append(static_cast<char>(tagClass_));
        return r + tagData_;
    }
    if (two == "CP") {
        if (!tagPresent_ || p.size() < 15) { error = true; return {}; }
        const char model = p.at(12);
        tagClass_ = model;
        tagData_ = model == 0 ? p.mid(13, 2) : p.mid(13);
        writing_ = writeTicks_;
        return {};
    }
    if (two == "CO") {
        quint8 state = state_;
        if (writing_ > 0) {
            --writing_;
            state |= 0x20;
        }
        return QByteArray(1, static_cast<char>(error_)) + QByteArray(1, static_cast<char>(state));
    }
    if (two == "FE" || two == "FF") {
        if (two == "FE")
            dbNext_ = 0;
        if (endless_ && dbNext_ >= database_.size() && !database_.isEmpty())
            return "\x01" + id4(database_.last());
        return dbNext_ < database_.size() ? "\x01" + id4(database_.at(dbNext_++)) : QByteArray(1, '\0');
    }
    if ((two == "FB" && p.size() == 6) || (two == "FC" && p.size() == 4)) {
        const quint32 id = idOf(p);
        if (two == "FB" && !database_.contains(id))
            database_.append(id);
        if (two == "FC")
            database_.removeAll(id);
        return {};
    }
    error = true;
    return {};
}

qsizetype SimWL::onBytes(const QByteArray& buffer)
{
    qsizetype consumed = 0;
    bool badCheck = false;
    QByteArray reply, stale;
    int delayMs = 0, split = 0;
    {
        std::lock_guard<std::mutex> lock(m_);
        const QByteArray body = DecodeFrame(buffer, consumed, badCheck);
        if (consumed == 0 || body.isEmpty() || silent_)
            return consumed;
        recordTelegram(buffer.left(consumed));
        bodies_.append(body);
        const quint8 address = static_cast<quint8>(body.at(0));
        if ((address & 0x7F) != busAddress_ && (address & 0x7F) != 0)
            return consumed;
        const int toggle = address >> 7;
        const QByteArray rest = body.mid(1);
        if (rest == QByteArray(1, SYN)) {
            lastToggle_ = -1; // resync: the next toggle is taken as new
            return consumed;
        }
        const QByteArray command = rest.startsWith('$') ? QByteArray("$") : rest.left(2);
        if (toggle != lastToggle_ || !last_) {
            const QByteArray parameter = rest.mid(command.size());
            split = faults_.split();
            const std::optional<SimFault> fault = faults_.takeFirst(command);
            if (fault && fault->kind == SimFault::Silence)
                return consumed;
            bool error = false;
            QByteArray data = execute(command, parameter, error);
            if (fault && fault->kind == SimFault::Status) {
                error = true;
                data = fault->status;
            }
            if (fault && fault->kind == SimFault::Truncate)
                data = data.left(fault->value);
            if (fault && fault->kind == SimFault::Delay)
                delayMs = fault->value;
            last_ = Sent{static_cast<quint8>((address & 0x7F) + 128 * toggle), rest.left(2), error, data};
            lastToggle_ = toggle;
            if (stale_) {
                stale = Reply(static_cast<quint8>((address & 0x7F) + 128 * (toggle ^ 1)), "ST", false, "stale");
                stale_ = false;
            }
        }
        // A repeated toggle gets the last reply again, unexecuted.
        const bool otherToggle = wrongToggle_ > 0 && (wrongToggleCommand_.isEmpty() || wrongToggleCommand_ == command);
        if (otherToggle)
            --wrongToggle_;
        reply = Reply(static_cast<quint8>(last_->address ^ (otherToggle ? 0x80 : 0)), last_->header, last_->error,
                      last_->data);
        if (badCheck_) {
            reply[reply.size() - 2] = static_cast<char>(reply.at(reply.size() - 2) ^ 0x40);
            badCheck_ = false;
        }
    }
    if (delayMs > 0 && !pause(delayMs))
        return consumed;
    // A stale reply goes out in one write with the real one, so the program finds both
    // waiting, however busy the machine.
    if (split > 0) {
        send(stale + reply.left(reply.size() / 2));
        if (!pause(split))
            return consumed;
        send(reply.mid(reply.size() / 2));
    } else {
        send(stale + reply);
    }
    return consumed;
}

} // namespace orvid::test
