#!/bin/sh
# Runs a test program in a real X server (platform xcb), as a desktop runs the program: the
# clipboard and the PRIMARY selection are the X server's. Exits 77 (skipped), with the reason,
# where Xvfb is missing.
set -u
command -v xvfb-run >/dev/null 2>&1 || { echo "xcb: skipped, xvfb-run is not installed"; exit 77; }
QT_QPA_PLATFORM=xcb exec xvfb-run -a "$1"
