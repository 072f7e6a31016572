#include "SimKDReadWrite.h"

namespace orvid::test {

namespace {
char sumOf(const QByteArray& text)
{
    unsigned s = 0;
    for (char c : text)
        s += static_cast<unsigned char>(c);
    return static_cast<char>(s & 0xFF);
}

int memorySize(int tagCode)
{
    return tagCode == 3 ? 8192 : tagCode == 4 ? 1024 : 256;
}
} // namespace

SimKDReadWrite::SimKDReadWrite()
{
    startTicker();
}

SimKDReadWrite::~SimKDReadWrite()
{
    finish();
}

QByteArray SimKDReadWrite::Frame(const QByteArray& text)
{
    return text + sumOf(text) + '\x03';
}

void SimKDReadWrite::setCarrier(int head, int tagCode, const QByteArray& ncxCode)
{
    std::lock_guard<std::mutex> lock(m_);
    carriers_.at(head) = Carrier{tagCode, QByteArray(memorySize(tagCode), '\0'), ncxCode};
}

void SimKDReadWrite::removeCarrier(int head)
{
    std::lock_guard<std::mutex> lock(m_);
    carriers_.at(head).reset();
}

void SimKDReadWrite::setHeadOn(int head, bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    headOn_.at(head) = on;
}

void SimKDReadWrite::writeMemory(int head, int address, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_);
    if (auto& c = carriers_.at(head))
        c->memory.replace(address, bytes.size(), bytes);
}

QByteArray SimKDReadWrite::memory(int head, int address, int length) const
{
    std::lock_guard<std::mutex> lock(m_);
    const auto& c = carriers_.at(head);
    return c ? c->memory.mid(address, length) : QByteArray();
}

void SimKDReadWrite::corruptCheckNext(int times)
{
    std::lock_guard<std::mutex> lock(m_);
    corrupt_ = times;
}

QByteArray SimKDReadWrite::headReply(char letter, int head, const QByteArray& body, bool all)
{
    const QByteArray digit = all ? QByteArray::number(head + 1) : QByteArray();
    const auto status = [&](const char* s) { return letter + QByteArray(s) + digit; };
    if (!headOn_[head])
        return status("0A");
    const auto& c = carriers_[head];
    if (!c || c->tagCode != tagCode_)
        return status("03");
    const char kind = static_cast<char>(letter | 0x20);
    if (kind == 'i')
        return status("00") + c->ncx;
    // body: address, length, (data)
    const int width = tagCode_ == 3 ? 4 : 2;
    bool okA = false, okL = false;
    const int address = body.left(width).toInt(&okA, 16);
    const int length = body.mid(width, 2).toInt(&okL, 16);
    if (!okA || !okL || body.size() < width + 2)
        return status("01");
    const QByteArray data = body.mid(width + 2);
    if (kind == 'k' && data.size() != length)
        return status("01");
    if (address + length > c->memory.size())
        return status("09");
    if (kind == 'w')
        return status("00") + c->memory.mid(address, length);
    carriers_[head]->memory.replace(address, length, data);
    return status("00");
}

QList<QByteArray> SimKDReadWrite::replies(const QByteArray& text)
{
    const char letter = text.at(0);
    switch (letter) {
    case 'q': {
        QList<QByteArray> out = replyAheadOfStop_ && repeating_ ? replies(*repeating_) : QList<QByteArray>();
        repeating_.reset();
        out.append(stopAnswer_.isEmpty() ? QByteArray("q00") : stopAnswer_);
        return out;
    }
    case 'o':
        return {stopAnswer_.isEmpty() ? QByteArray("o00") : stopAnswer_};
    case 'b':
        return {"b00"};
    case 'V':
        return {"V3.2 DVN-LRS2-4NWZ"};
    case 'd': {
        bool ok = false;
        const int code = text.mid(1).toInt(&ok);
        if (!ok)
            return {"d01"};
        tagCode_ = code;
        return {"d00"};
    }
    case 'i': case 'I': case 'w': case 'W': case 'k': case 'K': {
        const char h = text.size() > 1 ? text.at(1) : 0;
        if (h != 'X' && (h < '1' || h > '4'))
            return {letter + QByteArray("01")};
        if (letter >= 'A' && letter <= 'Z') {
            repeating_ = text;
            due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(rateMs_);
        }
        const QByteArray body = text.mid(2);
        if (h != 'X')
            return {headReply(letter, h - '1', body, false)};
        QList<QByteArray> all;
        for (int head = 0; head < 4; ++head)
            all.append(headReply(letter, head, body, true));
        return all;
    }
    default:
        return {letter + QByteArray("01")};
    }
}

QList<QByteArray> SimKDReadWrite::frames(const QList<QByteArray>& texts)
{
    QList<QByteArray> out;
    for (const QByteArray& t : texts) {
        QByteArray frame = Frame(t);
        if (corrupt_ > 0) {
            --corrupt_;
            frame[frame.size() - 2] = static_cast<char>(frame.at(frame.size() - 2) + 1);
        }
        out.append(frame);
    }
    return out;
}

qsizetype SimKDReadWrite::onBytes(const QByteArray& buffer)
{
    // A frame starts at the buffer's start or after a line end or ETX (other families'
    // probes end so); the earliest start whose check fits wins.
    for (qsizetype e = 1; e < buffer.size(); ++e) {
        if (buffer.at(e) != '\x03')
            continue;
        for (qsizetype s = 0; s + 1 < e; ++s) {
            if (s > 0 && !QByteArray("\r\n\x03", 3).contains(buffer.at(s - 1)))
                continue;
            const QByteArray text = buffer.mid(s, e - 1 - s);
            if (sumOf(text) != buffer.at(e - 1))
                continue;
            recordTelegram(buffer.left(e + 1));
            QList<QByteArray> out;
            int delay = 0;
            {
                std::lock_guard<std::mutex> lock(m_);
                const Faults f = take(text);
                delay = f.delayMs;
                out = replies(text);
                if (!f.status.isEmpty())
                    out = {text.left(1) + f.status};
                if (f.silent)
                    out.clear();
                out = frames(out);
            }
            sendUnits(out, delay);
            return e + 1;
        }
    }
    // Nothing framed yet. Lines without an ETX (other families' probes, a test's marker)
    // are no frames of this unit: taken and dropped.
    if (!buffer.contains('\x03')) {
        const qsizetype lineEnd = qMax(buffer.lastIndexOf('\r'), buffer.lastIndexOf('\n'));
        if (lineEnd >= 0) {
            recordTelegram(buffer.left(lineEnd + 1));
            return lineEnd + 1;
        }
    }
    return buffer.size() > 4096 ? buffer.size() : 0;
}

void SimKDReadWrite::tick()
{
    QList<QByteArray> out;
    {
        std::lock_guard<std::mutex> lock(m_);
        const auto now = std::chrono::steady_clock::now();
        if (!repeating_ || now < due_)
            return;
        due_ = now + std::chrono::milliseconds(rateMs_);
        const QByteArray text = *repeating_;
        const char h = text.at(1);
        // Only carriers that are there answer a repeating command.
        for (int head = 0; head < 4; ++head) {
            if ((h == 'X' || h - '1' == head) && carriers_[head] && carriers_[head]->tagCode == tagCode_)
                out.append(headReply(text.at(0), head, text.mid(2), h == 'X'));
        }
        out = frames(out);
    }
    sendUnits(out, 0);
}

} // namespace orvid::test
