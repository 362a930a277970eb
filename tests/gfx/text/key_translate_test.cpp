// Key-down messages to key codes: the extended codes by scancode and
// modifier, the gray keys, characters that stay characters, and the key
// mapping seam.
#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/text/key_translate.h"
#include "gfx/text/keys.h"

namespace {

using gfx::key_translate;

// Windows virtual-key codes used below.
constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
              VK_CONTROL = 0x11, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
              VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
              VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_LWIN = 0x5B, VK_NUMPAD1 = 0x61,
              VK_NUMPAD5 = 0x65, VK_NUMPAD8 = 0x68, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F4 = 0x73,
              VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B, VK_OEM_PLUS = 0xBB, VK_OEM_5 = 0xDC,
              VK_OEM_102 = 0xE2;

constexpr int ALT = gfx::KEYMOD_ALT, RALT = gfx::KEYMOD_RIGHT_ALT, CTRL = gfx::KEYMOD_CTRL,
              RCTRL = gfx::KEYMOD_RIGHT_CTRL, SHIFT = gfx::KEYMOD_SHIFT, EXT = gfx::KEYMOD_EXTENDED;

struct Case {
    const char* what;
    int character, scancode, virtual_key, modifiers;
    int32_t code;
};

const Case kCases[] = {
    // Extended keys and function keys.
    {"Up of the extended block", 0, 0x48, VK_UP, EXT, 0x48FF},
    {"keypad 8 as Up (Num Lock off)", 0, 0x48, VK_UP, 0, 0x48FF},
    {"keypad 8 with Num Lock: its character", '8', 0x48, VK_NUMPAD8, 0, '8'},
    {"F1", 0, 59, VK_F1, 0, 0x3BFF},
    {"Shift+F1", 0, 59, VK_F1, SHIFT, 0x54FF},
    {"Ctrl+F1", 0, 59, VK_F1, CTRL, 0x5EFF},
    {"Alt+F1", 0, 59, VK_F1, ALT, 0x68FF},
    {"F10", 0, 68, VK_F10, 0, 0x44FF},
    {"Ctrl+F10", 0, 68, VK_F10, RCTRL, 0x67FF},
    {"Alt+F10", 0, 68, VK_F10, ALT, 0x71FF},
    {"Alt+F4 is the close request", 0, 62, VK_F4, ALT, gfx::KEY_CLOSE_REQUEST},
    {"F11", 0, 87, VK_F11, 0, 0x85FF},
    {"Shift+F11", 0, 87, VK_F11, SHIFT, 0x87FF},
    {"Ctrl+F11", 0, 87, VK_F11, CTRL, 0x89FF},
    {"Alt+F11", 0, 87, VK_F11, ALT, 0x8BFF},
    {"F12", 0, 88, VK_F12, 0, 0x86FF},
    {"Shift+F12", 0, 88, VK_F12, SHIFT, 0x88FF},
    {"Ctrl+F12", 0, 88, VK_F12, CTRL, 0x8AFF},
    {"Alt+F12", 0, 88, VK_F12, RALT, 0x8CFF},

    // Alt with letters and digits: the character is the key's own, either case.
    {"Alt+A", 'a', 0x1E, 'A', ALT, 0x1EFF},
    {"Alt+Shift+A", 'A', 0x1E, 'A', ALT | SHIFT, 0x1EFF},
    {"right Alt+A on a layout without AltGr", 'a', 0x1E, 'A', RALT, 0x1EFF},
    {"Alt+Q", 'q', 0x10, 'Q', ALT, 0x10FF},
    {"Alt+M", 'm', 0x32, 'M', ALT, 0x32FF},
    {"Alt+1", '1', 2, '1', ALT, 0x78FF},
    {"Alt+7", '7', 8, '7', ALT, 0x7EFF},
    {"Alt+8", '8', 9, '8', ALT, 0x7FFF},
    {"Alt+=", '=', 13, VK_OEM_PLUS, ALT, 0x83FF},
    {"Alt+Backspace", 8, 14, VK_BACK, ALT, 0xE0FF},
    {"Alt+Enter of the main block", 13, 28, VK_RETURN, ALT, 0x1CFF},

    // Escape and Tab.
    {"Escape alone is its character", 27, 1, VK_ESCAPE, 0, 27},
    {"Alt+Escape", 27, 1, VK_ESCAPE, ALT, 0x01FF},
    {"Shift+Escape has no code", 27, 1, VK_ESCAPE, SHIFT, 27},
    {"Tab alone is its character", 9, 15, VK_TAB, 0, 9},
    {"Shift+Tab", 9, 15, VK_TAB, SHIFT, 0x0FFF},
    {"Alt+Tab", 9, 15, VK_TAB, ALT, 0x0FFF},
    {"Ctrl+Tab, no character from the layout", 0, 15, VK_TAB, CTRL, 0x94FF},

    // Ctrl with the 2 key: the layout gives NUL (0) or the digit.
    {"Ctrl+2, layout gives NUL", 0, 3, '2', CTRL, 0x03FF},
    {"right Ctrl+2", 0, 3, '2', RCTRL, 0x03FF},
    {"Ctrl+2, layout gives the digit", '2', 3, '2', CTRL, 0x03FF},
    {"Ctrl+3 has no code", 0, 4, '3', CTRL, -1},
    {"Ctrl+A is its control character", 1, 0x1E, 'A', CTRL, 1},

    // The keypad in the main table (Num Lock off: no character).
    {"keypad 5", 0, 76, VK_CLEAR, 0, 0x4CFF},
    {"Ctrl+keypad 5", 0, 76, VK_CLEAR, CTRL, 0x8FFF},
    {"Alt+keypad 5", 0, 76, VK_CLEAR, ALT, 0x4CFF},
    {"Alt+keypad 5 with Num Lock", '5', 76, VK_NUMPAD5, ALT, 0x4CFF},
    {"Shift+keypad 5: empty column", 0, 76, VK_CLEAR, SHIFT, -1},
    {"Ctrl+keypad 7", 0, 71, VK_HOME, CTRL, 0x77FF},
    {"Alt+keypad 7: empty column", 0, 71, VK_HOME, ALT, -1},
    {"keypad 1 with Num Lock", '1', 79, VK_NUMPAD1, 0, '1'},
    {"Ctrl+keypad 0", 0, 82, VK_INSERT, CTRL, 0x92FF},
    {"Ctrl+keypad .", 0, 83, VK_DELETE, CTRL, 0x93FF},

    // Modifier precedence: Alt, then Ctrl, then Shift.
    {"Ctrl+Shift+F1 is Ctrl", 0, 59, VK_F1, CTRL | SHIFT, 0x5EFF},
    {"Alt+Ctrl+Shift+F1 is Alt", 0, 59, VK_F1, ALT | CTRL | SHIFT, 0x68FF},
    {"Ctrl+Alt+keypad 7 is Alt (empty)", 0, 71, VK_HOME, ALT | CTRL, -1},

    // Characters made with AltGr (Ctrl+Alt) that are not the key's own stay
    // characters.
    {"AltGr+Q gives @", '@', 0x10, 'Q', RALT | CTRL, '@'},
    {"AltGr+7 gives {", '{', 8, '7', RALT | CTRL, '{'},
    {"AltGr+E gives a code page byte", -128, 0x12, 'E', RALT | CTRL, -128},
    {"AltGr+Q without a character", 0, 0x10, 'Q', RALT | CTRL, 0x10FF},

    // Keys without extended codes.
    {"a", 'a', 0x1E, 'A', 0, 'a'},
    {"Shift+A", 'A', 0x1E, 'A', SHIFT, 'A'},
    {"Alt+Space", ' ', 57, VK_SPACE, ALT, ' '},
    {"Alt+backslash", '\\', 43, VK_OEM_5, ALT, '\\'},
    {"left Shift", 0, 42, VK_SHIFT, SHIFT, -1},
    {"left Ctrl", 0, 29, VK_CONTROL, CTRL, -1},
    {"scancode 0", 0, 0, 0, 0, -1},
    {"scancode 86 (102nd key)", '\\', 86, VK_OEM_102, ALT, '\\'},

    // Scancodes above the table.
    {"scancode 89 with a character", 'x', 89, 'X', ALT, 'x'},
    {"left Windows key, not extended", 0, 0x5B, VK_LWIN, 0, -1},
    {"scancode 255", 0, 255, 0, ALT, -1},
    {"negative scancode", 0, -1, 0, 0, -1},
    {"negative scancode with a character", 'z', -5, 'Z', ALT, 'z'},
    {"virtual key out of range", 0, 59, 100000, 0, 0x3BFF},
    {"negative virtual key", 'a', 0x1E, -7, ALT, 'a'},

    // Extended keys with a character take the main table by scancode.
    {"gray / with its character", '/', 0x35, VK_DIVIDE, EXT, '/'},
    {"gray Enter with its character", 13, 0x1C, VK_RETURN, EXT, 13},
    {"right Ctrl is not a gray key", 0, 0x1D, VK_CONTROL, EXT | RCTRL, -1},
    {"left Windows key, extended", 0, 0x5B, VK_LWIN, EXT, -1},
    {"extended Escape scancode", 0, 1, VK_ESCAPE, EXT | ALT, -1},
};

TEST(KeyTranslate, CodesByScancodeModifiersAndCharacter) {
    for (const Case& c : kCases) {
        EXPECT_EQ(key_translate(c.character, c.scancode, c.virtual_key, c.modifiers), c.code)
            << c.what << std::hex << " (expected 0x" << c.code << ")";
    }
}

// The gray keys without a character, in every column. Entries below 256 are
// byte values, the others key codes.
TEST(KeyTranslate, GrayKeysInEveryColumn) {
    const struct {
        int scancode, virtual_key;
        int32_t plain, shift, ctrl, alt;
    } gray[] = {
        {0x1C, VK_RETURN, 13, 13, 10, 0xA6FF},
        {0x35, VK_DIVIDE, 47, 63, 0x95FF, 0xA4FF},
        {0x47, VK_HOME, 0x47FF, 0x47FF, 0x77FF, 0x97FF},
        {0x48, VK_UP, 0x48FF, 0x48FF, 0x8DFF, 0x98FF},
        {0x49, VK_PRIOR, 0x49FF, 0x49FF, 0x84FF, 0x99FF},
        {0x4B, VK_LEFT, 0x4BFF, 0x4BFF, 0x73FF, 0x9BFF},
        {0x4D, VK_RIGHT, 0x4DFF, 0x4DFF, 0x74FF, 0x9DFF},
        {0x4F, VK_END, 0x4FFF, 0x4FFF, 0x75FF, 0x9FFF},
        {0x50, VK_DOWN, 0x50FF, 0x50FF, 0x91FF, 0xA0FF},
        {0x51, VK_NEXT, 0x51FF, 0x51FF, 0x76FF, 0xA1FF},
        {0x52, VK_INSERT, 0x52FF, 0x52FF, 0x92FF, 0xA2FF},
        {0x53, VK_DELETE, 0x53FF, 0x53FF, 0x93FF, 0xA3FF},
    };
    for (const auto& g : gray) {
        auto at = [&](int modifiers) { return key_translate(0, g.scancode, g.virtual_key, EXT | modifiers); };
        EXPECT_EQ(at(0), g.plain) << std::hex << g.scancode;
        EXPECT_EQ(at(SHIFT), g.shift) << std::hex << g.scancode;
        EXPECT_EQ(at(CTRL), g.ctrl) << std::hex << g.scancode;
        EXPECT_EQ(at(RCTRL), g.ctrl) << std::hex << g.scancode;
        EXPECT_EQ(at(ALT), g.alt) << std::hex << g.scancode;
        EXPECT_EQ(at(RALT), g.alt) << std::hex << g.scancode;
        EXPECT_EQ(at(ALT | CTRL | SHIFT), g.alt) << std::hex << g.scancode;
        EXPECT_EQ(at(CTRL | SHIFT), g.ctrl) << std::hex << g.scancode;
    }
}

// The portable default of the key mapping: the US layout.
TEST(KeyTranslate, UsLayoutOwnCharacters) {
    const struct {
        int virtual_key;
        uint16_t character;
    } cases[] = {
        {'A', 'A'},         {'Z', 'Z'},        {'0', '0'},         {'9', '9'},
        {VK_SPACE, ' '},    {VK_RETURN, 13},   {VK_BACK, 8},       {VK_TAB, 9},
        {VK_ESCAPE, 27},    {VK_NUMPAD1, '1'}, {VK_NUMPAD5, '5'},  {0x6A, '*'},
        {0x6B, '+'},        {0x6D, '-'},       {0x6E, '.'},        {VK_DIVIDE, '/'},
        {0xBA, ';'},        {VK_OEM_PLUS, '='}, {0xBC, ','},       {0xBD, '-'},
        {0xBE, '.'},        {0xBF, '/'},       {0xC0, '`'},        {0xDB, '['},
        {VK_OEM_5, '\\'},   {0xDD, ']'},       {0xDE, '\''},       {VK_OEM_102, '\\'},
        {VK_F1, 0},         {VK_SHIFT, 0},     {VK_UP, 0},         {VK_CLEAR, 0},
        {0, 0},             {255, 0},          {256, 0},           {-1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gfx::key_own_character_us(c.virtual_key), c.character) << std::hex << c.virtual_key;
    }
    EXPECT_EQ(gfx::key_own_character, &gfx::key_own_character_us);
}

// The Windows layer points the seam at the system's mapping; the result then
// follows that layout. On a French layout the 1 key's own character is '&'.
uint16_t french_top_row(int virtual_key) { return virtual_key == '1' ? '&' : gfx::key_own_character_us(virtual_key); }

TEST(KeyTranslate, OwnCharacterComesThroughTheSeam) {
    EXPECT_EQ(key_translate('&', 2, '1', ALT), '&');  // US: '&' is not the 1 key's own
    gfx::key_own_character = french_top_row;
    EXPECT_EQ(key_translate('&', 2, '1', ALT), 0x78FF);
    EXPECT_EQ(key_translate('1', 2, '1', ALT), '1');
    gfx::key_own_character = gfx::key_own_character_us;
}

}  // namespace
