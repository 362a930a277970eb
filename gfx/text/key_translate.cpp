// Key-down messages to key codes: the extended-code table of the PC keyboard
// by scancode, the gray keys of the extended block, and the US layout's own
// characters as the portable default of the key mapping.
#include "gfx/text/key_translate.h"

#include <array>
#include <cctype>
#include <cstddef>

namespace gfx {
namespace {

// An extended code X as a table entry; any entry above 255 stands for the key
// code X * 256 + 255, entries below 256 are plain byte values.
constexpr int32_t ext(int x) { return x << 8; }

constexpr int32_t extended_code(int32_t entry) { return (entry & 0xFF00) | 0xFF; }

// The values of one key by modifier column; 0 means the column gives none.
struct KeyColumns {
    int32_t plain, shift, ctrl, alt;
};

constexpr int MAIN_SCANCODE_MAX = 88;

// Extended codes by scancode 0..88 (set 1, without the extended prefix).
constexpr KeyColumns kMainKeys[MAIN_SCANCODE_MAX + 1] = {
    {0, 0, 0, 0},                      // 0
    {0, 0, 0, ext(0x01)},              // 1 Escape
    {0, 0, 0, ext(0x78)},              // 2 1
    {0, 0, ext(0x03), ext(0x79)},      // 3 2 (Ctrl+2 is NUL)
    {0, 0, 0, ext(0x7A)},              // 4 3
    {0, 0, 0, ext(0x7B)},              // 5 4
    {0, 0, 0, ext(0x7C)},              // 6 5
    {0, 0, 0, ext(0x7D)},              // 7 6
    {0, 0, 0, ext(0x7E)},              // 8 7
    {0, 0, 0, ext(0x7F)},              // 9 8
    {0, 0, 0, ext(0x80)},              // 10 9
    {0, 0, 0, ext(0x81)},              // 11 0
    {0, 0, 0, ext(0x82)},              // 12 -
    {0, 0, 0, ext(0x83)},              // 13 =
    {0, 0, 0, ext(0xE0)},              // 14 Backspace
    {0, ext(0x0F), ext(0x94), ext(0x0F)},  // 15 Tab
    {0, 0, 0, ext(0x10)},              // 16 Q
    {0, 0, 0, ext(0x11)},              // 17 W
    {0, 0, 0, ext(0x12)},              // 18 E
    {0, 0, 0, ext(0x13)},              // 19 R
    {0, 0, 0, ext(0x14)},              // 20 T
    {0, 0, 0, ext(0x15)},              // 21 Y
    {0, 0, 0, ext(0x16)},              // 22 U
    {0, 0, 0, ext(0x17)},              // 23 I
    {0, 0, 0, ext(0x18)},              // 24 O
    {0, 0, 0, ext(0x19)},              // 25 P
    {0, 0, 0, ext(0x1A)},              // 26 [
    {0, 0, 0, ext(0x1B)},              // 27 ]
    {0, 0, 0, ext(0x1C)},              // 28 Enter
    {0, 0, 0, 0},                      // 29 Ctrl
    {0, 0, 0, ext(0x1E)},              // 30 A
    {0, 0, 0, ext(0x1F)},              // 31 S
    {0, 0, 0, ext(0x20)},              // 32 D
    {0, 0, 0, ext(0x21)},              // 33 F
    {0, 0, 0, ext(0x22)},              // 34 G
    {0, 0, 0, ext(0x23)},              // 35 H
    {0, 0, 0, ext(0x24)},              // 36 J
    {0, 0, 0, ext(0x25)},              // 37 K
    {0, 0, 0, ext(0x26)},              // 38 L
    {0, 0, 0, ext(0x27)},              // 39 ;
    {0, 0, 0, ext(0x28)},              // 40 '
    {0, 0, 0, ext(0x29)},              // 41 `
    {0, 0, 0, 0},                      // 42 left Shift
    {0, 0, 0, 0},                      // 43 backslash
    {0, 0, 0, ext(0x2C)},              // 44 Z
    {0, 0, 0, ext(0x2D)},              // 45 X
    {0, 0, 0, ext(0x2E)},              // 46 C
    {0, 0, 0, ext(0x2F)},              // 47 V
    {0, 0, 0, ext(0x30)},              // 48 B
    {0, 0, 0, ext(0x31)},              // 49 N
    {0, 0, 0, ext(0x32)},              // 50 M
    {0, 0, 0, ext(0x33)},              // 51 ,
    {0, 0, 0, ext(0x34)},              // 52 .
    {0, 0, 0, ext(0x35)},              // 53 /
    {0, 0, 0, 0},                      // 54 right Shift
    {0, 0, 0, 0},                      // 55 keypad *
    {0, 0, 0, 0},                      // 56 Alt
    {0, 0, 0, 0},                      // 57 Space
    {0, 0, 0, 0},                      // 58 Caps Lock
    {ext(0x3B), ext(0x54), ext(0x5E), ext(0x68)},  // 59 F1
    {ext(0x3C), ext(0x55), ext(0x5F), ext(0x69)},  // 60 F2
    {ext(0x3D), ext(0x56), ext(0x60), ext(0x6A)},  // 61 F3
    {ext(0x3E), ext(0x57), ext(0x61), ext(0x6B)},  // 62 F4 (Alt+F4 is the close request)
    {ext(0x3F), ext(0x58), ext(0x62), ext(0x6C)},  // 63 F5
    {ext(0x40), ext(0x59), ext(0x63), ext(0x6D)},  // 64 F6
    {ext(0x41), ext(0x5A), ext(0x64), ext(0x6E)},  // 65 F7
    {ext(0x42), ext(0x5B), ext(0x65), ext(0x6F)},  // 66 F8
    {ext(0x43), ext(0x5C), ext(0x66), ext(0x70)},  // 67 F9
    {ext(0x44), ext(0x5D), ext(0x67), ext(0x71)},  // 68 F10
    {0, 0, 0, 0},                      // 69 Num Lock
    {0, 0, 0, 0},                      // 70 Scroll Lock
    {ext(0x47), 0, ext(0x77), 0},      // 71 keypad 7 / Home
    {ext(0x48), 0, ext(0x8D), 0},      // 72 keypad 8 / Up
    {ext(0x49), 0, ext(0x84), 0},      // 73 keypad 9 / Page Up
    {0, 0, 0, 0},                      // 74 keypad -
    {ext(0x4B), 0, ext(0x73), 0},      // 75 keypad 4 / Left
    {ext(0x4C), 0, ext(0x8F), ext(0x4C)},  // 76 keypad 5
    {ext(0x4D), 0, ext(0x74), 0},      // 77 keypad 6 / Right
    {0, 0, 0, 0},                      // 78 keypad +
    {ext(0x4F), 0, ext(0x75), 0},      // 79 keypad 1 / End
    {ext(0x50), 0, ext(0x91), 0},      // 80 keypad 2 / Down
    {ext(0x51), 0, ext(0x76), 0},      // 81 keypad 3 / Page Down
    {ext(0x52), 0, ext(0x92), 0},      // 82 keypad 0 / Insert
    {ext(0x53), 0, ext(0x93), 0},      // 83 keypad . / Delete
    {0, 0, 0, 0},                      // 84
    {0, 0, 0, 0},                      // 85
    {0, 0, 0, 0},                      // 86
    {ext(0x85), ext(0x87), ext(0x89), ext(0x8B)},  // 87 F11
    {ext(0x86), ext(0x88), ext(0x8A), ext(0x8C)},  // 88 F12
};

// The keys of the extended block that share a scancode with a keypad or main
// key. Keypad Enter and slash give plain bytes except with Alt (and Ctrl for
// the slash).
struct GrayKey {
    int scancode;
    KeyColumns columns;
};

constexpr GrayKey kGrayKeys[] = {
    {0x1C, {13, 13, 10, ext(0xA6)}},                       // keypad Enter
    {0x35, {47, 63, ext(0x95), ext(0xA4)}},                // keypad /
    {0x47, {ext(0x47), ext(0x47), ext(0x77), ext(0x97)}},  // Home
    {0x48, {ext(0x48), ext(0x48), ext(0x8D), ext(0x98)}},  // Up
    {0x49, {ext(0x49), ext(0x49), ext(0x84), ext(0x99)}},  // Page Up
    {0x4B, {ext(0x4B), ext(0x4B), ext(0x73), ext(0x9B)}},  // Left
    {0x4D, {ext(0x4D), ext(0x4D), ext(0x74), ext(0x9D)}},  // Right
    {0x4F, {ext(0x4F), ext(0x4F), ext(0x75), ext(0x9F)}},  // End
    {0x50, {ext(0x50), ext(0x50), ext(0x91), ext(0xA0)}},  // Down
    {0x51, {ext(0x51), ext(0x51), ext(0x76), ext(0xA1)}},  // Page Down
    {0x52, {ext(0x52), ext(0x52), ext(0x92), ext(0xA2)}},  // Insert
    {0x53, {ext(0x53), ext(0x53), ext(0x93), ext(0xA3)}},  // Delete
};

// Virtual-key codes of the Windows keyboard that the US table names.
enum VirtualKey : int {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_NUMPAD0 = 0x60,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_OEM_1 = 0xBA,       // ;
    VK_OEM_PLUS = 0xBB,    // =
    VK_OEM_COMMA = 0xBC,   // ,
    VK_OEM_MINUS = 0xBD,   // -
    VK_OEM_PERIOD = 0xBE,  // .
    VK_OEM_2 = 0xBF,       // /
    VK_OEM_3 = 0xC0,       // `
    VK_OEM_4 = 0xDB,       // [
    VK_OEM_5 = 0xDC,       // backslash
    VK_OEM_6 = 0xDD,       // ]
    VK_OEM_7 = 0xDE,       // '
    VK_OEM_102 = 0xE2,     // backslash of the 102-key keyboard
};

constexpr std::array<uint8_t, 256> us_layout_characters() {
    std::array<uint8_t, 256> t{};
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<uint8_t>(c);
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<uint8_t>(c);
    for (int d = 0; d <= 9; ++d) t[VK_NUMPAD0 + d] = static_cast<uint8_t>('0' + d);
    t[VK_BACK] = 8;
    t[VK_TAB] = 9;
    t[VK_RETURN] = 13;
    t[VK_ESCAPE] = 27;
    t[VK_SPACE] = ' ';
    t[VK_MULTIPLY] = '*';
    t[VK_ADD] = '+';
    t[VK_SUBTRACT] = '-';
    t[VK_DECIMAL] = '.';
    t[VK_DIVIDE] = '/';
    t[VK_OEM_1] = ';';
    t[VK_OEM_PLUS] = '=';
    t[VK_OEM_COMMA] = ',';
    t[VK_OEM_MINUS] = '-';
    t[VK_OEM_PERIOD] = '.';
    t[VK_OEM_2] = '/';
    t[VK_OEM_3] = '`';
    t[VK_OEM_4] = '[';
    t[VK_OEM_5] = '\\';
    t[VK_OEM_6] = ']';
    t[VK_OEM_7] = '\'';
    t[VK_OEM_102] = '\\';
    return t;
}

constexpr std::array<uint8_t, 256> kUsLayout = us_layout_characters();

// The same letter in the other case by the C library's character classes;
// anything else unchanged.
int other_case(int k) {
    if (k < 0 || k > 255) return k;
    if (std::isupper(k)) return std::tolower(k);
    if (std::islower(k)) return std::toupper(k);
    return k;
}

int32_t choose(const KeyColumns& c, bool alt, bool ctrl, bool shift) {
    if (alt) return c.alt;
    if (ctrl) return c.ctrl;
    if (shift) return c.shift;
    return c.plain;
}

}  // namespace

uint16_t key_own_character_us(int virtual_key) {
    if (virtual_key < 0 || virtual_key > 255) return 0;
    return kUsLayout[static_cast<size_t>(virtual_key)];
}

uint16_t (*key_own_character)(int virtual_key) = key_own_character_us;

int32_t key_translate(int character, int scancode, int virtual_key, int modifiers) {
    const bool alt = (modifiers & (KEYMOD_ALT | KEYMOD_RIGHT_ALT)) != 0;
    const bool ctrl = (modifiers & (KEYMOD_CTRL | KEYMOD_RIGHT_CTRL)) != 0;
    const bool shift = (modifiers & KEYMOD_SHIFT) != 0;
    const int32_t as_character = character != 0 ? character : -1;

    // A gray key without a character: only the gray table knows it.
    if (character == 0 && (modifiers & KEYMOD_EXTENDED) != 0) {
        for (const GrayKey& g : kGrayKeys) {
            if (g.scancode != scancode) continue;
            const int32_t v = choose(g.columns, alt, ctrl, shift);
            if (v == 0) return -1;
            return v > 255 ? extended_code(v) : v;
        }
        return -1;
    }

    if (scancode < 0 || scancode > MAIN_SCANCODE_MAX) return as_character;

    const int k = key_own_character(virtual_key);
    const int k_other = other_case(k);
    const KeyColumns& row = kMainKeys[scancode];
    int32_t v;
    if (alt || ctrl || shift) {
        v = choose(row, alt, ctrl, shift);
    } else {
        v = character != 0 ? k : row.plain;
    }
    // The extended code only when the layout gave the key's own character
    // (either case) or none at all: a character that the layout makes with
    // AltGr or Ctrl stays that character. A combination for which the layout
    // gives no character (Ctrl+2, Ctrl+Tab on the US layout) would otherwise
    // produce no key code at all.
    if (v > 255 && (character == 0 || character == k || character == k_other)) return extended_code(v);
    return as_character;
}

}  // namespace gfx
