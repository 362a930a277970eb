// The graphics library's console and input operations, installed into the
// runtime's hook table while a screen is open.
#pragma once

namespace gfx {

// Fills the 25 slots of rt::hooks with the graphics operations.
void hooks_install();

// Clears all 25 slots: the runtime's text console serves again.
void hooks_clear();

}  // namespace gfx
