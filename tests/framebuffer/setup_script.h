#pragma once
// A dialog front end without a screen: it creates the window, keeps a copy of the controls as they
// were first shown, and lets a scripted user act on them by the same input a real front end sends.
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "framebuffer/setup.h"

inline std::function<void(dialog_window&)> dialog_user;
inline std::vector<dialog_control> dialog_shown;

inline bool scripted_dialog(dialog_window& window) {
    dialog_create(window);
    dialog_shown = window.controls;
    if (dialog_user)
        dialog_user(window);
    EXPECT_FALSE(window.alive) << "the scripted user left the dialog open";
    return true;
}

// Installs the scripted front end with this user.
inline void script_dialog(std::function<void(dialog_window&)> user) {
    dialog_user = std::move(user);
    dialog_shown.clear();
    qbx_setup_dialog = scripted_dialog;
}

// The first shown control of that id (the test fails without one).
inline const dialog_control& shown(uint32_t id) {
    for (const dialog_control& control : dialog_shown)
        if (control.id == id)
            return control;
    ADD_FAILURE() << "no control " << id;
    static const dialog_control none;
    return none;
}
