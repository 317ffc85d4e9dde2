#pragma once
// The setup dialog, in which the user chooses among the candidate modes of setupmodes. The dialog
// itself belongs to the presentation layer: it installs itself in qbx_setup_dialog. Until one is
// installed, a choice that needs the dialog ends as if the user had closed it.
#include <cstdint>

// Shows the dialog over setupmodes with `best` preselected (0 when negative). Writes the choice
// into the chosen candidate's flags and convflags and returns its index; QBX_MODE_USER_BREAK (-3)
// when the user closed the dialog, -1 when nothing was selected.
using qbx_setup_fn = int32_t (*)(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags,
                                 int32_t best);

// The installed dialog, or null (none available).
extern qbx_setup_fn qbx_setup_dialog;

// Runs the installed dialog; without one returns QBX_MODE_USER_BREAK and changes nothing.
int32_t qbx_setup(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags, int32_t best);
