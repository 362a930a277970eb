// Display blitters: every member of the table, and the vector members of
// every instruction set built (MMX, and SSE2 where the build targets it),
// against a reference written from the pixel rules and against the plain
// members; the choice of a member, and line walking with clean lines and
// doubled rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gfx/drivers/blitters.h"
#include "gfx/screen.h"

namespace {

constexpr uint8_t kUntouched = 0xA5;  // fill of display memory before a blit

enum class Form { palette, rgb16, rgb32 };

// What blitter_table[index] converts.
struct Entry {
    Form source;
    int display_bits;
    bool bgr;
    bool mmx;
};

Entry entry_of(int index) {
    const int block = index / 12;
    const int position = index % 12;
    static const int kBits[4] = {15, 16, 24, 32};
    static const Form kForms[3] = {Form::palette, Form::rgb16, Form::rgb32};
    return {kForms[position / 4], kBits[position % 4], block % 2 == 0, block >= 2};
}

int framebuffer_depth(Form f) { return f == Form::palette ? 8 : f == Form::rgb16 ? 16 : 32; }
int source_bytes(Form f) { return f == Form::palette ? 1 : f == Form::rgb16 ? 2 : 4; }
int display_bytes(int bits) { return bits == 8 ? 1 : bits <= 16 ? 2 : bits == 24 ? 3 : 4; }

std::string describe(int index) {
    const Entry e = entry_of(index);
    static const char* kForm[3] = {"palette", "16", "32"};
    return "entry " + std::to_string(index) + " (" + (e.mmx ? "vector " : "plain ") +
           (e.bgr ? "BGR " : "RGB ") + kForm[static_cast<int>(e.source)] + "->" +
           std::to_string(e.display_bits) + ")";
}

// The vector members of one instruction set, laid out as the vector blocks of
// the table: member i stands at table index 24 + i.
struct VectorVariant {
    const char* name;
    const std::array<gfx::DisplayBlitter, 24>* members;
};

std::vector<VectorVariant> vector_variants() {
    std::vector<VectorVariant> variants{{"MMX", &gfx::blitter_mmx_members}};
#if defined(__SSE2__)
    variants.push_back({"SSE2", &gfx::blitter_sse2_members});
#endif
    return variants;
}

// A member to check: its blitter, what it converts, and its name.
struct Member {
    gfx::DisplayBlitter blitter;
    int index;  // the table index whose conversion it does
    std::string name;
};

// Every entry of the table, then every vector member of every instruction set.
std::vector<Member> all_members() {
    std::vector<Member> members;
    for (int index = 0; index < 48; ++index)
        members.push_back({gfx::blitter_table[index], index, describe(index)});
    for (const VectorVariant& v : vector_variants())
        for (int i = 0; i < 24; ++i)
            members.push_back({(*v.members)[i], 24 + i, std::string(v.name) + " " + describe(24 + i)});
    return members;
}

// ---- Reference from the pixel rules ---------------------------------------------

struct Components {
    uint32_t r, g, b;  // 8-bit
};

// The colour that source pixel `x` of `line` stands for. A 5:6:5 pixel gives
// its fields at the top of each byte.
Components source_colour(Form form, const uint8_t* line, int x, const uint32_t* palette) {
    if (form == Form::palette) {
        const uint32_t e = palette[line[x]];
        return {e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0xFF};
    }
    if (form == Form::rgb16) {
        const uint32_t q = line[2 * x] | (line[2 * x + 1] << 8);
        return {(q >> 11) << 3, ((q >> 5) & 0x3F) << 2, (q & 0x1F) << 3};
    }
    const uint32_t p = line[4 * x] | (line[4 * x + 1] << 8) | (line[4 * x + 2] << 16) |
                       (static_cast<uint32_t>(line[4 * x + 3]) << 24);
    return {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
}

// The display pixel of colour `c` (24-bit pixels as blue | green << 8 |
// red << 16 of their memory bytes; 32-bit pixels without the top byte).
uint32_t display_value(Components c, int bits, bool bgr) {
    const uint32_t r5 = c.r >> 3, g5 = c.g >> 3, g6 = c.g >> 2, b5 = c.b >> 3;
    const uint32_t high = bgr ? c.b : c.r, low = bgr ? c.r : c.b;
    switch (bits) {
    case 15: return bgr ? (b5 << 10) | (g5 << 5) | r5 : (r5 << 10) | (g5 << 5) | b5;
    case 16: return bgr ? (b5 << 11) | (g6 << 5) | r5 : (r5 << 11) | (g6 << 5) | b5;
    default: return (high << 16) | (c.g << 8) | low;
    }
}

uint32_t read_display(const uint8_t* row, int x, int bits) {
    const int n = display_bytes(bits);
    uint32_t v = 0;
    for (int k = 0; k < n; ++k)
        v |= static_cast<uint32_t>(row[n * x + k]) << (8 * k);
    return bits == 32 ? v & 0x00FFFFFF : v;
}

// ---- A hand-built screen ----------------------------------------------------------

// A screen record with its page, palette, dirty flags and expansion table,
// installed as gfx::screen for the fixture's life.
struct TestScreen {
    gfx::ScreenState state{};
    std::vector<uint8_t> page;
    std::vector<uint32_t> palette = std::vector<uint32_t>(256);
    std::vector<uint8_t> dirty;
    std::vector<uint32_t> table = std::vector<uint32_t>(512);

    TestScreen(Form form, int width, int height, int scanline_mult, bool mmx) {
        const int bpp = source_bytes(form);
        page.assign(static_cast<size_t>(width) * bpp * height, 0);
        dirty.assign(static_cast<size_t>(height) * scanline_mult, 1);
        state.visible_page = page.data();
        state.pitch = width * bpp;
        state.bytes_per_pixel = bpp;
        state.width = width;
        state.height = height;
        state.depth = framebuffer_depth(form);
        state.scanline_mult = scanline_mult;
        state.palette = palette.data();
        state.dirty = dirty.data();
        state.flags = mmx ? uint32_t{gfx::ScreenState::has_mmx} : 0u;
        gfx::screen = &state;
        gfx::expansion_table = table.data();
    }
    ~TestScreen() {
        gfx::screen = nullptr;
        gfx::expansion_table = nullptr;
    }
    TestScreen(const TestScreen&) = delete;
    TestScreen& operator=(const TestScreen&) = delete;

    void randomise(std::mt19937& rng) {
        for (auto& b : page)
            b = static_cast<uint8_t>(rng());
        for (auto& e : palette)
            e = rng();  // the top byte is not part of the colour
    }
    const uint8_t* line(int y) const { return page.data() + static_cast<size_t>(y) * state.pitch; }
};

// Display memory for a screen: height * scanline_mult rows of `bits` pixels,
// each followed by a few padding bytes (so rows are not aligned and writes past
// the row's pixels show), plus one spare row at the end.
struct Display {
    int bits;
    int pitch;
    int rows;
    std::vector<uint8_t> bytes;

    Display(const gfx::ScreenState& s, int display_bits, int padding = 7)
        : bits(display_bits),
          pitch(s.width * display_bytes(display_bits) + padding),
          rows(s.height * s.scanline_mult),
          bytes(static_cast<size_t>(pitch) * (rows + 1), kUntouched) {}

    void run(gfx::DisplayBlitter blitter) { blitter(bytes.data(), pitch); }
    const uint8_t* row(int r) const { return bytes.data() + static_cast<size_t>(r) * pitch; }
    bool row_untouched(int r, int from_byte = 0) const {
        for (int k = from_byte; k < pitch; ++k)
            if (row(r)[k] != kUntouched)
                return false;
        return true;
    }
};

// Checks the whole display against the reference: each row of a dirty line
// holds the converted line, padding and the rows of clean lines are untouched.
void expect_converted(const TestScreen& t, const Display& d, Form form, bool bgr,
                      const std::string& what) {
    const gfx::ScreenState& s = t.state;
    for (int r = 0; r < d.rows; ++r) {
        const int y = r / s.scanline_mult;
        if (s.dirty[y] == 0) {
            EXPECT_TRUE(d.row_untouched(r)) << what << ": clean line " << y << ", row " << r;
            continue;
        }
        for (int x = 0; x < s.width; ++x) {
            const Components colour = source_colour(form, t.line(y), x, s.palette);
            const uint32_t want = display_value(colour, d.bits, bgr);
            const uint32_t got = read_display(d.row(r), x, d.bits);
            if (got != want) {
                ADD_FAILURE() << what << ": row " << r << " x " << x << " of width " << s.width
                              << ": got 0x" << std::hex << got << ", want 0x" << want;
                return;
            }
        }
        EXPECT_TRUE(d.row_untouched(r, s.width * display_bytes(d.bits)))
            << what << ": written past the pixels of row " << r;
    }
    EXPECT_TRUE(d.row_untouched(d.rows)) << what << ": written past the last row";
}

// ---- Every member against the reference -------------------------------------------

TEST(DisplayBlitters, EveryMemberMatchesThePixelRules) {
    std::mt19937 rng(4242);
    for (const Member& m : all_members()) {
        const Entry e = entry_of(m.index);
        for (int mult = 1; mult <= 2; ++mult) {
            for (int width = 1; width <= 37; ++width) {
                TestScreen t(e.source, width, 5, mult, e.mmx);
                t.randomise(rng);
                // Lines 1 and 3 clean; the dirty ones with assorted nonzero flags.
                const uint8_t flags[5] = {1, 0, 0x80, 0, 7};
                std::memcpy(t.dirty.data(), flags, 5);
                // Builds the expansion table for the order.
                ASSERT_NE(gfx::select_blitter(e.display_bits, e.bgr ? 1 : 0), nullptr);
                Display d(t.state, e.display_bits);
                d.run(m.blitter);
                expect_converted(t, d, e.source, e.bgr, m.name + ", scanline_mult " + std::to_string(mult));
            }
        }
    }
}

TEST(DisplayBlitters, PlainAndVectorMembersGiveTheSamePixels) {
    std::mt19937 rng(99);
    for (const VectorVariant& v : vector_variants()) {
        for (int index = 0; index < 24; ++index) {
            const Entry e = entry_of(index);
            for (int width = 1; width <= 70; ++width) {
                TestScreen t(e.source, width, 3, 1, true);
                t.randomise(rng);
                ASSERT_NE(gfx::select_blitter(e.display_bits, e.bgr ? 1 : 0), nullptr);
                Display plain(t.state, e.display_bits);
                Display vector(t.state, e.display_bits);
                plain.run(gfx::blitter_table[index]);
                vector.run((*v.members)[index]);
                for (int r = 0; r < plain.rows; ++r)
                    for (int x = 0; x < width; ++x)
                        ASSERT_EQ(read_display(plain.row(r), x, e.display_bits),
                                  read_display(vector.row(r), x, e.display_bits))
                            << describe(index) << " against its " << v.name << " twin, width " << width
                            << ", row " << r << ", x " << x;
            }
        }
    }
}

// The vector blocks of the table hold the widest vector members built.
TEST(DisplayBlitters, TableVectorBlocksAreTheWidestBuilt) {
#if defined(__SSE2__)
    const auto& widest = gfx::blitter_sse2_members;
#else
    const auto& widest = gfx::blitter_mmx_members;
#endif
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(gfx::blitter_table[24 + i], widest[i]) << describe(24 + i);
}

// ---- Listed values ------------------------------------------------------------------

struct ValueCase {
    const char* name;
    Form source;
    uint32_t pixel;  // framebuffer pixel, or the palette entry that index 3 shows
    int display_bits;
    int bgr;
    uint32_t want;  // 24-bit: the memory bytes as byte0 | byte1 << 8 | byte2 << 16
};

const ValueCase kValueCases[] = {
    {"32-bit into 16 RGB", Form::rgb32, 0xFF123456, 16, 0, 0x11AA},
    {"32-bit without alpha into 16 RGB", Form::rgb32, 0x00123456, 16, 0, 0x11AA},
    {"32-bit into 15 BGR", Form::rgb32, 0xFF123456, 15, 1, 0x28C2},
    {"32-bit without alpha into 15 BGR", Form::rgb32, 0x00123456, 15, 1, 0x28C2},
    {"palette into 15 BGR", Form::palette, 0x00FF8040, 15, 1, 0x7E08},
    {"palette into 15 RGB", Form::palette, 0x00FF8040, 15, 0, 0x221F},
    {"palette into 16 RGB", Form::palette, 0x00FF8040, 16, 0, 0x441F},
    {"palette into 16 BGR", Form::palette, 0x00FF8040, 16, 1, 0xFC08},
    {"palette into 24 BGR", Form::palette, 0x00FF8040, 24, 1, 0xFF8040},  // bytes 40 80 FF
    {"palette into 24 RGB", Form::palette, 0x00FF8040, 24, 0, 0x4080FF},  // bytes FF 80 40
    {"palette into 32 BGR", Form::palette, 0x00FF8040, 32, 1, 0x00FF8040},
    {"palette into 32 RGB", Form::palette, 0x00FF8040, 32, 0, 0x004080FF},
    {"white 5:6:5 into 32 RGB", Form::rgb16, 0xFFFF, 32, 0, 0x00F8FCF8},
    {"white 5:6:5 into 32 BGR", Form::rgb16, 0xFFFF, 32, 1, 0x00F8FCF8},
    {"red 5:6:5 into 32 RGB", Form::rgb16, 0xF800, 32, 0, 0x00F80000},
    {"red 5:6:5 into 32 BGR", Form::rgb16, 0xF800, 32, 1, 0x000000F8},
    {"red 5:6:5 into 24 BGR", Form::rgb16, 0xF800, 24, 1, 0x0000F8},
};

// Every value through the chosen plain member, the chosen vector member and
// its twins of the other instruction sets.
TEST(DisplayBlitters, ListedValuesInPlainAndVectorMembers) {
    constexpr int kWidth = 37;  // whole vector steps of every width and a tail
    for (const ValueCase& c : kValueCases) {
        for (bool mmx : {false, true}) {
            TestScreen t(c.source, kWidth, 1, 1, mmx);
            for (int x = 0; x < kWidth; ++x) {
                if (c.source == Form::palette) {
                    t.page[x] = 3;
                } else {
                    const int n = source_bytes(c.source);
                    for (int k = 0; k < n; ++k)
                        t.page[n * x + k] = static_cast<uint8_t>(c.pixel >> (8 * k));
                }
            }
            t.palette[3] = c.pixel;
            const gfx::DisplayBlitter b = gfx::select_blitter(c.display_bits, c.bgr);
            ASSERT_NE(b, nullptr) << c.name;
            std::vector<std::pair<std::string, gfx::DisplayBlitter>> members{{mmx ? "vector" : "plain", b}};
            const auto chosen = std::find(gfx::blitter_table.begin(), gfx::blitter_table.end(), b);
            const auto index = chosen - gfx::blitter_table.begin();
            if (mmx && index >= 24 && index < 48)
                for (const VectorVariant& v : vector_variants())
                    members.emplace_back(v.name, (*v.members)[index - 24]);
            for (const auto& [name, member] : members) {
                Display d(t.state, c.display_bits);
                d.run(member);
                for (int x = 0; x < kWidth; ++x)
                    EXPECT_EQ(read_display(d.row(0), x, c.display_bits), c.want)
                        << c.name << ", " << name << ", pixel " << x;
            }
        }
    }
}

// The vector members compute the expansion of 5:6:5 pixels when the table
// is one of the two that select_blitter builds; any other table, even one
// that differs from them in a single entry, is looked up entry by entry.
TEST(DisplayBlitters, FiveSixFiveMembersFollowAnyExpansionTable) {
    struct Case {
        const char* name;
        int bgr;
        int changed;  // entry changed after select_blitter; -1 none, 512 all (random)
    };
    const Case cases[] = {
        {"RGB table", 0, -1},
        {"BGR table", 1, -1},
        {"RGB table with one low-byte entry changed", 0, 0x3A},
        {"BGR table with one high-byte entry changed", 1, 256 + 0xC5},
        {"random table", 0, 512},
    };
    std::mt19937 rng(565);
    constexpr int kWidth = 45;
    for (const Case& c : cases) {
        for (int index : {6, 7}) {  // 16 -> 24 and 16 -> 32, shared by both orders
            std::vector<std::pair<std::string, gfx::DisplayBlitter>> members{{"plain", gfx::blitter_table[index]}};
            for (const VectorVariant& v : vector_variants())
                members.emplace_back(v.name, (*v.members)[index]);
            for (const auto& [name, member] : members) {
                TestScreen t(Form::rgb16, kWidth, 2, 1, true);
                t.randomise(rng);
                for (int x = 0; x < 4; ++x) {  // pixels that meet the changed entry
                    t.page[2 * x] = 0x3A;
                    t.page[2 * x + 1] = 0xC5;
                }
                ASSERT_NE(gfx::select_blitter(entry_of(index).display_bits, c.bgr), nullptr);
                if (c.changed == 512) {
                    for (auto& e : t.table)
                        e = rng();
                } else if (c.changed >= 0) {
                    t.table[c.changed] ^= 0x00010203;
                }
                const int bits = entry_of(index).display_bits;
                Display d(t.state, bits);
                d.run(member);
                for (int y = 0; y < 2; ++y) {
                    for (int x = 0; x < kWidth; ++x) {
                        const uint8_t* q = t.line(y) + 2 * x;
                        uint32_t want = t.table[q[0]] | t.table[256 + q[1]];
                        want &= bits == 24 || bits == 32 ? 0x00FFFFFFu : 0xFFFFFFFFu;
                        ASSERT_EQ(read_display(d.row(y), x, bits), want)
                            << c.name << ", " << name << " " << describe(index) << ", line " << y << ", x " << x;
                    }
                }
            }
        }
    }
}

TEST(DisplayBlitters, ExpansionTableIsBuiltForTheOrder) {
    struct Case {
        int bgr;
        uint32_t q, want;
    };
    const Case cases[] = {
        {0, 0xFFFF, 0x00F8FCF8}, {1, 0xFFFF, 0x00F8FCF8}, {0, 0xF800, 0x00F80000},
        {1, 0xF800, 0x000000F8}, {0, 0x001F, 0x000000F8}, {1, 0x001F, 0x00F80000},
        {0, 0x07E0, 0x0000FC00}, {1, 0x07E0, 0x0000FC00},
    };
    TestScreen t(Form::rgb16, 4, 1, 1, false);
    for (const Case& c : cases) {
        gfx::select_blitter(32, c.bgr);
        const uint32_t got = t.table[c.q & 0xFF] | t.table[256 + (c.q >> 8)];
        EXPECT_EQ(got, c.want) << std::hex << "pixel 0x" << c.q << ", bgr " << c.bgr;
    }
}

TEST(DisplayBlitters, PaletteScreenOnAnEightBitDisplayShowsTheIndices) {
    std::mt19937 rng(7);
    TestScreen t(Form::palette, 13, 3, 2, true);
    t.randomise(rng);
    t.dirty[1] = 0;
    const gfx::DisplayBlitter b = gfx::select_blitter(8, 0);
    ASSERT_EQ(b, gfx::blitter_line_copy);
    Display d(t.state, 8);
    d.run(b);
    for (int r = 0; r < d.rows; ++r) {
        const int y = r / 2;
        if (y == 1)
            EXPECT_TRUE(d.row_untouched(r)) << "row " << r;
        else
            EXPECT_EQ(std::memcmp(d.row(r), t.line(y), 13), 0) << "row " << r;
    }
}

// ---- Choosing a member -------------------------------------------------------------

TEST(DisplayBlitters, SelectionFollowsDepthOrderAndMmx) {
    constexpr int kCopy = -1, kNone = -2;
    struct Case {
        int framebuffer_depth, display_depth, bgr;
        bool mmx;
        int scanline_mult;
        int want;  // index into blitter_table, kCopy or kNone
    };
    const Case cases[] = {
        {8, 8, 0, true, 1, kCopy},
        {1, 8, 1, false, 2, kCopy},
        {4, 16, 0, false, 1, 12 + 1},
        {2, 32, 1, false, 1, 3},
        {8, 15, 1, true, 1, 24 + 0},
        {8, 24, 0, true, 1, 36 + 2},
        {16, 15, 1, false, 1, 4},
        {16, 24, 1, true, 1, 24 + 6},
        {16, 32, 0, true, 1, 36 + 7},
        {16, 16, 0, true, 1, kCopy},
        {16, 16, 1, true, 1, 24 + 5},
        {32, 32, 0, false, 1, kCopy},
        {32, 24, 0, true, 1, 36 + 10},
        {32, 32, 1, true, 2, 11},       // MMX processor, doubled lines: plain
        {32, 16, 0, true, 2, 12 + 9},   // the same
        {8, 16, 0, true, 2, 12 + 1},    // the same
        {16, 8, 0, true, 1, kNone},
        {32, 8, 1, false, 1, kNone},
        {32, 12, 0, false, 1, kNone},
        {8, 0, 0, false, 1, kNone},
        {3, 8, 0, false, 1, kNone},  // no such framebuffer depth
        {3, 16, 0, false, 1, kNone},
    };
    for (const Case& c : cases) {
        const Form form = c.framebuffer_depth <= 8 ? Form::palette
                          : c.framebuffer_depth == 16 ? Form::rgb16 : Form::rgb32;
        TestScreen t(form, 8, 2, c.scanline_mult, c.mmx);
        t.state.depth = c.framebuffer_depth;
        const gfx::DisplayBlitter want = c.want == kNone   ? nullptr
                                         : c.want == kCopy ? gfx::blitter_line_copy
                                                           : gfx::blitter_table[c.want];
        EXPECT_EQ(gfx::select_blitter(c.display_depth, c.bgr), want)
            << "depth " << c.framebuffer_depth << " on " << c.display_depth << ", bgr " << c.bgr
            << ", mmx " << c.mmx << ", scanline_mult " << c.scanline_mult;
    }
}

TEST(DisplayBlitters, TableSharesMembersWhereFormsAgree) {
    for (int index = 0; index < 48; ++index)
        EXPECT_NE(gfx::blitter_table[index], nullptr) << describe(index);
    for (int block : {12, 36}) {
        EXPECT_EQ(gfx::blitter_table[block + 5], gfx::blitter_line_copy);   // 16 -> 16 RGB
        EXPECT_EQ(gfx::blitter_table[block + 11], gfx::blitter_line_copy);  // 32 -> 32 RGB
    }
    for (int block : {0, 24}) {
        EXPECT_EQ(gfx::blitter_table[block + 6], gfx::blitter_table[block + 12 + 6]);  // 16 -> 24
        EXPECT_EQ(gfx::blitter_table[block + 7], gfx::blitter_table[block + 12 + 7]);  // 16 -> 32
    }
}

TEST(DisplayBlitters, MissingScreenTableOrPaletteIsRefusedWithoutWriting) {
    uint8_t buffer[64];
    std::memset(buffer, kUntouched, sizeof buffer);
    ASSERT_EQ(gfx::screen, nullptr);
    EXPECT_EQ(gfx::select_blitter(16, 0), nullptr);
    gfx::blitter_table[0](buffer, 16);
    gfx::blitter_line_copy(buffer, 16);

    TestScreen t(Form::rgb16, 4, 2, 1, true);
    gfx::expansion_table = nullptr;
    EXPECT_EQ(gfx::select_blitter(32, 1), nullptr);
    EXPECT_EQ(gfx::select_blitter(24, 0), nullptr);
    EXPECT_EQ(gfx::select_blitter(16, 1), gfx::blitter_table[24 + 5]);
    for (int index : {6, 7, 30, 31})
        gfx::blitter_table[index](buffer, 16);

    t.state.palette = nullptr;
    t.state.depth = 8;
    for (int index : {0, 1, 2, 3, 24, 25, 26, 27})
        gfx::blitter_table[index](buffer, 16);

    // A pitch too short for a line of 32-bit pixels.
    t.state.depth = 32;
    t.state.pitch = 4 * 4 - 1;
    for (int index : {8, 9, 10, 11, 32, 33, 34, 35})
        gfx::blitter_table[index](buffer, 16);

    for (uint8_t b : buffer)
        ASSERT_EQ(b, kUntouched);
}

// ---- Line walking ------------------------------------------------------------------

TEST(DisplayBlitters, DoubledPaletteScreenFillsFourHundredRows) {
    std::mt19937 rng(640);
    TestScreen t(Form::palette, 640, 200, 2, true);
    t.randomise(rng);
    for (int y = 0; y < 200; ++y)
        t.dirty[y] = y % 3 == 0 ? 0 : 1;
    const gfx::DisplayBlitter b = gfx::select_blitter(16, 0);
    ASSERT_EQ(b, gfx::blitter_table[12 + 1]);
    Display d(t.state, 16, 0);
    ASSERT_EQ(d.rows, 400);
    d.run(b);
    expect_converted(t, d, Form::palette, false, "640x200 palette screen, doubled");
    for (int y = 1; y < 200; y += 3)
        EXPECT_EQ(std::memcmp(d.row(2 * y), d.row(2 * y + 1), d.pitch), 0) << "line " << y;
}

TEST(DisplayBlitters, NegativePitchWalksUpwards) {
    std::mt19937 rng(5);
    TestScreen t(Form::rgb32, 6, 4, 1, false);
    t.randomise(rng);
    const int pitch = 6 * 2;
    std::vector<uint8_t> bottom_up(static_cast<size_t>(pitch) * 4, kUntouched);
    gfx::blitter_table[12 + 9](bottom_up.data() + 3 * pitch, -pitch);  // 32 -> 16 RGB
    for (int y = 0; y < 4; ++y) {
        const uint8_t* row = bottom_up.data() + (3 - y) * pitch;
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(read_display(row, x, 16),
                      display_value(source_colour(Form::rgb32, t.line(y), x, nullptr), 16, false))
                << "line " << y << ", x " << x;
    }
}

}  // namespace
