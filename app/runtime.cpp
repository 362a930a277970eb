// Process, command line, executable location, strings, error number and
// exit handlers.
#include "app/runtime.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/platform.h"

namespace rt {
namespace {

int g_error = 0;
std::string g_error_message;

int g_argc = 0;
char** g_argv = nullptr;
bool g_initialised = false;

std::vector<void (*)()>& exit_handlers() {
    static std::vector<void (*)()> handlers;
    return handlers;
}

// The runtime's own exit handler: reports a pending error message.
void runtime_exit_handler() {
    if (!g_error_message.empty()) {
        std::fputs(g_error_message.c_str(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        g_error_message.clear();
    }
}

void default_beep() { platform::beep(1000, 250); }

}  // namespace

void (*beep)() = default_beep;

void error_set(int code) { g_error = code; }
int error_get() { return g_error; }
void error_message_set(const std::string& text) { g_error_message = text; }

void runtime_init(int argc, char** argv) {
    g_argc = argc;
    g_argv = argv;
    if (g_initialised) return;
    g_initialised = true;
    file_close_all();
    platform::fpu_set_round_nearest_64();
    exit_handler_add(runtime_exit_handler);
}

void exit_handler_add(void (*handler)()) { exit_handlers().push_back(handler); }

void exit_handlers_run() {
    auto& handlers = exit_handlers();
    while (!handlers.empty()) {
        void (*handler)() = handlers.back();
        handlers.pop_back();
        handler();
    }
}

void program_end(int code) {
    exit_handlers_run();
    std::fflush(nullptr);
    std::exit(code);
}

std::string command_line(int index) {
    if (index < 0) {
        // Measure first, then append, a space after every argument but the last.
        size_t total = 0;
        for (int i = 1; i < g_argc; ++i) total += std::char_traits<char>::length(g_argv[i]) + 1;
        std::string joined;
        joined.reserve(total);
        for (int i = 1; i < g_argc; ++i) {
            joined += g_argv[i];
            if (i + 1 < g_argc) joined += ' ';
        }
        return joined;
    }
    if (index < g_argc && g_argv != nullptr && g_argv[index] != nullptr) return g_argv[index];
    return std::string();
}

std::string exe_dir() {
    std::string path = platform::module_path();
    size_t cut = path.rfind(platform::path_separator());
    if (cut == std::string::npos) return std::string();
    return path.substr(0, cut);
}

std::string exe_name() {
    std::string path = platform::module_path();
    size_t cut = path.rfind(platform::path_separator());
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.size() > 127) name.resize(127);
    return name;
}

std::string str_concat(const std::string& a, const std::string& b) { return a + b; }

int str_compare(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int str_length(const std::string& s) { return static_cast<int>(s.size()); }

std::string str_left(const std::string& s, int n) {
    if (n <= 0 || s.empty()) return std::string();
    if (static_cast<size_t>(n) >= s.size()) return s;
    return s.substr(0, static_cast<size_t>(n));
}

std::string str_trim(const std::string& s) {
    size_t begin = 0;
    while (begin < s.size() && s[begin] == ' ') ++begin;
    size_t end = s.size();
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\0')) --end;
    return s.substr(begin, end - begin);
}

double str_to_number(const std::string& s) {
    // Plain decimal syntax only: sign, digits, fraction, exponent.
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    size_t start = i;
    auto digit = [&](size_t k) { return k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])); };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool any = false;
    while (digit(i)) ++i, any = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (digit(i)) ++i, any = true;
    }
    if (!any) return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (digit(k)) {
            while (digit(k)) ++k;
            i = k;
        }
    }
    std::string number = s.substr(start, i - start);
    return std::strtod(number.c_str(), nullptr);
}

std::string str_from_int(int32_t v) { return std::to_string(v); }

void sleep_ms(int ms) {
    if (hooks.hook_sleep != nullptr) {
        hooks.hook_sleep(ms);
    } else {
        platform::sleep_ms(ms);
    }
}

}  // namespace rt
