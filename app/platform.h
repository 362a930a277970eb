// The few operating-system services the runtime needs. One implementation
// per platform: platform_win32.cpp and platform_posix.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Full path of the running executable ("" when it cannot be found).
std::string module_path();

// The path separator the module path uses: '\\' on Windows, '/' elsewhere.
char path_separator();

// Rewrites a file name for the platform's file functions: on Windows every
// "/" becomes "\"; elsewhere the name is returned unchanged.
std::string native_file_name(const std::string& name);

// Sleeps the calling thread for ms milliseconds (nothing for ms <= 0).
void sleep_ms(int ms);

// Sets the x87 control word to round to nearest (ties to even) with 64-bit
// mantissa precision, and reads the control word back.
void fpu_set_round_nearest_64();
uint16_t fpu_control_word();

// A tone of `hz` hertz for `ms` milliseconds.
void beep(int hz, int ms);

// Milliseconds from an arbitrary fixed point, for measuring waits.
int64_t now_ms();

}  // namespace platform
