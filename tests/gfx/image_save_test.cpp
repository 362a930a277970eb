// Saving BMP and dump files: the header fields, rows and palette written,
// the choice by extension, the result codes, and round trips through
// image_load at every depth.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/runtime.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/image_save.h"
#include "gfx/modes.h"
#include "gfx/screen.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::screen;
using test_support::fake_state;
using test_support::ScreenTest;
using Bytes = std::vector<uint8_t>;

std::string temp_name(const std::string& suffix) { return test_support::test_file_name("save_", suffix); }

// The file's bytes; empty when it does not exist.
Bytes read_file(const std::string& name) {
    Bytes out;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return out;
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return out;
}

bool file_exists(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
}

uint32_t u16(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t u32(const Bytes& b, size_t at) { return u16(b, at) | (u16(b, at + 2) << 16); }

class ImageSave : public ScreenTest {
protected:
    // Saves, reads the file back and removes it.
    Bytes save(const std::string& suffix, gfx::ImageHeader* source, uint32_t length, int32_t expect = 0) {
        std::string name = temp_name(suffix);
        EXPECT_EQ(gfx::image_save(name, source, length), expect) << name;
        Bytes bytes = read_file(name);
        std::remove(name.c_str());
        return bytes;
    }
};

// ---- BMP files -------------------------------------------------------------

TEST_F(ImageSave, ThirtyTwoBitScreenAsA24BitFile) {
    open_null(150, 50, 32);
    uint8_t* page = screen->pages[0];
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 150; ++x) {
            uint32_t v = 0xAA000000u | static_cast<uint32_t>(x) << 16 | static_cast<uint32_t>(y) << 8 | 0x33;
            std::memcpy(page + (y * 150 + x) * 4, &v, 4);
        }
    }
    Bytes f = save("out.bmp", nullptr, 0);
    ASSERT_EQ(f.size(), 22654u);
    struct Field {
        size_t at, size;
        uint32_t value;
    } fields[] = {{0, 2, 0x4D42}, {2, 4, 22654}, {6, 4, 0},  {10, 4, 54}, {14, 4, 40},  {18, 4, 150},
                  {22, 4, 50},    {26, 2, 1},    {28, 2, 24}, {30, 4, 0},  {34, 4, 22600}, {38, 4, 2834},
                  {42, 4, 2834},  {46, 4, 0},    {50, 4, 0}};
    for (const auto& field : fields) {
        EXPECT_EQ(field.size == 2 ? u16(f, field.at) : u32(f, field.at), field.value) << "offset " << field.at;
    }
    // Rows of 452 bytes, bottom row first; the top byte dropped, two zero bytes of padding.
    const size_t R = 452;
    for (int y = 0; y < 50; ++y) {
        size_t row = 54 + static_cast<size_t>(49 - y) * R;
        EXPECT_EQ(f[row + 0], 0x33);
        EXPECT_EQ(f[row + 1], y);
        EXPECT_EQ(f[row + 2], 0);
        EXPECT_EQ(f[row + 3 * 149 + 2], 149);
        EXPECT_EQ(f[row + 450], 0);
        EXPECT_EQ(f[row + 451], 0);
    }
}

TEST_F(ImageSave, PaletteScreenImageAsAn8BitFile) {
    open_null(16, 16, 8);
    for (int i = 0; i < 256; ++i) screen->palette[i] = static_cast<uint32_t>(i | (255 - i) << 8 | (i / 2) << 16 | 0x7F000000);
    gfx::ImageHeader* image = gfx::image_create(5, 1, 0);
    const uint8_t indices[5] = {0, 1, 200, 255, 7};
    std::memcpy(gfx::image_pixels(image), indices, 5);
    Bytes f = save("a.BMP", image, 0);
    ASSERT_EQ(f.size(), 1086u);
    EXPECT_EQ(u32(f, 2), 1086u);
    EXPECT_EQ(u32(f, 10), 1078u);
    EXPECT_EQ(u16(f, 28), 8u);
    EXPECT_EQ(u32(f, 34), 8u);
    EXPECT_EQ(u32(f, 46), 256u);
    EXPECT_EQ(u32(f, 50), 256u);
    for (int i = 0; i < 256; ++i) {
        // Blue, green, red and a zero byte.
        const uint8_t want[4] = {static_cast<uint8_t>(i / 2), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 0};
        EXPECT_EQ(std::memcmp(f.data() + 54 + 4 * i, want, 4), 0) << "entry " << i;
    }
    const uint8_t row[8] = {0, 1, 200, 255, 7, 0, 0, 0};
    EXPECT_EQ(std::memcmp(f.data() + 1078, row, 8), 0);
    gfx::image_destroy(image);
}

TEST_F(ImageSave, TrueColourPixelsBecomeBlueGreenRed) {
    struct Case {
        int depth;
        uint32_t pixel;
        uint8_t blue, green, red;
    } cases[] = {
        {16, 0xF81F, 255, 0, 255}, {16, 0x0400, 0, 130, 0},    {16, 0xFFFF, 255, 255, 255},
        {16, 0x8C51, 140, 138, 140}, {32, 0xAA112233, 0x33, 0x22, 0x11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.pixel);
        open_null(4, 4, c.depth);
        gfx::ImageHeader* image = gfx::image_create(1, 1, 0);
        std::memcpy(gfx::image_pixels(image), &c.pixel, static_cast<size_t>(screen->bytes_per_pixel));
        Bytes f = save(".bmp", image, 0);
        ASSERT_EQ(f.size(), 58u);
        const uint8_t want[4] = {c.blue, c.green, c.red, 0};
        EXPECT_EQ(std::memcmp(f.data() + 54, want, 4), 0);
        gfx::image_destroy(image);
    }
}

TEST_F(ImageSave, TheExtensionChoosesTheFormat) {
    struct Case {
        const char* name;
        bool bmp;
    } cases[] = {
        {"picture.bmp", true},      {"PICTURE.Bmp", true},  {"x.bMP", true},        {"picture.bmp.bak", false},
        {"picture", false},         {"picture.bm", false},  {"picture.bmpx", false}, {"dir.bmp/picture", false},
        {"picture.", false},        {".bmp", true},
    };
    for (const auto& c : cases) EXPECT_EQ(gfx::image_save_is_bmp_name(c.name), c.bmp) << c.name;

    open_null(4, 4, 32);
    EXPECT_EQ(save("PICTURE.Bmp", nullptr, 64)[0], 'B');
    EXPECT_EQ(save("picture.bmp.bak", nullptr, 64)[0], 0xFE);
    EXPECT_EQ(save("picture", nullptr, 64)[0], 0xFE);
}

TEST_F(ImageSave, ImagesMadeForAnotherPixelSizeAreNotSavedAsBmp) {
    open_null(4, 4, 8);
    gfx::ImageHeader* image = gfx::image_create(4, 4, 0);
    open_null(4, 4, 32);  // the 8-bit image holds a quarter of a 32-bit one's bytes
    save(".bmp", image, 0, 1);
    EXPECT_EQ(rt::error_get(), 1);
    // A dump copies the buffer's own bytes and needs no conversion.
    Bytes f = save(".dmp", image, 4 + 16);
    EXPECT_EQ(f.size(), 5u + 20u);
    gfx::image_destroy(image);
}

// ---- Dumps -----------------------------------------------------------------

TEST_F(ImageSave, ImageDumpsCopyTheBufferFromItsHeader) {
    open_null(8, 8, 32);
    gfx::ImageHeader* image = gfx::image_create(3, 2, 0);
    for (size_t i = 0; i < 24; ++i) gfx::image_pixels(image)[i] = static_cast<uint8_t>(i + 1);
    Bytes f = save(".dmp", image, 28);
    ASSERT_EQ(f.size(), 33u);
    const uint8_t head[9] = {0xFE, 28, 0, 0, 0, 0x1C, 0, 2, 0};
    EXPECT_EQ(std::memcmp(f.data(), head, 9), 0);
    EXPECT_EQ(std::memcmp(f.data() + 9, gfx::image_pixels(image), 24), 0);

    // A length beyond the buffer writes the buffer and keeps the length asked for.
    Bytes longer = save(".dmp", image, 1000);
    ASSERT_EQ(longer.size(), 33u);
    EXPECT_EQ(u32(longer, 1), 1000u);

    // Length 0: result 2 and an empty file.
    std::string name = temp_name("_empty.dmp");
    EXPECT_EQ(gfx::image_save(name, image, 0), 2);
    EXPECT_EQ(rt::error_get(), 2);
    EXPECT_TRUE(file_exists(name));
    EXPECT_TRUE(read_file(name).empty());
    std::remove(name.c_str());
    gfx::image_destroy(image);
}

TEST_F(ImageSave, ScreenDumpsEndWithThePaletteOfPaletteScreens) {
    struct Case {
        int mode;        // 0: a free-size 320 x 200 screen of `depth`
        int depth;
        size_t palette_bytes;
    } cases[] = {{0, 8, 1024}, {7, 4, 64}, {0, 16, 0}, {0, 32, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        if (c.mode != 0) {
            gfx::screen_mode(c.mode, 0, 1, -1, 0);
        } else {
            open_null(320, 200, c.depth);
        }
        ASSERT_NE(screen, nullptr);
        size_t page = 64000u * static_cast<size_t>(screen->bytes_per_pixel);
        for (size_t i = 0; i < page; ++i) screen->pages[0][i] = static_cast<uint8_t>(i % 251);
        for (int i = 0; i < 256; ++i) screen->palette[i] = 0x01020304u * static_cast<uint32_t>(i);
        Bytes f = save(".dmp", nullptr, static_cast<uint32_t>(page));
        ASSERT_EQ(f.size(), 5 + page + c.palette_bytes);
        EXPECT_EQ(u32(f, 1), page);
        EXPECT_EQ(std::memcmp(f.data() + 5, screen->pages[0], page), 0);
        for (size_t i = 0; i < c.palette_bytes / 4; ++i) EXPECT_EQ(u32(f, 5 + page + 4 * i), screen->palette[i]) << i;

        // Length 0: the head and the palette.
        EXPECT_EQ(save(".dmp", nullptr, 0).size(), 5 + c.palette_bytes);
        // A length beyond the page: the page, and the length as given.
        Bytes longer = save(".dmp", nullptr, static_cast<uint32_t>(page + 100));
        EXPECT_EQ(longer.size(), 5 + page + c.palette_bytes);
        EXPECT_EQ(u32(longer, 1), page + 100);
    }
}

TEST_F(ImageSave, ScreenDumpsReadThePageUnderTheLock) {
    open_fake(8, 8, 32);
    fake_state(0).lock_calls = fake_state(0).unlock_calls = 0;
    save(".dmp", nullptr, 256);
    EXPECT_EQ(fake_state(0).lock_calls, 1);
    EXPECT_EQ(fake_state(0).unlock_calls, 1);
}

// ---- Result codes ------------------------------------------------------------------

TEST_F(ImageSave, ResultCodesAreAlsoTheErrorNumber) {
    std::string no_screen = temp_name("_no_screen.bmp");
    std::remove(no_screen.c_str());
    rt::error_set(42);
    EXPECT_EQ(gfx::image_save(no_screen, nullptr, 0), 1);
    EXPECT_EQ(rt::error_get(), 1);
    EXPECT_FALSE(file_exists(no_screen)) << "no file is created without a screen";

    open_null(4, 4, 32);
    rt::error_set(42);
    EXPECT_EQ(gfx::image_save("no_such_directory/x.bmp", nullptr, 0), 2);
    EXPECT_EQ(rt::error_get(), 2);
    rt::error_set(42);
    save(".bmp", nullptr, 0, 0);
    EXPECT_EQ(rt::error_get(), 0);
}

#ifndef _WIN32
TEST_F(ImageSave, FailedWritesReportThree) {
    // Every write to /dev/full fails; bytes still buffered fail when the
    // file is closed. A link named .bmp leads the BMP writer there too.
    open_null(4, 4, 8);
    gfx::ImageHeader* image = gfx::image_create(2, 2, 0);
    EXPECT_EQ(gfx::image_save("/dev/full", nullptr, 0), 3);  // a screen dump: head and palette
    EXPECT_EQ(gfx::image_save("/dev/full", image, 8), 3);
    std::string link = temp_name(".bmp");
    std::remove(link.c_str());
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    open_null(400, 400, 32);
    rt::error_set(42);
    EXPECT_EQ(gfx::image_save(link, nullptr, 0), 3);
    EXPECT_EQ(rt::error_get(), 3);
    std::remove(link.c_str());
    gfx::image_destroy(image);
}
#endif

// ---- Round trips ---------------------------------------------------------------

TEST_F(ImageSave, BmpRoundTripsKeepEveryPixelAtEveryDepth) {
    struct Case {
        int mode;  // 0: free-size
        int depth;
        uint32_t keep;  // the bits a 24-bit file keeps of a pixel
    } cases[] = {{7, 4, 0x0F}, {0, 8, 0xFF}, {0, 16, 0xFFFF}, {0, 32, 0x00FFFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        if (c.mode != 0) {
            gfx::screen_mode(c.mode, 0, 1, -1, 0);
        } else {
            open_null(37, 23, c.depth);
        }
        ASSERT_NE(screen, nullptr);
        const int w = 13, h = 7;  // odd, so that rows are padded
        size_t bpp = static_cast<size_t>(screen->bytes_per_pixel);
        gfx::ImageHeader* image = gfx::image_create(w, h, 0);
        for (int i = 0; i < w * h; ++i) {
            uint32_t v = (static_cast<uint32_t>(i) * 0x9E3779B9u) & c.keep;
            std::memcpy(gfx::image_pixels(image) + i * bpp, &v, bpp);
        }
        for (int i = 0; i < 16; ++i) screen->palette[i] = 0x00010101u * static_cast<uint32_t>(i * 16);
        Bytes original(gfx::image_pixels(image), gfx::image_pixels(image) + w * h * bpp);

        std::string name = temp_name(".bmp");
        ASSERT_EQ(gfx::image_save(name, image, 0), 0);
        gfx::ImageHeader* back = gfx::image_create(w, h, 0);
        ASSERT_EQ(gfx::image_load(name, back), 0);
        EXPECT_EQ(Bytes(gfx::image_pixels(back), gfx::image_pixels(back) + w * h * bpp), original);
        // The screen's pixels make the same trip.
        for (int y = 0; y < h; ++y) std::memcpy(screen->pages[0] + y * screen->pitch, original.data() + y * w * bpp, w * bpp);
        Bytes page(screen->pages[0], screen->pages[0] + static_cast<size_t>(screen->height) * screen->pitch);
        ASSERT_EQ(gfx::image_save(name, nullptr, 0), 0);
        std::memset(screen->pages[0], 0, page.size());
        ASSERT_EQ(gfx::image_load(name, nullptr), 0);
        EXPECT_EQ(Bytes(screen->pages[0], screen->pages[0] + page.size()), page);
        if (c.depth <= 8) {
            EXPECT_EQ(screen->palette[15], 0x00F0F0F0u) << "the palette came back too";
        }
        std::remove(name.c_str());
        gfx::image_destroy(image);
        gfx::image_destroy(back);
    }
}

TEST_F(ImageSave, ScreenDumpRoundTripRestoresPageAndPalette) {
    open_fake(16, 8, 8);
    for (size_t i = 0; i < 128; ++i) screen->pages[0][i] = static_cast<uint8_t>(i * 3);
    for (int i = 0; i < 256; ++i) screen->palette[i] = 0x00030201u * static_cast<uint32_t>(i);
    Bytes page(screen->pages[0], screen->pages[0] + 128);
    std::vector<uint32_t> palette(screen->palette, screen->palette + 256);
    std::string name = temp_name(".dmp");
    ASSERT_EQ(gfx::image_save(name, nullptr, 128), 0);
    std::memset(screen->pages[0], 0, 128);
    std::memset(screen->palette, 0, 1024);
    ASSERT_EQ(gfx::image_load(name, nullptr), 0);
    EXPECT_EQ(Bytes(screen->pages[0], screen->pages[0] + 128), page);
    EXPECT_EQ(std::vector<uint32_t>(screen->palette, screen->palette + 256), palette);
    std::remove(name.c_str());
}

}  // namespace
