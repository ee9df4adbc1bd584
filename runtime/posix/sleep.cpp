#include "runtime/sleep.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <sched.h>

namespace rt {

void platform_wait(int milliseconds) {
    if (milliseconds <= 0) {
        ::sched_yield();
        return;
    }
    const std::chrono::milliseconds wait(milliseconds);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    timespec left{static_cast<std::time_t>(seconds.count()),
                  static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
    // A signal cuts nanosleep short; the rest is still owed.
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace rt
