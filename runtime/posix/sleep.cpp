#include "runtime/sleep.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

namespace rt {

void platform_wait(int milliseconds) {
    if (milliseconds <= 0) {
        ::sched_yield();
        return;
    }
    timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts nanosleep short; the rest is still owed.
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace rt
