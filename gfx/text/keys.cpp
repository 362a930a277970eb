// The key queue, key reads and waits, the key-down test, the interruptible
// sleep and the mouse pass-throughs.
#include "gfx/text/keys.h"

#include <type_traits>

#include "app/platform.h"
#include "app/runtime.h"
#include "app/runtime_hooks.h"
#include "gfx/drivers/driver.h"
#include "gfx/screen.h"

namespace gfx {

KeyQueue key_queue{};

namespace {

// These operations go into the runtime's hook slots while a screen is open.
static_assert(std::is_same_v<decltype(&key_read), decltype(rt::RuntimeHooks::hook_key_read)>);
static_assert(std::is_same_v<decltype(&key_wait), decltype(rt::RuntimeHooks::hook_key_wait)>);
static_assert(std::is_same_v<decltype(&key_hit), decltype(rt::RuntimeHooks::hook_key_hit)>);
static_assert(std::is_same_v<decltype(&key_down), decltype(rt::RuntimeHooks::hook_key_down)>);
static_assert(std::is_same_v<decltype(&sleep_interruptible), decltype(rt::RuntimeHooks::hook_sleep)>);
static_assert(std::is_same_v<decltype(&mouse_get), decltype(rt::RuntimeHooks::hook_mouse_get)>);
static_assert(std::is_same_v<decltype(&mouse_set), decltype(rt::RuntimeHooks::hook_mouse_set)>);

// Poll periods: key_wait looks at the queue every KEY_WAIT_POLL_MS, the sleep
// looks for a press every SLEEP_POLL_MS.
constexpr int KEY_WAIT_POLL_MS = 20;
constexpr int SLEEP_POLL_MS = 50;

}  // namespace

void key_queue_push(int32_t code) {
    KeyQueue& q = key_queue;
    q.slots[q.head] = code;
    q.head = (q.head + 1) % KEY_QUEUE_SLOTS;
    if (q.head == q.tail) q.tail = (q.tail + 1) % KEY_QUEUE_SLOTS;  // drop the oldest
    q.key_posted.store(1);
}

int32_t key_queue_pop() {
    ScreenLock lock;
    KeyQueue& q = key_queue;
    int32_t code = 0;
    if (q.tail != q.head) {
        code = q.slots[q.tail];
        q.tail = (q.tail + 1) % KEY_QUEUE_SLOTS;
    }
    // A read consumes the press for a following sleep, in the same hold of
    // the lock as the pop (the nested guard takes nothing).
    key_posted_take();
    return code;
}

int32_t key_posted_take() {
    ScreenLock lock;
    return key_queue.key_posted.exchange(0);
}

void key_queue_clear() {
    ScreenLock lock;
    key_queue.head = 0;
    key_queue.tail = 0;
    key_queue.key_posted.store(0);
}

int key_hit() {
    ScreenLock lock;
    return key_queue.head != key_queue.tail ? 1 : 0;
}

std::string key_read() {
    if (screen == nullptr) return std::string();
    int32_t code = key_queue_pop();
    if (code == 0) return std::string();
    if (code >= 1 && code <= 255) return std::string(1, static_cast<char>(code));
    const char text[2] = {static_cast<char>(255), static_cast<char>((code >> 8) & 0xFF)};
    return std::string(text, 2);
}

int key_wait() {
    if (screen == nullptr) return 0;
    int32_t code;
    do {
        code = key_queue_pop();
        rt::sleep_ms(KEY_WAIT_POLL_MS);  // after every attempt, the successful one too
    } while (code == 0);
    return code;
}

int key_down(int scancode) {
    if (screen == nullptr || scancode < 0 || scancode > 127) return 0;
    ScreenLock lock;
    const uint8_t* state = screen->key_state;
    return state != nullptr && state[scancode] != 0 ? -1 : 0;
}

// No guard is held across a platform sleep, so the display thread can take
// the lock and deliver keys meanwhile.
void sleep_interruptible(int ms) {
    if (ms == -1) {
        while (key_posted_take() == 0) platform::sleep_ms(SLEEP_POLL_MS);
        return;
    }
    if (ms >= 100) {
        do {
            if (key_posted_take() != 0) return;
            platform::sleep_ms(SLEEP_POLL_MS);
            ms -= SLEEP_POLL_MS;
        } while (ms > SLEEP_POLL_MS);
        platform::sleep_ms(ms);  // the rest, 1..50 ms, without looking at keys
        return;
    }
    if (ms > 0) platform::sleep_ms(ms);
}

int mouse_get(int* x, int* y, int* wheel, int* buttons) {
    // Every output may be null; the driver writes all four.
    int scratch[4];
    int* out[4] = {x ? x : &scratch[0], y ? y : &scratch[1], wheel ? wheel : &scratch[2],
                   buttons ? buttons : &scratch[3]};
    bool ok = false;
    if (screen != nullptr && screen->driver->get_mouse != nullptr) {
        ScreenLock lock;
        ok = screen->driver->get_mouse(out[0], out[1], out[2], out[3]) == 0;
    }
    if (ok) return 0;
    for (int* o : out) *o = -1;
    rt::error_set(rt::ERR_ILLEGAL);
    return rt::ERR_ILLEGAL;
}

int mouse_set(int x, int y, int cursor) {
    if (screen == nullptr || screen->driver->set_mouse == nullptr) {
        rt::error_set(rt::ERR_ILLEGAL);
        return rt::ERR_ILLEGAL;
    }
    ScreenLock lock;
    screen->driver->set_mouse(x, y, cursor);
    return 0;
}

}  // namespace gfx
