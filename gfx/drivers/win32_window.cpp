// The Windows window layer: class registration, the display thread frame,
// the window procedure and the shared driver operations.
#include "gfx/drivers/win32_window.h"

#include <cstring>

#include "gfx/drivers/driver.h"
#include "gfx/screen.h"
#include "gfx/text/key_translate.h"
#include "gfx/text/keys.h"

namespace gfx {

WindowState window_state;

const uint8_t scancode_table[87][3] = {
    {0x01, VK_ESCAPE, 0},     {0x02, '1', 0},          {0x03, '2', 0},
    {0x04, '3', 0},           {0x05, '4', 0},          {0x06, '5', 0},
    {0x07, '6', 0},           {0x08, '7', 0},          {0x09, '8', 0},
    {0x0A, '9', 0},           {0x0B, '0', 0},          {0x0C, VK_OEM_MINUS, VK_SUBTRACT},
    {0x0D, VK_OEM_PLUS, 0},   {0x0E, VK_BACK, 0},      {0x0F, VK_TAB, 0},
    {0x10, 'Q', 0},           {0x11, 'W', 0},          {0x12, 'E', 0},
    {0x13, 'R', 0},           {0x14, 'T', 0},          {0x15, 'Y', 0},
    {0x16, 'U', 0},           {0x17, 'I', 0},          {0x18, 'O', 0},
    {0x19, 'P', 0},           {0x1A, VK_OEM_4, 0},     {0x1B, VK_OEM_6, 0},
    {0x1C, VK_RETURN, 0},     {0x1D, VK_CONTROL, 0},   {0x1E, 'A', 0},
    {0x1F, 'S', 0},           {0x20, 'D', 0},          {0x21, 'F', 0},
    {0x22, 'G', 0},           {0x23, 'H', 0},          {0x24, 'J', 0},
    {0x25, 'K', 0},           {0x26, 'L', 0},          {0x27, VK_OEM_1, 0},
    {0x28, VK_OEM_7, 0},      {0x29, VK_OEM_3, 0},     {0x2A, VK_SHIFT, 0},
    {0x2B, VK_OEM_5, 0},      {0x2C, 'Z', 0},          {0x2D, 'X', 0},
    {0x2E, 'C', 0},           {0x2F, 'V', 0},          {0x30, 'B', 0},
    {0x31, 'N', 0},           {0x32, 'M', 0},          {0x33, VK_OEM_COMMA, 0},
    {0x34, VK_OEM_PERIOD, 0}, {0x35, VK_OEM_2, VK_DIVIDE}, {0x36, VK_SHIFT, 0},
    {0x37, VK_MULTIPLY, 0},   {0x38, VK_MENU, 0},      {0x39, VK_SPACE, 0},
    {0x3A, VK_CAPITAL, 0},    {0x3B, VK_F1, 0},        {0x3C, VK_F2, 0},
    {0x3D, VK_F3, 0},         {0x3E, VK_F4, 0},        {0x3F, VK_F5, 0},
    {0x40, VK_F6, 0},         {0x41, VK_F7, 0},        {0x42, VK_F8, 0},
    {0x43, VK_F9, 0},         {0x44, VK_F10, 0},       {0x45, VK_NUMLOCK, 0},
    {0x46, VK_SCROLL, 0},     {0x47, VK_HOME, VK_NUMPAD7}, {0x48, VK_UP, VK_NUMPAD8},
    {0x49, VK_PRIOR, VK_NUMPAD9}, {0x4B, VK_LEFT, VK_NUMPAD4}, {0x4D, VK_RIGHT, VK_NUMPAD6},
    {0x4E, VK_ADD, 0},        {0x4F, VK_END, VK_NUMPAD1}, {0x50, VK_DOWN, VK_NUMPAD2},
    {0x51, VK_NEXT, VK_NUMPAD3}, {0x52, VK_INSERT, VK_NUMPAD0}, {0x53, VK_DELETE, VK_DECIMAL},
    {0x57, VK_F11, 0},        {0x58, VK_F12, 0},       {0x7D, VK_LWIN, 0},
    {0x7E, VK_RWIN, 0},       {0x7F, VK_APPS, 0},      {0, 0, 0},
};

namespace {

// The key's own character, from the system's keyboard layout.
uint16_t own_character_from_layout(int virtual_key) {
    return static_cast<uint16_t>(MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_CHAR));
}

DWORD WINAPI thread_start(LPVOID ready) {
    window_state.display_thread(static_cast<HANDLE>(ready));
    return 0;
}

bool key_is_down(const BYTE* keys, int virtual_key) { return (keys[virtual_key] & 0x80) != 0; }

// Window <-> full screen: reopen the window in the other mode, or back in
// the old one when that fails; then send the palette again and redraw.
void fullscreen_switch() {
    WindowState& w = window_state;
    if (w.display_flags & ScreenFlags::no_switch) return;
    w.close_window();
    w.display_flags ^= ScreenFlags::fullscreen;
    if (w.open_window() != 0) {
        w.close_window();
        w.display_flags ^= ScreenFlags::fullscreen;
        w.open_window();
    }
    if (screen != nullptr) {
        for (int i = 0; i < 256; ++i) {
            uint32_t e = screen->palette[i];
            screen->driver->set_palette(i, e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0xFF);
        }
    }
    window_mark_all_dirty();
    w.active = 1;
}

// A key-down message: extended keys go into the queue here; characters
// come through WM_CHAR.
int32_t key_down_message(WPARAM wparam, LPARAM lparam) {
    int virtual_key = LOWORD(wparam);
    int scancode = static_cast<int>((lparam >> 16) & 0xFF);
    int repeat = LOWORD(lparam);
    BYTE keys[256];
    GetKeyboardState(keys);
    int modifiers = 0;
    if (key_is_down(keys, VK_SHIFT) || key_is_down(keys, VK_LSHIFT) || key_is_down(keys, VK_RSHIFT))
        modifiers |= KEYMOD_SHIFT;
    if (key_is_down(keys, VK_CONTROL) || key_is_down(keys, VK_LCONTROL)) modifiers ^= KEYMOD_CTRL;
    if (key_is_down(keys, VK_RCONTROL)) modifiers ^= KEYMOD_RIGHT_CTRL;
    if (key_is_down(keys, VK_MENU) || key_is_down(keys, VK_LMENU)) modifiers ^= KEYMOD_ALT;
    if (key_is_down(keys, VK_RMENU)) modifiers ^= KEYMOD_RIGHT_ALT;
    if (lparam & (1 << 24)) modifiers |= KEYMOD_EXTENDED;

    int character = 0;
    if ((MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_CHAR) & 0x80000000u) == 0) {
        WORD out = 0;
        if (ToAscii(static_cast<UINT>(virtual_key), static_cast<UINT>(scancode), keys, &out, 0) == 1) {
            character = static_cast<signed char>(out & 0xFF);
        }
    }
    int32_t code = key_translate(character, scancode, virtual_key, modifiers);
    if (code > 255) {
        for (int i = 0; i < repeat; ++i) key_queue_push(code);
    }
    return code;
}

// A character message: from the ANSI code page to code page 437.
void character_message(WPARAM wparam, LPARAM lparam) {
    char ansi = static_cast<char>(wparam & 0xFF);
    unsigned char result = static_cast<unsigned char>(ansi);
    wchar_t wide = 0;
    char converted[4] = {0, 0, 0, 0};
    if (MultiByteToWideChar(CP_ACP, 0, &ansi, 1, &wide, 1) == 1 &&
        WideCharToMultiByte(437, 0, &wide, 1, converted, sizeof converted, nullptr, nullptr) >= 1) {
        result = static_cast<unsigned char>(converted[0]);
    }
    int repeat = LOWORD(lparam);
    for (int i = 0; i < repeat; ++i) key_queue_push(result);
}

}  // namespace

void window_display_thread(HANDLE ready, void (*pass)()) {
    WindowState& w = window_state;
    if (w.open_window() != 0) {
        w.close_window();
        return;
    }
    SetEvent(ready);
    w.active = 1;
    while (w.running == 1) pass();
    w.close_window();
}

void window_mark_all_dirty() {
    if (screen != nullptr && screen->dirty != nullptr && window_state.display_height > 0) {
        std::memset(screen->dirty, 1, static_cast<size_t>(window_state.display_height));
    }
}

int window_init(const char* title, int width, int height, int depth, int refresh, int32_t flags) {
    WindowState& w = window_state;
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    w.os_version = static_cast<int>(version.dwMajorVersion * 256 + version.dwMinorVersion);

    w.cursor_message = RegisterWindowMessageA("KW mouse cursor");
    w.cursor_visible = 1;

    BOOL saver = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saver, 0);
    w.saved_screensaver = saver ? 1 : 0;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);

    w.instance = GetModuleHandleA(nullptr);
    std::strcpy(w.class_name, "kwgfxclass_");
    std::strncat(w.class_name, title != nullptr ? title : "", 127);
    w.title_text = title;
    w.display_width = width;
    w.display_height = height;
    w.display_depth = depth;
    w.requested_refresh = refresh;
    w.display_flags = flags;
    key_own_character = own_character_from_layout;

    WNDCLASSA& c = w.window_class;
    std::memset(&c, 0, sizeof c);
    c.lpfnWndProc = window_procedure;
    c.hInstance = w.instance;
    c.lpszClassName = w.class_name;
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hIcon = LoadIconA(w.instance, "KW_PROGRAM_ICON");
    if (c.hIcon == nullptr) c.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    c.style = CS_HREDRAW | CS_VREDRAW | ((flags & ScreenFlags::opengl) ? CS_OWNDC : 0);
    RegisterClassA(&c);

    w.mouse_buttons = 0;
    w.mouse_wheel = 0;
    InterlockedExchange(&w.running, 1);

    if (flags & ScreenFlags::opengl) {
        w.thread = nullptr;
        return 0;
    }

    InitializeCriticalSection(&w.lock_section);
    HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    w.thread = CreateThread(nullptr, 0, thread_start, ready, 0, nullptr);
    DWORD waited = WAIT_FAILED;
    if (w.thread != nullptr) {
        HANDLE both[2] = {ready, w.thread};
        waited = WaitForMultipleObjects(2, both, FALSE, WINDOW_READY_TIMEOUT_MS);
    }
    CloseHandle(ready);
    if (waited != WAIT_OBJECT_0) {
        // The thread ended (its window could not be opened), never started,
        // or did not signal in time; the caller's exit joins it.
        return -1;
    }
    SetThreadPriority(w.thread, THREAD_PRIORITY_ABOVE_NORMAL);
    return 0;
}

int window_driver_init(int (*open_window)(), void (*close_window)(), void (*paint_window)(),
                       void (*display_thread)(HANDLE ready), const char* title, int width, int height, int depth,
                       int refresh, int32_t flags) {
    std::memset(&window_state, 0, sizeof window_state);
    if (flags & ScreenFlags::opengl) return -1;
    WindowState& w = window_state;
    w.open_window = open_window;
    w.close_window = close_window;
    w.paint_window = paint_window;
    w.display_thread = display_thread;
    return window_init(title, width, height, depth < 8 ? 8 : depth, refresh, flags);
}

void window_exit() {
    WindowState& w = window_state;
    if (w.running == 0) return;
    InterlockedExchange(&w.running, 0);
    if (w.thread != nullptr) {
        // A thread that does not end within the bound is stuck inside the
        // driver (it never opened its window, or a drawing call hangs):
        // end it, so that the lock is never deleted under a running thread.
        if (WaitForSingleObject(w.thread, WINDOW_READY_TIMEOUT_MS) != WAIT_OBJECT_0) {
            TerminateThread(w.thread, 1);
            WaitForSingleObject(w.thread, INFINITE);
        }
        CloseHandle(w.thread);
        w.thread = nullptr;
        DeleteCriticalSection(&w.lock_section);
    }
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, static_cast<UINT>(w.saved_screensaver), nullptr, 0);
    UnregisterClassA(w.class_name, w.instance);
}

void window_lock() { EnterCriticalSection(&window_state.lock_section); }

void window_unlock() { LeaveCriticalSection(&window_state.lock_section); }

void window_set_palette(int index, int r, int g, int b) {
    if (index < 0 || index > 255) return;
    PALETTEENTRY& e = window_state.palette_entries[index];
    e.peRed = static_cast<BYTE>(r);
    e.peGreen = static_cast<BYTE>(g);
    e.peBlue = static_cast<BYTE>(b);
    e.peFlags = PC_NOCOLLAPSE;
    window_state.palette_changed = 1;
}

void window_wait_vsync() {
    int refresh = screen != nullptr ? screen->refresh_rate : 0;
    Sleep(refresh != 0 ? static_cast<DWORD>(1000 / refresh) : 16);
}

int window_get_mouse(int* x, int* y, int* wheel, int* buttons) {
    WindowState& w = window_state;
    if (!w.active) return -1;
    POINT p;
    if (!GetCursorPos(&p)) return -1;
    if (w.display_flags & ScreenFlags::fullscreen) {
        p.x = p.x < 0 ? 0 : (p.x >= w.display_width ? w.display_width - 1 : p.x);
        p.y = p.y < 0 ? 0 : (p.y >= w.display_height ? w.display_height - 1 : p.y);
    } else {
        ScreenToClient(w.window, &p);
        if (p.x < 0 || p.x >= w.display_width || p.y < 0 || p.y >= w.display_height) return -1;
    }
    *x = p.x;
    *y = p.y;
    *wheel = w.mouse_wheel;
    *buttons = w.mouse_buttons;
    return 0;
}

void window_set_mouse(int x, int y, int cursor) {
    WindowState& w = window_state;
    if (x >= 0) {
        POINT p;
        p.x = x < w.display_width - 1 ? x : w.display_width - 1;
        p.y = y < 0 ? 0 : (y > w.display_height - 1 ? w.display_height - 1 : y);
        if (!(w.display_flags & ScreenFlags::fullscreen)) ClientToScreen(w.window, &p);
        SetCursorPos(p.x, p.y);
    }
    if (cursor == 0 && w.cursor_visible) {
        PostMessageA(w.window, w.cursor_message, 0, 0);
        w.cursor_visible = 0;
    } else if (cursor > 0 && !w.cursor_visible) {
        PostMessageA(w.window, w.cursor_message, 1, 0);
        w.cursor_visible = 1;
    }
}

void window_set_title(const char* title) {
    WindowState& w = window_state;
    // The window's messages are handled by the display thread only while it
    // holds the lock, so the caption must be set with the lock released.
    bool release = w.thread != nullptr && screen != nullptr && (screen->flags & ScreenState::locked);
    if (release) LeaveCriticalSection(&w.lock_section);
    SetWindowTextA(w.window, title);
    if (release) EnterCriticalSection(&w.lock_section);
}

void process_messages() {
    MSG message;
    while (window_state.window != nullptr && PeekMessageA(&message, window_state.window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void refresh_key_state() {
    if (screen == nullptr) return;
    BYTE keys[256];
    if (!GetKeyboardState(keys)) return;
    for (const uint8_t* row = scancode_table[0]; row[0] != 0; row += 3) {
        bool down = key_is_down(keys, row[1]) || (row[2] != 0 && key_is_down(keys, row[2]));
        screen->key_state[row[0]] = down ? 1 : 0;
    }
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowState& w = window_state;
    if (message == w.cursor_message && message != 0) {
        ShowCursor(static_cast<BOOL>(wparam));
        return 0;
    }
    switch (message) {
        case WM_SYSKEYDOWN:
            if (!w.active) break;
            if (wparam == VK_RETURN && (lparam & (1 << 29))) {
                fullscreen_switch();
                return 0;
            }
            [[fallthrough]];
        case WM_KEYDOWN: {
            int32_t code = key_down_message(wparam, lparam);
            if (wparam == VK_F10 || wparam == VK_MENU || code == KEY_CLOSE_REQUEST) return 0;
            break;
        }
        case WM_SIZE:
            if (wparam == SIZE_MAXIMIZED && w.active) {
                fullscreen_switch();
                return 0;
            }
            break;
        case WM_CHAR:
            if (wparam <= 255) character_message(wparam, lparam);
            break;
        case WM_PAINT:
            if (w.paint_window != nullptr) w.paint_window();
            break;
        case WM_CLOSE:
            key_queue_push(KEY_CLOSE_REQUEST);
            return 0;
        case WM_ACTIVATEAPP:
            w.active = wparam != 0;
            if (screen != nullptr) std::memset(screen->key_state, 0, 128);
            w.mouse_buttons = 0;
            window_mark_all_dirty();
            break;
        case WM_LBUTTONDOWN: w.mouse_buttons |= 1; break;
        case WM_LBUTTONUP: w.mouse_buttons &= ~1; break;
        case WM_RBUTTONDOWN: w.mouse_buttons |= 2; break;
        case WM_RBUTTONUP: w.mouse_buttons &= ~2; break;
        case WM_MBUTTONDOWN: w.mouse_buttons |= 4; break;
        case WM_MBUTTONUP: w.mouse_buttons &= ~4; break;
        case WM_MOUSEWHEEL:
            if (w.os_version > 0x409) w.mouse_wheel += static_cast<int32_t>(wparam) > 0 ? 1 : -1;
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace gfx
