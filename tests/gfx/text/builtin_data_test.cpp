// The built-in fonts and palettes as unpacked from the generated stream, and
// the 12-bit LZW unpacker against hand-made streams and the packer's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "gfx/text/builtin_data.h"
#include "tools/lzw12_pack.h"

namespace {

using tools::LZW12_END_CODE;

std::vector<uint8_t> bytes_of(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Reads a stream's 12-bit codes independently of both sides of the packing.
std::vector<uint16_t> codes_of(const uint8_t* stream, size_t length) {
    std::vector<uint16_t> codes;
    for (size_t i = 0; i + 1 < length; i += 3) {
        codes.push_back(static_cast<uint16_t>(stream[i] | ((stream[i + 1] & 0x0F) << 8)));
        if (i + 2 < length) {
            codes.push_back(static_cast<uint16_t>((stream[i + 1] >> 4) | (stream[i + 2] << 4)));
        }
    }
    return codes;
}

struct Unpacked {
    int result;
    std::vector<uint8_t> out;  // the bytes the call reported as written
};

// Unpacks into a heap area of exactly `capacity` bytes, so that a write past
// the capacity reaches memory the sanitizer watches; the stream too lies in
// an area of exactly its length.
Unpacked unpack(const std::vector<uint8_t>& stream, size_t capacity) {
    std::vector<uint8_t> input(stream);
    std::vector<uint8_t> area(capacity, 0xEE);
    size_t size = capacity;
    int result = gfx::lzw12_unpack(input.empty() ? nullptr : input.data(), input.size(),
                                   area.empty() ? nullptr : area.data(), &size);
    EXPECT_LE(size, capacity);
    area.resize(std::min(size, capacity));
    return {result, area};
}

Unpacked unpack_codes(const std::vector<uint16_t>& codes, size_t capacity) {
    return unpack(tools::lzw12_codes_to_bytes(codes), capacity);
}

std::vector<uint8_t> packed(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> stream;
    EXPECT_TRUE(tools::lzw12_pack(data.data(), data.size(), &stream));
    return stream;
}

// ---- The built-in stream and the block -----------------------------------

TEST(BuiltinStream, UnpacksToTheWholeBlockAndEndsWithTheEndCode) {
    std::vector<uint8_t> stream(gfx::builtin_packed, gfx::builtin_packed + gfx::builtin_packed_size);
    // Exactly the block's size fits, as the one-time unpacking passes it.
    Unpacked exact = unpack(stream, gfx::BUILTIN_BLOCK_SIZE);
    EXPECT_EQ(exact.result, 0);
    ASSERT_EQ(exact.out.size(), gfx::BUILTIN_BLOCK_SIZE);
    // More room changes nothing: the end code stops it.
    Unpacked roomy = unpack(stream, gfx::BUILTIN_BLOCK_SIZE + 100);
    EXPECT_EQ(roomy.result, 0);
    EXPECT_EQ(roomy.out, exact.out);

    gfx::builtin_data_unpack();
    EXPECT_EQ(std::memcmp(gfx::builtin_block(), exact.out.data(), gfx::BUILTIN_BLOCK_SIZE), 0);

    // The end code is the stream's last code and its only one, and no byte
    // follows the one that holds it.
    std::vector<uint16_t> codes = codes_of(stream.data(), stream.size());
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), LZW12_END_CODE);
    for (size_t i = 0; i + 1 < codes.size(); ++i) {
        ASSERT_NE(codes[i], LZW12_END_CODE) << "code " << i;
    }
    EXPECT_EQ(stream.size(), codes.size() / 2 * 3 + (codes.size() % 2 ? 2 : 0));
}

TEST(BuiltinBlock, DescriptorsPointIntoTheBlock) {
    const uint8_t* block = gfx::builtin_block();
    struct FontCase {
        const gfx::FontInfo& font;
        int height;
        size_t offset;
    };
    const FontCase fonts[] = {
        {gfx::builtin_fonts[0], 16, gfx::BUILTIN_FONT16_OFFSET},
        {gfx::builtin_fonts[1], 14, gfx::BUILTIN_FONT14_OFFSET},
        {gfx::builtin_fonts[2], 8, gfx::BUILTIN_FONT8_OFFSET},
    };
    for (const FontCase& c : fonts) {
        EXPECT_EQ(c.font.width, 8);
        EXPECT_EQ(c.font.height, c.height);
        EXPECT_EQ(c.font.glyphs, block + c.offset) << "font 8x" << c.height;
    }
    EXPECT_EQ(&gfx::font_8x16(), &gfx::builtin_fonts[0]);
    EXPECT_EQ(&gfx::font_8x8(), &gfx::builtin_fonts[2]);

    struct PaletteCase {
        const gfx::PaletteInfo& palette;
        int entries;
        size_t offset;
    };
    const PaletteCase palettes[] = {
        {gfx::builtin_palettes[0], 256, gfx::BUILTIN_PALETTE256_OFFSET},
        {gfx::builtin_palettes[1], 64, gfx::BUILTIN_PALETTE64_OFFSET},
        {gfx::builtin_palettes[2], 16, gfx::BUILTIN_PALETTE16_OFFSET},
        {gfx::builtin_palettes[3], 2, gfx::BUILTIN_PALETTE2_OFFSET},
    };
    for (const PaletteCase& c : palettes) {
        EXPECT_EQ(c.palette.entry_count, c.entries);
        EXPECT_EQ(c.palette.rgb, block + c.offset) << c.entries << " entries";
    }
    EXPECT_EQ(&gfx::palette_256(), &gfx::builtin_palettes[0]);
    EXPECT_EQ(&gfx::palette_2(), &gfx::builtin_palettes[3]);
    // The last palette ends the block.
    EXPECT_EQ(gfx::BUILTIN_PALETTE256_OFFSET + 256 * 3, gfx::BUILTIN_BLOCK_SIZE);
}

TEST(BuiltinData, UnpacksOnlyOnce) {
    gfx::builtin_data_unpack();
    // Mark a byte of the block: a second unpacking would restore it.
    uint8_t* last = const_cast<uint8_t*>(gfx::builtin_block()) + gfx::BUILTIN_BLOCK_SIZE - 1;
    const uint8_t saved = *last;
    *last = static_cast<uint8_t>(saved ^ 0x5A);
    EXPECT_FALSE(gfx::builtin_data_unpack());
    EXPECT_FALSE(gfx::builtin_data_unpack());
    EXPECT_EQ(*last, static_cast<uint8_t>(saved ^ 0x5A));
    *last = saved;
}

// ---- Palettes --------------------------------------------------------------

class BuiltinPalettes : public testing::Test {
protected:
    void SetUp() override { gfx::builtin_data_unpack(); }
    static void expect_entry(const gfx::PaletteInfo& p, int i, int r, int g, int b) {
        EXPECT_EQ(p.rgb[i * 3 + 0], r) << p.entry_count << "-entry palette, entry " << i << " red";
        EXPECT_EQ(p.rgb[i * 3 + 1], g) << p.entry_count << "-entry palette, entry " << i << " green";
        EXPECT_EQ(p.rgb[i * 3 + 2], b) << p.entry_count << "-entry palette, entry " << i << " blue";
    }
};

constexpr int CGA[16][3] = {
    {0, 0, 0},      {0, 0, 170},     {0, 170, 0},     {0, 170, 170},
    {170, 0, 0},    {170, 0, 170},   {170, 85, 0},    {170, 170, 170},
    {85, 85, 85},   {85, 85, 255},   {85, 255, 85},   {85, 255, 255},
    {255, 85, 85},  {255, 85, 255},  {255, 255, 85},  {255, 255, 255},
};

TEST_F(BuiltinPalettes, TwoAndSixteenEntries) {
    expect_entry(gfx::palette_2(), 0, 0, 0, 0);
    expect_entry(gfx::palette_2(), 1, 255, 255, 255);
    for (int i = 0; i < 16; ++i) {
        expect_entry(gfx::palette_16(), i, CGA[i][0], CGA[i][1], CGA[i][2]);
    }
}

TEST_F(BuiltinPalettes, SixtyFourEntriesFollowTheEgaBits) {
    for (int i = 0; i < 64; ++i) {
        auto bit = [i](int n) { return (i >> n) & 1; };
        expect_entry(gfx::palette_64(), i, 170 * bit(2) + 85 * bit(5), 170 * bit(1) + 85 * bit(4),
                     170 * bit(0) + 85 * bit(3));
    }
}

TEST_F(BuiltinPalettes, TwoHundredFiftySixEntriesAreTheVgaSet) {
    const gfx::PaletteInfo& p = gfx::palette_256();
    for (int i = 0; i < 16; ++i) {
        expect_entry(p, i, CGA[i][0], CGA[i][1], CGA[i][2]);
    }
    auto widen = [](int v) { return v * 255 / 63; };
    struct Sample {
        int index, r, g, b;  // 6-bit levels
    };
    const Sample samples[] = {
        {16, 0, 0, 0},    {17, 5, 5, 5},    {23, 24, 24, 24},  {31, 63, 63, 63},  // grey ramp
        {32, 0, 0, 63},   {33, 16, 0, 63},  {34, 31, 0, 63},   {36, 63, 0, 63},   // full hues
        {40, 63, 0, 0},   {44, 63, 63, 0},  {48, 0, 63, 0},    {52, 0, 63, 63},
        {55, 0, 16, 63},  {56, 31, 31, 63}, {80, 45, 45, 63},  {91, 63, 58, 45},  // paler
        {104, 0, 0, 28},  {112, 28, 0, 0},  {128, 14, 14, 28}, {152, 20, 20, 28}, // medium
        {176, 0, 0, 16},  {200, 8, 8, 16},  {224, 11, 11, 16}, {247, 11, 12, 16}, // low
    };
    for (const Sample& s : samples) {
        expect_entry(p, s.index, widen(s.r), widen(s.g), widen(s.b));
    }
    for (int i = 248; i < 256; ++i) {
        expect_entry(p, i, 0, 0, 0);
    }
    // Every component is a 6-bit level widened by floor(v * 255 / 63).
    std::vector<bool> level(256, false);
    for (int v = 0; v < 64; ++v) {
        level[widen(v)] = true;
    }
    for (int i = 0; i < 256 * 3; ++i) {
        EXPECT_TRUE(level[p.rgb[i]]) << "entry " << i / 3 << " holds " << int(p.rgb[i]);
    }
}

// ---- Glyphs ----------------------------------------------------------------

class BuiltinGlyphs : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        gfx::builtin_data_unpack();
        for (const gfx::FontInfo& f : gfx::builtin_fonts) {
            if (f.height == GetParam()) {
                font_ = &f;
            }
        }
        ASSERT_NE(font_, nullptr);
    }
    const uint8_t* glyph(int c) const { return font_->glyphs + c * font_->height; }
    bool rows_are(int c, uint8_t value) const {
        for (int y = 0; y < font_->height; ++y) {
            if (glyph(c)[y] != value) {
                return false;
            }
        }
        return true;
    }
    int set_pixels(int c) const {
        int n = 0;
        for (int y = 0; y < font_->height; ++y) {
            for (uint8_t row = glyph(c)[y]; row != 0; row &= static_cast<uint8_t>(row - 1)) {
                ++n;
            }
        }
        return n;
    }
    const gfx::FontInfo* font_ = nullptr;
};

TEST_P(BuiltinGlyphs, BlankSolidAndHalfBlocks) {
    EXPECT_TRUE(rows_are(0, 0x00));
    EXPECT_TRUE(rows_are(32, 0x00));
    EXPECT_TRUE(rows_are(219, 0xFF));
    // Bit 0 is the leftmost pixel: the left half block sets bits 0 to 3.
    EXPECT_TRUE(rows_are(221, 0x0F));
    EXPECT_TRUE(rows_are(222, 0xF0));
}

TEST_P(BuiltinGlyphs, LettersAndLinesAreDrawn) {
    const int h = font_->height;
    // Every printable glyph but the blanks has pixels, and they differ.
    for (int c = 1; c < 255; ++c) {
        if (c != 32) {
            EXPECT_GT(set_pixels(c), 0) << "glyph " << c;
        }
    }
    EXPECT_GT(set_pixels('A'), 10);
    EXPECT_NE(std::memcmp(glyph('A'), glyph('B'), h), 0);
    // 'A' has a crossbar and stands on two legs: its lowest inked row has
    // pixels left and right of the middle.
    int bottom = h - 1;
    while (bottom > 0 && glyph('A')[bottom] == 0) {
        --bottom;
    }
    EXPECT_NE(glyph('A')[bottom] & 0x0F, 0);
    EXPECT_NE(glyph('A')[bottom] & 0xF0, 0);

    // 196 is one horizontal line through the middle rows.
    for (int y = 0; y < h; ++y) {
        bool middle = y == h / 2 - 1 || y == h / 2;
        if (glyph(196)[y] == 0xFF) {
            EXPECT_TRUE(middle) << "row " << y;
        } else {
            EXPECT_EQ(glyph(196)[y], 0) << "row " << y;
        }
    }
    EXPECT_EQ(set_pixels(196), 8);
    // 179 is one vertical line from top to bottom.
    EXPECT_NE(glyph(179)[0], 0);
    EXPECT_TRUE(rows_are(179, glyph(179)[0]));
}

INSTANTIATE_TEST_SUITE_P(AllFonts, BuiltinGlyphs, testing::Values(8, 14, 16),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Font8x" + std::to_string(info.param);
                         });

// ---- The unpacker on hand-made streams -------------------------------------

TEST(Lzw12Layout, TwoCodesInThreeBytesLowBitsFirst) {
    EXPECT_EQ(tools::lzw12_codes_to_bytes({0x123, 0xABC}), (std::vector<uint8_t>{0x23, 0xC1, 0xAB}));
    EXPECT_EQ(tools::lzw12_codes_to_bytes({0x123, 0xABC, 0xFFF}),
              (std::vector<uint8_t>{0x23, 0xC1, 0xAB, 0xFF, 0x0F}));
    // The unpacker reads the same layout: 'a', 256, end.
    Unpacked u = unpack({0x61, 0x00, 0x10, 0xFF, 0x0F}, 16);
    EXPECT_EQ(u.result, 0);
    EXPECT_EQ(u.out, bytes_of("aaa"));
}

struct StreamCase {
    const char* name;
    std::vector<uint16_t> codes;
    int result;
    std::string out;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class Lzw12Streams : public testing::TestWithParam<StreamCase> {};

TEST_P(Lzw12Streams, Decode) {
    const StreamCase& c = GetParam();
    Unpacked u = unpack_codes(c.codes, 64);
    EXPECT_EQ(u.result, c.result);
    EXPECT_EQ(u.out, bytes_of(c.out));
}

const uint16_t E = LZW12_END_CODE;

INSTANTIATE_TEST_SUITE_P(
    Cases, Lzw12Streams,
    testing::Values(
        StreamCase{"OneByte", {'x', E}, 0, "x"},
        StreamCase{"BytesOnly", {'a', 'b', 'c', E}, 0, "abc"},
        // The second code is the one about to be defined: the first string
        // followed by its own first byte.
        StreamCase{"SecondCodeIsNextFree", {'a', 256, E}, 0, "aaa"},
        StreamCase{"DefinedCodes", {'a', 'b', 256, 257, E}, 0, "ababba"},
        StreamCase{"NextFreeAfterAString", {'a', 'b', 256, 258, E}, 0, "abababa"},
        // Missing end code: everything decoded is written, then it fails;
        // with an odd and an even number of codes.
        StreamCase{"NoEndCodeOdd", {'a', 'b', 256}, -1, "abab"},
        StreamCase{"NoEndCodeEven", {'a', 'b', 256, 'c'}, -1, "ababc"},
        StreamCase{"NoEndCodeOneCode", {'q'}, -1, "q"},
        // Codes that no dictionary holds yet.
        StreamCase{"CodeAboveNextFree", {'a', 257, E}, -1, "a"},
        StreamCase{"LaterCodeAboveNextFree", {'a', 'b', 256, 300, E}, -1, "abab"},
        // The first code must be a byte; 256 here would define itself as its
        // own prefix, a walk without end.
        StreamCase{"FirstCodeNotAByte", {256, 256, 256, E}, -1, ""},
        StreamCase{"FirstCodeIsTheEndCode", {E}, -1, ""}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(Lzw12Unpack, ShortStreamsFailWithoutReadingPastTheirEnd) {
    struct Case {
        std::vector<uint8_t> stream;
        std::string out;
    };
    const Case cases[] = {
        {{}, ""},
        {{0x41}, ""},
        {{0x41, 0x00}, "A"},  // the second code would need a third byte
        // 'a', 'b' and one more byte: the next code's second byte is missing
        // (0xFF and a following 0x0F would read as the end code).
        {{0x61, 0x20, 0x06, 0xFF}, "ab"},
    };
    for (const Case& c : cases) {
        Unpacked u = unpack(c.stream, 16);
        EXPECT_EQ(u.result, -1) << c.stream.size() << " bytes";
        EXPECT_EQ(u.out, bytes_of(c.out)) << c.stream.size() << " bytes";
    }
}

TEST(Lzw12Unpack, CapacityIsNeverPassed) {
    // "ababba": the last string is two bytes long, so one byte short cuts
    // through it.
    const std::vector<uint16_t> codes = {'a', 'b', 256, 257, E};
    struct Case {
        size_t capacity;
        int result;
        std::string out;
    };
    const Case cases[] = {
        {0, -1, ""}, {1, -1, "a"}, {3, -1, "aba"}, {5, -1, "ababb"}, {6, 0, "ababba"}, {7, 0, "ababba"},
    };
    for (const Case& c : cases) {
        Unpacked u = unpack_codes(codes, c.capacity);
        EXPECT_EQ(u.result, c.result) << "capacity " << c.capacity;
        EXPECT_EQ(u.out, bytes_of(c.out)) << "capacity " << c.capacity;
    }
}

TEST(Lzw12Unpack, CapacityOneShortOfTheBuiltinBlock) {
    std::vector<uint8_t> stream(gfx::builtin_packed, gfx::builtin_packed + gfx::builtin_packed_size);
    Unpacked whole = unpack(stream, gfx::BUILTIN_BLOCK_SIZE);
    Unpacked cut = unpack(stream, gfx::BUILTIN_BLOCK_SIZE - 1);
    EXPECT_EQ(cut.result, -1);
    ASSERT_EQ(cut.out.size(), gfx::BUILTIN_BLOCK_SIZE - 1);
    EXPECT_TRUE(std::equal(cut.out.begin(), cut.out.end(), whole.out.begin()));
}

// The longest string a stream can define: 'a', then every code from 256 to
// 4094 as the one about to be defined, each one 'a' longer than the one
// before, so that code 4094 stands for 3,840 bytes. Using it once more after
// the dictionary is full expands it whole: the bound on a dictionary walk
// (4,094 steps) lies above every string a stream can build.
TEST(Lzw12Unpack, LongestDefinableStringExpandsWhole) {
    std::vector<uint16_t> codes = {'a'};
    for (uint16_t code = 256; code <= 4094; ++code) {
        codes.push_back(code);
    }
    codes.push_back(4094);
    codes.push_back('b');
    codes.push_back(E);
    size_t expected = 1 + 3840 + 1;  // the first 'a', code 4094 again, 'b'
    for (size_t n = 2; n <= 3840; ++n) {
        expected += n;
    }
    Unpacked u = unpack_codes(codes, expected);
    EXPECT_EQ(u.result, 0);
    ASSERT_EQ(u.out.size(), expected);
    EXPECT_EQ(u.out.back(), 'b');
    for (size_t i = 0; i + 1 < u.out.size(); ++i) {
        ASSERT_EQ(u.out[i], 'a') << "byte " << i;
    }
}

// ---- Round trips through the packer ----------------------------------------

TEST(Lzw12RoundTrip, EmptyDataHasNoStream) {
    std::vector<uint8_t> stream = {1, 2, 3};
    EXPECT_FALSE(tools::lzw12_pack(nullptr, 0, &stream));
    EXPECT_TRUE(stream.empty());
}

TEST(Lzw12RoundTrip, RandomData) {
    std::mt19937 rng(20240611);
    struct Case {
        size_t size;
        int alphabet;  // distinct byte values; few of them make long strings
    };
    const Case cases[] = {{1, 256}, {2, 1}, {3, 2}, {1000, 256}, {10742, 4}, {50000, 256}, {300000, 3}};
    for (const Case& c : cases) {
        std::vector<uint8_t> data(c.size);
        for (uint8_t& b : data) {
            b = static_cast<uint8_t>(rng() % c.alphabet);
        }
        std::vector<uint8_t> stream = packed(data);
        Unpacked u = unpack(stream, data.size());
        EXPECT_EQ(u.result, 0) << c.size << " bytes of " << c.alphabet << " values";
        EXPECT_TRUE(u.out == data) << c.size << " bytes of " << c.alphabet << " values";
    }
}

// Enough data to define every code: after code 4094 the packer defines no
// more and the unpacker follows it, so the long tail after the dictionary
// filled up decodes right.
TEST(Lzw12RoundTrip, DataThatFillsTheDictionary) {
    std::mt19937 rng(7);
    for (int alphabet : {2, 256}) {
        std::vector<uint8_t> data(200000);
        for (uint8_t& b : data) {
            b = static_cast<uint8_t>(rng() % alphabet);
        }
        std::vector<uint16_t> codes;
        ASSERT_TRUE(tools::lzw12_encode(data.data(), data.size(), &codes));
        // One code is defined per code written but the last, so the
        // dictionary is full halfway through; no code above 4094 is used.
        EXPECT_GT(codes.size(), size_t{4094 - 256 + 1} * 2) << alphabet << " values";
        uint16_t highest = 0;
        for (size_t i = 0; i + 1 < codes.size(); ++i) {
            highest = std::max(highest, codes[i]);
        }
        EXPECT_LE(highest, 4094) << alphabet << " values";
        if (alphabet == 2) {
            EXPECT_EQ(highest, 4094);  // the last code defined is used too
        }
        EXPECT_EQ(codes.back(), LZW12_END_CODE);

        Unpacked u = unpack(tools::lzw12_codes_to_bytes(codes), data.size());
        EXPECT_EQ(u.result, 0) << alphabet << " values";
        EXPECT_TRUE(u.out == data) << alphabet << " values";
    }
}

}  // namespace
