// The row converter family: one template over a file-row source and a
// native-pixel target, instantiated for every supported pair.
#include "gfx/bmp_row_converters.h"

#include <cstring>

namespace gfx {
namespace {

// ---- Sources: one pixel of a file row as a value the target packs ---------

// A palette index: the lookup table gives the native pixel (1-byte targets)
// or the colour 0x00RRGGBB.
struct IndexSource {
    static constexpr size_t bytes = 1;
    static uint32_t load(const uint8_t* p, const uint32_t* lut) { return lut[p[0]]; }
};

// Blue, green, red: 0x00RRGGBB.
struct Bgr24Source {
    static constexpr size_t bytes = 3;
    static uint32_t load(const uint8_t* p, const uint32_t*) {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
};

// Blue, green, red, fourth byte: 0xTTRRGGBB with the fourth byte on top.
struct Bgra32Source {
    static constexpr size_t bytes = 4;
    static uint32_t load(const uint8_t* p, const uint32_t*) {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
               (static_cast<uint32_t>(p[3]) << 24);
    }
};

// Blue, green, red and an unused byte: 0x00RRGGBB.
struct Bgrx32Source {
    static constexpr size_t bytes = 4;
    static uint32_t load(const uint8_t* p, const uint32_t* lut) { return Bgr24Source::load(p, lut); }
};

// ---- Targets: native pixels -------------------------------------------------

struct Index8Target {
    using Pixel = uint8_t;
    static Pixel pack(uint32_t v) { return static_cast<Pixel>(v); }
};

struct Rgb565Target {
    using Pixel = uint16_t;
    static Pixel pack(uint32_t v) {
        uint32_t red = (v >> 16) & 0xFF, green = (v >> 8) & 0xFF, blue = v & 0xFF;
        return static_cast<Pixel>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
    }
};

struct Xrgb32Target {
    using Pixel = uint32_t;
    static Pixel pack(uint32_t v) { return v; }
};

template <class Source, class Target>
void convert_row(const uint8_t* row, uint8_t* destination, size_t count, const uint32_t* lut) {
    using Pixel = typename Target::Pixel;
    for (size_t i = 0; i < count; ++i) {
        Pixel pixel = Target::pack(Source::load(row + i * Source::bytes, lut));
        std::memcpy(destination + i * sizeof(Pixel), &pixel, sizeof(Pixel));
    }
}

// ---- Unpacking 1- and 4-bit rows ------------------------------------------

template <unsigned Bits>
void unpack_row(const uint8_t* packed, uint8_t* indices, size_t count) {
    constexpr unsigned per_byte = 8 / Bits;
    constexpr unsigned mask = (1u << Bits) - 1;
    size_t whole = count / per_byte;
    for (size_t b = 0; b < whole; ++b) {
        unsigned byte = packed[b];
        for (unsigned k = 0; k < per_byte; ++k) indices[b * per_byte + k] = static_cast<uint8_t>((byte >> (8 - Bits * (k + 1))) & mask);
    }
    size_t rest = count - whole * per_byte;
    if (rest != 0) {
        unsigned byte = packed[whole];
        for (unsigned k = 0; k < rest; ++k) indices[whole * per_byte + k] = static_cast<uint8_t>((byte >> (8 - Bits * (k + 1))) & mask);
    }
}

// ---- Encoding native pixels into file rows -----------------------------

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put_le32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

struct Rgb565Pixels {
    static constexpr size_t bytes = 2;
    static uint32_t colour(const uint8_t* p) {
        uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
        uint32_t r5 = v >> 11, g6 = (v >> 5) & 0x3F, b5 = v & 0x1F;
        uint32_t red = (r5 << 3) | (r5 >> 2), green = (g6 << 2) | (g6 >> 4), blue = (b5 << 3) | (b5 >> 2);
        return (red << 16) | (green << 8) | blue;
    }
};

struct Xrgb32Pixels {
    static constexpr size_t bytes = 4;
    static uint32_t colour(const uint8_t* p) {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
};

template <class Pixels>
void encode_bgr24(const uint8_t* pixels, uint8_t* row, size_t count) {
    size_t i = 0;
    if constexpr (Pixels::bytes == 4) {
        // Four pixels at a time: their low three bytes make three words.
        for (; i + 4 <= count; i += 4) {
            const uint8_t* p = pixels + i * 4;
            uint32_t a = le32(p), b = le32(p + 4), c = le32(p + 8), d = le32(p + 12);
            uint8_t* out = row + 3 * i;
            put_le32(out, (a & 0x00FFFFFF) | (b << 24));
            put_le32(out + 4, ((b >> 8) & 0xFFFF) | (c << 16));
            put_le32(out + 8, ((c >> 16) & 0xFF) | (d << 8));
        }
    }
    for (; i < count; ++i) {
        uint32_t c = Pixels::colour(pixels + i * Pixels::bytes);
        row[3 * i] = static_cast<uint8_t>(c);
        row[3 * i + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * i + 2] = static_cast<uint8_t>(c >> 16);
    }
}

void encode_index8(const uint8_t* pixels, uint8_t* row, size_t count) { std::memcpy(row, pixels, count); }

// Rows: by BmpRowFormat. Columns: 1, 2, 4 bytes per pixel.
constexpr RowConverter kConverters[4][3] = {
    {convert_row<IndexSource, Index8Target>, convert_row<IndexSource, Rgb565Target>,
     convert_row<IndexSource, Xrgb32Target>},
    {nullptr, convert_row<Bgr24Source, Rgb565Target>, convert_row<Bgr24Source, Xrgb32Target>},
    {nullptr, convert_row<Bgra32Source, Rgb565Target>, convert_row<Bgra32Source, Xrgb32Target>},
    {nullptr, convert_row<Bgrx32Source, Rgb565Target>, convert_row<Bgrx32Source, Xrgb32Target>},
};

int pixel_column(int bytes_per_pixel) {
    switch (bytes_per_pixel) {
        case 1: return 0;
        case 2: return 1;
        case 4: return 2;
        default: return -1;
    }
}

}  // namespace

RowConverter bmp_row_converter(BmpRowFormat format, int bytes_per_pixel) {
    int column = pixel_column(bytes_per_pixel);
    int row = static_cast<int>(format);
    if (row < 0 || row > 3 || column < 0) return nullptr;
    return kConverters[row][column];
}

RowUnpacker bmp_row_unpacker(int bits) {
    switch (bits) {
        case 1: return unpack_row<1>;
        case 4: return unpack_row<4>;
        default: return nullptr;
    }
}

RowEncoder bmp_row_encoder(int bytes_per_pixel) {
    switch (bytes_per_pixel) {
        case 1: return encode_index8;
        case 2: return encode_bgr24<Rgb565Pixels>;
        case 4: return encode_bgr24<Xrgb32Pixels>;
        default: return nullptr;
    }
}

}  // namespace gfx
