// The null driver and the ordered driver list.
#include "gfx/drivers/driver.h"

namespace gfx {
namespace {

void null_nothing() {}
void null_set_palette(int, int, int, int) {}

}  // namespace

const DisplayDriver null_driver = {
    "Null",
    nullptr,           // init: taken without opening anything
    nullptr,           // exit
    null_nothing,      // lock
    null_nothing,      // unlock
    null_set_palette,  // set_palette
    nullptr,           // wait_vsync
    nullptr,           // get_mouse
    nullptr,           // set_mouse
    nullptr,           // set_window_title
    nullptr,           // fetch_modes
    nullptr,           // flip
};

// The native build has no window system drivers.
const DisplayDriver* const default_driver_list[] = {nullptr};

const DisplayDriver* const* driver_list = default_driver_list;

}  // namespace gfx
