#include "platform/dialog.h"

#include <utility>

namespace {

uintptr_t command(uint32_t id, uint32_t notification) {
    return uintptr_t(id & 0xFFFF) | uintptr_t(notification) << 16;
}

} // namespace

void dialog_create(dialog_window& window) {
    window.alive = true;
    dialog_send(window, DIALOG_CREATE, 0, 0);
}

void dialog_destroy(dialog_window& window) {
    window.alive = false;
}

intptr_t dialog_send(dialog_window& window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!window.alive || !window.proc)
        return 0;
    return window.proc(window, message, wparam, lparam);
}

intptr_t dialog_default_proc(dialog_window& window, uint32_t message, uintptr_t, intptr_t) {
    if (message == DIALOG_CLOSE)
        dialog_destroy(window);
    return 0;
}

void dialog_add(dialog_window& window, dialog_control control) {
    window.controls.push_back(std::move(control));
}

dialog_control* dialog_item(dialog_window& window, uint32_t id) {
    for (dialog_control& control : window.controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

void dialog_click(dialog_window& window, uint32_t id) {
    dialog_control* control = dialog_item(window, id);
    if (!control || !control->enabled)
        return;
    if (control->kind == dialog_control_kind::check_box)
        control->checked = !control->checked;
    else if (control->kind != dialog_control_kind::push_button)
        return;
    dialog_send(window, DIALOG_COMMAND, command(id, DIALOG_CLICKED), 0);
}

void dialog_pick(dialog_window& window, uint32_t id, int32_t entry) {
    dialog_control* control = dialog_item(window, id);
    if (!control || !control->enabled || control->kind != dialog_control_kind::list || entry < 0 ||
        size_t(entry) >= control->entries.size())
        return;
    control->selection = entry;
    dialog_send(window, DIALOG_COMMAND, command(id, DIALOG_SELCHANGE), 0);
}

void dialog_close(dialog_window& window) {
    dialog_send(window, DIALOG_CLOSE, 0, 0);
}
