// tessel-gui: tessel's windows, which tessel starts when it is given no
// command (see WindowsLauncher.cpp). The arguments are tessel's own.

#include "tessel/ui/TesselApp.h"

int main(int argc, char** argv) { return RunTesselWindows(argc, argv); }
