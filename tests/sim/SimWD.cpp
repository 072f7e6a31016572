#include "SimWD.h"

namespace orvid::test {

namespace {

bool parseHex(const QByteArray& digits, quint32& value)
{
    bool ok = false;
    value = digits.toUInt(&ok, 16);
    return ok && !digits.isEmpty();
}

char bcd(int value)
{
    return static_cast<char>(((value / 10) % 10) * 16 + value % 10);
}

} // namespace

SimWD::SimWD()
{
    for (const char* c : {"10", "12", "20", "22", "50"})
        interim_.insert(c);
    start();
}

SimWD::~SimWD()
{
    stop();
}

QByteArray SimWD::wireId(quint32 id)
{
    const QByteArray s = QByteArray::number(id, 16).toUpper().rightJustified(8, '0');
    return s.mid(6, 2) + s.mid(4, 2) + s.mid(2, 2) + s.mid(0, 2);
}

int SimWD::addTag(quint32 id, bool present)
{
    std::lock_guard<std::mutex> lock(m_);
    Tag t;
    t.id = id;
    t.present = present;
    t.memory = QByteArray(kMemorySize, '\0');
    tags_.append(t);
    return static_cast<int>(tags_.size()) - 1;
}

void SimWD::setTagPresent(int tag, bool present)
{
    std::lock_guard<std::mutex> lock(m_);
    if (tag >= 0 && tag < tags_.size())
        tags_[tag].present = present;
}

void SimWD::removeAllTags()
{
    std::lock_guard<std::mutex> lock(m_);
    tags_.clear();
}

quint32 SimWD::tagId(int tag) const
{
    std::lock_guard<std::mutex> lock(m_);
    return tag >= 0 && tag < tags_.size() ? tags_.at(tag).id : 0;
}

void SimWD::setTagId(int tag, quint32 id)
{
    std::lock_guard<std::mutex> lock(m_);
    if (tag >= 0 && tag < tags_.size())
        tags_[tag].id = id;
}

void SimWD::setTagProtected(int tag, bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    if (tag >= 0 && tag < tags_.size())
        tags_[tag].protectedTag = on;
}

void SimWD::writeMemory(int tag, int address, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_);
    if (tag < 0 || tag >= tags_.size())
        return;
    for (int i = 0; i < bytes.size() && address + i < kMemorySize; ++i)
        tags_[tag].memory[address + i] = bytes.at(i);
}

QByteArray SimWD::readMemory(int tag, int address, int length) const
{
    std::lock_guard<std::mutex> lock(m_);
    if (tag < 0 || tag >= tags_.size())
        return {};
    return tags_.at(tag).memory.mid(address, length);
}

void SimWD::setStateBlock(int tag, int month, int year, quint32 cycles, quint32 ledOffMs, quint32 ledOnMs)
{
    QByteArray block;
    block += bcd(month);
    block += bcd(year);
    for (quint32 v : {cycles, ledOffMs, ledOnMs}) {
        for (int i = 0; i < 4; ++i)
            block += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    writeMemory(tag, kStateBlock, block);
}

void SimWD::setTypeReply(const QByteArray& payload)
{
    std::lock_guard<std::mutex> lock(m_);
    typeReply_ = payload;
}

void SimWD::setUnitState(char state)
{
    std::lock_guard<std::mutex> lock(m_);
    unitState_ = state;
}

QByteArray SimWD::outputs() const
{
    std::lock_guard<std::mutex> lock(m_);
    return outputs_;
}

void SimWD::setHeadConnected(int head, bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    if (head == 0 || head == 1)
        headOn_[head] = on;
}

void SimWD::setInterim(const QByteArray& command, bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    if (on)
        interim_.insert(command);
    else
        interim_.remove(command);
}

void SimWD::setInterimAll(bool on)
{
    std::lock_guard<std::mutex> lock(m_);
    interim_.clear();
    if (on) {
        for (const char* c : {"10", "12", "20", "22", "50"})
            interim_.insert(c);
    }
}

void SimWD::setAckDelay(int ms)
{
    std::lock_guard<std::mutex> lock(m_);
    ackDelayMs_ = ms;
}

void SimWD::setTrailer(const QByteArray& two)
{
    std::lock_guard<std::mutex> lock(m_);
    trailer_ = two;
}

void SimWD::failNext(const QByteArray& prefix, const QByteArray& code, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Status, prefix, code, 0, times});
}

void SimWD::silenceNext(const QByteArray& prefix, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Silence, prefix, {}, 0, times});
}

void SimWD::delayNext(const QByteArray& prefix, int ms, int times)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.add({SimFault::Delay, prefix, {}, ms, times});
}

void SimWD::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.clear();
}

void SimWD::setSplit(int pauseMs)
{
    std::lock_guard<std::mutex> lock(m_);
    faults_.setSplit(pauseMs);
}

QList<QByteArray> SimWD::commands() const
{
    std::lock_guard<std::mutex> lock(m_);
    return commands_;
}

void SimWD::clearCommands()
{
    std::lock_guard<std::mutex> lock(m_);
    commands_.clear();
}

QList<QByteArray> SimWD::commandsStartingWith(const QByteArray& prefix) const
{
    QList<QByteArray> out;
    for (const QByteArray& c : commands()) {
        if (c.startsWith(prefix))
            out.append(c);
    }
    return out;
}

QByteArray SimWD::wrap(char station, char head, const QByteArray& payload) const
{
    return QByteArray("::") + station + head + payload + trailer_ + '\r';
}

int SimWD::selectTag(int accessType, const QByteArray& wire) const
{
    for (int i = 0; i < tags_.size(); ++i) {
        const Tag& t = tags_.at(i);
        if (!t.present)
            continue;
        if (accessType == 0)
            return i;
        const bool same = wireId(t.id) == wire.toUpper();
        if ((accessType == 1 && same) || (accessType == 2 && !same))
            return i;
    }
    return -1;
}

QByteArray SimWD::handle(const QByteArray& cmd, char head)
{
    const QByteArray number = cmd.mid(1, 2);
    auto error = [&](const char* code) { return "%" + number + code; };

    if (cmd == "?70")
        return "#70";
    if (cmd == "?16H")
        return typeReply_;
    if (cmd == "?73")
        return QByteArray("#73") + unitState_;
    if (cmd.startsWith("?72")) {
        outputs_ = cmd.mid(3);
        return "#72" + outputs_;
    }

    const bool tagCommand = cmd.startsWith("?10**") || cmd.startsWith("?12**") || cmd.startsWith("?20**")
        || cmd.startsWith("?22**") || cmd.startsWith("?50**");
    if (!tagCommand || cmd.size() < 7)
        return error("17");
    if (head != '0' && head != '1')
        return error("16");
    if (!headOn_[head - '0'])
        return error(head == '0' ? "20" : "21");

    const char f = cmd.at(5);
    if (cmd.startsWith("?20**") && (f == 'B' || f == 'C')) {
        // "?20**X00000001H" code(8) "00"
        if (cmd.size() != 25 || cmd.mid(6, 9) != "00000001H")
            return error("45");
        const QByteArray code = cmd.mid(15, 8).toUpper();
        const QByteArray echo = cmd.left(15);
        if (f == 'B') {
            for (const Tag& t : tags_) {
                if (t.present && wireId(t.id) == code)
                    return "#" + echo.mid(1) + code;
            }
            return error("40");
        }
        QList<int> others;
        for (int i = 0; i < tags_.size(); ++i) {
            if (tags_.at(i).present && wireId(tags_.at(i).id) != code)
                others.append(i);
        }
        if (others.isEmpty())
            return error("40");
        const int pick = others.at(rotation_++ % others.size());
        return "#" + echo.mid(1) + wireId(tags_.at(pick).id);
    }
    if (f < '0' || f > '2')
        return error("1C");
    const int access = f - '0';

    if (cmd.startsWith("?12**")) {
        if (cmd.at(6) != 'H')
            return error("45");
        const QByteArray id = cmd.mid(7, 8);
        if (access >= 1 && id.size() != 8)
            return error("36");
        const int t = selectTag(access, id);
        if (t < 0)
            return error("40");
        return cmd.left(7).replace(0, 1, "#") + wireId(tags_.at(t).id);
    }
    if (cmd.startsWith("?22**")) {
        if (cmd.at(6) != 'H')
            return error("45");
        const QByteArray id = access != 0 ? cmd.mid(7, 8) : QByteArray();
        const QByteArray newWire = cmd.mid(access != 0 ? 15 : 7);
        quint32 v = 0;
        if (newWire.size() != 8 || !parseHex(newWire, v))
            return error("19");
        const int t = selectTag(access, id);
        if (t < 0)
            return error("40");
        if (tags_.at(t).protectedTag)
            return error("18");
        // wire order back to the number
        const QByteArray display = newWire.mid(6, 2) + newWire.mid(4, 2) + newWire.mid(2, 2) + newWire.mid(0, 2);
        parseHex(display, v);
        tags_[t].id = v;
        return cmd.left(7).replace(0, 1, "#") + newWire;
    }

    // ?10, ?20, ?50: F AAAA LLLL "H"
    if (cmd.size() < 15 || cmd.at(14) != 'H')
        return error("45");
    quint32 address = 0, length = 0;
    if (!parseHex(cmd.mid(6, 4), address) || !parseHex(cmd.mid(10, 4), length))
        return error("45");
    const QByteArray id = access >= 1 ? cmd.mid(15, 8) : QByteArray();
    const QByteArray rest = cmd.mid(15 + id.size());
    const QByteArray echo = "#" + cmd.mid(1, 14);
    const int t = selectTag(access, id);

    if (cmd.startsWith("?50**"))
        return t < 0 ? error("40") : echo;
    if (address + length > static_cast<quint32>(kMemorySize))
        return error("12");
    if (t < 0)
        return error("40");
    if (cmd.startsWith("?10**")) {
        if (!rest.isEmpty())
            return error("45");
        return echo + tags_.at(t).memory.mid(static_cast<int>(address), static_cast<int>(length)).toHex().toUpper();
    }
    // ?20 data write
    if (rest.size() != static_cast<qsizetype>(length) * 2)
        return error("13");
    const QByteArray bytes = QByteArray::fromHex(rest);
    if (bytes.size() != static_cast<qsizetype>(length))
        return error("19");
    if (tags_.at(t).protectedTag)
        return error("18");
    tags_[t].memory.replace(static_cast<int>(address), bytes.size(), bytes);
    return echo;
}

qsizetype SimWD::onBytes(const QByteArray& buffer)
{
    const qsizetype end = buffer.indexOf('\r');
    if (end < 0)
        return 0;
    const QByteArray telegram = buffer.left(end + 1);
    recordTelegram(telegram);
    const QByteArray body = telegram.left(end);
    if (!body.startsWith("::") || !body.endsWith("@@") || body.size() < 6)
        return end + 1; // not for this unit
    const char station = body.at(2);
    const char head = body.at(3);
    const QByteArray cmd = body.mid(4, body.size() - 6);

    Script script;
    {
        std::lock_guard<std::mutex> lock(m_);
        commands_.append(cmd);
        int delay = 0;
        QByteArray forced;
        bool silent = false;
        // Faults combine: a delayed error reply, say.
        for (const SimFault& f : faults_.takeAll(cmd)) {
            if (f.kind == SimFault::Silence)
                silent = true;
            else if (f.kind == SimFault::Delay)
                delay = f.value;
            else if (f.kind == SimFault::Status)
                forced = "%" + cmd.mid(1, 2) + f.status;
        }
        if (silent)
            return end + 1;
        const QByteArray payload = forced.isEmpty() ? handle(cmd, head) : forced;
        if (delay > 0)
            script.append(Pause(delay));
        if (interim_.contains(cmd.mid(1, 2))) {
            script.append(Send(wrap(station, head, "$")));
            script.append(Pause(ackDelayMs_));
        }
        const QByteArray reply = wrap(station, head, payload);
        if (faults_.split() > 0) {
            script.append(Send(reply.left(reply.size() / 2)));
            script.append(Pause(faults_.split()));
            script.append(Send(reply.mid(reply.size() / 2)));
        } else {
            script.append(Send(reply));
        }
    }
    run(script);
    return end + 1;
}

} // namespace orvid::test
