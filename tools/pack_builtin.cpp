// Build-time packer of the built-in data: reads the three glyph sources,
// lays out the block of fonts and default palettes, packs it as a 12-bit LZW
// stream and writes a C++ source that defines gfx::builtin_packed and
// gfx::builtin_packed_size.
//
//   pack_builtin <fonts directory> <output .cpp>

#include <cstdio>
#include <string>
#include <vector>

#include "gfx/text/builtin_data.h"
#include "tools/default_palettes.h"
#include "tools/glyph_text.h"
#include "tools/lzw12_pack.h"

namespace {

struct FontSource {
    const char* file;
    int height;
    size_t offset;
};

constexpr FontSource FONT_SOURCES[] = {
    {"font_8x8.txt", 8, gfx::BUILTIN_FONT8_OFFSET},
    {"font_8x14.txt", 14, gfx::BUILTIN_FONT14_OFFSET},
    {"font_8x16.txt", 16, gfx::BUILTIN_FONT16_OFFSET},
};

static_assert(gfx::BUILTIN_FONT14_OFFSET == gfx::BUILTIN_FONT8_OFFSET + 256 * 8, "fonts are packed");
static_assert(gfx::BUILTIN_FONT16_OFFSET == gfx::BUILTIN_FONT14_OFFSET + 256 * 14, "fonts are packed");
static_assert(gfx::BUILTIN_PALETTE2_OFFSET == gfx::BUILTIN_FONT16_OFFSET + 256 * 16, "palettes follow");
static_assert(gfx::BUILTIN_PALETTE16_OFFSET == gfx::BUILTIN_PALETTE2_OFFSET + 2 * 3, "palettes are packed");
static_assert(gfx::BUILTIN_PALETTE64_OFFSET == gfx::BUILTIN_PALETTE16_OFFSET + 16 * 3, "palettes are packed");
static_assert(gfx::BUILTIN_PALETTE256_OFFSET == gfx::BUILTIN_PALETTE64_OFFSET + 64 * 3, "palettes are packed");
static_assert(gfx::BUILTIN_BLOCK_SIZE == gfx::BUILTIN_PALETTE256_OFFSET + 256 * 3, "nothing follows");

bool write_source(const std::string& path, const std::vector<uint8_t>& stream) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "pack_builtin: %s: cannot be created\n", path.c_str());
        return false;
    }
    std::fprintf(out,
                 "// Generated at build time by tools/pack_builtin from gfx/text/fonts/ and\n"
                 "// tools/default_palettes.cpp: the built-in fonts and palettes (%zu bytes)\n"
                 "// as a 12-bit LZW stream. Do not edit.\n"
                 "#include \"gfx/text/builtin_data.h\"\n\n"
                 "namespace gfx {\n\n"
                 "const size_t builtin_packed_size = %zu;\n\n"
                 "const uint8_t builtin_packed[%zu] = {\n",
                 gfx::BUILTIN_BLOCK_SIZE, stream.size(), stream.size());
    for (size_t i = 0; i < stream.size(); ++i) {
        std::fprintf(out, "%s0x%02X,%s", i % 16 == 0 ? "    " : "", stream[i],
                     i % 16 == 15 || i + 1 == stream.size() ? "\n" : " ");
    }
    std::fprintf(out, "};\n\n}  // namespace gfx\n");
    bool ok = std::ferror(out) == 0;
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "pack_builtin: %s: write failed\n", path.c_str());
        std::remove(path.c_str());
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pack_builtin <fonts directory> <output .cpp>\n");
        return 2;
    }
    const std::string fonts_dir = argv[1];
    std::vector<uint8_t> block(gfx::BUILTIN_BLOCK_SIZE, 0);

    for (const FontSource& font : FONT_SOURCES) {
        std::string error;
        if (!tools::glyph_text_read(fonts_dir + "/" + font.file, font.height, &block[font.offset], &error)) {
            std::fprintf(stderr, "pack_builtin: %s\n", error.c_str());
            return 1;
        }
    }
    tools::palette2_build(&block[gfx::BUILTIN_PALETTE2_OFFSET]);
    tools::palette16_build(&block[gfx::BUILTIN_PALETTE16_OFFSET]);
    tools::palette64_build(&block[gfx::BUILTIN_PALETTE64_OFFSET]);
    tools::palette256_build(&block[gfx::BUILTIN_PALETTE256_OFFSET]);

    std::vector<uint8_t> stream;
    if (!tools::lzw12_pack(block.data(), block.size(), &stream)) {
        std::fprintf(stderr, "pack_builtin: nothing to pack\n");
        return 1;
    }
    return write_source(argv[2], stream) ? 0 : 1;
}
