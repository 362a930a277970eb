// The dump writer: 0xFE, the 32-bit little-endian length, then the bytes of
// the image buffer from its header on, or of the work page followed, at
// depths up to 8, by the palette.
#include <algorithm>

#include "gfx/bmp_format.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/image_save.h"
#include "gfx/screen.h"

namespace gfx {

int32_t dump_save(std::FILE* file, ImageHeader* source, uint32_t length) {
    ScreenState* s = screen;
    if (s == nullptr) return 1;
    if (source != nullptr && length == 0) return 2;

    int32_t result = 0;
    uint8_t head[5] = {0xFE};
    le32_put(head + 1, length);
    if (std::fwrite(head, 1, sizeof head, file) != sizeof head) result = 3;

    if (source != nullptr) {
        // Never more than the buffer holds, whatever length was asked for.
        size_t n = static_cast<size_t>(std::min<uint64_t>(length, image_buffer_bytes(source)));
        if (result == 0 && std::fwrite(source->bytes, 1, n, file) != n) result = 3;
        return result;
    }

    {
        ScreenLock lock;
        uint64_t page_bytes = static_cast<uint64_t>(s->height) * static_cast<uint64_t>(s->pitch);
        size_t n = static_cast<size_t>(std::min<uint64_t>(length, page_bytes));
        if (std::fwrite(s->pages[s->work_page], 1, n, file) != n) result = 3;
    }
    if (s->depth <= 8) {
        // 2^depth entries of red, green, blue, top byte.
        size_t entries = size_t{1} << s->depth;
        uint8_t bytes[256 * 4];
        for (size_t i = 0; i < entries; ++i) le32_put(bytes + 4 * i, s->palette[i]);
        if (std::fwrite(bytes, 4, entries, file) != entries) result = 3;
    }
    return result;
}

}  // namespace gfx
