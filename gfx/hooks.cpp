// The table of graphics console and input operations.
#include "gfx/hooks.h"

#include "app/runtime_hooks.h"
#include "gfx/text/console_edit.h"
#include "gfx/text/console_text.h"
#include "gfx/text/keys.h"
#include "gfx/text/vga_ports.h"

namespace gfx {
namespace {

// The view range needs no action on a graphics screen: printing reads it
// when it runs.
void view_update(int, int) {}

// Console input is never redirected while a screen is open.
int is_redirected() { return 0; }

}  // namespace

void hooks_install() {
    rt::RuntimeHooks& h = rt::hooks;
    h.hook_key_read = key_read;
    h.hook_key_wait = key_wait;
    h.hook_key_hit = key_hit;
    h.hook_key_down = key_down;
    h.hook_mouse_get = mouse_get;
    h.hook_mouse_set = mouse_set;
    h.hook_sleep = sleep_interruptible;
    h.hook_print = text_print;
    h.hook_print_wide = text_print_wide;
    h.hook_locate = text_locate;
    h.hook_cursor_x = text_cursor_col;
    h.hook_cursor_y = text_cursor_row;
    h.hook_get_cursor = text_cursor_get;
    h.hook_get_size = text_size_get;
    h.hook_colour = text_colour;
    h.hook_clear = text_clear;
    h.hook_width = text_width;
    h.hook_read_cell = text_read_cell;
    h.hook_read_string = text_read_line;
    h.hook_line_input = text_line_input;
    h.hook_line_input_wide = text_line_input_wide;
    h.hook_port_in = port_in;
    h.hook_port_out = port_out;
    h.hook_view_update = view_update;
    h.hook_is_redirected = is_redirected;
}

void hooks_clear() { rt::hooks = rt::RuntimeHooks{}; }

}  // namespace gfx
