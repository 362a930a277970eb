// The key code of a key-down message: the PC keyboard's extended codes for
// keys and key combinations without a character of their own.
#pragma once

#include <cstdint>

namespace gfx {

// Modifier bits of key_translate. Either Alt bit counts as Alt, either Ctrl
// bit as Ctrl.
constexpr int KEYMOD_RIGHT_ALT = 0x01;
constexpr int KEYMOD_ALT = 0x02;
constexpr int KEYMOD_RIGHT_CTRL = 0x04;
constexpr int KEYMOD_CTRL = 0x08;
constexpr int KEYMOD_SHIFT = 0x10;
constexpr int KEYMOD_EXTENDED = 0x100;  // a key of the extended block (lParam bit 24)

// The key code for a key-down message, or -1 for none: X * 256 + 255 for an
// extended key X, otherwise the character (which the window procedure leaves
// to its character message). `character` is what the keyboard layout gives
// for the key with the modifiers held (0 when none), `scancode` the set-1
// scancode without the extended prefix, `virtual_key` the Windows virtual-key
// code, `modifiers` the KEYMOD_ bits.
int32_t key_translate(int character, int scancode, int virtual_key, int modifiers);

// The character a virtual key gives with no modifier held (its own
// character), 0 when none. The Windows window layer points this at the
// system's key mapping; the default is the US keyboard layout.
extern uint16_t (*key_own_character)(int virtual_key);

// The US layout's own character of a virtual key: upper-case letters, digits,
// punctuation, space, Enter 13, Backspace 8, Tab 9, Escape 27 and the keypad
// digits and operators; 0 for every other key.
uint16_t key_own_character_us(int virtual_key);

}  // namespace gfx
