// The BMP writer: an 8-bit file with the 256-entry palette for screens with
// 1 byte per pixel, a 24-bit file otherwise; rows bottom first, each padded
// with zero bytes to a multiple of 4.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gfx/bmp_format.h"
#include "gfx/bmp_row_converters.h"
#include "gfx/image.h"
#include "gfx/image_save.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

constexpr uint32_t PELS_PER_METER = 2834;  // 72 dots per inch
constexpr uint32_t PALETTE_ENTRIES = 256;
constexpr uint64_t WRITE_BLOCK = 1u << 20;  // bytes of rows written at once

}  // namespace

int32_t bmp_save(std::FILE* file, ImageHeader* source) {
    ScreenState* s = screen;
    if (s == nullptr) return 1;
    uint32_t bytes_per_pixel = static_cast<uint32_t>(s->bytes_per_pixel);

    uint64_t width, height;
    const uint8_t* pixels;
    uint64_t pitch;
    if (source != nullptr) {
        // The rows are read in the screen's pixel size; an image made for
        // another one has fewer bytes than that.
        uint32_t bpp = image_bpp(source);
        if (bpp != 0 && bpp != bytes_per_pixel) return 1;
        width = image_width(source);
        height = image_height(source);
        pixels = image_pixels(source);
        pitch = width * bytes_per_pixel;
    } else {
        width = static_cast<uint64_t>(s->width);
        height = static_cast<uint64_t>(s->height);
        pixels = s->pages[s->work_page];
        pitch = static_cast<uint64_t>(s->pitch);
    }

    bool paletted = bytes_per_pixel == 1;
    RowEncoder encode = bmp_row_encoder(s->bytes_per_pixel);
    if (encode == nullptr) return 1;
    uint64_t row_bytes = bmp_row_padded(paletted ? width : 3 * width);
    uint32_t pixel_offset = static_cast<uint32_t>(BMP_HEADER_SIZE + (paletted ? 4 * PALETTE_ENTRIES : 0));
    uint64_t image_size = row_bytes * height;
    if (pixel_offset + image_size > UINT32_MAX) return 3;  // no size field could hold it

    uint8_t head[BMP_HEADER_SIZE] = {};
    le16_put(head + bmp_field::type, BMP_SIGNATURE);
    le32_put(head + bmp_field::file_size, static_cast<uint32_t>(pixel_offset + image_size));
    le32_put(head + bmp_field::pixel_offset, pixel_offset);
    le32_put(head + bmp_field::info_size, BMP_INFO_SIZE);
    le32_put(head + bmp_field::width, static_cast<uint32_t>(width));
    le32_put(head + bmp_field::height, static_cast<uint32_t>(height));
    le16_put(head + bmp_field::planes, 1);
    le16_put(head + bmp_field::bit_count, paletted ? 8 : 24);
    le32_put(head + bmp_field::compression, BMP_RGB);
    le32_put(head + bmp_field::image_size, static_cast<uint32_t>(image_size));
    le32_put(head + bmp_field::x_pels_per_meter, PELS_PER_METER);
    le32_put(head + bmp_field::y_pels_per_meter, PELS_PER_METER);
    le32_put(head + bmp_field::colours_used, paletted ? PALETTE_ENTRIES : 0);
    le32_put(head + bmp_field::colours_important, paletted ? PALETTE_ENTRIES : 0);
    if (std::fwrite(head, 1, sizeof head, file) != sizeof head) return 3;

    if (paletted) {
        // Blue, green, red, 0 from the palette's 0x00BBGGRR entries.
        uint8_t entries[4 * PALETTE_ENTRIES];
        for (uint32_t i = 0; i < PALETTE_ENTRIES; ++i) {
            uint32_t e = s->palette[i];
            entries[4 * i] = static_cast<uint8_t>(e >> 16);
            entries[4 * i + 1] = static_cast<uint8_t>(e >> 8);
            entries[4 * i + 2] = static_cast<uint8_t>(e);
            entries[4 * i + 3] = 0;
        }
        if (std::fwrite(entries, 1, sizeof entries, file) != sizeof entries) return 3;
    }

    // Rows are encoded into a block of several and written together; the
    // padding bytes after each row's pixels are never written, so stay 0.
    // Three spare bytes follow the block.
    uint64_t block_rows = row_bytes == 0 ? 1 : std::max<uint64_t>(1, std::min<uint64_t>(height, WRITE_BLOCK / row_bytes));
    auto* block = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(block_rows * row_bytes) + 3, 1));
    if (block == nullptr) return 3;
    int32_t result = 0;
    uint64_t y = height;  // rows height - 1 down to 0, bottom row first
    while (y > 0 && result == 0) {
        uint64_t n = std::min(block_rows, y);
        for (uint64_t k = 0; k < n; ++k) {
            --y;
            encode(pixels + static_cast<size_t>(y * pitch), block + static_cast<size_t>(k * row_bytes), static_cast<size_t>(width));
        }
        size_t bytes = static_cast<size_t>(n * row_bytes);
        if (std::fwrite(block, 1, bytes, file) != bytes) result = 3;
    }
    std::free(block);
    return result;
}

}  // namespace gfx
