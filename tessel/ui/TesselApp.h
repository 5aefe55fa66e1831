#pragma once
// The window side of tessel: the Qt application, module start-up and the
// main window. main() comes here when it is given no command.

// Runs the program's window until it closes; the exit status. Understands
// `[MODEL]` and `--screenshot OUT.png [MODEL]`.
int RunTesselWindows(int argc, char** argv);
