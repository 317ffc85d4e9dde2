#include "framebuffer/setup.h"

#include <cstdio>
#include <string>

#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

dialog_runner qbx_setup_dialog = nullptr;

namespace {

constexpr const char* primary_label = "primary surface only (fullscreen only, slower)";
constexpr const char* flipper_label = "~30fps  a e s t e t i c  mode (fullscreen only)";
constexpr const char* wndonly = "windowed only";
constexpr uint32_t windows_6_2 = 0x0206;

// The dialog's state while it is open.
struct {
    uint32_t width = 0, height = 0, bpp = 0; // the request
    int32_t amode = 0;                       // the selected candidate; -3 once closed
    uint32_t aflags = 0;                     // mode flags of the choice
    uint32_t wndflags = 0;                   // extra flags of a windowed choice
    uint32_t convflags = 0;
    uint32_t psoflipper = 0; // 1: the fourth box means the flip chain, not the primary surface
    const char* psolabel = primary_label;
} setup;

std::string format(const char* pattern, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

void add_controls(dialog_window& window) {
    using enum dialog_control_kind;
    const std::string request =
        format("requested mode: %dx%d %dbpp", int(setup.width), int(setup.height), int(setup.bpp));
    dialog_add(window, {label, QBX_SETUP_REQUEST, 11, 11, 210, 16, request});
    dialog_add(window, {list, QBX_SETUP_LIST, 93, 28, 156, 200, ""});
    dialog_add(window, {label, QBX_SETUP_LIST_LABEL, 11, 28, 62, 13, "select mode:"});
    dialog_add(window, {check_box, QBX_SETUP_WINDOWED, 11, 60, 68, 13, "windowed"});
    dialog_add(window, {push_button, QBX_SETUP_RUN, 11, 109, 244, 23, "run!"});
    dialog_add(window, {check_box, QBX_SETUP_DITHER, 200, 60, 45, 13, "dither"});
    dialog_add(window, {check_box, QBX_SETUP_PRIMARY, 11, 81, 230, 13, setup.psolabel});
    dialog_add(window, {check_box, QBX_SETUP_DOUBLED, 90, 60, 110, 13, "doubled window"});
}

std::string entry_text(const qbx_mode& candidate) {
    const bool doubled = candidate.flags & QBX_MODE_DOUBLED;
    const bool native = setup.bpp < 32 && candidate.host.bpp == setup.bpp;
    return format("%dx%d %dbpp%s%s", int(candidate.host.x), int(candidate.host.y),
                  int(candidate.host.bpp), doubled ? " doubled" : "", native ? " (native)" : "");
}

void create(dialog_window& window) {
    add_controls(window);
    dialog_control& list = *dialog_item(window, QBX_SETUP_LIST);
    dialog_control& windowed = *dialog_item(window, QBX_SETUP_WINDOWED);
    dialog_control& primary = *dialog_item(window, QBX_SETUP_PRIMARY);
    dialog_control& doubled = *dialog_item(window, QBX_SETUP_DOUBLED);

    if (setupmodes.empty() || (setupmodes[0].flags & QBX_MODE_FALLBACK)) {
        list.entries = {wndonly};
        list.selection = 0;
        list.enabled = false;
        windowed.checked = true;
        windowed.enabled = false;
        primary.enabled = false;
        doubled.enabled = true;
        setup.amode = 0;
        setup.aflags = QBX_MODE_WINDOWED;
        return;
    }

    const bool selectable = size_t(setup.amode) < setupmodes.size();
    const bool preselected_windowed =
        selectable && (setupmodes[size_t(setup.amode)].flags & QBX_MODE_WINDOWED);
    windowed.enabled = !(qbx_flags & QBX_FLAG_LOWDEPTH);
    windowed.checked = preselected_windowed;
    primary.checked = false;
    doubled.enabled = preselected_windowed;
    for (const qbx_mode& candidate : setupmodes)
        list.entries.push_back(entry_text(candidate));
    if (selectable)
        list.selection = setup.amode;
}

void set_bit(uint32_t& flags, uint32_t bit, bool on) {
    flags = on ? flags | bit : flags & ~bit;
}

// A click on a button or check box.
void clicked(dialog_window& window, uint32_t id) {
    const dialog_control* control = dialog_item(window, id);
    const bool ticked = control && control->checked;
    switch (id) {
    case QBX_SETUP_WINDOWED:
        set_bit(setup.aflags, QBX_MODE_WINDOWED, ticked);
        dialog_item(window, QBX_SETUP_DOUBLED)->enabled = ticked;
        dialog_item(window, QBX_SETUP_LIST)->enabled = !ticked;
        dialog_item(window, QBX_SETUP_PRIMARY)->enabled = !ticked;
        break;
    case QBX_SETUP_DOUBLED:
        setup.wndflags = ticked ? QBX_MODE_DOUBLED : 0;
        break;
    case QBX_SETUP_DITHER:
        setup.convflags = ticked ? QBX_CONV_DITHER : 0;
        break;
    case QBX_SETUP_PRIMARY:
        set_bit(setup.aflags, QBX_MODE_PRIMARY_ONLY, (ticked ? 1u : 0u) ^ setup.psoflipper);
        break;
    case QBX_SETUP_RUN:
        dialog_destroy(window);
        break;
    }
}

} // namespace

intptr_t SetupWndProc(dialog_window& window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const uint32_t id = wparam & 0xFFFF, notification = (wparam >> 16) & 0xFFFF;
    switch (message) {
    case DIALOG_CREATE:
        create(window);
        return 0;
    case DIALOG_COMMAND:
        if (id == QBX_SETUP_LIST && notification == DIALOG_SELCHANGE)
            setup.amode = dialog_item(window, QBX_SETUP_LIST)->selection;
        else if (id != QBX_SETUP_LIST && notification == DIALOG_CLICKED)
            clicked(window, id);
        return 0;
    case DIALOG_CLOSE:
        setup.amode = QBX_MODE_USER_BREAK;
        dialog_destroy(window);
        return 0;
    default:
        return dialog_default_proc(window, message, wparam, lparam);
    }
}

int32_t qbx_setup(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags, int32_t best) {
    setup.width = x;
    setup.height = y;
    setup.bpp = bpp;
    setup.amode = best < 0 ? 0 : best;
    setup.wndflags = 0;
    setup.aflags = flags;
    setup.convflags = 0;
    if ((qbx_winver & 0xFFFF) == windows_6_2) {
        setup.psolabel = flipper_label;
        setup.psoflipper = 1;
        setup.aflags ^= QBX_MODE_PRIMARY_ONLY; // full screen draws straight to the primary surface
    } else {
        setup.psolabel = primary_label;
        setup.psoflipper = 0;
    }

    dialog_window window;
    window.title = QBX_SETUP_TITLE;
    window.width = QBX_SETUP_WIDTH;
    window.height = QBX_SETUP_HEIGHT;
    window.proc = SetupWndProc;
    window.default_button = QBX_SETUP_RUN;
    // A window that cannot be shown leaves the preselected candidate with the request's flags.
    if (qbx_setup_dialog)
        qbx_setup_dialog(window);

    if (setup.amode < 0)
        return setup.amode;
    // Only a list without candidates leaves the selection outside it; nothing can be written then.
    if (size_t(setup.amode) >= setupmodes.size())
        return -1;
    qbx_mode& chosen = setupmodes[size_t(setup.amode)];
    if (setup.aflags & QBX_MODE_WINDOWED)
        setup.aflags = (setup.aflags & ~QBX_MODE_PRIMARY_ONLY) | setup.wndflags;
    else
        setup.aflags |= chosen.flags & QBX_MODE_DOUBLED;
    chosen.flags = setup.aflags;
    chosen.convflags = setup.convflags;
    return setup.amode;
}
