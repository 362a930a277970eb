// The text writer shared by the consoles: control codes, the pending buffer
// of printable bytes, wrapping and scrolling.
#include "gfx/text/text_writer.h"

#include "app/runtime.h"

namespace gfx {
namespace {

// The state of one text_write call. Printable bytes gather in `pending`
// and reach the draw as whole row segments; (x, y) is where the pending
// text will end, which is what a tab measures from.
struct Writer {
    TextWindow* window;
    uint8_t pending[TEXT_PENDING_MAX];
    int count;
    int x;
    int y;
    bool moved;  // a control code moved the cursor
};

// Scrolls when the cursor stands below the bottom row, leaving it there.
void scroll_to_bottom(TextWindow* w) {
    if (w->bottom < 0 || w->cursor_y <= w->bottom || w->scroll == nullptr) return;
    w->scroll(w, w->left, w->top, w->right, w->bottom, w->cursor_y - w->bottom);
}

// Hands the pending bytes to the draw, one row segment at a time. The
// cursor can end one row below the bottom: the next segment, or the caller,
// scrolls then.
void flush(Writer& wr) {
    TextWindow* w = wr.window;
    const uint8_t* p = wr.pending;
    int n = wr.count;
    wr.count = 0;
    while (n > 0) {
        // A cursor placed outside the columns would give a segment of no
        // bytes and never advance: it starts at the next valid column.
        if (w->cursor_x < w->left) {
            w->cursor_x = w->left;
        } else if (w->cursor_x > w->right) {
            w->cursor_x = w->left;
            ++w->cursor_y;
        }
        int c = w->right - w->cursor_x + 1;
        if (c > n) c = n;
        scroll_to_bottom(w);
        if (w->draw(w, p, c) != 1) return;  // the draw refused: drop the rest
        w->cursor_x += c;
        if (w->cursor_x == w->right + 1) {
            w->cursor_x = w->left;
            ++w->cursor_y;
        }
        p += c;
        n -= c;
    }
}

// Adds `n` copies of `byte` (n <= TEXT_PENDING_MAX) to the pending text and
// advances the running position, wrapping past the right column.
void add_text(Writer& wr, uint8_t byte, int n) {
    if (wr.count + n > TEXT_PENDING_MAX) flush(wr);
    for (int i = 0; i < n; ++i) wr.pending[wr.count++] = byte;
    const TextWindow* w = wr.window;
    wr.x += n;
    if (wr.x > w->right) {
        int width = w->right - w->left + 1;
        int past = wr.x - w->left;
        wr.y += past / width;
        wr.x = w->left + past % width;
    }
}

// A control code that moves the cursor: the pending text is drawn first, so
// the move starts from where the text ended.
void add_move(Writer& wr, uint8_t code) {
    flush(wr);
    TextWindow* w = wr.window;
    switch (code) {
        case 8:
            if (w->cursor_x > w->left) --w->cursor_x;
            break;
        case 10:
            ++w->cursor_y;
            w->cursor_x = w->left;
            break;
        default:  // 13
            w->cursor_x = w->left;
            break;
    }
    wr.x = w->cursor_x;
    wr.y = w->cursor_y;
    wr.moved = true;
}

}  // namespace

void text_window_touch(TextWindow* window, int first, int end) {
    if (first >= end) return;
    if (window->dirty_first == window->dirty_end) {
        window->dirty_first = first;
        window->dirty_end = end;
        return;
    }
    if (first < window->dirty_first) window->dirty_first = first;
    if (end > window->dirty_end) window->dirty_end = end;
}

void text_write(TextWindow* window, const uint8_t* bytes, int count) {
    if (window == nullptr || window->draw == nullptr || window->right < window->left) return;
    if (bytes == nullptr) count = 0;

    Writer wr;
    wr.window = window;
    wr.count = 0;
    wr.x = window->cursor_x;
    wr.y = window->cursor_y;
    wr.moved = false;

    for (int i = 0; i < count; ++i) {
        uint8_t b = bytes[i];
        switch (b) {
            case 7:
                rt::beep();
                break;
            case 8:
            case 10:
            case 13:
                add_move(wr, b);
                break;
            case 9: {
                int from_left = (wr.x - window->left) % 8;
                if (from_left < 0) from_left += 8;
                add_text(wr, ' ', 8 - from_left);
                break;
            }
            default:
                add_text(wr, b, 1);
                break;
        }
    }

    if (wr.count > 0) {
        flush(wr);
        return;
    }
    // A line end on the bottom row scrolls now; text that merely filled the
    // bottom row leaves the decision to the caller.
    if (wr.moved) scroll_to_bottom(window);
}

}  // namespace gfx
