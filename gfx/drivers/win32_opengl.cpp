// The OpenGL driver: a window (or a full screen) with an OpenGL rendering
// context current on the thread that opened the screen. The program draws
// with OpenGL itself; page_copy presents the frame through flip, which is
// also where the window's messages are handled. No display thread, so the
// framebuffer lock and the palette do nothing. The WGL functions are loaded
// at run time from opengl32.dll.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "gfx/drivers/driver.h"
#include "gfx/drivers/win32_window.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

using CreateContextFn = HGLRC(WINAPI*)(HDC);
using MakeCurrentFn = BOOL(WINAPI*)(HDC, HGLRC);
using DeleteContextFn = BOOL(WINAPI*)(HGLRC);

constexpr DWORD kFullscreenStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kWindowStyle = WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct OpenGlState {
    HMODULE opengl_module;
    CreateContextFn create_context;
    MakeCurrentFn make_current;
    DeleteContextFn delete_context;
    HDC device_context;  // kept for the life of the window (the class has CS_OWNDC)
    HGLRC rendering_context;
    bool mode_set;  // full screen: the display mode was changed
};
OpenGlState gl;

template <typename Function>
Function lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool fullscreen() { return (window_state.display_flags & ScreenFlags::fullscreen) != 0; }

// Back to the desktop's own display mode, when this driver changed it.
void leave_display_mode() {
    if (gl.mode_set) {
        ChangeDisplaySettingsA(nullptr, 0);
        gl.mode_set = false;
    }
}

bool has_buffers(const PIXELFORMATDESCRIPTOR& format, const PIXELFORMATDESCRIPTOR& request) {
    return format.cStencilBits >= request.cStencilBits && format.cAccumBits >= request.cAccumBits;
}

// The format ChoosePixelFormat found, unless it lacks a stencil or
// accumulation buffer that was asked for (some implementations weigh only
// colour and depth): then the format of the same kind and colour depth that
// has the buffers, with the most depth bits up to those requested. Keeps the
// first choice when no format has them.
int pixel_format_with_buffers(HDC dc, int chosen, const PIXELFORMATDESCRIPTOR& request) {
    PIXELFORMATDESCRIPTOR first;
    if (DescribePixelFormat(dc, chosen, sizeof first, &first) == 0 || has_buffers(first, request)) return chosen;
    const DWORD kind = request.dwFlags | (first.dwFlags & PFD_GENERIC_FORMAT);
    int count = DescribePixelFormat(dc, 1, sizeof first, nullptr);
    int best = chosen, best_depth = -1;
    for (int i = 1; i <= count; ++i) {
        PIXELFORMATDESCRIPTOR other;
        if (DescribePixelFormat(dc, i, sizeof other, &other) == 0) continue;
        bool fits = (other.dwFlags & (kind | PFD_GENERIC_FORMAT)) == kind && other.iPixelType == request.iPixelType &&
                    other.cColorBits == first.cColorBits && has_buffers(other, request) &&
                    other.cDepthBits <= request.cDepthBits;
        if (fits && other.cDepthBits > best_depth) {
            best = i;
            best_depth = other.cDepthBits;
        }
    }
    return best;
}

// Restyles and places the existing window for the current display_flags,
// changing the display mode for full screen. Runs at init and at every
// full-screen switch, on the program's thread.
int gl_open_window() {
    WindowState& w = window_state;
    ShowWindow(w.window, SW_HIDE);
    DWORD style;
    HWND order;
    int x, y, width, height;
    if (fullscreen()) {
        DEVMODEA mode;
        std::memset(&mode, 0, sizeof mode);
        mode.dmSize = sizeof mode;
        mode.dmPelsWidth = static_cast<DWORD>(w.display_width);
        mode.dmPelsHeight = static_cast<DWORD>(w.display_height);
        mode.dmBitsPerPel = static_cast<DWORD>(w.display_depth);
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
        if (w.requested_refresh != 0) {
            mode.dmDisplayFrequency = static_cast<DWORD>(w.requested_refresh);
            mode.dmFields |= DM_DISPLAYFREQUENCY;
        }
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return -1;
        gl.mode_set = true;
        style = kFullscreenStyle;
        order = HWND_TOPMOST;
        x = y = 0;
        width = w.display_width;
        height = w.display_height;
    } else {
        style = kWindowStyle;
        if (!(w.display_flags & ScreenFlags::no_switch)) style |= WS_MAXIMIZEBOX;
        RECT outer = {0, 0, w.display_width, w.display_height};
        AdjustWindowRectEx(&outer, style, FALSE, 0);
        x = (GetSystemMetrics(SM_CXSCREEN) - outer.right) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - outer.bottom) / 2;
        width = outer.right - outer.left;
        height = outer.bottom - outer.top;
        order = HWND_NOTOPMOST;
    }
    SetWindowLongA(w.window, GWL_STYLE, static_cast<LONG>(style));
    SetWindowPos(w.window, order, x, y, width, height, SWP_NOCOPYBITS | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetForegroundWindow(w.window);
    w.active = 1;
    // At init the device context does not exist yet: the rate reads 0 until
    // a switch, and wait_vsync sleeps 16 ms meanwhile.
    if (screen != nullptr)
        screen->refresh_rate = gl.device_context != nullptr ? GetDeviceCaps(gl.device_context, VREFRESH) : 0;
    return 0;
}

// At a full-screen switch only: the window, its device context and the
// rendering context stay; the desktop gets its display mode back.
void gl_close_window() { leave_display_mode(); }

// Releases what exists, then ends in the window layer's exit.
void gl_exit() {
    WindowState& w = window_state;
    if (gl.opengl_module != nullptr) {
        if (gl.rendering_context != nullptr) {
            gl.make_current(nullptr, nullptr);
            gl.delete_context(gl.rendering_context);
        }
        if (gl.device_context != nullptr) ReleaseDC(w.window, gl.device_context);
        leave_display_mode();
        if (w.window != nullptr) {
            DestroyWindow(w.window);
            w.window = nullptr;
        }
        FreeLibrary(gl.opengl_module);
    }
    std::memset(&gl, 0, sizeof gl);
    window_exit();
}

int gl_init(const char* title, int width, int height, int depth, int refresh, int32_t flags) {
    if (depth < 8) depth = 8;
    std::memset(&window_state, 0, sizeof window_state);
    std::memset(&gl, 0, sizeof gl);
    if (!(flags & ScreenFlags::opengl)) return -1;
    WindowState& w = window_state;
    w.open_window = gl_open_window;
    w.close_window = gl_close_window;
    w.paint_window = nullptr;
    w.display_thread = nullptr;
    if (window_init(title, width, height, depth, refresh, flags) != 0) return -1;

    gl.opengl_module = LoadLibraryA("opengl32.dll");
    if (gl.opengl_module == nullptr) return -1;
    gl.create_context = lookup<CreateContextFn>(gl.opengl_module, "wglCreateContext");
    gl.make_current = lookup<MakeCurrentFn>(gl.opengl_module, "wglMakeCurrent");
    gl.delete_context = lookup<DeleteContextFn>(gl.opengl_module, "wglDeleteContext");
    if (gl.create_context == nullptr || gl.make_current == nullptr || gl.delete_context == nullptr) return -1;

    // Created small, then restyled and placed by open_window.
    w.window = CreateWindowExA(0, w.class_name, w.title_text,
                               WS_VISIBLE | kWindowStyle | WS_MAXIMIZEBOX, 0, 0, 320, 200, nullptr, nullptr,
                               w.instance, nullptr);
    if (w.window == nullptr) return -1;
    if (gl_open_window() != 0) return -1;

    gl.device_context = GetDC(w.window);
    if (gl.device_context == nullptr) return -1;
    PIXELFORMATDESCRIPTOR format;
    std::memset(&format, 0, sizeof format);
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = static_cast<BYTE>(w.display_depth);
    format.cDepthBits = 32;
    format.cStencilBits = (w.display_flags & ScreenFlags::stencil_buffer) ? 8 : 0;
    format.cAccumBits = (w.display_flags & ScreenFlags::accumulation_buffer) ? 32 : 0;
    format.iLayerType = PFD_MAIN_PLANE;
    int chosen = ChoosePixelFormat(gl.device_context, &format);
    if (chosen != 0) chosen = pixel_format_with_buffers(gl.device_context, chosen, format);
    if (chosen == 0 || !SetPixelFormat(gl.device_context, chosen, &format)) return -1;

    gl.rendering_context = gl.create_context(gl.device_context);
    if (gl.rendering_context == nullptr) return -1;
    // Without a current context the program's drawing would go nowhere.
    return gl.make_current(gl.device_context, gl.rendering_context) ? 0 : -1;
}

// Presents the frame; the opening thread's window messages are handled here.
void gl_flip() {
    if (window_state.active) refresh_key_state();
    process_messages();
    if (gl.device_context != nullptr) SwapBuffers(gl.device_context);
}

// The display modes of one depth, as the system lists them.
int* gl_fetch_modes(int depth, int* count) {
    *count = 0;
    int* modes = nullptr;
    int capacity = 0;
    DEVMODEA mode;
    for (DWORD number = 0;; ++number) {
        std::memset(&mode, 0, sizeof mode);
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsA(nullptr, number, &mode)) break;
        if (static_cast<int>(mode.dmBitsPerPel) != depth) continue;
        if (*count == capacity) {
            capacity = capacity == 0 ? 16 : capacity * 2;
            void* grown = std::realloc(modes, sizeof(int) * static_cast<size_t>(capacity));
            if (grown == nullptr) {
                std::free(modes);
                *count = 0;
                return nullptr;
            }
            modes = static_cast<int*>(grown);
        }
        modes[(*count)++] = static_cast<int>((mode.dmPelsWidth << 16) | (mode.dmPelsHeight & 0xFFFF));
    }
    return modes;
}

void gl_nothing() {}
void gl_no_palette(int, int, int, int) {}

}  // namespace

const DisplayDriver opengl_driver = {
    "OpenGL",
    gl_init,
    gl_exit,
    gl_nothing,  // lock: no other thread touches the window or the context
    gl_nothing,  // unlock
    gl_no_palette,
    window_wait_vsync,
    window_get_mouse,
    window_set_mouse,
    window_set_title,
    gl_fetch_modes,
    gl_flip,
};

}  // namespace gfx
