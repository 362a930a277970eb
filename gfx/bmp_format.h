// The fixed layout of the BMP files this library reads and writes: the
// 14-byte file header followed by the 40-byte information header, every
// field little-endian, read and written byte by byte so that the layout
// never depends on the compiler's structure packing or the host's byte order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {

constexpr uint16_t BMP_SIGNATURE = 0x4D42;  // "BM"
constexpr uint32_t BMP_INFO_SIZE = 40;
constexpr size_t BMP_HEADER_SIZE = 54;      // file header + information header
constexpr uint32_t BMP_RGB = 0;             // biCompression: uncompressed rows
constexpr uint32_t BMP_BITFIELDS = 3;       // biCompression: rows described by three masks

// Byte offsets of the fields inside the 54 header bytes.
namespace bmp_field {
constexpr size_t type = 0;
constexpr size_t file_size = 2;
constexpr size_t reserved = 6;
constexpr size_t pixel_offset = 10;
constexpr size_t info_size = 14;
constexpr size_t width = 18;
constexpr size_t height = 22;
constexpr size_t planes = 26;
constexpr size_t bit_count = 28;
constexpr size_t compression = 30;
constexpr size_t image_size = 34;
constexpr size_t x_pels_per_meter = 38;
constexpr size_t y_pels_per_meter = 42;
constexpr size_t colours_used = 46;
constexpr size_t colours_important = 50;
}  // namespace bmp_field

inline uint16_t le16_get(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t le32_get(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline void le16_put(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void le32_put(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// A row length rounded up to the 4-byte multiple BMP rows are stored in.
constexpr uint64_t bmp_row_padded(uint64_t bytes) { return (bytes + 3) & ~static_cast<uint64_t>(3); }

}  // namespace gfx
