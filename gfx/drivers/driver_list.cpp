// The drivers screen opening tries, in this order.
#include "gfx/drivers/driver.h"

namespace gfx {

#ifdef _WIN32
// DirectDraw first; GDI where DirectDraw cannot open; OpenGL only for
// screens that ask for it (the other two refuse those).
const DisplayDriver* const default_driver_list[] = {&directx_driver, &gdi_driver, &opengl_driver, nullptr};
#else
// Without a window system there is nothing to try: screen opening fails
// unless the null driver is asked for.
const DisplayDriver* const default_driver_list[] = {nullptr};
#endif

const DisplayDriver* const* driver_list = default_driver_list;

}  // namespace gfx
