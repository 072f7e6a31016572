#include "SimHX.h"

#include "support/TcpHarness.h"

#include "families/hx/HXTelegram.h"

#include <chrono>

namespace orvid::test {

namespace {

const QByteArray kEnd("#\r");

bool isUnitCommand(const QByteArray& c)
{
    return c == "VE" || c == "GS" || c == "MM" || c == "TM";
}

int hexValue(const QByteArray& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 16);
    return ok ? v : -1;
}

quint32 lsbFirst(const QByteArray& b)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uchar>(b.at(i));
    return v;
}

} // namespace

QMap<QByteArray, QByteArray> SimHX::Tag::DefaultParameters()
{
    // The wire forms of a head fresh from the factory.
    return {{"AP", "C"},
            {"PT", QByteArray("\x00\x64", 2)},
            {"CD", QByteArray("\x04\x07\x0A\x0D", 4)},
            {"NC", QByteArray("\x04", 1)},
            {"TA", QByteArray("\x03", 1)},
            {"E5", QByteArray("\x05", 1)},
            {"MB", QByteArray("\x03", 1)},
            {"IF", QByteArray("\x00", 1)},
            {"QW", QByteArray("\x02", 1)},
            {"NT", QByteArray("\xFF", 1)},
            {"SM", QByteArray("\x00\x00", 2)}};
}

SimHX::SimHX(const QByteArray& model, int channels) : model_(model), channels_(channels)
{
    const QByteArray names[] = {"IND-A", "MW-A", "UHF-A", ""};
    for (int i = 0; i < 4; ++i)
        heads_[i].name = names[i];
    repeater_ = std::thread([this] { repeatLoop(); });
}

SimHX::~SimHX()
{
    {
        std::lock_guard lock(m_);
        quit_ = true;
    }
    changed_.notify_all();
    repeater_.join();
    stop();
}

void SimHX::setModel(const QByteArray& model, int channels)
{
    std::lock_guard lock(m_);
    model_ = model;
    channels_ = channels;
}

void SimHX::setHead(int channel, const QByteArray& name)
{
    std::lock_guard lock(m_);
    heads_.at(channel - 1).name = name;
}

void SimHX::setDiagnose(bool on)
{
    std::lock_guard lock(m_);
    diagnose_ = on;
}

void SimHX::setRepeatInterval(int ms)
{
    std::lock_guard lock(m_);
    repeatMs_ = ms;
}

void SimHX::setRepeatsAhead(bool on)
{
    std::lock_guard lock(m_);
    repeatsAhead_ = on;
}

void SimHX::dropNet()
{
    if (net_)
        net_->play({TcpStep::close()});
}

void SimHX::setTrigger(int sensor, const QByteArray& sourceAndMode)
{
    std::lock_guard lock(m_);
    trigger_.at(sensor - 1) = sourceAndMode;
}

void SimHX::withTag(int channel, const std::function<void(Tag&)>& change)
{
    std::lock_guard lock(m_);
    change(heads_.at(channel - 1).tag);
}

SimHX::Tag SimHX::tag(int channel) const
{
    std::lock_guard lock(m_);
    return heads_.at(channel - 1).tag;
}

QByteArray SimHX::memory(int channel, int address, int length) const
{
    std::lock_guard lock(m_);
    return heads_.at(channel - 1).tag.memory.mid(address, length);
}

bool SimHX::repeating() const
{
    std::lock_guard lock(m_);
    for (const QByteArray& c : repeatCommand_)
        if (!c.isEmpty())
            return true;
    return false;
}

void SimHX::failNext(const QByteArray& prefix, char status, int times)
{
    std::lock_guard lock(m_);
    faults_.add({SimFault::Status, prefix, QByteArray(1, status), 0, times});
}

void SimHX::silenceNext(const QByteArray& prefix, int times)
{
    std::lock_guard lock(m_);
    faults_.add({SimFault::Silence, prefix, {}, 0, times});
}

void SimHX::delayNext(const QByteArray& prefix, int ms, int times)
{
    std::lock_guard lock(m_);
    faults_.add({SimFault::Delay, prefix, {}, ms, times});
}

void SimHX::hangUpNext(const QByteArray& prefix)
{
    std::lock_guard lock(m_);
    faults_.add({SimFault::HangUp, prefix, {}, 0, 1});
}

void SimHX::setSplit(int pauseMs)
{
    std::lock_guard lock(m_);
    faults_.setSplit(pauseMs);
}

void SimHX::prefixNext(int times)
{
    std::lock_guard lock(m_);
    prefixes_ += times;
}

// ---- the unit ---------------------------------------------------------------------------------

SimHX::Reply SimHX::one(const QByteArray& c, int ch, const QByteArray& data, bool net)
{
    Head& head = heads_.at(ch - 1);
    Tag& t = head.tag;
    auto ok = [ch](const QByteArray& d = QByteArray()) { return Reply{"0", ch, d, 0, false}; };
    auto status = [ch](const char* s) { return Reply{s, ch, {}, 0, false}; };
    if (c == "QU") {
        repeatCommand_[ch - 1].clear();
        return ok();
    }
    if (c == "CT" || c == "PM" || c == "PS") {
        if (c == "PM")
            passwordMode_[ch - 1] = data.startsWith('1');
        if (c == "PS" && data.size() >= 4)
            sessionPassword_[ch - 1] = lsbFirst(data);
        return ok();
    }
    if (c == "RP" || c == "WP") {
        if (head.name.isEmpty())
            return status("6");
        const QByteArray name = data.mid(1, 2);
        QByteArray* value = name == "RC" ? &t.rc : (t.params.contains(name) ? &t.params[name] : nullptr);
        if (t.paramStatus.contains(c + name))
            return Reply{QByteArray(1, t.paramStatus.value(c + name)), ch, {}, 0, false};
        if (c == "WP" && name == "RD") {
            // Factory settings: the table's defaults (the country profile stays).
            t.params = Tag::DefaultParameters();
            t.qv = 'S';
            return ok();
        }
        if ((!value && name != "QV") || t.missing.contains(name))
            return status("4");
        if (c == "WP") {
            const QByteArray v = data.mid(5);
            if (value)
                *value = v;
            else if (!v.isEmpty())
                t.qv = v.at(0);
            return ok();
        }
        const QByteArray v = value ? *value : QByteArray(1, t.qv);
        return ok(net ? QByteArray(2, '\0') + v : v);
    }
    if (head.name.isEmpty())
        return status("6");
    const bool continuous = c.size() == 2 && (c.at(1) == 'R' || c.at(1) == 'F') && QByteArray("BAE").contains(c.at(0));
    if (!t.present && t.quietWithoutTag && continuous) {
        repeatCommand_[ch - 1] = c;
        repeatData_[ch - 1] = data;
        repeatNet_[ch - 1] = net;
        return Reply{};   // no reply until the tag comes
    }
    if (!t.present)
        return status("5");
    const bool locked = (static_cast<uchar>(t.control.at(1)) & 1) != 0;   // password bit 16
    const bool open = !locked || (passwordMode_[ch - 1] && sessionPassword_[ch - 1] == t.password);
    const QByteArray kind = c.mid(1, 1);
    const char mode = c.at(0);
    if (kind == "R" && (mode == 'S' || mode == 'B' || mode == 'A' || mode == 'E')) {
        const int word = hexValue(data.left(4));
        int count = hexValue(data.mid(4, 2));
        if (word < 0 || count < 0)
            return status("7");
        if (count == 0)
            count = 3;
        if (!open)
            return status("7");
        if (mode != 'S') {
            repeatCommand_[ch - 1] = c;
            repeatData_[ch - 1] = data;
            repeatNet_[ch - 1] = net;
            changed_.notify_all();
        }
        // A multi-tag head answers with a record: UII length, UII, two bytes, the data.
        const QByteArray uii = t.qv == 'M' ? QByteArray("\x00\x04UII1\x00\x00", 8) : QByteArray();
        return ok(uii + t.memory.mid(word * 4, count * 4));
    }
    if (kind == "W" && (mode == 'S' || mode == 'B' || mode == 'A' || mode == 'E')) {
        const int word = hexValue(data.left(4));
        const int count = hexValue(data.mid(4, 2));
        const QByteArray bytes = data.mid(6);
        if (word < 0 || count < 0 || bytes.size() != count * 4 || word * 4 + bytes.size() > t.memory.size())
            return status("7");
        if (!open)
            return status("7");
        t.memory.replace(word * 4, bytes.size(), bytes);
        return ok();
    }
    if (kind == "F" && (mode == 'S' || mode == 'B' || mode == 'A' || mode == 'E')) {
        if (mode != 'S') {
            repeatCommand_[ch - 1] = c;
            repeatData_[ch - 1] = data;
            repeatNet_[ch - 1] = net;
            changed_.notify_all();
        }
        return ok(t.fixcode);
    }
    if (kind == "X" && (mode == 'S' || mode == 'B' || mode == 'A' || mode == 'E')) {
        // Type digits: QTX11 (11, 02 write-protected), WTX60 (60), NCX (52).
        if (!QList<QByteArray>{"11", "02", "60", "52"}.contains(data.left(2)))
            return status("4");
        t.fixcode = data.mid(4);
        return ok();
    }
    if ((c == "SP" || c == "EP") && !data.isEmpty()) {
        // One hex digit gives the length: 6 for the special fixcode, E for a VNB code.
        const int n = hexValue(data.left(1));
        if (n != 6 && n != 14)
            return status("4");
        (n == 6 ? t.special : t.vnbCode) = data.mid(1, n);
        return ok();
    }
    if (c == "SS" || c == "ES")
        return ok(data.startsWith('0') ? t.vnbCode : t.special);
    if (c == "SG") {
        if (!open && data.startsWith('1'))
            return status("7");
        return ok(data.startsWith('1') ? t.protection : t.control);
    }
    if (c == "SC") {
        if (!open || data.size() != 5)
            return status("7");
        (data.startsWith('1') ? t.protection : t.control) = data.mid(1);
        return ok();
    }
    if (c == "PC") {
        if (data.size() != 8 || lsbFirst(data.left(4)) != t.password)
            return status("7");
        t.password = lsbFirst(data.mid(4));
        return ok();
    }
    return status("4");
}

QList<SimHX::Reply> SimHX::handle(const QByteArray& c, const QByteArray& channel, const QByteArray& data, bool net)
{
    QList<Reply> replies;
    int delay = 0;
    QByteArray failed;   // the first (or only) channel answers this status instead
    for (const SimFault& f : faults_.takeAll(c)) {
        if (f.kind == SimFault::Silence)
            return {};
        if (f.kind == SimFault::HangUp)
            return {Reply{{}, 0, {}, 0, true}};
        if (f.kind == SimFault::Delay)
            delay = f.value;
        if (f.kind == SimFault::Status)
            failed = f.status;
    }
    if (!failed.isEmpty() && (isUnitCommand(c) || channel != "x"))
        return {Reply{failed, isUnitCommand(c) ? 0 : channel.toInt(), {}, delay, false}};
    if (c == "VE") {
        replies.append(Reply{"0", 0, "ORVID " + model_ + "\r\nV1.00 FW 2026", delay, false});
        for (int i = 0; i < channels_; ++i)
            replies.append(Reply{"0", i + 1, "HEAD " + heads_[i].name + "\r\nS/N 100" + QByteArray::number(i), 0, false});
        return replies;
    }
    if (c == "GS") {
        QByteArray s = "MM:" + QByteArray::number(multiplexed_);
        for (int i = 0; i < 4; ++i)
            s += " TM" + QByteArray::number(i + 1) + ":" + trigger_[i];
        return {Reply{"0", 0, s, delay, false}};
    }
    if (c == "MM") {
        multiplexed_ = data.startsWith('1') ? 1 : 0;
        return {Reply{"0", 0, {}, delay, false}};
    }
    if (c == "TM") {
        const int sensor = data.left(1).toInt();
        if (sensor < 1 || sensor > 4 || data.size() < 3)
            return {Reply{"7", 0, {}, delay, false}};
        trigger_[sensor - 1] = data.mid(1, 2);
        return {Reply{"0", 0, {}, delay, false}};
    }
    auto answer = [&](int ch) {
        const Reply r = one(c, ch, data, net);
        if (r.status.isEmpty())
            return;
        const Tag& t = heads_[ch - 1].tag;
        const bool read = c.size() == 2 && (((c.at(1) == 'R' || c.at(1) == 'F') && QByteArray("SBAE").contains(c.at(0)))
                                            || c == "SS" || c == "ES");
        if (!read || r.status != "0" || t.qv != 'M') {
            replies.append(r);
            return;
        }
        // A multi-tag head ends every read with the count of tags found.
        const int found = std::max(t.found, 1);
        const qsizetype first = replies.size();
        for (int k = 0; k < found; ++k)
            replies.append(r);
        replies.append(Reply{"F", ch, QByteArray::number(found, 16).toUpper().rightJustified(4, '0'), 0, false});
        if (t.secondBurstMs > 0)
            replies[first + found / 2 + (found == 1 ? 1 : 0)].delayMs = t.secondBurstMs;
    };
    if (channel == "x") {
        for (int i = 1; i <= channels_; ++i) {
            if (i == 1 && !failed.isEmpty())
                replies.append(Reply{failed, 1, {}, 0, false});
            else
                answer(i);
        }
    } else {
        const int ch = channel.toInt();
        if (ch < 1 || ch > channels_)
            return {Reply{"7", 0, {}, delay, false}};
        answer(ch);
        for (int i = 0; repeatsAhead_ && i < 4; ++i)
            if (i + 1 != ch && !repeatCommand_[i].isEmpty() && repeatNet_[i] == net)
                replies.prepend(one("S" + repeatCommand_[i].mid(1), i + 1, repeatData_[i], net));
    }
    if (!replies.isEmpty())
        replies.first().delayMs = delay;
    return replies;
}

QByteArray SimHX::serialText(const Reply& r) const
{
    const QByteArray ch = QByteArray::number(r.channel);
    const QByteArray header = diagnose_ ? r.status + "xx" + ch + "yyyy" : r.status + ch;
    return header + r.data + kEnd;
}

QByteArray SimHX::frame(const Reply& r) const
{
    int status = hexValue(r.status);
    if (status < 0)
        status = static_cast<uchar>(r.status.at(0));
    const int length = 6 + static_cast<int>(r.data.size());
    QByteArray f;
    f.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF));
    f.append('\0').append(static_cast<char>((r.channel & 7) << 1)).append(static_cast<char>(status)).append('\0');
    return f + r.data;
}

// ---- pseudo-terminal front ----------------------------------------------------------------------

qsizetype SimHX::telegramLength(const QByteArray& b) const
{
    if (b.size() < 2)
        return 0;
    const QByteArray c = b.left(2);
    const qsizetype head = isUnitCommand(c) ? 2 : 3;
    qsizetype data = -1;   // -1: up to the first "#" CR
    if (b.size() >= head + 6 && c.at(1) == 'W' && QByteArray("SBAE").contains(c.at(0)))
        data = 6 + hexValue(b.mid(head + 4, 2)) * 4;
    else if (c == "PS")
        data = 4;
    else if (c == "PC")
        data = 8;
    else if (c == "SC")
        data = 5;
    else if (b.size() >= head + 4 && c.at(1) == 'X' && QByteArray("SABE").contains(c.at(0)))
        data = 4 + b.mid(head + 2, 2).toInt();
    else if ((c == "SP" || c == "EP") && b.size() > head)
        data = 1 + std::max(0, hexValue(b.mid(head, 1)));
    else if (c == "RP")
        data = 5;
    else if (c == "WP" && b.size() >= head + 5)
        data = 5 + (static_cast<uchar>(b.at(head + 3)) << 8 | static_cast<uchar>(b.at(head + 4)));
    if (data < 0 && (c.at(1) == 'W' || c == "WP" || (c.at(1) == 'X')))
        return 0;   // the length is not in yet
    if (data >= 0)
        return b.size() >= head + data + 2 ? head + data + 2 : 0;
    const qsizetype end = b.indexOf(kEnd);
    return end < 0 ? 0 : end + 2;
}

qsizetype SimHX::onBytes(const QByteArray& buffer)
{
    const qsizetype n = telegramLength(buffer);
    if (n == 0)
        return 0;
    const QByteArray t = buffer.left(n);
    recordTelegram(t);
    const QByteArray c = t.left(2);
    const qsizetype head = isUnitCommand(c) ? 2 : 3;
    QList<Reply> replies;
    int split = 0;
    {
        std::lock_guard lock(m_);
        replies = handle(c, t.mid(2, head - 2), t.mid(head, n - head - 2), false);
        split = faults_.split();
    }
    for (const Reply& r : replies) {
        if (r.hangUp) {
            hangUp();
            break;
        }
        if (r.delayMs > 0 && !pause(r.delayMs))
            break;
        const QByteArray text = serialText(r);
        if (split > 0) {
            send(text.left(text.size() / 2));
            pause(split);
            send(text.mid(text.size() / 2));
        } else {
            send(text);
        }
    }
    return n;
}

void SimHX::repeatLoop()
{
    std::unique_lock lock(m_);
    while (!quit_) {
        changed_.wait_for(lock, std::chrono::milliseconds(repeatMs_));
        if (quit_)
            break;
        QByteArray out, frames;
        for (int i = 0; i < 4; ++i) {
            if (repeatCommand_[i].isEmpty() || (!heads_[i].tag.present && heads_[i].tag.quietWithoutTag))
                continue;
            const QByteArray c = "S" + repeatCommand_[i].mid(1);
            const bool net = repeatNet_[i];
            const Reply r = one(c, i + 1, repeatData_[i], net);
            (net ? frames : out) += net ? frame(r) : serialText(r);
        }
        TcpHarness* netFront = net_.get();
        const int split = faults_.split();
        if (!out.isEmpty() || !frames.isEmpty()) {
            lock.unlock();
            if (!out.isEmpty() && split > 0) {
                send(out.left(out.size() / 2));
                pause(split);
                send(out.mid(out.size() / 2));
            } else if (!out.isEmpty()) {
                send(out);
            }
            if (!frames.isEmpty() && netFront && netFront->clientConnected())
                netFront->play({TcpStep::send(frames)});
            lock.lock();
        }
    }
}

// ---- TCP front ------------------------------------------------------------------------------------

QByteArray SimHX::webPage() const
{
    std::lock_guard lock(m_);
    QByteArray page = "<html><body><table><tr><td>Valdrecht ORVID<br>" + model_ + "<br>V1.00</td></tr>";
    for (int i = 0; i < channels_; ++i)
        page += "<tr><td>RFID CH" + QByteArray::number(i + 1) + "</td><td>Version:</td><td class=\"inputdescription\">"
                + heads_[i].name + "<br>S/N 100" + QByteArray::number(i) + "</td></tr>";
    return page + "</table></body></html>";
}

quint16 SimHX::startNet()
{
    page_ = std::make_unique<TcpHarness>();
    // The page server answers one GET and closes.
    page_->setLineRequests("\r\n\r\n");
    page_->setHandler([this](const QByteArray&) {
        const QByteArray body = webPage();
        return TcpScript{TcpStep::send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                                       + QByteArray::number(body.size()) + "\r\n\r\n" + body),
                         TcpStep::close()};
    });
    auto net = std::make_unique<TcpHarness>();
    net->setSplitter([](const QByteArray& b) -> qsizetype {
        if (b.size() < 2)
            return 0;
        const qsizetype n = std::max(4, static_cast<uchar>(b.at(0)) << 8 | static_cast<uchar>(b.at(1)));
        return b.size() >= n ? n : 0;
    });
    net->setHandler([this](const QByteArray& request) { return netScript(request); });
    const quint16 port = net->port();
    std::lock_guard lock(m_);   // the repeater plays on it
    net_ = std::move(net);
    return port;
}

QByteArray SimHX::netReply(const QByteArray& request)
{
    QByteArray out;
    for (const TcpStep& step : netScript(request))
        out += step.bytes;
    return out;
}

QList<TcpStep> SimHX::netScript(const QByteArray& request)
{
    {
        const int code = static_cast<uchar>(request.at(2));
        const int number = (static_cast<uchar>(request.at(3)) >> 1) & 7;
        const int argument = static_cast<uchar>(request.at(3)) >> 4;
        const QByteArray payload = request.mid(4);
        hx::HXCommand command = hx::HXCommand::VE;
        bool known = false;
        for (int i = 0; i <= static_cast<int>(hx::HXCommand::WP); ++i) {
            if (hx::Info(static_cast<hx::HXCommand>(i)).code == code) {
                command = static_cast<hx::HXCommand>(i);
                known = true;
            }
        }
        const QByteArray c = known ? QByteArray(hx::Info(command).text) : QByteArray("??");
        QByteArray channel = number == 7 ? QByteArray("x") : number == 0 ? QByteArray() : QByteArray::number(number);
        QByteArray data = payload;
        switch (known ? hx::Info(command).rule : hx::PayloadRule::Plain) {
        case hx::PayloadRule::Word:
            data = QByteArray::number((static_cast<uchar>(payload.at(0)) << 8 | static_cast<uchar>(payload.at(1))), 16)
                       .toUpper().rightJustified(4, '0')
                   + QByteArray::number(argument, 16).toUpper().rightJustified(2, '0') + payload.mid(2);
            break;
        case hx::PayloadRule::Special:
            data = QByteArray::number(argument, 16).toUpper() + payload.mid(4);
            break;
        case hx::PayloadRule::Trigger:
            data = QByteArray::number(argument) + QByteArray::number(payload.isEmpty() ? 0 : payload.at(0)) + "0";
            channel.clear();
            break;
        default:
            break;
        }
        if ((c == "SG" || c == "SC") && data.startsWith('\0') && data.size() >= 2)
            data = QByteArray::number(data.at(1)) + data.mid(2);
        if ((c == "RP" || c == "WP") && data.startsWith('\0'))
            data.remove(0, 1);
        TcpScript script;
        std::lock_guard lock(m_);
        const QList<Reply> replies = known ? handle(c, channel, data, true) : QList<Reply>{};
        for (const Reply& r : replies) {
            if (r.hangUp)
                return TcpScript{TcpStep::close()};
            if (r.delayMs > 0)
                script.append(TcpStep::pause(r.delayMs));
            if (prefixes_ > 0) {
                --prefixes_;
                script.append(TcpStep::send(frame(Reply{QByteArray(1, '\xff'), r.channel, {}, 0, false})));
            }
            const QByteArray f = frame(r);
            if (faults_.split() > 0) {
                script.append(TcpStep::send(f.left(3)));
                script.append(TcpStep::pause(faults_.split()));
                script.append(TcpStep::send(f.mid(3)));
            } else {
                script.append(TcpStep::send(f));
            }
        }
        if (!known)
            script.append(TcpStep::send(frame(Reply{"4", number, {}, 0, false})));
        return script;
    }
}

quint16 SimHX::netPort() const
{
    return net_ ? net_->port() : 0;
}

quint16 SimHX::pagePort() const
{
    return page_ ? page_->port() : 0;
}

QList<QByteArray> SimHX::netRequests() const
{
    return net_ ? net_->requests() : QList<QByteArray>{};
}

} // namespace orvid::test
