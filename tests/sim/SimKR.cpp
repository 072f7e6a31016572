#include "SimKR.h"

#include <chrono>

namespace orvid::test {

namespace {

const QByteArray kEnd("#\r");

bool isHex(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

quint32 le32(const QByteArray& four)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(four.at(i));
    return v;
}

bool oneOf(const QByteArray& command, std::initializer_list<const char*> list)
{
    for (const char* c : list) {
        if (command == c)
            return true;
    }
    return false;
}

bool isDataRead(const QByteArray& c) { return oneOf(c, {"SR", "BR", "AR", "ER"}); }
bool isFixcodeRead(const QByteArray& c) { return oneOf(c, {"SF", "BF", "AF", "EF"}); }
bool isDataWrite(const QByteArray& c) { return oneOf(c, {"SW", "BW", "AW", "EW"}); }
bool isFixcodeWrite(const QByteArray& c) { return oneOf(c, {"SX", "AX", "BX", "EX"}); }

} // namespace

SimKR::SimKR(const QByteArray& variant)
    : memory_(65536, '\0'), fixcode_(5, '\0'), control_(4, '\0'), protection_(4, '\0')
{
    setVariant(variant);
    repeater_ = std::thread([this] { repeatLoop(); });
}

SimKR::~SimKR()
{
    {
        std::lock_guard<std::mutex> lock(m_);
        quit_ = true;
    }
    repeatChanged_.notify_all();
    if (repeater_.joinable())
        repeater_.join();
    stop();
}

// ---- configuration ----------------------------------------------------------------------

void SimKR::setVariant(const QByteArray& variant)
{
    setVersionText("ORVID-I " + variant + " V1.07");
}

void SimKR::setVersionText(const QByteArray& text)
{
    std::lock_guard<std::mutex> lock(m_);
    versionText_ = text;
}

void SimKR::setTagPresent(bool present)
{
    std::lock_guard<std::mutex> lock(m_);
    present_ = present;
    if (present && !autoCommand_.isEmpty()) {
        // The waiting Auto read answers now that a tag is in the field.
        const QByteArray body = isFixcodeRead(autoCommand_) ? fixcodeReply()
                                                             : readReply(autoCommand_, autoParameter_);
        autoCommand_.clear();
        send(body + kEnd);
    }
}

void SimKR::setTagType(int type)
{
    std::lock_guard<std::mutex> lock(m_);
    type_ = type;
}

void SimKR::writeMemory(int address, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_);
    for (qsizetype i = 0; i < bytes.size() && address + i < memory_.size(); ++i)
        memory_[address + i] = bytes.at(i);
}

QByteArray SimKR::readMemory(int address, int length) const
{
    std::lock_guard<std::mutex> lock(m_);
    return memory_.mid(address, length);
}

void SimKR::fillMemory(char byte)
{
    std::lock_guard<std::mutex> lock(m_);
    memory_.fill(byte);
}

void SimKR::setPassword(quint32 password, bool protect)
{
    std::lock_guard<std::mutex> lock(m_);
    password_ = password;
    // Bit 16 of the control word: bit 0 of its second byte.
    control_[1] = static_cast<char>(protect ? (control_.at(1) | 1) : (control_.at(1) & ~1));
}

quint32 SimKR::password() const
{
    std::lock_guard<std::mutex> lock(m_);
    return password_;
}

void SimKR::setFixcode(const QByteArray& code, bool locked)
{
    std::lock_guard<std::mutex> lock(m_);
    fixcode_ = (code + QByteArray(5, '\0')).left(5);
    fixcodeLocked_ = locked;
}

QByteArray SimKR::fixcode() const
{
    std::lock_guard<std::mutex> lock(m_);
    return fixcode_;
}

bool SimKR::fixcodeLocked() const
{
    std::lock_guard<std::mutex> lock(m_);
    return fixcodeLocked_;
}

void SimKR::setConfigWords(const QByteArray& control, const QByteArray& protection)
{
    std::lock_guard<std::mutex> lock(m_);
    control_ = (control + QByteArray(4, '\0')).left(4);
    protection_ = (protection + QByteArray(4, '\0')).left(4);
}

QByteArray SimKR::controlWord() const
{
    std::lock_guard<std::mutex> lock(m_);
    return control_;
}

QByteArray SimKR::protectionWord() const
{
    std::lock_guard<std::mutex> lock(m_);
    return protection_;
}

void SimKR::setRepeatInterval(int ms)
{
    std::lock_guard<std::mutex> lock(m_);
    repeatMs_ = ms;
}

void SimKR::setEchoWrites(bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    echoWrites_ = on;
}

bool SimKR::repeating() const
{
    std::lock_guard<std::mutex> lock(m_);
    return !repeatCommand_.isEmpty();
}

int SimKR::sessionTagCode() const
{
    std::lock_guard<std::mutex> lock(m_);
    return sessionTag_;
}

void SimKR::failNext(const QByteArray& prefix, char status, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Status, prefix, QByteArray(1, status), 0, times});
}

void SimKR::silenceNext(const QByteArray& prefix, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Silence, prefix, {}, 0, times});
}

void SimKR::delayNext(const QByteArray& prefix, int ms, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Delay, prefix, {}, ms, times});
}

void SimKR::truncateNext(const QByteArray& prefix, int dataBytes, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Truncate, prefix, {}, dataBytes, times});
}

void SimKR::hangUpNext(const QByteArray& prefix)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::HangUp, prefix, {}, 0, 1});
}

void SimKR::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.clear();
}

void SimKR::setSplit(int pauseMs)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.setSplit(pauseMs);
}

QList<QByteArray> SimKR::receivedStartingWith(const QByteArray& prefix) const
{
    QList<QByteArray> list;
    for (const QByteArray& t : telegrams()) {
        if (t.startsWith(prefix))
            list.append(t);
    }
    return list;
}

// ---- the device -------------------------------------------------------------------------

qsizetype SimKR::telegramLength(const QByteArray& buffer) const
{
    auto fixed = [&](qsizetype n) -> qsizetype { return buffer.size() >= n ? n : 0; };
    const QByteArray c = buffer.left(2);
    if (c.size() == 2) {
        if (isDataWrite(c)) {
            if (buffer.size() < 8)
                return 0;
            if (isHex(buffer.mid(2, 4)) && isHex(buffer.mid(6, 2)))
                return fixed(8 + 4 * buffer.mid(6, 2).toInt(nullptr, 16) + 2);
        } else if (c == "PS") {
            return fixed(2 + 4 + 2);
        } else if (c == "PC") {
            return fixed(2 + 8 + 2);
        } else if (c == "SC") {
            if (buffer.size() < 3)
                return 0;
            if (buffer.at(2) == '1' || buffer.at(2) == '2')
                return fixed(3 + 4 + 2);
        } else if (isFixcodeWrite(c)) {
            if (buffer.size() < 6)
                return 0;
            bool ok = false;
            const int length = buffer.mid(4, 2).toInt(&ok, 10);
            if (ok && length >= 0)
                return fixed(6 + length + 2);
        }
    }
    const qsizetype end = buffer.indexOf(kEnd);
    return end < 0 ? 0 : end + kEnd.size();
}

QByteArray SimKR::access(bool needsPassword) const
{
    if (!present_)
        return "5";
    if (sessionTag_ != 0 && sessionTag_ != type_)
        return "7";
    const bool protectedTag = (static_cast<quint8>(control_.at(1)) & 1) != 0;
    if (needsPassword && protectedTag && !(sessionPasswordMode_ && sessionPassword_ == password_))
        return "7";
    return QByteArray();
}

QByteArray SimKR::readReply(const QByteArray&, const QByteArray& parameter) const
{
    const QByteArray refused = access(true);
    if (!refused.isEmpty())
        return refused;
    if (parameter.size() != 6 || !isHex(parameter))
        return "7";
    const int word = parameter.left(4).toInt(nullptr, 16);
    int count = parameter.mid(4, 2).toInt(nullptr, 16);
    if (count == 0) {
        if (type_ != 10)
            return "7";
        count = 3;
    }
    if ((word + count) * 4 > memory_.size())
        return "7";
    return "0" + memory_.mid(word * 4, count * 4);
}

QByteArray SimKR::fixcodeReply() const
{
    const QByteArray refused = access(false);
    if (!refused.isEmpty())
        return refused;
    return "0" + fixcode_;
}

QByteArray SimKR::handle(const QByteArray& telegram)
{
    if (!telegram.endsWith(kEnd))
        return "4";
    const QByteArray body = telegram.chopped(kEnd.size());
    const QByteArray command = body.left(2);
    const QByteArray parameter = body.mid(2);

    if (command == "VE")
        return "0" + versionText_;
    if (command == "QU") {
        repeatCommand_.clear();
        autoCommand_.clear();
        ++repeatGeneration_;
        repeatChanged_.notify_all();
        return "0";
    }
    if (command == "DM")
        return "0";
    if (command == "CT") {
        if (parameter.size() != 2 || parameter.at(0) < '0' || parameter.at(0) > '9' || parameter.at(1) < '0'
            || parameter.at(1) > '9')
            return "7";
        sessionTag_ = parameter.toInt();
        return "0";
    }
    if (command == "PM") {
        if (parameter != "0" && parameter != "1")
            return "7";
        sessionPasswordMode_ = parameter == "1";
        return "0";
    }
    if (command == "PS") {
        if (parameter.size() != 4)
            return "7";
        sessionPassword_ = le32(parameter);
        return "0";
    }
    if (command == "PC") {
        if (!present_)
            return "5";
        if (parameter.size() != 8 || le32(parameter.left(4)) != password_)
            return "7";
        password_ = le32(parameter.mid(4));
        return "0";
    }
    if (isDataRead(command) || isFixcodeRead(command)) {
        const bool fix = isFixcodeRead(command);
        const char mode = command.at(0);
        if (mode == 'A' && !present_) {
            autoCommand_ = command;
            autoParameter_ = parameter;
            return QByteArray();
        }
        if (mode == 'B' || mode == 'E') {
            repeatCommand_ = command;
            repeatParameter_ = parameter;
            ++repeatGeneration_;
            repeatChanged_.notify_all();
        }
        return fix ? fixcodeReply() : readReply(command, parameter);
    }
    if (isDataWrite(command)) {
        const QByteArray refused = access(true);
        if (!refused.isEmpty())
            return refused;
        const int word = parameter.left(4).toInt(nullptr, 16);
        const int count = parameter.mid(4, 2).toInt(nullptr, 16);
        const QByteArray data = parameter.mid(6);
        if (count == 0 || data.size() != count * 4 || (word + count) * 4 > memory_.size())
            return "7";
        for (qsizetype i = 0; i < data.size(); ++i)
            memory_[word * 4 + i] = data.at(i);
        return echoWrites_ ? "0" + data : QByteArray("0");
    }
    if (isFixcodeWrite(command)) {
        const QByteArray refused = access(false);
        if (!refused.isEmpty())
            return refused;
        const QByteArray kind = parameter.left(2);
        const QByteArray code = parameter.mid(4);
        if (type_ != 10 && type_ != 11 && type_ != 14)
            return "7";
        if ((kind != "02" && kind != "11") || code.size() != 5 || fixcodeLocked_)
            return "7";
        fixcode_ = code;
        fixcodeLocked_ = kind == "02";
        return echoWrites_ ? "0" + code : QByteArray("0");
    }
    if (command == "SG") {
        const QByteArray refused = access(true);
        if (!refused.isEmpty())
            return refused;
        if (parameter == "1")
            return "0" + protection_;
        if (parameter == "2")
            return "0" + control_;
        return "7";
    }
    if (command == "SC") {
        const QByteArray refused = access(true);
        if (!refused.isEmpty())
            return refused;
        if (parameter.size() != 5)
            return "7";
        if (parameter.at(0) == '1')
            protection_ = parameter.mid(1);
        else if (parameter.at(0) == '2')
            control_ = parameter.mid(1);
        else
            return "7";
        return "0";
    }
    return "4";
}

qsizetype SimKR::onBytes(const QByteArray& buffer)
{
    const qsizetype length = telegramLength(buffer);
    if (length <= 0)
        return 0;
    const QByteArray telegram = buffer.left(length);
    recordTelegram(telegram);

    QByteArray body;
    int delayMs = 0;
    int split = 0;
    bool hangUpNow = false;
    {
        std::lock_guard<std::mutex> lock(m_);
        split = faults_.split();
        const std::optional<SimFault> fault = faults_.takeFirst(telegram);
        const SimFault::Kind kind = fault ? fault->kind : SimFault::Delay;
        if (fault && kind == SimFault::Status) {
            body = fault->status;
        } else if (fault && kind == SimFault::Silence) {
            return length;
        } else if (fault && kind == SimFault::HangUp) {
            hangUpNow = true;
        } else {
            body = handle(telegram);
            if (fault && kind == SimFault::Delay)
                delayMs = fault->value;
            if (fault && kind == SimFault::Truncate && body.startsWith('0'))
                body = body.left(1 + fault->value);
        }
    }
    if (hangUpNow) {
        hangUp();
        return length;
    }
    if (body.isEmpty())
        return length;
    if (delayMs > 0 && !pause(delayMs))
        return length;
    const QByteArray whole = body + kEnd;
    if (split > 0) {
        const qsizetype half = whole.size() / 2;
        send(whole.left(half));
        if (!pause(split))
            return length;
        send(whole.mid(half));
    } else {
        send(whole);
    }
    return length;
}

void SimKR::repeatLoop()
{
    std::unique_lock<std::mutex> lock(m_);
    while (!quit_) {
        if (repeatCommand_.isEmpty()) {
            repeatChanged_.wait(lock);
            continue;
        }
        const int generation = repeatGeneration_;
        repeatChanged_.wait_for(lock, std::chrono::milliseconds(repeatMs_));
        if (quit_ || repeatCommand_.isEmpty() || generation != repeatGeneration_)
            continue;
        const QByteArray body = isFixcodeRead(repeatCommand_) ? fixcodeReply()
                                                               : readReply(repeatCommand_, repeatParameter_);
        // Sent under the lock, so no repetition slips out after a QU has been handled.
        send(body + kEnd);
    }
}

} // namespace orvid::test
