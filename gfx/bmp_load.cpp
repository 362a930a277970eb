// The BMP reader: checks the headers, loads the palette into the screen's
// palette, then converts the rows, bottom row first, into the destination
// image or the top left corner of the work page.
#include <algorithm>
#include <cstdlib>

#include "gfx/bmp_format.h"
#include "gfx/bmp_row_converters.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/palette.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

constexpr int32_t OK = 0;
constexpr int32_t ILLEGAL = 1;
constexpr int32_t BAD_FILE = 3;

// Working storage for one row may not exceed this; wider files are refused
// before anything is allocated.
constexpr uint64_t ROW_STORAGE_LIMIT = 64u << 20;

// The only bit-field layout read: red, green, blue masks of a 32-bit pixel
// laid out like the uncompressed 32-bit rows, whose fourth byte the masks
// leave out (so it is no part of the colour).
constexpr uint32_t RED_MASK = 0x00FF0000, GREEN_MASK = 0x0000FF00, BLUE_MASK = 0x000000FF;

bool supported_bits(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

// Reads `count` palette entries (blue, green, red, one ignored byte each)
// and keeps the first 256 as 0x00BBGGRR in `table`; the others are read and
// dropped, so that the rows after them are reached. False when the file
// ends first.
bool read_palette(std::FILE* file, uint64_t count, uint32_t* table) {
    uint8_t bytes[256 * 4];
    size_t kept = static_cast<size_t>(std::min<uint64_t>(count, 256));
    if (std::fread(bytes, 4, kept, file) != kept) return false;
    for (size_t i = 0; i < kept; ++i) {
        const uint8_t* e = bytes + 4 * i;
        table[i] = static_cast<uint32_t>(e[2]) | (static_cast<uint32_t>(e[1]) << 8) | (static_cast<uint32_t>(e[0]) << 16);
    }
    uint64_t skip = (count - kept) * 4;
    while (skip > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(skip, sizeof bytes));
        if (std::fread(bytes, 1, n, file) != n) return false;
        skip -= n;
    }
    return true;
}

bool read_masks(std::FILE* file) {
    uint8_t m[12];
    if (std::fread(m, 1, sizeof m, file) != sizeof m) return false;
    return le32_get(m) == RED_MASK && le32_get(m + 4) == GREEN_MASK && le32_get(m + 8) == BLUE_MASK;
}

}  // namespace

int32_t bmp_load(std::FILE* file, ImageHeader* destination) {
    ScreenState* s = screen;
    if (s == nullptr) return ILLEGAL;

    uint8_t head[BMP_HEADER_SIZE];
    if (std::fseek(file, 0, SEEK_SET) != 0) return BAD_FILE;
    if (std::fread(head, 1, sizeof head, file) != sizeof head) return BAD_FILE;
    if (le16_get(head + bmp_field::type) != BMP_SIGNATURE || le32_get(head + bmp_field::info_size) != BMP_INFO_SIZE) {
        return BAD_FILE;
    }
    uint32_t pixel_offset = le32_get(head + bmp_field::pixel_offset);
    int32_t width = static_cast<int32_t>(le32_get(head + bmp_field::width));
    int32_t height = static_cast<int32_t>(le32_get(head + bmp_field::height));
    uint32_t bits = le16_get(head + bmp_field::bit_count);
    uint32_t compression = le32_get(head + bmp_field::compression);

    if (bits == 15 || bits == 16) return ILLEGAL;
    if (!supported_bits(bits)) return BAD_FILE;
    // Compressed rows cannot be read as plain ones; bit fields only in the
    // one 32-bit layout that matches the plain rows.
    bool bit_fields = compression == BMP_BITFIELDS;
    if (compression != BMP_RGB && !(bit_fields && bits == 32)) return BAD_FILE;
    // Top-down rows (negative height) and negative widths are not read.
    if (width < 0 || height < 0) return BAD_FILE;

    // Row storage: the stored row for 8, 24 and 32 bits; for 1 and 4 bits
    // the stored (packed) row plus one index byte per pixel.
    uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    uint64_t file_pixel_bytes = bits <= 8 ? 1 : bits / 8;
    uint64_t row_bytes = bmp_row_padded(w * file_pixel_bytes);
    uint64_t packed_data = bits == 1 ? (w + 7) / 8 : (w + 1) / 2;
    uint64_t stored_bytes = bits < 8 ? bmp_row_padded(packed_data) : row_bytes;
    uint64_t storage = row_bytes + (bits < 8 ? stored_bytes : 0);
    if (storage > ROW_STORAGE_LIMIT) return BAD_FILE;

    uint64_t bytes_per_pixel = static_cast<uint64_t>(s->bytes_per_pixel);
    if (destination != nullptr) {
        // The image must hold the whole picture in the bytes it has now.
        if (w > IMAGE_MAX_WIDTH || h > IMAGE_MAX_HEIGHT) return BAD_FILE;
        if (4 + w * h * bytes_per_pixel > image_buffer_bytes(destination)) return BAD_FILE;
    }

    // Bit fields: three masks right after the information header, then any
    // palette entries up to the pixel rows.
    uint64_t palette_start = BMP_HEADER_SIZE;
    if (bit_fields) {
        if (!read_masks(file)) return BAD_FILE;
        palette_start += 12;
    }
    uint64_t entries = pixel_offset > palette_start ? (pixel_offset - palette_start) / 4 : 0;
    uint32_t table[256];
    if (!read_palette(file, entries, table)) return BAD_FILE;
    size_t kept = static_cast<size_t>(std::min<uint64_t>(entries, 256));

    if (destination != nullptr) {
        image_header_set(destination, static_cast<uint32_t>(bytes_per_pixel), static_cast<uint32_t>(w),
                         static_cast<uint32_t>(h));
    }
    BmpRowFormat format = bits <= 8    ? BmpRowFormat::index
                          : bits == 24 ? BmpRowFormat::bgr24
                          : bit_fields ? BmpRowFormat::bgrx32
                                       : BmpRowFormat::bgra32;
    RowConverter convert = bmp_row_converter(format, s->bytes_per_pixel);
    if (convert == nullptr) return ILLEGAL;  // true colour on a palette screen

    ScreenLock lock;
    std::copy(table, table + kept, s->palette);
    palette_push();
    // What each palette index becomes: the index itself on palette screens,
    // else the colour of the screen's palette entry (just loaded from the file).
    uint32_t lut[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t e = s->palette[i];
        lut[i] = bytes_per_pixel == 1 ? (i & s->colour_mask)
                                      : ((e & 0xFF) << 16) | (e & 0xFF00) | ((e >> 16) & 0xFF);
    }

    int32_t result = OK;
    uint8_t* storage_block = w > 0 && h > 0 ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(storage))) : nullptr;
    if (w > 0 && h > 0 && storage_block == nullptr) result = BAD_FILE;
    if (storage_block != nullptr) {
        uint8_t* row = storage_block;
        uint8_t* stored = bits < 8 ? storage_block + row_bytes : storage_block;
        RowUnpacker unpack = bmp_row_unpacker(static_cast<int>(bits));
        uint8_t* page = s->pages[s->work_page];
        size_t count = static_cast<size_t>(w);
        size_t screen_count = std::min<size_t>(count, static_cast<size_t>(s->width));
        size_t image_pitch = count * static_cast<size_t>(bytes_per_pixel);
        for (int64_t y = static_cast<int64_t>(h) - 1; y >= 0; --y) {
            size_t got = std::fread(stored, 1, static_cast<size_t>(stored_bytes), file);
            if (bits < 8) {
                // Missing padding after the last data byte is no error.
                if (got < packed_data) {
                    result = BAD_FILE;
                    break;
                }
                unpack(stored, row, count);
            } else if (got < stored_bytes) {
                result = BAD_FILE;
                break;
            }
            if (destination != nullptr) {
                convert(row, image_pixels(destination) + static_cast<size_t>(y) * image_pitch, count, lut);
            } else if (y < s->height) {
                convert(row, page + static_cast<size_t>(y) * static_cast<size_t>(s->pitch), screen_count, lut);
            }
        }
        std::free(storage_block);
    }
    if (s->pages[s->work_page] == s->visible_page) dirty_mark(0, s->height);
    return result;
}

}  // namespace gfx
