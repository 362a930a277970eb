// Video pages: choosing the work and visible page, and copying one page
// onto another (how a frame drawn on a hidden page is presented). With a
// driver that presents frames itself (flip), page_copy presents instead.
#pragma once

#include <cstdint>

namespace gfx {

// Copies the clip rectangle of page `from` onto page `to` along with the
// text cells. Negative: the work page as source, the visible page as
// destination. Out-of-range pages are ignored.
void page_copy(int32_t from, int32_t to);

// Chooses the work and visible page; a negative number keeps that page
// (both negative: both become page 0).
void page_set(int32_t work, int32_t visible);

}  // namespace gfx
