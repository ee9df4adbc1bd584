// 32-bit framebuffers packed into 16-bit displays: the vector member a screen uses (AVX2 on
// processors with AVX2) against the AVX-512 forms that were candidates for it, and against what
// the memory allows:
// - AVX-512 with the one-instruction narrowing (vpmovdw: 16 dwords to 16 words, no permute), on
//   loads as the buffers lie and on loads aligned to 64 bytes by a plain head;
// - AVX-512 with two vectors joined by one two-source word permute (vpermt2w), 64-byte stores;
// - the AVX2 kernel with non-temporal stores, which skip reading the destination's lines first;
// - reading the source alone, writing the destination alone, and memcpy of the destination's
//   bytes (the figure the converter tables hold the converters to).
// Every candidate's bytes are compared with the plain member's before timing. Frames of 640x480
// and 1920x1080, every line dirty, blue-low 5:6:5 (the other three members of the family share
// the kernel and differ only in its constants); buffers as malloc returns them (16 bytes past a
// 64-byte boundary for blocks this large, as in convert_bench) and aligned to 64 bytes.
// Rates are per second of processor time.
//
//   rgb32_pack_bench [--rounds=N]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <immintrin.h>

#include "gfx/blit/convert.h"
#include "gfx/blit/convert_lines.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/screen_state.h"
#include "interleaved_rounds.h"

namespace {

using namespace zered;
using interleaved_rounds::Contender;

#define AVX512 gnu::target("avx512f,avx512bw,avx512vl")

// The channel constants of the shipped kernel for blue-low 5:6:5: the channels masked to their
// kept bits, blue + 64 * green summed in the low word and red in the high one (maddubs), then
// low + 0x800 * high (madd); the pixel sits 3 bits up.
constexpr int channel_mask = 0x00F8FCF8;
constexpr int byte_weights = 1 << 16 | 64 << 8 | 1;
constexpr int word_weights = 0x800 << 16 | 1;

using Line = void (*)(std::uint8_t* out, const std::uint8_t* in, int width);

void tail(std::uint8_t* out, const std::uint8_t* in, int width) {
    rgb32_line<16, false>(out, in, width, LineInput{});
}

[[gnu::target("avx2")]] __m256i lanes_avx2(__m256i p) {
    const __m256i words = _mm256_maddubs_epi16(_mm256_and_si256(p, _mm256_set1_epi32(channel_mask)),
                                               _mm256_set1_epi32(byte_weights));
    return _mm256_srli_epi32(_mm256_madd_epi16(words, _mm256_set1_epi32(word_weights)), 3);
}

[[AVX512]] __m512i lanes_avx512(__m512i p) {
    const __m512i words = _mm512_maddubs_epi16(_mm512_and_si512(p, _mm512_set1_epi32(channel_mask)),
                                               _mm512_set1_epi32(byte_weights));
    // The zero-masking forms with every lane kept are the same instructions; the plain
    // intrinsics of GCC 12 trip its own uninitialised-value warning.
    return _mm512_maskz_srli_epi32(~__mmask16{0},
                                   _mm512_madd_epi16(words, _mm512_set1_epi32(word_weights)), 3);
}

[[AVX512]] void narrowing(std::uint8_t* out, const std::uint8_t* in, int width) {
    int i = 0;
    for (; i + 16 <= width; i += 16) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i),
                            _mm512_maskz_cvtepi32_epi16(~__mmask16{0}, lanes_avx512(_mm512_loadu_si512(in + 4 * i))));
    }
    tail(out + 2 * i, in + 4 * i, width - i);
}

[[AVX512]] void narrowing_aligned(std::uint8_t* out, const std::uint8_t* in, int width) {
    const int head = std::min<int>(width, (64 - reinterpret_cast<std::uintptr_t>(in) % 64) % 64 / 4);
    tail(out, in, head);
    narrowing(out + 2 * head, in + 4 * head, width - head);
}

[[AVX512]] void word_permute(std::uint8_t* out, const std::uint8_t* in, int width) {
    alignas(64) static constexpr std::uint16_t even_words[32] = {
        0,  2,  4,  6,  8,  10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30,
        32, 34, 36, 38, 40, 42, 44, 46, 48, 50, 52, 54, 56, 58, 60, 62};
    const __m512i order = _mm512_load_si512(even_words);
    int i = 0;
    for (; i + 32 <= width; i += 32) {
        const __m512i a = lanes_avx512(_mm512_loadu_si512(in + 4 * i));
        const __m512i b = lanes_avx512(_mm512_loadu_si512(in + 4 * i + 64));
        _mm512_storeu_si512(out + 2 * i, _mm512_permutex2var_epi16(a, order, b));
    }
    tail(out + 2 * i, in + 4 * i, width - i);
}

[[gnu::target("avx2")]] void streaming(std::uint8_t* out, const std::uint8_t* in, int width) {
    const int head = std::min<int>(width, (32 - reinterpret_cast<std::uintptr_t>(out) % 32) % 32 / 2);
    tail(out, in, head);
    int i = head;
    for (; i + 16 <= width; i += 16) {
        const __m256i a = lanes_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * i)));
        const __m256i b =
            lanes_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * i + 32)));
        _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 2 * i),
                            _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8));
    }
    tail(out + 2 * i, in + 4 * i, width - i);
}

// A buffer of n bytes starting at the given offset past a 64-byte boundary.
class Buffer {
  public:
    Buffer(std::size_t n, std::size_t offset) : storage_(n + 128) {
        const auto base = reinterpret_cast<std::uintptr_t>(storage_.data());
        data_ = storage_.data() + ((64 - base % 64) % 64 + offset);
    }
    std::uint8_t* data() { return data_; }

  private:
    std::vector<std::uint8_t> storage_;
    std::uint8_t* data_;
};

struct Frame {
    int width, height;
    Buffer source, destination, copy_source;
    ScreenState screen;

    Frame(int w, int h, std::size_t offset)
        : width(w), height(h), source(bytes(4), offset), destination(bytes(2), offset),
          copy_source(bytes(2), offset) {
        std::mt19937 random(7);
        for (std::size_t i = 0; i < bytes(4); ++i) source.data()[i] = static_cast<std::uint8_t>(random());
        std::memset(copy_source.data(), 0x5A, bytes(2));
        screen.depth = 32;
        screen.width = w;
        screen.height = h;
        screen.bytes_per_pixel = 4;
        screen.pitch = 4 * w;
        screen.scanline_size = 1;
        screen.dirty.assign(static_cast<std::size_t>(h), 1);
        screen.visible_fb = source.data();
    }
    std::size_t bytes(int per_pixel) const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
               static_cast<std::size_t>(per_pixel);
    }
    void lines(Line line) {
        for (int y = 0; y < height; ++y) {
            line(destination.data() + 2 * width * y, source.data() + 4 * width * y, width);
        }
    }
    void member(ConvertFn convert) {
        set_current_screen(&screen);
        convert(destination.data(), 2 * width);
        set_current_screen(nullptr);
    }
};

// Four independent chains, so that the loads are not held back by the combining.
[[gnu::target("avx2")]] void read_source(Frame& f) {
    __m256i any[4] = {};
    const std::uint8_t* p = f.source.data();
    for (std::size_t i = 0; i + 128 <= f.bytes(4); i += 128) {
        for (int k = 0; k < 4; ++k) {
            any[k] = _mm256_or_si256(
                any[k], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32 * k)));
        }
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(f.destination.data()),
                        _mm256_or_si256(_mm256_or_si256(any[0], any[1]),
                                        _mm256_or_si256(any[2], any[3])));
}

[[gnu::target("avx2")]] void write_destination(Frame& f) {
    const __m256i v = _mm256_set1_epi16(0x1234);
    std::uint8_t* p = f.destination.data();
    for (std::size_t i = 0; i + 32 <= f.bytes(2); i += 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), v);
    }
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 15;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--rounds=", 9) == 0) rounds = std::max(1, std::atoi(argv[i] + 9));
    if (vector_level_detected() < vector_level_avx512) {
        std::printf("This processor lacks AVX-512 (vector level %d): nothing to compare.\n",
                    vector_level_detected());
        return 0;
    }
    std::printf("Vector level %d (0 SSE2, 1 SSSE3, 2 AVX2, 3 AVX-512 with VBMI); %d rounds; "
                "processor time.\n", vector_level_detected(), rounds);

    const struct {
        const char* name;
        Line line;
    } candidates[] = {{"AVX-512, vpmovdw", narrowing},
                      {"AVX-512, vpmovdw, loads aligned", narrowing_aligned},
                      {"AVX-512, vpermt2w, 64-byte stores", word_permute},
                      {"AVX2, non-temporal stores", streaming}};

    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1920, 1080}}) {
        for (const std::size_t offset : {std::size_t{16}, std::size_t{0}}) {
            Frame f(w, h, offset);
            f.member(convert_32_to_16_bl);
            const std::vector<std::uint8_t> plain(f.destination.data(),
                                                  f.destination.data() + f.bytes(2));
            std::vector<Contender> contenders = {
                {"ours (the member a screen uses)", [&] { f.member(convert_32_to_16_bl_mmx); }}};
            for (const auto& c : candidates) {
                std::memset(f.destination.data(), 0xA5, f.bytes(2));
                f.lines(c.line);
                _mm_sfence();
                if (std::memcmp(f.destination.data(), plain.data(), f.bytes(2)) != 0) {
                    std::printf("%s differs from the plain member: not timed\n", c.name);
                    continue;
                }
                contenders.push_back({c.name, [&f, line = c.line] {
                                          f.lines(line);
                                          _mm_sfence();
                                      }});
            }
            contenders.push_back({"read the source only", [&] { read_source(f); }});
            contenders.push_back({"write the destination only", [&] { write_destination(f); }});
            contenders.push_back({"memcpy of the destination's bytes", [&] {
                                      std::memcpy(f.destination.data(), f.copy_source.data(),
                                                  f.bytes(2));
                                  }});
            const std::string title = "32 -> 16 bl, " + std::to_string(w) + "x" +
                                      std::to_string(h) + ", buffers " + std::to_string(offset) +
                                      " bytes past a 64-byte boundary";
            interleaved_rounds::group(title.c_str(), contenders, rounds, double(w) * h,
                                      interleaved_rounds::Clock::processor);
        }
    }
    return 0;
}
