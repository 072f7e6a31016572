#include "SimHashCr.h"

#include <chrono>
#include <utility>

namespace orvid::test {

namespace {
const QByteArray kEnd("#\r");
} // namespace

SimHashCr::SimHashCr(bool timedRepeat, int memorySize) : memory_(memorySize, '\0'), timedRepeat_(timedRepeat)
{
    repeater_ = std::thread([this] { repeatLoop(); });
}

SimHashCr::~SimHashCr()
{
    shutdown();
}

void SimHashCr::shutdown()
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

void SimHashCr::setVersionText(const QByteArray& text)
{
    std::lock_guard<std::mutex> lock(m_);
    versionText_ = text;
}

void SimHashCr::setTagPresent(bool present)
{
    std::lock_guard<std::mutex> lock(m_);
    present_ = present;
    if (!present)
        return;
    if (!autoCommand_.isEmpty()) {
        // The waiting Auto command is carried out now that a tag is in the field.
        const QByteArray body = armedReply(autoCommand_, autoParameter_);
        autoCommand_.clear();
        send(body + kEnd);
    } else if (!timedRepeat_ && !repeatCommand_.isEmpty()) {
        send(repeatReply(repeatCommand_, repeatParameter_) + kEnd);
    }
}

void SimHashCr::writeMemory(int address, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_);
    for (qsizetype i = 0; i < bytes.size() && address + i < memory_.size(); ++i)
        memory_[address + i] = bytes.at(i);
}

QByteArray SimHashCr::readMemory(int address, int length) const
{
    std::lock_guard<std::mutex> lock(m_);
    return memory_.mid(address, length);
}

void SimHashCr::fillMemory(char byte)
{
    std::lock_guard<std::mutex> lock(m_);
    memory_.fill(byte);
}

void SimHashCr::setRepeatInterval(int ms)
{
    std::lock_guard<std::mutex> lock(m_);
    repeatMs_ = ms;
    timedRepeat_ = true;
    repeatChanged_.notify_all();
}

bool SimHashCr::repeating() const
{
    std::lock_guard<std::mutex> lock(m_);
    return !repeatCommand_.isEmpty();
}

void SimHashCr::failNext(const QByteArray& prefix, char status, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Status, prefix, QByteArray(1, status), 0, times});
}

void SimHashCr::silenceNext(const QByteArray& prefix, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Silence, prefix, {}, 0, times});
}

void SimHashCr::delayNext(const QByteArray& prefix, int ms, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Delay, prefix, {}, ms, times});
}

void SimHashCr::truncateNext(const QByteArray& prefix, int dataBytes, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Truncate, prefix, {}, dataBytes, times});
}

void SimHashCr::hangUpNext(const QByteArray& prefix)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::HangUp, prefix, {}, 0, 1});
}

void SimHashCr::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.clear();
}

void SimHashCr::setSplit(int pauseMs)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.setSplit(pauseMs);
}

void SimHashCr::holdRepliesFrom(const QByteArray& prefix)
{
    std::lock_guard<std::mutex> lock(m_);
    holdFrom_ = prefix;
}

void SimHashCr::releaseReplies()
{
    std::lock_guard<std::mutex> lock(m_);
    holding_ = false;
    if (!held_.isEmpty())
        send(std::exchange(held_, QByteArray()));
}

QList<QByteArray> SimHashCr::receivedStartingWith(const QByteArray& prefix) const
{
    QList<QByteArray> list;
    for (const QByteArray& t : telegrams()) {
        if (t.startsWith(prefix))
            list.append(t);
    }
    return list;
}

void SimHashCr::repeatFrom(const QByteArray& command, const QByteArray& parameter)
{
    repeatCommand_ = command;
    repeatParameter_ = parameter;
    ++repeatGeneration_;
    repeatChanged_.notify_all();
}

void SimHashCr::waitForTag(const QByteArray& command, const QByteArray& parameter)
{
    autoCommand_ = command;
    autoParameter_ = parameter;
}

void SimHashCr::stopReading()
{
    repeatCommand_.clear();
    autoCommand_.clear();
    ++repeatGeneration_;
    repeatChanged_.notify_all();
}

qsizetype SimHashCr::telegramLength(const QByteArray& buffer) const
{
    const qsizetype end = buffer.indexOf(kEnd);
    return end < 0 ? 0 : end + kEnd.size();
}

QByteArray SimHashCr::replyEnd(const QByteArray&) const
{
    return kEnd;
}

qsizetype SimHashCr::onBytes(const QByteArray& buffer)
{
    QByteArray body;
    QByteArray telegram;
    qsizetype length = 0;
    int delayMs = 0;
    int split = 0;
    bool hangUpNow = false;
    {
        std::lock_guard<std::mutex> lock(m_);
        length = telegramLength(buffer);
        if (length <= 0)
            return 0;
        telegram = buffer.left(length);
        recordTelegram(telegram);
        if (!holdFrom_.isEmpty() && telegram.startsWith(holdFrom_)) {
            holdFrom_.clear();
            holding_ = true;
        }
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
    const QByteArray whole = body + replyEnd(telegram);
    {
        std::lock_guard<std::mutex> lock(m_);
        if (holding_) {
            held_ += whole;
            return length;
        }
    }
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

void SimHashCr::repeatLoop()
{
    std::unique_lock<std::mutex> lock(m_);
    while (!quit_) {
        if (!timedRepeat_ || repeatCommand_.isEmpty()) {
            repeatChanged_.wait(lock);
            continue;
        }
        const int generation = repeatGeneration_;
        repeatChanged_.wait_for(lock, std::chrono::milliseconds(repeatMs_));
        if (quit_ || repeatCommand_.isEmpty() || generation != repeatGeneration_)
            continue;
        // Sent under the lock, so no repetition slips out after a QU has been handled.
        send(repeatReply(repeatCommand_, repeatParameter_) + kEnd);
    }
}

} // namespace orvid::test
