#include "SimKLX.h"

namespace orvid::test {

namespace {

const QByteArray kFiller = "SIMKLX0123456789:";   // the 17 characters before a report

} // namespace

SimKLX::SimKLX(quint16 port) : TcpHarness(port)
{
    static const char* const kDefaults[][2] = {
        {"CARRIER", "ON"},       {"FHSS_MODE", "OFF"},  {"FHSS_BANDS", "ABC"},     {"FREQUENCY", "24500"},
        {"READ_RANGE", "4"},     {"TAG_BITRATE", "ON"}, {"FILTER_TYPE", "off"},    {"FILTER_TIMEOUT", "1000"},
        {"READ_BEEP", "ON"},     {"TAG_CRC", "ON"},     {"TAG_DATACRC", "ON"},     {"RS485_FULL", "OFF"},
        {"BUZZER", "OFF"},       {"LED", "OFF"},        {"RELAY", "OFF"},
    };
    for (const auto& d : kDefaults)
        parameters_.insert(d[0], d[1]);
    setLineRequests("\n");
    setHandler([this](const QByteArray& request) { return answer(request); });
    QObject::connect(&reportTimer_, &QTimer::timeout, [this] { pushReports(); });
}

QByteArray SimKLX::percentEncode(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E || c == '%')
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

QByteArray SimKLX::reportLine(const Tag& tag, const QByteArray& field, const QByteArray& end)
{
    // s1, s6..s8 are not looked at by the program: filled with letters.
    QByteArray s(10, 'x');
    s[1] = static_cast<char>((tag.id >> 22) & 63);
    s[2] = static_cast<char>((tag.id >> 14) & 255);
    s[3] = static_cast<char>((tag.id >> 6) & 255);
    s[4] = static_cast<char>((tag.id & 63) << 2);
    const int t = (tag.cls & 3) << 3;
    s[8] = 0;
    s[9] = static_cast<char>(t * 4);
    if (tag.cls == Mini) {
        const int v = tag.mini * 4;
        s += static_cast<char>(v >> 8);
        s += static_cast<char>(v & 255);
    } else if (tag.cls == Full) {
        s += tag.data.left(72).leftJustified(72, ' ');
    } else if (tag.cls == Quarter) {
        s += tag.data.left(20).leftJustified(20, ' ');
    } else {
        s += 'n';
    }
    return "EVNTTAG " + percentEncode(kFiller + s) + field + end;
}

void SimKLX::pushReports()
{
    // Reports are pushed to a connected program only; none pile up for the next one.
    if (!clientConnected())
        return;
    TcpScript steps;
    {
        std::lock_guard lock(mutex_);
        for (const Tag& t : tags_)
            if (t.present)
                steps.append(TcpStep::send(reportLine(t, reportField_, lineEnd_)));
    }
    if (!steps.isEmpty())
        play(steps);
}

void SimKLX::setReportRate(int ms)
{
    if (ms > 0)
        reportTimer_.start(ms);
    else
        reportTimer_.stop();
}

QByteArray SimKLX::handle(const QByteArray& line, TcpScript& events)
{
    const QByteArray name = line.left(4);
    const auto reply = [&name](const QByteArray& status, const QByteArray& payload = {}) {
        return "RPLY" + name + status + payload;
    };
    if (line == "HELO")
        return reply(helloStatus_, version_);
    if (line.startsWith("HELO"))
        return reply(secondStatus_);
    if (line.startsWith("GET ")) {
        const QByteArray key = line.mid(4);
        return parameters_.contains(key) ? reply("00", key + '=' + parameters_.value(key)) : reply("11");
    }
    if (line.startsWith("SET ")) {
        const qsizetype eq = line.indexOf('=');
        const QByteArray key = eq < 0 ? QByteArray() : line.mid(4, eq - 4);
        if (!parameters_.contains(key))
            return reply("11");
        parameters_.insert(key, line.mid(eq + 1));
        return reply("00");
    }
    if (line == "PUSHTAG STOP")
        return reply("00");
    if (line.startsWith("PUSHTAG ")) {
        pushTags_.append(line);
        const QList<QByteArray> fields = line.mid(8).split(';');
        if (fields.size() != 3 || fields[1].size() != 4)
            return reply("12");
        const QByteArray target = fields[0];
        for (Tag& t : tags_) {
            if (!t.present || (target != "*" && target.toUInt() != t.id))
                continue;
            const QByteArray data = QByteArray::fromPercentEncoding(fields[2]);
            const char m = fields[1][0];
            t.cls = m == 'Q' ? Quarter : m == 'F' ? Full : Mini;
            if (t.cls == Mini && data.size() == 2)
                t.mini = ((static_cast<unsigned char>(data[0]) << 8) | static_cast<unsigned char>(data[1])) / 4;
            else
                t.data = data;
            events.append(TcpStep::pause(writeDelay_));
            events.append(TcpStep::send("EVNTWRIT" + target + lineEnd_));
            break;
        }
        return reply("00");
    }
    return reply("99");
}

TcpScript SimKLX::answer(const QByteArray& request)
{
    QByteArray line = request.endsWith('\n') ? request.chopped(1) : request;
    // The reader takes its command words in either case and names them in upper case.
    const qsizetype word = line.indexOf(' ');
    line = line.left(word < 0 ? line.size() : word).toUpper() + line.mid(word < 0 ? line.size() : word);
    std::lock_guard lock(mutex_);
    TcpScript events;
    QByteArray text = handle(line, events);
    TcpScript steps;
    if (eventBeforeReply_ && !tags_.isEmpty())
        steps.append(TcpStep::send(reportLine(tags_.first(), reportField_, lineEnd_)));
    if (writBeforeReply_ && !events.isEmpty()) {
        steps += events;
        events.clear();
    }
    QByteArray end = lineEnd_;
    int drip = 0;
    TcpScript after;
    for (const SimFault& f : faults_.takeAll(line)) {
        switch (f.kind) {
        case SimFault::Status:
            text = "RPLY" + line.left(4) + f.status;
            events.clear();
            break;
        case SimFault::Silence:
            return steps;
        case SimFault::Delay:
            steps.append(TcpStep::pause(f.value));
            break;
        case SimFault::Truncate:
            text = text.left(f.value);
            break;
        case SimFault::HangUp:
            steps.append(TcpStep::close());
            return steps;
        case SimFault::Unterminated:
            end.chop(1);
            break;
        case SimFault::Drip:
            drip = f.value;
            break;
        case SimFault::Report:
            after.append(TcpStep::send(reportLine({quint32(f.value), Mini, 0, {}, true}, reportField_, lineEnd_)));
            break;
        }
    }
    text = percentEncode(text) + end;
    if (drip > 0) {
        for (const char c : text)
            steps << TcpStep::send(QByteArray(1, c)) << TcpStep::pause(drip);
    } else if (faults_.split() > 0) {
        steps.append(TcpStep::send(text.left(text.size() / 2)));
        steps.append(TcpStep::pause(faults_.split()));
        steps.append(TcpStep::send(text.mid(text.size() / 2)));
    } else {
        steps.append(TcpStep::send(text));
    }
    return steps + after + events;
}

} // namespace orvid::test
