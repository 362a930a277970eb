// The DirectDraw driver: the screen through DirectDraw in a window (an
// off-screen surface presented through a clipper) or full screen (the
// primary surface itself), with the keyboard state read through DirectInput.
// Both libraries are loaded at run time, so the program starts where they
// are missing and screen opening falls back to the next driver.
#include <windows.h>

#define DIRECTINPUT_VERSION 0x0300
#include <ddraw.h>
#include <dinput.h>

#include <cstdlib>
#include <cstring>

#include "gfx/drivers/blitters.h"
#include "gfx/drivers/driver.h"
#include "gfx/drivers/win32_window.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

// The identifiers this driver asks for, defined here so that nothing has to
// be linked for them.
constexpr GUID kIidDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
constexpr GUID kGuidSysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kGuidKey = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);
using DirectInputCreateFn = HRESULT(WINAPI*)(HINSTANCE, DWORD, IDirectInputA**, IUnknown*);

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kVsyncWaitMs = 20;  // the longest the display thread waits for a retrace
constexpr int kKeyboardObjects = 256;

struct DirectDrawState {
    HMODULE ddraw_module;
    HMODULE dinput_module;
    IDirectDraw2* direct_draw;
    IDirectDrawSurface* primary_surface;
    IDirectDrawSurface* back_surface;  // off-screen in a window; the primary surface in full screen
    IDirectDrawPalette* dd_palette;    // only on an 8-bit display
    IDirectDrawClipper* clipper;       // only in a window
    IDirectInputA* direct_input;
    IDirectInputDeviceA* keyboard_device;
    RECT window_rect;  // {0, 0, display_width, display_height}
    int y_offset;      // rows between the top of a full-screen display and line 0
    bool mode_set;     // full screen: the display mode was changed
    HANDLE vsync_event;  // manual reset; signalled by wait_vsync after the retrace
    int vsync_requested;
    DIDATAFORMAT keyboard_format;
    DIOBJECTDATAFORMAT keyboard_objects[kKeyboardObjects];
};
DirectDrawState dd;

// A function of a loaded library, as the type it has.
template <typename Function>
Function lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

template <typename Interface>
void release(Interface*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

bool fullscreen() { return (window_state.display_flags & ScreenFlags::fullscreen) != 0; }

// The standard keyboard data format: 256 optional buttons, byte i for the
// key with DirectInput code i.
void build_keyboard_format() {
    for (int i = 0; i < kKeyboardObjects; ++i) {
        DIOBJECTDATAFORMAT& o = dd.keyboard_objects[i];
        o.pguid = &kGuidKey;
        o.dwOfs = static_cast<DWORD>(i);
        o.dwType = DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i);
        o.dwFlags = 0;
    }
    DIDATAFORMAT& f = dd.keyboard_format;
    f.dwSize = sizeof(DIDATAFORMAT);
    f.dwObjSize = sizeof(DIOBJECTDATAFORMAT);
    f.dwFlags = DIDF_RELAXIS;
    f.dwDataSize = kKeyboardObjects;
    f.dwNumObjs = kKeyboardObjects;
    f.rgodf = dd.keyboard_objects;
}

// The mode search: the picture's own height first, then the standard heights
// above it, each at the depth asked for and then at its twin (16/15, 32/24).
// The width never changes. Returns the height set, or 0.
int set_fullscreen_mode() {
    WindowState& w = window_state;
    static const int kHeights[] = {240, 480, 600, 768, 1024};
    const int asked = w.display_depth;
    const int twin = asked == 16 ? 15 : asked == 15 ? 16 : asked == 32 ? 24 : asked == 24 ? 32 : 0;
    const DWORD width = static_cast<DWORD>(w.display_width), refresh = static_cast<DWORD>(w.requested_refresh);
    int h = w.display_height;
    for (;;) {
        DWORD flags = (w.display_width == 320 && h == 200 && asked == 8) ? DDSDM_STANDARDVGAMODE : 0;
        const DWORD height = static_cast<DWORD>(h);
        IDirectDraw2* d = dd.direct_draw;
        if (d->SetDisplayMode(width, height, static_cast<DWORD>(asked), refresh, flags) == DD_OK) return h;
        if (twin != 0 && d->SetDisplayMode(width, height, static_cast<DWORD>(twin), refresh, flags) == DD_OK) return h;
        if (h >= 1024) return 0;
        int next = 0;
        for (int standard : kHeights) {
            if (standard > h) {
                next = standard;
                break;
            }
        }
        h = next;
    }
}

// Fills a surface with black: the rows of a full-screen mode that the
// picture does not cover, and the display before it goes back to the desktop.
void clear_surface(IDirectDrawSurface* surface) {
    DDBLTFX effects;
    std::memset(&effects, 0, sizeof effects);
    effects.dwSize = sizeof effects;
    effects.dwFillColor = 0;
    surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
}

// Creates the window and every DirectDraw and DirectInput object for the
// current display_flags. Any failure returns -1 at once; close_window
// releases whatever was made.
int dd_open_window() {
    WindowState& w = window_state;
    dd.ddraw_module = dd.dinput_module = nullptr;
    dd.direct_draw = nullptr;
    dd.primary_surface = dd.back_surface = nullptr;
    dd.dd_palette = nullptr;
    dd.clipper = nullptr;
    dd.direct_input = nullptr;
    dd.keyboard_device = nullptr;
    dd.vsync_event = nullptr;
    dd.vsync_requested = 0;
    dd.mode_set = false;
    w.blitter = nullptr;

    dd.ddraw_module = LoadLibraryA("ddraw.dll");
    dd.dinput_module = LoadLibraryA("dinput.dll");
    if (dd.ddraw_module == nullptr || dd.dinput_module == nullptr) return -1;
    auto direct_draw_create = lookup<DirectDrawCreateFn>(dd.ddraw_module, "DirectDrawCreate");
    auto direct_input_create = lookup<DirectInputCreateFn>(dd.dinput_module, "DirectInputCreateA");
    if (direct_draw_create == nullptr || direct_input_create == nullptr) return -1;
    IDirectDraw* first = nullptr;
    if (direct_draw_create(nullptr, &first, nullptr) != DD_OK || first == nullptr) return -1;
    void* second = nullptr;
    HRESULT asked = first->QueryInterface(kIidDirectDraw2, &second);
    first->Release();
    if (asked != S_OK || second == nullptr) return -1;
    dd.direct_draw = static_cast<IDirectDraw2*>(second);
    IDirectInputA* input = nullptr;
    if (direct_input_create(w.instance, 0x0300, &input, nullptr) != DI_OK || input == nullptr) return -1;
    dd.direct_input = input;

    dd.window_rect = {0, 0, w.display_width, w.display_height};

    if (fullscreen()) {
        w.window = CreateWindowExA(0, w.class_name, w.title_text, WS_POPUP | WS_VISIBLE, 0, 0,
                                   GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                   w.instance, nullptr);
        if (w.window == nullptr) return -1;
        if (dd.direct_draw->SetCooperativeLevel(w.window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE) !=
            DD_OK)
            return -1;
        int h = set_fullscreen_mode();
        if (h == 0) return -1;
        dd.mode_set = true;
        dd.y_offset = (h - w.display_height) / 2;
    } else {
        DWORD style = kWindowStyle;
        if (w.display_flags & ScreenFlags::no_switch) style &= ~static_cast<DWORD>(WS_MAXIMIZEBOX);
        RECT outer = dd.window_rect;
        AdjustWindowRect(&outer, kWindowStyle, FALSE);
        int outer_w = outer.right - outer.left, outer_h = outer.bottom - outer.top;
        int x = (GetSystemMetrics(SM_CXSCREEN) - outer_w) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - outer_h) / 2;
        w.window = CreateWindowExA(0, w.class_name, w.title_text, style | WS_VISIBLE, x, y, outer_w, outer_h, nullptr,
                                   nullptr, w.instance, nullptr);
        if (w.window == nullptr) return -1;
        if (dd.direct_draw->SetCooperativeLevel(w.window, DDSCL_NORMAL) != DD_OK) return -1;
        if (dd.direct_draw->CreateClipper(0, &dd.clipper, nullptr) != DD_OK) {
            dd.clipper = nullptr;
            return -1;
        }
        if (dd.clipper->SetHWnd(0, w.window) != DD_OK) return -1;
        dd.y_offset = 0;
    }

    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (dd.direct_draw->CreateSurface(&description, &dd.primary_surface, nullptr) != DD_OK) {
        dd.primary_surface = nullptr;
        return -1;
    }
    if (fullscreen()) {
        dd.back_surface = dd.primary_surface;
        clear_surface(dd.primary_surface);
    } else {
        if (dd.primary_surface->SetClipper(dd.clipper) != DD_OK) return -1;
        std::memset(&description, 0, sizeof description);
        description.dwSize = sizeof description;
        description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        description.dwWidth = static_cast<DWORD>(w.display_width);
        description.dwHeight = static_cast<DWORD>(w.display_height);
        description.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY;
        if (dd.direct_draw->CreateSurface(&description, &dd.back_surface, nullptr) != DD_OK) {
            dd.back_surface = nullptr;
            return -1;
        }
    }

    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof format);
    format.dwSize = sizeof format;
    if (dd.primary_surface->GetPixelFormat(&format) != DD_OK || !(format.dwFlags & DDPF_RGB)) return -1;
    int bits = static_cast<int>(format.dwRGBBitCount);
    if (bits == 8) {
        if (dd.direct_draw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, w.palette_entries, &dd.dd_palette,
                                          nullptr) != DD_OK) {
            dd.dd_palette = nullptr;
            return -1;
        }
        if (dd.primary_surface->SetPalette(dd.dd_palette) != DD_OK) return -1;
        w.palette_changed = 0;
    }
    if (bits == 16 && format.dwGBitMask == 0x3E0) bits = 15;
    int bgr = (bits >= 24 && format.dwRBitMask == 0xFF) || (bits >= 16 && format.dwRBitMask == 0x1F) ? 1 : 0;
    w.blitter = select_blitter(bits, bgr);
    if (w.blitter == nullptr) return -1;

    DWORD frequency = 0;
    if (dd.direct_draw->GetMonitorFrequency(&frequency) == DD_OK && screen != nullptr)
        screen->refresh_rate = static_cast<int>(frequency);
    dd.vsync_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetForegroundWindow(w.window);

    build_keyboard_format();
    if (dd.direct_input->CreateDevice(kGuidSysKeyboard, &dd.keyboard_device, nullptr) != DI_OK) {
        dd.keyboard_device = nullptr;
        return -1;
    }
    if (dd.keyboard_device->SetDataFormat(&dd.keyboard_format) != DI_OK) return -1;
    return dd.keyboard_device->Acquire() == DI_OK ? 0 : -1;
}

// Releases what open_window made, each object only when it exists.
void dd_close_window() {
    WindowState& w = window_state;
    if (dd.direct_input != nullptr) {
        if (dd.keyboard_device != nullptr) {
            dd.keyboard_device->Unacquire();
            release(dd.keyboard_device);
        }
        release(dd.direct_input);
    }
    if (dd.direct_draw != nullptr) {
        if (fullscreen()) {
            if (dd.primary_surface != nullptr && dd.mode_set) clear_surface(dd.primary_surface);
            dd.back_surface = nullptr;  // the primary surface itself
            release(dd.primary_surface);
        } else {
            release(dd.primary_surface);
            release(dd.back_surface);
        }
        release(dd.dd_palette);
        release(dd.clipper);
        if (fullscreen()) {
            if (dd.mode_set) dd.direct_draw->RestoreDisplayMode();
            if (w.window != nullptr) dd.direct_draw->SetCooperativeLevel(w.window, DDSCL_NORMAL);
        }
        release(dd.direct_draw);
    }
    dd.mode_set = false;
    w.blitter = nullptr;
    if (w.window != nullptr) {
        DestroyWindow(w.window);
        w.window = nullptr;
    }
    if (dd.ddraw_module != nullptr) {
        FreeLibrary(dd.ddraw_module);
        dd.ddraw_module = nullptr;
    }
    if (dd.dinput_module != nullptr) {
        FreeLibrary(dd.dinput_module);
        dd.dinput_module = nullptr;
    }
    if (dd.vsync_event != nullptr) {
        CloseHandle(dd.vsync_event);
        dd.vsync_event = nullptr;
    }
}

// In a window: the finished off-screen surface onto the client area (the
// clipper keeps covered parts untouched). Full screen draws in place.
void dd_paint_window() {
    WindowState& w = window_state;
    if (fullscreen() || w.window == nullptr || dd.primary_surface == nullptr || dd.back_surface == nullptr) return;
    POINT origin = {0, 0};
    ClientToScreen(w.window, &origin);
    RECT client;
    GetClientRect(w.window, &client);
    OffsetRect(&client, origin.x, origin.y);
    dd.primary_surface->Blt(&client, dd.back_surface, &dd.window_rect, DDBLT_WAIT, nullptr);
}

// Restores a surface whose display memory was lost. Its contents are gone,
// so the whole picture is converted again.
void restore_if_lost(IDirectDrawSurface* surface) {
    if (surface != nullptr && surface->IsLost() == DDERR_SURFACELOST && surface->Restore() == DD_OK) {
        window_mark_all_dirty();
    }
}

// Key state from the keyboard device: scancode i is down when the key with
// DirectInput code i or i + 128 (its extended twin) is.
void read_keyboard() {
    if (dd.keyboard_device == nullptr || screen == nullptr) return;
    BYTE state[256];
    HRESULT result = dd.keyboard_device->GetDeviceState(sizeof state, state);
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        dd.keyboard_device->Acquire();  // read again at the next update
        return;
    }
    if (result != DI_OK) return;
    for (int i = 0; i < 128; ++i) screen->key_state[i] = ((state[i] | state[i + 128]) & 0x80) ? 1 : 0;
}

// One update, under the lock: dirty lines into the back surface, the back
// surface into the window, the keyboard state.
void dd_update() {
    WindowState& w = window_state;
    restore_if_lost(dd.primary_surface);
    if (!fullscreen()) restore_if_lost(dd.back_surface);
    if (w.palette_changed && dd.dd_palette != nullptr) {
        dd.dd_palette->SetEntries(0, 0, 256, w.palette_entries);
        w.palette_changed = 0;
    }
    if (dd.back_surface != nullptr && w.blitter != nullptr) {
        DDSURFACEDESC description;
        std::memset(&description, 0, sizeof description);
        description.dwSize = sizeof description;
        if (dd.back_surface->Lock(nullptr, &description, DDLOCK_WAIT, nullptr) == DD_OK) {
            uint8_t* memory = static_cast<uint8_t*>(description.lpSurface);
            int pitch = static_cast<int>(description.lPitch);
            w.blitter(memory + static_cast<ptrdiff_t>(pitch) * dd.y_offset, pitch);
            dd.back_surface->Unlock(nullptr);
            std::memset(screen->dirty, 0, static_cast<size_t>(w.display_height));
        }
    }
    dd_paint_window();
    if (w.active) read_keyboard();
}

// One pass of the display thread: after a retrace that the program waits
// for, the update (skipped in an inactive full screen) and the messages.
void dd_pass() {
    Sleep(10);
    window_lock();
    if (dd.vsync_requested) {
        if (dd.vsync_event != nullptr) WaitForSingleObject(dd.vsync_event, kVsyncWaitMs);
        dd.vsync_requested = 0;
    }
    if (window_state.active || !fullscreen()) dd_update();
    process_messages();
    window_unlock();
}

void dd_display_thread(HANDLE ready) { window_display_thread(ready, dd_pass); }

int dd_init(const char* title, int width, int height, int depth, int refresh, int32_t flags) {
    std::memset(&dd, 0, sizeof dd);
    return window_driver_init(dd_open_window, dd_close_window, dd_paint_window, dd_display_thread, title, width,
                              height, depth, refresh, flags);
}

// Waits for the next vertical blank on the program's thread, then lets the
// display thread, which waits up to 20 ms for that, go on with its update.
// The DirectDraw object, its library and the event are held by references
// of this call's own, taken under the lock, so that a full-screen switch on
// the display thread cannot release them underneath the wait.
void dd_wait_vsync() {
    HANDLE process = GetCurrentProcess();
    IDirectDraw2* direct_draw = nullptr;
    HMODULE module = nullptr;
    HANDLE event = nullptr;
    window_lock();
    if (dd.direct_draw != nullptr && dd.vsync_event != nullptr &&
        DuplicateHandle(process, dd.vsync_event, process, &event, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        ResetEvent(event);
        dd.vsync_requested = 1;
        direct_draw = dd.direct_draw;
        direct_draw->AddRef();
        module = LoadLibraryA("ddraw.dll");
    }
    window_unlock();
    if (direct_draw == nullptr) {
        window_wait_vsync();  // no display objects (a failed switch): wait one frame's time
        return;
    }
    direct_draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    SetEvent(event);
    CloseHandle(event);
    direct_draw->Release();
    if (module != nullptr) FreeLibrary(module);
}

// Collects the modes of one bit depth (16 with green mask 0x3E0 counts as 15).
struct ModeList {
    int depth;
    int* modes;
    int count;
    int capacity;
    bool failed;
};

HRESULT WINAPI collect_mode(LPDDSURFACEDESC description, LPVOID context) {
    ModeList& list = *static_cast<ModeList*>(context);
    const DDPIXELFORMAT& format = description->ddpfPixelFormat;
    int bits = static_cast<int>(format.dwRGBBitCount);
    if (bits == 16 && format.dwGBitMask == 0x3E0) bits = 15;
    if (bits == list.depth && !list.failed) {
        if (list.count == list.capacity) {
            int capacity = list.capacity == 0 ? 16 : list.capacity * 2;
            void* grown = std::realloc(list.modes, sizeof(int) * static_cast<size_t>(capacity));
            if (grown == nullptr) {
                list.failed = true;
                return DDENUMRET_OK;
            }
            list.modes = static_cast<int*>(grown);
            list.capacity = capacity;
        }
        list.modes[list.count++] =
            static_cast<int>((description->dwWidth << 16) | (description->dwHeight & 0xFFFF));
    }
    return DDENUMRET_OK;
}

// The display modes of one depth. With a display open its DirectDraw object
// is used (held by a reference of this call's own); otherwise a DirectDraw
// object of its own is made and released here.
int* dd_fetch_modes(int depth, int* count) {
    IDirectDraw2* direct_draw = nullptr;
    HMODULE module = nullptr;
    if (screen != nullptr && screen->driver == &directx_driver) {
        window_lock();
        if (dd.direct_draw != nullptr) {
            direct_draw = dd.direct_draw;
            direct_draw->AddRef();
            module = LoadLibraryA("ddraw.dll");
        }
        window_unlock();
    }
    if (direct_draw == nullptr) {
        module = LoadLibraryA("ddraw.dll");
        if (module == nullptr) {
            *count = 0;
            return nullptr;
        }
        auto direct_draw_create = lookup<DirectDrawCreateFn>(module, "DirectDrawCreate");
        IDirectDraw* first = nullptr;
        void* second = nullptr;
        if (direct_draw_create != nullptr && direct_draw_create(nullptr, &first, nullptr) == DD_OK &&
            first != nullptr) {
            if (first->QueryInterface(kIidDirectDraw2, &second) != S_OK) second = nullptr;
            first->Release();
        }
        if (second == nullptr) {
            FreeLibrary(module);
            *count = 0;
            return nullptr;
        }
        direct_draw = static_cast<IDirectDraw2*>(second);
    }

    ModeList list = {depth, nullptr, 0, 0, false};
    HRESULT result = direct_draw->EnumDisplayModes(DDEDM_STANDARDVGAMODES, nullptr, &list, collect_mode);
    direct_draw->Release();
    if (module != nullptr) FreeLibrary(module);
    if (result != DD_OK || list.failed) {
        std::free(list.modes);
        *count = 0;
        return nullptr;
    }
    *count = list.count;
    return list.modes;
}

}  // namespace

const DisplayDriver directx_driver = {
    "DirectX",
    dd_init,
    window_exit,
    window_lock,
    window_unlock,
    window_set_palette,
    dd_wait_vsync,
    window_get_mouse,
    window_set_mouse,
    window_set_title,
    dd_fetch_modes,
    nullptr,  // flip
};

}  // namespace gfx
