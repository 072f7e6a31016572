#include "SimKDBase.h"

namespace orvid::test {

void SimKDBase::failNext(const QByteArray& prefix, const QByteArray& status, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Status, prefix, status, 0, times});
}

void SimKDBase::silenceNext(const QByteArray& prefix, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Silence, prefix, {}, 0, times});
}

void SimKDBase::delayNext(const QByteArray& prefix, int ms, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Delay, prefix, {}, ms, times});
}

void SimKDBase::setSplit(int pauseMs)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.setSplit(pauseMs);
}

void SimKDBase::setRate(int ms)
{
    std::lock_guard<std::mutex> lock(m_);
    rateMs_ = ms;
}

void SimKDBase::setStopAnswer(const QByteArray& text, bool replyAhead)
{
    std::lock_guard<std::mutex> lock(m_);
    stopAnswer_ = text;
    replyAheadOfStop_ = replyAhead;
}

QList<QByteArray> SimKDBase::commands() const
{
    std::lock_guard<std::mutex> lock(m_);
    return commands_;
}

void SimKDBase::clearCommands()
{
    std::lock_guard<std::mutex> lock(m_);
    commands_.clear();
}

SimKDBase::Faults SimKDBase::take(const QByteArray& command)
{
    commands_.append(command);
    Faults f;
    for (const SimFault& fault : faults_.takeAll(command)) {
        if (fault.kind == SimFault::Silence)
            f.silent = true;
        else if (fault.kind == SimFault::Delay)
            f.delayMs = fault.value;
        else if (fault.kind == SimFault::Status)
            f.status = fault.status;
    }
    return f;
}

void SimKDBase::sendUnits(const QList<QByteArray>& units, int delayMs)
{
    Script script;
    if (delayMs > 0)
        script << Pause(delayMs);
    {
        std::lock_guard<std::mutex> lock(m_);
        const int split = faults_.split();
        for (const QByteArray& u : units) {
            if (split > 0)
                script << Send(u.left(u.size() / 2)) << Pause(split) << Send(u.mid(u.size() / 2));
            else
                script << Send(u);
        }
    }
    run(script);
}

void SimKDBase::startTicker()
{
    ticker_ = std::thread([this] {
        while (pause(5)) {
            {
                std::lock_guard<std::mutex> lock(m_);
                if (quit_)
                    return;
            }
            tick();
        }
    });
    start();
}

void SimKDBase::finish()
{
    {
        std::lock_guard<std::mutex> lock(m_);
        quit_ = true;
    }
    stop();
    if (ticker_.joinable())
        ticker_.join();
}

} // namespace orvid::test
