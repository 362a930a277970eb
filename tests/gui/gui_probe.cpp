// A Windows program that the window tests drive over standard input: it
// opens screens through the real drivers, draws, and reports what arrived
// from the keyboard, one command per line, one answer line per command.
//
//   open W H DEPTH FLAGS        free-size screen        -> "ok DRIVER" / "fail"
//   mode N DEPTH FLAGS          numbered mode           -> "ok DRIVER" / "fail"
//   fill COLOUR                 whole work page
//   rect X Y W H COLOUR         a filled rectangle
//   line Y COLOUR               one framebuffer line
//   palette I R G B             8-bit palette entry (8-bit components)
//   present                     page_copy(-1, -1)
//   keys                        pops every queued code  -> "keys C1 C2 ..."
//   down SCANCODE               key_down                -> "down V"
//   title TEXT                  window_title
//   sleep MS
//   close                       screen_close
//   state                       driver, the window layer's display flags and
//                               which libraries are loaded
//                               -> "state DRIVER FLAGS ddraw=0|1 dinput=0|1 opengl32=0|1"
//   modes DRIVER DEPTH          the named driver's fetch_modes
//                               -> "modes COUNT MODE..." (hex) / "modes none"
//   vsync                       the driver's wait_vsync -> "ok" / "none"
//   glcontext                   -> "glcontext 1" while an OpenGL context is current
//   glclear RRGGBB              glClearColor + glClear on the current context
//   pixelformat                 the window's pixel format
//                               -> "pixelformat COLOUR DEPTH STENCIL ACCUM MOST_ACCUM"
//                               (MOST_ACCUM: the most accumulation bits any
//                               format of the window offers)
//   quit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/runtime.h"
#include "gfx/drivers/driver.h"
#include "gfx/drivers/win32_window.h"
#include "gfx/modes.h"
#include "gfx/pages.h"
#include "gfx/palette.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"
#include "gfx/text/keys.h"

namespace {

void answer(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void opened() {
    if (gfx::screen != nullptr) {
        answer(std::string("ok ") + gfx::screen->driver->name);
    } else {
        answer("fail");
    }
}

void fill_rect(int x0, int y0, int w, int h, unsigned colour) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            gfx::pixel_set(nullptr, static_cast<float>(x), static_cast<float>(y), colour, gfx::REL_ABSOLUTE, 0);
}

bool loaded(const char* library) { return GetModuleHandleA(library) != nullptr; }

void report_state() {
    const char* driver = gfx::screen != nullptr ? gfx::screen->driver->name : "none";
    answer(std::string("state ") + driver + " " + std::to_string(gfx::window_state.display_flags) +
           " ddraw=" + (loaded("ddraw.dll") ? "1" : "0") + " dinput=" + (loaded("dinput.dll") ? "1" : "0") +
           " opengl32=" + (loaded("opengl32.dll") ? "1" : "0"));
}

const gfx::DisplayDriver* driver_named(const char* name) {
    for (const gfx::DisplayDriver* const* d = gfx::driver_list; *d != nullptr; ++d)
        if (_stricmp((*d)->name, name) == 0) return *d;
    return nullptr;
}

void report_modes(const char* name, int depth) {
    const gfx::DisplayDriver* driver = driver_named(name);
    int count = 0;
    int* modes = driver != nullptr && driver->fetch_modes != nullptr ? driver->fetch_modes(depth, &count) : nullptr;
    if (modes == nullptr) {
        answer("modes none");
        return;
    }
    std::string text = "modes " + std::to_string(count);
    char hex[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, " %08X", static_cast<unsigned>(modes[i]));
        text += hex;
    }
    std::free(modes);
    answer(text);
}

// OpenGL functions from the library the driver loaded; the probe loads
// nothing itself.
template <typename Function>
Function gl_function(const char* name) {
    HMODULE module = GetModuleHandleA("opengl32.dll");
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool gl_context_current() {
    auto current = gl_function<HGLRC(WINAPI*)()>("wglGetCurrentContext");
    return current != nullptr && current() != nullptr;
}

void gl_clear(unsigned colour) {
    auto clear_colour = gl_function<void(WINAPI*)(float, float, float, float)>("glClearColor");
    auto clear = gl_function<void(WINAPI*)(unsigned)>("glClear");
    if (!gl_context_current() || clear_colour == nullptr || clear == nullptr) {
        answer("fail");
        return;
    }
    clear_colour(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f, 1.0f);
    clear(0x4000);  // GL_COLOR_BUFFER_BIT
    answer("ok");
}

void report_pixel_format() {
    HWND window = gfx::window_state.window;
    HDC dc = window != nullptr ? GetDC(window) : nullptr;
    PIXELFORMATDESCRIPTOR format;
    std::memset(&format, 0, sizeof format);
    int index = dc != nullptr ? GetPixelFormat(dc) : 0;
    if (index == 0 || DescribePixelFormat(dc, index, sizeof format, &format) == 0) {
        answer("pixelformat none");
    } else {
        // The most accumulation bits any format of this device context offers.
        int most_accumulation = 0;
        int formats = DescribePixelFormat(dc, 1, sizeof format, nullptr);
        PIXELFORMATDESCRIPTOR other;
        for (int i = 1; i <= formats; ++i) {
            if (DescribePixelFormat(dc, i, sizeof other, &other) != 0 && other.cAccumBits > most_accumulation)
                most_accumulation = other.cAccumBits;
        }
        answer("pixelformat " + std::to_string(format.cColorBits) + " " + std::to_string(format.cDepthBits) + " " +
               std::to_string(format.cStencilBits) + " " + std::to_string(format.cAccumBits) + " " +
               std::to_string(most_accumulation));
    }
    if (dc != nullptr) ReleaseDC(window, dc);
}

}  // namespace

int main(int argc, char** argv) {
    rt::runtime_init(argc, argv);
    gfx::window_title("Softglaze probe");
    char line[512];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        char word[32] = {0};
        int a = 0, b = 0, c = 0, d = 0;
        char name[32] = {0};
        unsigned colour = 0;
        if (std::sscanf(line, "%31s", word) != 1) continue;
        std::string command = word;
        if (command == "open" && std::sscanf(line, "%*s %d %d %d %d", &a, &b, &c, &d) == 4) {
            gfx::screen_res(a, b, c, 1, d, 0);
            opened();
        } else if (command == "mode" && std::sscanf(line, "%*s %d %d %d", &a, &b, &c) == 3) {
            gfx::screen_mode(a, b, 1, c, 0);
            opened();
        } else if (command == "fill" && std::sscanf(line, "%*s %x", &colour) == 1 && gfx::screen) {
            fill_rect(0, 0, gfx::screen->width, gfx::screen->height, colour);
            answer("ok");
        } else if (command == "rect" && std::sscanf(line, "%*s %d %d %d %d %x", &a, &b, &c, &d, &colour) == 5) {
            fill_rect(a, b, c, d, colour);
            answer("ok");
        } else if (command == "line" && std::sscanf(line, "%*s %d %x", &a, &colour) == 2 && gfx::screen) {
            fill_rect(0, a, gfx::screen->width, 1, colour);
            answer("ok");
        } else if (command == "palette" && std::sscanf(line, "%*s %d %d %d %d", &a, &b, &c, &d) == 4) {
            gfx::palette_set(a, b, c, d);
            answer("ok");
        } else if (command == "present") {
            gfx::page_copy(-1, -1);
            answer("ok");
        } else if (command == "keys") {
            std::string codes = "keys";
            while (gfx::key_hit()) codes += " " + std::to_string(gfx::key_queue_pop());
            answer(codes);
        } else if (command == "down" && std::sscanf(line, "%*s %d", &a) == 1) {
            answer("down " + std::to_string(gfx::key_down(a)));
        } else if (command == "title") {
            std::string text = line + 6;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            gfx::window_title(text);
            answer("ok");
        } else if (command == "sleep" && std::sscanf(line, "%*s %d", &a) == 1) {
            rt::sleep_ms(a);
            answer("ok");
        } else if (command == "close") {
            gfx::screen_close();
            answer("ok");
        } else if (command == "state") {
            report_state();
        } else if (command == "modes" && std::sscanf(line, "%*s %31s %d", name, &a) == 2) {
            report_modes(name, a);
        } else if (command == "vsync") {
            bool has = gfx::screen != nullptr && gfx::screen->driver->wait_vsync != nullptr;
            if (has) gfx::screen->driver->wait_vsync();
            answer(has ? "ok" : "none");
        } else if (command == "glcontext") {
            answer(std::string("glcontext ") + (gl_context_current() ? "1" : "0"));
        } else if (command == "glclear" && std::sscanf(line, "%*s %x", &colour) == 1) {
            gl_clear(colour);
        } else if (command == "pixelformat") {
            report_pixel_format();
        } else if (command == "quit") {
            answer("bye");
            rt::program_end(0);
        } else {
            answer("error " + command);
        }
    }
    rt::program_end(0);
}
