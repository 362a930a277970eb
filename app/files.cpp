// Numbered binary files (read-only).
#include "app/files.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/platform.h"
#include "app/runtime.h"

namespace rt {
namespace {

constexpr size_t kFileBuffer = 8192;

struct FileSlot {
    std::FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
};

FileSlot g_slots[FILE_NUMBER_MAX + 1];
bool g_close_all_registered = false;

bool number_in_range(int number) { return number >= 1 && number <= FILE_NUMBER_MAX; }

}  // namespace

int file_free_number() {
    for (int n = 1; n <= FILE_NUMBER_MAX; ++n) {
        if (g_slots[n].file == nullptr) return n;
    }
    return 0;
}

int file_open(const std::string& name, int number) {
    if (!g_close_all_registered) {
        g_close_all_registered = true;
        exit_handler_add(file_close_all);
    }
    if (!number_in_range(number) || g_slots[number].file != nullptr) {
        error_set(ERR_ILLEGAL);
        return ERR_ILLEGAL;
    }
    std::FILE* file = std::fopen(platform::native_file_name(name).c_str(), "rb");
    if (file == nullptr) {
        error_set(ERR_FILE_NOT_FOUND);
        return ERR_FILE_NOT_FOUND;
    }
    FileSlot& slot = g_slots[number];
    slot.buffer.reset(new char[kFileBuffer]);
    std::setvbuf(file, slot.buffer.get(), _IOFBF, kFileBuffer);
    slot.file = file;
    return ERR_NONE;
}

int file_get(int number, long position, void* destination, size_t size) {
    if (!number_in_range(number) || g_slots[number].file == nullptr) {
        error_set(ERR_ILLEGAL);
        return ERR_ILLEGAL;
    }
    std::FILE* file = g_slots[number].file;
    if (position > 0 && std::fseek(file, position - 1, SEEK_SET) != 0) {
        // A position the file cannot reach reads as zeros.
        std::memset(destination, 0, size);
        return ERR_NONE;
    }
    size_t got = std::fread(destination, 1, size, file);
    if (got < size) {
        std::memset(static_cast<unsigned char*>(destination) + got, 0, size - got);
        std::clearerr(file);
    }
    return ERR_NONE;
}

int file_close(int number) {
    if (!number_in_range(number) || g_slots[number].file == nullptr) {
        error_set(ERR_ILLEGAL);
        return ERR_ILLEGAL;
    }
    std::fclose(g_slots[number].file);
    g_slots[number].file = nullptr;
    g_slots[number].buffer.reset();
    return ERR_NONE;
}

void file_close_all() {
    for (int n = 1; n <= FILE_NUMBER_MAX; ++n) {
        if (g_slots[n].file != nullptr) file_close(n);
    }
}

}  // namespace rt
