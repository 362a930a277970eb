// Image buffers.
#include "gfx/image.h"

#include <cstdlib>

#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace gfx {

void image_header_set(ImageHeader* image, uint32_t bpp, uint32_t width, uint32_t height) {
    uint32_t first = (bpp + (width << 3)) & 0xFFFF;
    image->bytes[0] = static_cast<uint8_t>(first);
    image->bytes[1] = static_cast<uint8_t>(first >> 8);
    image->bytes[2] = static_cast<uint8_t>(height);
    image->bytes[3] = static_cast<uint8_t>(height >> 8);
}

ImageHeader* image_create(int32_t width, int32_t height, uint32_t colour) {
    if (screen == nullptr) return nullptr;
    if (static_cast<uint32_t>(width) - 1 > IMAGE_MAX_WIDTH - 1 || height < 1 ||
        static_cast<uint32_t>(height) > IMAGE_MAX_HEIGHT) {
        return nullptr;
    }
    uint32_t fill;
    if (colour == DEFAULT_COLOUR) {
        fill = screen->bytes_per_pixel == 1 ? 0 : colour_to_pixel(0xFF00FF);
    } else {
        fill = colour_to_pixel(colour);
    }
    size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    size_t bytes = 4 + pixels * static_cast<size_t>(screen->bytes_per_pixel);
    auto* image = static_cast<ImageHeader*>(std::malloc(bytes));
    if (image == nullptr) return nullptr;
    span_fill(image_pixels(image), fill, pixels);
    image_header_set(image, static_cast<uint32_t>(screen->bytes_per_pixel), static_cast<uint32_t>(width),
                     static_cast<uint32_t>(height));
    return image;
}

void image_destroy(ImageHeader* image) {
    if (image == nullptr) return;
    if (screen != nullptr && screen->target == image) target_select(nullptr);
    std::free(image);
}

}  // namespace gfx
