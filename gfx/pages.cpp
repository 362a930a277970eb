// Page selection and copying.
#include "gfx/pages.h"

#include <optional>

#include "gfx/drivers/driver.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace gfx {

void page_copy(int32_t from, int32_t to) {
    ScreenState* s = screen;
    if (s == nullptr) return;

    // Text cells first: they follow the pixels even when the driver presents.
    int cells_from = from >= 0 ? from : s->work_page;
    int cells_to = to >= 0 ? to : s->work_page;
    if (cells_from != cells_to && cells_from < s->page_count && cells_to < s->page_count) {
        ScreenLock lock;
        byte_copy(s->text_cells[cells_to], s->text_cells[cells_from],
                  static_cast<size_t>(s->text_cols) * static_cast<size_t>(s->text_rows) * sizeof(TextCell));
    }

    if (s->driver->flip != nullptr) {
        s->driver->flip();
        return;
    }

    target_select(nullptr);
    const uint8_t* source;
    if (from < 0) {
        source = s->line_ptrs[0];
    } else if (from >= s->page_count) {
        return;
    } else {
        source = s->pages[from];
    }
    uint8_t* destination;
    if (to < 0) {
        destination = s->visible_page;
    } else if (to >= s->page_count) {
        return;
    } else {
        destination = s->pages[to];
    }
    if (source == destination) return;

    // Only a copy onto the displayed page needs the lock and dirty lines.
    bool visible = destination == s->visible_page && !(s->flags & ScreenState::locked);
    std::optional<ScreenLock> lock;
    if (visible) lock.emplace();
    size_t offset = static_cast<size_t>(s->view_y) * s->pitch + static_cast<size_t>(s->view_x) * s->bytes_per_pixel;
    size_t row_bytes = static_cast<size_t>(s->view_w) * s->bytes_per_pixel;
    for (int row = 0; row < s->view_h; ++row) {
        size_t at = offset + static_cast<size_t>(row) * s->pitch;
        byte_copy(destination + at, source + at, row_bytes);
    }
    if (visible) dirty_mark(s->view_y, s->view_h);
}

void page_set(int32_t work, int32_t visible) {
    ScreenState* s = screen;
    if (s == nullptr) return;
    if (work < 0 && visible < 0) {
        work = 0;
        visible = 0;
    }
    if (work >= 0 && work < s->page_count) {
        s->work_page = work;
        if (!(s->flags & ScreenState::target_is_image)) {
            for (int i = 0; i < s->height; ++i) s->line_ptrs[i] = s->pages[work] + static_cast<size_t>(i) * s->pitch;
        }
    }
    if (visible >= 0 && visible < s->page_count && s->pages[visible] != s->visible_page) {
        ScreenLock lock;
        s->visible_page = s->pages[visible];
        dirty_mark(0, s->height);
    }
}

}  // namespace gfx
