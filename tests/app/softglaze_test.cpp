// The Softglaze tool: output naming, the prompt, the blur and its fast path,
// and whole runs in a child process with keys pushed by the test.
#include "app/softglaze.h"

#include "app/box_blur.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"
#include "gfx/text/keys.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::ImageHeader;
using test_support::ScreenTest;

// ---- Small helpers ---------------------------------------------------------

void put_le(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The 54-byte header of a 24-bit BMP of the given size, rows of `row` bytes.
std::vector<uint8_t> bmp24_header(int32_t width, int32_t height, uint32_t row) {
    std::vector<uint8_t> f;
    put_le(f, 0x4D42, 2);
    put_le(f, 54 + row * static_cast<uint32_t>(height < 0 ? 0 : height), 4);
    put_le(f, 0, 4);
    put_le(f, 54, 4);
    put_le(f, 40, 4);
    put_le(f, static_cast<uint32_t>(width), 4);
    put_le(f, static_cast<uint32_t>(height), 4);
    put_le(f, 1, 2);
    put_le(f, 24, 2);
    for (int i = 0; i < 6; ++i) put_le(f, 0, 4);
    return f;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// A 24-bit bottom-up BMP of the given 0x00RRGGBB pixels (row-major, top row first).
void write_bmp24(const std::string& path, int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    std::vector<uint8_t> f = bmp24_header(width, height, row);
    for (int32_t y = height - 1; y >= 0; --y) {
        size_t start = f.size();
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            f.push_back(static_cast<uint8_t>(p));
            f.push_back(static_cast<uint8_t>(p >> 8));
            f.push_back(static_cast<uint8_t>(p >> 16));
        }
        while (f.size() - start < row) f.push_back(0);
    }
    write_file(path, f);
}

// Only the header of a BMP, claiming the given size.
void write_bmp_header_only(const std::string& path, int32_t width, int32_t height) {
    write_file(path, bmp24_header(width, height, 0));
}

bool file_exists(const std::string& path) { return std::ifstream(path).good(); }

uint32_t image_pixel(const ImageHeader* image, uint32_t x, uint32_t y) {
    uint32_t p;
    std::memcpy(&p, gfx::image_pixels(image) + (static_cast<size_t>(y) * gfx::image_width(image) + x) * 4, 4);
    return p;
}

ImageHeader* random_image(int32_t width, int32_t height, std::mt19937& rng) {
    ImageHeader* image = gfx::image_create(width, height, 0);
    for (int32_t i = 0; i < width * height; ++i) {
        uint32_t p = rng();
        std::memcpy(gfx::image_pixels(image) + static_cast<size_t>(i) * 4, &p, 4);
    }
    return image;
}

// ---- Output naming ---------------------------------------------------------

TEST(OutputName, DropsTheLastFourCharactersWhateverTheyAre) {
    struct Case {
        std::string input;
        int radius;
        std::string output;
    } cases[] = {
        {"C:\\pics\\photo.bmp", 3, "C:\\pics\\photo_sg_3.bmp"},
        {"C:\\pics\\photo", 3, "C:\\pics\\p_sg_3.bmp"},
        {"a.bmp", 5, "a_sg_5.bmp"},
        {"abcd", 9, "_sg_9.bmp"},
        {"abc", 1, "_sg_1.bmp"},
        {"my pictures\\sea side.BMP", 7, "my pictures\\sea side_sg_7.bmp"},
    };
    for (const auto& c : cases) EXPECT_EQ(softglaze::output_name(c.input, c.radius), c.output) << c.input;
}

// ---- The prompt ------------------------------------------------------------

class Prompt : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        gfx::key_queue_clear();
        rt::console_reader_reset();
        gfx::screen_res(150, 50, 32, 2, 0, 0);
        ASSERT_NE(gfx::screen, nullptr);
        rt::console_colour(0xFFFFFF, 0x0245D0);
        printed().clear();
        forward_print = rt::hooks.hook_print;
        rt::hooks.hook_print = recording_print;
    }
    void TearDown() override {
        gfx::key_queue_clear();
        rt::console_reader_reset();
        ScreenTest::TearDown();
    }
    static std::vector<std::string>& printed() {
        static std::vector<std::string> texts;
        return texts;
    }
    static void recording_print(const char* bytes, int length, int flags) {
        printed().emplace_back(bytes, static_cast<size_t>(length));
        forward_print(bytes, length, flags);
    }
    static void (*forward_print)(const char*, int, int);

    // The texts shown at the top-left cell, in order (the blanks included).
    std::vector<std::string> shown() const {
        std::vector<std::string> out;
        for (const auto& t : printed())
            if (t != "\r\n") out.push_back(t);
        return out;
    }
};
void (*Prompt::forward_print)(const char*, int, int) = nullptr;

TEST_F(Prompt, RepeatsUntilAnAcceptedKey) {
    gfx::key_queue_push('x');
    gfx::key_queue_push('0');
    gfx::key_queue_push('5');
    EXPECT_EQ(softglaze::prompt_for_key(), "5");
    EXPECT_EQ(shown(), (std::vector<std::string>{" ", "x", " ", "0", " ", "5"}));
    // The key stands white on blue in the top-left cell.
    const gfx::TextCell& cell = gfx::screen->text_cells[0][0];
    EXPECT_EQ(cell.character, uint32_t('5'));
    EXPECT_EQ(cell.foreground, 0xFFFFFFu);
    EXPECT_EQ(cell.background, 0x0245D0u);
    const uint8_t* glyph = gfx::font_8x8().glyphs + '5' * 8;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(gfx::pixel_get(nullptr, x, y), (glyph[y] >> x) & 1 ? 0xFFFFFF : 0x0245D0) << x << "," << y;
}

TEST_F(Prompt, AnExtendedKeyIsReadInTwoRounds) {
    gfx::key_queue_push(0x48FF);  // Up: 255 then 'H', neither accepted
    gfx::key_queue_push(0x35FF);  // 255 then '5': the second round ends the prompt
    EXPECT_EQ(softglaze::prompt_for_key(), "5");
    EXPECT_EQ(shown(), (std::vector<std::string>{" ", "\xFF", " ", "H", " ", "\xFF", " ", "5"}));
}

TEST_F(Prompt, CloseRequestIsNotAcceptedButEscapeIs) {
    gfx::key_queue_push(gfx::KEY_CLOSE_REQUEST);
    gfx::key_queue_push(27);
    EXPECT_EQ(softglaze::prompt_for_key(), "\x1b");
    EXPECT_EQ(shown(), (std::vector<std::string>{" ", "\xFF", " ", "k", " ", "\x1b"}));
}

// ---- The blur --------------------------------------------------------------

class Blur : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        open_null(150, 50, 32);
    }
};

TEST_F(Blur, FastPathEqualsThePerNeighbourBlur) {
    std::mt19937 rng(1234);
    struct Size {
        int32_t width, height;
    } sizes[] = {{1, 1}, {1, 13}, {17, 1}, {2, 2}, {5, 3}, {19, 7}, {23, 21}, {40, 9}, {3, 31}};
    for (const auto& size : sizes) {
        for (int radius = 1; radius <= 9; ++radius) {
            ImageHeader* source = random_image(size.width, size.height, rng);
            ImageHeader* fast = gfx::image_create(size.width, size.height, 0);
            ImageHeader* slow = gfx::image_create(size.width, size.height, 0);
            ASSERT_TRUE(softglaze::blur_fast(source, fast, size.width, size.height, radius));
            ASSERT_TRUE(softglaze::blur_per_neighbour(source, slow, size.width, size.height, radius));
            size_t bytes = static_cast<size_t>(size.width) * size.height * 4;
            EXPECT_EQ(std::memcmp(gfx::image_pixels(fast), gfx::image_pixels(slow), bytes), 0)
                << size.width << "x" << size.height << " radius " << radius;
            EXPECT_EQ(image_pixel(fast, 0, 0) >> 24, 0u) << "the top byte of the output is 0";
            gfx::image_destroy(source);
            gfx::image_destroy(fast);
            gfx::image_destroy(slow);
        }
    }
}

TEST_F(Blur, WindowsAndRounding) {
    struct Case {
        const char* what;
        int32_t width, height;
        std::vector<uint32_t> pixels;
        int radius;
        uint32_t x, y, expected;
    } cases[] = {
        // n = 2: a 1 x 1 image is the centre twice.
        {"1x1 radius 9", 1, 1, {0xAB123456}, 9, 0, 0, 0x123456},
        // n = 5: corner of a 2 x 2 image, radius 1: 4 pixels plus the centre.
        {"corner", 2, 2, {10, 20, 30, 40}, 1, 0, 0, 22},  // (10+20+30+40+10)/5 = 22
        // n = 4 with sums ending in .5: ties go to the even neighbour.
        {"0.5 -> 0", 3, 1, {0, 0, 2}, 1, 1, 0, 0},
        {"1.5 -> 2", 3, 1, {0, 0, 6}, 1, 1, 0, 2},
        {"2.5 -> 2", 3, 1, {0, 0, 10}, 1, 1, 0, 2},
        {"3.5 -> 4", 3, 1, {0, 0, 14}, 1, 1, 0, 4},
        {"channels apart", 3, 1, {0x000000, 0x000000, 0x0A0602}, 1, 1, 0, 0x020200},
    };
    for (const auto& c : cases) {
        ImageHeader* source = gfx::image_create(c.width, c.height, 0);
        std::memcpy(gfx::image_pixels(source), c.pixels.data(), c.pixels.size() * 4);
        for (bool fast : {true, false}) {
            ImageHeader* output = gfx::image_create(c.width, c.height, 0x777777);
            if (fast) {
                softglaze::blur_fast(source, output, c.width, c.height, c.radius);
            } else {
                softglaze::blur_per_neighbour(source, output, c.width, c.height, c.radius);
            }
            EXPECT_EQ(image_pixel(output, c.x, c.y), c.expected) << c.what << (fast ? " fast" : " per neighbour");
            gfx::image_destroy(output);
        }
        gfx::image_destroy(source);
    }
}

TEST(BlurDivision, EveryWindowSumAndCountRoundsHalfToEven) {
    // All counts a window can have (radius up to 9: 2..362) and every sum
    // up to n * 255, through the row division blur_fast uses.
    std::vector<int32_t> sums, quotients;
    for (int32_t n = 2; n <= 362; ++n) {
        sums.resize(static_cast<size_t>(n) * 255 + 1);
        quotients.assign(sums.size(), -1);
        for (size_t s = 0; s < sums.size(); ++s) sums[s] = static_cast<int32_t>(s);
        softglaze::divide_row(sums.data(), quotients.data(), static_cast<int32_t>(sums.size()), n);
        for (size_t s = 0; s < sums.size(); ++s) {
            int32_t q = static_cast<int32_t>(s) / n, twice_rest = 2 * (static_cast<int32_t>(s) % n);
            int32_t expected = q + (twice_rest > n || (twice_rest == n && (q & 1)));
            if (quotients[s] != expected) {
                ADD_FAILURE() << s << " / " << n << " gave " << quotients[s] << ", not " << expected;
                return;
            }
        }
    }
    EXPECT_EQ(softglaze::round_half_even(5, 2), 2u);
    EXPECT_EQ(softglaze::round_half_even(7, 2), 4u);
}

int g_key_tests = 0;
int counting_key_down(int) {
    ++g_key_tests;
    return 0;
}
int escape_after_three(int scancode) {
    return scancode == 1 && ++g_key_tests > 3 ? -1 : 0;
}

TEST_F(Blur, EscapeIsTestedEveryRowAndStopsTheBlur) {
    std::mt19937 rng(5);
    ImageHeader* source = random_image(64, 40, rng);
    ImageHeader* output = gfx::image_create(64, 40, 0x5A5A5A);
    rt::hooks.hook_key_down = counting_key_down;
    g_key_tests = 0;
    EXPECT_TRUE(softglaze::blur_fast(source, output, 64, 40, 4));
    EXPECT_GE(g_key_tests, 40);

    // Escape seen on the fourth test: three rows done, nothing after them.
    rt::hooks.hook_key_down = escape_after_three;
    g_key_tests = 0;
    std::memset(gfx::image_pixels(output), 0x5A, 64 * 40 * 4);
    EXPECT_FALSE(softglaze::blur_fast(source, output, 64, 40, 4));
    EXPECT_NE(image_pixel(output, 10, 2), 0x5A5A5A5Au);
    EXPECT_EQ(image_pixel(output, 10, 3), 0x5A5A5A5Au);

    // The per-neighbour blur tests after every in-image neighbour.
    g_key_tests = 0;
    EXPECT_FALSE(softglaze::blur_per_neighbour(source, output, 64, 40, 4));
    EXPECT_EQ(g_key_tests, 4);
    gfx::image_destroy(source);
    gfx::image_destroy(output);
}

// The per-neighbour blur exactly as the tool's algorithm reads, unclipped,
// straight on the screen (both images missing).
void unclipped_screen_blur(int32_t width, int32_t height, int radius) {
    for (int32_t x = 0; x < width; ++x) {
        for (int32_t y = 0; y < height; ++y) {
            uint32_t c = static_cast<uint32_t>(gfx::pixel_get(nullptr, x, y));
            uint32_t r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255, n = 1;
            for (int32_t i = x - radius; i <= x + radius; ++i)
                for (int32_t j = y - radius; j <= y + radius; ++j)
                    if (i >= 0 && i < width && j >= 0 && j < height) {
                        c = static_cast<uint32_t>(gfx::pixel_get(nullptr, i, j));
                        r += (c >> 16) & 255, g += (c >> 8) & 255, b += c & 255, ++n;
                    }
            auto rnd = [n](uint32_t s) {
                uint32_t q = s / n, twice = 2 * (s - q * n);
                return q + (twice > n || (twice == n && (q & 1)));
            };
            gfx::pixel_set(nullptr, x, y, (rnd(r) << 16) | (rnd(g) << 8) | rnd(b), gfx::REL_ABSOLUTE, 0);
        }
    }
}

TEST_F(Blur, OnTheScreenOnlyReachablePositionsAreVisited) {
    std::mt19937 rng(9);
    std::vector<uint8_t> start(static_cast<size_t>(gfx::screen->pitch) * 50);
    for (auto& b : start) b = static_cast<uint8_t>(rng());
    // A header just beyond the image limits: the unclipped walk is still short.
    std::memcpy(gfx::screen->pages[0], start.data(), start.size());
    unclipped_screen_blur(8192, 60, 1);
    std::vector<uint8_t> expected(gfx::screen->pages[0], gfx::screen->pages[0] + start.size());
    std::memcpy(gfx::screen->pages[0], start.data(), start.size());
    EXPECT_TRUE(softglaze::box_blur(nullptr, nullptr, 8192, 60, 1));
    EXPECT_EQ(std::memcmp(gfx::screen->pages[0], expected.data(), expected.size()), 0);

    // A header of 3000000 x 2000000 finishes quickly too.
    EXPECT_TRUE(softglaze::box_blur(nullptr, nullptr, 3000000, 2000000, 2));
}

// ---- load_bmp_file -------------------------------------------------------------

TEST_F(Blur, LoadReadsTheSizeFromTheHeader) {
    std::vector<uint32_t> pixels = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x010203};
    write_bmp24("load_3x2.bmp", 3, 2, pixels);
    ImageHeader* image = softglaze::load_bmp_file("load_3x2.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(softglaze::loaded_width, 3);
    EXPECT_EQ(softglaze::loaded_height, 2);
    EXPECT_EQ(image_pixel(image, 2, 1), 0x010203u);
    gfx::image_destroy(image);

    EXPECT_EQ(softglaze::load_bmp_file("no_such_file.bmp"), nullptr);
    EXPECT_EQ(softglaze::loaded_width, 0);
    EXPECT_EQ(softglaze::loaded_height, 0);

    write_bmp_header_only("load_negative.bmp", 4, -3);
    EXPECT_EQ(softglaze::load_bmp_file("load_negative.bmp"), nullptr);
    EXPECT_EQ(softglaze::loaded_height, -3);
    std::remove("load_3x2.bmp");
    std::remove("load_negative.bmp");
}

// ---- Whole runs ----------------------------------------------------------------

// Runs the tool in a child process with the given arguments after pushing
// keys; it must end with code 0.
class WholeRun : public ScreenTest {
protected:
    void run_tool(std::vector<std::string> args, const std::vector<int32_t>& keys) {
        args.insert(args.begin(), "softglaze");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                gfx::key_queue_clear();
                for (int32_t k : keys) gfx::key_queue_push(k);
                softglaze::run(static_cast<int>(args.size()), argv.data());
            },
            testing::ExitedWithCode(0), "");
    }
};

TEST_F(WholeRun, BlursTheNamedFile) {
    std::mt19937 rng(77);
    std::vector<uint32_t> pixels(13 * 7);
    for (auto& p : pixels) p = rng() & 0xFFFFFF;
    write_bmp24("run photo.bmp", 13, 7, pixels);
    std::remove("run photo_sg_4.bmp");
    run_tool({"run", "photo.bmp"}, {'x', '4'});  // two arguments joined with a space
    ASSERT_TRUE(file_exists("run photo_sg_4.bmp"));

    // The saved file holds the blur of the input.
    open_null(16, 16, 32);
    ImageHeader* input = gfx::image_create(13, 7, 0);
    ImageHeader* saved = gfx::image_create(13, 7, 0);
    ASSERT_EQ(gfx::image_load("run photo.bmp", input), 0);
    ASSERT_EQ(gfx::image_load("run photo_sg_4.bmp", saved), 0);
    ImageHeader* expected = gfx::image_create(13, 7, 0);
    softglaze::blur_per_neighbour(input, expected, 13, 7, 4);
    EXPECT_EQ(std::memcmp(gfx::image_pixels(saved), gfx::image_pixels(expected), 13 * 7 * 4), 0);
    gfx::image_destroy(input);
    gfx::image_destroy(saved);
    gfx::image_destroy(expected);
    std::remove("run photo.bmp");
    std::remove("run photo_sg_4.bmp");
}

TEST_F(WholeRun, EscapeAndEmptyCommandLinesWriteNothing) {
    write_bmp24("quit.bmp", 2, 2, {1, 2, 3, 4});
    struct Case {
        std::vector<std::string> args;
        std::vector<int32_t> keys;
        std::string not_written;
    } cases[] = {
        {{"quit.bmp"}, {27}, "quit_sg_3.bmp"},
        {{"quit.bmp"}, {'z', 27}, "quit_sg_3.bmp"},
        {{}, {'3'}, "_sg_3.bmp"},
        {{"   "}, {'3'}, "_sg_3.bmp"},
    };
    for (const auto& c : cases) {
        std::remove(c.not_written.c_str());
        run_tool(c.args, c.keys);
        EXPECT_FALSE(file_exists(c.not_written)) << c.not_written;
    }
    std::remove("quit.bmp");
}

TEST_F(WholeRun, MissingInputSavesTheScreen) {
    // No logo beside the test program and no input file: the saved file is
    // the 150 x 50 window with the key in its top-left cell.
    std::remove("absent_sg_6.bmp");
    run_tool({"absent.bmp"}, {'6'});
    ASSERT_TRUE(file_exists("absent_sg_6.bmp"));
    open_null(150, 50, 32);
    ImageHeader* saved = gfx::image_create(150, 50, 0);
    ASSERT_EQ(gfx::image_load("absent_sg_6.bmp", saved), 0);
    EXPECT_EQ(gfx::image_width(saved), 150u);
    EXPECT_EQ(gfx::image_height(saved), 50u);
    const uint8_t* glyph = gfx::font_8x8().glyphs + '6' * 8;
    for (uint32_t y = 0; y < 50; ++y) {
        for (uint32_t x = 0; x < 150; ++x) {
            uint32_t expected = 0;
            if (x < 8 && y < 8) expected = (glyph[y] >> x) & 1 ? 0xFFFFFF : 0x0245D0;
            ASSERT_EQ(image_pixel(saved, x, y), expected) << x << "," << y;
        }
    }
    gfx::image_destroy(saved);
    std::remove("absent_sg_6.bmp");
}

}  // namespace
