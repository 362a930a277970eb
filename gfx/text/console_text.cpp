// The graphics text console: prints through the text writer onto the work
// page, scrolls within the runtime's text view range, and keeps the cursor,
// the colours and the per-page text cells.
#include "gfx/text/console_text.h"

#include <cstring>
#include <string>

#include "app/console.h"
#include "gfx/palette.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"

namespace gfx {
namespace {

constexpr int PRINT_EVEN_EMPTY = 0x08;  // flags bit of text_print

// Row `row` of the work page's cell buffer, or null outside the grid.
TextCell* work_cells_row(const ScreenState* s, int row) {
    if (s->text_cells == nullptr || row < 0 || row >= s->text_rows) return nullptr;
    TextCell* cells = s->text_cells[s->work_page];
    if (cells == nullptr) return nullptr;
    return cells + static_cast<size_t>(row) * static_cast<size_t>(s->text_cols);
}

// Fills pixel rows [from, to) of the drawing target, `span` pixels from
// column 0, with the background colour. Rows outside the target are skipped.
void rows_clear(const ScreenState* s, int from, int to, int span) {
    if (from < 0) from = 0;
    if (to > s->height) to = s->height;
    for (int y = from; y < to; ++y) span_fill(s->line_ptrs[y], s->bg_colour, static_cast<size_t>(span));
}

// A colour for "every other mode": packed to 5:6:5 at 16 bits, stored as is
// at 32 bits, masked to a palette index at 8 bits or less.
uint32_t colour_value(const ScreenState* s, int32_t value) {
    if (s->depth > 8) {
        return static_cast<uint32_t>(pack_rgb(value, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF));
    }
    return static_cast<uint32_t>(value) & s->colour_mask;
}

}  // namespace

int text_draw(TextWindow* window, const uint8_t* bytes, int count) {
    ScreenState* s = screen;
    if (s == nullptr || s->font == nullptr || s->font->glyphs == nullptr) return 0;
    const FontInfo* font = s->font;
    const int fw = font->width;
    const int fh = font->height;
    const int row_size = (fw + 7) / 8;
    const int top = window->cursor_y * fh;
    const uint32_t fg = s->fg_colour;
    const uint32_t bg = s->bg_colour;

    // Glyph pixels are clipped to the page, so a cursor placed outside the
    // grid cannot write outside the framebuffer.
    int x = window->cursor_x * fw;
    for (int i = 0; i < count; ++i, x += fw) {
        const uint8_t* glyph = font->glyphs + static_cast<size_t>(bytes[i]) * fh * row_size;
        for (int j = 0; j < fh; ++j) {
            int py = top + j;
            if (py < 0 || py >= s->height) continue;
            const uint8_t* row = glyph + j * row_size;
            for (int k = 0; k < fw; ++k) {
                int px = x + k;
                if (px < 0 || px >= s->width) continue;
                bool set = (row[k >> 3] >> (k & 7)) & 1;  // bit 0 is the leftmost pixel
                pixel_write(px, py, set ? fg : bg);
            }
        }
    }
    text_window_touch(window, top, top + fh);

    if (TextCell* cells = work_cells_row(s, window->cursor_y)) {
        for (int i = 0; i < count; ++i) {
            int col = window->cursor_x + i;
            if (col >= 0 && col < s->text_cols) cells[col] = TextCell{bytes[i], fg, bg};
        }
    }
    return 1;
}

void text_scroll(TextWindow* window, int left, int top, int right, int bottom, int lines) {
    ScreenState* s = screen;
    if (s == nullptr || s->font == nullptr) return;
    const int fw = s->font->width;
    const int fh = s->font->height;
    const int t = top * fh;
    const int o = (bottom + 1) * fh;
    const int h = lines * fh;
    int span = (right - left + 1) * fw;
    if (span > s->width) span = s->width;

    if (h != 0 && span > 0) {
        if (h >= o - t || h < 0) {
            rows_clear(s, t, o, span);
        } else {
            int end = o < s->height ? o : s->height;
            for (int y = t + h; y < end; ++y) {
                if (y - h >= 0) span_copy(s->line_ptrs[y - h], s->line_ptrs[y], static_cast<size_t>(span));
            }
            rows_clear(s, (bottom - lines + 1) * fh, o, span);
        }
        text_window_touch(window, t, o);
    }

    int rows = bottom - top + 1;
    if (lines > 0 && lines < rows) {
        int cols = right + 1 < s->text_cols ? right + 1 : s->text_cols;
        for (int r = top + lines; r <= bottom; ++r) {
            TextCell* to = work_cells_row(s, r - lines);
            const TextCell* from = work_cells_row(s, r);
            if (to != nullptr && from != nullptr && cols > 0) {
                std::memmove(to, from, static_cast<size_t>(cols) * sizeof(TextCell));
            }
        }
        text_cells_fill(left, bottom - lines + 1, right + 1, bottom + 1, s->work_page, 32, s->fg_colour, s->bg_colour);
    } else if (lines != 0) {
        text_cells_fill(left, top, right + 1, bottom + 1, s->work_page, 32, s->fg_colour, s->bg_colour);
    }
    window->cursor_y = bottom;
}

void text_print(const char* bytes, int length, int flags) {
    ScreenState* s = screen;
    if (s == nullptr) return;
    if (length < 0 || bytes == nullptr) length = 0;
    if (length == 0 && !(flags & PRINT_EVEN_EMPTY)) return;

    target_select(nullptr);  // text always goes to the work page
    ScreenLock lock;

    int cols = 0, rows = 0;
    text_size_get(&cols, &rows);
    if (cols < 1 || rows < 1) return;  // a screen too small for one cell

    TextWindow w;
    int first = 0, last = 0;
    rt::text_view_get(&first, &last);
    w.left = 0;
    w.right = cols - 1;
    w.top = first - 1;
    w.bottom = last - 1;
    // A view range reaching past the grid would scroll pixels and cells
    // outside the page: keep the band inside the grid.
    if (w.top < 0) w.top = 0;
    if (w.bottom > rows - 1) w.bottom = rows - 1;
    if (w.top > w.bottom) {
        w.top = 0;
        w.bottom = rows - 1;
    }
    w.cursor_x = s->cursor_x;
    w.cursor_y = s->cursor_y;
    w.scroll = text_scroll;
    w.draw = text_draw;

    if (s->flags & ScreenState::text_scroll_pending) {
        s->flags &= ~static_cast<uint32_t>(ScreenState::text_scroll_pending);
        w.cursor_x = w.left;
        ++w.cursor_y;
        if (w.cursor_y > w.bottom) text_scroll(&w, w.left, w.top, w.right, w.bottom, w.cursor_y - w.bottom);
    }

    text_write(&w, reinterpret_cast<const uint8_t*>(bytes), length);

    // Text that just filled the bottom row waits with its scroll until the
    // next print, so a full last row does not leave an empty one below it.
    if (w.cursor_x == w.left && w.cursor_y == w.bottom + 1) {
        s->flags |= ScreenState::text_scroll_pending;
        w.cursor_x = w.right;
        w.cursor_y = w.bottom;
    } else if (w.cursor_y > w.bottom) {
        text_scroll(&w, w.left, w.top, w.right, w.bottom, w.cursor_y - w.bottom);
    }
    text_cursor_set(w.cursor_y, w.cursor_x);

    if (s->line_ptrs[0] == s->visible_page) {
        int from = w.dirty_first < 0 ? 0 : w.dirty_first;
        int to = w.dirty_end > s->height ? s->height : w.dirty_end;
        if (from < to) byte_fill(s->dirty + from, 1, static_cast<size_t>(to - from));
    }
}

void text_print_wide(const uint16_t* units, int length, int flags) {
    if (length < 0 || units == nullptr) length = 0;
    std::string bytes;
    bytes.reserve(static_cast<size_t>(length) + 1);
    for (int i = 0; i < length; ++i) {
        uint16_t u = units[i];
        if (u < 256) {
            bytes += static_cast<char>(u);
        } else {
            bytes += '?';
            if (u >= 0xD800 && u <= 0xDBFF) ++i;  // a surrogate pair is one character
        }
    }
    text_print(bytes.data(), static_cast<int>(bytes.size()), flags);
}

int text_locate(int row, int column, int /*cursor*/) {
    ScreenState* s = screen;
    if (s == nullptr) return 0;
    s->flags &= ~static_cast<uint32_t>(ScreenState::text_scroll_pending);
    text_cursor_set(row - 1, column - 1);
    rt::console_column_set(s->cursor_x);
    return ((s->cursor_x & 0xFF) + 1) + 256 * ((s->cursor_y & 0xFF) + 1);
}

uint32_t text_colour(int32_t foreground, int32_t background) {
    ScreenState* s = screen;
    if (s == nullptr) return 0;
    uint32_t old = s->fg_colour | (s->bg_colour << 16);
    switch (s->mode) {
        case 1:
            // The background picks one of the CGA colour sets; the foreground
            // is the colour of palette entry 0.
            if (background >= 0) palette_set(static_cast<int32_t>(static_cast<uint32_t>(background) | 0xFFFFFFFCu), 0, -1, -1);
            if (foreground >= 0) palette_set(0, foreground, -1, -1);
            break;
        case 7:
        case 8:
        case 9:
            if (foreground >= 0) s->fg_colour = static_cast<uint32_t>(foreground) & 15;
            if (background >= 0) palette_set(0, background, -1, -1);
            break;
        default:
            if (foreground != -1) s->fg_colour = colour_value(s, foreground);
            if (background != -1) s->bg_colour = colour_value(s, background);
            break;
    }
    return old;
}

int text_cursor_col() { return screen != nullptr ? screen->cursor_x + 1 : 0; }

int text_cursor_row() { return screen != nullptr ? screen->cursor_y + 1 : 0; }

void text_cursor_get(int* column, int* row) {
    if (column != nullptr) *column = text_cursor_col();
    if (row != nullptr) *row = text_cursor_row();
}

void text_size_get(int* columns, int* rows) {
    if (columns != nullptr) *columns = screen != nullptr ? screen->text_cols : 0;
    if (rows != nullptr) *rows = screen != nullptr ? screen->text_rows : 0;
}

int text_cursor_set(int row, int column) {
    ScreenState* s = screen;
    if (s == nullptr) return 0;
    if (row >= 0) s->cursor_y = row;
    if (column >= 0) s->cursor_x = column;
    return (s->cursor_x & 0xFF) | ((s->cursor_y & 0xFF) << 8);
}

void text_cursor_back() {
    ScreenState* s = screen;
    if (s == nullptr) return;
    if (--s->cursor_x < 0) {
        s->cursor_x = s->text_cols - 1;
        --s->cursor_y;
    }
}

}  // namespace gfx
