// The runtime's line editor and its string assignment: what LINE INPUT style
// statements use to read a line from the keyboard and store it in a string
// variable.
//
// While a graphics screen is open the editor reads keys through
// hook_key_hit / hook_key_read and echoes through hook_print, placing the
// cursor with hook_get_cursor, hook_get_size and hook_locate. With no hooks it
// reads a line from standard input.
//
// Editing keys:
//   any character 32..255  appended to the line and echoed
//   Backspace (8)          removes the last character and erases it
//   Escape (27)            removes the whole line and erases it
//   Enter (13)             ends the line (not stored)
// Every other key (control characters, tabs, extended keys, the window's
// close request) is ignored.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

// Reads one line. Returns it as a new NUL-terminated buffer of *length bytes
// (without the Enter), which the caller releases with std::free; null when
// memory for the line ran out, or when standard input ended before any
// character (no line).
char* line_editor_read(int* length);

// The runtime's string assignment of `length` bytes to a string variable.
// size 0 (or less): a variable-length string, which becomes exactly the
// bytes. size > 0: a fixed-length string of `size` bytes: longer text is
// cut to size; shorter text is padded with spaces to size when `fill` is
// nonzero, and kept as it is otherwise.
void str_assign(std::string* destination, const char* bytes, int length, int size, int fill);

// The same for UTF-16 strings, without padding: size > 0 cuts to size units.
void str_assign_wide(std::u16string* destination, const char16_t* units, int length, int size);

}  // namespace rt
