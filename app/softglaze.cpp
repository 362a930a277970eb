// The Softglaze tool: start-up and logo, the one-key prompt, the box blur
// and the output file.
#include "app/softglaze.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

bool escape_held() { return rt::console_key_down(ESCAPE_SCANCODE) != 0; }

// s / n rounded to nearest, ties to even, for the exact quotient of two
// non-negative integers.
uint32_t round_quotient(uint32_t s, uint32_t n, uint32_t q) {
    uint32_t twice_rest = 2 * (s - q * n);
    if (twice_rest > n || (twice_rest == n && (q & 1))) ++q;
    return q;
}

uint32_t round_div(uint32_t s, uint32_t n) { return round_quotient(s, n, s / n); }

// Exact division by a count n through a multiplication: with
// m = ceil(2^32 / n), floor(s * m / 2^32) = floor(s / n) whenever s * n < 2^32,
// which holds for every window sum here (s < 2^17, n < 2^9).
struct Divider {
    uint32_t n;
    uint64_t m;
    explicit Divider(uint32_t count) : n(count), m(((uint64_t{1} << 32) + count - 1) / count) {}
    uint32_t operator()(uint32_t s) const { return round_quotient(s, n, static_cast<uint32_t>((s * m) >> 32)); }
};

// A pixel's three colour channels in one 64-bit word, 21 bits apiece, so
// window sums of all three advance with one addition. The largest sum,
// (19 * 19 + 1) * 255, fits in 21 bits.
constexpr int kLane = 21;
constexpr uint64_t kLaneMask = (uint64_t{1} << kLane) - 1;

inline uint64_t spread(uint32_t p) {
    return (p & 0xFF) | (static_cast<uint64_t>((p >> 8) & 0xFF) << kLane) |
           (static_cast<uint64_t>((p >> 16) & 0xFF) << (2 * kLane));
}

inline uint32_t load_pixel(const uint8_t* row, int32_t x) {
    uint32_t p;
    std::memcpy(&p, row + static_cast<size_t>(x) * 4, 4);
    return p;
}

inline uint32_t average(uint64_t sum, const Divider& div) {
    uint32_t b = div(static_cast<uint32_t>(sum & kLaneMask));
    uint32_t g = div(static_cast<uint32_t>((sum >> kLane) & kLaneMask));
    uint32_t r = div(static_cast<uint32_t>(sum >> (2 * kLane)));
    return (r << 16) | (g << 8) | b;
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

bool blur_per_neighbour(gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height,
                        int radius) {
    gfx::ScreenState* s = gfx::screen;
    if (s == nullptr) return true;  // no screen: nothing can be read or written

    // Only positions inside the output's clip rectangle can be written; the
    // others would only be read, so the outer loops skip them.
    if (gfx::target_select(output) != output) return true;
    int32_t x_begin = std::max(0, s->view_x), y_begin = std::max(0, s->view_y);
    int32_t x_end = static_cast<int32_t>(std::min<int64_t>(width, int64_t{s->view_x} + s->view_w));
    int32_t y_end = static_cast<int32_t>(std::min<int64_t>(height, int64_t{s->view_y} + s->view_h));

    for (int32_t x = x_begin; x < x_end; ++x) {
        for (int32_t y = y_begin; y < y_end; ++y) {
            uint32_t c = static_cast<uint32_t>(gfx::pixel_get(source, static_cast<float>(x), static_cast<float>(y)));
            uint32_t r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255, n = 1;
            for (int32_t i = x - radius; i <= x + radius; ++i) {
                for (int32_t j = y - radius; j <= y + radius; ++j) {
                    if (i < 0 || i >= width || j < 0 || j >= height) continue;
                    c = static_cast<uint32_t>(gfx::pixel_get(source, static_cast<float>(i), static_cast<float>(j)));
                    r += (c >> 16) & 255;
                    g += (c >> 8) & 255;
                    b += c & 255;
                    ++n;
                    if (escape_held()) return false;
                }
            }
            uint32_t value = (round_div(r, n) << 16) | (round_div(g, n) << 8) | round_div(b, n);
            gfx::pixel_set(output, static_cast<float>(x), static_cast<float>(y), value, gfx::REL_ABSOLUTE, 0);
        }
    }
    return true;
}

bool blur_fast(const gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height,
               int radius) {
    if (width <= 0 || height <= 0) return true;
    const size_t pitch = static_cast<size_t>(width) * 4;
    const uint8_t* in = gfx::image_pixels(source);
    uint8_t* out = gfx::image_pixels(output);
    auto row = [&](int32_t y) { return in + static_cast<size_t>(y) * pitch; };

    // Dividers for every count a window can have: rows * columns + 1.
    const int span = 2 * radius + 1;
    std::vector<Divider> dividers;
    dividers.reserve(static_cast<size_t>(span * span + 2));
    for (int n = 0; n <= span * span + 1; ++n) dividers.emplace_back(n == 0 ? 1u : static_cast<uint32_t>(n));

    // column[x]: the sum over the window's rows of column x.
    std::vector<uint64_t> column(static_cast<size_t>(width), 0);
    for (int32_t y = 0; y <= radius && y < height; ++y) {
        const uint8_t* r = row(y);
        for (int32_t x = 0; x < width; ++x) column[x] += spread(load_pixel(r, x));
    }

    for (int32_t y = 0; y < height; ++y) {
        if (escape_held()) return false;
        if (y > 0) {
            if (y + radius < height) {
                const uint8_t* r = row(y + radius);
                for (int32_t x = 0; x < width; ++x) column[x] += spread(load_pixel(r, x));
            }
            if (y - radius - 1 >= 0) {
                const uint8_t* r = row(y - radius - 1);
                for (int32_t x = 0; x < width; ++x) column[x] -= spread(load_pixel(r, x));
            }
        }
        const int rows = std::min(y + radius, height - 1) - std::max(y - radius, 0) + 1;
        const uint8_t* centre = row(y);
        uint8_t* target = out + static_cast<size_t>(y) * pitch;

        uint64_t sum = 0;
        for (int32_t x = 0; x <= radius && x < width; ++x) sum += column[x];
        // Left edge, interior (full window, one divider), right edge.
        const int32_t interior_begin = std::min(radius + 1, width);
        const int32_t interior_end = std::max(interior_begin, width - radius);
        auto edge = [&](int32_t x) {
            if (x > 0) {
                if (x + radius < width) sum += column[x + radius];
                if (x - radius - 1 >= 0) sum -= column[x - radius - 1];
            }
            int cols = std::min(x + radius, width - 1) - std::max(x - radius, 0) + 1;
            uint32_t v = average(sum + spread(load_pixel(centre, x)), dividers[rows * cols + 1]);
            std::memcpy(target + static_cast<size_t>(x) * 4, &v, 4);
        };
        int32_t x = 0;
        for (; x < interior_begin; ++x) edge(x);
        const Divider& full = dividers[rows * span + 1];
        for (; x < interior_end; ++x) {
            sum += column[x + radius];
            sum -= column[x - radius - 1];
            uint32_t v = average(sum + spread(load_pixel(centre, x)), full);
            std::memcpy(target + static_cast<size_t>(x) * 4, &v, 4);
        }
        for (; x < width; ++x) edge(x);
    }
    return true;
}

bool box_blur(gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height, int radius) {
    bool fast = source != nullptr && output != nullptr && gfx::screen != nullptr &&
                gfx::screen->bytes_per_pixel == 4 && gfx::image_width(source) == static_cast<uint32_t>(width) &&
                gfx::image_height(source) == static_cast<uint32_t>(height) &&
                gfx::image_width(output) == static_cast<uint32_t>(width) &&
                gfx::image_height(output) == static_cast<uint32_t>(height);
    if (fast) return blur_fast(source, output, width, height, radius);
    return blur_per_neighbour(source, output, width, height, radius);
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
