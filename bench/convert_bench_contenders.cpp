// The contenders of convert_bench and the check of their bytes against ours.
#include "convert_bench_contenders.h"

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "gfx/blit/convert.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/screen_state.h"

namespace convert_bench {

using namespace zered;

int display_bytes(int depth) {
    return depth == 15 ? 2 : depth / 8;
}

bool contends(int contender, const Pair& pair) {
    const bool palettised = pair.fb_depth == 8 && pair.display != 8;
    if (contender <= memcpy_rate) {
        return true;
    }
    // At AVX2 and below the capped contenders would time ours again.
    return palettised &&
           (contender == ours_palette_changes || vector_level_detected() > vector_level_avx2);
}

namespace {

int fb_bytes(int depth) {
    return depth / 8;
}


// The formats of each depth as pixman and SDL2 name them, blue-low first, red-low second. A
// framebuffer of depth 8, 16 or 32 is an 8-bit display's, a blue-low 16-bit one's or a blue-low
// 32-bit one's format. pixman's r8g8b8 is blue first in memory, SDL's RGB24 red first. pixman's
// indexed format c8 serves palettised sources only: as a destination it maps colours back to
// indices through a reverse colour map, which is other work than a copy (with an empty map it
// writes zeros), so the 8-bit copy is timed between a8 images, the same bytes copied.
struct Formats {
    int depth;
    pixman_format_code_t pixman[2];
    Uint32 sdl[2];
};
constexpr Formats formats[] = {
    {8, {PIXMAN_c8, PIXMAN_c8}, {SDL_PIXELFORMAT_INDEX8, SDL_PIXELFORMAT_INDEX8}},
    {15, {PIXMAN_x1r5g5b5, PIXMAN_x1b5g5r5}, {SDL_PIXELFORMAT_RGB555, SDL_PIXELFORMAT_BGR555}},
    {16, {PIXMAN_r5g6b5, PIXMAN_b5g6r5}, {SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_BGR565}},
    {24, {PIXMAN_r8g8b8, PIXMAN_b8g8r8}, {SDL_PIXELFORMAT_BGR24, SDL_PIXELFORMAT_RGB24}},
    {32, {PIXMAN_x8r8g8b8, PIXMAN_x8b8g8r8}, {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_BGR888}},
};
const Formats& formats_of(int depth) {
    for (const Formats& f : formats) {
        if (f.depth == depth) {
            return f;
        }
    }
    return formats[4];
}

} // namespace

Frame::Frame(Size s) : size(s) {
    const auto pixels = static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height);
    std::mt19937 random(7);
    for (int k = 0; k < 3; ++k) {
        framebuffer[k].resize(pixels << k);
        for (auto& byte : framebuffer[k]) {
            byte = static_cast<std::uint8_t>(random());
        }
    }
    destination.assign(pixels * 4, 0);
    copy_source.assign(pixels * 4, 0x5A);
}
std::uint8_t* Frame::source(int depth) {
    return framebuffer[depth == 8 ? 0 : depth == 16 ? 1 : 2].data();
}
std::size_t Frame::display_size(const Pair& pair) const {
    return static_cast<std::size_t>(pixels()) *
           static_cast<std::size_t>(display_bytes(pair.display));
}

Frame& frame(int size_index) {
    static Frame frames[] = {Frame(sizes[0]), Frame(sizes[1])};
    return frames[size_index];
}

namespace {

// The palette as the screen holds it (0x00BBGGRR), as pixman and as SDL want it.
struct Palette {
    std::uint32_t device[256];
    pixman_indexed_t pixman;
    SDL_Color sdl[256];
    Palette() : pixman{} {
        std::mt19937 random(11);
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t e = random() & 0xFFFFFF;
            device[i] = e;
            const std::uint8_t r = e & 0xFF, g = (e >> 8) & 0xFF, b = (e >> 16) & 0xFF;
            pixman.rgba[i] = 0xFF000000u | std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
            sdl[i] = SDL_Color{r, g, b, 255};
        }
    }
};

const Palette& palette() {
    static const Palette p;
    return p;
}

// level: the vector level to cap at while converting; palette_changes: one palette entry changed
// before every frame, as by a program that fades or cycles its colours.
class OursRunner : public Runner {
  public:
    OursRunner(const Pair& pair, Frame& f, int level = vector_level_highest,
               bool palette_changes = false)
        : f_(f), screen_(std::make_unique<ScreenState>()), level_(level),
          palette_changes_(palette_changes) {
        screen_->depth = pair.fb_depth;
        screen_->width = f.size.width;
        screen_->height = f.size.height;
        screen_->bytes_per_pixel = fb_bytes(pair.fb_depth);
        screen_->pitch = f.size.width * screen_->bytes_per_pixel;
        screen_->scanline_size = 1;
        screen_->visible_fb = f.source(pair.fb_depth);
        screen_->dirty.assign(static_cast<std::size_t>(f.size.height), 1);
        std::copy(std::begin(palette().device), std::end(palette().device),
                  screen_->device_palette.begin());
        set_current_screen(screen_.get());
        select_depth_primitives(screen_->bytes_per_pixel); // STATE_HAS_MMX, the block copy
        convert_ = select_converter(pair.display, pair.red_low);
        pitch_ = f.size.width * display_bytes(pair.display);
    }
    ~OursRunner() override { set_current_screen(nullptr); }
    bool ok() const override { return convert_ != nullptr; }
    void run() override {
        if (palette_changes_) {
            screen_->device_palette[changes_++ & 0xFF] ^= 0x010101;
        }
        limit_vector_level(level_);
        convert_(f_.destination.data(), pitch_);
        limit_vector_level(vector_level_highest);
    }

  private:
    Frame& f_;
    std::unique_ptr<ScreenState> screen_;
    ConvertFn convert_ = nullptr;
    std::int32_t pitch_ = 0;
    int level_;
    bool palette_changes_;
    unsigned changes_ = 0;
};

class PixmanRunner : public Runner {
  public:
    PixmanRunner(const Pair& pair, Frame& f) : w_(f.size.width), h_(f.size.height) {
        const bool copy8 = pair.display == 8;
        source_ = pixman_image_create_bits(
            copy8 ? PIXMAN_a8 : formats_of(pair.fb_depth).pixman[0], w_, h_,
            reinterpret_cast<std::uint32_t*>(f.source(pair.fb_depth)),
            w_ * fb_bytes(pair.fb_depth));
        display_ = pixman_image_create_bits(
            copy8 ? PIXMAN_a8 : formats_of(pair.display).pixman[pair.red_low], w_, h_,
            reinterpret_cast<std::uint32_t*>(f.destination.data()),
            w_ * display_bytes(pair.display));
        if (pair.fb_depth == 8 && !copy8 && source_ != nullptr) {
            pixman_image_set_indexed(source_, &palette().pixman);
        }
    }
    ~PixmanRunner() override {
        if (display_ != nullptr) pixman_image_unref(display_);
        if (source_ != nullptr) pixman_image_unref(source_);
    }
    bool ok() const override { return source_ != nullptr && display_ != nullptr; }
    void run() override {
        pixman_image_composite32(PIXMAN_OP_SRC, source_, nullptr, display_, 0, 0, 0, 0, 0, 0, w_,
                                 h_);
    }

  private:
    int w_, h_;
    pixman_image_t* source_ = nullptr;
    pixman_image_t* display_ = nullptr;
};

// SDL_ConvertPixels refuses indexed sources; for them a blit between surfaces over the same
// memory does the same work.
class SdlRunner : public Runner {
  public:
    SdlRunner(const Pair& pair, Frame& f) : pair_(pair), f_(f) {
        const int w = f.size.width, h = f.size.height;
        from_ = formats_of(pair.fb_depth).sdl[0];
        to_ = formats_of(pair.display).sdl[pair.red_low];
        source_pitch_ = w * fb_bytes(pair.fb_depth);
        display_pitch_ = w * display_bytes(pair.display);
        if (pair.fb_depth != 8) {
            ok_ = SDL_ConvertPixels(w, h, from_, f.source(pair.fb_depth), source_pitch_, to_,
                                    f.destination.data(), display_pitch_) == 0;
            return;
        }
        source_ = SDL_CreateRGBSurfaceWithFormatFrom(f.source(8), w, h, 8, source_pitch_, from_);
        display_ = SDL_CreateRGBSurfaceWithFormatFrom(f.destination.data(), w, h,
                                                      static_cast<int>(SDL_BITSPERPIXEL(to_)),
                                                      display_pitch_, to_);
        if (source_ == nullptr || display_ == nullptr) {
            return;
        }
        SDL_SetPaletteColors(source_->format->palette, palette().sdl, 0, 256);
        if (display_->format->palette != nullptr) {
            SDL_SetPaletteColors(display_->format->palette, palette().sdl, 0, 256);
        }
        ok_ = SDL_BlitSurface(source_, nullptr, display_, nullptr) == 0; // builds the blit map
    }
    ~SdlRunner() override {
        SDL_FreeSurface(display_);
        SDL_FreeSurface(source_);
    }
    bool ok() const override { return ok_; }
    void run() override {
        if (source_ != nullptr) {
            SDL_BlitSurface(source_, nullptr, display_, nullptr);
        } else {
            SDL_ConvertPixels(f_.size.width, f_.size.height, from_, f_.source(pair_.fb_depth),
                              source_pitch_, to_, f_.destination.data(), display_pitch_);
        }
    }

  private:
    Pair pair_;
    Frame& f_;
    Uint32 from_ = 0, to_ = 0;
    int source_pitch_ = 0, display_pitch_ = 0;
    SDL_Surface* source_ = nullptr;
    SDL_Surface* display_ = nullptr;
    bool ok_ = false;
};

class MemcpyRunner : public Runner {
  public:
    MemcpyRunner(const Pair& pair, Frame& f) : f_(f), bytes_(f.display_size(pair)) {}
    void run() override { std::memcpy(f_.destination.data(), f_.copy_source.data(), bytes_); }

  private:
    Frame& f_;
    std::size_t bytes_;
};

} // namespace

std::unique_ptr<Runner> make_runner(int contender, const Pair& pair, Frame& f) {
    switch (contender) {
    case ours:
        return std::make_unique<OursRunner>(pair, f);
    case ours_palette_changes:
        return std::make_unique<OursRunner>(pair, f, vector_level_highest, true);
    case ours_avx2:
        return std::make_unique<OursRunner>(pair, f, vector_level_avx2);
    case ours_avx2_palette_changes:
        return std::make_unique<OursRunner>(pair, f, vector_level_avx2, true);
    case pixman:
        return std::make_unique<PixmanRunner>(pair, f);
    case sdl2:
        return std::make_unique<SdlRunner>(pair, f);
    default:
        return std::make_unique<MemcpyRunner>(pair, f);
    }
}

namespace {

// The bits of each destination byte that the formats of both sides define the same way, for
// pixel byte k: bit 15 of a 15-bit pixel and byte 3 of a 32-bit pixel are padding; a 16-bit
// source expanded to 24 or 32 bits has its low bits zero in ours and the top bits repeated in
// the others', so only the field's own 5 or 6 bits (the top of each byte; green is byte 1) count.
std::uint8_t compared_bits(const Pair& pair, int k) {
    if (pair.display == 15 && k == 1) {
        return 0x7F;
    }
    if (pair.display == 32 && k == 3) {
        return 0;
    }
    if (pair.fb_depth == 16 && pair.display >= 24) {
        return k == 1 ? 0xFC : 0xF8;
    }
    return 0xFF;
}

} // namespace

Check check_against_ours(int contender, const Pair& pair, Frame& f,
                         const std::vector<std::uint8_t>& reference) {
    if (contender == memcpy_rate) {
        return {true, "rate anchor, not compared"};
    }
    if (contender > memcpy_rate) {
        return {true, "ours, not compared"}; // the same members; the tests compare the levels
    }
    auto runner = make_runner(contender, pair, f);
    if (!runner->ok()) {
        return {false, "cannot do the pair"};
    }
    const std::size_t bytes = f.display_size(pair);
    std::fill(f.destination.begin(), f.destination.end(), std::uint8_t{0xA5});
    runner->run();
    const int size = display_bytes(pair.display);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        const std::uint8_t mask = compared_bits(pair, static_cast<int>(i % size));
        differing += ((reference[i] ^ f.destination[i]) & mask) != 0;
    }
    if (differing != 0) {
        return {false, "differs in " + std::to_string(differing) + " of " +
                           std::to_string(bytes) + " bytes: not timed"};
    }
    const bool partial = pair.fb_depth == 16 && pair.display >= 24;
    return {true, partial ? "same fields (its low bits repeat the top ones)" : "same bytes"};
}

std::vector<Pair> table_pairs() {
    std::vector<Pair> pairs;
    const char* const sources[] = {"pal", "16", "32"};
    for (const bool red_low : {true, false}) {
        for (int group = 0; group < 3; ++group) {
            for (const int display : {15, 16, 24, 32}) {
                // A blue-low display of the framebuffer's own format is a plain copy.
                const bool copy =
                    !red_low && (group == 1 ? display == 16 : group == 2 && display == 32);
                pairs.push_back({std::string(sources[group]) + " -> " + std::to_string(display) +
                                     (red_low ? " rl" : " bl") + (copy ? " (copy)" : ""),
                                 8 << group, display, red_low});
            }
        }
    }
    pairs.push_back({"pal -> 8 (copy)", 8, 8, false});
    return pairs;
}

} // namespace convert_bench
