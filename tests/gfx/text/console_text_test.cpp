// The graphics text console, checked by reading back the pixels of the page
// and the recorded text cells: the tool's 150 x 50 screen with its 18 x 6
// grid, control codes, wrapping, the deferred scroll of a full last row,
// the text view band, colours per mode, dirty lines and the screen lock.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pages.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"
#include "gfx/text/console_text.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::screen;
using gfx::ScreenState;
using gfx::TextCell;
using test_support::fake_state;
using test_support::clear_dirty;
using test_support::dirty_lines;
using test_support::int_range;
using test_support::ScreenTest;

constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLUE = 0x0245D0;  // the tool's prompt background

int g_beeps = 0;
void count_beep() { ++g_beeps; }

class ConsoleText : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();  // closes any screen, which clears the hooks
        rt::RuntimeHooks& h = rt::hooks;
        h.hook_print = gfx::text_print;
        h.hook_print_wide = gfx::text_print_wide;
        h.hook_locate = gfx::text_locate;
        h.hook_colour = gfx::text_colour;
        h.hook_cursor_x = gfx::text_cursor_col;
        h.hook_cursor_y = gfx::text_cursor_row;
        h.hook_get_cursor = gfx::text_cursor_get;
        h.hook_get_size = gfx::text_size_get;
        saved_beep_ = rt::beep;
        rt::beep = count_beep;
        g_beeps = 0;
    }

    void TearDown() override {
        ScreenTest::TearDown();
        rt::beep = saved_beep_;
        rt::hooks = rt::RuntimeHooks{};
        rt::text_view_set(0, 0);
    }

    // The tool's screen: 150 x 50 at 32 bits, on the lock-counting driver.
    void open_app() { open_fake(150, 50, 32); }

    static void print(const std::string& text, int flags = 0) {
        gfx::text_print(text.data(), static_cast<int>(text.size()), flags);
    }

    static void locate(int row, int column) { gfx::text_locate(row, column, -1); }

    static uint32_t pixel(int x, int y, int page = -1) { return test_support::page_pixel(x, y, page); }

    static const TextCell& cell(int col, int row, int page = -1) {
        if (page < 0) page = screen->work_page;
        return screen->text_cells[page][row * screen->text_cols + col];
    }

    // The characters of a row of cells, without trailing spaces.
    static std::string row_text(int row, int page = -1) {
        std::string text;
        for (int c = 0; c < screen->text_cols; ++c) text += static_cast<char>(cell(c, row, page).character);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }

    static bool pending() { return (screen->flags & ScreenState::text_scroll_pending) != 0; }

    // Whether glyph row j, pixel k of character c is set: bit 0 of each
    // glyph byte is the leftmost pixel.
    static bool glyph_bit(const gfx::FontInfo& font, uint32_t c, int j, int k) {
        int row_size = (font.width + 7) / 8;
        const uint8_t* glyph = font.glyphs + c * static_cast<uint32_t>(font.height * row_size);
        return (glyph[j * row_size + k / 8] >> (k % 8)) & 1;
    }

    // The pixels of a cell show its recorded character in its recorded
    // colours, every pixel of the cell written.
    static testing::AssertionResult cell_drawn(int col, int row) {
        const gfx::FontInfo& font = *screen->font;
        const TextCell& c = cell(col, row);
        for (int j = 0; j < font.height; ++j) {
            for (int k = 0; k < font.width; ++k) {
                uint32_t want = glyph_bit(font, c.character, j, k) ? c.foreground : c.background;
                uint32_t got = pixel(col * font.width + k, row * font.height + j);
                if (got != want) {
                    return testing::AssertionFailure()
                           << "cell (" << col << ", " << row << ") char " << c.character << " pixel (" << k
                           << ", " << j << ") is 0x" << std::hex << got << ", want 0x" << want;
                }
            }
        }
        return testing::AssertionSuccess();
    }

    static testing::AssertionResult grid_drawn() {
        for (int r = 0; r < screen->text_rows; ++r) {
            for (int c = 0; c < screen->text_cols; ++c) {
                testing::AssertionResult result = cell_drawn(c, r);
                if (!result) return result;
            }
        }
        return testing::AssertionSuccess();
    }




    // Marks each row of the grid with a letter in column 0: "A" on row 1,
    // "B" on row 2 and so on.
    static void mark_rows() {
        for (int r = 0; r < screen->text_rows; ++r) {
            locate(r + 1, 1);
            print(std::string(1, static_cast<char>('A' + r)));
        }
    }

    void (*saved_beep_)() = nullptr;
};

// ---- The tool's prompt ------------------------------------------------------

TEST_F(ConsoleText, ToolPromptThroughTheRuntimeConsole) {
    open_app();
    ASSERT_EQ(screen->text_cols, 18);
    ASSERT_EQ(screen->text_rows, 6);
    EXPECT_EQ(rt::console_colour(WHITE, BLUE), 0xFFFFFFFFu) << "fg was the colour mask, bg 0";
    rt::console_locate(1, 1, -1);
    rt::console_print(" ", false);

    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) ASSERT_EQ(pixel(x, y), BLUE) << x << ", " << y;
    }
    EXPECT_EQ(pixel(8, 0), 0u) << "the next cell is untouched";
    EXPECT_EQ(cell(0, 0).character, 32u);
    EXPECT_EQ(cell(0, 0).foreground, WHITE);
    EXPECT_EQ(cell(0, 0).background, BLUE);
    EXPECT_EQ(gfx::text_cursor_col(), 2);
    EXPECT_EQ(gfx::text_cursor_row(), 1);

    rt::console_print("", true);  // the line end of the prompt
    EXPECT_EQ(gfx::text_cursor_col(), 1);
    EXPECT_EQ(gfx::text_cursor_row(), 2);
    EXPECT_EQ(cell(0, 0).background, BLUE) << "nothing scrolled";
    EXPECT_EQ(pixel(0, 0), BLUE);
    EXPECT_FALSE(pending());

    // The typed key, printed at the same place.
    rt::console_locate(1, 1, -1);
    rt::console_print("7", false);
    EXPECT_EQ(cell(0, 0).character, uint32_t{'7'});
    EXPECT_TRUE(cell_drawn(0, 0));
}

TEST_F(ConsoleText, MarginsBesideTheGridAreNeverTouched) {
    open_app();
    const uint32_t sentinel = 0x00123456;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 150; ++x) std::memcpy(screen->pages[0] + y * screen->pitch + x * 4, &sentinel, 4);
    }
    gfx::text_colour(WHITE, BLUE);
    locate(1, 1);
    for (int i = 0; i < 12; ++i) print(std::string(25, static_cast<char>('a' + i)) + "\t|\r\n");
    print(std::string(18, '#'));
    print("\n");

    int lit = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 144; ++x) lit += pixel(x, y) == WHITE;
    }
    EXPECT_GT(lit, 0) << "text was drawn";
    EXPECT_EQ(pixel(143, 47), BLUE) << "the last cell was cleared by scrolling";
    for (int y = 0; y < 50; ++y) {
        for (int x = 144; x < 150; ++x) ASSERT_EQ(pixel(x, y), sentinel) << x << ", " << y;
    }
    for (int y = 48; y < 50; ++y) {
        for (int x = 0; x < 150; ++x) ASSERT_EQ(pixel(x, y), sentinel) << x << ", " << y;
    }
}

// ---- Line ends and the deferred scroll of a full last row ------------------

struct PrintStep {
    std::string text;
    int flags;
};

struct ScrollCase {
    const char* name;
    std::vector<PrintStep> steps;  // printed from row 6, column 1
    std::vector<std::string> rows;  // the six rows afterwards
    int col, row;                   // cursor afterwards, 1-based
    bool pending;
    bool last_row_cleared;  // row 6 was cleared in the current colours
};

const std::string X18(18, 'x');

const ScrollCase kScrollCases[] = {
    {"FullLastRowWaits", {{X18, 0}}, {"A", "B", "C", "D", "E", X18}, 18, 6, true, false},
    {"NextPrintScrollsFirst", {{X18, 0}, {"Z", 0}}, {"B", "C", "D", "E", X18, "Z"}, 2, 6, false, true},
    {"LineEndOnLastRowScrollsAtOnce", {{"Q\r\n", 0}}, {"B", "C", "D", "E", "Q", ""}, 1, 6, false, true},
    {"FullRowThenLineEndLaterScrollsTwice", {{X18, 0}, {"\r\n", 0}}, {"C", "D", "E", X18, "", ""}, 1, 6, false, true},
    {"FullRowAndLineEndTogetherScrollsTwice", {{X18 + "\r\n", 0}}, {"C", "D", "E", X18, "", ""}, 1, 6, false, true},
    {"TextPastTheLastRowWraps", {{X18 + "xx", 0}}, {"B", "C", "D", "E", X18, "xx"}, 3, 6, false, true},
    {"EmptyPrintWithFlagScrolls", {{X18, 0}, {"", 0x08}}, {"B", "C", "D", "E", X18, ""}, 1, 6, false, true},
    {"EmptyPrintWithoutFlagDoesNothing", {{X18, 0}, {"", 0}}, {"A", "B", "C", "D", "E", X18}, 18, 6, true, false},
    {"CarriageReturnAfterFullRow", {{X18, 0}, {"\rk", 0}}, {"B", "C", "D", "E", X18, "k"}, 2, 6, false, true},
};

void PrintTo(const ScrollCase& k, std::ostream* os) { *os << k.name; }

class ConsoleScroll : public ConsoleText, public testing::WithParamInterface<ScrollCase> {};

TEST_P(ConsoleScroll, RowsCursorAndPendingFlag) {
    const ScrollCase& k = GetParam();
    open_app();
    gfx::text_colour(WHITE, BLUE);
    mark_rows();
    locate(6, 1);
    for (const PrintStep& step : k.steps) print(step.text, step.flags);

    for (int r = 0; r < 6; ++r) EXPECT_EQ(row_text(r), k.rows[r]) << "row " << r + 1;
    EXPECT_EQ(gfx::text_cursor_col(), k.col);
    EXPECT_EQ(gfx::text_cursor_row(), k.row);
    EXPECT_EQ(pending(), k.pending);
    EXPECT_TRUE(grid_drawn()) << "pixels moved along with the cells";
    if (k.last_row_cleared) {
        EXPECT_EQ(cell(17, 5).character, 32u);
        EXPECT_EQ(cell(17, 5).foreground, WHITE);
        EXPECT_EQ(cell(17, 5).background, BLUE);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleScroll, testing::ValuesIn(kScrollCases),
                         [](const testing::TestParamInfo<ScrollCase>& info) { return std::string(info.param.name); });

TEST_F(ConsoleText, LocateClearsThePendingScroll) {
    open_app();
    mark_rows();
    locate(6, 1);
    print(X18);
    ASSERT_TRUE(pending());
    EXPECT_EQ(gfx::text_locate(3, 5, -1), 5 + 256 * 3);
    EXPECT_FALSE(pending());
    print("K");
    EXPECT_EQ(row_text(0), "A") << "nothing scrolled";
    EXPECT_EQ(row_text(2), "C   K");
    EXPECT_EQ(gfx::text_cursor_col(), 6);
    EXPECT_EQ(gfx::text_cursor_row(), 3);
}

TEST_F(ConsoleText, ScrollStaysInsideTheTextView) {
    open_app();
    gfx::text_colour(WHITE, BLUE);
    mark_rows();
    rt::text_view_set(2, 4);
    locate(4, 1);
    clear_dirty();
    print("Q\r\n");

    const std::vector<std::string> rows = {"A", "C", "Q", "", "E", "F"};
    for (int r = 0; r < 6; ++r) EXPECT_EQ(row_text(r), rows[r]) << "row " << r + 1;
    EXPECT_EQ(gfx::text_cursor_row(), 4);
    EXPECT_EQ(gfx::text_cursor_col(), 1);
    EXPECT_TRUE(grid_drawn());
    EXPECT_EQ(dirty_lines(), int_range(8, 32)) << "the band of rows 2 to 4";
}

// ---- Control codes ----------------------------------------------------------

struct TabCase {
    int from;    // 0-based column of the tab
    int spaces;  // spaces it draws
};

void PrintTo(const TabCase& k, std::ostream* os) { *os << "tab at column " << k.from; }

class ConsoleTab : public ConsoleText, public testing::WithParamInterface<TabCase> {};

TEST_P(ConsoleTab, DrawsSpacesToTheNextMultipleOfEight) {
    const TabCase k = GetParam();
    open_app();
    locate(2, 1);
    print(std::string(18, '#'));
    locate(2, k.from + 1);
    print("\t");
    for (int c = 0; c < 18; ++c) {
        char want = c >= k.from && c < k.from + k.spaces ? ' ' : '#';
        EXPECT_EQ(cell(c, 1).character, static_cast<uint32_t>(want)) << "column " << c;
    }
    int end = k.from + k.spaces;
    EXPECT_EQ(gfx::text_cursor_col(), end % 18 + 1);
    EXPECT_EQ(gfx::text_cursor_row(), 2 + end / 18);
    EXPECT_TRUE(grid_drawn());
}

INSTANTIATE_TEST_SUITE_P(Columns, ConsoleTab,
                         testing::Values(TabCase{0, 8}, TabCase{7, 1}, TabCase{3, 5}, TabCase{8, 8},
                                         TabCase{15, 1},
                                         // The stop after column 16 lies past the 18th
                                         // column: the spaces wrap onto the next row.
                                         TabCase{16, 8}));

TEST_F(ConsoleText, TabCountsFromWherePendingTextEnds) {
    open_app();
    locate(1, 1);
    print("ab\tc\td");
    EXPECT_EQ(row_text(0), "ab      c       d");
    EXPECT_EQ(gfx::text_cursor_col(), 18);
    // After wrapping, the count starts again at the left column.
    locate(3, 1);
    print(std::string(19, 'w') + "\tz");
    EXPECT_EQ(row_text(3), "w       z");
}

TEST_F(ConsoleText, BackspaceMovesWithoutErasing) {
    open_app();
    locate(2, 1);
    print("\b");
    EXPECT_EQ(gfx::text_cursor_col(), 1) << "no move at the left column";
    EXPECT_EQ(gfx::text_cursor_row(), 2) << "no wrap to the row above";

    print("AB\b");
    EXPECT_EQ(row_text(1), "AB") << "nothing erased";
    EXPECT_EQ(gfx::text_cursor_col(), 2);
    print("\b\bC");
    EXPECT_EQ(row_text(1), "CB");
    EXPECT_EQ(gfx::text_cursor_col(), 2);
    EXPECT_TRUE(grid_drawn());
}

TEST_F(ConsoleText, BellBeepsAndDrawsNothing) {
    open_app();
    locate(1, 1);
    std::vector<uint8_t> before(screen->pages[0], screen->pages[0] + screen->pitch * screen->height);
    print("\a");
    EXPECT_EQ(g_beeps, 1);
    EXPECT_EQ(std::vector<uint8_t>(screen->pages[0], screen->pages[0] + screen->pitch * screen->height), before);
    EXPECT_EQ(cell(0, 0).character, 32u);
    EXPECT_EQ(gfx::text_cursor_col(), 1);

    print("A\aB");
    EXPECT_EQ(g_beeps, 2);
    EXPECT_EQ(row_text(0), "AB");
    EXPECT_EQ(gfx::text_cursor_col(), 3);
}

TEST_F(ConsoleText, Bytes11And12DrawTheirGlyphs) {
    open_app();
    gfx::text_colour(WHITE, BLUE);
    locate(1, 1);
    print("\x0b\x0c");
    EXPECT_EQ(cell(0, 0).character, 11u);
    EXPECT_EQ(cell(1, 0).character, 12u);
    EXPECT_EQ(gfx::text_cursor_col(), 3);
    EXPECT_EQ(gfx::text_cursor_row(), 1);
    EXPECT_TRUE(cell_drawn(0, 0));
    EXPECT_TRUE(cell_drawn(1, 0));
    int lit = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) lit += pixel(x, y) == WHITE;
    }
    EXPECT_GT(lit, 0) << "the glyphs are not blank";
}

// ---- Characters, wrapping, long text ----------------------------------------

TEST_F(ConsoleText, HighCodesAreRecordedAndDrawnAsThemselves) {
    open_null(320, 200, 32);  // 40 x 25 cells
    gfx::text_colour(0xC0FFEE, 0x102030);
    std::string text;
    for (int c = 128; c < 256; ++c) text += static_cast<char>(c);
    locate(1, 1);
    print(text);
    for (int i = 0; i < 128; ++i) {
        ASSERT_EQ(cell(i % 40, i / 40).character, static_cast<uint32_t>(128 + i));
        ASSERT_TRUE(cell_drawn(i % 40, i / 40));
    }
    EXPECT_EQ(gfx::text_cursor_col(), 9);
    EXPECT_EQ(gfx::text_cursor_row(), 4);
}

TEST_F(ConsoleText, TextWrapsPastTheRightEdge) {
    open_app();
    locate(1, 11);
    print("0123456789");
    EXPECT_EQ(row_text(0), "          01234567");
    EXPECT_EQ(row_text(1), "89");
    EXPECT_EQ(gfx::text_cursor_col(), 3);
    EXPECT_EQ(gfx::text_cursor_row(), 2);
    EXPECT_TRUE(grid_drawn());
}

TEST_F(ConsoleText, TextLongerThanThePendingBuffer) {
    open_null(320, 200, 32);  // 40 x 25 cells
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
    text[255] = '\t';  // a tab right at the buffer's end: 1 space at column 15
    locate(1, 1);
    print(text);
    for (int i = 0; i < 300; ++i) {
        uint32_t want = i == 255 ? 32u : static_cast<uint32_t>('a' + i % 26);
        ASSERT_EQ(cell(i % 40, i / 40).character, want) << i;
    }
    EXPECT_EQ(gfx::text_cursor_col(), 21);
    EXPECT_EQ(gfx::text_cursor_row(), 8);
    EXPECT_TRUE(grid_drawn());
}

// ---- Glyph bitmaps ------------------------------------------------------------

struct GlyphCase {
    const char* name;
    int mode;   // 0: a free-size 64 x 32 screen of `depth`
    int depth;
    const gfx::FontInfo* (*font)();
};

const GlyphCase kGlyphCases[] = {
    {"FreeSize8x8", 0, 32, [] { return &gfx::font_8x8(); }},
    {"FreeSize8x8At16Bits", 0, 16, [] { return &gfx::font_8x8(); }},
    {"Mode9Font8x14", 9, 0, [] { return &gfx::font_8x14(); }},
    {"Mode18Font8x16", 18, 0, [] { return &gfx::font_8x16(); }},
};

void PrintTo(const GlyphCase& k, std::ostream* os) { *os << k.name; }

class ConsoleGlyph : public ConsoleText, public testing::WithParamInterface<GlyphCase> {};

TEST_P(ConsoleGlyph, MatchesTheFontBitForBit) {
    const GlyphCase& k = GetParam();
    if (k.mode == 0) {
        open_null(64, 32, k.depth);
    } else {
        ASSERT_EQ(gfx::screen_mode(k.mode, 0, 1, -1, 0), 0);
        ASSERT_NE(screen, nullptr);
    }
    const gfx::FontInfo& font = *k.font();
    ASSERT_EQ(screen->font, &font);

    // 'F' is lopsided in every row that has pixels, so a mirrored bit order
    // would not match.
    bool asymmetric = false;
    for (int j = 0; j < font.height; ++j) {
        for (int b = 0; b < 8; ++b) asymmetric |= glyph_bit(font, 'F', j, b) != glyph_bit(font, 'F', j, 7 - b);
    }
    ASSERT_TRUE(asymmetric);

    locate(1, 1);
    print("F7\xdb\x01");
    for (int c = 0; c < 4; ++c) EXPECT_TRUE(cell_drawn(c, 0));
    // The solid block covers its whole cell in the foreground.
    for (int j = 0; j < font.height; ++j) {
        for (int x = 16; x < 24; ++x) ASSERT_EQ(pixel(x, j), screen->fg_colour) << x << ", " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, ConsoleGlyph, testing::ValuesIn(kGlyphCases),
                         [](const testing::TestParamInfo<GlyphCase>& info) { return std::string(info.param.name); });

// ---- Colours ------------------------------------------------------------------

struct ColourCase {
    const char* name;
    int mode;   // 0: a free-size 64 x 32 screen of `depth`
    int depth;
    int32_t fg, bg;
    uint32_t want_fg, want_bg;  // fg_colour, bg_colour afterwards
    int palette_index;          // -1: no palette entry to check
    uint32_t palette_entry;     // 0x00BBGGRR
};

const ColourCase kColourCases[] = {
    {"Depth32StoresValues", 0, 32, 0x123456, 0xABCDEF, 0x123456, 0xABCDEF, -1, 0},
    {"Depth16PacksRgb", 0, 16, 0xFF8040, 0x0000FF, 0xFC08, 0x001F, -1, 0},
    {"Depth8Masks", 0, 8, 0x1234, 0x1FF, 0x34, 0xFF, -1, 0},
    {"Depth32OnlyBackground", 0, 32, -1, 0x0245D0, 0xFFFFFFFF, 0x0245D0, -1, 0},
    {"Mode13Masks", 13, 0, 300, 7, 44, 7, -1, 0},
    // Modes 7, 8, 9: foreground AND 15, background into palette entry 0.
    {"Mode7", 7, 0, 0x1E, 3, 14, 0, 0, 0xAAAA00},
    {"Mode8", 8, 0, 0x13, 4, 3, 0, 0, 0x0000AA},
    {"Mode9", 9, 0, 0x25, 2, 5, 0, 0, 0x00AA00},
    // Mode 1: the background picks a CGA set (entry 1 shows its first
    // colour), the foreground is entry 0; the colour fields stay.
    {"Mode1BackgroundPicksCgaSet", 1, 0, -1, 1, 3, 0, 1, 0xAAAA00},
    {"Mode1OtherCgaSet", 1, 0, -1, 0, 3, 0, 1, 0x00AA00},
    {"Mode1ForegroundIsEntry0", 1, 0, 4, -1, 3, 0, 0, 0x0000AA},
};

void PrintTo(const ColourCase& k, std::ostream* os) { *os << k.name; }

class ConsoleColour : public ConsoleText, public testing::WithParamInterface<ColourCase> {};

TEST_P(ConsoleColour, SetsFieldsOrPaletteByMode) {
    const ColourCase& k = GetParam();
    if (k.mode == 0) {
        open_null(64, 32, k.depth);
    } else {
        ASSERT_EQ(gfx::screen_mode(k.mode, 0, 1, -1, 0), 0);
        ASSERT_NE(screen, nullptr);
    }
    const uint32_t fg = screen->fg_colour, bg = screen->bg_colour;
    EXPECT_EQ(gfx::text_colour(-1, -1), fg | bg << 16) << "-1, -1 only reads";
    EXPECT_EQ(screen->fg_colour, fg);
    EXPECT_EQ(screen->bg_colour, bg);

    std::vector<uint32_t> palette(screen->palette, screen->palette + 256);
    EXPECT_EQ(gfx::text_colour(k.fg, k.bg), fg | bg << 16);
    EXPECT_EQ(screen->fg_colour, k.want_fg);
    EXPECT_EQ(screen->bg_colour, k.want_bg);
    if (k.palette_index >= 0) {
        EXPECT_EQ(screen->palette[k.palette_index], k.palette_entry);
        EXPECT_NE(palette[k.palette_index], k.palette_entry) << "the entry changed";
    } else {
        EXPECT_EQ(std::vector<uint32_t>(screen->palette, screen->palette + 256), palette);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ConsoleColour, testing::ValuesIn(kColourCases),
                         [](const testing::TestParamInfo<ColourCase>& info) { return std::string(info.param.name); });

TEST_F(ConsoleText, CellsRecordTheColoursOfTheirPrint) {
    open_null(64, 32, 16);
    gfx::text_colour(0xFF0000, 0x00FF00);
    locate(1, 1);
    print("a");
    gfx::text_colour(0x0000FF, -1);
    print("b");
    EXPECT_EQ(cell(0, 0).foreground, 0xF800u);
    EXPECT_EQ(cell(0, 0).background, 0x07E0u);
    EXPECT_EQ(cell(1, 0).foreground, 0x001Fu);
    EXPECT_EQ(cell(1, 0).background, 0x07E0u);
    EXPECT_TRUE(cell_drawn(0, 0));
    EXPECT_TRUE(cell_drawn(1, 0));
}

// ---- Wide text ------------------------------------------------------------------

TEST_F(ConsoleText, WideTextBecomesBytes) {
    open_app();
    locate(1, 1);
    const uint16_t units[] = {'A', 0xD83D, 0xDE00, 'B', 0x263A, 0xE9, 0xFF, 0xDC00, 'C'};
    gfx::text_print_wide(units, 9, 0);
    const uint32_t want[] = {'A', '?', 'B', '?', 0xE9, 0xFF, '?', 'C'};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(cell(i, 0).character, want[i]) << i;
    EXPECT_EQ(gfx::text_cursor_col(), 9);

    // A high surrogate as the last unit gives one "?" and reads nothing past
    // the length.
    locate(2, 1);
    const uint16_t lone[] = {'x', 0xDBFF};
    gfx::text_print_wide(lone, 2, 0);
    EXPECT_EQ(row_text(1), "x?");
    EXPECT_EQ(gfx::text_cursor_col(), 3);
}

TEST_F(ConsoleText, WideEmptyTextActsOnlyWithTheFlag) {
    open_app();
    locate(6, 1);
    print(X18);
    ASSERT_TRUE(pending());
    gfx::text_print_wide(nullptr, 0, 0);
    EXPECT_TRUE(pending());
    gfx::text_print_wide(nullptr, 0, 0x08);
    EXPECT_FALSE(pending());
    EXPECT_EQ(row_text(4), X18) << "the pending scroll happened";
}

// ---- Cursor, size and locate --------------------------------------------------

TEST_F(ConsoleText, CursorQueriesAndLocate) {
    open_app();
    int cols = 0, rows = 0;
    gfx::text_size_get(&cols, &rows);
    EXPECT_EQ(cols, 18);
    EXPECT_EQ(rows, 6);
    gfx::text_size_get(nullptr, nullptr);

    EXPECT_EQ(gfx::text_locate(3, 5, -1), 5 + 256 * 3);
    EXPECT_EQ(rt::console_column(), 4) << "the runtime's text column follows";
    EXPECT_EQ(gfx::text_locate(0, 7, 0), 7 + 256 * 3) << "row 0 keeps the row";
    EXPECT_EQ(gfx::text_locate(2, 0, 1), 7 + 256 * 2) << "column 0 keeps the column";
    int col = 0, row = 0;
    gfx::text_cursor_get(&col, &row);
    EXPECT_EQ(col, 7);
    EXPECT_EQ(row, 2);
    gfx::text_cursor_get(nullptr, &row);
    EXPECT_EQ(screen->cursor_x, 6);
    EXPECT_EQ(screen->cursor_y, 1);

    EXPECT_EQ(gfx::text_cursor_set(4, -1), 6 | 4 << 8);
    EXPECT_EQ(gfx::text_cursor_set(-1, 0), 0 | 4 << 8);
    gfx::text_cursor_back();
    EXPECT_EQ(screen->cursor_x, 17) << "from column 0 to the end of the row above";
    EXPECT_EQ(screen->cursor_y, 3);
    gfx::text_cursor_back();
    EXPECT_EQ(screen->cursor_x, 16);
    EXPECT_EQ(screen->cursor_y, 3);

    // The runtime refuses positions outside the view or the columns, which
    // it learns through hook_get_size.
    rt::console_locate(2, 3, -1);
    rt::error_set(0);
    rt::console_locate(7, 1, -1);
    EXPECT_EQ(rt::error_get(), rt::ERR_ILLEGAL);
    rt::error_set(0);
    rt::console_locate(1, 19, -1);
    EXPECT_EQ(rt::error_get(), rt::ERR_ILLEGAL);
    EXPECT_EQ(gfx::text_cursor_col(), 3);
    EXPECT_EQ(gfx::text_cursor_row(), 2);
}

// ---- Dirty lines, pages, the drawing target, the lock ------------------------

TEST_F(ConsoleText, DirtyLinesCoverOnlyTheTouchedBand) {
    open_app();
    clear_dirty();
    locate(3, 1);
    print("A");
    EXPECT_EQ(dirty_lines(), int_range(16, 24));

    clear_dirty();
    locate(2, 1);
    print(std::string(20, 'm'));  // rows 2 and 3
    EXPECT_EQ(dirty_lines(), int_range(8, 24));

    clear_dirty();
    locate(6, 1);
    print("\n");  // scrolls the whole view
    EXPECT_EQ(dirty_lines(), int_range(0, 48));

    clear_dirty();
    print("");
    print("\a");
    EXPECT_TRUE(dirty_lines().empty()) << "nothing drawn, nothing marked";
}

TEST_F(ConsoleText, HiddenWorkPageGetsTheTextWithoutDirtyLines) {
    open_fake(150, 50, 32, 2);
    gfx::page_set(1, 0);
    clear_dirty();
    gfx::text_colour(WHITE, BLUE);
    locate(1, 1);
    print("Hi\r\n");
    EXPECT_TRUE(dirty_lines().empty());
    EXPECT_EQ(cell(0, 0, 1).character, uint32_t{'H'});
    EXPECT_EQ(cell(1, 0, 1).character, uint32_t{'i'});
    EXPECT_TRUE(cell_drawn(0, 0)) << "drawn on the work page, page 1";
    EXPECT_TRUE(cell_drawn(1, 0));
    EXPECT_EQ(cell(0, 0, 0).character, 32u) << "the visible page's cells stay";
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 150; ++x) ASSERT_EQ(pixel(x, y, 0), 0u) << "visible page touched at " << x << ", " << y;
    }
}

TEST_F(ConsoleText, PrintGoesToTheScreenWhenAnImageIsTheTarget) {
    open_app();
    gfx::ImageHeader* image = gfx::image_create(16, 16, 0x777777);
    ASSERT_NE(image, nullptr);
    gfx::target_select(image);
    gfx::text_colour(WHITE, BLUE);
    locate(1, 1);
    print("I");
    EXPECT_EQ(screen->target, nullptr) << "the screen stays the target";
    EXPECT_EQ(cell(0, 0).character, uint32_t{'I'});
    EXPECT_TRUE(cell_drawn(0, 0));
    for (int i = 0; i < 16 * 16; ++i) {
        uint32_t v;
        std::memcpy(&v, gfx::image_pixels(image) + 4 * i, 4);
        ASSERT_EQ(v & 0xFFFFFF, 0x777777u) << i;
    }
    gfx::image_destroy(image);
}

TEST_F(ConsoleText, OneLockPerPrint) {
    open_app();
    test_support::FakeDriverState& d = fake_state(0);
    const int locks = d.lock_calls, unlocks = d.unlock_calls;
    d.max_lock_depth = 0;
    locate(5, 1);
    print(std::string(40, 'L') + "\r\nmore\r\n\tand more\r\n");  // draws and scrolls
    EXPECT_EQ(d.lock_calls, locks + 1);
    EXPECT_EQ(d.unlock_calls, unlocks + 1);
    EXPECT_EQ(d.max_lock_depth, 1);
    EXPECT_EQ(screen->flags & (ScreenState::locked | ScreenState::lock_owned), 0u);

    const uint16_t wide[] = {'w', 'i'};
    gfx::text_print_wide(wide, 2, 0);
    EXPECT_EQ(d.lock_calls, locks + 2);
    EXPECT_EQ(d.unlock_calls, unlocks + 2);

    print("");  // returns before touching anything
    EXPECT_EQ(d.lock_calls, locks + 2);
    print("", 0x08);
    EXPECT_EQ(d.lock_calls, locks + 3);
    EXPECT_EQ(d.unlock_calls, unlocks + 3);
}

// ---- Bad input ----------------------------------------------------------------

TEST_F(ConsoleText, BadLengthsAndPointersPrintNothing) {
    open_app();
    locate(1, 1);
    gfx::text_print(nullptr, 5, 0);
    gfx::text_print("abc", -3, 0);
    gfx::text_print_wide(nullptr, 4, 0);
    const uint16_t units[] = {'a'};
    gfx::text_print_wide(units, -1, 0);
    EXPECT_EQ(row_text(0), "");
    EXPECT_EQ(gfx::text_cursor_col(), 1);
}

TEST_F(ConsoleText, CursorOutsideTheGridIsBroughtBackBeforeDrawing) {
    open_app();
    gfx::text_locate(40, 100, -1);  // unchecked: the runtime validates, not locate
    print("xyz\r\n");
    EXPECT_EQ(row_text(4), "xyz");
    EXPECT_EQ(gfx::text_cursor_col(), 1);
    EXPECT_EQ(gfx::text_cursor_row(), 6);
    EXPECT_TRUE(grid_drawn());
}

TEST_F(ConsoleText, TextViewPastTheGridScrollsInsideTheGrid) {
    open_app();
    rt::text_view_set(1, 40);
    locate(1, 1);
    for (char c = '1'; c <= '8'; ++c) print(std::string(1, c) + "\r\n");
    const std::vector<std::string> rows = {"4", "5", "6", "7", "8", ""};
    for (int r = 0; r < 6; ++r) EXPECT_EQ(row_text(r), rows[r]) << "row " << r + 1;
    EXPECT_EQ(gfx::text_cursor_row(), 6);
    EXPECT_TRUE(grid_drawn());
}

}  // namespace
