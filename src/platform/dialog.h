#pragma once
// A small window of standard controls, in the manner of a desktop toolkit: the application's window
// procedure creates the controls and changes their state, a front end shows them and turns the
// user's clicks into messages for the procedure. The control state lives here, so a program can
// drive the same procedure by messages without any screen (the tests do).
#include <cstdint>
#include <string>
#include <vector>

struct display_backend;

enum class dialog_control_kind : uint32_t { label, list, check_box, push_button };

// One child control. Positions and sizes are in client pixels; a list's height includes its
// dropped-down part.
struct dialog_control {
    dialog_control_kind kind = dialog_control_kind::label;
    uint32_t id = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::string text;
    bool enabled = true;
    bool checked = false;               // check boxes
    std::vector<std::string> entries{}; // lists
    int32_t selection = -1;             // lists: the selected entry, -1 for none
};

// Messages, numbered as the desktop toolkit numbers them.
constexpr uint32_t DIALOG_CREATE = 0x0001;  // the window exists: create the controls
constexpr uint32_t DIALOG_CLOSE = 0x0010;   // the user asked to close the window
constexpr uint32_t DIALOG_COMMAND = 0x0111; // wparam: control id | notification << 16
// Notifications of DIALOG_COMMAND.
constexpr uint32_t DIALOG_CLICKED = 0;   // a button or check box was clicked
constexpr uint32_t DIALOG_SELCHANGE = 1; // the user selected another list entry

struct dialog_window;
using dialog_proc = intptr_t (*)(dialog_window& window, uint32_t message, uintptr_t wparam,
                                 intptr_t lparam);

struct dialog_window {
    std::string title;
    int32_t width = 0, height = 0; // client area
    dialog_proc proc = nullptr;
    uint32_t default_button = 0; // clicked by the Enter key; 0: none
    std::vector<dialog_control> controls;
    bool alive = false; // from dialog_create until dialog_destroy
};

// Shows a window and runs it until it is destroyed: calls dialog_create once the window is on the
// screen, then turns the user's input into dialog_click, dialog_pick and dialog_close. False when
// no window could be made (nothing was sent to the procedure then).
using dialog_runner = bool (*)(dialog_window& window);

// The runner that shows windows through this display backend; null when it has none.
dialog_runner dialog_runner_for(const display_backend* backend);
// The runner of the headless display: nobody is there to ask, so it answers every window at once
// with what the window preselects, as the Enter key would (its default button).
bool run_headless_dialog(dialog_window& window);

// Marks the window alive and sends it DIALOG_CREATE.
void dialog_create(dialog_window& window);
void dialog_destroy(dialog_window& window);
// Calls the window procedure; a destroyed window gets nothing (0).
intptr_t dialog_send(dialog_window& window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// What a procedure does with the messages it does not handle: closing destroys the window.
intptr_t dialog_default_proc(dialog_window& window, uint32_t message, uintptr_t wparam,
                             intptr_t lparam);

void dialog_add(dialog_window& window, dialog_control control);
// The control with that id, or null.
dialog_control* dialog_item(dialog_window& window, uint32_t id);

// The user's input, as a front end reports it. A click on an enabled button or check box (a check
// box changes its tick first) sends DIALOG_CLICKED; picking an entry of an enabled list selects it
// and sends DIALOG_SELCHANGE; closing sends DIALOG_CLOSE. Disabled controls ignore the user.
void dialog_click(dialog_window& window, uint32_t id);
void dialog_pick(dialog_window& window, uint32_t id, int32_t entry);
void dialog_close(dialog_window& window);
