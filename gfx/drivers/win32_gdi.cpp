// The GDI driver: the screen in an ordinary window through device-
// independent bitmaps. No full screen, nothing loaded at run time.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "gfx/drivers/blitters.h"
#include "gfx/drivers/driver.h"
#include "gfx/drivers/win32_window.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct GdiState {
    BITMAPINFO* bitmap_info;  // header + 256 colour-table entries; null while closed
    uint8_t* convert_buffer;  // rows as the bitmap wants them, when the framebuffer's are not
    int convert_pitch;
};
GdiState gdi;

int round_up4(int bytes) { return (bytes + 3) & ~3; }

// The framebuffer goes to the bitmap unchanged only when its rows already
// are bitmap rows: 4-byte aligned and not doubled. 16-bit framebuffers
// become 15-bit rows (a BI_RGB bitmap of 16 bits is 5:5:5); 8-bit rows of
// other widths, and doubled lines, are copied into aligned rows.
bool needs_conversion() {
    return screen->depth == 16 || screen->scanline_mult != 1 || (screen->pitch & 3) != 0;
}

int gdi_open_window() {
    WindowState& w = window_state;
    gdi.bitmap_info = nullptr;
    gdi.convert_buffer = nullptr;
    if (w.display_flags & ScreenFlags::fullscreen) return -1;

    RECT outer = {0, 0, w.display_width, w.display_height};
    AdjustWindowRect(&outer, kWindowStyle, FALSE);
    int outer_w = outer.right - outer.left, outer_h = outer.bottom - outer.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - outer_w) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - outer_h) / 2;
    w.window = CreateWindowExA(0, w.class_name, w.title_text, kWindowStyle | WS_VISIBLE, x, y, outer_w, outer_h,
                               nullptr, nullptr, w.instance, nullptr);
    if (w.window == nullptr) return -1;

    gdi.bitmap_info = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)));
    if (gdi.bitmap_info == nullptr) return -1;
    BITMAPINFOHEADER& h = gdi.bitmap_info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = w.display_width;
    h.biHeight = -w.display_height;  // rows run top-down
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(w.display_depth);
    h.biCompression = BI_RGB;
    h.biClrUsed = 256;

    if (needs_conversion()) {
        w.blitter = screen->depth == 16 ? select_blitter(15, 0) : blitter_line_copy;
        if (w.blitter == nullptr) return -1;
        gdi.convert_pitch = round_up4(w.display_width * (w.display_depth == 16 ? 2 : w.display_depth / 8));
        gdi.convert_buffer = static_cast<uint8_t*>(
            std::calloc(static_cast<size_t>(gdi.convert_pitch), static_cast<size_t>(w.display_height)));
        if (gdi.convert_buffer == nullptr) return -1;
    } else {
        w.blitter = nullptr;
    }

    SetForegroundWindow(w.window);
    HDC dc = GetDC(w.window);
    screen->refresh_rate = GetDeviceCaps(dc, VREFRESH);
    ReleaseDC(w.window, dc);
    return 0;
}

void gdi_close_window() {
    WindowState& w = window_state;
    std::free(gdi.convert_buffer);
    gdi.convert_buffer = nullptr;
    std::free(gdi.bitmap_info);
    gdi.bitmap_info = nullptr;
    if (w.window != nullptr) {
        DestroyWindow(w.window);
        w.window = nullptr;
    }
}

void gdi_paint_window() {
    if (screen != nullptr) std::memset(screen->dirty, 1, static_cast<size_t>(screen->height));
}

// Sends the band from the first to the last dirty framebuffer line in one
// call (clean lines between them go too).
void gdi_update() {
    WindowState& w = window_state;
    const int lines = screen->height;
    const int mult = screen->scanline_mult;
    int top = 0;
    while (top < lines && screen->dirty[top] == 0) ++top;
    if (top == lines) return;
    int bottom = lines - 1;
    while (screen->dirty[bottom] == 0) --bottom;

    const uint8_t* rows;
    if (w.blitter != nullptr) {
        w.blitter(gdi.convert_buffer, gdi.convert_pitch);
        rows = gdi.convert_buffer + static_cast<size_t>(gdi.convert_pitch) * top * mult;
    } else {
        rows = screen->visible_page + static_cast<size_t>(screen->pitch) * top;
    }
    int count = (bottom - top + 1) * mult;
    HDC dc = GetDC(w.window);
    SetDIBitsToDevice(dc, 0, top * mult, static_cast<DWORD>(w.display_width), static_cast<DWORD>(count), 0, 0, 0,
                      static_cast<UINT>(count), rows, gdi.bitmap_info, DIB_RGB_COLORS);
    ReleaseDC(w.window, dc);
}

// One pass of the display thread: the palette into the colour table, the
// dirty band to the window, the keyboard state and the messages.
void gdi_pass() {
    WindowState& w = window_state;
    window_lock();
    // After a failed switch the window may be left without drawing objects.
    bool drawable = w.window != nullptr && gdi.bitmap_info != nullptr;
    if (w.palette_changed && drawable) {
        for (int i = 0; i < 256; ++i) {
            RGBQUAD& q = gdi.bitmap_info->bmiColors[i];
            q.rgbRed = w.palette_entries[i].peRed;
            q.rgbGreen = w.palette_entries[i].peGreen;
            q.rgbBlue = w.palette_entries[i].peBlue;
            q.rgbReserved = 0;
        }
        w.palette_changed = 0;
    }
    if (drawable) gdi_update();
    std::memset(screen->dirty, 0, static_cast<size_t>(w.display_height));
    if (w.active) refresh_key_state();
    process_messages();
    window_unlock();
    Sleep(10);
}

void gdi_display_thread(HANDLE ready) { window_display_thread(ready, gdi_pass); }

int gdi_init(const char* title, int width, int height, int depth, int refresh, int32_t flags) {
    return window_driver_init(gdi_open_window, gdi_close_window, gdi_paint_window, gdi_display_thread, title, width,
                              height, depth, refresh, flags);
}

}  // namespace

const DisplayDriver gdi_driver = {
    "GDI",
    gdi_init,
    window_exit,
    window_lock,
    window_unlock,
    window_set_palette,
    window_wait_vsync,
    window_get_mouse,
    window_set_mouse,
    window_set_title,
    nullptr,  // fetch_modes
    nullptr,  // flip
};

}  // namespace gfx
