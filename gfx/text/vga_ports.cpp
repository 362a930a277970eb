// The VGA palette and input status ports on the screen's palette and the
// display driver.
#include "gfx/text/vga_ports.h"

#include <type_traits>

#include "app/runtime_hooks.h"
#include "gfx/drivers/driver.h"
#include "gfx/palette.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "gfx/text/builtin_data.h"

namespace gfx {

int32_t dac_index = 0;
int32_t dac_shift = 2;
uint32_t dac_value = 0;

namespace {

static_assert(std::is_same_v<decltype(&port_in), decltype(rt::RuntimeHooks::hook_port_in)>);
static_assert(std::is_same_v<decltype(&port_out), decltype(rt::RuntimeHooks::hook_port_out)>);

constexpr int SHIFT_RED = 2;
constexpr int SHIFT_BLUE = 18;
constexpr int SHIFT_STEP = 8;
constexpr int COMPONENT_MASK = 63;
constexpr int PALETTE_MAP_ENTRIES = 16;

// The screen whose palette the ports work on: open, with a palette (8 bits
// or less) and a default palette to size the entry index by. Null otherwise.
ScreenState* palette_screen() {
    ScreenState* s = screen;
    if (s == nullptr || s->depth > 8 || s->default_palette == nullptr || s->default_palette->entry_count <= 0) {
        return nullptr;
    }
    return s;
}

// Entry indices wrap at the default palette's size (a power of two).
int32_t index_mask(const ScreenState* s) { return s->default_palette->entry_count - 1; }

// Gives the entry the assembled colour. With the 256-entry default palette
// the entry is set through palette_set from the 6-bit components. With the
// smaller ones the colour replaces default colour dac_index, and every
// active entry showing that default colour takes it too.
void colour_apply(ScreenState* s, int32_t index) {
    if (s->default_palette == &palette_256()) {
        palette_set(index, static_cast<int32_t>((dac_value >> SHIFT_RED) & 0x3F3F3F), -1, -1);
        return;
    }
    ScreenLock lock;
    const uint32_t colour = dac_value;
    s->base_colours[index] = colour;
    int shown = 1 << s->depth;
    if (shown > PALETTE_MAP_ENTRIES) shown = PALETTE_MAP_ENTRIES;
    for (int i = 0; i < shown; ++i) {
        if (s->palette_map[i] != index) continue;
        s->palette[i] = colour;
        s->driver->set_palette(i, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    }
    byte_fill(s->dirty, 1, static_cast<size_t>(s->height));
}

}  // namespace

int port_in(int port) {
    ScreenState* s = screen;
    if (s == nullptr) return -1;
    switch (port & 0xFFFF) {
        case PORT_INPUT_STATUS:
            if (s->driver != nullptr && s->driver->wait_vsync != nullptr) s->driver->wait_vsync();
            return PORT_RETRACE_BIT;
        case PORT_DAC_DATA: {
            s = palette_screen();
            if (s == nullptr) return -1;
            const int32_t mask = index_mask(s);
            // The index may come from a screen with a larger palette.
            const int value = static_cast<int>((s->palette[dac_index & mask] >> dac_shift) & COMPONENT_MASK);
            dac_shift += SHIFT_STEP;
            if (dac_shift > SHIFT_BLUE) {
                dac_shift = SHIFT_RED;
                dac_index = (dac_index + 1) & mask;
            }
            return value;
        }
        default:
            return -1;
    }
}

int port_out(int port, int value) {
    ScreenState* s = palette_screen();
    if (s == nullptr) return -1;
    const int32_t mask = index_mask(s);
    switch (port & 0xFFFF) {
        case PORT_DAC_READ_INDEX:
        case PORT_DAC_WRITE_INDEX:
            dac_index = (value & 0xFF) & mask;
            dac_value = 0;
            dac_shift = SHIFT_RED;
            return 0;
        case PORT_DAC_DATA:
            dac_value |= static_cast<uint32_t>(value & COMPONENT_MASK) << dac_shift;
            dac_shift += SHIFT_STEP;
            if (dac_shift > SHIFT_BLUE) {
                dac_index &= mask;  // the index may come from a screen with a larger palette
                colour_apply(s, dac_index);
                dac_value = 0;
                dac_shift = SHIFT_RED;
                dac_index = (dac_index + 1) & mask;
            }
            return 0;
        default:
            return -1;
    }
}

}  // namespace gfx
