// Platform services for Windows.
#include "app/platform.h"

#include <float.h>
#include <windows.h>

namespace platform {

std::string module_path() {
    char buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(buffer, n);
}

char path_separator() { return '\\'; }

std::string native_file_name(const std::string& name) {
    std::string result = name;
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    return result;
}

void sleep_ms(int ms) {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

void fpu_set_round_nearest_64() { _control87(_PC_64 | _RC_NEAR, _MCW_PC | _MCW_RC); }

uint16_t fpu_control_word() {
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

void beep(int hz, int ms) { Beep(static_cast<DWORD>(hz), static_cast<DWORD>(ms)); }

int64_t now_ms() { return static_cast<int64_t>(GetTickCount64()); }

}  // namespace platform
