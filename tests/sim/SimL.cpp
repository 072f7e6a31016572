#include "SimL.h"

namespace orvid::test {

namespace {
const QByteArray kEnd("#\r");

bool isHex(const QByteArray& text)
{
    bool ok = false;
    text.toUInt(&ok, 16);
    return ok && !text.isEmpty();
}
} // namespace

SimL::SimL() : SimHashCr(false, 65536)
{
    setVersionText("ORVID-M Valdrecht Talk V2.10");
    listing_ = {"CHANNEL 50", "RANGE 4", "BITRATE 2"};
}

SimL::~SimL()
{
    shutdown();
}

void SimL::setFixcode(const QByteArray& code)
{
    std::lock_guard<std::mutex> lock(m_);
    fixcode_ = code;
}

void SimL::setInputs(bool in1, bool in2, bool in3)
{
    std::lock_guard<std::mutex> lock(m_);
    inputs_ = {in1, in2, in3};
}

std::array<bool, 2> SimL::outputs() const
{
    std::lock_guard<std::mutex> lock(m_);
    return outputs_;
}

QByteArray SimL::channel() const
{
    std::lock_guard<std::mutex> lock(m_);
    return channel_;
}

QByteArray SimL::bitRate() const
{
    std::lock_guard<std::mutex> lock(m_);
    return bitRate_;
}

QByteArray SimL::tagConfig() const
{
    std::lock_guard<std::mutex> lock(m_);
    return tagConfig_;
}

QByteArray SimL::readReply(const QByteArray& command, const QByteArray& parameter) const
{
    if (!present_)
        return "5";
    if (command.endsWith('F'))
        return "0" + fixcode_;
    if (parameter.size() != 6 || !isHex(parameter))
        return "4";
    const int word = parameter.left(4).toInt(nullptr, 16);
    const int count = parameter.mid(4, 2).toInt(nullptr, 16);
    if ((word + count) * 4 > memory_.size())
        return "4";
    return "0" + memory_.mid(word * 4, count * 4);
}

QByteArray SimL::repeatReply(const QByteArray& command, const QByteArray& parameter) const
{
    return readReply(command, parameter);
}

QByteArray SimL::write(const QByteArray& parameter)
{
    if (!parameter.startsWith("0000"))
        return "4";
    // Two count digits, or three from 100 words on: the count that matches the data.
    for (int digits : {2, 3}) {
        bool ok = false;
        const int words = parameter.mid(4, digits).toInt(&ok, 10);
        const QByteArray data = parameter.mid(4 + digits);
        if (ok && data.size() == words * 4) {
            if (!present_)
                return "5";
            for (qsizetype i = 0; i < data.size() && i < memory_.size(); ++i)
                memory_[i] = data.at(i);
            return "0";
        }
    }
    return "4";
}

QByteArray SimL::handle(const QByteArray& telegram)
{
    const QByteArray body = telegram.chopped(kEnd.size());
    const QByteArray command = body.left(2);
    const QByteArray parameter = body.mid(2);
    if (command == "VE")
        return "0" + versionText_;
    if (command == "QU") {
        stopReading();
        return "0";
    }
    if (command == "CM" || command == "MI" || command == "TC") {
        (command == "CM" ? channel_ : command == "MI" ? bitRate_ : tagConfig_) = parameter;
        return "0";
    }
    if (command == "SR" || command == "BR" || command == "AR" || command == "SF" || command == "BF"
        || command == "AF") {
        const char mode = command.at(0);
        if (mode == 'A' && !present_) {
            waitForTag(command, parameter);
            return QByteArray();
        }
        if (mode == 'B') {
            repeatFrom(command, parameter);
            if (!present_)
                return QByteArray();
        }
        return readReply(command, parameter);
    }
    if (command == "SW")
        return write(parameter);
    if (command == "DO") {
        if (parameter.size() != 8 || !parameter.startsWith("000000"))
            return "4";
        outputs_ = {parameter.at(7) == '1', parameter.at(6) == '1'};
        return "0";
    }
    if (command == "GI") {
        QByteArray state(16, '0');
        state[6] = outputs_[1] ? '1' : '0';
        state[7] = outputs_[0] ? '1' : '0';
        for (int i = 0; i < 3; ++i)
            state[15 - i] = inputs_[i] ? '1' : '0';
        return "0" + state;
    }
    if (command == "LS") {
        // Lines ended CR LF (replyEnd ends the last); the first carries the status.
        return "0" + listing_.join("\r\n");
    }
    return "4";
}

QByteArray SimL::replyEnd(const QByteArray& telegram) const
{
    return telegram.startsWith("LS") ? QByteArray("\r\n") : kEnd;
}

} // namespace orvid::test
