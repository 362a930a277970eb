// put_image and the blit kernels. Every kernel of every variant (plain, MMX,
// and SSE2 where the build has it) is checked against a per-pixel reference
// written here; the dispatcher against the positioning, clamping, clipping,
// refusal, overlap and dirty-line cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "gfx/blit.h"
#include "gfx/blit_kernels.h"
#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "tests/support/fake_driver.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::BLIT_ALPHA;
using gfx::BLIT_AND;
using gfx::BLIT_COPY;
using gfx::BLIT_CUSTOM;
using gfx::BLIT_INVERT;
using gfx::BLIT_OR;
using gfx::BLIT_TRANSPARENT;
using gfx::BLIT_XOR;
using gfx::ImageHeader;
using gfx::REL_ABSOLUTE;
using gfx::SOURCE_WHOLE;
using gfx::screen;
using gfx::blit::KernelSet;
using test_support::ScreenTest;

bool have_mmx() { return (gfx::cpu_features() & gfx::CPU_FEATURE_MMX) != 0; }

// ---- Reference ----------------------------------------------------------------

int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// d + floor((s - d) * f / unit) for one channel.
uint32_t mix(uint32_t s, uint32_t d, int f, int unit) {
    return static_cast<uint32_t>(static_cast<int>(d) + floor_div((static_cast<int>(s) - static_cast<int>(d)) * f, unit));
}

uint32_t channel(uint32_t p, int shift, uint32_t bits) { return (p >> shift) & ((1u << bits) - 1); }

uint32_t ref_blend32(uint32_t s, uint32_t d, int a) {
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) out |= mix(channel(s, shift, 8), channel(d, shift, 8), a, 256) << shift;
    return out;  // top byte 0
}

uint32_t ref_blend16(uint32_t s, uint32_t d, int c) {
    return (mix(channel(s, 11, 5), channel(d, 11, 5), c, 32) << 11) |
           (mix(channel(s, 5, 6), channel(d, 5, 6), c, 32) << 5) | mix(channel(s, 0, 5), channel(d, 0, 5), c, 32);
}

bool ref_is_mask(uint32_t p, int bpp) {
    if (bpp == 1) return p == 0;
    if (bpp == 2) return p == 0xF81F;
    return (p & 0xFFFFFF) == 0xFF00FF;
}

// Mixes its arguments so that swapped or dropped arguments show.
uint32_t test_blend(uint32_t s, uint32_t d) { return (s * 3u + (d >> 1)) ^ 0x00A5C3E1u; }

uint32_t rgb_to_565(uint32_t r) {
    return (channel(r, 19, 5) << 11) | (channel(r, 10, 6) << 5) | channel(r, 3, 5);
}

enum Slot { COPY, INVERT, AND, OR, XOR, TRANSPARENT, ALPHA_PIXEL, ALPHA_CONSTANT, CUSTOM };
const char* const kSlotNames[] = {"copy", "invert", "and", "or", "xor", "transparent", "alpha_pixel",
                                  "alpha_constant", "custom"};

gfx::BlitKernel slot_kernel(const KernelSet& set, Slot slot) {
    const gfx::BlitKernel kernels[] = {set.copy,        set.invert,      set.bit_and,        set.bit_or, set.bit_xor,
                                       set.transparent, set.alpha_pixel, set.alpha_constant, set.custom};
    return kernels[slot];
}

// New destination pixel by the kernel of `slot` at `bpp` bytes per pixel.
uint32_t reference(Slot slot, int bpp, uint32_t s, uint32_t d, int alpha) {
    const uint32_t all = bpp == 4 ? 0xFFFFFFFFu : (1u << (8 * bpp)) - 1;
    switch (slot) {
        case COPY: return s;
        case INVERT: return ~s & all;
        case AND: return s & d;
        case OR: return s | d;
        case XOR: return s ^ d;
        case TRANSPARENT: return ref_is_mask(s, bpp) ? d : (bpp == 4 ? s & 0xFFFFFF : s);
        case ALPHA_PIXEL: return bpp == 4 ? ref_blend32(s, d, static_cast<int>(s >> 24) + 1) : s;
        case ALPHA_CONSTANT:
            if (bpp == 1) return reference(TRANSPARENT, bpp, s, d, alpha);
            if (ref_is_mask(s, bpp)) return d;
            return bpp == 4 ? ref_blend32(s, d, alpha + 1) : ref_blend16(s, d, (alpha + 7) >> 3);
        case CUSTOM:
            if (bpp == 1) return test_blend(s, d) & 0xFF;
            if (bpp == 2)
                return rgb_to_565(test_blend(gfx::pixel_to_rgb(static_cast<uint16_t>(s)),
                                             gfx::pixel_to_rgb(static_cast<uint16_t>(d))));
            return test_blend(s, d);
    }
    return 0;
}

uint32_t get_pixel(const uint8_t* p, int bpp) {
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(bpp));
    return v;
}
void put_pixel(uint8_t* p, int bpp, uint32_t v) { std::memcpy(p, &v, static_cast<size_t>(bpp)); }

// A random pixel; about one in four is a mask colour (32-bit ones with a
// random top byte), and 32-bit top bytes favour 0 and 255.
uint32_t random_pixel(std::mt19937& rng, int bpp) {
    const uint32_t r = static_cast<uint32_t>(rng());
    if (r % 4 == 0) return bpp == 1 ? 0 : bpp == 2 ? 0xF81F : (rng() & 0xFF000000u) | 0xFF00FF;
    if (bpp == 1) return r & 0xFF;
    if (bpp == 2) return r & 0xFFFF;
    const uint32_t top[] = {0x00000000u, 0xFF000000u, static_cast<uint32_t>(rng()) & 0xFF000000u};
    return (rng() & 0xFFFFFF) | top[r % 3];
}

// ---- Kernels against the reference ---------------------------------------------

enum class Variant { plain, mmx, sse2 };

struct KernelCase {
    int bpp;
    Variant variant;
};

const KernelSet* variant_set(Variant variant, int bpp) {
    switch (variant) {
        case Variant::plain: return gfx::blit::kernels_plain(bpp);
        case Variant::mmx: return gfx::blit::kernels_mmx(bpp);
        case Variant::sse2: return gfx::blit::kernels_sse2(bpp);
    }
    return nullptr;
}

class Kernels : public testing::TestWithParam<KernelCase> {
protected:
    void SetUp() override {
        if (GetParam().variant != Variant::plain && !have_mmx()) GTEST_SKIP() << "no MMX on this processor";
        set_ = variant_set(GetParam().variant, GetParam().bpp);
        ASSERT_NE(set_, nullptr);
        gfx::blit::blend_current = test_blend;
    }
    void TearDown() override { gfx::blit::blend_current = nullptr; }

    // Runs one kernel on random rows of every width from 1 to 40 and a few
    // longer ones, with pitches wider than the rows, odd start addresses and
    // random bytes between the destination rows that must stay untouched.
    void check(Slot slot, int alpha) {
        const int bpp = GetParam().bpp;
        const gfx::BlitKernel kernel = slot_kernel(*set_, slot);
        ASSERT_NE(kernel, nullptr);
        std::mt19937 rng(static_cast<unsigned>(bpp * 1000 + slot * 10 + alpha));
        std::vector<int> widths;
        for (int w = 1; w <= 40; ++w) widths.push_back(w);
        for (int w : {63, 64, 65, 127, 641}) widths.push_back(w);
        const int height = 3;
        for (int width : widths) {
            const int row = width * bpp;
            const int src_pitch = row + 3, dst_pitch = row + 5, offset = 1;
            std::vector<uint8_t> src(static_cast<size_t>(offset + src_pitch * height));
            std::vector<uint8_t> dst(static_cast<size_t>(offset + dst_pitch * height));
            for (auto& b : src) b = static_cast<uint8_t>(rng());
            for (auto& b : dst) b = static_cast<uint8_t>(rng());
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    put_pixel(&src[offset + y * src_pitch + x * bpp], bpp, random_pixel(rng, bpp));
                    put_pixel(&dst[offset + y * dst_pitch + x * bpp], bpp, random_pixel(rng, bpp));
                }
            }
            std::vector<uint8_t> expected = dst;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    uint8_t* d = &expected[offset + y * dst_pitch + x * bpp];
                    const uint32_t s = get_pixel(&src[offset + y * src_pitch + x * bpp], bpp);
                    put_pixel(d, bpp, reference(slot, bpp, s, get_pixel(d, bpp), alpha));
                }
            }
            kernel(&src[offset], &dst[offset], width, height, src_pitch, dst_pitch, alpha);
            for (size_t i = 0; i < dst.size(); ++i) {
                if (dst[i] != expected[i]) {
                    const int at = static_cast<int>(i) - offset;
                    ADD_FAILURE() << kSlotNames[slot] << " alpha " << alpha << " width " << width << ": byte "
                                  << at % dst_pitch << " of row " << at / dst_pitch << " is " << int{dst[i]}
                                  << ", expected " << int{expected[i]};
                    return;
                }
            }
        }
    }

    const KernelSet* set_ = nullptr;
};

TEST_P(Kernels, BytewiseModes) {
    for (Slot slot : {COPY, INVERT, AND, OR, XOR}) check(slot, -1);
}

TEST_P(Kernels, Transparent) { check(TRANSPARENT, 255); }

TEST_P(Kernels, PerPixelAlpha) { check(ALPHA_PIXEL, -1); }

TEST_P(Kernels, ConstantAlpha) {
    for (int alpha : {1, 7, 8, 100, 127, 128, 200, 247, 254}) check(ALPHA_CONSTANT, alpha);
}

TEST_P(Kernels, Custom) { check(CUSTOM, -1); }

TEST_P(Kernels, CustomWithoutAFunctionDrawsNothing) {
    gfx::blit::blend_current = nullptr;
    uint8_t src[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t dst[16] = {};
    set_->custom(src, dst, 16 / GetParam().bpp, 1, 16, 16, 0);
    for (uint8_t b : dst) EXPECT_EQ(b, 0);
}

TEST_P(Kernels, EmptyRectanglesTouchNothing) {
    uint8_t src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t dst[8] = {};
    for (Slot slot : {COPY, INVERT, AND, OR, XOR, TRANSPARENT, ALPHA_PIXEL, ALPHA_CONSTANT, CUSTOM}) {
        slot_kernel(*set_, slot)(src, dst, 0, 1, 8, 8, 100);
        slot_kernel(*set_, slot)(src, dst, 2, 0, 8, 8, 100);
        slot_kernel(*set_, slot)(src, dst, -1, 1, 8, 8, 100);
    }
    for (uint8_t b : dst) EXPECT_EQ(b, 0);
}

std::string kernel_case_name(const testing::TestParamInfo<KernelCase>& info) {
    static const char* const kVariants[] = {"plain", "mmx", "sse2"};
    return std::to_string(info.param.bpp * 8) + "bit_" + kVariants[static_cast<int>(info.param.variant)];
}

std::vector<KernelCase> kernel_cases() {
    std::vector<KernelCase> cases;
    for (int bpp : {1, 2, 4}) {
        cases.push_back({bpp, Variant::plain});
        cases.push_back({bpp, Variant::mmx});
#if defined(__SSE2__)
        cases.push_back({bpp, Variant::sse2});
#endif
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, Kernels, testing::ValuesIn(kernel_cases()), kernel_case_name);

// The SSE2 set exists exactly where the build targets SSE2, and the screen's
// vector set is the widest one.
TEST(KernelSets, VectorSetIsTheWidestBuilt) {
    for (int bpp : {1, 2, 4}) {
#if defined(__SSE2__)
        ASSERT_NE(gfx::blit::kernels_sse2(bpp), nullptr);
        EXPECT_EQ(gfx::blit::kernels_vector(bpp), gfx::blit::kernels_sse2(bpp));
#else
        EXPECT_EQ(gfx::blit::kernels_sse2(bpp), nullptr);
        EXPECT_EQ(gfx::blit::kernels_vector(bpp), gfx::blit::kernels_mmx(bpp));
#endif
        EXPECT_NE(gfx::blit::kernels_vector(bpp), gfx::blit::kernels_plain(bpp));
    }
    for (int bpp : {0, 3, 8}) {
        EXPECT_EQ(gfx::blit::kernels_plain(bpp), nullptr);
        EXPECT_EQ(gfx::blit::kernels_vector(bpp), nullptr);
    }
}

// ---- put_image through the screen, plain and vector ----------------------------------

// Screens opened with the plain or (where the processor has MMX) the vector
// kernels.
class PutImage : public ScreenTest, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (GetParam() && !have_mmx()) GTEST_SKIP() << "no MMX on this processor";
    }
    void TearDown() override {
        for (ImageHeader* image : images_) gfx::image_destroy(image);
        ScreenTest::TearDown();
    }

    void open(int width, int height, int depth, int pages = 1) {
        gfx::simd_force_plain(!GetParam());
        open_null(width, height, depth, pages);
    }

    // An image of raw pixel values, released at the end of the test.
    ImageHeader* image(int width, int height, uint32_t pixel = 0) {
        ImageHeader* made = gfx::image_create(width, height, 0);
        EXPECT_NE(made, nullptr);
        images_.push_back(made);
        for (int i = 0; i < width * height; ++i) set(made, i % width, i / width, pixel);
        return made;
    }
    static int bpp() { return screen->bytes_per_pixel; }
    static uint8_t* at(ImageHeader* img, int x, int y) {
        return gfx::image_pixels(img) + (static_cast<size_t>(y) * gfx::image_width(img) + x) * bpp();
    }
    static uint32_t get(ImageHeader* img, int x, int y) { return get_pixel(at(img, x, y), bpp()); }
    static void set(ImageHeader* img, int x, int y, uint32_t v) { put_pixel(at(img, x, y), bpp(), v); }

    int32_t put(ImageHeader* target, float x, float y, const ImageHeader* source, int32_t mode, int32_t alpha = -1,
                gfx::BlendFunction blend = nullptr) {
        return gfx::put_image(target, x, y, source, SOURCE_WHOLE, 0, 0, 0, REL_ABSOLUTE, mode, alpha, blend);
    }

    std::vector<ImageHeader*> images_;
};

// One source pixel over one destination pixel. The rows are 21 pixels wide,
// so the vector kernels of every width meet the value both in the pixels
// before their first whole vector and in whole vectors.
TEST_P(PutImage, BlendAndModeValues) {
    struct Case {
        int depth;
        int32_t mode, alpha;
        uint32_t source, destination, expected;
        const char* what;
    } cases[] = {
        {32, BLIT_ALPHA, 127, 0xFFFFFF, 0x000000, 0x7F7F7F, "half of white over black"},
        {32, BLIT_ALPHA, 127, 0x000000, 0xFFFFFF, 0x7F7F7F, "half of black over white rounds down"},
        {32, BLIT_ALPHA, 127, 0xAAFF00FF, 0x55123456, 0x55123456, "mask colour with any top byte is skipped"},
        {32, BLIT_ALPHA, 127, 0xAA102030, 0x55000000, 0x00081018, "the top byte is cleared"},
        {32, BLIT_ALPHA, -1, 0x80FF0000, 0x000000FF, 0x0080007E, "per-pixel factor 129"},
        {32, BLIT_ALPHA, -1, 0x00000000, 0x000000FF, 0x000000FE, "per-pixel factor 1 still moves"},
        {32, BLIT_ALPHA, -1, 0xFF123456, 0xAB654321, 0x00123456, "per-pixel factor 256 copies the colour"},
        {16, BLIT_ALPHA, 128, 0xFFFF, 0x0000, 0x7BEF, "16-bit half of white"},
        {16, BLIT_ALPHA, 128, 0xF81F, 0x1234, 0x1234, "16-bit mask colour is skipped"},
        {16, BLIT_ALPHA, -1, 0x1234, 0xFFFF, 0x1234, "16-bit per-pixel alpha copies"},
        {8, BLIT_ALPHA, -1, 0x00, 0x42, 0x00, "8-bit per-pixel alpha copies, index 0 too"},
        {8, BLIT_ALPHA, 100, 0x00, 0x42, 0x42, "8-bit constant alpha is transparent"},
        {8, BLIT_ALPHA, 100, 0x07, 0x42, 0x07, "8-bit constant alpha copies other indices"},
        {32, BLIT_ALPHA, 255, 0xAB123456, 0x00FFFFFF, 0x00123456, "alpha 255 is transparent"},
        {32, BLIT_ALPHA, 511, 0xAB123456, 0x00FFFFFF, 0x00123456, "alpha 511 is transparent"},
        {32, BLIT_ALPHA, 511, 0x01FF00FF, 0x00ABCDEF, 0x00ABCDEF, "alpha 511 skips the mask colour"},
        {16, BLIT_ALPHA, 255, 0xF81F, 0x1234, 0x1234, "16-bit alpha 255 skips the mask colour"},
        {16, BLIT_ALPHA, 255, 0x4321, 0x1234, 0x4321, "16-bit alpha 255 copies"},
        {32, BLIT_ALPHA, 300, 0xAB123456, 0x00FFFFFF, 0x00123456, "alpha above 255 is fully opaque"},
        {16, BLIT_ALPHA, 1000, 0x4321, 0x1234, 0x4321, "16-bit alpha above 255 is fully opaque"},
        {32, BLIT_ALPHA, 0, 0xFFFFFF, 0x00123456, 0x00123456, "alpha 0 draws nothing"},
        {16, BLIT_ALPHA, 0, 0xFFFF, 0x1234, 0x1234, "16-bit alpha 0 draws nothing"},
        {8, BLIT_ALPHA, 0, 0x07, 0x42, 0x42, "8-bit alpha 0 draws nothing"},
        {32, BLIT_TRANSPARENT, 0, 0xAB123456, 0xFFFFFFFF, 0x00123456, "transparent clears the top byte"},
        {32, BLIT_TRANSPARENT, 0, 0x00FF00FF, 0xFFFFFFFF, 0xFFFFFFFF, "transparent skips the mask colour"},
        {16, BLIT_TRANSPARENT, 0, 0xF81F, 0x1234, 0x1234, "16-bit mask colour"},
        {8, BLIT_TRANSPARENT, 0, 0x00, 0x42, 0x42, "8-bit index 0"},
        {32, BLIT_COPY, 0, 0xAB123456, 0x00FFFFFF, 0xAB123456, "copy keeps the top byte"},
        {32, 9, 0, 0xAB123456, 0x00FFFFFF, 0xAB123456, "mode 9 copies"},
        {32, -3, 0, 0xAB123456, 0x00FFFFFF, 0xAB123456, "a negative mode copies"},
        {8, BLIT_INVERT, 0, 0x05, 0x42, 0xFA, "invert is not masked to the palette"},
        {32, BLIT_INVERT, 0, 0x00123456, 0, 0xFFEDCBA9, "invert changes the top byte"},
        {16, BLIT_AND, 0, 0xF0F0, 0x3C3C, 0x3030, "and"},
        {16, BLIT_OR, 0, 0xF0F0, 0x3C3C, 0xFCFC, "or"},
        {32, BLIT_XOR, 0, 0xF0F0F0F0, 0x3C3C3C3C, 0xCCCCCCCC, "xor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open(16, 16, c.depth);
        ImageHeader* src = image(21, 2, c.source);
        ImageHeader* dst = image(21, 2, c.destination);
        EXPECT_EQ(put(dst, 0, 0, src, c.mode, c.alpha), 0);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 21; ++x) EXPECT_EQ(get(dst, x, y), c.expected) << "pixel " << x << "," << y;
    }
}

TEST_P(PutImage, CustomBlendAndItsAbsence) {
    open(16, 16, 32);
    ImageHeader* src = image(5, 1, 0x00010203);
    ImageHeader* dst = image(5, 1, 0x00102030);
    EXPECT_EQ(put(dst, 0, 0, src, BLIT_CUSTOM, 0, test_blend), 0);
    EXPECT_EQ(get(dst, 4, 0), test_blend(0x00010203, 0x00102030));
    // Without a function nothing is drawn, not even with the one given before.
    const uint32_t before = get(dst, 0, 0);
    EXPECT_EQ(put(dst, 0, 0, src, BLIT_CUSTOM, 0, nullptr), 0);
    EXPECT_EQ(rt::error_get(), 0);
    EXPECT_EQ(get(dst, 0, 0), before);
}

TEST_P(PutImage, SourceRectanglesAndClipping) {
    struct Case {
        float x, y;
        int32_t x1, y1, x2, y2;
        int src_x, src_y, w, h, dst_x, dst_y;  // what lands where; w 0: nothing
        const char* what;
    } cases[] = {
        {0, 0, SOURCE_WHOLE, 99, -99, 7, 0, 0, 10, 10, 0, 0, "whole image, other corners ignored"},
        {20, 30, -5, -5, 3, 2, 0, 0, 4, 3, 20, 30, "corners clamped into the image"},
        {20, 30, 3, 2, -5, -5, 0, 0, 4, 3, 20, 30, "corners in either order"},
        {20, 30, 20, 0, 30, 0, 9, 0, 1, 1, 20, 30, "a rectangle right of the image is its last column"},
        {20, 30, 2, 3, 4, 7, 2, 3, 3, 5, 20, 30, "an inner rectangle"},
        {-3, 95, SOURCE_WHOLE, 0, 0, 0, 3, 0, 7, 5, 0, 95, "clipped left and bottom"},
        {95, -4, SOURCE_WHOLE, 0, 0, 0, 0, 4, 5, 6, 95, 0, "clipped top and right"},
        {-2.5f, 0.49f, SOURCE_WHOLE, 0, 0, 0, 3, 0, 7, 10, 0, 0, "position rounded halves away from zero"},
        {100, 0, SOURCE_WHOLE, 0, 0, 0, 0, 0, 0, 0, 0, 0, "right of the target"},
        {-10, 0, SOURCE_WHOLE, 0, 0, 0, 0, 0, 0, 0, 0, 0, "left of the target"},
        {0, 100, SOURCE_WHOLE, 0, 0, 0, 0, 0, 0, 0, 0, 0, "below the target"},
        {0, -10, SOURCE_WHOLE, 0, 0, 0, 0, 0, 0, 0, 0, 0, "above the target"},
        {-3e9f, 3e9f, SOURCE_WHOLE, 0, 0, 0, 0, 0, 0, 0, 0, 0, "far outside the int range"},
    };
    open(16, 16, 32);
    ImageHeader* src = image(10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) set(src, x, y, 0x01000000u * (y + 1) + x + 1);
    ImageHeader* dst = image(100, 100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(gfx::image_pixels(dst), 0, 100 * 100 * 4);
        EXPECT_EQ(gfx::put_image(dst, c.x, c.y, src, c.x1, c.y1, c.x2, c.y2, REL_ABSOLUTE, BLIT_COPY, -1, nullptr),
                  0);
        int wrong = 0;
        for (int y = 0; y < 100 && wrong < 3; ++y) {
            for (int x = 0; x < 100 && wrong < 3; ++x) {
                const bool inside = x >= c.dst_x && x < c.dst_x + c.w && y >= c.dst_y && y < c.dst_y + c.h;
                const uint32_t want = inside ? get(src, c.src_x + x - c.dst_x, c.src_y + y - c.dst_y) : 0;
                if (get(dst, x, y) != want) {
                    ++wrong;
                    ADD_FAILURE() << "at " << x << "," << y << ": " << get(dst, x, y) << ", expected " << want;
                }
            }
        }
    }
}

TEST_P(PutImage, RefusalsAndNothingToDraw) {
    open(16, 16, 16);
    ImageHeader* foreign = gfx::image_create(4, 4, 0);  // bpp 2, made on a 16-bit screen
    ASSERT_NE(foreign, nullptr);
    images_.push_back(foreign);
    open(16, 16, 32);
    ImageHeader* dst = image(8, 8, 0x11111111);

    // A foreign bpp: refused after the target and the last point moved.
    screen->last_x = 1;
    screen->last_y = 2;
    EXPECT_EQ(gfx::put_image(dst, 3, 4, foreign, SOURCE_WHOLE, 0, 0, 0, gfx::REL_FROM_LAST, BLIT_COPY, -1, nullptr),
              1);
    EXPECT_EQ(rt::error_get(), rt::ERR_ILLEGAL);
    EXPECT_EQ(screen->target, dst);
    EXPECT_EQ(screen->last_x, 4.0f);
    EXPECT_EQ(screen->last_y, 6.0f);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(get(dst, i % 8, i / 8), 0x11111111u);

    // A null source (a missing logo): nothing drawn, no error, last point kept.
    rt::error_set(0);
    EXPECT_EQ(put(nullptr, 5, 6, nullptr, BLIT_COPY), 0);
    EXPECT_EQ(rt::error_get(), 0);
    EXPECT_EQ(screen->target, nullptr);
    EXPECT_EQ(screen->last_x, 5.0f);

    // The older header form (bpp 0) is taken in the current format.
    ImageHeader* older = image(2, 1, 0x00ABCDEF);
    gfx::image_header_set(older, 0, 2, 1);
    EXPECT_EQ(put(dst, 6, 0, older, BLIT_COPY), 0);
    EXPECT_EQ(get(dst, 7, 0), 0x00ABCDEFu);

    // A header of width or height 0 has nothing to draw.
    ImageHeader* empty = image(1, 1, 0x22);
    gfx::image_header_set(empty, 4, 0, 1);
    EXPECT_EQ(put(dst, 0, 0, empty, BLIT_COPY), 0);
    gfx::image_header_set(empty, 4, 1, 0);
    EXPECT_EQ(gfx::put_image(dst, 0, 0, empty, 0, 0, 5, 5, REL_ABSOLUTE, BLIT_COPY, -1, nullptr), 0);
    EXPECT_EQ(get(dst, 0, 0), 0x11111111u);
    EXPECT_EQ(rt::error_get(), 0);

    // No screen at all.
    gfx::screen_close();
    EXPECT_EQ(put(nullptr, 0, 0, foreign, BLIT_COPY), 1);
    EXPECT_EQ(rt::error_get(), rt::ERR_ILLEGAL);
}

// An image drawn onto itself reads the source as it was before the call,
// whatever the direction of the shift.
TEST_P(PutImage, ImageOntoItself) {
    struct Mode {
        int32_t mode, alpha;
    } modes[] = {{BLIT_COPY, -1}, {BLIT_XOR, -1}, {BLIT_TRANSPARENT, -1}, {BLIT_ALPHA, 100}, {BLIT_ALPHA, -1}};
    const int shifts[][2] = {{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}, {3, 2}, {-2, -3}, {5, -1}, {-4, 4}};
    open(16, 16, 32);
    std::mt19937 rng(7);
    for (const auto& m : modes) {
        for (const auto& shift : shifts) {
            SCOPED_TRACE(testing::Message() << "mode " << m.mode << " alpha " << m.alpha << " shift " << shift[0]
                                            << "," << shift[1]);
            ImageHeader* img = image(13, 11);
            for (int i = 0; i < 13 * 11; ++i) set(img, i % 13, i / 13, random_pixel(rng, 4));
            std::vector<uint32_t> before(13 * 11), expected(13 * 11);
            for (int i = 0; i < 13 * 11; ++i) before[i] = expected[i] = get(img, i % 13, i / 13);
            // Source rectangle (2, 1)-(10, 8) drawn at (2 + dx, 1 + dy).
            const Slot slot = m.mode == BLIT_COPY  ? COPY
                              : m.mode == BLIT_XOR ? XOR
                              : m.mode == BLIT_TRANSPARENT ? TRANSPARENT
                              : m.alpha < 0 ? ALPHA_PIXEL
                                            : ALPHA_CONSTANT;
            for (int y = 1; y <= 8; ++y) {
                for (int x = 2; x <= 10; ++x) {
                    const int tx = x + shift[0], ty = y + shift[1];
                    if (tx < 0 || ty < 0 || tx >= 13 || ty >= 11) continue;
                    expected[ty * 13 + tx] = reference(slot, 4, before[y * 13 + x], before[ty * 13 + tx], m.alpha);
                }
            }
            EXPECT_EQ(gfx::put_image(img, 2.0f + shift[0], 1.0f + shift[1], img, 2, 1, 10, 8, REL_ABSOLUTE, m.mode,
                                     m.alpha, nullptr),
                      0);
            for (int i = 0; i < 13 * 11; ++i)
                ASSERT_EQ(get(img, i % 13, i / 13), expected[i]) << "pixel " << i % 13 << "," << i / 13;
        }
    }
}

// A source whose header was placed inside the target's pixels: the two
// overlap with different pitches.
TEST_P(PutImage, OverlappingImagesOfDifferentWidths) {
    open(16, 16, 32);
    ImageHeader* big = image(20, 20);
    std::mt19937 rng(11);
    for (int i = 0; i < 400; ++i) set(big, i % 20, i / 20, rng());
    auto* inner = reinterpret_cast<ImageHeader*>(at(big, 0, 2));  // pixels from (1, 2) on, 6 per row
    gfx::image_header_set(inner, 4, 6, 9);
    std::vector<uint32_t> before(400), source(6 * 9);
    for (int i = 0; i < 400; ++i) before[i] = get(big, i % 20, i / 20);
    for (int i = 0; i < 6 * 9; ++i) source[i] = before[2 * 20 + 1 + i];  // row-less run of pixels
    EXPECT_EQ(put(big, 3, 1, inner, BLIT_COPY), 0);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 3 && x < 9 && y >= 1 && y < 10;
            const uint32_t want = inside ? source[(y - 1) * 6 + (x - 3)] : before[y * 20 + x];
            ASSERT_EQ(get(big, x, y), want) << "pixel " << x << "," << y;
        }
    }
}

TEST_P(PutImage, MarksExactlyTheClippedRowsOfTheVisiblePage) {
    open(32, 40, 16);
    ImageHeader* src = image(10, 10, 0x1234);
    std::memset(screen->dirty, 0, 40);
    EXPECT_EQ(put(nullptr, 5, -3, src, BLIT_COPY), 0);
    for (int y = 0; y < 40; ++y) EXPECT_EQ(screen->dirty[y] != 0, y < 7) << "line " << y;
    EXPECT_EQ(get_pixel(screen->pages[0] + 6 * screen->pitch + 5 * 2, 2), 0x1234u);
    EXPECT_EQ(get_pixel(screen->pages[0] + 7 * screen->pitch + 5 * 2, 2), 0u);

    std::memset(screen->dirty, 0, 40);
    EXPECT_EQ(put(nullptr, 0, 35, src, BLIT_COPY), 0);
    for (int y = 0; y < 40; ++y) EXPECT_EQ(screen->dirty[y] != 0, y >= 35) << "line " << y;

    // Drawing on an image, or missing the screen, marks nothing.
    std::memset(screen->dirty, 0, 40);
    EXPECT_EQ(put(image(20, 20), 0, 0, src, BLIT_COPY), 0);
    EXPECT_EQ(put(nullptr, 40, 0, src, BLIT_COPY), 0);
    for (int y = 0; y < 40; ++y) EXPECT_EQ(screen->dirty[y], 0) << "line " << y;
}

INSTANTIATE_TEST_SUITE_P(Variants, PutImage, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "vector" : "plain"; });

// ---- Kernel choice and locking --------------------------------------------------------

class BlitDispatch : public ScreenTest {};

TEST_F(BlitDispatch, KernelChoiceByModeAlphaDepthAndVariant) {
    struct Case {
        int32_t mode, alpha;
        Slot slot;  // COPY with `none` set: no kernel
        bool none;
    } cases[] = {{BLIT_TRANSPARENT, 0, TRANSPARENT, false}, {BLIT_COPY, 0, COPY, false},
                 {BLIT_INVERT, 0, INVERT, false},           {BLIT_AND, 0, AND, false},
                 {BLIT_OR, 0, OR, false},                   {BLIT_XOR, 0, XOR, false},
                 {BLIT_ALPHA, -1, ALPHA_PIXEL, false},      {BLIT_ALPHA, -256, ALPHA_PIXEL, false},
                 {BLIT_ALPHA, 0, COPY, true},               {BLIT_ALPHA, 1, ALPHA_CONSTANT, false},
                 {BLIT_ALPHA, 254, ALPHA_CONSTANT, false},  {BLIT_ALPHA, 255, TRANSPARENT, false},
                 {BLIT_ALPHA, 0x1FF, TRANSPARENT, false},   {BLIT_ALPHA, 256, TRANSPARENT, false},
                 {BLIT_CUSTOM, 0, CUSTOM, false},           {8, 0, COPY, false},
                 {9, 0, COPY, false},                       {-1, 0, COPY, false}};
    // The variant changes between screens of one depth, too.
    for (int depth : {8, 16, 32}) {
        for (bool mmx : {false, true, false}) {
            if (mmx && !have_mmx()) continue;
            gfx::simd_force_plain(!mmx);
            open_null(8, 8, depth);
            const KernelSet* set = mmx ? gfx::blit::kernels_vector(screen->bytes_per_pixel)
                                       : gfx::blit::kernels_plain(screen->bytes_per_pixel);
            for (const auto& c : cases) {
                const gfx::BlitKernel chosen = gfx::blit_kernel_select(c.mode, c.alpha, test_blend);
                EXPECT_EQ(chosen, c.none ? nullptr : slot_kernel(*set, c.slot))
                    << "mode " << c.mode << " alpha " << c.alpha << " depth " << depth << (mmx ? " mmx" : " plain");
            }
            EXPECT_EQ(gfx::blit_kernel_select(BLIT_CUSTOM, 0, nullptr), nullptr);
        }
    }
    gfx::screen_close();
    EXPECT_EQ(gfx::blit_kernel_select(BLIT_COPY, 0, nullptr), nullptr);
}

TEST_F(BlitDispatch, OrderRect) {
    struct Case {
        int32_t in[4], out[4];
    } cases[] = {{{1, 2, 3, 4}, {1, 2, 3, 4}}, {{3, 4, 1, 2}, {1, 2, 3, 4}}, {{3, 2, 1, 4}, {1, 2, 3, 4}},
                 {{1, 4, 3, 2}, {1, 2, 3, 4}}, {{-5, 7, -5, 7}, {-5, 7, -5, 7}}};
    for (const auto& c : cases) {
        int32_t v[4] = {c.in[0], c.in[1], c.in[2], c.in[3]};
        gfx::order_rect(&v[0], &v[1], &v[2], &v[3]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(v[i], c.out[i]) << c.in[0] << "," << c.in[1] << "," << c.in[2] << "," << c.in[3];
    }
}

TEST_F(BlitDispatch, DrawsUnderTheLockAndReleasesIt) {
    open_fake(16, 16, 32);
    ImageHeader* src = gfx::image_create(4, 4, 0x123456);
    auto& state = test_support::fake_state(0);
    const int locks = state.lock_calls, unlocks = state.unlock_calls;
    EXPECT_EQ(gfx::put_image(nullptr, 2, 2, src, SOURCE_WHOLE, 0, 0, 0, REL_ABSOLUTE, BLIT_COPY, -1, nullptr), 0);
    EXPECT_EQ(state.lock_calls - locks, 1);
    EXPECT_EQ(state.unlock_calls - unlocks, 1);
    EXPECT_EQ(screen->flags & (gfx::ScreenState::locked | gfx::ScreenState::lock_owned), 0u);
    // Inside an operation that holds the lock, no second lock is taken.
    screen->flags |= gfx::ScreenState::locked | gfx::ScreenState::lock_owned;
    EXPECT_EQ(gfx::put_image(nullptr, 2, 2, src, SOURCE_WHOLE, 0, 0, 0, REL_ABSOLUTE, BLIT_XOR, -1, nullptr), 0);
    EXPECT_EQ(state.lock_calls - locks, 1);
    EXPECT_EQ(gfx::pixel_get(nullptr, 2, 2), 0);  // xor of the same pixels
    EXPECT_EQ(state.unlock_calls - unlocks, 1);
    screen->flags &= ~static_cast<uint32_t>(gfx::ScreenState::locked | gfx::ScreenState::lock_owned);
    gfx::image_destroy(src);
}

}  // namespace
