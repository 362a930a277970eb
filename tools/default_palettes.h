// The four default palettes of the built-in data, built as red, green, blue
// byte triplets (0..255).
#pragma once

#include <cstdint>

namespace tools {

// Black and white: 6 bytes.
void palette2_build(uint8_t* rgb);
// The 16 CGA colours: 48 bytes.
void palette16_build(uint8_t* rgb);
// The 64 EGA colours: 192 bytes.
void palette64_build(uint8_t* rgb);
// The VGA default 256-colour set: 768 bytes.
void palette256_build(uint8_t* rgb);

}  // namespace tools
