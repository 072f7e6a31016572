#include "KLXParameters.h"

namespace orvid::KLXParameters {

clsCollection<clsParameter> Build()
{
    static const char* const kDefaults[][2] = {
        {"CARRIER", "ON"},        {"FHSS_MODE", "OFF"},  {"FHSS_BANDS", ""},      {"FREQUENCY", "24500"},
        {"READ_RANGE", "4"},      {"TAG_BITRATE", "ON"}, {"FILTER_TYPE", "off"},  {"FILTER_TIMEOUT", "1000"},
        {"READ_BEEP", "ON"},      {"TAG_CRC", "ON"},     {"TAG_DATACRC", "ON"},   {"RS485_FULL", "OFF"},
    };
    clsCollection<clsParameter> parameters;
    for (const auto& d : kDefaults) {
        clsParameter p;
        p.Init(QString::fromLatin1(d[0]), QString::fromLatin1(d[1]));
        parameters.Add(p, p.Name());
    }
    return parameters;
}

bool ReadAll(IKLXParameterTarget& target, clsCollection<clsParameter>& parameters)
{
    for (qsizetype i = 0; i < parameters.count(); ++i) {
        if (target.ReadCmd(*parameters.item(i), true) < 1)
            return false;
    }
    return true;
}

int WriteChanged(IKLXParameterTarget& target, clsCollection<clsParameter>& parameters)
{
    int written = 0;
    for (qsizetype i = 0; i < parameters.count(); ++i) {
        clsParameter& p = *parameters.item(i);
        if (!p.Changed())
            continue;
        target.WriteCmd(p);
        // "RPLYSET 00" without a payload is a good answer: only a failure stops the loop.
        if (!target.LastExchangeOk())
            break;
        ++written;
    }
    return written;
}

} // namespace orvid::KLXParameters
