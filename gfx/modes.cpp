// Screen modes, screen opening and closing, the driver search and the
// window title.
#include "gfx/modes.h"

#include <strings.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/runtime.h"
#include "gfx/drivers/blitters.h"
#include "gfx/drivers/driver.h"
#include "gfx/hooks.h"
#include "gfx/palette.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"

namespace gfx {
namespace {

const FontInfo* const F8 = &builtin_fonts[2];
const FontInfo* const F14 = &builtin_fonts[1];
const FontInfo* const F16 = &builtin_fonts[0];
const PaletteInfo* const P256 = &builtin_palettes[0];
const PaletteInfo* const P64 = &builtin_palettes[1];
const PaletteInfo* const P16 = &builtin_palettes[2];
const PaletteInfo* const P2 = &builtin_palettes[3];

// Indexed by mode number; mode 0 (text) has no row.
const ModeInfo kModes[MODE_MAX + 1] = {
    {-1, 0, 0, 1, nullptr, nullptr, 0, 0},  // 0: text mode
    {320, 200, 2, 1, P16, F8, 40, 25},
    {640, 200, 1, 2, P16, F8, 80, 25},
    {-1, 0, 0, 1, nullptr, nullptr, 0, 0},
    {-1, 0, 0, 1, nullptr, nullptr, 0, 0},
    {-1, 0, 0, 1, nullptr, nullptr, 0, 0},
    {-1, 0, 0, 1, nullptr, nullptr, 0, 0},
    {320, 200, 4, 1, P16, F8, 40, 25},
    {640, 200, 4, 2, P16, F8, 80, 25},
    {640, 350, 4, 1, P64, F14, 80, 25},
    {640, 350, 1, 1, P2, F14, 80, 25},
    {640, 480, 1, 1, P2, F16, 80, 30},
    {640, 480, 4, 1, P256, F16, 80, 30},
    {320, 200, 8, 1, P256, F8, 40, 25},
    {320, 240, 8, 1, P256, F8, 40, 30},
    {400, 300, 8, 1, P256, F8, 50, 37},
    {512, 384, 8, 1, P256, F16, 64, 24},
    {640, 400, 8, 1, P256, F16, 80, 25},
    {640, 480, 8, 1, P256, F16, 80, 30},
    {800, 600, 8, 1, P256, F16, 100, 37},
    {1024, 768, 8, 1, P256, F16, 128, 48},
    {1280, 1024, 8, 1, P256, F16, 160, 64},
};

char g_title_buffer[128];
const char* g_title = nullptr;
bool g_close_registered = false;

bool is_text_mode(int mode) { return mode == 0 || mode == 3 || mode == 4; }

bool is_free_size_depth(int depth) {
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

// Releases every buffer of a screen record and the record itself.
void screen_free(ScreenState* s) {
    if (s == nullptr) return;
    if (s->pages != nullptr) {
        for (int p = 0; p < s->page_count; ++p) std::free(s->pages[p]);
        std::free(s->pages);
    }
    std::free(s->line_ptrs);
    std::free(s->palette);
    std::free(s->base_colours);
    std::free(s->palette_map);
    std::free(s->dirty);
    std::free(s->key_state);
    std::free(s);
}

// Takes the open screen down: its driver, its cells, its buffers.
void dismantle() {
    ScreenState* s = screen;
    if (s == nullptr) return;
    if (s->driver != nullptr && s->driver->exit != nullptr) s->driver->exit();
    text_cells_reset(false);
    screen = nullptr;
    screen_free(s);
}

// Allocates the pages and bookkeeping arrays of a record whose width,
// height, pitch, page_count and scanline_mult are set. False when a size
// overflows or an allocation fails; the caller then frees the record.
bool allocate_buffers(ScreenState* s) {
    uint64_t page_bytes = static_cast<uint64_t>(s->height) * static_cast<uint64_t>(s->pitch);
    uint64_t dirty_bytes = static_cast<uint64_t>(s->height) * static_cast<uint64_t>(s->scanline_mult);
    if (page_bytes == 0 || page_bytes > SIZE_MAX / 2 || dirty_bytes > SIZE_MAX / 2 ||
        static_cast<uint64_t>(s->height) > SIZE_MAX / sizeof(uint8_t*)) {
        return false;
    }
    s->pages = static_cast<uint8_t**>(std::calloc(static_cast<size_t>(s->page_count), sizeof(uint8_t*)));
    if (s->pages == nullptr) return false;
    for (int p = 0; p < s->page_count; ++p) {
        s->pages[p] = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(page_bytes), 1));
        if (s->pages[p] == nullptr) return false;
    }
    s->visible_page = s->pages[0];
    s->line_ptrs = static_cast<uint8_t**>(std::calloc(static_cast<size_t>(s->height), sizeof(uint8_t*)));
    s->dirty = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(dirty_bytes), 1));
    s->palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
    s->base_colours = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
    s->palette_map = static_cast<uint8_t*>(std::calloc(16, 1));
    s->key_state = static_cast<uint8_t*>(std::calloc(128, 1));
    expansion_table = static_cast<uint32_t*>(std::malloc(512 * sizeof(uint32_t)));
    if (s->line_ptrs == nullptr || s->dirty == nullptr || s->palette == nullptr ||
        s->base_colours == nullptr || s->palette_map == nullptr || s->key_state == nullptr ||
        expansion_table == nullptr) {
        return false;
    }
    for (int y = 0; y < s->height; ++y) s->line_ptrs[y] = s->visible_page + static_cast<size_t>(y) * s->pitch;
    return true;
}

void default_title() {
    std::string name = rt::exe_name();
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    window_title(name);
}

bool same_name(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

// Tries init with the requested rate, then with the default rate; the
// driver's exit follows every failed init.
bool try_driver(const DisplayDriver* d, const ScreenState* s, int refresh, int flags) {
    int height = s->height * s->scanline_mult;
    if (d->init(g_title, s->width, height, s->depth, refresh, flags) == 0) return true;
    d->exit();
    if (d->init(g_title, s->width, height, s->depth, 0, flags) == 0) return true;
    d->exit();
    return false;
}

// The driver search steered by KWGFX: with the variable set, a pass over the
// named driver alone, then all, then the named one, then all with the
// full-screen bit flipped; without it, all drivers, then all flipped.
const DisplayDriver* choose_driver(const ScreenState* s, int refresh, int flags) {
    if (flags == ScreenFlags::no_display) return &null_driver;
    const char* wanted = std::getenv("KWGFX");
    if (wanted != nullptr && same_name(wanted, "null")) return &null_driver;
    int passes = wanted != nullptr ? 4 : 2;
    while (passes > 0) {
        for (const DisplayDriver* const* d = driver_list; *d != nullptr; ++d) {
            if (wanted != nullptr && passes % 2 == 0 && !same_name((*d)->name, wanted)) continue;
            if (try_driver(*d, s, refresh, flags)) return *d;
        }
        if (wanted == nullptr || passes == 2) flags ^= ScreenFlags::fullscreen;
        --passes;
    }
    return nullptr;
}

// Resets the runtime's text view to the whole grid and, with a screen,
// puts the cursor at row 1, column 1.
void reset_text_view() {
    int first = 0, last = 0;
    rt::text_view_set(0, 0);
    rt::text_view_get(&first, &last);  // the console's rows, 25 when it has none
    rt::text_view_set(1, last);
    if (rt::hooks.hook_view_update != nullptr) rt::hooks.hook_view_update(1, last);
    if (screen != nullptr) {
        if (screen->text_cols >= 1 && screen->text_rows >= 1) {
            rt::console_locate(1, 1, -1);
        } else {
            rt::console_locate(0, 0, -1);
        }
    }
}

}  // namespace

const ModeInfo* mode_row(int mode) {
    if (mode < 1 || mode > MODE_MAX) return nullptr;
    return &kModes[mode];
}

void window_title(const std::string& text) {
    std::memset(g_title_buffer, 0, sizeof g_title_buffer);
    std::memcpy(g_title_buffer, text.data(), text.size() < 127 ? text.size() : 127);
    g_title = g_title_buffer;
    if (screen != nullptr && screen->driver != nullptr && screen->driver->set_window_title != nullptr) {
        screen->driver->set_window_title(g_title_buffer);
    }
}

const char* window_title_text() { return g_title != nullptr ? g_title : ""; }

int screen_set_mode(const ModeInfo* row, int mode, int depth, int pages, int refresh, int flags) {
    if (pages <= 0) pages = 1;
    dismantle();
    std::free(expansion_table);
    expansion_table = nullptr;

    if (row == nullptr || is_text_mode(mode)) {
        hooks_clear();
        rt::text_console_reset(80, 50);
    } else {
        auto* s = static_cast<ScreenState*>(std::calloc(1, sizeof(ScreenState)));
        if (s == nullptr) {
            hooks_clear();
            rt::error_set(rt::ERR_ILLEGAL);
            return 1;
        }
        s->mode = mode;
        s->width = row->width;
        s->height = row->height;
        s->depth = row->depth;
        if (mode > 13 && (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32)) s->depth = depth;
        if (flags >= 0 && (flags & ScreenFlags::opengl) && s->depth < 16) s->depth = 16;
        s->default_palette = row->palette;
        s->scanline_mult = row->scanline_mult;
        s->font = row->font;
        if (s->depth == 15 || s->depth == 16) {
            s->depth = 16;
            s->colour_mask = 0xFFFF;
        } else if (s->depth == 24 || s->depth == 32) {
            s->depth = 32;
            s->colour_mask = 0xFFFFFFFF;
        } else {
            s->colour_mask = (1u << s->depth) - 1;
        }
        s->bytes_per_pixel = (s->depth + 7) / 8;
        s->page_count = pages;
        // A screen is built whole or not at all.
        bool width_ok = static_cast<uint64_t>(s->width) * static_cast<uint64_t>(s->bytes_per_pixel) <= INT32_MAX;
        if (width_ok) s->pitch = s->target_pitch = s->width * s->bytes_per_pixel;
        if (!width_ok || !allocate_buffers(s)) {
            screen_free(s);
            std::free(expansion_table);
            expansion_table = nullptr;
            hooks_clear();
            rt::error_set(rt::ERR_ILLEGAL);
            return 1;
        }
        screen = s;
        pixel_routines_select();
        builtin_data_unpack();
        if (g_title == nullptr) default_title();

        const DisplayDriver* driver = choose_driver(s, refresh, flags);
        if (driver == nullptr) {
            screen_close();
            rt::error_set(rt::ERR_ILLEGAL);
            return 1;
        }
        s->driver = driver;
        hooks_install();
        palette_set(-1, 0, 0, 0);
        s->fg_colour = s->depth == 8 ? 15 : s->colour_mask;
        s->view_w = s->width;
        s->view_h = s->height;
        s->line_ptrs_capacity = s->height;
        s->text_cols = row->text_cols;
        s->text_rows = row->text_rows;
        if (!text_cells_reset(true)) {
            screen_close();
            rt::error_set(rt::ERR_ILLEGAL);
            return 1;
        }
        if (!g_close_registered) {
            g_close_registered = true;
            rt::exit_handler_add(screen_close);
        }
    }

    if (flags != ScreenFlags::exit_close) reset_text_view();
    return 0;
}

int screen_mode(int mode, int depth, int pages, int flags, int refresh) {
    if (mode < 0 || mode > MODE_MAX) {
        rt::error_set(rt::ERR_ILLEGAL);
        return 1;
    }
    const ModeInfo* row = nullptr;
    if (mode != 0) {
        row = &kModes[mode];
        if (row->width < 0) {
            rt::error_set(rt::ERR_ILLEGAL);
            return 1;
        }
    }
    int result = screen_set_mode(row, mode, depth, pages, refresh, flags);
    if (result == 0) rt::console_column_set(0);
    return result;
}

void screen_res(int width, int height, int depth, int pages, int flags, int refresh) {
    if (width <= 0 || height <= 0 || !is_free_size_depth(depth)) {
        rt::error_set(rt::ERR_ILLEGAL);
        return;
    }
    const FontInfo* font = F8;
    ModeInfo row{width, height, depth, 1, P256, font, width / 8, height / 8};
    if (screen_set_mode(&row, -1, depth, pages, refresh, flags) == 0) rt::console_column_set(0);
}

void screen_close() {
    if (screen != nullptr) screen_set_mode(nullptr, 0, 0, 0, 0, ScreenFlags::exit_close);
}

}  // namespace gfx
