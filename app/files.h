// Numbered binary files, read-only: numbers 1 to 254 each name a slot that
// is free or holds an open file; number 0 is the console.
#pragma once

#include <cstddef>
#include <string>

namespace rt {

constexpr int FILE_NUMBER_MAX = 254;

// Lowest free number from 1 to 254; 0 when all are in use.
int file_free_number();

// Opens `name` for binary reading into slot `number`. On Windows every "/"
// becomes "\". A missing file gives error 2 and leaves the slot free; a
// number that is out of range or already in use gives error 1. The first
// call registers the close-all exit handler. Returns the error code set.
int file_open(const std::string& name, int number);

// With position > 0 moves to byte position - 1 (positions are 1-based), then
// reads `size` bytes into `destination`; bytes past the end of the file are
// stored as 0. A number that is not open gives error 1 and leaves the
// destination untouched. Returns the error code set.
int file_get(int number, long position, void* destination, size_t size);

// Closes the file and frees the number; error 1 when it is not open.
int file_close(int number);

// Closes every open numbered file (the exit handler of the first file_open).
void file_close_all();

}  // namespace rt
