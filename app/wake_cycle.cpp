#include "app/wake_cycle.h"

#include "app/usage_text.h"
#include "runtime/directory.h"
#include "runtime/rt_string.h"
#include "runtime/sleep.h"

#include <cmath>

namespace drivenudge {

int share_ms(int count) {
    const double exact = cycle_ms / count;
    const double below = std::floor(exact);
    const double fraction = exact - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1.0;
    return static_cast<int>(rounded);
}

void visit_drive(char drive) {
    const std::string root = rt::concat(std::string_view(&drive, 1), ":\\");
    if (rt::change_directory(root) == 0) {
        // Removal goes ahead even when creation failed: an empty marker left by an earlier run
        // goes.
        rt::make_directory(marker_name);
        rt::remove_directory(marker_name);
    }
    // Between visits the process holds no drive, not even the one it was started from: a
    // current directory there would stop the drive from being ejected or unmounted.
    rt::change_to_system_directory();
}

void wake_pass(std::string_view letters) {
    const int count = rt::length(letters);
    for (int index = 1; index <= count; ++index) {
        const std::string drive = rt::substring(letters, index, 1);
        visit_drive(drive[0]);
        rt::sleep(share_ms(count));
    }
}

void wake_cycle(std::string_view letters) {
    for (;;)
        wake_pass(letters);
}

} // namespace drivenudge
