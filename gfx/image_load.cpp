// image_load: opens the file and hands it to the BMP or the dump reader by
// its first byte.
#include "gfx/image_load.h"

#include "app/runtime.h"
#include "gfx/image.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"

namespace gfx {

uint64_t image_buffer_bytes(const ImageHeader* image) {
    uint64_t bpp = image_bpp(image);
    if (bpp == 0) bpp = screen != nullptr ? static_cast<uint64_t>(screen->bytes_per_pixel) : 1;
    return 4 + static_cast<uint64_t>(image_width(image)) * image_height(image) * bpp;
}

int32_t image_load(const std::string& name, ImageHeader* destination) {
    if (destination == nullptr && screen == nullptr) {
        rt::error_set(rt::ERR_ILLEGAL);
        return rt::ERR_ILLEGAL;
    }
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        rt::error_set(rt::ERR_FILE_NOT_FOUND);
        return rt::ERR_FILE_NOT_FOUND;
    }
    // Screen loads address the work page through the screen's line table.
    if (screen != nullptr) target_select(nullptr);

    int first = std::fgetc(file);
    int32_t result;
    if (first == 'B') {
        result = bmp_load(file, destination);
        std::fclose(file);
        return result;  // the BMP reader leaves the error number alone
    }
    if (first == 0xFD || first == 0xFE) {
        result = dump_load(file, first, destination);
    } else {
        result = rt::ERR_BAD_FILE;
    }
    std::fclose(file);
    rt::error_set(result);
    return result;
}

}  // namespace gfx
