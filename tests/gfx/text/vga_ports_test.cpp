// The VGA palette and input status ports: write and read sequences on the
// 256-entry palette and on the 2-, 16- and 64-entry ones with their colour
// maps, index wrapping, refusals on deep screens, and the retrace wait.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "app/console.h"
#include "gfx/modes.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"
#include "gfx/text/vga_ports.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::port_in;
using gfx::port_out;
using gfx::screen;
using test_support::fake_state;
using test_support::ScreenTest;

constexpr int SELECT_READ = gfx::PORT_DAC_READ_INDEX;
constexpr int SELECT_WRITE = gfx::PORT_DAC_WRITE_INDEX;
constexpr int DATA = gfx::PORT_DAC_DATA;
constexpr int STATUS = gfx::PORT_INPUT_STATUS;

class VgaPorts : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        gfx::dac_index = 0;
        gfx::dac_shift = 2;
        gfx::dac_value = 0;
    }

    // A numbered mode on the fake driver, which records set_palette calls.
    void open_mode(int mode) {
        ASSERT_EQ(gfx::screen_mode(mode, 0, 1, 0, 0), 0) << "mode " << mode;
        ASSERT_EQ(screen->driver, test_support::fake_driver(0));
        fake_state(0).palette_calls.clear();
        std::memset(screen->dirty, 0, static_cast<size_t>(screen->height * screen->scanline_mult));
    }

    static void write_colour(int entry, int r, int g, int b) {
        EXPECT_EQ(port_out(SELECT_WRITE, entry), 0);
        EXPECT_EQ(port_out(DATA, r), 0);
        EXPECT_EQ(port_out(DATA, g), 0);
        EXPECT_EQ(port_out(DATA, b), 0);
    }

    static bool all_lines_dirty() {
        for (int y = 0; y < screen->height; ++y) {
            if (screen->dirty[y] == 0) return false;
        }
        return true;
    }
};

// 0x00BBGGRR of 6-bit components as the direct path stores them.
uint32_t assembled(int r, int g, int b) {
    return static_cast<uint32_t>(r * 4) | (static_cast<uint32_t>(g * 4) << 8) | (static_cast<uint32_t>(b * 4) << 16);
}

TEST_F(VgaPorts, WritingRedToEntry5On256Colours) {
    open_mode(13);
    const uint32_t entry6 = screen->palette[6];
    write_colour(5, 63, 0, 0);

    EXPECT_EQ(screen->palette[5], 0x0000FFu) << "pure red, scaled to 8 bits";
    EXPECT_EQ(fake_state(0).palette_calls, (std::vector<std::vector<int>>{{5, 255, 0, 0}}));
    EXPECT_EQ(gfx::dac_index, 6);
    EXPECT_EQ(gfx::dac_shift, 2);
    EXPECT_TRUE(all_lines_dirty());

    // A fourth write starts entry 6 and sets nothing yet.
    EXPECT_EQ(port_out(DATA, 0x40 | 21), 0) << "only the low 6 bits count";
    EXPECT_EQ(gfx::dac_shift, 10);
    EXPECT_EQ(gfx::dac_value, 21u << 2);
    EXPECT_EQ(screen->palette[6], entry6);
    port_out(DATA, 42);
    port_out(DATA, 63);
    EXPECT_EQ(screen->palette[6], 85u | (170u << 8) | (255u << 16));
    EXPECT_EQ(gfx::dac_index, 7);
    EXPECT_EQ(fake_state(0).lock_depth, 0);
}

TEST_F(VgaPorts, LastEntryWrapsToTheFirst) {
    open_mode(13);
    write_colour(0, 9, 9, 9);
    write_colour(255, 1, 2, 3);
    EXPECT_EQ(gfx::dac_index, 0);
    EXPECT_EQ(screen->palette[255], 4u | (8u << 8) | (12u << 16));
    EXPECT_EQ(port_in(DATA), 9) << "reading starts where the write left off: entry 0";
}

TEST_F(VgaPorts, SelectingAnEntryDropsAHalfWrittenColour) {
    open_mode(13);
    port_out(SELECT_WRITE, 9);
    port_out(DATA, 63);
    port_out(DATA, 63);
    port_out(SELECT_READ, 10);
    EXPECT_EQ(gfx::dac_index, 10);
    EXPECT_EQ(gfx::dac_shift, 2);
    EXPECT_EQ(gfx::dac_value, 0u);
    EXPECT_TRUE(fake_state(0).palette_calls.empty());
}

// ---- Index selection wraps at the size of the mode's default palette --------------

struct SelectCase {
    const char* name;
    int mode, port, written, index;
};
void PrintTo(const SelectCase& c, std::ostream* os) { *os << c.name; }

const SelectCase kSelectCases[] = {
    {"Palette256", 13, SELECT_WRITE, 300, 300 & 255},
    {"Palette256OnADepth4Mode", 12, SELECT_WRITE, 200, 200},
    {"Palette16", 7, SELECT_WRITE, 17, 1},
    {"Palette16ByTheReadIndex", 7, SELECT_READ, 31, 15},
    {"Palette64", 9, SELECT_WRITE, 70, 6},
    {"Palette2", 11, SELECT_WRITE, 3, 1},
};

class SelectIndex : public VgaPorts, public testing::WithParamInterface<SelectCase> {};

TEST_P(SelectIndex, MasksTheIndex) {
    const SelectCase& c = GetParam();
    open_mode(c.mode);
    gfx::dac_value = 0x1234;
    gfx::dac_shift = 18;
    EXPECT_EQ(port_out(c.port, c.written), 0);
    EXPECT_EQ(gfx::dac_index, c.index);
    EXPECT_EQ(gfx::dac_value, 0u);
    EXPECT_EQ(gfx::dac_shift, 2);
}

INSTANTIATE_TEST_SUITE_P(Ports, SelectIndex, testing::ValuesIn(kSelectCases),
                         [](const testing::TestParamInfo<SelectCase>& info) { return info.param.name; });

// ---- Reading entries back -----------------------------------------------------------

struct ReadCase {
    const char* name;
    int mode, entry;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const ReadCase kReadCases[] = {
    {"Palette256", 13, 77},
    {"Palette16", 7, 4},
    {"Palette64", 9, 5},
};

class ReadBack : public VgaPorts, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadBack, ThreeReadsGiveTheWrittenComponentsAndAdvance) {
    const ReadCase& c = GetParam();
    open_mode(c.mode);
    write_colour(c.entry, 63, 32, 1);
    port_out(SELECT_READ, c.entry);

    EXPECT_EQ(port_in(DATA), 63);
    EXPECT_EQ(gfx::dac_index, c.entry);
    EXPECT_EQ(port_in(DATA), 32);
    EXPECT_EQ(port_in(DATA), 1);
    EXPECT_EQ(gfx::dac_index, c.entry + 1);
    EXPECT_EQ(gfx::dac_shift, 2);
}

INSTANTIATE_TEST_SUITE_P(Ports, ReadBack, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST_F(VgaPorts, ReadingTheDefaultPaletteGivesSixBitComponents) {
    open_mode(13);
    const uint8_t* rgb = gfx::palette_256().rgb + 3 * 14;
    port_out(SELECT_READ, 14);
    EXPECT_EQ(port_in(DATA), rgb[0] >> 2);
    EXPECT_EQ(port_in(DATA), rgb[1] >> 2);
    EXPECT_EQ(port_in(DATA), rgb[2] >> 2);
}

// ---- The small palettes: a default colour changes every entry that shows it ---------

struct DirectCase {
    const char* name;
    int mode;
    int remap_entry, remap_to;  // palette_set(remap_entry, remap_to) first, when remap_entry >= 0
    int dac_entry;              // the default colour written
    std::vector<int> changed;   // the active entries that show it
};
void PrintTo(const DirectCase& c, std::ostream* os) { *os << c.name; }

const DirectCase kDirectCases[] = {
    {"Palette16", 7, -1, 0, 4, {4}},
    {"Palette16CgaMap", 1, -1, 0, 11, {1}},
    {"Palette64EgaMap", 9, -1, 0, 56, {8}},
    {"Palette64TwoEntriesShowingOneColour", 9, 3, 20, 20, {3, 6}},
    {"Palette2Black", 10, -1, 0, 0, {0}},
    {"Palette64ColourShownNowhere", 9, -1, 0, 40, {}},
};

class DirectPalette : public VgaPorts, public testing::WithParamInterface<DirectCase> {};

TEST_P(DirectPalette, UpdatesDefaultColourMatchingEntriesAndTheWholeScreen) {
    const DirectCase& c = GetParam();
    open_mode(c.mode);
    if (c.remap_entry >= 0) gfx::palette_set(c.remap_entry, c.remap_to, -1, -1);
    fake_state(0).palette_calls.clear();
    std::memset(screen->dirty, 0, static_cast<size_t>(screen->height * screen->scanline_mult));
    std::vector<uint32_t> before(screen->palette, screen->palette + 256);
    std::vector<uint32_t> base_before(screen->base_colours, screen->base_colours + 256);
    const int locks = fake_state(0).lock_calls;

    write_colour(c.dac_entry, 10, 20, 30);

    const uint32_t colour = assembled(10, 20, 30);
    EXPECT_EQ(screen->base_colours[c.dac_entry], colour);
    for (int i = 0; i < 256; ++i) {
        if (i != c.dac_entry) {
            ASSERT_EQ(screen->base_colours[i], base_before[i]) << "default colour " << i;
        }
    }
    std::vector<std::vector<int>> calls;
    for (int i = 0; i < 256; ++i) {
        bool shows = false;
        for (int e : c.changed) shows = shows || e == i;
        if (shows) {
            EXPECT_EQ(screen->palette[i], colour) << "entry " << i;
            calls.push_back({i, 40, 80, 120});
        } else {
            ASSERT_EQ(screen->palette[i], before[i]) << "entry " << i;
        }
    }
    EXPECT_EQ(fake_state(0).palette_calls, calls);
    EXPECT_TRUE(all_lines_dirty());
    EXPECT_EQ(fake_state(0).lock_calls, locks + 1) << "one hold of the lock";
    EXPECT_EQ(fake_state(0).lock_depth, 0);
    EXPECT_EQ(gfx::dac_index, c.dac_entry + 1);
}

INSTANTIATE_TEST_SUITE_P(Ports, DirectPalette, testing::ValuesIn(kDirectCases),
                         [](const testing::TestParamInfo<DirectCase>& info) { return info.param.name; });

TEST_F(VgaPorts, IndexFromALargerPaletteWrapsOnTheNextScreen) {
    open_mode(13);
    port_out(SELECT_WRITE, 200);
    port_out(DATA, 5);  // a sequence interrupted by the screen change
    open_mode(7);       // 16 entries
    std::vector<uint32_t> base_before(screen->base_colours, screen->base_colours + 256);
    port_out(DATA, 6);
    port_out(DATA, 7);

    EXPECT_EQ(screen->base_colours[200 & 15], assembled(5, 6, 7)) << "finished on entry 200 AND 15";
    for (int i = 16; i < 256; ++i) ASSERT_EQ(screen->base_colours[i], base_before[i]) << i;
    EXPECT_EQ(gfx::dac_index, 9);
}

// ---- Refusals and the retrace --------------------------------------------------------

struct DeepCase {
    const char* name;
    int depth;
};
void PrintTo(const DeepCase& c, std::ostream* os) { *os << c.name; }

class DeepScreen : public VgaPorts, public testing::WithParamInterface<DeepCase> {};

TEST_P(DeepScreen, PalettePortsRefuse) {
    open_fake(64, 48, GetParam().depth);
    gfx::dac_index = 3;
    for (int port : {SELECT_READ, SELECT_WRITE, DATA}) {
        EXPECT_EQ(port_out(port, 5), -1) << std::hex << port;
    }
    EXPECT_EQ(port_in(DATA), -1);
    EXPECT_EQ(gfx::dac_index, 3);
    EXPECT_EQ(gfx::dac_shift, 2);
    EXPECT_EQ(gfx::dac_value, 0u);
    EXPECT_TRUE(fake_state(0).palette_calls.empty());
    EXPECT_EQ(port_in(STATUS), gfx::PORT_RETRACE_BIT) << "the retrace works at any depth";
    EXPECT_EQ(fake_state(0).vsync_calls, 1);
}

INSTANTIATE_TEST_SUITE_P(Ports, DeepScreen, testing::Values(DeepCase{"Depth16", 16}, DeepCase{"Depth32", 32}),
                         [](const testing::TestParamInfo<DeepCase>& info) { return info.param.name; });

TEST_F(VgaPorts, OtherPortsRefuse) {
    open_mode(13);
    for (int port : {0x3C6, 0x3CA, 0x3D9, 0x3DB, 0}) {
        EXPECT_EQ(port_out(port, 1), -1) << std::hex << port;
        EXPECT_EQ(port_in(port), -1) << std::hex << port;
    }
    EXPECT_EQ(port_in(SELECT_WRITE), -1) << "the index ports cannot be read";
    EXPECT_EQ(port_out(STATUS, 0), -1) << "nor the status port written";
    EXPECT_EQ(fake_state(0).vsync_calls, 0);
}

TEST_F(VgaPorts, NothingWithoutAScreen) {
    EXPECT_EQ(port_out(SELECT_WRITE, 5), -1);
    EXPECT_EQ(port_out(DATA, 5), -1);
    EXPECT_EQ(port_in(DATA), -1);
    EXPECT_EQ(port_in(STATUS), -1);
    EXPECT_EQ(gfx::dac_index, 0);
}

TEST_F(VgaPorts, RetraceWaitsOnTheDriverThatHasOne) {
    open_mode(13);
    EXPECT_EQ(port_in(STATUS), 8);
    EXPECT_EQ(port_in(STATUS), 8);
    EXPECT_EQ(fake_state(0).vsync_calls, 2);

    open_null(64, 48, 8);  // the null driver has no wait_vsync
    EXPECT_EQ(port_in(STATUS), 8);
    EXPECT_EQ(fake_state(0).vsync_calls, 2);
}

TEST_F(VgaPorts, RuntimePortServicesReachThePortsWhileAScreenIsOpen) {
    EXPECT_EQ(rt::port_out(SELECT_WRITE, 5), -1) << "no screen, no hooks";
    open_mode(13);
    EXPECT_EQ(rt::port_out(SELECT_WRITE, 5), 0);
    rt::port_out(DATA, 0);
    rt::port_out(DATA, 63);
    rt::port_out(DATA, 0);
    EXPECT_EQ(screen->palette[5], 0x00FF00u);
    EXPECT_EQ(rt::port_in(STATUS), 8);
}

}  // namespace
