#include "app/entry.h"

#include "app/platform.h"
#include "app/usage_screen.h"
#include "app/wake_cycle.h"
#include "gfx/core/screen_state.h"
#include "runtime/process.h"
#include "runtime/rt_string.h"
#include "runtime/sleep.h"

#include <cstdio>

namespace drivenudge {

Path choose_path(int argc, char** argv) {
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) return Path::usage;
    const std::string_view letters = argv[1];
    for (const std::string_view sw : help_switches)
        if (rt::compare(letters, sw) == 0) return Path::usage;
    return letters.empty() ? Path::usage : Path::wake;
}

void show_usage() {
    // The result of opening is not needed: without a screen the same prints reach stdout.
    open_usage_screen();
    if (!zered::current_screen()) prepare_standard_output();
    print_usage();
    // With a screen open, wait for a key or the window's close. The null driver (asked for with
    // ZERED=null) has no window, and its screen waits as any other: whoever asked for it ends the
    // process. Without a screen the text went to standard output and there is nothing to wait for.
    if (zered::current_screen())
        rt::sleep(rt::sleep_until_key);
    else
        std::fflush(stdout);
    rt::end(0);
}

void run(int argc, char** argv) {
    if (choose_path(argc, argv) == Path::usage) show_usage();
    wake_cycle(argv[1]);
}

} // namespace drivenudge
