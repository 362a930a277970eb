// The dump reader: raw bytes into an image buffer (header included) or into
// the work page, followed for the screen by the palette when the file has
// one.
#include <algorithm>

#include "gfx/bmp_format.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/palette.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

constexpr int32_t OK = 0;
constexpr int32_t BAD_FILE = 3;
constexpr size_t PALETTE_BYTES = 256 * 4;

// The header the data would install still describes no more than the
// buffer holds, also in the pixel size of the open screen, which every
// drawing operation uses for the image's rows.
bool header_fits(const ImageHeader* header, uint64_t capacity) {
    if (image_buffer_bytes(header) > capacity) return false;
    if (screen == nullptr) return true;
    uint64_t pixels = static_cast<uint64_t>(image_width(header)) * image_height(header);
    return 4 + pixels * static_cast<uint64_t>(screen->bytes_per_pixel) <= capacity;
}

int32_t load_into_image(std::FILE* file, uint32_t length, ImageHeader* destination) {
    uint64_t capacity = image_buffer_bytes(destination);
    size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, capacity));

    // The header bytes come first: the image must still fit them before
    // anything is stored.
    size_t head_wanted = std::min<size_t>(wanted, 4);
    uint8_t head[4];
    size_t head_got = std::fread(head, 1, head_wanted, file);
    if (head_got < head_wanted && std::ferror(file)) return BAD_FILE;
    ImageHeader next = *destination;
    std::copy(head, head + head_got, next.bytes);
    if (!header_fits(&next, capacity)) return BAD_FILE;
    *destination = next;
    if (head_got < head_wanted) return OK;  // the file ends inside the header

    size_t rest = wanted - head_wanted;
    size_t got = std::fread(image_pixels(destination), 1, rest, file);
    if (got < rest && std::ferror(file)) return BAD_FILE;
    return OK;
}

int32_t load_onto_screen(std::FILE* file, uint32_t length) {
    ScreenState* s = screen;
    ScreenLock lock;
    uint8_t* page = s->pages[s->work_page];
    uint64_t page_bytes = static_cast<uint64_t>(s->height) * static_cast<uint64_t>(s->pitch);
    size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, page_bytes));
    size_t got = std::fread(page, 1, wanted, file);
    int32_t result = got < wanted && std::ferror(file) ? BAD_FILE : OK;
    if (page == s->visible_page) dirty_mark(0, s->height);

    // The palette follows the bytes just loaded. A file that ends here
    // leaves the palette as it was.
    if (result == OK && !std::feof(file)) {
        uint8_t bytes[PALETTE_BYTES];
        size_t n = std::fread(bytes, 1, sizeof bytes, file);
        for (size_t k = 0; k < n; ++k) {
            unsigned shift = 8 * (k % 4);
            uint32_t& entry = s->palette[k / 4];
            entry = (entry & ~(0xFFu << shift)) | (static_cast<uint32_t>(bytes[k]) << shift);
        }
        if (n > 0) palette_push();
    }
    return result;
}

}  // namespace

int32_t dump_load(std::FILE* file, int kind, ImageHeader* destination) {
    if (destination == nullptr && screen == nullptr) return 1;
    uint32_t length;
    if (kind == 0xFD) {
        uint8_t head[6];  // four ignored bytes, then the 16-bit length
        if (std::fread(head, 1, sizeof head, file) != sizeof head) return BAD_FILE;
        length = le16_get(head + 4);
    } else {
        uint8_t head[4];
        if (std::fread(head, 1, sizeof head, file) != sizeof head) return BAD_FILE;
        length = le32_get(head);
    }
    if (destination != nullptr) return load_into_image(file, length, destination);
    return load_onto_screen(file, length);
}

}  // namespace gfx
