#!/bin/sh
# The extension's tests in real browsers (extension.test.mjs). Usage: run.sh BUILD_DIR
# Exits 77 (skipped), with the reason, where Node, Chromium or Xvfb is missing. Installs the
# pinned puppeteer-core (package-lock.json) when it is not installed yet; make test runs npm ci
# first. Where it may, it hides the system-wide folders of the browsers' host manifests in a
# private mount namespace, so that an installed Quorvane cannot answer in place of the build.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
for tool in node npm xvfb-run; do
    command -v "$tool" >/dev/null 2>&1 || { echo "browser: skipped, $tool is not installed"; exit 77; }
done
[ -x /usr/lib/chromium/chromium ] || { echo "browser: skipped, Debian's chromium is not installed"; exit 77; }
cd "$here"
if [ ! -d node_modules/puppeteer-core ]; then
    npm ci --no-audit --no-fund --loglevel=error || exit 1
fi
export QUORVANE_BUILD="$build"

if [ -z "${QUORVANE_PRIVATE_MOUNTS:-}" ] && unshare --mount --propagation private true 2>/dev/null; then
    QUORVANE_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private "$here/run.sh" "$build"
fi
if [ -n "${QUORVANE_PRIVATE_MOUNTS:-}" ]; then
    for folder in /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts \
                  /usr/lib/mozilla/native-messaging-hosts /usr/lib64/mozilla/native-messaging-hosts; do
        [ -d "$folder" ] && mount -t tmpfs -o size=64k quorvane-hidden "$folder"
    done
fi
# Firefox's popup and the shortcuts need a real window: an X display of their own.
exec xvfb-run -a -s "-screen 0 1280x1024x24" node --test --test-reporter=spec --test-concurrency=1 extension.test.mjs
