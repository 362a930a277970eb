// The runtime's line editor: keys from the console hooks (or standard input
// with no hooks), echo with erasing, and the string assignment of the line.
#include "app/line_editor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/console.h"
#include "app/platform.h"

namespace rt {
namespace {

constexpr int KEY_POLL_MS = 25;  // how often an idle editor looks for a key
constexpr unsigned char KEY_BACKSPACE = 8;
constexpr unsigned char KEY_ENTER = 13;
constexpr unsigned char KEY_ESCAPE = 27;
constexpr unsigned char FIRST_PRINTABLE = 32;
constexpr int INITIAL_CAPACITY = 64;

// A console position, 1-based.
struct Cell {
    int row;
    int column;
};

bool same_cell(Cell a, Cell b) { return a.row == b.row && a.column == b.column; }

// The line being edited: its bytes and, per byte, the cell it was echoed in.
struct Line {
    char* bytes = nullptr;
    Cell* cells = nullptr;
    int length = 0;
    int capacity = 0;  // bytes and cells both have room for this many entries
};

// Makes room for `needed` bytes plus the terminating NUL.
bool line_reserve(Line* line, int needed) {
    if (needed < line->capacity) return true;
    if (needed >= INT32_MAX / 2) return false;
    int capacity = line->capacity > 0 ? line->capacity : INITIAL_CAPACITY;
    while (capacity <= needed) capacity *= 2;
    auto* bytes = static_cast<char*>(std::realloc(line->bytes, static_cast<size_t>(capacity)));
    if (bytes == nullptr) return false;
    line->bytes = bytes;
    auto* cells = static_cast<Cell*>(std::realloc(line->cells, static_cast<size_t>(capacity) * sizeof(Cell)));
    if (cells == nullptr) return false;
    line->cells = cells;
    line->capacity = capacity;
    return true;
}

void line_release(Line* line) {
    std::free(line->bytes);
    std::free(line->cells);
    *line = Line();
}

// Hands the line over as the result; the cells are no longer needed.
char* line_finish(Line* line, int* length) {
    line->bytes[line->length] = '\0';
    if (length != nullptr) *length = line->length;
    char* bytes = line->bytes;
    std::free(line->cells);
    *line = Line();
    return bytes;
}

// Whether the console can tell and set the cursor position; without that
// the editor echoes but erases with backspace codes alone.
bool can_place() {
    return hooks.hook_get_cursor != nullptr && hooks.hook_locate != nullptr && hooks.hook_get_size != nullptr;
}

Cell cursor_get() {
    Cell c{0, 0};
    hooks.hook_get_cursor(&c.column, &c.row);
    return c;
}

// Echoes `byte` and records the cell it was drawn in as the line's next
// cell. The console's cursor normally ends just past that cell; after
// filling the last cell of the text view it stays on it, the scroll being
// deferred to the next print. A print that scrolls first moves every cell
// echoed before it up by the same number of rows.
void echo(Line* line, char byte) {
    Cell* slot = &line->cells[line->length];
    *slot = Cell{0, 0};
    if (hooks.hook_print == nullptr) return;
    if (!can_place()) {
        hooks.hook_print(&byte, 1, 0);
        return;
    }
    int columns = 0;
    hooks.hook_get_size(&columns, nullptr);
    Cell before = cursor_get();
    hooks.hook_print(&byte, 1, 0);
    Cell after = cursor_get();

    Cell drawn;
    if (same_cell(after, before)) {
        drawn = before;
    } else if (after.column > 1) {
        drawn = Cell{after.row, after.column - 1};
    } else {
        drawn = Cell{after.row - 1, columns};
    }
    if (!same_cell(drawn, before)) {
        // The byte belonged on the row below the deferred scroll (or on a row
        // below the view); where it landed tells how far the text moved.
        int wanted_row = drawn.column < before.column ? before.row + 1 : before.row;
        int lines = wanted_row - drawn.row;
        if (lines > 0) {
            for (int i = 0; i < line->length; ++i) line->cells[i].row -= lines;
        }
    }
    *slot = drawn;
}

// Removes the last byte of the line and blanks its cell, leaving the
// cursor there. A cell that scrolled out of the text view is gone already;
// the cursor then goes to the start of the view.
void erase_last(Line* line) {
    --line->length;
    if (hooks.hook_print == nullptr) return;
    if (!can_place()) {
        hooks.hook_print("\b \b", 3, 0);
        return;
    }
    Cell c = line->cells[line->length];
    int first = 0, last = 0;
    text_view_get(&first, &last);
    if (c.row < first) {
        hooks.hook_locate(first, 1, -1);
        return;
    }
    hooks.hook_locate(c.row, c.column, -1);
    hooks.hook_print(" ", 1, 0);
    hooks.hook_locate(c.row, c.column, -1);
}

// A line from standard input, without its line end; null when the input
// ended before any character or memory ran out.
char* stdin_read(Line* line, int* length) {
    bool any = false;
    for (;;) {
        int c = std::getchar();
        if (c == EOF) break;
        any = true;
        if (c == '\n') break;
        if (c == '\r') continue;
        if (!line_reserve(line, line->length + 1)) {
            line_release(line);
            return nullptr;
        }
        line->bytes[line->length++] = static_cast<char>(c);
    }
    if (!any) {
        line_release(line);
        return nullptr;
    }
    return line_finish(line, length);
}

}  // namespace

char* line_editor_read(int* length) {
    if (length != nullptr) *length = 0;
    Line line;
    if (!line_reserve(&line, 0)) {
        line_release(&line);
        return nullptr;
    }
    if (hooks.hook_key_hit == nullptr || hooks.hook_key_read == nullptr) return stdin_read(&line, length);

    for (;;) {
        if (hooks.hook_key_hit() == 0) {
            platform::sleep_ms(KEY_POLL_MS);
            continue;
        }
        std::string key = hooks.hook_key_read();
        if (key.size() != 1) continue;  // no key, or an extended key (255 and its code)
        auto c = static_cast<unsigned char>(key[0]);
        if (c == KEY_ENTER) break;
        if (c == KEY_BACKSPACE) {
            if (line.length > 0) erase_last(&line);
            continue;
        }
        if (c == KEY_ESCAPE) {
            while (line.length > 0) erase_last(&line);
            continue;
        }
        if (c < FIRST_PRINTABLE) continue;
        if (!line_reserve(&line, line.length + 1)) {
            line_release(&line);
            return nullptr;
        }
        echo(&line, static_cast<char>(c));
        line.bytes[line.length++] = static_cast<char>(c);
    }
    return line_finish(&line, length);
}

void str_assign(std::string* destination, const char* bytes, int length, int size, int fill) {
    if (destination == nullptr) return;
    if (bytes == nullptr || length < 0) length = 0;
    if (size > 0 && length > size) length = size;
    if (length == 0) {
        destination->clear();
    } else {
        destination->assign(bytes, static_cast<size_t>(length));
    }
    if (size > 0 && fill != 0 && length < size) destination->append(static_cast<size_t>(size - length), ' ');
}

void str_assign_wide(std::u16string* destination, const char16_t* units, int length, int size) {
    if (destination == nullptr) return;
    if (units == nullptr || length < 0) length = 0;
    if (size > 0 && length > size) length = size;
    if (length == 0) {
        destination->clear();
    } else {
        destination->assign(units, static_cast<size_t>(length));
    }
}

}  // namespace rt
