#include "tests/support/fake_driver.h"

#include <cstdio>

namespace test_support {
namespace {

const char* const kNames[3] = {"DirectX", "GDI", "OpenGL"};
FakeDriverState g_states[3];
std::vector<std::string> g_log;

template <int N>
struct Fake {
    static int init(const char* title, int width, int height, int depth, int refresh, int32_t flags) {
        FakeDriverState& s = g_states[N];
        ++s.init_calls;
        s.inits.push_back({title ? title : "", width, height, depth, refresh, flags});
        char line[96];
        std::snprintf(line, sizeof line, "%s.init r%d f%d", kNames[N], refresh, static_cast<int>(flags));
        g_log.push_back(line);
        if (s.fail_inits > 0) {
            --s.fail_inits;
            return -1;
        }
        if (s.fail_with_refresh && refresh != 0) return -1;
        if (s.refuse_opengl && (flags & gfx::ScreenFlags::opengl)) return -1;
        if (s.require_opengl && !(flags & gfx::ScreenFlags::opengl)) return -1;
        return 0;
    }
    static void exit() {
        ++g_states[N].exit_calls;
        g_log.push_back(std::string(kNames[N]) + ".exit");
    }
    static void lock() {
        FakeDriverState& s = g_states[N];
        ++s.lock_calls;
        ++s.lock_depth;
        if (s.lock_depth > s.max_lock_depth) s.max_lock_depth = s.lock_depth;
    }
    static void unlock() {
        ++g_states[N].unlock_calls;
        --g_states[N].lock_depth;
    }
    static void set_palette(int index, int r, int g, int b) {
        g_states[N].palette_calls.push_back({index, r, g, b});
    }
    static void wait_vsync() { ++g_states[N].vsync_calls; }
    static void set_window_title(const char* title) { g_states[N].title_set = title; }
    static void flip() { ++g_states[N].flip_calls; }

    static constexpr gfx::DisplayDriver record = {
        kNames[N], init, exit, lock, unlock, set_palette, wait_vsync,
        nullptr, nullptr, set_window_title, nullptr, nullptr};
    static constexpr gfx::DisplayDriver flip_record = {
        kNames[N], init, exit, lock, unlock, set_palette, wait_vsync,
        nullptr, nullptr, set_window_title, nullptr, flip};
};

}  // namespace

FakeDriverState& fake_state(int index) { return g_states[index]; }

const gfx::DisplayDriver* fake_driver(int index) {
    switch (index) {
        case 0: return &Fake<0>::record;
        case 1: return &Fake<1>::record;
        default: return &Fake<2>::record;
    }
}

const gfx::DisplayDriver* fake_driver_with_flip(int index) {
    switch (index) {
        case 0: return &Fake<0>::flip_record;
        case 1: return &Fake<1>::flip_record;
        default: return &Fake<2>::flip_record;
    }
}

std::vector<std::string>& fake_log() { return g_log; }

void fake_reset() {
    for (auto& s : g_states) s = FakeDriverState();
    g_log.clear();
}

ScopedDriverList::ScopedDriverList(std::vector<const gfx::DisplayDriver*> drivers)
    : list_(std::move(drivers)), saved_(gfx::driver_list) {
    list_.push_back(nullptr);
    gfx::driver_list = list_.data();
}

ScopedDriverList::~ScopedDriverList() { gfx::driver_list = saved_; }

}  // namespace test_support
