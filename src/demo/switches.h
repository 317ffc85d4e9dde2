#pragma once
// The command-line switches of the demo and the pause state of the editor's playback control.

// One byte per field; all false at start.
struct controlFlags {
    bool wide = false;      // W: ask for a 16:9 host mode
    bool profile = false;   // P or T: time every frame and write profile.csv at the end
    bool paused = false;    // playback paused by the sync editor
    bool autoSetup = false; // A: choose the display mode without the setup dialog
};

// Reads every argument after the program name, upper-casing it in place (a to z only) and testing
// it for the letters T, ?, W, A and P, in that order, as substrings. Returns false as soon as an
// argument holds "?": the caller then prints the help and ends.
bool readSwitches(int argc, char** argv, controlFlags& flags);

// The three lines of help on standard output.
void printHelp();
