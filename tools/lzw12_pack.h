// The packing side of the 12-bit LZW stream that carries the built-in fonts
// and palettes: codes 0..255 are bytes, 256..4094 are defined in order (one
// after every code but the first, never reset), 4095 ends the stream; two
// codes are stored in three bytes, low bits first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tools {

constexpr uint16_t LZW12_FIRST_FREE_CODE = 256;
constexpr uint16_t LZW12_LAST_DEFINED_CODE = 4094;
constexpr uint16_t LZW12_END_CODE = 4095;

// Stores 12-bit codes two per three bytes: for codes a, b the bytes are
// a & 0xFF, (a >> 8) | (b & 0x0F) << 4, b >> 4. An odd last code takes two
// bytes, the upper half of the second one zero. Bits above 12 are dropped.
std::vector<uint8_t> lzw12_codes_to_bytes(const std::vector<uint16_t>& codes);

// Encodes `size` bytes as codes, the end code last. Fails (returns false,
// `codes` empty) for empty data: a stream always starts with a byte.
bool lzw12_encode(const uint8_t* data, size_t size, std::vector<uint16_t>* codes);

// lzw12_encode followed by lzw12_codes_to_bytes.
bool lzw12_pack(const uint8_t* data, size_t size, std::vector<uint8_t>* stream);

}  // namespace tools
