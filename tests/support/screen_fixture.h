// Opening screens in tests: on the null driver, or on the tests' own driver
// records; and control over the KWGFX environment variable.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_driver.h"

namespace test_support {

// Sets (or with nullopt removes) an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> saved_;
};

void env_set(const char* name, const std::optional<std::string>& value);

// The open screen's dirty flags: clear them all, or list the lines marked.
void clear_dirty();
std::vector<int> dirty_lines();
// The stored pixel at (x, y) of a page of the open screen (-1: the work page).
uint32_t page_pixel(int x, int y, int page = -1);
// A file name of the running test's own, `prefix` + test name + `suffix`,
// so tests running side by side in one directory never share a file.
std::string test_file_name(const std::string& prefix, const std::string& suffix);
// first, first + 1, ..., end - 1.
std::vector<int> int_range(int first, int end);

// Base fixture: KWGFX removed, the fake drivers reset and listed as the
// build's drivers, plain routines allowed; closes any screen at the end.
class ScreenTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a free-size screen on the null driver; fails the test if none.
    void open_null(int width, int height, int depth, int pages = 1);
    // Opens a free-size screen on fake driver 0 (which counts lock calls).
    void open_fake(int width, int height, int depth, int pages = 1);

    std::unique_ptr<ScopedEnv> kwgfx_;
    std::unique_ptr<ScopedDriverList> drivers_;
};

}  // namespace test_support
