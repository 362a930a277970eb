// The null driver: a real driver that shows nothing.
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

}  // namespace gfx
