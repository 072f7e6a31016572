#pragma once
// A full disk without root: while a FileSizeLimit lives, this process cannot make any file
// larger than the given size. A write past it fails with EFBIG, as one on a full disk fails
// with ENOSPC (SIGXFSZ, which would end the process, is ignored meanwhile). The limit and
// the signal's handling are restored when it goes, so the tests after it are not touched.

#include <csignal>
#include <sys/resource.h>

namespace orvid::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0)
            return;
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        if (previous_ == SIG_ERR)
            return;
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (ok_)
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        if (previous_ != SIG_ERR)
            std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be set (the test cannot run here).
    bool active() const { return ok_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_ERR;
    bool ok_ = false;
};

} // namespace orvid::test
