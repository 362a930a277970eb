// The open graphics screen: ScreenState, its text cells and the screen lock
// idiom by which every operation shares the framebuffer with the display
// thread of the driver.
#pragma once

#include <cstdint>

namespace gfx {

struct DisplayDriver;
struct FontInfo;
struct ImageHeader;
struct PaletteInfo;

// One cell of a page's text grid: the character and the colours (native pixel
// values) it was last written with.
struct TextCell {
    uint32_t character;
    uint32_t foreground;
    uint32_t background;
};
static_assert(sizeof(TextCell) == 12, "TextCell is three 32-bit words");

// The one record of the open graphics screen. Allocated zero-filled by screen
// opening and freed by the next opening or by closing.
struct ScreenState {
    // State bits of `flags`.
    enum Flag : uint32_t {
        window_mapping = 0x01,       // window coordinates in force (never set here)
        window_screen = 0x02,        // window coordinates without the y flip (never set)
        view_screen = 0x04,          // coordinates not offset by view_x, view_y
        target_is_image = 0x08,      // the drawing target is an image
        locked = 0x10,               // the framebuffer lock is held
        lock_owned = 0x20,           // the running operation took the lock
        text_scroll_pending = 0x40,  // the next print scrolls first
        view_active = 0x80,          // a viewport narrower than the screen is in force
        has_mmx = 0x1000000,         // the processor has MMX
    };

    int mode;                  // 1..21, or -1 for a free-size screen
    uint8_t** pages;           // page_count buffers of height * pitch bytes
    int page_count;
    int work_page;             // index of the page that screen drawing goes to
    uint8_t* visible_page;     // the page buffer the driver displays
    uint8_t** line_ptrs;       // start of each line of the drawing target
    int pitch;                 // bytes per screen line: width * bytes_per_pixel
    int target_pitch;          // bytes per line of the drawing target
    ImageHeader* target;       // drawing target image; null means the screen
    int line_ptrs_capacity;    // entries allocated in line_ptrs
    int bytes_per_pixel;       // 1, 2 or 4
    uint32_t* base_colours;    // 256 entries 0x00BBGGRR: the mode's default colours
    uint32_t* palette;         // 256 entries 0x00BBGGRR: the active palette
    uint8_t* palette_map;      // 16 entries: default-palette index per active entry
    uint8_t* dirty;            // height * scanline_mult flags, one per framebuffer line
    const DisplayDriver* driver;
    int width;
    int height;
    int depth;                 // 1, 2, 4, 8, 16 or 32
    uint32_t colour_mask;
    const PaletteInfo* default_palette;
    int scanline_mult;         // display lines per framebuffer line: 1 or 2
    uint32_t fg_colour;        // native pixel values
    uint32_t bg_colour;
    float last_x;              // last graphics point, caller coordinates
    float last_y;
    int cursor_x;              // text cursor, 0-based
    int cursor_y;
    const FontInfo* font;
    int view_x;                // clipping rectangle of the drawing target
    int view_y;
    int view_w;
    int view_h;
    float window_x1, window_y1, window_x2, window_y2;
    int text_cols;
    int text_rows;
    uint8_t* key_state;        // 128 flags, nonzero while the scancode's key is down
    int refresh_rate;          // hertz, written by the driver
    uint32_t flags;
    TextCell** text_cells;     // per page, text_cols * text_rows cells
};

// The open screen, or null.
extern ScreenState* screen;

// Releases the per-page cell buffers; with `allocate`, creates new zeroed ones
// for page_count, text_cols and text_rows and fills every cell of the work
// page with (32, fg_colour, bg_colour). Returns false when an allocation
// failed (the buffers are then all released).
bool text_cells_reset(bool allocate);

// Sets the cells of `page` in columns [first_col, end_col) and rows
// [first_row, end_row) to (character, foreground, background).
void text_cells_fill(int first_col, int first_row, int end_col, int end_row, int page,
                     uint32_t character, uint32_t foreground, uint32_t background);

// The screen lock idiom. Construction takes the driver's lock when neither
// `locked` nor `lock_owned` is set, and sets both; the guard that took the
// lock releases it (clearing both bits) when it ends or on release(). A guard
// nested inside another finds the bits set and takes nothing, so the lock is
// held by the outermost user for as long as it runs. Does nothing while no
// screen is open.
class ScreenLock {
public:
    ScreenLock();
    ~ScreenLock();
    ScreenLock(const ScreenLock&) = delete;
    ScreenLock& operator=(const ScreenLock&) = delete;
    void release();

private:
    ScreenState* taken_ = nullptr;  // the screen whose lock this guard took
};

// Sets `count` bytes of dirty from `first` to 1 (the lines changed).
void dirty_mark(int first, int count);

}  // namespace gfx
