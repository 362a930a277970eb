// Numbered binary files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/runtime.h"
#include "tests/support/screen_fixture.h"

namespace {

class Files : public testing::Test {
protected:
    void SetUp() override {
        rt::file_close_all();
        path_ = test_support::test_file_name("files_", ".bin");  // tests run side by side
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (int i = 1; i <= 24; ++i) std::fputc(i, f);
        std::fclose(f);
        rt::error_set(0);
    }
    void TearDown() override {
        rt::file_close_all();
        std::remove(path_.c_str());
    }
    std::string path_;
};

TEST_F(Files, ReadPastTheEndGivesZeros) {
    ASSERT_EQ(rt::file_open(path_, 1), 0);
    unsigned char out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(rt::file_get(1, 23, out, 4), 0);
    EXPECT_EQ(out[0], 23);
    EXPECT_EQ(out[1], 24);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
    // Wholly beyond the end: all zeros, no error.
    unsigned char far[2] = {9, 9};
    EXPECT_EQ(rt::file_get(1, 1000, far, 2), 0);
    EXPECT_EQ(far[0], 0);
    EXPECT_EQ(far[1], 0);
    EXPECT_EQ(rt::error_get(), 0);
}

TEST_F(Files, PositionZeroReadsOnFromTheCurrentPlace) {
    ASSERT_EQ(rt::file_open(path_, 3), 0);
    unsigned char a[2], b[2];
    rt::file_get(3, 19, a, 2);
    rt::file_get(3, 0, b, 2);
    EXPECT_EQ(a[0], 19);
    EXPECT_EQ(a[1], 20);
    EXPECT_EQ(b[0], 21);
    EXPECT_EQ(b[1], 22);
}

TEST_F(Files, NumbersAndErrors) {
    EXPECT_EQ(rt::file_free_number(), 1);
    ASSERT_EQ(rt::file_open(path_, 1), 0);
    EXPECT_EQ(rt::file_free_number(), 2);

    // A number in use: error 1.
    EXPECT_EQ(rt::file_open(path_, 1), 1);
    EXPECT_EQ(rt::error_get(), 1);

    // A missing file: error 2, and the number stays free.
    rt::error_set(0);
    EXPECT_EQ(rt::file_open("no/such/file.bmp", 2), 2);
    EXPECT_EQ(rt::error_get(), 2);
    EXPECT_EQ(rt::file_free_number(), 2);

    // Out-of-range numbers: error 1.
    for (int number : {0, -1, 255}) {
        rt::error_set(0);
        EXPECT_EQ(rt::file_open(path_, number), 1) << number;
    }

    // Reading a closed number leaves the destination alone.
    unsigned char out[3] = {7, 7, 7};
    rt::error_set(0);
    EXPECT_EQ(rt::file_get(5, 1, out, 3), 1);
    EXPECT_EQ(rt::error_get(), 1);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[2], 7);

    EXPECT_EQ(rt::file_close(1), 0);
    EXPECT_EQ(rt::file_close(1), 1);
    EXPECT_EQ(rt::file_free_number(), 1);
}

TEST_F(Files, AllNumbersInUse) {
    for (int n = 1; n <= rt::FILE_NUMBER_MAX; ++n) ASSERT_EQ(rt::file_open(path_, n), 0) << n;
    EXPECT_EQ(rt::file_free_number(), 0);
    rt::file_close(77);
    EXPECT_EQ(rt::file_free_number(), 77);
}

TEST_F(Files, SlashesInNamesWork) {
    // "/" is a separator on both platforms (turned into "\" on Windows).
    std::string nested = "./" + path_;
    EXPECT_EQ(rt::file_open(nested, 4), 0);
    unsigned char b = 0;
    rt::file_get(4, 24, &b, 1);
    EXPECT_EQ(b, 24);
}

}  // namespace
