#include "gfx/core/block_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace zered;

// An operation on a window of a buffer: destination, a source elsewhere in the buffer, element
// count, a random value (colour or fill byte).
using Op = void (*)(std::uint8_t* window, const std::uint8_t* source, int count,
                    std::uint32_t value);

template <std::size_t Size, std::uint32_t (*rule)(std::uint32_t, std::uint32_t)>
void per_element(std::uint8_t* w, const std::uint8_t*, int count, std::uint32_t value) {
    for (int i = 0; i < count; ++i, w += Size) {
        std::uint32_t old = 0;
        std::memcpy(&old, w, Size);
        const std::uint32_t now = rule(old, value);
        std::memcpy(w, &now, Size);
    }
}

std::uint32_t solid(std::uint32_t, std::uint32_t c) {
    return c;
}
std::uint32_t low_byte(std::uint32_t, std::uint32_t c) {
    return c & 0xFF;
}
// The blend rules written out independently: the plain one mixes red and blue in one word and
// copies c's alpha byte; the vector one moves every byte by floor((c - d) * a / 256).
std::uint32_t plain_blend(std::uint32_t d, std::uint32_t c) {
    std::uint32_t a = c >> 24;
    std::uint32_t rb = (d & 0xFF00FF) + ((((c & 0xFF00FF) - (d & 0xFF00FF)) * a) >> 8);
    std::uint32_t g = (d & 0xFF00) + ((((c & 0xFF00) - (d & 0xFF00)) * a) >> 8);
    return (rb & 0xFF00FF) | (g & 0xFF00) | (c & 0xFF000000);
}
std::uint32_t byte_blend(std::uint32_t d, std::uint32_t c) {
    const double a = c >> 24;
    std::uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        const double db = (d >> i) & 0xFF, cb = (c >> i) & 0xFF;
        out |= static_cast<std::uint32_t>(db + std::floor((cb - db) * a / 256)) << i;
    }
    return out;
}

// Runs once per vector level; the plain routines and the C library's copy and fill do not depend
// on it, the vector ones take their SSE2 or AVX2 path by it.
class BlockOpsAtLevel : public testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        if (GetParam() > vector_level_detected())
            GTEST_SKIP() << "the processor lacks vector level " << GetParam();
        limit_vector_level(GetParam());
    }
    void TearDown() override { limit_vector_level(vector_level_highest); }
};

INSTANTIATE_TEST_SUITE_P(Levels, BlockOpsAtLevel,
                         testing::Values(vector_level_sse2, vector_level_avx2));

TEST_P(BlockOpsAtLevel, RoutinesMatchTheirReferencesAtEveryLengthAndStart) {
    struct Case {
        const char* name;
        Op routine, reference;
        std::size_t element;
    };
    const Op copy_ref = [](auto w, auto s, int n, auto) { std::memmove(w, s, n); };
    const Case cases[] = {
        {"copy", [](auto w, auto s, int n, auto) { copy_bytes(w, s, n); }, copy_ref, 1},
        {"fill", [](auto w, auto, int n, auto v) { fill_bytes(w, int(v), n); },
         per_element<1, low_byte>, 1},
        {"fill, plain routines forced",
         [](auto w, auto, int n, auto v) {
             force_plain_routines(true);
             fill_bytes(w, int(v), n);
             force_plain_routines(false);
         },
         per_element<1, low_byte>, 1},
        {"fill8 vector", [](auto w, auto, int n, auto v) { fill8_vector(w, v, n); },
         per_element<1, low_byte>, 1},
        {"fill16 plain", [](auto w, auto, int n, auto v) { fill16_plain(w, v, n); },
         per_element<2, solid>, 2},
        {"fill16 vector", [](auto w, auto, int n, auto v) { fill16_vector(w, v, n); },
         per_element<2, solid>, 2},
        {"fill32 plain", [](auto w, auto, int n, auto v) { fill32_plain(w, v, n); },
         per_element<4, solid>, 4},
        {"fill32 vector", [](auto w, auto, int n, auto v) { fill32_vector(w, v, n); },
         per_element<4, solid>, 4},
        {"blend plain", [](auto w, auto, int n, auto v) { blend_fill32_plain(w, v, n); },
         per_element<4, plain_blend>, 4},
        {"blend vector", [](auto w, auto, int n, auto v) { blend_fill32_vector(w, v, n); },
         per_element<4, byte_blend>, 4},
    };
    // Same random bytes for routine and reference, window starts 0 to 31 (the source's vary
    // too), counts 0 to 64: the whole buffers must agree, so stray writes show as well.
    std::mt19937 random(20240611);
    for (const Case& c : cases) {
        const std::size_t area = 32 + 64 * c.element + 32;
        for (std::size_t start = 0; start < 32; ++start)
            for (int count = 0; count <= 64; ++count) {
                std::vector<std::uint8_t> got(2 * area);
                for (auto& byte : got)
                    byte = static_cast<std::uint8_t>(random());
                std::vector<std::uint8_t> want = got;
                const auto value = static_cast<std::uint32_t>(random());
                const std::size_t window = 16 + start, source = area + (start * 7) % 16;
                c.routine(got.data() + window, got.data() + source, count, value);
                c.reference(want.data() + window, want.data() + source, count, value);
                ASSERT_EQ(got, want) << c.name << " start " << start << " count " << count;
            }
    }
    for (int i = 0; i < 1000; ++i) { // the single-pixel forms behind the blending put_pixel
        const std::uint32_t d = random(), c = random();
        ASSERT_EQ(blend_pixel(d, c), plain_blend(d, c));
        ASSERT_EQ(blend_pixel_bytes(d, c), byte_blend(d, c));
    }
}

TEST(BlockOps, SpanFillsOfNoPixelsOrFewerWriteNothing) {
    using Fill = void (*)(void*, std::uint32_t, int);
    for (const Fill fill : {Fill{fill8_vector}, Fill{fill16_plain}, Fill{fill16_vector},
                            Fill{fill32_plain}, Fill{fill32_vector}, Fill{blend_fill32_plain},
                            Fill{blend_fill32_vector}})
        for (const int count : {0, -1, -7}) {
            std::vector<std::uint8_t> data(64, 0xA5);
            fill(data.data() + 16, 0x80123456u, count);
            ASSERT_EQ(data, std::vector<std::uint8_t>(64, 0xA5)) << count;
        }
}

// The features the routines are chosen by, as the compiler's own processor checks report them.
TEST(BlockOps, ProcessorFeaturesAsTheProcessorReportsThem) {
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__) && defined(__SSE2__)
    __builtin_cpu_init();
    EXPECT_EQ(cpu_has_mmx(), __builtin_cpu_supports("mmx") != 0);
    // At least the level each extension stands for, and below it without the extension.
    EXPECT_EQ(vector_level_detected() >= vector_level_avx2, __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(vector_level_detected() >= vector_level_ssse3, __builtin_cpu_supports("ssse3") != 0);
#endif
    force_plain_routines(true);
    EXPECT_FALSE(cpu_has_mmx());
    force_plain_routines(false);
}

TEST(BlockOps, CopyTowardsLowerAddressesSurvivesOverlap) {
    for (std::size_t distance : {1u, 3u, 8u, 15u, 16u, 40u}) {
        std::vector<std::uint8_t> data(300);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i);
        copy_bytes(data.data() + 5, data.data() + 5 + distance, 200);
        for (std::size_t i = 0; i < 200; ++i)
            ASSERT_EQ(data[5 + i], static_cast<std::uint8_t>(5 + distance + i)) << distance;
    }
}

TEST(BlockOps, CopyPixelsMovesTheSetPixelSize) {
    for (const int size : {1, 2, 4}) {
        set_copy_pixel_size(size);
        std::vector<std::uint8_t> data(40);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i);
        copy_pixels(data.data(), data.data() + 20, 3);
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(data[i], i < 3 * size ? 20 + i : i) << size;
    }
    set_copy_pixel_size(1);
}

} // namespace
