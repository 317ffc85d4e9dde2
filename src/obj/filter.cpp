// The filter driver: runs a chain of line kernels over a slot list, one line at a time.
#include "obj/filter.h"

namespace {

bool names_slot(uint32_t index, size_t slot_count) {
    return index < slot_count;
}

} // namespace

bool filter(const fparm* chain, flt_buf* slots, int count) {
    if (!chain || !slots)
        return false;
    size_t slot_count = 0;
    while (slots[slot_count].ptr)
        ++slot_count;
    for (const fparm* step = chain; step->kernel; ++step)
        if (!names_slot(step->dst & ~EVEN_LINES_ONLY, slot_count) ||
            !names_slot(step->src, slot_count) || !names_slot(step->third, slot_count))
            return false;

    for (int n = count; n >= 1; --n) {
        for (const fparm* step = chain; step->kernel; ++step) {
            if ((step->dst & EVEN_LINES_ONLY) && (n & 1))
                continue;
            const flt_buf& dst = slots[step->dst & ~EVEN_LINES_ONLY];
            const flt_buf& src = slots[step->src];
            const size_t bytes = step->width > 0 ? 4 * static_cast<size_t>(step->width) : 0;
            const bool bounded = src.begin && src.end && src.end - src.begin >= 4;
            const flt_line line{dst.ptr,
                                src.ptr,
                                slots[step->third].ptr,
                                step->p0,
                                step->p1,
                                step->p2,
                                bytes,
                                n,
                                count,
                                slots,
                                bounded ? src.begin : src.ptr,
                                bounded ? src.end : src.ptr + bytes};
            step->kernel(line);
        }
        // Moved on as addresses: after the last line a slot may point past its memory.
        for (size_t i = 0; i < slot_count; ++i)
            slots[i].ptr = reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(slots[i].ptr) +
                                                      static_cast<intptr_t>(slots[i].advance));
    }
    return true;
}
