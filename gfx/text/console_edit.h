// The rest of the graphics text console: clearing the page, the viewport or
// the text view; changing the text grid and with it the font; reading back a
// text cell; and reading a line of keyboard input with an on-screen cursor.
// They work on the grid, cursor, cells and text view of console_text.h and
// print through text_print.
#pragma once

#include <cstdint>
#include <string>

namespace gfx {

// Clear modes of text_clear.
constexpr int CLEAR_PAGE = 0;      // the whole work page and all cells
constexpr int CLEAR_VIEWPORT = 1;  // the graphics viewport; cells and cursor kept
constexpr int CLEAR_TEXT_VIEW = 2; // the rows of the text view, full width
// The glyph text_read_line shows as its cursor: a solid block.
constexpr char LINE_CURSOR_GLYPH = static_cast<char>(219);

// hook_clear. `mode` 0, 1 or 2 as above; rt::CLEAR_NO_MODE chooses: the
// viewport while view_active is set, else the whole page when the text view
// is the whole grid, else the text view. Any other value clears the
// viewport. Clearing the page or the text view puts the cursor at column 1
// of the view's first row; clearing the page or viewport moves the graphics
// point to the viewport's centre. Dirty lines are marked only when the work
// page is the displayed page.
void text_clear(int mode);

// hook_width. Sets the grid to columns x rows (0 or less keeps one) when the
// resulting cell, width / columns by height / rows, is 8 pixels wide and 8,
// 14 or 16 high: that font is chosen, the cells of every page are rebuilt,
// the viewport and the text view become the whole screen and grid, the
// cursor goes to row 1, column 1 and the page is cleared. Any other cell size
// changes nothing. Returns the old text_cols | text_rows << 16 in every case.
int text_width(int columns, int rows);

// hook_read_cell. For the work page's cell at (column, row), 1-based:
// what = 0 gives the character; otherwise the colours, as fg + 16 * bg at
// depths up to 4, fg + 256 * bg at depth 8, and above that the background
// for what = 2 and the foreground for any other value. 0 outside the grid
// or with no screen.
uint32_t text_read_cell(int column, int row, int what);

// hook_read_string. A small line editor with a block cursor: reads keys into
// `buffer` until Enter, storing at most size - 1 bytes and a terminating 0.
// Enter is stored as 13 when there is room for it. Backspace takes back the
// last byte; the bell and extended keys are ignored; once the buffer is full
// only Backspace and Enter count. Returns the buffer, or null with no screen,
// no buffer or a size below 1.
char* text_read_line(char* buffer, int size);

// hook_line_input. Prints the prompt (when one is given) and, with
// `question`, "? "; reads a line with the runtime's line editor; prints
// "\r\n" with `newline`; assigns the line to the destination with `size`
// and `fill` as the runtime's string assignment does. Returns 0, or runtime
// error 4 (also recorded) when no line could be read; runtime error 1 with
// no destination. The destination is untouched on error.
int text_line_input(const std::string* prompt, std::string* destination, int size, int fill, int question,
                    int newline);

// hook_line_input_wide: the same for UTF-16 text. The line's bytes become
// units of the same value.
int text_line_input_wide(const std::u16string* prompt, std::u16string* destination, int size, int question,
                         int newline);

}  // namespace gfx
