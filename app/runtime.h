// Runtime services used by the tool and by the graphics library: process
// start and end, the command line, the executable's location, strings,
// the runtime error number, numbered binary files and the console.
//
// Failing services set the runtime error number and otherwise do nothing;
// none of them stops the program. Error codes:
//   0 success, 1 illegal call or argument, 2 file not found / cannot be
//   created, 3 bad file contents or failed read/write, 4 no line read.
#pragma once

#include <cstdint>
#include <string>

#include "app/console.h"
#include "app/files.h"

namespace rt {

// ---- Error number --------------------------------------------------------

enum ErrorCode : int {
    ERR_NONE = 0,
    ERR_ILLEGAL = 1,
    ERR_FILE_NOT_FOUND = 2,
    ERR_BAD_FILE = 3,
    ERR_NO_LINE = 4,
};

void error_set(int code);
int error_get();

// A message the runtime's exit handler writes to standard error when the
// process ends. Empty means none is pending.
void error_message_set(const std::string& text);

// ---- Process -------------------------------------------------------------

// Keeps argc/argv. The first call also clears the file slots, sets the x87
// unit to round-to-nearest with 64-bit precision and registers the runtime's
// own exit handler.
void runtime_init(int argc, char** argv);

// Runs the exit handlers in reverse order of registration, then ends the
// process with `code`.
[[noreturn]] void program_end(int code);

// Adds a handler that program_end runs. Handlers run at most once.
void exit_handler_add(void (*handler)());

// Runs the registered handlers in reverse order and forgets them; what
// program_end does before exiting. Exposed for tests and for the rare caller
// that must end without exit().
void exit_handlers_run();

// Index -1: all arguments after the program name joined by single spaces.
// Index >= 0: that argument, or "" when out of range.
std::string command_line(int index);

// Directory of the executable without a trailing separator ("" when the
// path has no separator), and the file name after it (at most 127 chars).
std::string exe_dir();
std::string exe_name();

// ---- Strings -------------------------------------------------------------

std::string str_concat(const std::string& a, const std::string& b);
int str_compare(const std::string& a, const std::string& b);
int str_length(const std::string& s);
std::string str_left(const std::string& s, int n);
// Drops leading spaces and trailing spaces and NUL bytes (only byte 32
// counts as a space).
std::string str_trim(const std::string& s);
// Value of a plain decimal number after leading spaces; 0 for "".
double str_to_number(const std::string& s);
std::string str_from_int(int32_t v);

// ---- Sleeping and beeping ------------------------------------------------

// The runtime's sleep: the graphics hook while a screen is open (a key press
// may cut it short), the platform sleep otherwise.
void sleep_ms(int ms);

// The runtime's beep (1000 Hz for 250 ms). Replaceable so tests can observe
// it without sound.
extern void (*beep)();

}  // namespace rt
