// Clearing, the text grid, reading cells back and line input of the graphics
// text console, checked against the page's pixels, the recorded cells, the
// dirty lines, the cursor and the graphics point. Keys are pushed into the
// key queue before the line editors run.
#include <gtest/gtest.h>

#include <cstdio>
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
#include "gfx/text/console_edit.h"
#include "gfx/text/console_text.h"
#include "gfx/text/keys.h"
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

constexpr uint32_t SENTINEL = 0x00ABCDEF;
constexpr uint32_t GREEN = 0x0000FF00;
constexpr int32_t UP_KEY = 0x48FF;
constexpr uint32_t BLOCK = 219;

class ConsoleEdit : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        rt::text_view_set(0, 0);
        gfx::key_queue_clear();
    }

    void TearDown() override {
        gfx::key_queue_clear();
        ScreenTest::TearDown();
        rt::text_view_set(0, 0);
        rt::hooks = rt::RuntimeHooks{};
    }

    static uint32_t pixel(int x, int y, int page = -1) { return test_support::page_pixel(x, y, page); }

    // Every pixel of every page set to `value` (the low byte below 32 bits).
    static void pages_fill(uint32_t value) {
        for (int p = 0; p < screen->page_count; ++p) {
            for (int y = 0; y < screen->height; ++y) {
                for (int x = 0; x < screen->width; ++x) {
                    uint8_t* at = screen->pages[p] + static_cast<size_t>(y) * screen->pitch +
                                  static_cast<size_t>(x) * screen->bytes_per_pixel;
                    std::memcpy(at, &value, static_cast<size_t>(screen->bytes_per_pixel));
                }
            }
        }
    }

    static const TextCell& cell(int col, int row) {
        return screen->text_cells[screen->work_page][row * screen->text_cols + col];
    }

    // The characters of a row of cells (0-based), without trailing spaces.
    static std::string row_text(int row) {
        std::string text;
        for (int c = 0; c < screen->text_cols; ++c) text += static_cast<char>(cell(c, row).character);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }

    static std::vector<std::string> grid_text() {
        std::vector<std::string> rows;
        for (int r = 0; r < screen->text_rows; ++r) rows.push_back(row_text(r));
        return rows;
    }

    static bool block_shown() {
        for (int r = 0; r < screen->text_rows; ++r) {
            for (int c = 0; c < screen->text_cols; ++c) {
                if (cell(c, r).character == BLOCK) return true;
            }
        }
        return false;
    }

    // The pixels of every cell show its recorded character in its colours.
    static testing::AssertionResult grid_drawn() {
        const gfx::FontInfo& font = *screen->font;
        const int row_size = (font.width + 7) / 8;
        for (int r = 0; r < screen->text_rows; ++r) {
            for (int c = 0; c < screen->text_cols; ++c) {
                const TextCell& tc = cell(c, r);
                const uint8_t* glyph = font.glyphs + tc.character * static_cast<uint32_t>(font.height * row_size);
                for (int j = 0; j < font.height; ++j) {
                    for (int k = 0; k < font.width; ++k) {
                        bool set = (glyph[j * row_size + k / 8] >> (k % 8)) & 1;
                        uint32_t want = set ? tc.foreground : tc.background;
                        uint32_t got = pixel(c * font.width + k, r * font.height + j);
                        if (got != want) {
                            return testing::AssertionFailure() << "cell (" << c << ", " << r << ") pixel (" << k
                                                               << ", " << j << ") is 0x" << std::hex << got;
                        }
                    }
                }
            }
        }
        return testing::AssertionSuccess();
    }




    // Queues key codes the way the window procedure does.
    static void type(const std::vector<int32_t>& codes) {
        ASSERT_LT(codes.size(), static_cast<size_t>(gfx::KEY_QUEUE_SLOTS)) << "the queue holds 15 codes";
        for (int32_t code : codes) gfx::key_queue_push(code);
    }
};

// Key codes: the characters of `text` followed by `more`.
std::vector<int32_t> keys(const std::string& text, std::vector<int32_t> more = {}) {
    std::vector<int32_t> codes;
    for (char c : text) codes.push_back(static_cast<unsigned char>(c));
    codes.insert(codes.end(), more.begin(), more.end());
    return codes;
}

std::vector<int32_t> operator+(std::vector<int32_t> a, const std::vector<int32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<int32_t> ENTER = {13};
const std::vector<int32_t> BACKSPACE = {8};

// ---- Clearing ------------------------------------------------------------------

struct Rect {
    int x0, y0, x1, y1;  // [x0, x1) x [y0, y1); empty when x0 == x1
};

struct ClearCase {
    const char* name;
    int mode;
    bool view_active;
    int view_first, view_last;  // the runtime's text view
    int viewport_h;             // the viewport is 16 x viewport_h pixels at (8, 16)
    Rect cleared;               // pixels cleared and lines marked dirty
    int cell_first, cell_end;   // rows of cells made blank
    int cursor_col, cursor_row; // afterwards, 1-based
    bool point_moved;           // the graphics point went to the viewport's centre
};
void PrintTo(const ClearCase& c, std::ostream* os) { *os << c.name; }

const Rect WHOLE = {0, 0, 64, 48};
const Rect VIEWPORT = {8, 16, 24, 24};
const Rect ROWS_2_TO_4 = {0, 8, 64, 32};
const Rect NOTHING = {0, 0, 0, 0};

// The cursor starts at row 3, column 5.
const ClearCase kClearCases[] = {
    {"Page", 0, false, 2, 4, 8, WHOLE, 0, 6, 1, 2, true},
    {"Viewport", 1, false, 2, 4, 8, VIEWPORT, 0, 0, 5, 3, true},
    {"TextView", 2, false, 2, 4, 8, ROWS_2_TO_4, 1, 4, 1, 2, false},
    {"NoModeWithViewportActive", rt::CLEAR_NO_MODE, true, 2, 4, 8, VIEWPORT, 0, 0, 5, 3, true},
    {"NoModeWithWholeTextView", rt::CLEAR_NO_MODE, false, 1, 6, 8, WHOLE, 0, 6, 1, 1, true},
    {"NoModeWithUnsetTextView", rt::CLEAR_NO_MODE, false, 0, 0, 8, WHOLE, 0, 6, 1, 1, true},
    {"NoModeWithNarrowTextView", rt::CLEAR_NO_MODE, false, 2, 4, 8, ROWS_2_TO_4, 1, 4, 1, 2, false},
    {"OtherModeClearsViewport", 7, false, 2, 4, 8, VIEWPORT, 0, 0, 5, 3, true},
    {"EmptyViewportKeepsThePoint", 1, false, 2, 4, 0, NOTHING, 0, 0, 5, 3, false},
    {"TextViewPastTheGridStaysInIt", 2, false, 5, 9, 8, {0, 32, 64, 48}, 4, 6, 1, 5, false},
};

class ClearModes : public ConsoleEdit, public testing::WithParamInterface<ClearCase> {};

TEST_P(ClearModes, ClearsPixelsCellsDirtyLinesAndMovesCursorAndPoint) {
    const ClearCase& c = GetParam();
    open_fake(64, 48, 32);  // an 8 x 6 grid of 8 x 8 cells
    gfx::text_colour(-1, GREEN);
    pages_fill(SENTINEL);
    gfx::text_cells_fill(0, 0, 8, 6, 0, 'X', 1, 2);
    rt::text_view_set(c.view_first, c.view_last);
    gfx::text_locate(3, 5, -1);
    screen->view_x = 8;
    screen->view_y = 16;
    screen->view_w = 16;
    screen->view_h = c.viewport_h;
    if (c.view_active) screen->flags |= ScreenState::view_active;
    screen->last_x = -1.0f;
    screen->last_y = -1.0f;
    clear_dirty();
    const int locks = fake_state(0).lock_calls;

    gfx::text_clear(c.mode);

    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            bool inside = x >= c.cleared.x0 && x < c.cleared.x1 && y >= c.cleared.y0 && y < c.cleared.y1;
            ASSERT_EQ(pixel(x, y), inside ? GREEN : SENTINEL) << x << ", " << y;
        }
    }
    for (int r = 0; r < 6; ++r) {
        bool blank = r >= c.cell_first && r < c.cell_end;
        for (int col = 0; col < 8; ++col) {
            const TextCell& tc = cell(col, r);
            if (blank) {
                ASSERT_EQ(tc.character, 32u) << col << ", " << r;
                ASSERT_EQ(tc.foreground, screen->fg_colour);
                ASSERT_EQ(tc.background, GREEN);
            } else {
                ASSERT_EQ(tc.character, uint32_t{'X'}) << col << ", " << r;
            }
        }
    }
    EXPECT_EQ(dirty_lines(), int_range(c.cleared.y0, c.cleared.x1 > c.cleared.x0 ? c.cleared.y1 : c.cleared.y0));
    EXPECT_EQ(gfx::text_cursor_col(), c.cursor_col);
    EXPECT_EQ(gfx::text_cursor_row(), c.cursor_row);
    EXPECT_EQ(screen->last_x, c.point_moved ? 16.0f : -1.0f);
    EXPECT_EQ(screen->last_y, c.point_moved ? 20.0f : -1.0f);
    EXPECT_GT(fake_state(0).lock_calls, locks) << "pixels are written under the lock";
    EXPECT_EQ(fake_state(0).lock_depth, 0);
    EXPECT_FALSE(screen->flags & (ScreenState::locked | ScreenState::lock_owned));
}

INSTANTIATE_TEST_SUITE_P(TextClear, ClearModes, testing::ValuesIn(kClearCases),
                         [](const testing::TestParamInfo<ClearCase>& info) { return info.param.name; });

TEST_F(ConsoleEdit, ClearingAHiddenWorkPageMarksNoLines) {
    open_fake(64, 48, 32, 2);
    gfx::page_set(1, 0);  // draw on page 1 while page 0 is shown
    rt::text_view_set(2, 4);
    for (int mode : {0, 1, 2}) {
        pages_fill(SENTINEL);
        clear_dirty();
        gfx::text_clear(mode);
        EXPECT_TRUE(dirty_lines().empty()) << "mode " << mode;
        EXPECT_EQ(pixel(0, 8, 1), 0u) << "mode " << mode << ": the work page is cleared";
        EXPECT_EQ(pixel(0, 8, 0), SENTINEL) << "mode " << mode << ": the shown page is not";
    }
}

TEST_F(ConsoleEdit, ClearingGoesToTheScreenEvenWithAnImageAsTarget) {
    open_null(64, 48, 32);
    pages_fill(SENTINEL);
    gfx::ImageHeader* image = gfx::image_create(4, 4, 0x112233);
    ASSERT_NE(image, nullptr);
    gfx::target_select(image);
    gfx::text_clear(0);
    EXPECT_EQ(screen->target, nullptr);
    EXPECT_EQ(pixel(63, 47), 0u) << "the work page is cleared";
    uint32_t first = 0;
    std::memcpy(&first, gfx::image_pixels(image), 4);
    EXPECT_EQ(first & 0xFFFFFF, 0x112233u) << "the image is not";
    gfx::image_destroy(image);
}

// ---- The text grid -----------------------------------------------------------------

struct WidthCase {
    const char* name;
    int before_cols, before_rows;  // a first text_width, when before_cols != 0
    int cols, rows;
    const gfx::FontInfo* font;     // the font chosen, or null for "no change"
    int want_cols, want_rows;
};
void PrintTo(const WidthCase& c, std::ostream* os) { *os << c.name; }

const WidthCase kWidthCases[] = {
    {"Grid80x25Picks8x16", 0, 0, 80, 25, &gfx::builtin_fonts[0], 80, 25},
    {"Grid80x50Picks8x8", 0, 0, 80, 50, &gfx::builtin_fonts[2], 80, 50},
    {"RowsAlone28Pick8x14", 0, 0, 0, 28, &gfx::builtin_fonts[1], 80, 28},
    {"BackTo80x25From8x8", 80, 50, 80, 25, &gfx::builtin_fonts[0], 80, 25},
    {"ColumnsAloneKeepRowsAndFont", 80, 50, 80, 0, &gfx::builtin_fonts[2], 80, 50},
    {"Rows30Make13PixelCells", 0, 0, 80, 30, nullptr, 80, 25},
    {"Columns40Make16PixelWideCells", 0, 0, 40, 25, nullptr, 80, 25},
    {"MoreRowsThanPixels", 0, 0, 80, 500, nullptr, 80, 25},
    {"NothingGiven", 0, 0, 0, 0, nullptr, 80, 25},
    {"NegativeKeepsBoth", 0, 0, -1, -5, nullptr, 80, 25},
};

class TextWidth : public ConsoleEdit, public testing::WithParamInterface<WidthCase> {};

TEST_P(TextWidth, ChangesGridFontCellsViewsAndCursorOrNothing) {
    const WidthCase& c = GetParam();
    ASSERT_EQ(gfx::screen_mode(17, 0, 1, -1, 0), 0);  // 640 x 400, 8 bits, 80 x 25 in 8 x 16
    if (c.before_cols != 0) gfx::text_width(c.before_cols, c.before_rows);
    const int old_cols = screen->text_cols;
    const int old_rows = screen->text_rows;
    const gfx::FontInfo* old_font = screen->font;

    gfx::text_colour(-1, 2);
    pages_fill(0x33);
    gfx::text_cells_fill(0, 0, old_cols, old_rows, 0, 'X', 1, 2);
    screen->view_x = 10;
    screen->view_y = 20;
    screen->view_w = 100;
    screen->view_h = 50;
    screen->flags |= ScreenState::view_active;
    rt::text_view_set(3, 5);
    gfx::text_locate(4, 7, -1);
    clear_dirty();

    EXPECT_EQ(gfx::text_width(c.cols, c.rows), old_cols | (old_rows << 16));

    int first = 0, last = 0;
    rt::text_view_get(&first, &last);
    if (c.font == nullptr) {
        EXPECT_EQ(screen->font, old_font);
        EXPECT_EQ(screen->text_cols, old_cols);
        EXPECT_EQ(screen->text_rows, old_rows);
        EXPECT_EQ(cell(old_cols - 1, old_rows - 1).character, uint32_t{'X'});
        EXPECT_EQ(pixel(639, 399), 0x33u);
        EXPECT_TRUE(screen->flags & ScreenState::view_active);
        EXPECT_EQ(screen->view_w, 100);
        EXPECT_EQ(first, 3);
        EXPECT_EQ(last, 5);
        EXPECT_EQ(gfx::text_cursor_col(), 7);
        EXPECT_EQ(gfx::text_cursor_row(), 4);
        EXPECT_TRUE(dirty_lines().empty());
        return;
    }
    EXPECT_EQ(screen->font, c.font);
    ASSERT_EQ(screen->text_cols, c.want_cols);
    ASSERT_EQ(screen->text_rows, c.want_rows);
    for (int r = 0; r < c.want_rows; ++r) {
        for (int col = 0; col < c.want_cols; ++col) {
            ASSERT_EQ(cell(col, r).character, 32u) << col << ", " << r;
            ASSERT_EQ(cell(col, r).background, 2u);
        }
    }
    for (int y = 0; y < 400; y += 7) {
        for (int x = 0; x < 640; x += 5) ASSERT_EQ(pixel(x, y), 2u) << "cleared: " << x << ", " << y;
    }
    EXPECT_EQ(dirty_lines(), int_range(0, 400));
    EXPECT_FALSE(screen->flags & ScreenState::view_active);
    EXPECT_EQ(screen->view_x, 0);
    EXPECT_EQ(screen->view_y, 0);
    EXPECT_EQ(screen->view_w, 640);
    EXPECT_EQ(screen->view_h, 400);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, c.want_rows);
    EXPECT_EQ(gfx::text_cursor_col(), 1);
    EXPECT_EQ(gfx::text_cursor_row(), 1);

    // The new cell buffer covers the whole new grid.
    gfx::text_locate(c.want_rows, c.want_cols, -1);
    gfx::text_print("Z", 1, 0);
    EXPECT_EQ(gfx::text_read_cell(c.want_cols, c.want_rows, 0), uint32_t{'Z'});
}

INSTANTIATE_TEST_SUITE_P(Grid, TextWidth, testing::ValuesIn(kWidthCases),
                         [](const testing::TestParamInfo<WidthCase>& info) { return info.param.name; });

// ---- Reading cells back -----------------------------------------------------------

struct ReadCellCase {
    const char* name;
    int mode;    // a numbered mode, or 0 for a free-size 64 x 48 screen of `depth`
    int depth;
    uint32_t fg, bg;            // native colour values
    uint32_t colour, colour2;   // what = 1 and what = 2
};
void PrintTo(const ReadCellCase& c, std::ostream* os) { *os << c.name; }

const ReadCellCase kReadCellCases[] = {
    {"Depth2", 1, 2, 3, 1, 3 + 16 * 1, 3 + 16 * 1},
    {"Depth4", 7, 4, 5, 3, 5 + 16 * 3, 5 + 16 * 3},
    {"Depth8", 13, 8, 200, 17, 200 + 256 * 17, 200 + 256 * 17},
    {"Depth16", 0, 16, 0xF800, 0x07E0, 0xF800, 0x07E0},
    {"Depth32", 0, 32, 0xFFFFFF, 0x0245D0, 0xFFFFFF, 0x0245D0},
};

class ReadCell : public ConsoleEdit, public testing::WithParamInterface<ReadCellCase> {};

TEST_P(ReadCell, CharactersAndColoursPerDepth) {
    const ReadCellCase& c = GetParam();
    if (c.mode != 0) {
        ASSERT_EQ(gfx::screen_mode(c.mode, 0, 1, -1, 0), 0);
    } else {
        open_null(64, 48, c.depth);
    }
    ASSERT_EQ(screen->depth, c.depth);
    screen->fg_colour = c.fg;
    screen->bg_colour = c.bg;
    gfx::text_locate(2, 3, -1);
    gfx::text_print("\xC8\xFF\x80", 3, 0);

    EXPECT_EQ(gfx::text_read_cell(3, 2, 0), 200u);
    EXPECT_EQ(gfx::text_read_cell(4, 2, 0), 255u);
    EXPECT_EQ(gfx::text_read_cell(5, 2, 0), 128u);
    EXPECT_EQ(gfx::text_read_cell(3, 2, 1), c.colour);
    EXPECT_EQ(gfx::text_read_cell(3, 2, 2), c.colour2);
    EXPECT_EQ(gfx::text_read_cell(3, 2, 7), c.colour) << "any other what reads the foreground";
    EXPECT_EQ(gfx::text_read_cell(1, 1, 0), 32u) << "an untouched cell holds a space";

    const int cols = screen->text_cols, rows = screen->text_rows;
    const int outside[][2] = {{0, 2}, {cols + 1, 2}, {3, 0}, {3, rows + 1}, {-5, -5}};
    for (const auto& at : outside) {
        EXPECT_EQ(gfx::text_read_cell(at[0], at[1], 0), 0u) << at[0] << ", " << at[1];
        EXPECT_EQ(gfx::text_read_cell(at[0], at[1], 1), 0u) << at[0] << ", " << at[1];
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ReadCell, testing::ValuesIn(kReadCellCases),
                         [](const testing::TestParamInfo<ReadCellCase>& info) { return info.param.name; });

TEST_F(ConsoleEdit, NothingToReadWithoutAScreen) {
    EXPECT_EQ(gfx::text_read_cell(1, 1, 0), 0u);
    EXPECT_EQ(gfx::text_width(80, 25), 0);
    char buffer[8] = "keep";
    EXPECT_EQ(gfx::text_read_line(buffer, 8), nullptr);
    EXPECT_STREQ(buffer, "keep");
    gfx::text_clear(0);  // nothing to clear, nothing to crash
}

// ---- The block-cursor line reader --------------------------------------------------

struct ReadLineCase {
    const char* name;
    int row, col;  // where the input starts, 1-based
    std::vector<int32_t> keys;
    int size;
    std::string want;
    std::vector<std::string> rows;  // the grid afterwards
    int cursor_col, cursor_row;
};
void PrintTo(const ReadLineCase& c, std::ostream* os) { *os << c.name; }

// Six rows of the grid: `first`, then five blank ones.
std::vector<std::string> first_row_only(const std::string& first) { return {first, "", "", "", "", ""}; }

const ReadLineCase kReadLineCases[] = {
    {"EnterIsStoredAndErasesTheBlock", 1, 1, keys("ab") + ENTER, 10, "ab\r", first_row_only("ab"), 1, 1},
    {"BackspaceTakesBackOne", 1, 1, keys("abc") + BACKSPACE + keys("d") + ENTER, 10, "abd\r", first_row_only("abd"), 1, 1},
    {"BackspaceOnAnEmptyLineIsIgnored", 1, 1, BACKSPACE + keys("x") + ENTER, 10, "x\r", first_row_only("x"), 1, 1},
    {"BellAndExtendedKeysAreIgnored", 1, 1, keys("a", {7, UP_KEY, gfx::KEY_CLOSE_REQUEST}) + keys("b") + ENTER, 10,
     "ab\r", first_row_only("ab"), 1, 1},
    {"FullBufferTakesOnlyBackspaceAndEnter", 1, 1, keys("abcd") + ENTER, 3, "ab", first_row_only("ab"), 1, 1},
    {"BackspaceMakesRoomInAFullBuffer", 1, 1, keys("abc") + BACKSPACE + keys("z") + ENTER, 3, "az",
     first_row_only("az"), 1, 1},
    {"BufferOfOneByteTakesNothing", 1, 1, keys("a") + ENTER, 1, "", first_row_only(""), 1, 1},
    {"CharactersAbove127", 1, 1, keys("\xC8\xFF") + ENTER, 10, "\xC8\xFF\r", first_row_only("\xC8\xFF"), 1, 1},
    {"FillingTheLastCellScrollsOnceAndLeavesNoBlock", 6, 7, keys("abc") + ENTER, 10, "abc\r",
     {"", "", "", "", "      ab", "c"}, 1, 6},
    {"BackspaceAcrossTheWrap", 6, 7, keys("ab") + BACKSPACE + BACKSPACE + keys("x") + ENTER, 10, "x\r",
     {"", "", "", "", "      x", ""}, 1, 5},
};

class ReadLine : public ConsoleEdit, public testing::WithParamInterface<ReadLineCase> {};

TEST_P(ReadLine, EditsTheBufferAndTheScreen) {
    const ReadLineCase& c = GetParam();
    open_null(64, 48, 32);  // 8 x 6 cells
    gfx::text_locate(c.row, c.col, -1);
    type(c.keys);
    std::vector<char> buffer(static_cast<size_t>(c.size) + 8, '#');

    ASSERT_EQ(gfx::text_read_line(buffer.data(), c.size), buffer.data());

    EXPECT_EQ(std::string(buffer.data()), c.want);
    EXPECT_EQ(buffer[static_cast<size_t>(c.size)], '#') << "nothing written past the buffer's size";
    EXPECT_EQ(grid_text(), c.rows);
    EXPECT_FALSE(block_shown()) << "the cursor block is gone after Enter";
    EXPECT_TRUE(grid_drawn());
    EXPECT_EQ(gfx::text_cursor_col(), c.cursor_col);
    EXPECT_EQ(gfx::text_cursor_row(), c.cursor_row);
    EXPECT_FALSE(screen->flags & ScreenState::text_scroll_pending);
}

INSTANTIATE_TEST_SUITE_P(TextReadLine, ReadLine, testing::ValuesIn(kReadLineCases),
                         [](const testing::TestParamInfo<ReadLineCase>& info) { return info.param.name; });

TEST_F(ConsoleEdit, ReadLineRefusesABufferWithoutRoom) {
    open_null(64, 48, 32);
    type(keys("a") + ENTER);
    char buffer[4] = "xyz";
    EXPECT_EQ(gfx::text_read_line(buffer, 0), nullptr);
    EXPECT_EQ(gfx::text_read_line(nullptr, 4), nullptr);
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_EQ(gfx::key_hit(), 1) << "no key was taken";
}

TEST_F(ConsoleEdit, ReadLineShowsTheBlockWhereTheNextCharacterGoes) {
    open_null(64, 48, 32);
    // The hook runs while the first key is waited for; by then the block
    // stands at the cursor.
    type(keys("q") + ENTER);
    gfx::text_locate(2, 4, -1);
    static bool seen = false;
    seen = false;
    rt::hooks.hook_sleep = [](int) {
        if (!seen) {
            seen = true;
            EXPECT_EQ(screen->text_cells[0][1 * 8 + 3].character, BLOCK);
            EXPECT_EQ(gfx::text_cursor_col(), 4);
            EXPECT_EQ(gfx::text_cursor_row(), 2);
        }
    };
    char buffer[8];
    gfx::text_read_line(buffer, 8);
    EXPECT_TRUE(seen);
    EXPECT_STREQ(buffer, "q\r");
}

// ---- Line input through the runtime's line editor ---------------------------------

struct LineInputCase {
    const char* name;
    bool has_prompt;
    std::string prompt;
    int question, newline, size, fill;
    std::string first_row;  // the prompt and the echo
    std::string want;
    int cursor_col, cursor_row;
};
void PrintTo(const LineInputCase& c, std::ostream* os) { *os << c.name; }

const LineInputCase kLineInputCases[] = {
    {"PromptAndQuestion", true, "Ab", 1, 0, 0, 0, "Ab? hi", "hi", 7, 1},
    {"EmptyPromptStillAsks", true, "", 1, 0, 0, 0, "? hi", "hi", 5, 1},
    {"NoPromptNoQuestionMark", false, "", 1, 0, 0, 0, "hi", "hi", 3, 1},
    {"PromptWithoutQuestion", true, "Ab", 0, 0, 0, 0, "Abhi", "hi", 5, 1},
    {"NewlineAfterTheLine", false, "", 0, 1, 0, 0, "hi", "hi", 1, 2},
    {"FixedLengthPadded", false, "", 0, 0, 4, 1, "hi", "hi  ", 3, 1},
    {"FixedLengthCut", false, "", 0, 0, 1, 1, "hi", "h", 3, 1},
};

class LineInput : public ConsoleEdit, public testing::WithParamInterface<LineInputCase> {};

TEST_P(LineInput, PromptsReadsAndAssigns) {
    const LineInputCase& c = GetParam();
    open_null(64, 48, 32);
    type(keys("hi") + ENTER);
    std::string destination = "old";
    const std::string* prompt = c.has_prompt ? &c.prompt : nullptr;

    EXPECT_EQ(rt::hooks.hook_line_input(prompt, &destination, c.size, c.fill, c.question, c.newline), 0);

    EXPECT_EQ(destination, c.want);
    EXPECT_EQ(row_text(0), c.first_row);
    EXPECT_EQ(gfx::text_cursor_col(), c.cursor_col);
    EXPECT_EQ(gfx::text_cursor_row(), c.cursor_row);
    EXPECT_EQ(rt::error_get(), 0);
}

INSTANTIATE_TEST_SUITE_P(TextLineInput, LineInput, testing::ValuesIn(kLineInputCases),
                         [](const testing::TestParamInfo<LineInputCase>& info) { return info.param.name; });

struct WideCase {
    const char* name;
    bool has_prompt;
    int question, size;
    std::string first_row;
    std::u16string want;
};
void PrintTo(const WideCase& c, std::ostream* os) { *os << c.name; }

const WideCase kWideCases[] = {
    {"PromptAndQuestion", true, 1, 0, "\x82t? hi\xE9", u"hi\u00E9"},
    {"NoPrompt", false, 1, 0, "hi\xE9", u"hi\u00E9"},
    {"FixedLengthCut", true, 0, 2, "\x82thi\xE9", u"hi"},
};

class LineInputWide : public ConsoleEdit, public testing::WithParamInterface<WideCase> {};

TEST_P(LineInputWide, PromptsReadsAndAssignsUnits) {
    const WideCase& c = GetParam();
    open_null(64, 48, 32);
    type(keys("hi\xE9") + ENTER);
    const std::u16string prompt = u"\u0082t";
    std::u16string destination = u"old";

    EXPECT_EQ(rt::hooks.hook_line_input_wide(c.has_prompt ? &prompt : nullptr, &destination, c.size, c.question, 0),
              0);
    EXPECT_EQ(destination, c.want);
    EXPECT_EQ(row_text(0), c.first_row);
}

INSTANTIATE_TEST_SUITE_P(TextLineInputWide, LineInputWide, testing::ValuesIn(kWideCases),
                         [](const testing::TestParamInfo<WideCase>& info) { return info.param.name; });

TEST_F(ConsoleEdit, LongWidePromptKeepsASurrogatePairWhole) {
    open_null(640, 480, 32);  // 80 columns
    type(keys("hi") + ENTER);
    // The pair sits at units 255 and 256, where a long text is split for
    // printing: it still prints as one "?".
    const std::u16string prompt = std::u16string(255, u'a') + u"\U0001F600b";
    std::u16string destination;

    EXPECT_EQ(gfx::text_line_input_wide(&prompt, &destination, 0, 1, 0), 0);
    EXPECT_EQ(row_text(3), std::string(15, 'a') + "?b? hi");
    EXPECT_EQ(destination, u"hi");
}

TEST_F(ConsoleEdit, LineInputScrollsAPendingRowBeforeThePrompt) {
    open_null(64, 48, 32);
    gfx::text_locate(6, 1, -1);
    gfx::text_print("12345678", 8, 0);  // fills the last row: its scroll waits
    ASSERT_TRUE(screen->flags & ScreenState::text_scroll_pending);
    type(keys("ok") + ENTER);
    std::string destination;
    const std::string prompt = "P";

    EXPECT_EQ(gfx::text_line_input(&prompt, &destination, 0, 0, 0, 0), 0);
    EXPECT_EQ(row_text(4), "12345678");
    EXPECT_EQ(row_text(5), "Pok");
    EXPECT_EQ(destination, "ok");
}

TEST_F(ConsoleEdit, LineInputWithoutALineGivesError4AndKeepsTheDestination) {
    open_null(64, 48, 32);
    // With no key hooks the runtime's editor reads standard input; an empty
    // input yields no line at all.
    const char* path = "console_edit_empty_input.txt";
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_NE(std::freopen(path, "rb", stdin), nullptr);
    rt::hooks.hook_key_hit = nullptr;

    std::string destination = "keep";
    const std::string prompt = "Q";
    EXPECT_EQ(gfx::text_line_input(&prompt, &destination, 0, 0, 1, 1), rt::ERR_NO_LINE);
    EXPECT_EQ(rt::error_get(), rt::ERR_NO_LINE);
    EXPECT_EQ(destination, "keep");
    EXPECT_EQ(row_text(0), "Q?");
    EXPECT_EQ(gfx::text_cursor_row(), 2) << "the line end is printed all the same";

    std::u16string wide = u"keep";
    rt::error_set(0);
    EXPECT_EQ(gfx::text_line_input_wide(nullptr, &wide, 0, 0, 0), rt::ERR_NO_LINE);
    EXPECT_EQ(rt::error_get(), rt::ERR_NO_LINE);
    EXPECT_EQ(wide, u"keep");
    std::remove(path);  // where the system allows removing a file still open
}

TEST_F(ConsoleEdit, LineInputWithoutADestinationReadsNothing) {
    open_null(64, 48, 32);
    type(keys("x") + ENTER);
    EXPECT_EQ(gfx::text_line_input(nullptr, nullptr, 0, 0, 0, 0), rt::ERR_ILLEGAL);
    EXPECT_EQ(gfx::text_line_input_wide(nullptr, nullptr, 0, 0, 0), rt::ERR_ILLEGAL);
    EXPECT_EQ(rt::error_get(), rt::ERR_ILLEGAL);
    EXPECT_EQ(gfx::key_hit(), 1);
}

}  // namespace
