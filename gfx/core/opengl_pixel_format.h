// The system-independent part of the OpenGL driver's pixel-format choice: the extension test, the
// sizes a screen asks for and their defaults, the attribute list handed to
// wglChoosePixelFormatARB, and the multisample retries. The driver does the calls into the system;
// everything here is plain data and builds anywhere.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "gfx/core/screen_state.h"

namespace zered {

// WGL_ARB_pixel_format and WGL_ARB_multisample attribute numbers, as published. Ours, because the
// system's extension header is only reachable from Windows code.
inline constexpr int WGL_DRAW_TO_WINDOW_ARB = 0x2001;
inline constexpr int WGL_ACCELERATION_ARB = 0x2003;
inline constexpr int WGL_DOUBLE_BUFFER_ARB = 0x2011;
inline constexpr int WGL_COLOR_BITS_ARB = 0x2014;
inline constexpr int WGL_RED_BITS_ARB = 0x2015;
inline constexpr int WGL_GREEN_BITS_ARB = 0x2017;
inline constexpr int WGL_BLUE_BITS_ARB = 0x2019;
inline constexpr int WGL_ALPHA_BITS_ARB = 0x201B;
inline constexpr int WGL_ACCUM_BITS_ARB = 0x201D;
inline constexpr int WGL_ACCUM_RED_BITS_ARB = 0x201E;
inline constexpr int WGL_ACCUM_GREEN_BITS_ARB = 0x201F;
inline constexpr int WGL_ACCUM_BLUE_BITS_ARB = 0x2020;
inline constexpr int WGL_ACCUM_ALPHA_BITS_ARB = 0x2021;
inline constexpr int WGL_DEPTH_BITS_ARB = 0x2022;
inline constexpr int WGL_STENCIL_BITS_ARB = 0x2023;
inline constexpr int WGL_FULL_ACCELERATION_ARB = 0x2027;
inline constexpr int WGL_SAMPLE_BUFFERS_ARB = 0x2041;
inline constexpr int WGL_SAMPLES_ARB = 0x2042;

// The combined extension text: the GL string, then the WGL string, at most this many characters.
inline constexpr std::size_t extension_list_limit = 16383;

// The GL extension string followed by the WGL one (either may be null), cut to
// extension_list_limit characters. A space is put between the two when the GL string does not
// end in one, so that its last name and the WGL string's first stay apart.
std::string build_extension_list(const char* gl_extensions, const char* wgl_extensions);

// true when name occurs in list followed by a space or by the end of the list. An occurrence
// followed by anything else (a longer name that starts with this one) is skipped and the search
// goes on after it. The character before an occurrence is not examined. An empty name is absent.
bool extension_present(std::string_view list, std::string_view name);

// Requested pixel-format sizes in bits; 0 means "the default".
struct PixelRequest {
    int colour = 0;
    int red = 0, green = 0, blue = 0, alpha = 0;
    int depth = 0;
    int stencil = 0;
    int accum = 0;
    int accum_red = 0, accum_green = 0, accum_blue = 0, accum_alpha = 0;
    int samples = 0;
    bool operator==(const PixelRequest&) const = default;
};

// Fills every size that is still 0 with its default for a screen of screen_depth bits and the
// given mode flags:
// - colour: red + green + blue + alpha, else screen_depth;
// - red, green, blue, alpha: by colour bits, 1-8: 0/0, 9-16: 5/0, 17-24: 8/0, 25 and more: 8/8;
// - the accumulation channels the same way from the accumulation total (the channels' sum when no
//   total is given); with no sizes at all, MODE_ACCUMULATION_BUFFER asks for 32 bits, 8 each;
// - depth 16; stencil 8 with MODE_STENCIL_BUFFER; 4 samples with MODE_MULTISAMPLE.
void apply_pixel_request_defaults(PixelRequest& request, int screen_depth, ModeFlags flags);

// The attribute list for wglChoosePixelFormatARB: attribute/value pairs ended by a single 0.
struct PixelFormatAttributes {
    static constexpr int capacity = 64;
    std::array<int, capacity> values{};
    int count = 0;          // integers in use, the closing 0 included
    int samples_index = -1; // where the WGL_SAMPLES_ARB value sits, -1 without one
    const int* data() const { return values.data(); }
};

// Always window drawing, full acceleration and double buffering, then the colour, channel and depth
// sizes; accumulation and stencil sizes only when non-zero; with samples, WGL_SAMPLE_BUFFERS_ARB 1
// and WGL_SAMPLES_ARB.
PixelFormatAttributes build_pixel_format_attributes(const PixelRequest& request);

// One call of wglChoosePixelFormatARB as seen by the retry loop: false when the call failed;
// otherwise format and count are what it returned.
struct FormatChoice {
    bool ok = false;
    int format = 0;
    unsigned count = 0;
};

// The outcome of the extended choice.
struct PixelFormatPick {
    int format = 0;       // 0: none, fall back to the classic ChoosePixelFormat
    int samples_left = 0; // the samples value left in the list; below 0 once the retries ran out
    // Whether the context should switch multisampling on.
    bool multisample() const { return samples_left >= 1; }
};

// Runs the extended choice over attributes, asking choose(attribute list) for one format. A call
// that fails or finds nothing is retried with 2 samples fewer while the count stays 0 or more;
// without samples there is no retry. A call that succeeds with a format of 0 ends the search.
// The list keeps the samples value last written (4, 2, 0, then -2 for a request of 4).
template <typename Choose>
PixelFormatPick pick_pixel_format(PixelFormatAttributes& attributes, Choose&& choose) {
    const int at = attributes.samples_index;
    for (;;) {
        const FormatChoice got = choose(attributes.data());
        const int samples = at < 0 ? 0 : attributes.values[static_cast<std::size_t>(at)];
        if (got.ok && got.count >= 1) return {got.format, samples};
        if (at < 0) return {0, 0};
        attributes.values[static_cast<std::size_t>(at)] = samples - 2;
        if (samples - 2 < 0) return {0, samples - 2};
    }
}

} // namespace zered
