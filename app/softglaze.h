// Softglaze: opens a 150 x 50 window, shows the logo, asks for a blur radius
// by one key, box-blurs the BMP file named on the command line and saves the
// result beside it as <name>_sg_<digit>.bmp. Every way out ends the process
// with code 0.
#pragma once

#include <cstdint>
#include <string>

namespace gfx {
struct ImageHeader;
}

namespace softglaze {

// Width and height read from the header of the last file given to
// load_bmp_file (0 when they could not be read).
extern int32_t loaded_width;
extern int32_t loaded_height;

// The tool's fixed values.
constexpr const char* WINDOW_TITLE = "Softglaze";
constexpr int SCREEN_WIDTH = 150;
constexpr int SCREEN_HEIGHT = 50;
constexpr uint32_t TEXT_FOREGROUND = 0xFFFFFF;
constexpr uint32_t TEXT_BACKGROUND = 0x0245D0;
constexpr const char* LOGO_PATH = "/res/logo.bmp";  // under the executable's directory

// Reads biWidth and biHeight from the file's header, creates an image of
// that size and loads the file into it (onto the screen when no image could
// be made). Returns the image or null.
gfx::ImageHeader* load_bmp_file(const std::string& name);

// Opens the screen and draws the logo: the start-up phase.
void start_up();

// Shows a blank cell, waits for one character, shows it, until the text is
// "1".."9" or Escape (27). Returns that text.
std::string prompt_for_key();

// The output name: the command text without its last 4 characters, then
// "_sg_", the radius and ".bmp".
std::string output_name(const std::string& command_text, int radius);

// The whole tool; never returns.
[[noreturn]] void run(int argc, char** argv);

}  // namespace softglaze
