#include "SimKR.h"

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
    : SimHashCr(true, 65536), fixcode_(5, '\0'), control_(4, '\0'), protection_(4, '\0')
{
    setVariant(variant);
}

SimKR::~SimKR()
{
    shutdown();
}

// ---- configuration ----------------------------------------------------------------------

void SimKR::setVariant(const QByteArray& variant)
{
    setVersionText("ORVID-I " + variant + " V1.07");
}

void SimKR::setTagType(int type)
{
    std::lock_guard<std::mutex> lock(m_);
    type_ = type;
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

void SimKR::setEchoWrites(bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    echoWrites_ = on;
}

int SimKR::sessionTagCode() const
{
    std::lock_guard<std::mutex> lock(m_);
    return sessionTag_;
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

void SimKR::leaveAfterNext(const QByteArray& prefix)
{
    std::lock_guard<std::mutex> lock(m_);
    leaveAfter_ = prefix;
}

QByteArray SimKR::handle(const QByteArray& telegram)
{
    const QByteArray reply = answer(telegram);
    if (!leaveAfter_.isEmpty() && telegram.startsWith(leaveAfter_)) {
        leaveAfter_.clear();
        present_ = false;
    }
    return reply;
}

QByteArray SimKR::armedReply(const QByteArray& command, const QByteArray& parameter)
{
    return answer(command + parameter + kEnd);
}

QByteArray SimKR::answer(const QByteArray& telegram)
{
    if (!telegram.endsWith(kEnd))
        return "4";
    const QByteArray body = telegram.chopped(kEnd.size());
    const QByteArray command = body.left(2);
    const QByteArray parameter = body.mid(2);

    if (command == "VE")
        return "0" + versionText_;
    if (command == "QU") {
        stopReading();
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
            waitForTag(command, parameter);
            return QByteArray();
        }
        if (mode == 'B' || mode == 'E')
            repeatFrom(command, parameter);
        return fix ? fixcodeReply() : readReply(command, parameter);
    }
    if ((command == "AW" || command == "BX") && !present_) {
        waitForTag(command, parameter);   // the Auto writes of both rows
        return QByteArray();
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

QByteArray SimKR::repeatReply(const QByteArray& command, const QByteArray& parameter) const
{
    return isFixcodeRead(command) ? fixcodeReply() : readReply(command, parameter);
}

} // namespace orvid::test
