// The text console drawn into the graphics screen: printing, cursor
// placement, colours and the cursor and size queries that the runtime's
// console services reach through RuntimeHooks while a screen is open.
//
// Text goes to the work page in the screen's font, one opaque font cell per
// character on a grid of text_cols x text_rows cells anchored at the page's
// top-left pixel. Every cell drawn is also recorded in the work page's
// TextCell buffer. Scrolling stays inside the runtime's text view range.
#pragma once

#include <cstdint>

#include "gfx/text/text_writer.h"

namespace gfx {

// hook_print: writes `length` bytes (code page 437, control codes as in
// text_write) at the cursor. Length 0 does nothing unless `flags` has 0x08,
// in which case a pending scroll still happens. Takes the screen lock once.
void text_print(const char* bytes, int length, int flags);

// hook_print_wide: UTF-16 text. Units below 256 print as that byte, a
// surrogate pair or any other unit as one "?".
void text_print_wide(const uint16_t* units, int length, int flags);

// hook_locate: moves the cursor to (row, column), 1-based, 0 keeping a
// coordinate; clears the pending scroll and sets the console's text column.
// The position is not checked (the runtime's console_locate does that).
// Returns (column & 0xFF) + 1 + 256 * ((row & 0xFF) + 1), 0-based row and
// column of the new position. `cursor` (visibility) has no effect.
int text_locate(int row, int column, int cursor);

// hook_colour: sets the text colours (-1 keeps one) the way the mode wants
// and returns the old fg_colour | bg_colour << 16.
uint32_t text_colour(int32_t foreground, int32_t background);

// hook_cursor_x, hook_cursor_y: the cursor's column and row, 1-based.
int text_cursor_col();
int text_cursor_row();

// hook_get_cursor: both of the above; either pointer may be null.
void text_cursor_get(int* column, int* row);

// hook_get_size: text_cols and text_rows; either pointer may be null.
void text_size_get(int* columns, int* rows);

// Sets the cursor row and column (0-based), each only when 0 or more.
// Returns (column & 0xFF) | (row & 0xFF) << 8 of the new position.
int text_cursor_set(int row, int column);

// One column back; from column 0 to the last column of the row above (the
// row may become -1: the caller decides what that means).
void text_cursor_back();

// The graphics console's operations of a TextWindow: draws glyphs on the
// work page and records their cells, and scrolls the band of rows.
int text_draw(TextWindow* window, const uint8_t* bytes, int count);
void text_scroll(TextWindow* window, int left, int top, int right, int bottom, int lines);

}  // namespace gfx
