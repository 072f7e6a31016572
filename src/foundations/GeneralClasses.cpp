#include "GeneralClasses.h"

namespace orvid {

void clsTimer::StartTimer()
{
    stopped_ = 0.0;
    running_ = true;
    start_ = std::chrono::steady_clock::now();
}

double clsTimer::Elapsed() const
{
    if (!running_)
        return stopped_;
    const auto d = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration<double, std::milli>(d).count();
}

void clsParameter::Init(const QString& name, const QString& value)
{
    name_ = name;
    value_ = value;
    changed_ = false;
}

void clsParameter::setValue(const QString& text)
{
    if (text == value_)
        return;
    value_ = text;
    changed_ = true;
}

} // namespace orvid
