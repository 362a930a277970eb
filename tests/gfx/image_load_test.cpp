// Loading BMP and dump files: conversions per file depth and screen format,
// palettes, the result codes and the error-number rule, hostile files, and
// BMPs written by other programs (fixtures in tests/gfx/fixtures/).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/image_save.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::screen;
using test_support::fake_state;
using test_support::ScreenTest;
using Bytes = std::vector<uint8_t>;

// ---- Files -------------------------------------------------------------

std::string temp_name(const std::string& suffix) { return test_support::test_file_name("load_", suffix); }

void write_file(const std::string& name, const Bytes& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// ---- BMP files put together by hand --------------------------------------

// The stored rows of a picture, bottom row first: value(x, y) is a palette
// index for 1, 4 and 8 bits, 0x00RRGGBB for 24 bits, 0xTTRRGGBB (T the
// fourth byte) for 32. Padding bytes are `pad`, so a reader that takes them
// for pixels shows.
Bytes stored_rows(int width, int height, int bits, const std::function<uint32_t(int, int)>& value, uint8_t pad = 0xEE) {
    Bytes out;
    for (int y = height - 1; y >= 0; --y) {
        Bytes row;
        if (bits < 8) {
            int per_byte = 8 / bits;
            for (int x = 0; x < width; x += per_byte) {
                uint8_t byte = 0;
                for (int k = 0; k < per_byte; ++k) {
                    uint32_t v = x + k < width ? value(x + k, y) : 0;
                    byte = static_cast<uint8_t>(byte | (v << (8 - bits * (k + 1))));
                }
                row.push_back(byte);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                uint32_t v = value(x, y);
                if (bits == 8) {
                    row.push_back(static_cast<uint8_t>(v));
                } else {
                    row.push_back(static_cast<uint8_t>(v));
                    row.push_back(static_cast<uint8_t>(v >> 8));
                    row.push_back(static_cast<uint8_t>(v >> 16));
                    if (bits == 32) row.push_back(static_cast<uint8_t>(v >> 24));
                }
            }
        }
        while (row.size() % 4 != 0) row.push_back(pad);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct Bmp {
    int32_t width = 1, height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t info_size = 40;
    Bytes masks;                    // written right after the information header
    std::vector<uint32_t> palette;  // 0x00RRGGBB, written as blue, green, red, 0
    int64_t offset = -1;            // pixel-row offset; -1: where the rows really start
    Bytes rows;

    Bytes bytes() const {
        Bytes b(54, 0);
        size_t start = 54 + masks.size() + 4 * palette.size();
        b[0] = 'B';
        b[1] = 'M';
        put32(b, 2, static_cast<uint32_t>(start + rows.size()));
        put32(b, 10, offset < 0 ? static_cast<uint32_t>(start) : static_cast<uint32_t>(offset));
        put32(b, 14, info_size);
        put32(b, 18, static_cast<uint32_t>(width));
        put32(b, 22, static_cast<uint32_t>(height));
        put16(b, 26, 1);
        put16(b, 28, bits);
        put32(b, 30, compression);
        b.insert(b.end(), masks.begin(), masks.end());
        for (uint32_t e : palette) {
            b.push_back(static_cast<uint8_t>(e));
            b.push_back(static_cast<uint8_t>(e >> 8));
            b.push_back(static_cast<uint8_t>(e >> 16));
            b.push_back(0);
        }
        b.insert(b.end(), rows.begin(), rows.end());
        return b;
    }
};

uint32_t rgb_at(int x, int y) { return static_cast<uint32_t>(((x * 40 + 7) & 0xFF) << 16 | ((y * 50 + 3) & 0xFF) << 8 | ((x * y * 9 + 1) & 0xFF)); }

uint16_t to565(uint32_t rgb) {
    return static_cast<uint16_t>((((rgb >> 16) & 0xFF) >> 3) << 11 | (((rgb >> 8) & 0xFF) >> 2) << 5 | ((rgb & 0xFF) >> 3));
}

// 0x00BBGGRR, as the screen's palette holds it.
uint32_t palette_entry(uint32_t rgb) { return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16); }

template <typename T>
T pixel_of(const uint8_t* pixels, size_t index) {
    T v;
    std::memcpy(&v, pixels + index * sizeof(T), sizeof(T));
    return v;
}

class ImageLoad : public ScreenTest {
protected:
    int32_t load_bytes(const Bytes& file, gfx::ImageHeader* destination) {
        std::string name = temp_name(".bin");
        write_file(name, file);
        int32_t result = gfx::image_load(name, destination);
        std::remove(name.c_str());
        return result;
    }
};

// ---- Conversions ---------------------------------------------------------------

TEST_F(ImageLoad, TrueColourRowsBottomUpIntoImages) {
    struct Case {
        int depth;
        uint16_t bits;
        int width;
        std::function<uint32_t(int, int)> value;    // what the file holds
        std::function<uint32_t(uint32_t)> expect;   // the native pixel of it
    } cases[] = {
        {32, 24, 5, rgb_at, [](uint32_t v) { return v; }},  // top byte 0
        {32, 32, 3, [](int x, int y) { return rgb_at(x, y) | static_cast<uint32_t>(0x10 + x + 16 * y) << 24; },
         [](uint32_t v) { return v; }},  // the fourth byte kept
        {16, 24, 5, rgb_at, [](uint32_t v) { return static_cast<uint32_t>(to565(v)); }},
        {16, 32, 3, [](int x, int y) { return rgb_at(x, y) | 0xAB000000u; },
         [](uint32_t v) { return static_cast<uint32_t>(to565(v)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit file, depth " << c.depth);
        open_null(16, 16, c.depth);
        const int height = 3;
        Bmp bmp;
        bmp.width = c.width;
        bmp.height = height;
        bmp.bits = c.bits;
        bmp.rows = stored_rows(c.width, height, c.bits, c.value);
        gfx::ImageHeader* image = gfx::image_create(c.width, height, 0);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(load_bytes(bmp.bytes(), image), 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                uint32_t want = c.expect(c.value(x, y));
                size_t i = static_cast<size_t>(y * c.width + x);
                uint32_t got = c.depth == 32 ? pixel_of<uint32_t>(gfx::image_pixels(image), i)
                                             : pixel_of<uint16_t>(gfx::image_pixels(image), i);
                EXPECT_EQ(got, want) << "x " << x << " y " << y;
            }
        }
        gfx::image_destroy(image);
    }
}

TEST_F(ImageLoad, PackedRowsMostSignificantBitsFirstWithPadding) {
    // Width 10 at 1 bit: two data bytes and two padding bytes per row; width
    // 3 at 4 bits: two data bytes and two padding bytes. The files end right
    // after the last row, so a wrong row length either misplaces pixels or
    // runs out of data.
    struct Case {
        uint16_t bits;
        int width;
        size_t file_size;
    } cases[] = {{1, 10, 54 + 8 + 3 * 4}, {4, 3, 54 + 64 + 3 * 4}, {1, 32, 54 + 8 + 3 * 4}, {4, 8, 54 + 64 + 3 * 4}};
    open_null(16, 16, 8);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, width " << c.width);
        const int height = 3;
        uint32_t mask = (1u << c.bits) - 1;
        auto index = [&](int x, int y) { return static_cast<uint32_t>(x * 5 + y * 3 + (x == 0 ? 1 : 0)) & mask; };
        Bmp bmp;
        bmp.width = c.width;
        bmp.height = height;
        bmp.bits = c.bits;
        bmp.palette.assign(size_t{1} << c.bits, 0);
        bmp.rows = stored_rows(c.width, height, c.bits, index);
        Bytes file = bmp.bytes();
        ASSERT_EQ(file.size(), c.file_size);
        gfx::ImageHeader* image = gfx::image_create(c.width, height, 0);
        ASSERT_EQ(load_bytes(file, image), 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                EXPECT_EQ(gfx::image_pixels(image)[y * c.width + x], index(x, y)) << "x " << x << " y " << y;
            }
        }
        gfx::image_destroy(image);
    }
    // Pixel 0 is the most significant bit of the first byte.
    Bmp one;
    one.width = 10;
    one.bits = 1;
    one.palette = {0, 0xFFFFFF};
    one.rows = {0x80, 0x40, 0, 0};
    gfx::ImageHeader* image = gfx::image_create(10, 1, 7);
    ASSERT_EQ(load_bytes(one.bytes(), image), 0);
    const uint8_t want[10] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(std::memcmp(gfx::image_pixels(image), want, 10), 0);
    gfx::image_destroy(image);
}

TEST_F(ImageLoad, PaletteFileOnTrueColourScreensGoesThroughTheFilesPalette) {
    const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x123456};
    Bmp bmp;
    bmp.width = 6;
    bmp.height = 2;
    bmp.bits = 8;
    bmp.palette = palette;
    auto index = [](int x, int y) { return static_cast<uint32_t>((x + y) % 6); };
    bmp.rows = stored_rows(6, 2, 8, index);
    for (int depth : {16, 32}) {
        SCOPED_TRACE(depth);
        open_fake(16, 16, depth);
        gfx::ImageHeader* image = gfx::image_create(6, 2, 0);
        fake_state(0).palette_calls.clear();
        ASSERT_EQ(load_bytes(bmp.bytes(), image), 0);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 6; ++x) {
                uint32_t rgb = palette[index(x, y)];
                size_t i = static_cast<size_t>(y * 6 + x);
                if (depth == 16) {
                    EXPECT_EQ(pixel_of<uint16_t>(gfx::image_pixels(image), i), to565(rgb));
                } else {
                    EXPECT_EQ(pixel_of<uint32_t>(gfx::image_pixels(image), i), rgb);
                }
            }
        }
        // The screen's palette holds the file's entries, and all 256 went to the driver.
        for (size_t i = 0; i < palette.size(); ++i) EXPECT_EQ(screen->palette[i], palette_entry(palette[i])) << i;
        EXPECT_EQ(fake_state(0).palette_calls.size(), 256u);
        EXPECT_EQ((fake_state(0).palette_calls[5]), (std::vector<int>{5, 0x12, 0x34, 0x56}));
        gfx::image_destroy(image);
    }
}

TEST_F(ImageLoad, PaletteIndicesOnPaletteScreensKeepTheirBitsOnly) {
    // An 8-bit file on a 4-bit screen keeps the low four bits of each index.
    gfx::screen_mode(7, 0, 1, -1, 0);
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->depth, 4);
    Bmp bmp;
    bmp.width = 4;
    bmp.bits = 8;
    bmp.rows = {0x13, 0x2F, 0x00, 0xF5};
    ASSERT_EQ(load_bytes(bmp.bytes(), nullptr), 0);
    const uint8_t want[4] = {0x3, 0xF, 0x0, 0x5};
    EXPECT_EQ(std::memcmp(screen->pages[0], want, 4), 0);
}

TEST_F(ImageLoad, BitFieldRowsDecodeThroughTheirMasks) {
    Bmp bmp;
    bmp.width = 2;
    bmp.bits = 32;
    bmp.compression = 3;
    bmp.masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    bmp.rows = stored_rows(2, 1, 32, [](int x, int) { return x == 0 ? 0x7F102030u : 0xFFA0B0C0u; });
    open_null(8, 8, 32);
    gfx::ImageHeader* image = gfx::image_create(2, 1, 0);
    ASSERT_EQ(load_bytes(bmp.bytes(), image), 0);
    // The fourth byte is outside every mask: no part of the colour.
    EXPECT_EQ(pixel_of<uint32_t>(gfx::image_pixels(image), 0), 0x00102030u);
    EXPECT_EQ(pixel_of<uint32_t>(gfx::image_pixels(image), 1), 0x00A0B0C0u);
    gfx::image_destroy(image);
}

// ---- Screens ---------------------------------------------------------------

TEST_F(ImageLoad, BmpLargerThanTheScreenShowsItsTopLeftAndIsReadToTheEnd) {
    open_fake(8, 4, 8);
    auto index = [](int x, int y) { return static_cast<uint32_t>(x + 16 * y); };
    Bmp bmp;
    bmp.width = 12;
    bmp.height = 6;
    bmp.bits = 8;
    bmp.rows = stored_rows(12, 6, 8, index);
    screen->dirty[0] = 0;
    ASSERT_EQ(load_bytes(bmp.bytes(), nullptr), 0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(screen->pages[0][y * 8 + x], index(x, y)) << x << "," << y;
    }
    EXPECT_EQ(screen->dirty[0], 1) << "the visible page's lines are marked";
    EXPECT_EQ(fake_state(0).lock_calls, fake_state(0).unlock_calls);
    EXPECT_GE(fake_state(0).lock_calls, 1);

    // The rows below the screen are read as well: a file that ends inside
    // its last (topmost) row fails although the screen shows none of it.
    Bytes cut = bmp.bytes();
    cut.resize(cut.size() - 1);
    EXPECT_EQ(load_bytes(cut, nullptr), 3);
}

TEST_F(ImageLoad, TrueColourOnAPaletteScreenIsRefused) {
    open_null(8, 8, 8);
    screen->palette[0] = 0x00ABCDEF;
    Bmp bmp;
    bmp.width = 3;
    bmp.height = 2;
    bmp.rows = stored_rows(3, 2, 24, rgb_at);
    gfx::ImageHeader* image = gfx::image_create(4, 4, 9);
    ASSERT_EQ(load_bytes(bmp.bytes(), image), 1);
    // Nothing converted; the header already carries the file's size; the
    // screen's palette is unchanged.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(gfx::image_pixels(image)[i], 9);
    EXPECT_EQ(gfx::image_width(image), 3u);
    EXPECT_EQ(gfx::image_height(image), 2u);
    EXPECT_EQ(screen->palette[0], 0x00ABCDEFu);
    EXPECT_EQ(load_bytes(bmp.bytes(), nullptr), 1);
    EXPECT_EQ(screen->pages[0][0], 0);
    gfx::image_destroy(image);
}

// ---- Result codes ------------------------------------------------------------------

TEST_F(ImageLoad, BadAndUnsupportedBmpFilesAreRefusedBeforeAnythingChanges) {
    Bmp good;
    good.width = 2;
    good.height = 2;
    good.rows = stored_rows(2, 2, 24, rgb_at);
    auto with = [&](const std::function<void(Bmp&)>& change) {
        Bmp b = good;
        change(b);
        return b.bytes();
    };
    Bytes no_m = good.bytes();
    no_m[1] = 'X';
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D};
    Bytes short_header = good.bytes();
    short_header.resize(53);

    struct Case {
        const char* what;
        Bytes file;
        int32_t result;
    } cases[] = {
        {"16 bits", with([](Bmp& b) { b.bits = 16; }), 1},
        {"15 bits", with([](Bmp& b) { b.bits = 15; }), 1},
        {"PNG signature", png, 3},
        {"second byte not M", no_m, 3},
        {"header of 53 bytes", short_header, 3},
        {"12-byte information header", with([](Bmp& b) { b.info_size = 12; }), 3},
        {"124-byte information header", with([](Bmp& b) { b.info_size = 124; }), 3},
        {"2 bits", with([](Bmp& b) { b.bits = 2; }), 3},
        {"0 bits", with([](Bmp& b) { b.bits = 0; }), 3},
        {"7 bits", with([](Bmp& b) { b.bits = 7; }), 3},
        {"64 bits", with([](Bmp& b) { b.bits = 64; }), 3},
        {"run-length compression", with([](Bmp& b) { b.bits = 8; b.compression = 1; }), 3},
        {"unknown compression", with([](Bmp& b) { b.compression = 0x12345; }), 3},
        {"bit fields of a 24-bit file", with([](Bmp& b) { b.compression = 3; b.masks = Bytes(12, 0); }), 3},
        {"bit fields with other masks", with([](Bmp& b) {
             b.bits = 32;
             b.compression = 3;
             b.masks = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
         }), 3},
        {"bit fields, masks missing", with([](Bmp& b) { b.bits = 32; b.compression = 3; b.rows.clear(); }), 3},
        {"negative height (top-down rows)", with([](Bmp& b) { b.height = -2; }), 3},
        {"negative width", with([](Bmp& b) { b.width = -2; }), 3},
        {"row wider than 64 MiB", with([](Bmp& b) { b.width = 0x7FFFFFFF; b.height = 1; }), 3},
        {"palette cut short", with([](Bmp& b) { b.bits = 8; b.rows.clear(); b.offset = 54 + 1024; }), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int depth : {8, 32}) {
            open_null(8, 8, depth);
            screen->palette[1] = 0x00112233;
            gfx::ImageHeader* image = gfx::image_create(4, 4, 5);
            ASSERT_NE(image, nullptr);
            rt::error_set(42);
            EXPECT_EQ(load_bytes(c.file, image), c.result) << "depth " << depth;
            EXPECT_EQ(rt::error_get(), c.file[0] == 'B' ? 42 : 3) << "only the BMP reader leaves the error number";
            EXPECT_EQ(gfx::image_width(image), 4u);
            EXPECT_EQ(gfx::image_height(image), 4u);
            EXPECT_EQ(gfx::image_pixels(image)[0], 5) << "nothing converted";
            EXPECT_EQ(screen->palette[1], 0x00112233u);
            EXPECT_EQ(load_bytes(c.file, nullptr), c.result);
            EXPECT_EQ(screen->pages[0][0], 0);
            gfx::image_destroy(image);
        }
    }
}

TEST_F(ImageLoad, ErrorNumberIsSetEverywhereButTheBmpReader) {
    Bmp bmp;
    bmp.rows = stored_rows(1, 1, 24, rgb_at);
    Bytes sixteen = bmp.bytes();
    sixteen[28] = 16;
    Bytes dump = {0xFE, 4, 0, 0, 0, 8, 0, 1, 0};  // a 1 x 1 header, no pixel bytes
    struct Case {
        const char* what;
        bool screen_open;
        bool to_image;
        const Bytes* file;  // null: no such file
        int32_t result;
        int32_t error;      // the error number after the call, 42 before it
    } cases[] = {
        {"BMP loaded", true, false, nullptr, 0, 42},
        {"16-bit BMP", true, false, &sixteen, 1, 42},
        {"BMP into an image with no screen open", false, true, nullptr, 1, 42},
        {"dump loaded", true, true, &dump, 0, 0},
        {"dump onto no screen", false, false, &dump, 1, 1},
        {"missing file", true, false, nullptr, 2, 2},
        {"unknown first byte", true, false, nullptr, 3, 3},
    };
    Bytes good = bmp.bytes();
    Bytes unknown = {'P', '6'};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gfx::screen_close();
        if (c.screen_open) open_null(4, 4, 32);
        // A buffer of the caller's own, 1 x 1 at 4 bytes per pixel.
        alignas(4) uint8_t buffer[8] = {};
        auto* image = reinterpret_cast<gfx::ImageHeader*>(buffer);
        gfx::image_header_set(image, 4, 1, 1);
        std::string name = temp_name(".bin");
        const Bytes* file = c.file;
        if (file == nullptr && c.result != 2) file = c.result == 3 ? &unknown : &good;
        std::remove(name.c_str());
        if (file != nullptr) write_file(name, *file);
        rt::error_set(42);
        EXPECT_EQ(gfx::image_load(name, c.to_image ? image : nullptr), c.result);
        EXPECT_EQ(rt::error_get(), c.error);
        std::remove(name.c_str());
    }
}

TEST_F(ImageLoad, RowsEndingEarlyKeepWhatWasConverted) {
    open_null(8, 8, 32);
    Bmp bmp;
    bmp.width = 2;
    bmp.height = 3;
    bmp.rows = stored_rows(2, 3, 24, rgb_at);
    Bytes file = bmp.bytes();
    file.resize(file.size() - 8 - 1);  // the top row is gone, the middle row lacks a byte
    gfx::ImageHeader* image = gfx::image_create(2, 3, 0x55);
    EXPECT_EQ(load_bytes(file, image), 3);
    EXPECT_EQ(pixel_of<uint32_t>(gfx::image_pixels(image), 4), rgb_at(0, 2)) << "the bottom row is in";
    EXPECT_EQ(pixel_of<uint32_t>(gfx::image_pixels(image), 2), 0x55u) << "the cut row is not";

    gfx::image_destroy(image);

    // 1- and 4-bit rows need their data bytes but not the padding after the last.
    open_null(8, 8, 8);
    Bmp packed;
    packed.width = 3;
    packed.height = 2;
    packed.bits = 4;
    packed.rows = stored_rows(3, 2, 4, [](int x, int y) { return static_cast<uint32_t>(x + 3 * y + 1); });
    Bytes no_padding = packed.bytes();
    no_padding.resize(no_padding.size() - 2);
    EXPECT_EQ(load_bytes(no_padding, nullptr), 0);
    EXPECT_EQ(screen->pages[0][2], 3) << "pixel (2, 0) comes from the last data byte";
    no_padding.resize(no_padding.size() - 1);
    EXPECT_EQ(load_bytes(no_padding, nullptr), 3);
}

// ---- Hostile files ---------------------------------------------------------

TEST_F(ImageLoad, OversizedOrMisplacedPalettesStayInsideTheTable) {
    open_null(8, 8, 32);
    auto index = [](int x, int) { return static_cast<uint32_t>(x); };
    struct Case {
        const char* what;
        size_t entries;   // palette entries in the file
        int64_t offset;   // -1: right after them
    } cases[] = {
        {"300 entries", 300, -1},
        {"70000 entries", 70000, -1},
        {"offset below 54 (no palette)", 0, 10},
        {"offset 0", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bmp bmp;
        bmp.width = 3;
        bmp.bits = 8;
        for (size_t i = 0; i < c.entries; ++i) bmp.palette.push_back(static_cast<uint32_t>(0x010203 * (i % 256 + 1)));
        bmp.offset = c.offset;
        bmp.rows = stored_rows(3, 1, 8, index);
        for (int i = 0; i < 3; ++i) screen->palette[i] = 0x00332211;  // shows when the file has none
        gfx::ImageHeader* image = gfx::image_create(3, 1, 0);
        ASSERT_EQ(load_bytes(bmp.bytes(), image), 0) << "the rows after the palette are reached";
        for (uint32_t x = 0; x < 3; ++x) {
            uint32_t want = c.entries > 0 ? 0x010203u * (x + 1) : 0x112233u;
            EXPECT_EQ(pixel_of<uint32_t>(gfx::image_pixels(image), x), want) << x;
        }
        gfx::image_destroy(image);
    }
}

TEST_F(ImageLoad, ImagesAreNeverWrittenBeyondTheirBytes) {
    open_null(8, 8, 32);
    // Room for 4 x 4 pixels, followed by a guard area that must stay intact.
    const size_t capacity = 4 + 16 * 4, guard = 64;
    auto fresh = [&](Bytes& buffer) {
        buffer.assign(capacity + guard, 0xC5);
        gfx::image_header_set(reinterpret_cast<gfx::ImageHeader*>(buffer.data()), 4, 4, 4);
    };
    auto guard_intact = [&](const Bytes& buffer) {
        for (size_t i = capacity; i < buffer.size(); ++i) {
            if (buffer[i] != 0xC5) return false;
        }
        return true;
    };
    auto bmp_of = [](int w, int h) {
        Bmp b;
        b.width = w;
        b.height = h;
        b.rows = stored_rows(w, h, 24, rgb_at);
        return b.bytes();
    };
    auto dump_of = [](uint32_t length, uint32_t bpp, uint32_t w, uint32_t h, size_t data_bytes) {
        Bytes d = {0xFE, 0, 0, 0, 0};
        put32(d, 1, length);
        Bytes header(4);
        put16(header, 0, bpp + (w << 3));
        put16(header, 2, h);
        d.insert(d.end(), header.begin(), header.end());
        for (size_t i = 0; i < data_bytes; ++i) d.push_back(static_cast<uint8_t>(i));
        return d;
    };
    struct Case {
        const char* what;
        Bytes file;
        int32_t result;
        uint32_t width_after, height_after;
    } cases[] = {
        {"BMP of exactly the image's size", bmp_of(4, 4), 0, 4, 4},
        {"BMP of fewer pixels", bmp_of(3, 5), 0, 3, 5},
        {"BMP of more pixels", bmp_of(5, 4), 3, 4, 4},
        {"BMP of one row too many", bmp_of(4, 5), 3, 4, 4},
        {"BMP wider than any image", bmp_of(9000, 0), 3, 4, 4},
        {"BMP of width 0", bmp_of(0, 3), 0, 0, 3},
        {"dump of the image's size", dump_of(capacity, 4, 4, 4, 64), 0, 4, 4},
        {"dump longer than the buffer", dump_of(capacity + guard, 4, 4, 4, 64 + guard), 0, 4, 4},
        {"dump installing a bigger header", dump_of(capacity, 4, 8, 8, 64), 3, 4, 4},
        {"dump installing a header of another pixel size", dump_of(capacity, 1, 8, 8, 64), 3, 4, 4},
        {"dump installing an older-form header", dump_of(capacity, 0, 5, 4, 64), 3, 4, 4},
        {"dump installing a smaller header", dump_of(capacity, 4, 2, 2, 64), 0, 2, 2},
        {"dump of 2 bytes", dump_of(2, 4, 1, 4, 0), 0, 1, 4},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "dump of 2 bytes") c.file.resize(7);  // only the first header word
        Bytes buffer;
        fresh(buffer);
        auto* image = reinterpret_cast<gfx::ImageHeader*>(buffer.data());
        EXPECT_EQ(load_bytes(c.file, image), c.result);
        EXPECT_EQ(gfx::image_width(image), c.width_after);
        EXPECT_EQ(gfx::image_height(image), c.height_after);
        EXPECT_TRUE(guard_intact(buffer));
        if (c.result != 0) {
            EXPECT_EQ(buffer[4], 0xC5) << "nothing written";
        }
    }
    // The screen's pixel size counts even for a header that names another:
    // an 8-bit image holds a quarter of what a 32-bit screen would write.
    Bytes small(4 + 16 + guard, 0xC5);
    gfx::image_header_set(reinterpret_cast<gfx::ImageHeader*>(small.data()), 1, 4, 4);
    EXPECT_EQ(load_bytes(bmp_of(4, 4), reinterpret_cast<gfx::ImageHeader*>(small.data())), 3);
    EXPECT_EQ(small[4 + 16], 0xC5);
}

TEST_F(ImageLoad, HugeSizesInTinyFilesEndQuickly) {
    open_null(8, 8, 32);
    struct Case {
        int32_t width, height;
        uint16_t bits;
        int32_t result;
    } cases[] = {
        {1, 0x7FFFFFFF, 24, 3},  // rows run out
        {0, 0x7FFFFFFF, 24, 0},  // nothing to read
        {0x3FFFFF, 1, 32, 3},    // 16 MiB row, allowed, but the file has none
        {0x1000001, 1, 32, 3},   // just over 64 MiB a row: refused before allocating
        {0x7FFFFFFF, 1, 1, 3},   // packed, still too wide
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " at " << c.bits);
        Bmp bmp;
        bmp.width = c.width;
        bmp.height = c.height;
        bmp.bits = c.bits;
        bmp.rows = Bytes(8, 1);
        EXPECT_EQ(load_bytes(bmp.bytes(), nullptr), c.result);
    }
}

// ---- Dumps -----------------------------------------------------------------

TEST_F(ImageLoad, ImageDumpsReloadByteForByte) {
    for (int depth : {8, 16, 32}) {
        SCOPED_TRACE(depth);
        open_null(8, 8, depth);
        gfx::ImageHeader* image = gfx::image_create(3, 2, 0);
        size_t size = 4 + 6 * static_cast<size_t>(screen->bytes_per_pixel);
        for (size_t i = 0; i + 4 < size; ++i) gfx::image_pixels(image)[i] = static_cast<uint8_t>(i * 37 + 5);
        Bytes original(image->bytes, image->bytes + size);
        std::string name = temp_name(".dmp");
        ASSERT_EQ(gfx::image_save(name, image, static_cast<uint32_t>(size)), 0);
        std::memset(gfx::image_pixels(image), 0, size - 4);
        rt::error_set(42);
        ASSERT_EQ(gfx::image_load(name, image), 0);
        EXPECT_EQ(rt::error_get(), 0);
        EXPECT_EQ(Bytes(image->bytes, image->bytes + size), original);
        std::remove(name.c_str());
        gfx::image_destroy(image);
    }
}

TEST_F(ImageLoad, ShortAndTruncatedDumps) {
    open_null(8, 8, 8);
    gfx::ImageHeader* image = gfx::image_create(2, 2, 0);
    // Short form: 0xFD, four ignored bytes, a 16-bit length.
    Bytes short_form = {0xFD, 9, 9, 9, 9, 8, 0, 0x11, 0, 2, 0, 1, 2, 3, 4};
    ASSERT_EQ(load_bytes(short_form, image), 0);
    const uint8_t want[8] = {0x11, 0, 2, 0, 1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(image->bytes, want, 8), 0);
    EXPECT_EQ(gfx::image_width(image), 2u);

    // A long dump shorter than its length loads what is there.
    Bytes truncated = {0xFE, 8, 0, 0, 0, 0x11, 0, 2, 0, 9};
    ASSERT_EQ(load_bytes(truncated, image), 0);
    EXPECT_EQ(gfx::image_pixels(image)[0], 9);
    EXPECT_EQ(gfx::image_pixels(image)[1], 2) << "bytes the file lacks stay";

    // A length field cut short is bad data.
    EXPECT_EQ(load_bytes({0xFE, 8, 0}, image), 3);
    EXPECT_EQ(load_bytes({0xFD, 0, 0, 0, 0, 8}, image), 3);
    gfx::image_destroy(image);
}

TEST_F(ImageLoad, ScreenDumpsLoadThePageAndAFollowingPalette) {
    open_fake(4, 2, 8);
    Bytes page(8);
    for (size_t i = 0; i < 8; ++i) page[i] = static_cast<uint8_t>(0xA0 + i);
    Bytes dump = {0xFE, 8, 0, 0, 0};
    dump.insert(dump.end(), page.begin(), page.end());

    // Ending right after the pixels: the palette stays and is not sent.
    uint32_t before = screen->palette[3];
    fake_state(0).palette_calls.clear();
    screen->dirty[1] = 0;
    ASSERT_EQ(load_bytes(dump, nullptr), 0);
    EXPECT_EQ(Bytes(screen->pages[0], screen->pages[0] + 8), page);
    EXPECT_EQ(screen->palette[3], before);
    EXPECT_TRUE(fake_state(0).palette_calls.empty());
    EXPECT_EQ(screen->dirty[1], 1);

    // With palette bytes after them (red, green, blue, top byte per entry).
    Bytes with_palette = dump;
    for (int i = 0; i < 256; ++i) {
        for (uint8_t b : {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), uint8_t{7}, uint8_t{0}}) with_palette.push_back(b);
    }
    ASSERT_EQ(load_bytes(with_palette, nullptr), 0);
    EXPECT_EQ(screen->palette[3], 0x0007FC03u);
    EXPECT_EQ(screen->palette[255], 0x000700FFu);
    EXPECT_EQ(fake_state(0).palette_calls.size(), 256u);
    EXPECT_EQ(fake_state(0).lock_calls, fake_state(0).unlock_calls);

    // A 16-colour palette (64 bytes) replaces the first 16 entries only.
    Bytes sixteen = dump;
    for (int i = 0; i < 64; ++i) sixteen.push_back(0x40);
    ASSERT_EQ(load_bytes(sixteen, nullptr), 0);
    EXPECT_EQ(screen->palette[15], 0x40404040u);
    EXPECT_EQ(screen->palette[16], 0x00070000u | 16u | (239u << 8));

    // Data longer than the page: the page is filled and the bytes after
    // those loaded are taken for the palette.
    Bytes longer = {0xFE, 10, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0x21, 0x22, 0x23};
    ASSERT_EQ(load_bytes(longer, nullptr), 0);
    EXPECT_EQ(screen->pages[0][7], 8);
    EXPECT_EQ(screen->palette[0] & 0xFFFFFF, 0x232221u);
}

// ---- Files written by other programs ----------------------------------------

struct Fixture {
    const char* name;
    int bits;
};

const Fixture kFixtures[] = {
    {"pil_1bit_w10", 1}, {"im_1bit_w13", 1}, {"im_4bit_w3", 4},   {"im_4bit_w7", 4},
    {"pil_8bit_w5", 8},  {"im_8bit_w6", 8},  {"pil_24bit_w5", 24}, {"im_24bit_w7", 24},
    {"pil_32bit_w3", 32}, {"im_32bit_w5", 32}, {"own_32bit_bitfields_w3", 32},
};

struct Expected {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xTTRRGGBB, T the fourth byte of a 32-bit file
};

Expected read_expected(const std::string& path) {
    Expected e;
    std::ifstream in(path);
    in >> e.width >> e.height;
    uint32_t r, g, b, t;
    while (in >> r >> g >> b >> t) e.pixels.push_back(t << 24 | r << 16 | g << 8 | b);
    return e;
}

std::string fixture_path(const std::string& name) { return std::string(SG_SOURCE_DIR) + "/tests/gfx/fixtures/" + name; }

TEST_F(ImageLoad, BmpFilesOfOtherProgramsLoadAsTheyRead) {
    for (const auto& f : kFixtures) {
        SCOPED_TRACE(f.name);
        Expected e = read_expected(fixture_path(std::string(f.name) + ".txt"));
        ASSERT_GT(e.width, 0);
        ASSERT_EQ(e.pixels.size(), static_cast<size_t>(e.width * e.height));
        std::string bmp = fixture_path(std::string(f.name) + ".bmp");
        for (int depth : {8, 16, 32}) {
            SCOPED_TRACE(depth);
            open_null(e.width + 3, e.height + 2, depth);
            gfx::ImageHeader* image = gfx::image_create(e.width, e.height, 0);
            int32_t into_image = gfx::image_load(bmp, image);
            int32_t onto_screen = gfx::image_load(bmp, nullptr);
            if (depth == 8 && f.bits > 8) {
                EXPECT_EQ(into_image, 1);
                EXPECT_EQ(onto_screen, 1);
                gfx::image_destroy(image);
                continue;
            }
            ASSERT_EQ(into_image, 0);
            ASSERT_EQ(onto_screen, 0);
            for (int y = 0; y < e.height; ++y) {
                for (int x = 0; x < e.width; ++x) {
                    uint32_t want = e.pixels[static_cast<size_t>(y * e.width + x)];
                    size_t i = static_cast<size_t>(y * e.width + x);
                    size_t s = static_cast<size_t>(y * screen->width + x);
                    uint32_t got, shown;
                    if (depth == 8) {
                        got = gfx::image_pixels(image)[i];
                        shown = screen->pages[0][s];
                        uint32_t e8 = screen->palette[got];
                        got = (e8 & 0xFF) << 16 | (e8 & 0xFF00) | (e8 >> 16 & 0xFF);
                        want &= 0xFFFFFF;
                        EXPECT_EQ(shown, gfx::image_pixels(image)[i]);
                    } else if (depth == 16) {
                        got = pixel_of<uint16_t>(gfx::image_pixels(image), i);
                        shown = pixel_of<uint16_t>(screen->pages[0], s);
                        want = to565(want);
                    } else {
                        got = pixel_of<uint32_t>(gfx::image_pixels(image), i);
                        shown = pixel_of<uint32_t>(screen->pages[0], s);
                        if (f.bits != 32) want &= 0xFFFFFF;
                    }
                    EXPECT_EQ(got, want) << "x " << x << " y " << y;
                    if (depth != 8) {
                        EXPECT_EQ(shown, want) << "screen x " << x << " y " << y;
                    }
                }
            }
            gfx::image_destroy(image);
        }
    }
}

}  // namespace
