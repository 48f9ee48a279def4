#!/bin/sh
# The extension's tests in real browsers (extension.test.mjs). Usage: run.sh BUILD_DIR
# Exits 77 (skipped), with the reason, where Node or Chromium is missing. Installs the pinned
# puppeteer-core (package-lock.json) when it is not installed yet; make test runs npm ci first.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
for tool in node npm; do
    command -v "$tool" >/dev/null 2>&1 || { echo "browser: skipped, $tool is not installed"; exit 77; }
done
[ -x /usr/lib/chromium/chromium ] || { echo "browser: skipped, Debian's chromium is not installed"; exit 77; }
cd "$here"
if [ ! -d node_modules/puppeteer-core ]; then
    npm ci --no-audit --no-fund --loglevel=error || exit 1
fi
QUORVANE_BUILD=$build exec node --test --test-reporter=spec extension.test.mjs
