// Clearing, the text grid, cell read-back and line input of the graphics
// text console.
#include "gfx/text/console_edit.h"

#include <cstdlib>
#include <type_traits>

#include "app/console.h"
#include "app/line_editor.h"
#include "app/runtime.h"
#include "app/runtime_hooks.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"
#include "gfx/text/console_text.h"
#include "gfx/text/keys.h"

namespace gfx {
namespace {

// These operations go into the runtime's hook slots while a screen is open.
static_assert(std::is_same_v<decltype(&text_clear), decltype(rt::RuntimeHooks::hook_clear)>);
static_assert(std::is_same_v<decltype(&text_width), decltype(rt::RuntimeHooks::hook_width)>);
static_assert(std::is_same_v<decltype(&text_read_cell), decltype(rt::RuntimeHooks::hook_read_cell)>);
static_assert(std::is_same_v<decltype(&text_read_line), decltype(rt::RuntimeHooks::hook_read_string)>);
static_assert(std::is_same_v<decltype(&text_line_input), decltype(rt::RuntimeHooks::hook_line_input)>);
static_assert(std::is_same_v<decltype(&text_line_input_wide), decltype(rt::RuntimeHooks::hook_line_input_wide)>);

constexpr int PRINT_EVEN_EMPTY = 0x08;  // text_print flag: act on an empty text
constexpr int KEY_BELL = 7;
constexpr int KEY_BACKSPACE = 8;
constexpr int KEY_ENTER = 13;
constexpr int KEY_LAST_CHARACTER = 255;

int clamp(int64_t value, int low, int high) {
    if (value < low) return low;
    if (value > high) return high;
    return static_cast<int>(value);
}

// Fills the pixels [x, x + w) x [y, y + h) of the drawing target with the
// background colour; the part outside the page is skipped.
void pixels_clear(const ScreenState* s, int x, int y, int w, int h) {
    int x0 = clamp(x, 0, s->width);
    int x1 = clamp(static_cast<int64_t>(x) + w, 0, s->width);
    int y0 = clamp(y, 0, s->height);
    int y1 = clamp(static_cast<int64_t>(y) + h, 0, s->height);
    if (x0 >= x1) return;
    for (int row = y0; row < y1; ++row) {
        span_fill(s->line_ptrs[row] + static_cast<size_t>(x0) * s->bytes_per_pixel, s->bg_colour,
                  static_cast<size_t>(x1 - x0));
    }
}

// Marks framebuffer lines [from, to) changed when the work page is shown.
void rows_dirty(const ScreenState* s, int64_t from, int64_t to) {
    if (s->line_ptrs[0] != s->visible_page) return;
    int first = clamp(from, 0, s->height);
    int end = clamp(to, 0, s->height);
    if (first < end) byte_fill(s->dirty + first, 1, static_cast<size_t>(end - first));
}

void point_to_viewport_centre(ScreenState* s) {
    s->last_x = static_cast<float>(s->view_x + s->view_w / 2);
    s->last_y = static_cast<float>(s->view_y + s->view_h / 2);
}

// The text view's rows, 0-based and inclusive, kept inside the grid (a view
// reaching past it would clear pixels and cells outside the page). Empty
// (top > bottom) only for a grid without rows.
void view_rows(const ScreenState* s, int first, int last, int* top, int* bottom) {
    *top = first - 1 < 0 ? 0 : first - 1;
    *bottom = last - 1 > s->text_rows - 1 ? s->text_rows - 1 : last - 1;
    if (*top > *bottom) {
        *top = 0;
        *bottom = s->text_rows - 1;
    }
}

// The built-in font with 8-pixel-wide cells of that height, or null.
const FontInfo* font_for_cell(int width, int height) {
    if (width != 8) return nullptr;
    switch (height) {
        case 8: return &font_8x8();
        case 14: return &font_8x14();
        case 16: return &font_8x16();
        default: return nullptr;
    }
}

// Prints `bytes` and moves the cursor `back` cells back. A print that
// filled the last cell of the text view leaves the cursor on that cell with
// its scroll deferred: the cursor already stands one cell back then, and the
// deferred scroll is dropped because the cursor stays in the row.
void print_back(const char* bytes, int length, int back) {
    text_print(bytes, length, 0);
    if (screen->flags & ScreenState::text_scroll_pending) {
        screen->flags &= ~static_cast<uint32_t>(ScreenState::text_scroll_pending);
        --back;
    }
    for (; back > 0; --back) text_cursor_back();
}

// The runtime's line editor, then its string assignment. `assign` stores the
// line in the destination; it runs only when a line was read.
template <typename Assign>
int line_input(int newline, Assign assign) {
    int length = 0;
    char* line = rt::line_editor_read(&length);
    if (newline) text_print("\r\n", 2, 0);
    if (line == nullptr) {
        rt::error_set(rt::ERR_NO_LINE);
        return rt::ERR_NO_LINE;
    }
    assign(line, length);
    std::free(line);
    return rt::ERR_NONE;
}

}  // namespace

void text_clear(int mode) {
    ScreenState* s = screen;
    if (s == nullptr) return;
    target_select(nullptr);
    ScreenLock lock;

    int first = 0, last = 0;
    rt::text_view_get(&first, &last);
    if (mode == rt::CLEAR_NO_MODE) {
        if (s->flags & ScreenState::view_active) {
            mode = CLEAR_VIEWPORT;
        } else if (first == 1 && last == s->text_rows) {
            mode = CLEAR_PAGE;
        } else {
            mode = CLEAR_TEXT_VIEW;
        }
    } else if (mode != CLEAR_PAGE && mode != CLEAR_TEXT_VIEW) {
        mode = CLEAR_VIEWPORT;
    }
    int top = 0, bottom = 0;
    view_rows(s, first, last, &top, &bottom);

    switch (mode) {
        case CLEAR_PAGE:
            pixels_clear(s, 0, 0, s->width, s->height);
            text_cells_fill(0, 0, s->text_cols, s->text_rows, s->work_page, 32, s->fg_colour, s->bg_colour);
            rows_dirty(s, 0, s->height);
            text_locate(top + 1, 1, -1);
            point_to_viewport_centre(s);
            break;
        case CLEAR_VIEWPORT:
            pixels_clear(s, s->view_x, s->view_y, s->view_w, s->view_h);
            rows_dirty(s, s->view_y, static_cast<int64_t>(s->view_y) + s->view_h);
            if (s->view_h > 0) point_to_viewport_centre(s);
            break;
        default: {
            // The grid lies inside the page, so the band's pixel rows do too.
            const int fh = s->font != nullptr ? s->font->height : 0;
            const int from = top * fh;
            const int to = (bottom + 1) * fh;
            pixels_clear(s, 0, from, s->width, to - from);
            text_cells_fill(0, top, s->text_cols, bottom + 1, s->work_page, 32, s->fg_colour, s->bg_colour);
            rows_dirty(s, from, to);
            text_locate(top + 1, 1, -1);
            break;
        }
    }
}

int text_width(int columns, int rows) {
    ScreenState* s = screen;
    if (s == nullptr) return 0;
    const int old_cols = s->text_cols;
    const int old_rows = s->text_rows;
    const FontInfo* old_font = s->font;
    const int old = static_cast<int>(static_cast<uint32_t>(old_cols) | (static_cast<uint32_t>(old_rows) << 16));
    if (columns <= 0 && rows <= 0) return old;

    int cell_w = columns > 0 ? s->width / columns : (old_font != nullptr ? old_font->width : 0);
    int cell_h = rows > 0 ? s->height / rows : (old_font != nullptr ? old_font->height : 0);
    const FontInfo* font = font_for_cell(cell_w, cell_h);
    if (font == nullptr) return old;

    target_select(nullptr);
    ScreenLock lock;
    if (columns > 0) s->text_cols = columns;
    if (rows > 0) s->text_rows = rows;
    s->font = font;
    if (!text_cells_reset(true)) {
        // No memory for the new grid: keep the old one (its cells start
        // blank) rather than a grid without cells.
        s->text_cols = old_cols;
        s->text_rows = old_rows;
        s->font = old_font;
        text_cells_reset(true);
        rt::error_set(rt::ERR_ILLEGAL);
        return old;
    }
    s->view_x = 0;
    s->view_y = 0;
    s->view_w = s->width;
    s->view_h = s->height;
    s->flags &= ~static_cast<uint32_t>(ScreenState::view_active);
    rt::text_view_set(1, s->text_rows);
    if (rt::hooks.hook_view_update != nullptr) rt::hooks.hook_view_update(1, s->text_rows);
    text_locate(1, 1, -1);
    text_clear(CLEAR_PAGE);
    return old;
}

uint32_t text_read_cell(int column, int row, int what) {
    const ScreenState* s = screen;
    if (s == nullptr || s->text_cells == nullptr) return 0;
    if (column < 1 || column > s->text_cols || row < 1 || row > s->text_rows) return 0;
    const TextCell* cells = s->text_cells[s->work_page];
    if (cells == nullptr) return 0;
    const TextCell& cell = cells[static_cast<size_t>(row - 1) * static_cast<size_t>(s->text_cols) + (column - 1)];
    if (what == 0) return cell.character;
    if (s->depth <= 4) return cell.foreground + 16 * cell.background;
    if (s->depth <= 8) return cell.foreground + 256 * cell.background;
    return what == 2 ? cell.background : cell.foreground;
}

char* text_read_line(char* buffer, int size) {
    if (screen == nullptr || buffer == nullptr || size < 1) return nullptr;
    static const char block[2] = {LINE_CURSOR_GLYPH, ' '};
    int count = 0;
    bool erase_after = false;  // the cursor text is the block followed by a space
    for (;;) {
        // Draw the cursor and stand on it; a trailing space wipes the block
        // that stood one cell further before a Backspace.
        print_back(block, erase_after ? 2 : 1, erase_after ? 2 : 1);
        erase_after = false;

        int code = key_wait();
        if (screen == nullptr) return nullptr;
        if (code < 0 || code > KEY_LAST_CHARACTER || code == KEY_BELL) continue;
        if (code == KEY_BACKSPACE) {
            if (count == 0) continue;
            text_cursor_back();
            --count;
            if (screen->cursor_y < 0) {
                text_cursor_set(0, 0);
            } else {
                erase_after = true;
            }
            continue;
        }
        const bool full = count >= size - 1;
        if (code == KEY_ENTER) {
            // The block goes in every case; the 13 is stored only when it fits.
            print_back(" ", 1, 1);
            if (!full) buffer[count++] = KEY_ENTER;
            text_print("\r", 1, 0);
            break;
        }
        if (full) continue;
        const char byte = static_cast<char>(code);
        buffer[count++] = byte;
        text_print(&byte, 1, 0);
    }
    buffer[count] = '\0';
    return buffer;
}

int text_line_input(const std::string* prompt, std::string* destination, int size, int fill, int question,
                    int newline) {
    if (destination == nullptr) {
        rt::error_set(rt::ERR_ILLEGAL);
        return rt::ERR_ILLEGAL;
    }
    text_print(nullptr, 0, PRINT_EVEN_EMPTY);  // a pending scroll happens before the prompt
    if (prompt != nullptr) {
        rt::console_print(*prompt, false);
        if (question) rt::console_print("? ", false);
    }
    return line_input(newline, [&](const char* line, int length) {
        rt::str_assign(destination, line, length, size, fill);
    });
}

int text_line_input_wide(const std::u16string* prompt, std::u16string* destination, int size, int question,
                         int newline) {
    if (destination == nullptr) {
        rt::error_set(rt::ERR_ILLEGAL);
        return rt::ERR_ILLEGAL;
    }
    text_print(nullptr, 0, PRINT_EVEN_EMPTY);
    if (prompt != nullptr) {
        rt::console_print_wide(*prompt, false);
        if (question) rt::console_print_wide(u"? ", false);
    }
    return line_input(newline, [&](const char* line, int length) {
        std::u16string units(static_cast<size_t>(length), u'\0');
        for (int i = 0; i < length; ++i) units[static_cast<size_t>(i)] = static_cast<unsigned char>(line[i]);
        rt::str_assign_wide(destination, units.data(), length, size);
    });
}

}  // namespace gfx
