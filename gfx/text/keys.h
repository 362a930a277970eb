// Keyboard and mouse state of the graphics screen: the queue of key codes that
// the window procedure fills and the console input reads, the key-down test
// over ScreenState key_state, the sleep that a key press cuts short, and the
// mouse operations that pass through to the display driver.
//
// Key codes: 1..255 a character in code page 437; X * 256 + 255 an extended
// key X (a key without a character of its own); 0x6BFF a request to close the
// window; 0 no key.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace gfx {

// The request to close the window (close box, Alt+F4).
constexpr int32_t KEY_CLOSE_REQUEST = 0x6BFF;

// The ring of key codes, one per process. Empty when head == tail, so it holds
// at most KEY_QUEUE_SLOTS - 1 codes. It survives screen changes.
constexpr int KEY_QUEUE_SLOTS = 16;

struct KeyQueue {
    int32_t slots[KEY_QUEUE_SLOTS];
    int32_t head;  // slot of the next code written
    int32_t tail;  // slot of the next code read
    // 1 once a code has been written since the flag was last taken. Polled by
    // the sleeping program thread while the window procedure may set it, so
    // it is atomic even where the driver's lock is not a real lock.
    std::atomic<int32_t> key_posted;
};

extern KeyQueue key_queue;

// Stores one code, dropping the oldest when the ring is full. Takes no lock:
// its caller, the window procedure, runs with the framebuffer lock held.
void key_queue_push(int32_t code);

// The oldest code, or 0 when the queue is empty; clears key_posted in the same
// hold of the screen lock, whether or not a code was taken.
int32_t key_queue_pop();

// The key_posted flag, which it clears (under the screen lock).
int32_t key_posted_take();

// Empties the queue and clears key_posted.
void key_queue_clear();

// 1 when the queue holds a code, else 0.
int key_hit();

// Text of the oldest key without waiting: "" when the queue is empty, the code
// is 0 or no screen is open; one character for 1..255; the two characters 255
// and X for an extended key X.
std::string key_read();

// The oldest nonzero key code, polling every 20 ms through the runtime's
// sleep until one arrives; 0 when no screen is open.
int key_wait();

// -1 while the key with that scancode (0..127) is held down; 0 when it is
// not, for a scancode outside 0..127, or when no screen is open.
int key_down(int scancode);

// Sleeps ms milliseconds with the screen lock released. -1 waits for the next
// key press however long; 100 or more returns early on a key press (looked
// for every 50 ms); 1..99 sleeps the whole time; other values return at once.
void sleep_interruptible(int ms);

// Pointer position, wheel count and buttons (1 left, 2 right, 4 middle) from
// the driver. Any output pointer may be null. 0; or 1 with runtime error 1 and
// all four outputs -1 when there is no screen, the driver cannot tell, or it
// has no position.
int mouse_get(int* x, int* y, int* wheel, int* buttons);

// Moves the pointer (x < 0: does not move it) and shows (cursor > 0), hides
// (0) or keeps (< 0) it. 0; or 1 with runtime error 1 when there is no screen
// or the driver cannot do it.
int mouse_set(int x, int y, int cursor);

}  // namespace gfx
