// Palette entries, the per-mode default maps and the device palette.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/modes.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::screen;
using test_support::fake_state;
using test_support::clear_dirty;
using test_support::ScreenTest;

uint32_t rgb_entry(const gfx::PaletteInfo& p, int i) {
    return p.rgb[3 * i] | (p.rgb[3 * i + 1] << 8) | (p.rgb[3 * i + 2] << 16);
}

class Palette : public ScreenTest {
protected:
    void open_mode(int mode) {
        ASSERT_EQ(gfx::screen_mode(mode, 0, 1, 0, 0), 0);
        ASSERT_EQ(screen->driver, test_support::fake_driver(0));
        fake_state(0).palette_calls.clear();
    }
    static bool all_dirty() { return test_support::dirty_lines() == test_support::int_range(0, screen->height); }
};

TEST_F(Palette, SixBitAndEightBitComponentsOn256Colours) {
    open_fake(16, 16, 8);
    fake_state(0).palette_calls.clear();
    clear_dirty();
    gfx::palette_set(1, 0x3F003F, -1, -1);
    EXPECT_EQ(screen->palette[1], 0xFF00FFu);
    ASSERT_EQ(fake_state(0).palette_calls.size(), 1u);
    EXPECT_EQ(fake_state(0).palette_calls[0], (std::vector<int>{1, 255, 0, 255}));
    EXPECT_TRUE(all_dirty());

    gfx::palette_set(1, 128, 64, 255);  // 32, 16, 63 in six bits
    EXPECT_EQ(screen->palette[1], 129u | (64u << 8) | (255u << 16));
    gfx::palette_set(2, 0x152A15, -1, -1);  // levels 21, 42, 21
    EXPECT_EQ(screen->palette[2], 85u | (170u << 8) | (85u << 16));
    EXPECT_EQ(fake_state(0).lock_calls, fake_state(0).unlock_calls);
}

TEST_F(Palette, EgaModeEntriesIndexTheDefaultColours) {
    open_mode(9);
    const gfx::PaletteInfo& p64 = gfx::palette_64();
    for (int value : {56, 120}) {  // 120 & 63 = 56
        gfx::palette_set(3, value, -1, -1);
        EXPECT_EQ(screen->palette_map[3], 56);
        EXPECT_EQ(screen->palette[3], rgb_entry(p64, 56));
    }
    // The opening loaded the EGA map: entry 6 shows default colour 20.
    EXPECT_EQ(screen->palette[6], rgb_entry(p64, 20));
    EXPECT_EQ(screen->palette_map[8], 56);
}

TEST_F(Palette, CgaModeResetPicksTheColourSetByIndex) {
    open_mode(1);
    const gfx::PaletteInfo& p16 = gfx::palette_16();
    struct Case {
        int index;
        int colours[4];
    } cases[] = {{-1, {0, 11, 13, 15}}, {-2, {0, 10, 12, 14}}, {-3, {0, 3, 5, 7}}, {-4, {0, 2, 4, 6}}, {-9, {0, 2, 4, 6}}};
    for (const auto& c : cases) {
        gfx::palette_set(c.index, 0, 0, 0);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(screen->palette[i], rgb_entry(p16, c.colours[i])) << c.index << " entry " << i;
            EXPECT_EQ(screen->palette_map[i], c.colours[i]);
        }
    }
}

TEST_F(Palette, DefaultsAtOpeningPerMode) {
    struct Case {
        int mode;
        const gfx::PaletteInfo* defaults;
        int shown;
    } cases[] = {{13, &gfx::palette_256(), 256}, {12, &gfx::palette_256(), 16}, {11, &gfx::palette_2(), 2},
                 {7, &gfx::palette_16(), 16}};
    for (const auto& c : cases) {
        open_mode(c.mode);
        for (int i = 0; i < c.defaults->entry_count; ++i)
            EXPECT_EQ(screen->base_colours[i], rgb_entry(*c.defaults, i)) << c.mode;
        for (int i = 0; i < c.shown; ++i) EXPECT_EQ(screen->palette[i], rgb_entry(*c.defaults, i)) << c.mode;
        for (int i = c.shown; i < 256; ++i) EXPECT_EQ(screen->palette[i], 0u) << c.mode << " entry " << i;
    }
    // Mode 2 shows black and white out of the 16 colours.
    open_mode(2);
    EXPECT_EQ(screen->palette[1], rgb_entry(gfx::palette_16(), 15));
    EXPECT_EQ(screen->palette_map[1], 15);
    // Without a mode map, entry i shows default colour i, and the map says so.
    open_mode(11);
    EXPECT_EQ(screen->palette_map[0], 0);
    EXPECT_EQ(screen->palette_map[1], 1);
}

TEST_F(Palette, ArraySetsOnlyNonNegativeEntries) {
    open_fake(8, 8, 8);
    std::vector<int32_t> values(256, -1);
    values[0] = 0x3F;  // red
    values[255] = 0x3F0000;  // blue
    uint32_t kept = screen->palette[7];
    clear_dirty();
    gfx::palette_set_array(values.data());
    EXPECT_EQ(screen->palette[0], 0xFFu);
    EXPECT_EQ(screen->palette[255], 0xFF0000u);
    EXPECT_EQ(screen->palette[7], kept);
    EXPECT_TRUE(all_dirty());
}

TEST_F(Palette, NothingHappensAboveEightBits) {
    for (int depth : {16, 32}) {
        open_fake(8, 8, depth);
        fake_state(0).palette_calls.clear();
        int locks = fake_state(0).lock_calls;
        std::vector<int32_t> values(256, 5);
        gfx::palette_set(1, 0x3F, -1, -1);
        gfx::palette_set(-1, 0, 0, 0);
        gfx::palette_set_array(values.data());
        for (int y = 0; y < screen->height; ++y) EXPECT_EQ(screen->dirty[y], 0) << depth;
        EXPECT_EQ(screen->palette[1], 0u);
        EXPECT_TRUE(fake_state(0).palette_calls.empty());
        EXPECT_EQ(fake_state(0).lock_calls, locks);
    }
}

TEST_F(Palette, PushSendsAllEntries) {
    open_fake(8, 8, 32);
    screen->palette[200] = 0x00102030;
    fake_state(0).palette_calls.clear();
    gfx::palette_push();
    ASSERT_EQ(fake_state(0).palette_calls.size(), 256u);
    EXPECT_EQ(fake_state(0).palette_calls[200], (std::vector<int>{200, 0x30, 0x20, 0x10}));
}

TEST_F(Palette, IndicesOutsideTheTablesAreIgnored) {
    open_mode(9);
    uint32_t before[256];
    std::copy(screen->palette, screen->palette + 256, before);
    gfx::palette_set(300, 5, -1, -1);
    gfx::palette_entry_set(256, 5);
    EXPECT_TRUE(std::equal(before, before + 256, screen->palette));
    // Index 20 in mode 9: its palette entry changes, the 16-entry map does not overflow.
    gfx::palette_set(20, 1, -1, -1);
    EXPECT_EQ(screen->palette[20], rgb_entry(gfx::palette_64(), 1));
}

}  // namespace
