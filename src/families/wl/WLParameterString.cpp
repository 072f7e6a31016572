#include "families/wl/WLParameterString.h"

#include "foundations/Utils.h"

namespace orvid::wlframed {

const char* const kEventCodes[6] = {"OF", "Fo", "AL", "do", "fd", "Ad"};

namespace {

const char* const kModes[] = {"On", "OF", "rb", "Pb"};
const char* const kPorts[] = {"23", "42", "44"};
const char* const kBauds[] = {"12", "24", "48", "96", "19", "38"};
const char* const kParities[] = {" n", " O", " E"};

QByteArray Field(const QByteArray& text, int position)
{
    return text.mid(position - 1, 2);
}

int Number(const QByteArray& field)
{
    return CInt16(Val(field));
}

int EventIndex(const QByteArray& field, int otherwise)
{
    for (int i = 0; i < 6; ++i)
        if (field == kEventCodes[i])
            return i;
    return otherwise;
}

QByteArray TwoDigits(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

QByteArray BoxNumber(const QString& text, int minimum, int maximum, int fallback)
{
    return TwoDigits(CInt16(ClampValue(Val(text), minimum, maximum, fallback)));
}

} // namespace

ReaderParameters ParseParameters(const QByteArray& text)
{
    ReaderParameters p;
    const QByteArray mode = Field(text, 1);
    p.mode = mode == "OF" ? 1 : mode == "rb" ? 2 : mode == "Pb" ? 3 : 0;

    const int channel = Number(Field(text, 3));
    p.channel = QString::number(channel < 1 ? 50 : channel);

    // A range of 0 (or none at all) counts as a negative one: 2,0 m.
    int r = Number(Field(text, 5));
    if (r <= 0)
        r = 3;
    p.range = r > 4 ? 3 : r - 1;

    p.dataSpeed = Field(text, 7) == "Lo" ? 1 : 0;
    const QByteArray port = Field(text, 11);
    p.port = port == "23" ? 0 : port == "44" ? 2 : 1;

    const int address = Number(Field(text, 13));
    p.address = QString::number(address < 1 ? 1 : address);

    p.baud = 3;
    for (int i = 0; i < 6; ++i)
        if (Field(text, 15) == kBauds[i])
            p.baud = i;
    p.stopBits = std::clamp(Number(text.mid(17, 1)), 1, 2) - 1;
    const QByteArray parity = text.mid(19, 1);
    p.parity = parity == "O" ? 1 : parity == "E" ? 2 : 0;
    p.database = Field(text, 21) == "OF" ? 1 : 0;
    const int radar = Number(Field(text, 23));
    p.radar = radar < 0 || radar > 5 ? 0 : radar;
    p.log = EventIndex(Field(text, 25), 1);
    p.relay = EventIndex(Field(text, 27), 1);
    p.buzzer = EventIndex(Field(text, 29), 0);
    p.led = EventIndex(Field(text, 31), 1);
    const int timeout = Number(Field(text, 33));
    p.timeout = QString::number(timeout < 0 || timeout > 10 ? 5 : timeout);
    p.tamper = Field(text, 35) == "On" ? 0 : 1;
    return p;
}

QByteArray ComposeParameters(const ReaderParameters& p)
{
    auto pick = [](const char* const* codes, int count, int index) {
        return QByteArray(codes[std::clamp(index, 0, count - 1)]);
    };
    QByteArray s;
    s += pick(kModes, 4, p.mode);
    s += BoxNumber(p.channel, 1, 99, 50);
    s += TwoDigits(std::clamp(p.range, 0, 3) + 1);
    s += p.dataSpeed == 0 ? "HI" : "Lo";
    s += "OF";
    s += pick(kPorts, 3, p.port);
    s += BoxNumber(p.address, 1, 99, 1);
    s += pick(kBauds, 6, p.baud);
    s += p.stopBits == 0 ? "01" : "02";
    s += pick(kParities, 3, p.parity);
    s += p.database == 1 ? "OF" : "On";
    s += p.radar <= 0 || p.radar > 5 ? QByteArray("OF") : TwoDigits(p.radar);
    s += pick(kEventCodes, 6, p.log);
    s += pick(kEventCodes, 6, p.relay);
    s += pick(kEventCodes, 6, p.buzzer);
    s += pick(kEventCodes, 6, p.led);
    s += BoxNumber(p.timeout, 1, 10, 5);
    s += p.tamper == 0 ? "On" : "OF";
    return s;
}

int BusAddressOf(const QByteArray& text)
{
    const int address = Number(Field(text, 13));
    return address < 0 ? 1 : address;
}

} // namespace orvid::wlframed
