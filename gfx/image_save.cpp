// image_save: creates the file and hands it to the BMP or the dump writer by
// the name's extension.
#include "gfx/image_save.h"

#include "app/runtime.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"

namespace gfx {

bool image_save_is_bmp_name(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4) return false;
    const char* ext = name.c_str() + dot + 1;
    auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    return lower(ext[0]) == 'b' && lower(ext[1]) == 'm' && lower(ext[2]) == 'p';
}

int32_t image_save(const std::string& name, ImageHeader* source, uint32_t length) {
    int32_t result;
    if (screen == nullptr) {
        result = rt::ERR_ILLEGAL;
    } else if (std::FILE* file = std::fopen(name.c_str(), "wb"); file == nullptr) {
        result = rt::ERR_FILE_NOT_FOUND;
    } else {
        // The screen's first line is then the start of the work page.
        target_select(nullptr);
        result = image_save_is_bmp_name(name) ? bmp_save(file, source) : dump_save(file, source, length);
        // Buffered bytes that cannot be written surface when closing.
        if (std::fclose(file) != 0 && result == rt::ERR_NONE) result = rt::ERR_BAD_FILE;
    }
    rt::error_set(result);
    return result;
}

}  // namespace gfx
