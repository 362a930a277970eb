// Display driver records of the tests' own: they count calls, log them in
// order, and fail init on demand, so screen opening's driver search and the
// lock idiom can be checked without a window system.
#pragma once

#include <string>
#include <vector>

#include "gfx/drivers/driver.h"

namespace test_support {

struct InitCall {
    std::string title;
    int width, height, depth, refresh;
    int flags;
};

struct FakeDriverState {
    // Configuration.
    int fail_inits = 0;          // this many init calls fail before one succeeds
    bool fail_with_refresh = false;  // init fails whenever refresh != 0
    bool refuse_opengl = false;  // init fails when the opengl flag is set
    bool require_opengl = false; // init fails when the opengl flag is clear
    // Counters.
    int init_calls = 0, exit_calls = 0, lock_calls = 0, unlock_calls = 0;
    int flip_calls = 0, vsync_calls = 0, lock_depth = 0, max_lock_depth = 0;
    std::vector<InitCall> inits;
    std::vector<std::vector<int>> palette_calls;  // {index, r, g, b}
    std::string title_set;
};

// Three distinct fake records (index 0..2), named after the real drivers by
// default, and a log of every init/exit call across them ("GDI.init r60 f0",
// "GDI.exit").
FakeDriverState& fake_state(int index);
const gfx::DisplayDriver* fake_driver(int index);
// A variant of record `index` that also has a flip operation.
const gfx::DisplayDriver* fake_driver_with_flip(int index);
std::vector<std::string>& fake_log();

// Clears every fake driver's state and the log.
void fake_reset();

// Points gfx::driver_list at the given records for its lifetime.
class ScopedDriverList {
public:
    explicit ScopedDriverList(std::vector<const gfx::DisplayDriver*> drivers);
    ~ScopedDriverList();

private:
    std::vector<const gfx::DisplayDriver*> list_;
    const gfx::DisplayDriver* const* saved_;
};

}  // namespace test_support
