// The Softglaze tool: start-up and logo, the one-key prompt, the blur and
// the output file.
#include "app/softglaze.h"

#include "app/box_blur.h"
#include "app/runtime.h"
#include "gfx/blit.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/image_save.h"
#include "gfx/modes.h"
#include "gfx/pages.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace softglaze {

int32_t loaded_width = 0;
int32_t loaded_height = 0;

namespace {

const char* const kAccepted[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "\x1b"};
const std::string kEscape = "\x1b";

int32_t read_le32(const uint8_t* b) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

}  // namespace

gfx::ImageHeader* load_bmp_file(const std::string& name) {
    int number = rt::file_free_number();
    rt::file_open(name, number);
    uint8_t width_bytes[4] = {0, 0, 0, 0};
    uint8_t height_bytes[4] = {0, 0, 0, 0};
    rt::file_get(number, 19, width_bytes, 4);
    rt::file_get(number, 23, height_bytes, 4);
    rt::file_close(number);
    int32_t width = read_le32(width_bytes);
    int32_t height = read_le32(height_bytes);
    gfx::ImageHeader* image = gfx::image_create(width, height, gfx::DEFAULT_COLOUR);
    gfx::image_load(name, image);
    loaded_width = width;
    loaded_height = height;
    return image;
}

void start_up() {
    gfx::window_title(WINDOW_TITLE);
    gfx::screen_res(SCREEN_WIDTH, SCREEN_HEIGHT, 32, 2, 0, 0);
    gfx::ImageHeader* logo = load_bmp_file(rt::exe_dir() + LOGO_PATH);  // kept to the end
    gfx::put_image(nullptr, 0, 0, logo, gfx::SOURCE_WHOLE, 0, 0, 0, gfx::REL_ABSOLUTE, gfx::BLIT_COPY, -1,
                   nullptr);
    gfx::page_copy(-1, -1);
    rt::console_colour(static_cast<int32_t>(TEXT_FOREGROUND), static_cast<int32_t>(TEXT_BACKGROUND));
}

std::string prompt_for_key() {
    std::string key;
    for (;;) {
        rt::console_locate(1, 1, -1);
        rt::console_print(" ", true);
        gfx::page_copy(-1, -1);
        key = rt::console_read_chars(1);
        if (key.empty()) return kEscape;  // the text console's input ended: nothing more will come
        rt::console_locate(1, 1, -1);
        rt::console_print(key, true);
        gfx::page_copy(-1, -1);
        int matches = 0;
        for (const char* accepted : kAccepted) matches += rt::str_compare(key, accepted) == 0;
        if (matches != 0) return key;
    }
}

std::string output_name(const std::string& command_text, int radius) {
    std::string kept = rt::str_left(command_text, rt::str_length(command_text) - 4);
    return kept + "_sg_" + rt::str_trim(rt::str_from_int(radius)) + ".bmp";
}

void run(int argc, char** argv) {
    rt::runtime_init(argc, argv);
    start_up();

    std::string key = prompt_for_key();
    if (key == kEscape) rt::program_end(0);
    int radius = static_cast<int>(rt::str_to_number(key));
    if (rt::str_length(rt::str_trim(rt::command_line(-1))) == 0) rt::program_end(0);

    gfx::ImageHeader* input = load_bmp_file(rt::command_line(-1));
    gfx::ImageHeader* output = gfx::image_create(loaded_width, loaded_height, gfx::DEFAULT_COLOUR);
    if (!box_blur(input, output, loaded_width, loaded_height, radius)) rt::program_end(0);

    gfx::image_save(output_name(rt::command_line(-1), radius), output, 0);
    gfx::image_destroy(input);
    gfx::image_destroy(output);
    rt::program_end(0);
}

}  // namespace softglaze
