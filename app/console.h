// Console services (number 0). While a graphics screen is open each service
// goes through the RuntimeHooks slot named beside it; while the slots are
// null a plain text console on standard input and output serves instead.
#pragma once

#include <cstdint>
#include <string>

#include "app/runtime_hooks.h"

namespace rt {

// Row 0 or column 0 keeps that coordinate. A row outside the text view range
// or a column outside 1..columns gives error 1 and moves nothing. cursor -1
// leaves the visibility unchanged. A nonzero column also sets the console's
// text column to column - 1.                     [hook_get_size, hook_locate]
void console_locate(int row, int column, int cursor);

// Writes the text; with `newline`, then "\r\n" the same way.  [hook_print]
void console_print(const std::string& text, bool newline);

// The UTF-16 form: units below 256 are those bytes, surrogate pairs and
// other units print as "?".                              [hook_print_wide]
void console_print_wide(const std::u16string& text, bool newline);

// Sets the colours; returns the previous ones as fg | bg << 16. [hook_colour]
uint32_t console_colour(int32_t foreground, int32_t background);

// Exactly n characters from the keyboard, waiting as long as needed. Keys are
// polled every 25 ms; characters of a key that this call does not use stay
// buffered for the next call.  [hook_is_redirected, hook_key_hit, hook_key_read]
std::string console_read_chars(int n);

// Nonzero while the key with that scancode is held down.       [hook_key_down]
int console_key_down(int scancode);

// Emulated hardware ports and the mouse. [hook_port_in/out, hook_mouse_get/set]
int port_in(int port);
int port_out(int port, int value);
int mouse_get(int* x, int* y, int* wheel, int* buttons);
int mouse_set(int x, int y, int cursor);

// ---- Console state shared with the graphics text console ----------------

// The text view range: first and last row (1-based) that console_locate
// accepts and that printing scrolls within. 0 means "not set".
void text_view_set(int first, int last);
// The range in force: first row 1 when none is set, last row the console's
// row count (25 when that is 0) when none is set.
void text_view_get(int* first, int* last);

// The console's current text column, 0-based, used for print zones.
void console_column_set(int column);
int console_column();

// Resets the runtime's own text console to `columns` x `rows` with the
// cursor at row 1, column 1 (what returning to text mode does).
void text_console_reset(int columns, int rows);

// Forgets buffered key characters and the reader choice (tests).
void console_reader_reset();

}  // namespace rt
