// Process, command line, strings and exit handlers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/runtime.h"

namespace {

struct Args {
    std::vector<std::string> words;
    std::vector<char*> argv;
    explicit Args(std::vector<std::string> w) : words(std::move(w)) {
        for (auto& s : words) argv.push_back(&s[0]);
        argv.push_back(nullptr);
    }
    void install() { rt::runtime_init(static_cast<int>(words.size()), argv.data()); }
};

TEST(CommandLine, JoinsArgumentsWithSingleSpaces) {
    struct Case {
        std::vector<std::string> argv;
        std::string joined;
    } cases[] = {
        {{"prog"}, ""},
        {{"prog", "a", "b c", "d"}, "a b c d"},  // "b c" was one quoted argument
        {{"prog", "C:\\pics\\photo.bmp"}, "C:\\pics\\photo.bmp"},
        {{"prog", "", "x"}, " x"},
    };
    for (const auto& c : cases) {
        Args args(c.argv);
        args.install();
        EXPECT_EQ(rt::command_line(-1), c.joined);
    }
}

TEST(CommandLine, SingleArgumentsByIndex) {
    Args args({"prog", "one", "two words"});
    args.install();
    EXPECT_EQ(rt::command_line(0), "prog");
    EXPECT_EQ(rt::command_line(1), "one");
    EXPECT_EQ(rt::command_line(2), "two words");
    EXPECT_EQ(rt::command_line(3), "");
    EXPECT_EQ(rt::command_line(100), "");
}

TEST(ExecutableLocation, DirectoryAndNameSplitTheModulePath) {
    std::string path = platform::module_path();
    ASSERT_FALSE(path.empty());
    std::string dir = rt::exe_dir();
    std::string name = rt::exe_name();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), platform::path_separator());
    EXPECT_EQ(dir + platform::path_separator() + name, path);
    EXPECT_EQ(name.find(platform::path_separator()), std::string::npos);
    EXPECT_EQ(name.rfind("test_app", 0), 0u) << name;
}

TEST(Strings, Left) {
    struct Case {
        std::string s;
        int n;
        std::string expected;
    } cases[] = {
        {"abc", -1, ""},  // str_length - 4 of a 3-character text
        {"abc", 0, ""},   {"abc", 2, "ab"}, {"abc", 3, "abc"}, {"abc", 9, "abc"}, {"", 5, ""},
        {"C:\\pics\\photo.bmp", 13, "C:\\pics\\photo"},
    };
    for (const auto& c : cases) EXPECT_EQ(rt::str_left(c.s, c.n), c.expected) << c.s << " " << c.n;
}

TEST(Strings, TrimOnlySpacesAndTrailingNuls) {
    struct Case {
        std::string s;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"    ", ""},
        {"  a b  ", "a b"},
        {"\tx\t", "\tx\t"},  // tabs are kept
        {std::string("ab \0\0 ", 6), "ab"},
        {std::string("\0ab", 3), std::string("\0ab", 3)},  // a leading NUL is not a space
    };
    for (const auto& c : cases) EXPECT_EQ(rt::str_trim(c.s), c.expected);
}

TEST(Strings, CompareByUnsignedBytesThenLength) {
    EXPECT_EQ(rt::str_compare("abc", "abc"), 0);
    EXPECT_LT(rt::str_compare("abc", "abd"), 0);
    EXPECT_GT(rt::str_compare("\xFF", "a"), 0);  // 255 above 97, unsigned
    EXPECT_LT(rt::str_compare("ab", "abc"), 0);
    EXPECT_GT(rt::str_compare("abc", "ab"), 0);
    EXPECT_NE(rt::str_compare(std::string(1, 27), "1"), 0);
}

TEST(Strings, NumbersAndConcatenation) {
    struct Case {
        std::string s;
        double value;
    } cases[] = {{"", 0}, {"   ", 0}, {"7", 7}, {"  3", 3}, {"-2.5", -2.5}, {"12abc", 12}, {"1e2", 100}, {"x1", 0}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(rt::str_to_number(c.s), c.value) << c.s;
    EXPECT_EQ(rt::str_from_int(5), "5");
    EXPECT_EQ(rt::str_from_int(-42), "-42");
    EXPECT_EQ(rt::str_from_int(INT32_MIN), "-2147483648");
    EXPECT_EQ(rt::str_concat("ab", "cd"), "abcd");
    EXPECT_EQ(rt::str_length(std::string("a\0b", 3)), 3);
}

TEST(Runtime, InitSetsRoundToNearestWith64BitPrecision) {
    Args args({"prog"});
    args.install();
    uint16_t word = platform::fpu_control_word();
    EXPECT_EQ(word & 0x0300, 0x0300) << std::hex << word;  // precision: 64-bit mantissa
    EXPECT_EQ(word & 0x0C00, 0x0000) << std::hex << word;  // rounding: to nearest
    // Long double arithmetic then keeps 64 bits: 1 + 2^-63 is not 1.
    volatile long double one = 1.0L, tiny = 1.0L / 9223372036854775808.0L;
    EXPECT_NE(one + tiny, one);
}

void handler_a() { std::fputs("a", stderr); }
void handler_b() { std::fputs("b", stderr); }
void handler_c() { std::fputs("c", stderr); }

TEST(ProgramEnd, RunsExitHandlersInReverseOrderThenExitsWithTheCode) {
    EXPECT_EXIT(
        {
            rt::exit_handler_add(handler_a);
            rt::exit_handler_add(handler_b);
            rt::exit_handler_add(handler_c);
            rt::program_end(3);
        },
        testing::ExitedWithCode(3), "cba");
}

TEST(ProgramEnd, RuntimeHandlerReportsPendingMessageLast) {
    EXPECT_EXIT(
        {
            Args args({"prog"});
            args.install();
            rt::exit_handler_add(handler_a);
            rt::error_message_set("pending trouble");
            rt::program_end(0);
        },
        testing::ExitedWithCode(0), "apending trouble");
}

}  // namespace
