// The utility's entry: the wake cycle for a string of drive letters, the usage text otherwise.
#pragma once

#include <array>
#include <string_view>

namespace drivenudge {

// Compared exactly and in this order: "/help" is not a switch, it is five drive characters.
inline constexpr std::array<std::string_view, 6> help_switches{"/h", "/H", "/?", "-h", "-H", "-?"};

enum class Path { usage, wake };

// Which path a command line takes. Only the first argument counts; an empty one shows the usage
// (an empty cycle would never sleep).
Path choose_path(int argc, char** argv);

// Shows the usage screen, waits for a key or the window's close and ends the process with exit
// code 0. Where no screen can be opened the usage text goes to standard output instead (on
// Windows, to the console the program was started from, if any) and the process ends at once.
[[noreturn]] void show_usage();

// Never returns: the usage path ends the process, the wake cycle runs until the process is
// terminated.
[[noreturn]] void run(int argc, char** argv);

} // namespace drivenudge
