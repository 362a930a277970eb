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
//   quit
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/runtime.h"
#include "gfx/drivers/driver.h"
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

}  // namespace

int main(int argc, char** argv) {
    rt::runtime_init(argc, argv);
    gfx::window_title("Softglaze probe");
    char line[512];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        char word[32] = {0};
        int a = 0, b = 0, c = 0, d = 0;
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
        } else if (command == "quit") {
            answer("bye");
            rt::program_end(0);
        } else {
            answer("error " + command);
        }
    }
    rt::program_end(0);
}
