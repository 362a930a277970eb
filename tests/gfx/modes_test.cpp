// Screen opening and closing, the mode table and the driver search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/runtime.h"
#include "gfx/drivers/driver.h"
#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::screen;
using gfx::ScreenFlags;
using test_support::fake_log;
using test_support::fake_reset;
using test_support::fake_state;
using test_support::ScopedEnv;
using test_support::ScreenTest;
using Log = std::vector<std::string>;

class Modes : public ScreenTest {};

TEST_F(Modes, TheToolsScreen) {
    gfx::screen_res(150, 50, 32, 2, 0, 0);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->mode, -1);
    EXPECT_EQ(screen->depth, 32);
    EXPECT_EQ(screen->bytes_per_pixel, 4);
    EXPECT_EQ(screen->pitch, 600);
    EXPECT_EQ(screen->target_pitch, 600);
    EXPECT_EQ(screen->page_count, 2);
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 600 * 50; ++i) ASSERT_EQ(screen->pages[p][i], 0) << p;
    EXPECT_EQ(screen->visible_page, screen->pages[0]);
    EXPECT_EQ(screen->work_page, 0);
    EXPECT_EQ(screen->line_ptrs[49], screen->pages[0] + 49 * 600);
    EXPECT_EQ(screen->text_cols, 18);
    EXPECT_EQ(screen->text_rows, 6);
    EXPECT_EQ(screen->font, &gfx::font_8x8());
    EXPECT_EQ(screen->font->height, 8);
    EXPECT_EQ(screen->fg_colour, 0xFFFFFFFFu);
    EXPECT_EQ(screen->bg_colour, 0u);
    EXPECT_EQ(screen->colour_mask, 0xFFFFFFFFu);
    EXPECT_EQ(screen->view_w, 150);
    EXPECT_EQ(screen->view_h, 50);
    EXPECT_EQ(screen->scanline_mult, 1);
    EXPECT_EQ(screen->default_palette, &gfx::palette_256());
    EXPECT_EQ(screen->target, nullptr);
    ASSERT_EQ(fake_state(0).inits.size(), 1u);
    const auto& init = fake_state(0).inits[0];
    EXPECT_EQ(init.width, 150);
    EXPECT_EQ(init.height, 50);
    EXPECT_EQ(init.depth, 32);
    EXPECT_EQ(rt::hooks.hook_is_redirected(), 0);
    int first = 0, last = 0;
    rt::text_view_get(&first, &last);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 6);
    EXPECT_EQ(screen->cursor_x, 0);
    EXPECT_EQ(screen->cursor_y, 0);
}

TEST_F(Modes, FreeSizeDepthsAreNormalised) {
    struct Case {
        int requested, depth, bytes;
        uint32_t mask;
    } cases[] = {{8, 8, 1, 0xFF}, {15, 16, 2, 0xFFFF}, {16, 16, 2, 0xFFFF}, {24, 32, 4, 0xFFFFFFFF}, {32, 32, 4, 0xFFFFFFFF}};
    for (const auto& c : cases) {
        gfx::screen_res(20, 10, c.requested, 1, -1, 0);
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->depth, c.depth);
        EXPECT_EQ(screen->bytes_per_pixel, c.bytes);
        EXPECT_EQ(screen->colour_mask, c.mask);
        EXPECT_EQ(screen->fg_colour, c.depth == 8 ? 15u : c.mask);
    }
}

TEST_F(Modes, BadFreeSizeArgumentsKeepTheOpenScreen) {
    open_null(20, 10, 32);
    gfx::ScreenState* open = screen;
    for (auto args : std::vector<std::vector<int>>{{20, 10, 4}, {0, 10, 32}, {20, -1, 32}, {20, 10, 12}}) {
        rt::error_set(0);
        gfx::screen_res(args[0], args[1], args[2], 1, -1, 0);
        EXPECT_EQ(rt::error_get(), 1);
        EXPECT_EQ(screen, open);
    }
}

TEST_F(Modes, NumberedModes) {
    struct Case {
        int mode, depth_arg;
        int width, height, depth, mult, cols, rows, font_height;
    } cases[] = {
        {13, 0, 320, 200, 8, 1, 40, 25, 8},   {13, 32, 320, 200, 8, 1, 40, 25, 8},
        {18, 32, 640, 480, 32, 1, 80, 30, 16}, {14, 15, 320, 240, 16, 1, 40, 30, 8},
        {2, 0, 640, 200, 1, 2, 80, 25, 8},    {9, 0, 640, 350, 4, 1, 80, 25, 14},
        {11, 0, 640, 480, 1, 1, 80, 30, 16},  {21, 0, 1280, 1024, 8, 1, 160, 64, 16},
    };
    for (const auto& c : cases) {
        fake_reset();
        ASSERT_EQ(gfx::screen_mode(c.mode, c.depth_arg, 1, 0, 0), 0) << c.mode;
        EXPECT_EQ(screen->mode, c.mode);
        EXPECT_EQ(screen->width, c.width) << c.mode;
        EXPECT_EQ(screen->height, c.height) << c.mode;
        EXPECT_EQ(screen->depth, c.depth) << c.mode;
        EXPECT_EQ(screen->scanline_mult, c.mult) << c.mode;
        EXPECT_EQ(screen->text_cols, c.cols) << c.mode;
        EXPECT_EQ(screen->text_rows, c.rows) << c.mode;
        EXPECT_EQ(screen->font->height, c.font_height) << c.mode;
        EXPECT_EQ(fake_state(0).inits.back().height, c.height * c.mult) << c.mode;
    }
    EXPECT_EQ(gfx::screen_mode(13, 0, 1, 0, 0), 0);
    EXPECT_EQ(screen->fg_colour, 15u);
}

TEST_F(Modes, UnavailableModesFail) {
    for (int mode : {3, 4, 5, 6, 22, -1, 100}) {
        rt::error_set(0);
        EXPECT_EQ(gfx::screen_mode(mode, 0, 1, -1, 0), 1) << mode;
        EXPECT_EQ(rt::error_get(), 1) << mode;
        EXPECT_EQ(screen, nullptr);
    }
}

TEST_F(Modes, ModeZeroClosesAndClearsTheHooks) {
    open_fake(20, 10, 32);
    EXPECT_NE(rt::hooks.hook_is_redirected, nullptr);
    EXPECT_EQ(gfx::screen_mode(0, 0, 1, 0, 0), 0);
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(fake_state(0).exit_calls, 1);
    const void* const* slots = reinterpret_cast<const void* const*>(&rt::hooks);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(slots[i], nullptr) << "slot " << i;
}

TEST_F(Modes, ModeTwoDoublesTheDisplayLines) {
    ASSERT_EQ(gfx::screen_mode(2, 0, 1, 0, 0), 0);
    EXPECT_EQ(fake_state(0).inits[0].height, 400);
    screen->dirty[399] = 7;  // storage for 400 entries (ASan checks the bound)
    EXPECT_EQ(screen->dirty[399], 7);
}

TEST_F(Modes, OpenGlRaisesLowDepthsTo16) {
    fake_state(0).refuse_opengl = true;
    fake_state(1).refuse_opengl = true;
    fake_state(2).require_opengl = true;
    ASSERT_EQ(gfx::screen_mode(13, 0, 1, ScreenFlags::opengl, 0), 0);
    EXPECT_EQ(screen->depth, 16);
    EXPECT_EQ(screen->driver, test_support::fake_driver(2));
    EXPECT_EQ(fake_state(2).inits[0].depth, 16);
    // flags -1 is no_display, not a set opengl bit.
    ASSERT_EQ(gfx::screen_mode(13, 0, 1, -1, 0), 0);
    EXPECT_EQ(screen->depth, 8);
}

TEST_F(Modes, DriverSearchSequences) {
    struct Case {
        const char* name;
        std::optional<std::string> kwgfx;
        int working;  // the one fake driver whose init succeeds (-1: none)
        int flags;
        Log log;
        int chosen;   // -1: none
    } cases[] = {
        {"unset, second works", std::nullopt, 1, 0,
         {"DirectX.init r0 f0", "DirectX.exit", "DirectX.init r0 f0", "DirectX.exit", "GDI.init r0 f0"}, 1},
        {"unset, none works", std::nullopt, -1, 0,
         {"DirectX.init r0 f0", "DirectX.exit", "DirectX.init r0 f0", "DirectX.exit",
          "GDI.init r0 f0", "GDI.exit", "GDI.init r0 f0", "GDI.exit",
          "OpenGL.init r0 f0", "OpenGL.exit", "OpenGL.init r0 f0", "OpenGL.exit",
          "DirectX.init r0 f1", "DirectX.exit", "DirectX.init r0 f1", "DirectX.exit",
          "GDI.init r0 f1", "GDI.exit", "GDI.init r0 f1", "GDI.exit",
          "OpenGL.init r0 f1", "OpenGL.exit", "OpenGL.init r0 f1", "OpenGL.exit"}, -1},
        {"named GDI skips DirectX", std::string("gdi"), 1, 0, {"GDI.init r0 f0"}, 1},
        {"named, none works", std::string("OpenGL"), -1, 1,
         {"OpenGL.init r0 f1", "OpenGL.exit", "OpenGL.init r0 f1", "OpenGL.exit",
          "DirectX.init r0 f1", "DirectX.exit", "DirectX.init r0 f1", "DirectX.exit",
          "GDI.init r0 f1", "GDI.exit", "GDI.init r0 f1", "GDI.exit",
          "OpenGL.init r0 f1", "OpenGL.exit", "OpenGL.init r0 f1", "OpenGL.exit",
          "OpenGL.init r0 f1", "OpenGL.exit", "OpenGL.init r0 f1", "OpenGL.exit",
          "DirectX.init r0 f0", "DirectX.exit", "DirectX.init r0 f0", "DirectX.exit",
          "GDI.init r0 f0", "GDI.exit", "GDI.init r0 f0", "GDI.exit",
          "OpenGL.init r0 f0", "OpenGL.exit", "OpenGL.init r0 f0", "OpenGL.exit"}, -1},
        {"unknown name: passes 1 and 3 are empty", std::string("Vulkan"), 2, 0,
         {"DirectX.init r0 f0", "DirectX.exit", "DirectX.init r0 f0", "DirectX.exit",
          "GDI.init r0 f0", "GDI.exit", "GDI.init r0 f0", "GDI.exit", "OpenGL.init r0 f0"}, 2},
        {"null in any case", std::string("NuLL"), 0, 0, {}, -2},
        {"no_display flags", std::nullopt, 0, -1, {}, -2},
    };
    for (const auto& c : cases) {
        gfx::screen_close();
        fake_reset();
        for (int i = 0; i < 3; ++i) fake_state(i).fail_inits = i == c.working ? 0 : 1000;
        ScopedEnv env("KWGFX", c.kwgfx);
        rt::error_set(0);
        gfx::screen_res(16, 16, 32, 1, c.flags, 0);
        EXPECT_EQ(fake_log(), c.log) << c.name;
        if (c.chosen == -1) {
            EXPECT_EQ(screen, nullptr) << c.name;
            EXPECT_EQ(rt::error_get(), 1) << c.name;
        } else {
            ASSERT_NE(screen, nullptr) << c.name;
            EXPECT_EQ(screen->driver, c.chosen == -2 ? &gfx::null_driver : test_support::fake_driver(c.chosen)) << c.name;
        }
    }
}

TEST_F(Modes, RefreshRateIsRetriedWithTheDefault) {
    fake_state(0).fail_with_refresh = true;
    gfx::screen_res(16, 16, 32, 1, 0, 75);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->driver, test_support::fake_driver(0));
    EXPECT_EQ(fake_log(), (Log{"DirectX.init r75 f0", "DirectX.exit", "DirectX.init r0 f0"}));
}

TEST_F(Modes, FailedSearchClosesAPreviouslyOpenScreen) {
    open_null(16, 16, 32);
    for (int i = 0; i < 3; ++i) fake_state(i).fail_inits = 1000;
    gfx::screen_res(16, 16, 32, 1, 0, 0);
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(rt::error_get(), 1);
    EXPECT_EQ(rt::hooks.hook_is_redirected, nullptr);
}

TEST_F(Modes, TitleReachesTheDriverAndIsCut) {
    gfx::window_title("Softglaze");
    open_fake(16, 16, 32);
    EXPECT_EQ(fake_state(0).inits[0].title, "Softglaze");
    std::string long_title(200, 'x');
    gfx::window_title(long_title);
    EXPECT_EQ(fake_state(0).title_set, std::string(127, 'x')) << "an open screen's driver hears at once";
    EXPECT_EQ(std::string(gfx::window_title_text()), std::string(127, 'x'));
}

TEST_F(Modes, WithoutATitleTheProgramNameIsUsed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: no title set yet
    EXPECT_EXIT(
        {
            test_support::fake_reset();
            gfx::screen_res(16, 16, 32, 1, 0, 0);
            bool ok = gfx::screen != nullptr && test_support::fake_state(0).inits.size() == 1 &&
                      test_support::fake_state(0).inits[0].title == "test_gfx";
            std::fprintf(stderr, "title=[%s]", gfx::window_title_text());
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "title=\\[test_gfx\\]");
}

TEST_F(Modes, ReopeningStartsFromNothing) {
    open_fake(32, 16, 32, 2);
    screen->pages[0][5] = 9;
    screen->fg_colour = 0x123;
    screen->cursor_x = 4;
    gfx::ImageHeader* image = gfx::image_create(4, 4, 0);
    gfx::target_select(image);
    open_fake(32, 16, 32, 2);
    EXPECT_EQ(fake_state(0).exit_calls, 1);
    EXPECT_EQ(screen->pages[0][5], 0);
    EXPECT_EQ(screen->fg_colour, 0xFFFFFFFFu);
    EXPECT_EQ(screen->cursor_x, 0);
    EXPECT_EQ(screen->target, nullptr);
    EXPECT_EQ(screen->flags & gfx::ScreenState::target_is_image, 0u);
    EXPECT_EQ(screen->view_w, 32);
    gfx::image_destroy(image);
}

TEST_F(Modes, AScreenTooLargeToAllocateIsNotLeftHalfBuilt) {
    struct Case {
        int width, height, pages;
    } cases[] = {
        {2000000000, 16, 1},          // a line longer than 2^31 bytes
        {500000000, 2000000000, 2},   // 4e18 bytes a page: no heap serves it
    };
    for (const auto& c : cases) {
        open_null(16, 16, 32);
        rt::error_set(0);
        gfx::screen_res(c.width, c.height, 32, c.pages, -1, 0);
        EXPECT_EQ(screen, nullptr) << c.width;
        EXPECT_EQ(rt::error_get(), 1) << c.width;
        EXPECT_EQ(rt::hooks.hook_is_redirected, nullptr) << "hooks stay only with a screen";
    }
    open_null(16, 16, 32);  // the library still works afterwards
}

TEST_F(Modes, CloseRunsAsAnExitHandler) {
    open_fake(16, 16, 32);
    open_fake(16, 16, 32);
    rt::exit_handlers_run();
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(fake_state(0).exit_calls, 2) << "one exit per opened display";
}

}  // namespace
