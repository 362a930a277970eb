#include "tools/glyph_text.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace tools {
namespace {

bool is_ignored(const std::string& line) { return line.empty() || line[0] == ';'; }

// Parses "glyph N" with an optional "; remark"; N must be 0..255.
bool parse_glyph_line(const std::string& line, int* code) {
    std::string text = line.substr(0, line.find(';'));
    int value = -1;
    char extra = 0;
    if (std::sscanf(text.c_str(), "glyph %d %c", &value, &extra) != 1) {
        return false;
    }
    if (value < 0 || value > 255) {
        return false;
    }
    *code = value;
    return true;
}

bool parse_row(const std::string& line, uint8_t* row) {
    if (line.size() != 8) {
        return false;
    }
    uint8_t bits = 0;
    for (int x = 0; x < 8; ++x) {
        if (line[x] == '#') {
            bits = static_cast<uint8_t>(bits | (1u << x));
        } else if (line[x] != '.') {
            return false;
        }
    }
    *row = bits;
    return true;
}

}  // namespace

bool glyph_text_read(const std::string& path, int height, uint8_t* glyphs, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = path + ": cannot be opened";
        return false;
    }
    std::vector<bool> seen(256, false);
    int line_number = 0;
    bool have_header = false;
    std::string line;
    auto fail = [&](const std::string& why) {
        *error = path + ":" + std::to_string(line_number) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (is_ignored(line)) {
            continue;
        }
        if (!have_header) {
            int w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(line.c_str(), "font %d %d %c", &w, &h, &extra) != 2) {
                return fail("expected \"font 8 " + std::to_string(height) + "\"");
            }
            if (w != 8 || h != height) {
                return fail("font is " + std::to_string(w) + "x" + std::to_string(h) + ", expected 8x" +
                            std::to_string(height));
            }
            have_header = true;
            continue;
        }
        int code = 0;
        if (!parse_glyph_line(line, &code)) {
            return fail("expected \"glyph N\" with N from 0 to 255");
        }
        if (seen[code]) {
            return fail("glyph " + std::to_string(code) + " appears twice");
        }
        seen[code] = true;
        for (int y = 0; y < height; ++y) {
            if (!std::getline(in, line)) {
                return fail("glyph " + std::to_string(code) + " ends early");
            }
            ++line_number;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!parse_row(line, &glyphs[code * height + y])) {
                return fail("expected a row of 8 '#' or '.'");
            }
        }
    }
    if (!have_header) {
        return fail("no \"font\" line");
    }
    for (int code = 0; code < 256; ++code) {
        if (!seen[code]) {
            return fail("glyph " + std::to_string(code) + " is missing");
        }
    }
    return true;
}

}  // namespace tools
