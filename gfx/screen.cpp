// The screen record, its text cells and the screen lock idiom.
#include "gfx/screen.h"

#include <cstdlib>
#include <cstring>

#include "gfx/drivers/driver.h"

namespace gfx {

ScreenState* screen = nullptr;

bool text_cells_reset(bool allocate) {
    ScreenState* s = screen;
    if (s == nullptr) return false;
    if (s->text_cells != nullptr) {
        for (int p = 0; p < s->page_count; ++p) std::free(s->text_cells[p]);
        std::free(s->text_cells);
        s->text_cells = nullptr;
    }
    if (!allocate) return true;

    size_t cells = static_cast<size_t>(s->text_cols > 0 ? s->text_cols : 0) *
                   static_cast<size_t>(s->text_rows > 0 ? s->text_rows : 0);
    s->text_cells = static_cast<TextCell**>(std::calloc(static_cast<size_t>(s->page_count), sizeof(TextCell*)));
    bool ok = s->text_cells != nullptr;
    for (int p = 0; ok && p < s->page_count; ++p) {
        // One spare cell keeps the allocation non-empty for a zero-sized grid.
        s->text_cells[p] = static_cast<TextCell*>(std::calloc(cells + 1, sizeof(TextCell)));
        ok = s->text_cells[p] != nullptr;
    }
    if (!ok) {
        text_cells_reset(false);
        return false;
    }
    text_cells_fill(0, 0, s->text_cols, s->text_rows, s->work_page, 32, s->fg_colour, s->bg_colour);
    return true;
}

void text_cells_fill(int first_col, int first_row, int end_col, int end_row, int page,
                     uint32_t character, uint32_t foreground, uint32_t background) {
    ScreenState* s = screen;
    if (s == nullptr || s->text_cells == nullptr || page < 0 || page >= s->page_count) return;
    TextCell* cells = s->text_cells[page];
    if (first_col < 0) first_col = 0;
    if (first_row < 0) first_row = 0;
    if (end_col > s->text_cols) end_col = s->text_cols;
    if (end_row > s->text_rows) end_row = s->text_rows;
    const TextCell value{character, foreground, background};
    for (int row = first_row; row < end_row; ++row) {
        TextCell* line = cells + static_cast<size_t>(row) * static_cast<size_t>(s->text_cols);
        for (int col = first_col; col < end_col; ++col) line[col] = value;
    }
}

ScreenLock::ScreenLock() {
    ScreenState* s = screen;
    if (s == nullptr) return;
    if ((s->flags & (ScreenState::locked | ScreenState::lock_owned)) == 0) {
        s->driver->lock();
        s->flags |= ScreenState::locked | ScreenState::lock_owned;
        taken_ = s;
    }
}

ScreenLock::~ScreenLock() { release(); }

void ScreenLock::release() {
    ScreenState* s = taken_;
    if (s == nullptr) return;
    taken_ = nullptr;
    if (s->flags & ScreenState::lock_owned) {
        s->flags &= ~(ScreenState::locked | ScreenState::lock_owned);
        s->driver->unlock();
    }
}

void dirty_mark(int first, int count) {
    ScreenState* s = screen;
    if (s == nullptr || s->dirty == nullptr) return;
    if (first < 0) {
        count += first;
        first = 0;
    }
    int limit = s->height * s->scanline_mult;
    if (first + count > limit) count = limit - first;
    if (count > 0) std::memset(s->dirty + first, 1, static_cast<size_t>(count));
}

}  // namespace gfx
