#include "gfx/text/builtin_data.h"

namespace gfx {
namespace {

constexpr uint32_t FIRST_FREE_CODE = 256;
constexpr uint32_t LAST_DEFINED_CODE = 4094;
constexpr uint32_t END_CODE = 4095;
// Most bytes one dictionary walk may collect. With the byte appended for a
// code that is being defined, a string then always fits the scratch buffer.
// Strings of a well-formed dictionary stay far shorter (code 4094 stands for
// at most 3,840 bytes), so the bound only guards the buffer.
constexpr size_t MAX_WALK_STEPS = 4094;
constexpr size_t SCRATCH_SIZE = 4096;

uint8_t block[BUILTIN_BLOCK_SIZE];
bool unpacked = false;

}  // namespace

const FontInfo builtin_fonts[3] = {
    {8, 16, block + BUILTIN_FONT16_OFFSET},
    {8, 14, block + BUILTIN_FONT14_OFFSET},
    {8, 8, block + BUILTIN_FONT8_OFFSET},
};

const PaletteInfo builtin_palettes[4] = {
    {256, block + BUILTIN_PALETTE256_OFFSET},
    {64, block + BUILTIN_PALETTE64_OFFSET},
    {16, block + BUILTIN_PALETTE16_OFFSET},
    {2, block + BUILTIN_PALETTE2_OFFSET},
};

const uint8_t* builtin_block() { return block; }

bool builtin_data_unpack() {
    if (unpacked) {
        return false;
    }
    size_t size = BUILTIN_BLOCK_SIZE;
    // The stream is generated and checked by the tests; whatever it reports,
    // it is not tried again.
    lzw12_unpack(builtin_packed, builtin_packed_size, block, &size);
    unpacked = true;
    return true;
}

int lzw12_unpack(const uint8_t* stream, size_t length, uint8_t* out, size_t* size) {
    const size_t capacity = *size;
    *size = 0;
    if (stream == nullptr || length < 2) {
        return -1;
    }
    // The first code: the low 12 bits of the first two bytes. It must be a
    // byte; anything else would refer to a dictionary not yet written.
    uint32_t previous = stream[0] | ((stream[1] & 0x0Fu) << 8);
    if (previous >= FIRST_FREE_CODE || capacity == 0 || out == nullptr) {
        return -1;
    }
    out[0] = static_cast<uint8_t>(previous);
    size_t written = 1;
    uint8_t first_byte = static_cast<uint8_t>(previous);

    // Per defined code (256..4094): its prefix code and its last byte.
    uint16_t prefix[END_CODE];
    uint8_t suffix[END_CODE];
    uint8_t scratch[SCRATCH_SIZE];
    uint32_t next_free = FIRST_FREE_CODE;

    size_t pos = 1;                 // byte holding the start of the next code
    size_t remaining = length - 1;  // bytes from pos to the end
    bool upper_half = true;         // the next code starts in the upper half of stream[pos]

    for (;;) {
        // Every code spans two bytes from pos; a stream that stops short of
        // them has run out before its end code.
        if (remaining < 2) {
            *size = written;
            return -1;
        }
        uint32_t code;
        if (upper_half) {
            code = (stream[pos] >> 4) | (static_cast<uint32_t>(stream[pos + 1]) << 4);
            pos += 2;
            remaining -= 2;
        } else {
            code = stream[pos] | ((stream[pos + 1] & 0x0Fu) << 8);
            pos += 1;
            remaining -= 1;
        }
        upper_half = !upper_half;

        if (code == END_CODE) {
            *size = written;
            return 0;
        }
        if (code > next_free) {
            *size = written;
            return -1;
        }

        // Collect the string back to front. A code equal to the next free one
        // is the code about to be defined: the previous string followed by
        // its own first byte.
        size_t start = SCRATCH_SIZE;
        uint32_t walk = code;
        if (code == next_free) {
            scratch[--start] = first_byte;
            walk = previous;
        }
        size_t steps = 0;
        for (;;) {
            if (++steps > MAX_WALK_STEPS) {
                *size = written;
                return -1;
            }
            if (walk < FIRST_FREE_CODE) {
                scratch[--start] = static_cast<uint8_t>(walk);
                break;
            }
            scratch[--start] = suffix[walk];
            walk = prefix[walk];
        }

        first_byte = scratch[start];
        for (size_t i = start; i < SCRATCH_SIZE; ++i) {
            if (written == capacity) {
                *size = written;
                return -1;
            }
            out[written++] = scratch[i];
        }

        if (next_free <= LAST_DEFINED_CODE) {
            prefix[next_free] = static_cast<uint16_t>(previous);
            suffix[next_free] = first_byte;
            ++next_free;
        }
        previous = code;
    }
}

}  // namespace gfx
