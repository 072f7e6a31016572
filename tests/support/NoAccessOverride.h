#pragma once
// File permissions that hold for root too: while a NoAccessOverride lives, the calling
// thread works without the capabilities that pass over them (CAP_DAC_OVERRIDE,
// CAP_DAC_READ_SEARCH), as any other user does, so a folder without write access refuses
// it. They are given back after.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvid::test {

class NoAccessOverride {
public:
    NoAccessOverride()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~NoAccessOverride()
    {
        if (active_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    NoAccessOverride(const NoAccessOverride&) = delete;
    NoAccessOverride& operator=(const NoAccessOverride&) = delete;
    bool active() const { return active_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

} // namespace orvid::test
