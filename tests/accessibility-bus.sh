#!/bin/sh
# Runs a test program as a desktop with a screen reader runs a program: a real X server, a
# session bus, the accessibility bus, and Qt's bridge to it switched on. Exits 77 (skipped),
# with the reason, where a tool it needs is missing.
set -u
program=$1
launcher=/usr/libexec/at-spi-bus-launcher
for tool in xvfb-run dbus-run-session "$launcher"; do
    command -v "$tool" >/dev/null 2>&1 || [ -x "$tool" ] || { echo "accessibility: skipped, $tool is not installed"; exit 77; }
done
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
exec xvfb-run -a dbus-run-session -- sh -c "$launcher --launch-immediately & launcher=\$!; sleep 1; \"$program\"; status=\$?; kill \$launcher 2>/dev/null; exit \$status"
