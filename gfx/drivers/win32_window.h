// The Windows window layer shared by the DirectX, GDI and OpenGL drivers:
// the window class, the display thread and its ready event, the window
// procedure (keys, characters, mouse, activation, window/full-screen
// switching) and the driver operations that do not depend on the drawing
// interface.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gfx/drivers/blitters.h"

namespace gfx {

// The single record of the window layer. Each driver's init clears it
// whole before calling window_init.
struct WindowState {
    int os_version;  // major * 256 + minor
    HINSTANCE instance;
    WNDCLASSA window_class;
    HWND window;                     // null while none exists
    PALETTEENTRY palette_entries[256];  // device palette; flags always PC_NOCOLLAPSE
    DisplayBlitter blitter;          // null: the framebuffer goes to the display directly
    volatile LONG running;           // 1 from window_init to window_exit
    int palette_changed;             // entries the display has not taken yet
    int active;                      // the program is the active application
    int display_width;               // ScreenState width
    int display_height;              // ScreenState height * scanline_mult
    int display_depth;               // at least 8
    int32_t display_flags;           // ScreenFlags; fullscreen changes on a switch
    int requested_refresh;           // 0: default
    const char* title_text;          // owned by screen opening
    char class_name[139];            // "kwgfxclass_" + title

    // Driver hooks, set by the driver's init.
    // Creates the window and drawing objects for display_flags: 0 or -1.
    int (*open_window)();
    // Destroys what open_window made (whatever part of it exists).
    void (*close_window)();
    // Answers a paint request (under the lock, on the window's thread).
    void (*paint_window)();
    // The display thread's body: signals `ready` once open_window succeeded,
    // loops while running, calls close_window on its way out. Null for
    // OpenGL, which has no thread.
    void (*display_thread)(HANDLE ready);

    CRITICAL_SECTION lock_section;  // initialised only when a display thread starts
    HANDLE thread;                  // null for OpenGL
    int saved_screensaver;
    int cursor_visible;
    UINT cursor_message;  // "KW mouse cursor"
    int mouse_buttons;    // 1 left, 2 right, 4 middle
    int mouse_wheel;
};

extern WindowState window_state;

// Rows of {scancode, virtual key, alternate virtual key (0 = none)} that
// fill key_state from the Windows keyboard state, ended by a zero row.
extern const uint8_t scancode_table[87][3];

// How long window_init waits for the display thread to open its window.
constexpr DWORD WINDOW_READY_TIMEOUT_MS = 10000;

// Registers the class and, except for OpenGL, starts the display thread and
// waits until its window exists. 0 or -1 (the thread ended or did not
// signal in time); after -1 the caller's exit (window_exit) undoes the rest.
int window_init(const char* title, int width, int height, int depth, int refresh, int32_t flags);

// The init of a window driver with a display thread (DirectX, GDI): clears
// the layer's record, refuses an OpenGL screen (-1), sets the four hooks and
// opens through window_init with the depth raised to at least 8.
int window_driver_init(int (*open_window)(), void (*close_window)(), void (*paint_window)(),
                       void (*display_thread)(HANDLE ready), const char* title, int width, int height, int depth,
                       int refresh, int32_t flags);

// Stops and joins the display thread, restores the screen saver and
// unregisters the class. Does nothing when the layer is not running.
void window_exit();

void window_lock();
void window_unlock();
void window_set_palette(int index, int r, int g, int b);
void window_wait_vsync();
int window_get_mouse(int* x, int* y, int* wheel, int* buttons);
void window_set_mouse(int x, int y, int cursor);
void window_set_title(const char* title);

// Dispatches every waiting message of the layer's window.
void process_messages();

// Refills ScreenState key_state from the thread's keyboard state.
void refresh_key_state();

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The frame every display thread runs: the driver's open_window (on
// failure close_window and end without signalling), signal `ready`, mark the
// program active, run `pass` (one update of the display, with its own
// locking and its 10 ms sleep) while the layer runs, then close_window.
void window_display_thread(HANDLE ready, void (*pass)());

// Marks display rows 0 .. display_height - 1 dirty (the whole picture is
// drawn again at the next update).
void window_mark_all_dirty();

}  // namespace gfx
