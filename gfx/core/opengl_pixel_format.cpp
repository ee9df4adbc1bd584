#include "gfx/core/opengl_pixel_format.h"

#include <algorithm>

namespace zered {

namespace {

// Channel sizes by colour bits: row (bits + 7) / 8 - 1, limited to 0..3.
struct ChannelRow {
    int channel; // red, green and blue
    int alpha;
};
constexpr ChannelRow channel_rows[] = {{0, 0}, {5, 0}, {8, 0}, {8, 8}};

const ChannelRow& channel_row(int bits) {
    return channel_rows[std::clamp((bits + 7) / 8 - 1, 0, 3)];
}

void fill(int& size, int value) {
    if (size == 0) size = value;
}

void fill_channels(int& red, int& green, int& blue, int& alpha, const ChannelRow& row) {
    fill(red, row.channel);
    fill(green, row.channel);
    fill(blue, row.channel);
    fill(alpha, row.alpha);
}

void append_text(std::string& out, const char* text) {
    if (text == nullptr) return;
    const std::string_view view(text);
    out.append(view.substr(0, extension_list_limit - out.size()));
}

} // namespace

std::string build_extension_list(const char* gl_extensions, const char* wgl_extensions) {
    std::string list;
    list.reserve(extension_list_limit);
    append_text(list, gl_extensions);
    const bool more = wgl_extensions != nullptr && *wgl_extensions != '\0';
    if (more && !list.empty() && list.back() != ' ' && list.size() < extension_list_limit)
        list.push_back(' ');
    append_text(list, wgl_extensions);
    return list;
}

bool extension_present(std::string_view list, std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t at = list.find(name); at != std::string_view::npos;
         at = list.find(name, at + name.size())) {
        const std::size_t end = at + name.size();
        if (end == list.size() || list[end] == ' ') return true;
    }
    return false;
}

void apply_pixel_request_defaults(PixelRequest& r, int screen_depth, ModeFlags flags) {
    fill(r.colour, r.red + r.green + r.blue + r.alpha);
    fill(r.colour, screen_depth);
    fill_channels(r.red, r.green, r.blue, r.alpha, channel_row(r.colour));

    fill(r.accum, r.accum_red + r.accum_green + r.accum_blue + r.accum_alpha);
    if (r.accum > 0) {
        fill_channels(r.accum_red, r.accum_green, r.accum_blue, r.accum_alpha, channel_row(r.accum));
    } else if (r.accum == 0 && (flags & MODE_ACCUMULATION_BUFFER) != 0) {
        r.accum = 32;
        fill_channels(r.accum_red, r.accum_green, r.accum_blue, r.accum_alpha, channel_rows[3]);
    }

    fill(r.depth, 16);
    if ((flags & MODE_STENCIL_BUFFER) != 0) fill(r.stencil, 8);
    if ((flags & MODE_MULTISAMPLE) != 0) fill(r.samples, 4);
}

PixelFormatAttributes build_pixel_format_attributes(const PixelRequest& r) {
    PixelFormatAttributes list;
    auto pair = [&list](int attribute, int value) {
        list.values[static_cast<std::size_t>(list.count++)] = attribute;
        list.values[static_cast<std::size_t>(list.count++)] = value;
    };
    auto optional = [&pair](int attribute, int value) {
        if (value != 0) pair(attribute, value);
    };
    pair(WGL_DRAW_TO_WINDOW_ARB, 1);
    pair(WGL_ACCELERATION_ARB, WGL_FULL_ACCELERATION_ARB);
    pair(WGL_DOUBLE_BUFFER_ARB, 1);
    pair(WGL_COLOR_BITS_ARB, r.colour);
    pair(WGL_RED_BITS_ARB, r.red);
    pair(WGL_GREEN_BITS_ARB, r.green);
    pair(WGL_BLUE_BITS_ARB, r.blue);
    pair(WGL_ALPHA_BITS_ARB, r.alpha);
    pair(WGL_DEPTH_BITS_ARB, r.depth);
    optional(WGL_ACCUM_BITS_ARB, r.accum);
    optional(WGL_ACCUM_RED_BITS_ARB, r.accum_red);
    optional(WGL_ACCUM_GREEN_BITS_ARB, r.accum_green);
    optional(WGL_ACCUM_BLUE_BITS_ARB, r.accum_blue);
    optional(WGL_ACCUM_ALPHA_BITS_ARB, r.accum_alpha);
    optional(WGL_STENCIL_BITS_ARB, r.stencil);
    if (r.samples != 0) {
        pair(WGL_SAMPLE_BUFFERS_ARB, 1);
        pair(WGL_SAMPLES_ARB, r.samples);
        list.samples_index = list.count - 1;
    }
    list.values[static_cast<std::size_t>(list.count++)] = 0;
    return list;
}

} // namespace zered
