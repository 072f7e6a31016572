#pragma once
// A full disk without root: while a FileSizeLimit lives, no file of this process can grow
// past the given size, and a write past it fails (EFBIG) as one on a full disk does. The
// signal such a write raises is ignored meanwhile; limit and signal are restored after.

#include <csignal>
#include <sys/resource.h>

namespace orvid::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0 || (previous_ = std::signal(SIGXFSZ, SIG_IGN)) == SIG_ERR)
            return;
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (active_)
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        if (previous_ != SIG_ERR)
            std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_ERR;
    bool active_ = false;
};

} // namespace orvid::test
