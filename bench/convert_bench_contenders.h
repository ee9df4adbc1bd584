// The contenders of convert_bench: ours (what a screen uses, also with the palette changed before
// every frame and capped at AVX2), pixman, SDL2 and memcpy of the destination's bytes, set up for
// one format pair on shared frame buffers; and the check of each contender's bytes against ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace convert_bench {

struct Pair {
    std::string name;
    int fb_depth; // 8, 16 or 32
    int display;  // 8, 15, 16, 24 or 32
    bool red_low;
};

struct Size {
    int width, height;
};

inline constexpr Size sizes[] = {{640, 480}, {1920, 1080}};

enum Contender {
    ours,
    pixman,
    sdl2,
    memcpy_rate,
    ours_palette_changes, // palettised pairs: one palette entry changed before every frame
    ours_avx2,            // palettised pairs: the vector level capped at AVX2
    ours_avx2_palette_changes,
    contender_count
};
inline const char* const contender_names[] = {
    "ours", "pixman", "SDL2", "memcpy", "ours, palette changes", "ours at AVX2",
    "ours at AVX2, palette changes"};
// Whether the contender runs for the pair at all.
bool contends(int contender, const Pair& pair);

int display_bytes(int depth);

// Buffers shared by every benchmark of one frame size: a framebuffer of each depth filled with
// the same random bytes, one destination large enough for any display format, and the source of
// the memcpy runs.
struct Frame {
    Size size;
    std::vector<std::uint8_t> framebuffer[3]; // 8-, 16- and 32-bit
    std::vector<std::uint8_t> destination;
    std::vector<std::uint8_t> copy_source;

    explicit Frame(Size s);
    std::uint8_t* source(int depth);
    std::int64_t pixels() const { return std::int64_t{size.width} * size.height; }
    std::size_t display_size(const Pair& pair) const;
};

Frame& frame(int size_index);

// One contender set up for one pair and frame: run() converts (or copies) the whole frame into the
// frame's destination. ok() is false when the contender has no way to do the pair.
class Runner {
  public:
    virtual ~Runner() = default;
    virtual bool ok() const { return true; }
    virtual void run() = 0;
};

std::unique_ptr<Runner> make_runner(int contender, const Pair& pair, Frame& f);

// Outcome of the one comparison before timing, per pair, size and contender.
struct Check {
    bool timed = false;  // ok and, where compared, the same bytes
    std::string verdict; // for the report
};

// Runs the contender once and compares its bytes with ours (reference) where the formats agree.
Check check_against_ours(int contender, const Pair& pair, Frame& f,
                         const std::vector<std::uint8_t>& reference);

// Every source and display format pair of the converter tables, and the 8-bit copy.
std::vector<Pair> table_pairs();

} // namespace convert_bench
