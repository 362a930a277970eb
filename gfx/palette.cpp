// Palette entries, per-mode default maps and the driver's device palette.
#include "gfx/palette.h"

#include "gfx/drivers/driver.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"

namespace gfx {
namespace {

bool has_256_palette() { return screen->default_palette == &palette_256(); }

uint32_t default_entry(int i) {
    const uint8_t* rgb = screen->default_palette->rgb + 3 * i;
    return rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
}

void store_and_send(int index, uint32_t colour) {
    screen->palette[index] = colour;
    screen->driver->set_palette(index, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// Modes that show a few colours of a larger default set: entry i shows
// default colour map[i].
const uint8_t* mode_map(int mode, int32_t index) {
    static const uint8_t cga[4][4] = {{0, 11, 13, 15}, {0, 10, 12, 14}, {0, 3, 5, 7}, {0, 2, 4, 6}};
    static const uint8_t mono[2] = {0, 15};
    static const uint8_t identity[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    static const uint8_t ega[16] = {0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63};
    switch (mode) {
        case 1: return cga[index <= -4 ? 3 : -index - 1];
        case 2: return mono;
        case 7:
        case 8: return identity;
        case 9: return ega;
        default: return nullptr;
    }
}

}  // namespace

void palette_entry_set(int32_t index, int32_t value) {
    if (screen == nullptr || index < 0 || index > 255) return;
    uint32_t colour;
    if (has_256_palette()) {
        uint32_t red = (value & 0x3F) * 255 / 63;
        uint32_t green = ((value >> 8) & 0x3F) * 255 / 63;
        uint32_t blue = ((value >> 16) & 0x3F) * 255 / 63;
        colour = red | (green << 8) | (blue << 16);
    } else {
        int k = value & (screen->default_palette->entry_count - 1);
        if (index < 16) screen->palette_map[index] = static_cast<uint8_t>(k);
        colour = screen->base_colours[k] & 0x00FFFFFF;
    }
    store_and_send(index, colour);
}

void palette_reset(int32_t index) {
    if (screen == nullptr || screen->default_palette == nullptr) return;
    const uint8_t* map = mode_map(screen->mode, index);
    int shown = screen->depth >= 8 ? 256 : 1 << screen->depth;
    for (int i = 0; i < screen->default_palette->entry_count; ++i) {
        screen->base_colours[i] = default_entry(i);
        if (i >= shown) continue;
        // Without a map entry i shows default colour i; recording that keeps
        // palette_map true for the modes with 2-colour defaults too.
        int source = map != nullptr ? map[i] : i;
        if (i < 16) screen->palette_map[i] = static_cast<uint8_t>(source);
        store_and_send(i, default_entry(source));
    }
}

void palette_set(int32_t index, int32_t colour, int32_t green, int32_t blue) {
    if (screen == nullptr || screen->depth > 8) return;
    ScreenLock lock;
    if (index >= 0) {
        int32_t packed = colour;
        if (green >= 0 && blue >= 0) packed = (colour >> 2) | ((green >> 2) << 8) | ((blue >> 2) << 16);
        palette_entry_set(index, packed);
    } else {
        palette_reset(index);
    }
    byte_fill(screen->dirty, 1, static_cast<size_t>(screen->height));
}

void palette_set_array(const int32_t* values) {
    if (screen == nullptr || screen->depth > 8 || values == nullptr) return;
    ScreenLock lock;
    int count = 1 << screen->depth;
    for (int i = 0; i < count; ++i) {
        if (values[i] >= 0) palette_entry_set(i, values[i]);
    }
    byte_fill(screen->dirty, 1, static_cast<size_t>(screen->height));
}

void palette_push() {
    if (screen == nullptr) return;
    for (int i = 0; i < 256; ++i) {
        uint32_t e = screen->palette[i];
        screen->driver->set_palette(i, e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0xFF);
    }
}

}  // namespace gfx
