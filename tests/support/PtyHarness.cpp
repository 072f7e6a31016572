#include "PtyHarness.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace orvid::test {

PtyHarness::Script PtyHarness::Split(const QList<QByteArray>& parts, int pauseMs)
{
    Script s;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            s << Pause(pauseMs);
        s << Send(parts[i]);
    }
    return s;
}

PtyHarness::PtyHarness()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    // Raw on both ends: no echo, no line editing, no CR/LF translation, all 8 bits.
    termios tio {};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    if (::tcgetattr(master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(master, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    master_ = master;
    slaveKeep_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PtyHarness::~PtyHarness()
{
    stop();
    if (!droppedAllowed_ && !dropped_.isEmpty()) {
        QByteArray shown;
        for (const char c : std::as_const(dropped_))
            shown += c >= 0x20 && c < 0x7F && c != '\\' ? QByteArray(1, c) : "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        ADD_FAILURE() << "the program sent " << dropped_.size()
                      << " bytes that no telegram took (forgotten once the line fell quiet): \""
                      << shown.constData() << '"';
    }
    closeMaster();
    if (slaveKeep_ >= 0)
        ::close(slaveKeep_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void PtyHarness::start()
{
    if (thread_.joinable() || master_ < 0)
        return;
    stop_ = false;
    thread_ = std::thread([this] { loop(); });
}

void PtyHarness::stop()
{
    stop_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
    }
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id())
        thread_.join();
}

void PtyHarness::expect(const QByteArray& telegram, const Script& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    expectations_.emplace_back(telegram, reply);
}

void PtyHarness::setRule(const QByteArray& terminator, Rule rule)
{
    std::lock_guard<std::mutex> lock(mutex_);
    terminator_ = terminator;
    rule_ = std::move(rule);
}

void PtyHarness::clearScript()
{
    std::lock_guard<std::mutex> lock(mutex_);
    expectations_.clear();
    rule_ = nullptr;
    terminator_.clear();
}

int PtyHarness::pendingExpectations() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(expectations_.size());
}

int PtyHarness::mismatches() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return mismatches_;
}

bool PtyHarness::send(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (master_ < 0)
        return false;
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(master_, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void PtyHarness::closeMaster()
{
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyHarness::hangUp()
{
    if (hungUp_)
        return;
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) {
        // With the master gone the program's end of the line reads a hang-up.
        closeMaster();
        hungUp_ = true;
        return;
    }
    // The responder owns the master while it polls it: let it close it.
    hangUpRequested_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [this] { return hungUp_.load(); });
}

QByteArray PtyHarness::transcript() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return transcript_;
}

QByteArray PtyHarness::droppedInput() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

QList<QByteArray> PtyHarness::telegrams() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return telegrams_;
}

void PtyHarness::clearTranscript()
{
    std::lock_guard<std::mutex> lock(mutex_);
    transcript_.clear();
    telegrams_.clear();
}

bool PtyHarness::waitForBytes(qsizetype n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return transcript_.size() >= n; });
}

void PtyHarness::recordTelegram(const QByteArray& telegram)
{
    std::lock_guard<std::mutex> lock(mutex_);
    telegrams_.append(telegram);
}

bool PtyHarness::pause(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

void PtyHarness::run(const Script& script)
{
    for (const Step& step : script) {
        if (stop_)
            return;
        switch (step.kind) {
        case Step::Send:
            send(step.bytes);
            break;
        case Step::Pause:
            if (!pause(step.ms))
                return;
            break;
        case Step::HangUp:
            hangUp();
            return;
        }
    }
}

qsizetype PtyHarness::onBytes(const QByteArray& buffer)
{
    Script reply;
    QByteArray telegram;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!expectations_.empty()) {
            const QByteArray expected = expectations_.front().first;
            if (buffer.size() < expected.size() && expected.startsWith(buffer))
                return 0;
            if (!buffer.startsWith(expected)) {
                // Not what the test expected: count it, take what arrived, answer nothing.
                ++mismatches_;
                telegrams_.append(buffer);
                expectations_.pop_front();
                return buffer.size();
            }
            telegram = expected;
            reply = expectations_.front().second;
            expectations_.pop_front();
        } else if (rule_) {
            if (terminator_.isEmpty()) {
                telegram = buffer;
            } else {
                const qsizetype end = buffer.indexOf(terminator_);
                if (end < 0)
                    return 0;
                telegram = buffer.left(end + terminator_.size());
            }
            reply = rule_(telegram);
        } else {
            // Nobody listens: the bytes stay in the transcript only.
            telegrams_.append(buffer);
            return buffer.size();
        }
        telegrams_.append(telegram);
    }
    run(reply);
    return telegram.size();
}

void PtyHarness::loop()
{
    char chunk[4096];
    // When the responder was last busy with the line: reading it, or answering what it
    // read (input that waited meanwhile arrived without a pause).
    auto lastActive = std::chrono::steady_clock::now();
    while (!stop_) {
        if (hangUpRequested_) {
            closeMaster();
            hungUp_ = true;
            std::lock_guard<std::mutex> lock(mutex_);
            changed_.notify_all();
        }
        int fd = -1;
        {
            std::lock_guard<std::mutex> lock(writeMutex_);
            fd = master_;
        }
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd, POLLIN, 0}};
        const int ready = ::poll(fds, fd >= 0 ? 2 : 1, 50);
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            uint64_t v = 0;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &v, sizeof v);
        }
        if (fd < 0 || !(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            // No slave open at the moment: do not spin on the hang-up condition.
            pause(10);
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            transcript_.append(chunk, n);
            changed_.notify_all();
        }
        if (std::chrono::steady_clock::now() - lastActive > std::chrono::milliseconds(kInterCharacterTimeoutMs)
            && !pending_.isEmpty()) {
            std::lock_guard<std::mutex> lock(mutex_);
            dropped_ += pending_;
            pending_.clear();
        }
        pending_.append(chunk, n);
        while (!pending_.isEmpty() && !stop_ && !hungUp_) {
            const qsizetype used = onBytes(pending_);
            if (used <= 0)
                break;
            pending_.remove(0, used);
        }
        lastActive = std::chrono::steady_clock::now();
    }
}

} // namespace orvid::test
