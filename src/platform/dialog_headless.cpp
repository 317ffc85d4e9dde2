#include "platform/dialog.h"

// A window without a default button is closed.
bool run_headless_dialog(dialog_window& window) {
    dialog_create(window);
    if (window.default_button)
        dialog_click(window, window.default_button);
    if (window.alive)
        dialog_close(window);
    return true;
}
