#include "tests/support/screen_fixture.h"

#include <cstdlib>
#include <cstring>

#include "app/runtime.h"
#include "gfx/modes.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace test_support {

void env_set(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
#endif
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    env_set(name, value);
}

ScopedEnv::~ScopedEnv() { env_set(name_.c_str(), saved_); }

void clear_dirty() {
    gfx::ScreenState* s = gfx::screen;
    std::memset(s->dirty, 0, static_cast<size_t>(s->height) * static_cast<size_t>(s->scanline_mult));
}

std::vector<int> dirty_lines() {
    std::vector<int> lines;
    for (int y = 0; y < gfx::screen->height * gfx::screen->scanline_mult; ++y) {
        if (gfx::screen->dirty[y]) lines.push_back(y);
    }
    return lines;
}

uint32_t page_pixel(int x, int y, int page) {
    const gfx::ScreenState* s = gfx::screen;
    if (page < 0) page = s->work_page;
    const uint8_t* p = s->pages[page] + static_cast<size_t>(y) * s->pitch + static_cast<size_t>(x) * s->bytes_per_pixel;
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(s->bytes_per_pixel));  // little-endian, like the pixels
    return v;
}

std::string test_file_name(const std::string& prefix, const std::string& suffix) {
    return prefix + testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

std::vector<int> int_range(int first, int end) {
    std::vector<int> v;
    for (int y = first; y < end; ++y) v.push_back(y);
    return v;
}

void ScreenTest::SetUp() {
    gfx::screen_close();
    fake_reset();
    kwgfx_ = std::make_unique<ScopedEnv>("KWGFX", std::nullopt);
    drivers_ = std::make_unique<ScopedDriverList>(
        std::vector<const gfx::DisplayDriver*>{fake_driver(0), fake_driver(1), fake_driver(2)});
    gfx::simd_force_plain(false);
    rt::error_set(0);
}

void ScreenTest::TearDown() {
    gfx::screen_close();
    gfx::simd_force_plain(false);
    drivers_.reset();
    kwgfx_.reset();
}

void ScreenTest::open_null(int width, int height, int depth, int pages) {
    gfx::screen_res(width, height, depth, pages, -1, 0);
    ASSERT_NE(gfx::screen, nullptr) << "screen " << width << "x" << height << "x" << depth;
}

void ScreenTest::open_fake(int width, int height, int depth, int pages) {
    gfx::screen_res(width, height, depth, pages, 0, 0);
    ASSERT_NE(gfx::screen, nullptr) << "screen " << width << "x" << height << "x" << depth;
    ASSERT_EQ(gfx::screen->driver, fake_driver(0));
}

}  // namespace test_support

// Under AddressSanitizer an allocation that cannot be served returns null
// instead of aborting, so tests can check how the library handles it.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif
