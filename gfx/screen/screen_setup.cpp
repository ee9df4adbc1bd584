#include "gfx/screen/screen_setup.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/console/console_ops.h"
#include "gfx/console/console_ports.h"
#include "gfx/console/key_input.h"
#include "gfx/console/line_editor.h"
#include "gfx/console/screen_sleep.h"
#include "gfx/console/text_output.h"
#include "gfx/core/builtin_data.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"

namespace zered {

namespace {

inline constexpr int result_ok = 0;
inline constexpr int result_failed = 1;
inline constexpr int vga_palette_index = 3;
inline constexpr int font_8x8 = 0;

constexpr std::array<ModeInfo, mode_count> mode_table{{
    {},                                     // 0: closes the screen; nothing of it is read
    {320, 200, 2, 1, 8, 1, 0, 40, 25},      // 1
    {640, 200, 1, 2, 1, 1, 0, 80, 25},      // 2
    {}, {}, {}, {},                         // 3 to 6: no such modes
    {320, 200, 4, 1, 8, 1, 0, 40, 25},      // 7
    {640, 200, 4, 2, 4, 1, 0, 80, 25},      // 8
    {640, 350, 4, 1, 2, 2, 1, 80, 25},      // 9
    {640, 350, 1, 1, 2, 0, 1, 80, 25},      // 10
    {640, 480, 1, 1, 1, 0, 2, 80, 30},      // 11
    {640, 480, 4, 1, 1, 3, 2, 80, 30},      // 12
    {320, 200, 8, 1, 1, 3, 0, 40, 25},      // 13
    {320, 240, 8, 1, 1, 3, 0, 40, 30},      // 14
    {400, 300, 8, 1, 1, 3, 0, 50, 37},      // 15
    {512, 384, 8, 1, 1, 3, 2, 64, 24},      // 16
    {640, 400, 8, 1, 1, 3, 2, 80, 25},      // 17
    {640, 480, 8, 1, 1, 3, 2, 80, 30},      // 18
    {800, 600, 8, 1, 1, 3, 2, 100, 37},     // 19
    {1024, 768, 8, 1, 1, 3, 2, 128, 48},    // 20
    {1280, 1024, 8, 1, 1, 3, 2, 160, 64},   // 21
}};

// The modes from which on a caller may choose the depth, and the depths it may choose.
inline constexpr int first_mode_with_depth_choice = 14;

// Every buffer of a screen, and all its pages together, stay below this many bytes, so that
// sizes and offsets fit the signed 32-bit values the screen records count in.
inline constexpr std::uint64_t max_screen_bytes = 0x7FFF0000u;

struct SetupState {
    std::unique_ptr<ScreenState> screen; // the open screen, owned
    std::int32_t next_serial = 1;
    std::array<char, window_title_capacity> title{};
    bool title_set = false;
    bool exit_handler_registered = false;
    const DriverChoiceOverride* choice = nullptr;
};

SetupState& state() {
    static SetupState s;
    return s;
}

int record(int result) {
    rt::set_last_error(result);
    return result;
}

// The console operations an open screen takes over: all of them.
rt::ConsoleHooks screen_hooks() {
    rt::ConsoleHooks hooks;
    hooks.read_key_string = read_key_string;
    hooks.wait_key = wait_key;
    hooks.key_waiting = key_waiting;
    hooks.clear_screen = clear_screen;
    hooks.set_colour = set_colour;
    hooks.move_cursor = move_cursor;
    hooks.set_text_size = set_text_size;
    hooks.cursor_column = cursor_column;
    hooks.cursor_row = cursor_row;
    hooks.cursor_position = cursor_position;
    hooks.text_size = text_size;
    hooks.print_text = print_text;
    hooks.print_text_wide = print_text_wide;
    hooks.read_line_raw = read_line_raw;
    hooks.key_down = key_down;
    hooks.query_mouse = query_mouse;
    hooks.move_mouse = move_mouse;
    hooks.port_in = port_in;
    hooks.port_out = port_out;
    hooks.view_changed = view_changed;
    hooks.input_line = input_line;
    hooks.input_line_wide = input_line_wide;
    hooks.read_cell = read_cell;
    hooks.sleep = screen_sleep;
    hooks.console_query = console_query;
    hooks.copy_page = copy_page;
    hooks.set_pages = set_pages;
    return hooks;
}

// Stops the driver, then frees the screen and everything hanging from it.
void tear_down() {
    if (const ScreenState* screen = current_screen(); screen && screen->driver &&
                                                      screen->driver->exit)
        screen->driver->exit();
    set_current_screen(nullptr);
    state().screen.reset();
    // The converters keep their 2 KiB expansion tables themselves, made on first use and kept for
    // the process: the screen core does not reach up into the converters.
}

// What every close does after the tear-down. There is no text console behind this runtime, so
// the 80 by 25 console, its clearing and its view reset of a close by mode 0 have nothing to act
// on: only the runtime's text view is forgotten.
void close_console() {
    rt::console_hooks() = rt::ConsoleHooks{};
    rt::text_view_unset();
}

void close_at_exit() {
    tear_down();
    close_console();
}

bool same_name(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(*a) != lower(*b)) return false;
    }
    return *a == *b;
}

// Builds the screen record with its pages and tables; nullptr when the sizes do not fit or the
// memory cannot be had. Nothing of it is visible until the caller installs it.
std::unique_ptr<ScreenState> build_screen(const ModeRequest& request, int depth) {
    if (request.width <= 0 || request.height <= 0 || request.scanline_size <= 0 ||
        request.pages <= 0 ||
        !page_sizes_fit(request.width, request.height, depth_bytes_per_pixel(depth),
                        request.scanline_size, request.pages))
        return nullptr;
    try {
        auto screen = std::make_unique<ScreenState>();
        screen->mode_num = request.mode;
        screen->default_palette = request.palette >= 0 ? builtin_palette(request.palette) : nullptr;
        screen->scanline_size = request.scanline_size;
        screen->font = request.font >= 0 ? builtin_font(request.font) : nullptr;
        framebuffer_set_geometry(*screen, request.width, request.height, depth);
        allocate_pages(*screen, request.pages);
        allocate_dirty_flags(*screen);
        screen->serial = state().next_serial++;
        return screen;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// One try of one driver. A failed init is always followed by the driver's exit.
bool try_driver(const DisplayDriver& driver, const ScreenState& screen, int refresh_rate,
                ModeFlags flags) {
    if (driver.init && driver.init(window_title(), screen.width, screen.height * screen.scanline_size,
                                   screen.depth, refresh_rate, flags) == 0)
        return true;
    if (driver.exit) driver.exit();
    return false;
}

// The driver for the screen, or nullptr; flags become those the driver accepted.
const DisplayDriver* choose_driver(const ScreenState& screen, int refresh_rate, ModeFlags& flags) {
    if (flags == MODE_NULL) return &null_driver;
    const DriverChoiceOverride* choice = state().choice;
    const char* zered = choice ? choice->zered : std::getenv("ZERED");
    if (zered && same_name(zered, "null")) return &null_driver;
    const std::span<const DisplayDriver* const> drivers =
        choice ? choice->drivers : driver_selection_list();

    struct Pass {
        bool named_only;
        bool flipped;
    };
    static constexpr std::array<Pass, 2> plain_passes{{{false, false}, {false, true}}};
    static constexpr std::array<Pass, 4> named_passes{
        {{true, false}, {false, false}, {true, true}, {false, true}}};
    const std::span<const Pass> passes = zered ? std::span<const Pass>(named_passes)
                                               : std::span<const Pass>(plain_passes);
    for (const Pass& pass : passes) {
        const ModeFlags pass_flags = pass.flipped ? flags ^ MODE_FULLSCREEN : flags;
        for (const DisplayDriver* driver : drivers) {
            if (!driver || (pass.named_only && !same_name(driver->name, zered))) continue;
            for (const int rate : {refresh_rate, 0}) {
                if (try_driver(*driver, screen, rate, pass_flags)) {
                    flags = pass_flags;
                    return driver;
                }
            }
        }
    }
    return nullptr;
}

// Clears the title buffer and keeps at most its capacity less the terminating zero.
const char* store_title(std::string_view title) {
    SetupState& s = state();
    s.title.fill(0);
    std::memcpy(s.title.data(), title.data(), std::min(title.size(), window_title_capacity - 1));
    s.title_set = true;
    return s.title.data();
}

void set_default_title() {
    if (!state().title_set) store_title(title_from_path(program_file_path()));
}

bool valid_sized_depth(int depth) {
    switch (depth) {
    case 1: case 2: case 4: case 8: case 15: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

} // namespace

// Computed in 64 bits from the request alone, before any size is stored: a line, a page, all
// pages and the dirty flags must each fit max_screen_bytes.
bool page_sizes_fit(int width, int height, int bytes_per_pixel, int scanline_size, int pages) {
    const std::uint64_t page = static_cast<std::uint64_t>(width) *
                               static_cast<std::uint64_t>(bytes_per_pixel) *
                               static_cast<std::uint64_t>(height);
    const std::uint64_t all = (page + 2 * page_alignment) * static_cast<std::uint64_t>(pages);
    return all <= max_screen_bytes &&
           static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(scanline_size) <=
               max_screen_bytes;
}

const ModeInfo* mode_info(int mode) {
    if (mode < 0 || mode >= mode_count) return nullptr;
    return &mode_table[static_cast<std::size_t>(mode)];
}

int set_mode(const ModeRequest& request) {
    ModeFlags flags = request.flags;
    int depth = request.depth;
    if (!mode_is_whole_value(flags)) {
        if (flags & MODE_SHAPED_WINDOW) flags |= MODE_NO_SWITCH | MODE_NO_FRAME;
        if ((flags & MODE_OPENGL) && depth < 16) depth = 16;
    }

    tear_down();
    if (request.width == 0) { // mode 0 and the exit handler: no screen
        close_console();
        return result_ok;
    }

    rt::console_hooks() = screen_hooks();
    std::unique_ptr<ScreenState> built = build_screen(request, depth);
    if (!built) {
        close_at_exit();
        return result_failed;
    }
    SetupState& s = state();
    s.screen = std::move(built);
    ScreenState& screen = *s.screen;
    set_current_screen(&screen);

    if (flags != MODE_NULL && (flags & MODE_ALPHA_PRIMITIVES))
        screen.flags |= STATE_ALPHA_PRIMITIVES;
    select_depth_primitives(screen.bytes_per_pixel);
    set_default_title();

    const DisplayDriver* driver = choose_driver(screen, request.refresh_rate, flags);
    if (!driver) {
        close_at_exit();
        return result_failed;
    }
    screen.driver = driver;
    // Unpacked only now, while a threaded driver's window is on its way to the screen: nothing
    // before needs the fonts or palettes.
    unpack_builtin_data();
    palette_set(-1, 0, 0, 0);
    screen.text_cols = request.text_cols;
    screen.text_rows = request.text_rows;

    // The driver's thread presents the page from now on: it is cleared under the screen lock.
    screen_lock();
    bool cleared = true;
    try {
        DrawContext& context = context_get();
        text_cells_reset(context, true);
        context_clear_pages(context, screen);
    } catch (const std::bad_alloc&) {
        cleared = false;
    }
    screen_unlock(0, screen.height - 1);
    if (!cleared) {
        close_at_exit();
        return result_failed;
    }

    if (!s.exit_handler_registered) {
        s.exit_handler_registered = true;
        std::atexit(screen_exit_handler);
    }
    if (flags != MODE_CLOSING_AT_EXIT) rt::text_view_reset();
    return result_ok;
}

int screen_open_sized(int width, int height, int depth, int pages, ModeFlags flags,
                      int refresh_rate) {
    if (height <= 0 || width <= 0 || !valid_sized_depth(depth)) return record(result_failed);
    const FontDesc& font = *builtin_font(font_8x8);
    ModeRequest request;
    request.mode = -1;
    request.width = width;
    request.height = height;
    request.depth = depth;
    request.scanline_size = 1;
    request.pages = pages > 0 ? pages : 1;
    request.refresh_rate = refresh_rate;
    request.palette = vga_palette_index;
    request.font = font_8x8;
    request.flags = flags;
    request.text_cols = width / font.width;
    request.text_rows = height / font.height;
    const int result = set_mode(request);
    if (result == result_ok) rt::standard_output().column = 0;
    return record(result);
}

int screen_open_mode(int mode, int depth, int pages, ModeFlags flags, int refresh_rate) {
    const ModeInfo* row = mode_info(mode);
    if (!row || (mode != 0 && row->width == 0)) return record(result_failed);
    const bool depth_chosen = mode >= first_mode_with_depth_choice &&
                              (depth == 8 || depth == 15 || depth == 16 || depth == 24 ||
                               depth == 32);
    ModeRequest request;
    request.mode = mode;
    request.width = row->width;
    request.height = row->height;
    request.depth = depth_chosen ? depth : row->depth;
    request.scanline_size = row->scanline_size;
    request.pages = pages > 0 ? pages : row->pages;
    request.refresh_rate = refresh_rate;
    request.palette = row->palette;
    request.font = row->font;
    request.flags = flags;
    request.text_cols = row->text_cols;
    request.text_rows = row->text_rows;
    const int result = set_mode(request);
    if (result == result_ok) rt::standard_output().column = 0;
    return record(result);
}

int screen_open_mode_pages(int mode, int work, int visible) {
    const int result = screen_open_mode(mode, 0, 0, 0, 0);
    if (result != result_ok || (work < 0 && visible < 0)) return result;
    return set_pages(work, visible);
}

void screen_set_title(std::string_view title) {
    const char* stored = store_title(title);
    if (const ScreenState* screen = current_screen();
        screen && screen->driver && screen->driver->set_window_title)
        screen->driver->set_window_title(stored);
}

const char* window_title() { return state().title_set ? state().title.data() : nullptr; }

void screen_exit_handler() {
    if (current_screen()) set_mode(ModeRequest{}); // a request of no width only closes
}

std::string title_from_path(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name.substr(0, window_title_capacity - 1));
}

void override_driver_choice(const DriverChoiceOverride* choice) { state().choice = choice; }

} // namespace zered
