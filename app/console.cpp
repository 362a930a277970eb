// Console services: dispatch through RuntimeHooks while a graphics screen is
// open, and a plain text console on standard input/output otherwise.
#include "app/console.h"

#include <cstdio>

#include "app/platform.h"
#include "app/runtime.h"

namespace rt {

RuntimeHooks hooks{};

namespace {

// Text view range (0 = not set) and the console's text column.
int g_view_first = 0;
int g_view_last = 0;
int g_column = 0;

// The plain text console used while no graphics screen is open.
struct TextConsole {
    int columns = 80;
    int rows = 25;
    uint32_t foreground = 7;
    uint32_t background = 0;
};
TextConsole g_text;

// Keyboard reader of console_read_chars: characters of keys not yet handed
// out, and whether the hooks were asked about redirection.
std::string g_key_buffer;
bool g_redirect_asked = false;
bool g_redirected = false;

void console_size(int* columns, int* rows) {
    int c = 0, r = 0;
    if (hooks.hook_get_size != nullptr) {
        hooks.hook_get_size(&c, &r);
    } else {
        c = g_text.columns;
        r = g_text.rows;
    }
    if (columns != nullptr) *columns = c;
    if (rows != nullptr) *rows = r;
}

void text_write(const char* bytes, size_t length) {
    std::fwrite(bytes, 1, length, stdout);
    std::fflush(stdout);
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            g_column = 0;
        } else {
            ++g_column;
        }
    }
}

// One character from standard input; -1 at its end.
int text_read_char() { return std::getchar(); }

}  // namespace

void text_view_set(int first, int last) {
    g_view_first = first;
    g_view_last = last;
}

void text_view_get(int* first, int* last) {
    int rows = 0;
    console_size(nullptr, &rows);
    if (first != nullptr) *first = g_view_first > 0 ? g_view_first : 1;
    if (last != nullptr) *last = g_view_last > 0 ? g_view_last : (rows > 0 ? rows : 25);
}

void console_column_set(int column) { g_column = column; }
int console_column() { return g_column; }

void text_console_reset(int columns, int rows) {
    g_text.columns = columns;
    g_text.rows = rows;
    g_column = 0;
}

void console_reader_reset() {
    g_key_buffer.clear();
    g_redirect_asked = false;
    g_redirected = false;
}

void console_locate(int row, int column, int cursor) {
    int columns = 0;
    console_size(&columns, nullptr);
    int first = 0, last = 0;
    text_view_get(&first, &last);
    if ((row != 0 && (row < first || row > last)) || (column != 0 && (column < 1 || column > columns))) {
        error_set(ERR_ILLEGAL);
        return;
    }
    if (hooks.hook_locate != nullptr) hooks.hook_locate(row, column, cursor);
    if (column != 0) g_column = column - 1;
}

void console_print(const std::string& text, bool newline) {
    if (hooks.hook_print != nullptr) {
        hooks.hook_print(text.data(), static_cast<int>(text.size()), 0);
        if (newline) hooks.hook_print("\r\n", 2, 0);
        return;
    }
    text_write(text.data(), text.size());
    if (newline) text_write("\n", 1);
}

void console_print_wide(const std::u16string& text, bool newline) {
    // Copied in chunks into the units the hook takes; a chunk never ends
    // between the two halves of a surrogate pair.
    constexpr size_t CHUNK = 256;
    uint16_t units[CHUNK + 1];
    size_t at = 0;
    while (at < text.size()) {
        size_t n = text.size() - at < CHUNK ? text.size() - at : CHUNK;
        char16_t tail = text[at + n - 1];
        if (tail >= 0xD800 && tail <= 0xDBFF && at + n < text.size()) ++n;
        for (size_t i = 0; i < n; ++i) units[i] = static_cast<uint16_t>(text[at + i]);
        if (hooks.hook_print_wide != nullptr) {
            hooks.hook_print_wide(units, static_cast<int>(n), 0);
        } else {
            char bytes[CHUNK + 1];
            size_t count = 0;
            for (size_t i = 0; i < n; ++i) {
                uint16_t u = units[i];
                bytes[count++] = u < 256 ? static_cast<char>(u) : '?';
                if (u >= 0xD800 && u <= 0xDBFF) ++i;  // a surrogate pair is one character
            }
            text_write(bytes, count);
        }
        at += n;
    }
    if (newline) {
        if (hooks.hook_print_wide != nullptr) {
            const uint16_t line_end[2] = {13, 10};
            hooks.hook_print_wide(line_end, 2, 0);
        } else {
            text_write("\n", 1);
        }
    }
}

uint32_t console_colour(int32_t foreground, int32_t background) {
    if (hooks.hook_colour != nullptr) return hooks.hook_colour(foreground, background);
    uint32_t old = g_text.foreground | (g_text.background << 16);
    if (foreground != -1) g_text.foreground = static_cast<uint32_t>(foreground);
    if (background != -1) g_text.background = static_cast<uint32_t>(background);
    return old;
}

std::string console_read_chars(int n) {
    std::string result;
    while (static_cast<int>(result.size()) < n) {
        if (!g_key_buffer.empty()) {
            result += g_key_buffer[0];
            g_key_buffer.erase(0, 1);
            continue;
        }
        if (hooks.hook_key_hit != nullptr && hooks.hook_key_read != nullptr) {
            if (!g_redirect_asked) {
                g_redirect_asked = true;
                g_redirected = hooks.hook_is_redirected != nullptr && hooks.hook_is_redirected() != 0;
            }
            if (!g_redirected) {
                if (hooks.hook_key_hit() != 0) {
                    g_key_buffer += hooks.hook_key_read();
                } else {
                    platform::sleep_ms(25);
                }
                continue;
            }
        }
        int c = text_read_char();
        if (c < 0) break;  // input ended: hand back what there is
        result += static_cast<char>(c);
    }
    return result;
}

int console_key_down(int scancode) {
    if (hooks.hook_key_down != nullptr) return hooks.hook_key_down(scancode);
    return 0;
}

int port_in(int port) {
    if (hooks.hook_port_in != nullptr) return hooks.hook_port_in(port);
    return -1;
}

int port_out(int port, int value) {
    if (hooks.hook_port_out != nullptr) return hooks.hook_port_out(port, value);
    return -1;
}

int mouse_get(int* x, int* y, int* wheel, int* buttons) {
    if (hooks.hook_mouse_get != nullptr) return hooks.hook_mouse_get(x, y, wheel, buttons);
    for (int* out : {x, y, wheel, buttons}) {
        if (out != nullptr) *out = -1;
    }
    error_set(ERR_ILLEGAL);
    return ERR_ILLEGAL;
}

int mouse_set(int x, int y, int cursor) {
    if (hooks.hook_mouse_set != nullptr) return hooks.hook_mouse_set(x, y, cursor);
    (void)x;
    (void)y;
    (void)cursor;
    error_set(ERR_ILLEGAL);
    return ERR_ILLEGAL;
}

}  // namespace rt
