// Screen modes and screen opening: numbered modes, free-size screens,
// closing, and the window title.
#pragma once

#include <cstdint>
#include <string>

namespace gfx {

struct FontInfo;
struct PaletteInfo;

// A row of the mode table, and the description of a free-size screen.
struct ModeInfo {
    int width;  // negative: the mode number is not available
    int height;
    int depth;
    int scanline_mult;
    const PaletteInfo* palette;
    const FontInfo* font;
    int text_cols;
    int text_rows;
};

constexpr int MODE_MAX = 21;

// The built-in mode row for modes 1..21 (null outside).
const ModeInfo* mode_row(int mode);

// Sets numbered mode 0..21 (0 returns to the text console). Returns 0, or 1
// with runtime error 1 for an invalid or unavailable mode or when no
// driver could be started. `depth` matters only for modes 14 to 21.
int screen_mode(int mode, int depth, int pages, int flags, int refresh);

// Opens a free-size screen of depth 8, 15, 16, 24 or 32. Failure sets
// runtime error 1; bad arguments leave an open screen untouched.
void screen_res(int width, int height, int depth, int pages, int flags, int refresh);

// The common core of both, and of screen_close (row null: a text mode).
int screen_set_mode(const ModeInfo* row, int mode, int depth, int pages, int refresh, int flags);

// Closes an open screen (the exit handler registered at the first opening).
void screen_close();

// Sets the window title (at most 127 characters), now and for later
// openings.
void window_title(const std::string& text);

// The title the next opening hands to its driver (empty while none set).
const char* window_title_text();

}  // namespace gfx
