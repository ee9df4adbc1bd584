#include "app/usage_screen.h"

#include "app/usage_text.h"
#include "gfx/screen/screen_setup.h"
#include "runtime/print.h"

namespace drivenudge {

int open_usage_screen() {
    return zered::screen_open_sized(usage_screen_width, usage_screen_height, usage_screen_depth, 1,
                                    0, 0);
}

void print_usage() {
    for (const UsagePiece& piece : usage_pieces) {
        const unsigned end = piece.ends_line ? rt::PRINT_END_LINE : 0;
        if (piece.text.empty())
            rt::print_end(rt::standard_output_channel, end);
        else
            rt::print_string(rt::standard_output_channel, piece.text, end);
    }
}

} // namespace drivenudge
