#include "framebuffer/setup.h"

#include "framebuffer/mode.h"

qbx_setup_fn qbx_setup_dialog = nullptr;

int32_t qbx_setup(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags, int32_t best) {
    if (!qbx_setup_dialog)
        return QBX_MODE_USER_BREAK;
    return qbx_setup_dialog(x, y, bpp, flags, best);
}
