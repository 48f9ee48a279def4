#pragma once

#include <QString>

// One line "Interface:<hardware address>\n" per network interface, for the start-up trace.
QString List_interfaces();

// Start-up after the main window is shown: trace lines, the data folder and an empty profile
// file when they are missing, and profile_file_path (profilestate.h). Never stops the program.
void Start_up();

// The program: application object, main window, start-up, event loop.
int qMain(int argc, char **argv);
