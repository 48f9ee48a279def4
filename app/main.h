#pragma once

#include <QString>

// The profile file's full path, set once at start-up before any window takes input.
extern QString profile_file_path;

// One line "Interface:<hardware address>\n" per network interface, for the start-up trace.
QString List_interfaces();

// Start-up after the main window is shown: trace lines, the data folder and an empty profile
// file when they are missing, and profile_file_path. Never stops the program.
void Start_up();

// The program: application object, main window, start-up, event loop.
int qMain(int argc, char **argv);
