// The driver records of this build.
#include <gtest/gtest.h>

#include <string>

#include "gfx/drivers/driver.h"

namespace {

TEST(NullDriver, HasOnlyTheAlwaysCalledOperations) {
    const gfx::DisplayDriver& d = gfx::null_driver;
    EXPECT_STREQ(d.name, "Null");
    EXPECT_NE(d.lock, nullptr);
    EXPECT_NE(d.unlock, nullptr);
    EXPECT_NE(d.set_palette, nullptr);
    EXPECT_EQ(d.init, nullptr);
    EXPECT_EQ(d.exit, nullptr);
    EXPECT_EQ(d.wait_vsync, nullptr);
    EXPECT_EQ(d.get_mouse, nullptr);
    EXPECT_EQ(d.set_mouse, nullptr);
    EXPECT_EQ(d.set_window_title, nullptr);
    EXPECT_EQ(d.fetch_modes, nullptr);
    EXPECT_EQ(d.flip, nullptr);
    d.lock();
    d.set_palette(5, 1, 2, 3);
    d.unlock();
}

TEST(DriverList, EveryListedDriverCanBeOpenedAndClosed) {
    int count = 0;
    for (const gfx::DisplayDriver* const* d = gfx::driver_list; *d != nullptr; ++d, ++count) {
        EXPECT_NE((*d)->name, nullptr);
        EXPECT_NE((*d)->init, nullptr) << (*d)->name;
        EXPECT_NE((*d)->exit, nullptr) << (*d)->name;
        EXPECT_NE((*d)->lock, nullptr) << (*d)->name;
        EXPECT_NE((*d)->unlock, nullptr) << (*d)->name;
        EXPECT_NE((*d)->set_palette, nullptr) << (*d)->name;
        EXPECT_NE(std::string((*d)->name), "Null");
    }
#ifndef _WIN32
    EXPECT_EQ(count, 0) << "the native build has no window drivers";
#endif
}

}  // namespace
