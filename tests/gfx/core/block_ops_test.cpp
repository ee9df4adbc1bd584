#include "gfx/core/block_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace zered;

// Each routine is run on a window of a guarded buffer: every start offset 0 to 15 and every
// length 0 to 64 elements, on random data, against a simple reference. The bytes around the
// window must stay as they were.
constexpr std::size_t guard = 32;

struct Buffers {
    std::mt19937 random{20240611};
    std::vector<std::uint8_t> got, want;
    void fill(std::size_t size) {
        got.resize(size);
        for (auto& byte : got) byte = static_cast<std::uint8_t>(random());
        want = got;
    }
};

// The alpha byte rule of the plain blend copies c's alpha; the vector blend moves every byte by
// floor((c - d) * a / 256).
std::uint32_t plain_blend_reference(std::uint32_t d, std::uint32_t c) {
    std::uint32_t a = c >> 24;
    std::uint32_t rb = (d & 0xFF00FF) + ((((c & 0xFF00FF) - (d & 0xFF00FF)) * a) >> 8);
    std::uint32_t g = (d & 0xFF00) + ((((c & 0xFF00) - (d & 0xFF00)) * a) >> 8);
    return (rb & 0xFF00FF) | (g & 0xFF00) | (c & 0xFF000000);
}

std::uint32_t byte_blend_reference(std::uint32_t d, std::uint32_t c) {
    const double a = c >> 24;
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const double db = (d >> (8 * i)) & 0xFF, cb = (c >> (8 * i)) & 0xFF;
        out |= static_cast<std::uint32_t>(db + std::floor((cb - db) * a / 256)) << (8 * i);
    }
    return out;
}

using SpanFn = void (*)(void*, std::uint32_t, int);

// Runs a 4-byte or 2-byte span routine over every window and compares with per-pixel expectations.
void check_span(SpanFn routine, std::size_t pixel_size,
                std::uint32_t (*expect)(std::uint32_t old, std::uint32_t colour)) {
    Buffers b;
    for (std::size_t offset = 0; offset < 16; ++offset)
        for (int count = 0; count <= 64; ++count) {
            b.fill(2 * guard + 64 * pixel_size);
            const auto colour = static_cast<std::uint32_t>(b.random());
            std::uint8_t* start = b.want.data() + guard + offset;
            for (int i = 0; i < count; ++i) {
                std::uint32_t old = 0;
                std::memcpy(&old, start + i * pixel_size, pixel_size);
                const std::uint32_t now = expect(old, colour);
                std::memcpy(start + i * pixel_size, &now, pixel_size);
            }
            routine(b.got.data() + guard + offset, colour, count);
            ASSERT_EQ(b.got, b.want) << "offset " << offset << " count " << count;
        }
}

std::uint32_t solid(std::uint32_t, std::uint32_t colour) { return colour; }

TEST(BlockOps, CopiesAndFillsMatchTheReferenceAtEveryLengthAndAlignment) {
    using CopyFn = void (*)(void*, const void*, std::size_t);
    using FillFn = void (*)(void*, int, std::size_t);
    for (CopyFn copy : {copy_bytes_plain, copy_bytes_vector}) {
        Buffers b;
        for (std::size_t to = 0; to < 16; ++to)
            for (std::size_t from = 0; from < 16; ++from)
                for (std::size_t n = 0; n <= 64; ++n) {
                    b.fill(2 * guard + 2 * 80 + 64);
                    const std::size_t source = guard + 80 + from;
                    for (std::size_t i = 0; i < n; ++i) b.want[guard + to + i] = b.want[source + i];
                    copy(b.got.data() + guard + to, b.got.data() + source, n);
                    ASSERT_EQ(b.got, b.want) << to << " " << from << " " << n;
                }
    }
    for (FillFn fill : {fill_bytes_plain, fill_bytes_vector}) {
        Buffers b;
        for (std::size_t to = 0; to < 16; ++to)
            for (std::size_t n = 0; n <= 64; ++n) {
                b.fill(2 * guard + 64);
                const int value = static_cast<int>(b.random() % 512); // low byte counts
                std::memset(b.want.data() + guard + to, value & 0xFF, n);
                fill(b.got.data() + guard + to, value, n);
                ASSERT_EQ(b.got, b.want) << to << " " << n;
            }
    }
}

TEST(BlockOps, CopyTowardsLowerAddressesSurvivesOverlap) {
    for (auto copy : {copy_bytes_plain, copy_bytes_vector}) {
        for (std::size_t distance : {1u, 3u, 8u, 15u, 16u, 40u}) {
            std::vector<std::uint8_t> data(300);
            for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
            copy(data.data() + 5, data.data() + 5 + distance, 200);
            for (std::size_t i = 0; i < 200; ++i)
                ASSERT_EQ(data[5 + i], static_cast<std::uint8_t>(5 + distance + i)) << distance;
        }
    }
}

TEST(BlockOps, PixelFillsMatchTheReferenceAtEveryLengthAndAlignment) {
    check_span(fill16_plain, 2, solid);
    check_span(fill16_vector, 2, solid);
    check_span(fill32_plain, 4, solid);
    check_span(fill32_vector, 4, solid);
}

TEST(BlockOps, PlainAndVectorBlendsFollowTheirOwnRules) {
    check_span(blend_fill32_plain, 4, plain_blend_reference);
    check_span(blend_fill32_vector, 4, byte_blend_reference);
    // The rules part in the alpha byte: plain copies the colour's, vector moves the old one.
    const std::uint32_t d = 0x10204080, c = 0x80FF0000;
    EXPECT_EQ(blend_pixel(d, c) >> 24, 0x80u);
    EXPECT_EQ(blend_pixel_bytes(d, c) >> 24, 0x10u + ((0x80u - 0x10u) * 0x80u >> 8));
    EXPECT_EQ(blend_pixel(d, c), plain_blend_reference(d, c));
    EXPECT_EQ(blend_pixel_bytes(d, c), byte_blend_reference(d, c));
}

TEST(BlockOps, InstalledRoutinesFollowTheChoiceAndPixelSize) {
    std::uint8_t source[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, dest[12] = {};
    for (bool vector : {false, true}) {
        install_block_routines(vector, 4);
        std::memset(dest, 0, sizeof dest);
        copy_pixels(dest, source, 2); // 8 bytes
        EXPECT_EQ(0, std::memcmp(dest, source, 8));
        EXPECT_EQ(dest[8], 0);
        fill_bytes(dest, 0x1AB, 3);
        EXPECT_EQ(dest[2], 0xAB);
        EXPECT_EQ(dest[3], 4);
    }
    install_block_routines(false, 1);
    force_plain_routines(true);
    EXPECT_FALSE(cpu_has_mmx());
    force_plain_routines(false);
#if defined(__x86_64__)
    EXPECT_TRUE(cpu_has_mmx()); // every x86-64 processor has MMX
#endif
}

} // namespace
