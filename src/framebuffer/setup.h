#pragma once
// The setup dialog, in which the user chooses among the candidate modes of setupmodes. Its logic is
// the window procedure SetupWndProc over the dialog's control messages; showing the window is the
// job of a front end, installed in qbx_setup_dialog by qbx_init for a display backend that has one.
#include <cstdint>

#include "platform/dialog.h"

// Control ids.
constexpr uint32_t QBX_SETUP_REQUEST = 1007; // "requested mode: ..."
constexpr uint32_t QBX_SETUP_LIST_LABEL = 1008;
constexpr uint32_t QBX_SETUP_LIST = 1009; // the candidates
constexpr uint32_t QBX_SETUP_WINDOWED = 1010;
constexpr uint32_t QBX_SETUP_DITHER = 1011;
constexpr uint32_t QBX_SETUP_PRIMARY = 1012; // primary surface only, or its inverse (Windows 6.2)
constexpr uint32_t QBX_SETUP_RUN = 1013;
constexpr uint32_t QBX_SETUP_DOUBLED = 1001;

constexpr const char* QBX_SETUP_TITLE = "quoblex type 3 - win32 - setup";
constexpr int32_t QBX_SETUP_WIDTH = 260, QBX_SETUP_HEIGHT = 140; // client area

// The front end that shows the dialog, or null: then the dialog behaves as a window that could not
// be created.
extern dialog_runner qbx_setup_dialog;

// Shows the dialog over setupmodes with `best` preselected (0 when negative). Writes the choice
// into the chosen candidate's flags and convflags and returns its index; QBX_MODE_USER_BREAK (-3)
// when the user closed the dialog, -1 when nothing was selected. When the window cannot be shown,
// the preselected candidate gets the request's flags.
int32_t qbx_setup(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags, int32_t best);

// The dialog's window procedure.
intptr_t SetupWndProc(dialog_window& window, uint32_t message, uintptr_t wparam, intptr_t lparam);
