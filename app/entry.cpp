#include "app/entry.h"

#include "app/platform.h"
#include "app/usage_text.h"
#include "app/wake_cycle.h"
#include "runtime/process.h"
#include "runtime/rt_string.h"

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
    prepare_standard_output();
    for (const UsagePiece& piece : usage_pieces) {
        std::fwrite(piece.text.data(), 1, piece.text.size(), stdout);
        if (piece.ends_line) std::fputs("\n", stdout);
    }
    std::fflush(stdout);
    rt::end(0);
}

void run(int argc, char** argv) {
    if (choose_path(argc, argv) == Path::usage) show_usage();
    wake_cycle(argv[1]);
}

} // namespace drivenudge
