#include "util/StopFlag.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

namespace {

// Without a descriptor a wait looks at the flag this often.
constexpr int kFallbackStepMs = 50;

}  // namespace

StopFlag::StopFlag() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopFlag::~StopFlag() {
    if (fd_ >= 0) ::close(fd_);
}

void StopFlag::stop() {
    stopped_.store(true);
    if (fd_ < 0) return;
    // The counter is never read back, so the descriptor stays readable.
    const uint64_t one = 1;
    ssize_t written;
    do {
        written = ::write(fd_, &one, sizeof one);
    } while (written < 0 && errno == EINTR);
}

bool StopFlag::sleepFor(int ms) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    while (!isStopped()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return true;
        pollfd p{fd_, POLLIN, 0};
        if (fd_ < 0) {
            ::poll(nullptr, 0, static_cast<int>(std::min<long long>(left, kFallbackStepMs)));
        } else {
            ::poll(&p, 1, static_cast<int>(left));
        }
    }
    return false;
}
