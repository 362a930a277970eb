// The drivers screen opening tries, in this order.
#include "gfx/drivers/driver.h"

namespace gfx {

#ifdef _WIN32
const DisplayDriver* const default_driver_list[] = {&gdi_driver, nullptr};
#else
// Without a window system there is nothing to try: screen opening fails
// unless the null driver is asked for.
const DisplayDriver* const default_driver_list[] = {nullptr};
#endif

const DisplayDriver* const* driver_list = default_driver_list;

}  // namespace gfx
