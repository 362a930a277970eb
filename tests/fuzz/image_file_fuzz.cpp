// Fuzz target for the image file readers and writers. Each input is written
// to a file and loaded, as an untrusted picture, into an image and onto
// screens of every storage format (8, 16 and 32 bits, and a 4-bit mode);
// what was loaded is then read pixel by pixel and saved as a BMP and as a
// dump, and those files are loaded again. Besides the sanitizers it checks:
//   - after a load the image header never describes more bytes than the
//     buffer was created with;
//   - a dump of an image reloads byte for byte;
//   - a BMP of an image reloads to the same pixels (what a 24-bit or 8-bit
//     file keeps of them).
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/drivers/driver.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/image_save.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"

namespace {

std::string g_dir;

std::string path(const char* name) { return g_dir + "/" + name; }

void remove_work_dir() {
    if (g_dir.empty()) return;
    if (DIR* d = opendir(g_dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                std::remove((g_dir + "/" + e->d_name).c_str());
            }
        }
        closedir(d);
    }
    rmdir(g_dir.c_str());
}

uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t le32(const uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }

// The image the input is loaded into: the size the file names (as the tool
// creates its image from the BMP's own header) when it is a small one,
// otherwise one made up from the input's length.
void image_size(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
    uint32_t w = 0, h = 0;
    if (size >= 26 && data[0] == 'B') {
        w = le32(data + 18);
        h = le32(data + 22);
    } else if (size >= 9 && data[0] == 0xFE) {
        w = le16(data + 5) >> 3;
        h = le16(data + 7);
    } else if (size >= 11 && data[0] == 0xFD) {
        w = le16(data + 7) >> 3;
        h = le16(data + 9);
    }
    if (w < 1 || w > 256 || h < 1 || h > 256) {
        w = 1 + static_cast<uint32_t>(size % 61);
        h = 1 + static_cast<uint32_t>((size / 61) % 47);
    }
    // Now and then one row short, so that the refusal of files larger than
    // their destination is reached too.
    if (size % 7 == 3 && h > 1) --h;
    *width = w;
    *height = h;
}

struct ScreenKind {
    int mode;  // 0: a free-size screen of the size and depth below
    int width, height, depth;
};

const ScreenKind kScreens[] = {{0, 64, 48, 8}, {0, 64, 48, 16}, {0, 64, 48, 32}, {7, 0, 0, 4}};

bool open_screen(const ScreenKind& k) {
    if (k.mode != 0) {
        gfx::screen_mode(k.mode, 0, 1, gfx::ScreenFlags::no_display, 0);
    } else {
        gfx::screen_res(k.width, k.height, k.depth, 1, gfx::ScreenFlags::no_display, 0);
    }
    return gfx::screen != nullptr;
}

// Reads every pixel of the area, as a drawing operation would.
void read_area(gfx::ImageHeader* target, uint32_t width, uint32_t height) {
    volatile uint32_t sink = 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            sink = sink ^ static_cast<uint32_t>(gfx::pixel_get(target, static_cast<float>(x), static_cast<float>(y)));
        }
    }
}

// The bits of a pixel that a BMP file keeps: an 8-bit file the index as
// far as the screen's depth holds it, a 24-bit file the colour.
uint32_t kept_bits() {
    switch (gfx::screen->bytes_per_pixel) {
        case 1: return gfx::screen->colour_mask;
        case 2: return 0xFFFF;
        default: return 0x00FFFFFF;
    }
}

uint32_t pixel_at(const gfx::ImageHeader* image, size_t i) {
    size_t bpp = static_cast<size_t>(gfx::screen->bytes_per_pixel);
    uint32_t v = 0;
    std::memcpy(&v, gfx::image_pixels(image) + i * bpp, bpp);
    return v;
}

void check_round_trips(gfx::ImageHeader* image, const gfx::ImageHeader& created, uint64_t capacity) {
    const gfx::ScreenState* s = gfx::screen;
    // Dump: the bytes the header describes, reloaded into a buffer made
    // like the image was (same size and header).
    uint64_t described = gfx::image_buffer_bytes(image);
    std::string dump = path("image.dmp");
    if (gfx::image_save(dump, image, static_cast<uint32_t>(described)) != 0) __builtin_trap();
    std::vector<uint8_t> copy(static_cast<size_t>(capacity), 0);
    std::memcpy(copy.data(), created.bytes, 4);
    auto* reloaded = reinterpret_cast<gfx::ImageHeader*>(copy.data());
    if (gfx::image_load(dump, reloaded) != 0) __builtin_trap();
    if (std::memcmp(copy.data(), image->bytes, static_cast<size_t>(described)) != 0) __builtin_trap();

    // BMP: only of an image in the screen's own pixel size.
    uint32_t w = gfx::image_width(image), h = gfx::image_height(image);
    if (gfx::image_bpp(image) != static_cast<uint32_t>(s->bytes_per_pixel) || w == 0 || h == 0) return;
    std::string bmp = path("image.bmp");
    if (gfx::image_save(bmp, image, 0) != 0) __builtin_trap();
    gfx::ImageHeader* back = gfx::image_create(static_cast<int32_t>(w), static_cast<int32_t>(h), 0);
    if (back == nullptr) return;
    if (gfx::image_load(bmp, back) != 0) __builtin_trap();
    uint32_t keep = kept_bits();
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        if ((pixel_at(back, i) & keep) != (pixel_at(image, i) & keep)) __builtin_trap();
    }
    gfx::image_destroy(back);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = std::getenv("TMPDIR");
    std::string where = base != nullptr && *base != '\0' ? base : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    std::string pattern = where + "/sg_image_fuzz.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_dir = name.data();
    std::atexit(remove_work_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input = path("input");
    if (std::FILE* f = std::fopen(input.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        std::abort();
    }
    uint32_t w, h;
    image_size(data, size, &w, &h);

    for (const ScreenKind& kind : kScreens) {
        if (!open_screen(kind)) std::abort();
        const gfx::ScreenState* s = gfx::screen;

        // Into an image.
        gfx::ImageHeader* image = gfx::image_create(static_cast<int32_t>(w), static_cast<int32_t>(h), 0);
        if (image == nullptr) std::abort();
        uint64_t capacity = 4 + static_cast<uint64_t>(w) * h * static_cast<uint64_t>(s->bytes_per_pixel);
        const gfx::ImageHeader created = *image;
        int32_t loaded = gfx::image_load(input, image);
        uint64_t pixels = static_cast<uint64_t>(gfx::image_width(image)) * gfx::image_height(image);
        if (gfx::image_buffer_bytes(image) > capacity ||
            4 + pixels * static_cast<uint64_t>(s->bytes_per_pixel) > capacity) {
            __builtin_trap();  // the header now describes more than the buffer holds
        }
        read_area(image, gfx::image_width(image), gfx::image_height(image));
        if (loaded == 0) check_round_trips(image, created, capacity);
        gfx::image_destroy(image);

        // Onto the screen, then the screen saved both ways.
        gfx::image_load(input, nullptr);
        read_area(nullptr, std::min<uint32_t>(w, static_cast<uint32_t>(s->width)),
                  std::min<uint32_t>(h, static_cast<uint32_t>(s->height)));
        gfx::image_save(path("screen.bmp"), nullptr, 0);
        gfx::image_save(path("screen.dmp"), nullptr, static_cast<uint32_t>(s->height * s->pitch));
        gfx::image_load(path("screen.dmp"), nullptr);
    }
    gfx::screen_close();
    return 0;
}
