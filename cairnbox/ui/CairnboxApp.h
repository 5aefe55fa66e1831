#pragma once
// The window side of cairnbox: the Qt application and the main window.
// main() comes here when it is given no command.

// Runs the window until it closes; the exit status. Understands
// `[ARCHIVE]` and `--screenshot OUT.png [ARCHIVE]`.
int RunCairnboxWindows(int argc, char** argv);
