#include "tools/lzw12_pack.h"

namespace tools {

std::vector<uint8_t> lzw12_codes_to_bytes(const std::vector<uint16_t>& codes) {
    std::vector<uint8_t> bytes;
    bytes.reserve(codes.size() / 2 * 3 + 2);
    for (size_t i = 0; i < codes.size(); i += 2) {
        uint32_t first = codes[i] & 0xFFFu;
        bytes.push_back(static_cast<uint8_t>(first & 0xFF));
        if (i + 1 < codes.size()) {
            uint32_t second = codes[i + 1] & 0xFFFu;
            bytes.push_back(static_cast<uint8_t>((first >> 8) | ((second & 0x0F) << 4)));
            bytes.push_back(static_cast<uint8_t>(second >> 4));
        } else {
            bytes.push_back(static_cast<uint8_t>(first >> 8));
        }
    }
    return bytes;
}

bool lzw12_encode(const uint8_t* data, size_t size, std::vector<uint16_t>* codes) {
    codes->clear();
    if (data == nullptr || size == 0) {
        return false;
    }
    // child[(code << 8) | byte] is the code of code's string followed by
    // byte, or 0 while that string has none (0 is never a defined code).
    std::vector<uint16_t> child(size_t{4096} * 256, 0);
    uint16_t next_free = LZW12_FIRST_FREE_CODE;
    uint16_t current = data[0];
    for (size_t i = 1; i < size; ++i) {
        uint8_t byte = data[i];
        uint16_t& slot = child[(size_t{current} << 8) | byte];
        if (slot != 0) {
            current = slot;
            continue;
        }
        codes->push_back(current);
        // The unpacker defines the same code when it reads the next one.
        if (next_free <= LZW12_LAST_DEFINED_CODE) {
            slot = next_free++;
        }
        current = byte;
    }
    codes->push_back(current);
    codes->push_back(LZW12_END_CODE);
    return true;
}

bool lzw12_pack(const uint8_t* data, size_t size, std::vector<uint8_t>* stream) {
    std::vector<uint16_t> codes;
    if (!lzw12_encode(data, size, &codes)) {
        stream->clear();
        return false;
    }
    *stream = lzw12_codes_to_bytes(codes);
    return true;
}

}  // namespace tools
