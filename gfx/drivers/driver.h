// Display drivers: the record every driver exposes, the flag bits of a
// screen, the ordered list that screen opening searches, and the null driver.
#pragma once

#include <cstdint>

namespace gfx {

// Flag bits of a screen (the flags argument of screen opening and of a
// driver's init).
struct ScreenFlags {
    static constexpr int32_t fullscreen = 1;           // full screen instead of a window
    static constexpr int32_t opengl = 2;               // an OpenGL surface (OpenGL driver only)
    static constexpr int32_t no_switch = 4;            // no window/full-screen switching
    static constexpr int32_t stencil_buffer = 16;      // OpenGL: 8-bit stencil buffer
    static constexpr int32_t accumulation_buffer = 32; // OpenGL: 32-bit accumulation buffer
    static constexpr int32_t no_display = -1;          // whole value: the null driver, no init
    static constexpr int32_t exit_close = INT32_MIN;   // whole value: screen closing
};

// One display driver: a name and eleven operations. Any operation except
// `name` may be null; lock, unlock and set_palette are present in every
// record, and init and exit in every record of driver_list.
struct DisplayDriver {
    // Matched case-insensitively against the KWGFX environment variable.
    const char* name;

    // Opens the display for a framebuffer of width x height (height already
    // multiplied by scanline_mult), depth 1..32 (15/24 already made 16/32),
    // refresh rate in hertz (0 = default), flags as ScreenFlags.
    // Caller: screen opening, program thread, no lock. Result: 0 when the
    // display is open and every operation may be called; nonzero on failure,
    // after which the caller calls exit() before anything else.
    int (*init)(const char* title, int width, int height, int depth, int refresh, int32_t flags);

    // Closes the display; releases what a partial init acquired.
    // Caller: screen closing and after every failed init; program thread; no lock.
    void (*exit)();

    // Take and release the framebuffer lock shared with the display thread.
    // Caller: the screen lock idiom only, so never nested on one thread.
    void (*lock)();
    void (*unlock)();

    // Sets device palette entry index (0..255) to r, g, b (0..255). Takes
    // effect at the next display update; never waits. Caller: palette code,
    // under the lock.
    void (*set_palette)(int index, int r, int g, int b);

    // Returns at or shortly after the next vertical retrace.
    // Caller: the emulated port 0x3DA read, program thread, no lock.
    void (*wait_vsync)();

    // Pointer position in display pixels, wheel count, buttons (1 left,
    // 2 right, 4 middle). Result 0 when valid, -1 when there is no position.
    // Caller: mouse_get, under the lock.
    int (*get_mouse)(int* x, int* y, int* wheel, int* buttons);

    // Moves the pointer (x < 0: does not move it) and shows (cursor > 0),
    // hides (0) or keeps (< 0) it. Caller: mouse_set, under the lock.
    void (*set_mouse)(int x, int y, int cursor);

    // Changes the caption. Caller: window_title, without the lock.
    void (*set_window_title)(const char* title);

    // A new array (caller frees with std::free) of display modes of that
    // depth as (width << 16) | height, their number through count; null when
    // none could be listed.
    int* (*fetch_modes)(int depth, int* count);

    // Presents the frame the program drew. Caller: page_copy, on the thread
    // that opened the screen.
    void (*flip)();
};

// The drivers screen opening tries, in order, ending with a null entry.
// Tests may point it at a list of their own.
extern const DisplayDriver* const* driver_list;
// The list this build ships with.
extern const DisplayDriver* const default_driver_list[];

// No window and no thread: drawing works in memory, nothing is shown.
extern const DisplayDriver null_driver;

// The window system drivers (Windows builds only).
extern const DisplayDriver directx_driver;
extern const DisplayDriver gdi_driver;
extern const DisplayDriver opengl_driver;

}  // namespace gfx
