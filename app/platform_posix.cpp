// Platform services for POSIX systems (the native test build).
#include "app/platform.h"

#include <fpu_control.h>
#include <time.h>
#include <unistd.h>

#include <climits>

namespace platform {

std::string module_path() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

char path_separator() { return '/'; }

std::string native_file_name(const std::string& name) { return name; }

void sleep_ms(int ms) {
    if (ms <= 0) return;
    timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

void fpu_set_round_nearest_64() {
    fpu_control_t word;
    _FPU_GETCW(word);
    word = static_cast<fpu_control_t>((word & ~(_FPU_EXTENDED | _FPU_RC_ZERO)) | _FPU_EXTENDED |
                                      _FPU_RC_NEAREST);
    _FPU_SETCW(word);
}

uint16_t fpu_control_word() {
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

void beep(int, int) {
    // No tone generator here; ring the terminal bell when there is a terminal.
    if (isatty(STDERR_FILENO)) {
        ssize_t written = write(STDERR_FILENO, "\a", 1);
        (void)written;
    }
}

int64_t now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

}  // namespace platform
