// The text writer: turns a run of code page 437 bytes with control codes into
// row segments drawn on a grid of text cells, with wrapping and scrolling.
// The writing surface is a TextWindow record whose draw and scroll
// operations the caller chooses, so the graphics console and a text-mode
// console can share the same writer.
#pragma once

#include <cstdint>

namespace gfx {

struct TextWindow;

// Moves the region [left..right] x [top..bottom] (text cells, inclusive) up
// by `lines` rows and leaves the window's cursor on row `bottom`.
using TextScrollFn = void (*)(TextWindow* window, int left, int top, int right, int bottom, int lines);
// Draws `count` bytes at the window's cursor, all on the cursor's row.
// Returns 1 when done; any other value stops the flush it belongs to. The
// writer, not the draw, advances the cursor.
using TextDrawFn = int (*)(TextWindow* window, const uint8_t* bytes, int count);

// The writing area of one print, built on the stack by the caller.
struct TextWindow {
    int dirty_first = 0;  // pixel rows touched so far: [dirty_first, dirty_end),
    int dirty_end = 0;    // empty while both are equal
    TextScrollFn scroll = nullptr;
    TextDrawFn draw = nullptr;
    int left = 0;     // writing area in text cells, inclusive; bottom -1 means
    int top = 0;      // the area has no bottom row and never scrolls
    int right = 0;
    int bottom = 0;
    int cursor_x = 0;  // position of the next character, 0-based
    int cursor_y = 0;
};

// Most bytes the writer gathers before it hands them to the draw.
constexpr int TEXT_PENDING_MAX = 256;

// Adds pixel rows [first, end) to the window's dirty range.
void text_window_touch(TextWindow* window, int first, int end);

// Writes `count` bytes through the window. Bell (7) sounds the runtime's
// beep; backspace (8) moves one column left, never past `left`; tab (9)
// writes spaces up to the next multiple of 8 columns from `left`; line feed
// (10) goes to column `left` of the next row; carriage return (13) to column
// `left`; every other byte is drawn with its glyph. Text past `right` wraps
// to the next row; rows past `bottom` scroll the window. The cursor may end
// at column `left` one row below `bottom` after text that filled the bottom
// row: the caller decides whether to scroll then.
void text_write(TextWindow* window, const uint8_t* bytes, int count);

}  // namespace gfx
