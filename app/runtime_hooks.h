// The table of console and input operations that the graphics library
// installs into the runtime while a graphics screen is open. While a slot is
// null the runtime uses its own text-console version of the operation.
// Screen opening fills all 25 slots; returning to text mode clears them all.
// The table is written only by screen opening and closing.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

struct RuntimeHooks {
    // 0: text of the oldest waiting key without waiting: "" when none, one
    // character, or two (255 and X) for an extended key.
    std::string (*hook_key_read)();
    // 1: waits for a key and returns its code.
    int (*hook_key_wait)();
    // 2: 1 while a key code is waiting, else 0.
    int (*hook_key_hit)();
    // 3: clears the screen, viewport or text view (mode 0, 1, 2 or
    // CLEAR_NO_MODE).
    void (*hook_clear)(int mode);
    // 4: sets foreground/background (-1 keeps one); returns old fg | old bg << 16.
    uint32_t (*hook_colour)(int32_t foreground, int32_t background);
    // 5: moves the text cursor (1-based; 0 keeps a coordinate).
    int (*hook_locate)(int row, int column, int cursor);
    // 6: sets the text grid; returns old cols | old rows << 16.
    int (*hook_width)(int columns, int rows);
    // 7, 8: current text column / row, 1-based.
    int (*hook_cursor_x)();
    int (*hook_cursor_y)();
    // 9: both of the above through out-pointers (each may be null).
    void (*hook_get_cursor)(int* column, int* row);
    // 10: text columns and rows through out-pointers (each may be null).
    void (*hook_get_size)(int* columns, int* rows);
    // 11: writes bytes of text; flags bit 0x08 runs even for length 0.
    void (*hook_print)(const char* bytes, int length, int flags);
    // 12: writes UTF-16 text.
    void (*hook_print_wide)(const uint16_t* units, int length, int flags);
    // 13: line editor read into a byte buffer; returns it, or null.
    char* (*hook_read_string)(char* buffer, int size);
    // 14: -1 while the key with that scancode is down, else 0.
    int (*hook_key_down)(int scancode);
    // 15: mouse position, wheel and buttons; 0, or 1 (error) with all -1.
    int (*hook_mouse_get)(int* x, int* y, int* wheel, int* buttons);
    // 16: moves the mouse pointer and shows/hides it; 0 or 1 (error).
    int (*hook_mouse_set)(int x, int y, int cursor);
    // 17, 18: emulated hardware ports.
    int (*hook_port_in)(int port);
    int (*hook_port_out)(int port, int value);
    // 19: the text view range changed (first and last row, 1-based).
    void (*hook_view_update)(int first, int last);
    // 20: reads a line with a prompt into a string; returns the error number.
    int (*hook_line_input)(const std::string* prompt, std::string* destination, int size,
                           int fill, int question, int newline);
    // 21: the UTF-16 form of the above.
    int (*hook_line_input_wide)(const std::u16string* prompt, std::u16string* destination,
                                int size, int question, int newline);
    // 22: character (what = 0) or colour at a text cell, 1-based; 0 outside.
    uint32_t (*hook_read_cell)(int column, int row, int what);
    // 23: sleeps for ms milliseconds, or until a key press (-1: only that).
    void (*hook_sleep)(int ms);
    // 24: is console input or output redirected.
    int (*hook_is_redirected)();
};

static_assert(sizeof(RuntimeHooks) == 25 * sizeof(void*), "RuntimeHooks has 25 slots");

// The "no mode given" value of hook_clear.
constexpr int CLEAR_NO_MODE = static_cast<int>(0xFFFF0000u);

extern RuntimeHooks hooks;

}  // namespace rt
