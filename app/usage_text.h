// The usage text: the lines the help path shows, as the pieces they are printed in.
#pragma once

#include <array>
#include <string_view>

namespace drivenudge {

struct UsagePiece {
    std::string_view text;
    bool ends_line;
};

inline constexpr std::string_view marker_name = "$drivenudge.tmp";

inline constexpr std::array<UsagePiece, 10> usage_pieces{{
    {"drivenudge: a keep-awake tool for your disks", true},
    {"(md ", false},
    {marker_name, false},
    {" / rd ", false},
    {marker_name, false},
    {")", true},
    {"  usage   : drivenudge drive_letter(s)", true},
    {"  example : drivenudge cdefxy", true},
    {"", true},
    {"hit anykey to close window", true},
}};

} // namespace drivenudge
