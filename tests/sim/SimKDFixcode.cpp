#include "SimKDFixcode.h"

#include <algorithm>

namespace orvid::test {

SimKDFixcode::SimKDFixcode()
{
    startTicker();
}

SimKDFixcode::~SimKDFixcode()
{
    finish();
}

QByteArray SimKDFixcode::DataLine(quint32 wafer, quint32 die, const QByteArray& format)
{
    const QByteArray dieText = QByteArray::number(die).rightJustified(5, '0');
    if (format == "28")
        return QByteArray::number(wafer).rightJustified(4, '0') + dieText;
    return QByteArray::number(wafer, 16).toUpper().rightJustified(3, '0') + dieText;
}

void SimKDFixcode::setTag(int head, quint32 wafer, quint32 die)
{
    std::lock_guard<std::mutex> lock(m_);
    tags_.at(head) = std::make_pair(wafer, die);
}

void SimKDFixcode::removeTag(int head)
{
    std::lock_guard<std::mutex> lock(m_);
    tags_.at(head).reset();
}

void SimKDFixcode::setVersion(Version v)
{
    std::lock_guard<std::mutex> lock(m_);
    version_ = v;
}

bool SimKDFixcode::doubleSided() const
{
    std::lock_guard<std::mutex> lock(m_);
    return doubleSided_;
}

std::optional<QByteArray> SimKDFixcode::tagLine(int head, const QByteArray& format) const
{
    for (int h = 0; h < 4; ++h) {
        if ((head == 4 || h == head) && tags_[h])
            return DataLine(tags_[h]->first, tags_[h]->second, format);
    }
    return std::nullopt;
}

QList<QByteArray> SimKDFixcode::reply(const QByteArray& line)
{
    if (line == "RST") {
        read_.reset();
        return {stopAnswer_.isEmpty() ? QByteArray("OK") : stopAnswer_};
    }
    if (line == "SD") {
        doubleSided_ = true;
        return {"OK"};
    }
    if (line == "VER") {
        switch (version_) {
        case Version::TwoLines: return {"ORVID-I DVN-LRS2-4NWZ V2.1", "ORVID Systems"};
        case Version::OneLine: return {"ORVID-I DRN-LRS2-4.4Q V1.0"};
        case Version::DRN: return {"ORVID-I DRN-LRS2-4.4Q V1.0", "ORVID Systems"};
        case Version::LowerCase: return {"orvid-i dvn-lrs2-4nwz v2.1", "orvid systems"};
        case Version::NoType: return {"ORVID-I V2.1", "ORVID Systems"};
        case Version::Silent: return {};
        }
    }
    // R / AR / CAR / BAR + head + "," + format
    static const QList<QByteArray> prefixes = {"CAR", "BAR", "AR", "R"};
    for (const QByteArray& p : prefixes) {
        if (!line.startsWith(p) || line.size() != p.size() + 4 || line.at(p.size() + 1) != ',')
            continue;
        const char h = line.at(p.size());
        const QByteArray format = line.mid(p.size() + 2);
        if (!(h == 'X' || (h >= '1' && h <= '4')) || (format != "10" && format != "28"))
            return {"E9"};
        const int head = h == 'X' ? 4 : h - '1';
        doubleSided_ = false;
        if (p == "R") {
            read_.reset();
            const auto data = tagLine(head, format);
            return {data ? *data : QByteArray("M7")};
        }
        read_ = Read{p == "AR" ? 'A' : 'C', head, format, std::chrono::steady_clock::now()};
        return {};
    }
    return {"E9"};
}

qsizetype SimKDFixcode::onBytes(const QByteArray& buffer)
{
    qsizetype end = -1;
    for (qsizetype i = 0; i < buffer.size() && end < 0; ++i) {
        if (buffer.at(i) == '\r' || buffer.at(i) == '\n' || buffer.at(i) == '\x03')
            end = i;
    }
    if (end < 0)
        return 0;
    const QByteArray line = buffer.left(end);
    // CR LF is one line end.
    const qsizetype used = end + (buffer.mid(end, 2) == "\r\n" ? 2 : 1);
    recordTelegram(buffer.left(used));
    const bool printable = std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (line.isEmpty() || !printable || line.startsWith('#'))
        return used;

    QList<QByteArray> lines;
    int delay = 0;
    {
        std::lock_guard<std::mutex> lock(m_);
        const Faults f = take(line);
        delay = f.delayMs;
        lines = reply(line);
        if (!f.status.isEmpty()) {
            read_.reset();
            lines = {f.status};
        }
        if (f.silent)
            lines.clear();
    }
    for (QByteArray& l : lines)
        l += "\r\n";
    sendUnits(lines, delay);
    return used;
}

void SimKDFixcode::tick()
{
    QByteArray line;
    {
        std::lock_guard<std::mutex> lock(m_);
        const auto now = std::chrono::steady_clock::now();
        if (!read_ || now < read_->due)
            return;
        const auto data = tagLine(read_->head, read_->format);
        if (!data)
            return;
        line = *data;
        if (read_->kind == 'A')
            read_.reset();   // one line per arrival: the program arms the next read
        else
            read_->due = now + std::chrono::milliseconds(rateMs_);
    }
    sendUnits({line + "\r\n"}, 0);
}

} // namespace orvid::test
