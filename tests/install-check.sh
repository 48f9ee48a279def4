#!/bin/sh
# Installs into a temporary DESTDIR and checks the files, the launcher, the AppStream data and
# the Debian package with its dependencies. Usage: install-check.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install-check: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli cpack dpkg-deb; do
    command -v "$tool" >/dev/null 2>&1 || { echo "install-check: skipped, $tool is not installed"; exit 77; }
done

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
actual=$(cd "$work/root" && find . -type f ! -path './usr/share/quorvane/browser/*' | sort)
extension=$(cd "$work/root/usr/share/quorvane/browser" && find . -type f | sort)
[ "$extension" = "$(cd "$(dirname "$0")/../browser" && find . -type f | sort)" ] || fail "the extension's files differ: $extension"
expected=$(printf '%s\n' \
    ./usr/bin/quorvane \
    ./usr/bin/quorvane-cli \
    ./usr/lib/quorvane/quorvane-browser-host \
    ./etc/chromium/native-messaging-hosts/org.quorvane.browser_host.json \
    ./etc/opt/chrome/native-messaging-hosts/org.quorvane.browser_host.json \
    ./usr/lib/mozilla/native-messaging-hosts/org.quorvane.browser_host.json \
    ./usr/share/applications/quorvane.desktop \
    ./usr/share/icons/hicolor/32x32/apps/quorvane.png \
    ./usr/share/icons/hicolor/scalable/apps/quorvane.svg \
    ./usr/share/man/man1/quorvane-cli.1 \
    ./usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml | sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$actual"
[ -x "$work/root/usr/bin/quorvane" ] || fail "quorvane is not executable"

desktop="$work/root/usr/share/applications/quorvane.desktop"
desktop-file-validate "$desktop" | grep -v '^.*: hint:' && fail "desktop-file-validate complained" || true
grep -qx 'Name=Quorvane' "$desktop" || fail "launcher name"
grep -qx 'Categories=Utility;Security;' "$desktop" || fail "launcher categories"
grep -qx 'Icon=quorvane' "$desktop" || fail "launcher icon"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" >/dev/null \
    || fail "appstreamcli validate failed"

# The manual page names every command and option that --help names.
cli="$work/root/usr/bin/quorvane-cli"
"$cli" --help >"$work/help.txt"
sed -n '/^Commands:/,/^$/s/^  \([a-z]*\( [a-z]*\)\?\)  .*/\1/p' "$work/help.txt" | sed 's/ *$//' >"$work/commands.txt"
[ "$(wc -l <"$work/commands.txt")" -ge 10 ] || fail "--help lists no commands"
while read -r command; do
    # shellcheck disable=SC2086 # a command is one or two words
    "$cli" $command --help >>"$work/help.txt" || fail "$command --help failed"
done <"$work/commands.txt"
man="$work/root/usr/share/man/man1/quorvane-cli.1"
for word in derive fingerprint "profiles list" "profiles add" "profiles remove" scheme identifier length exact version rule counter entropy; do
    grep -q -- "$word" "$work/help.txt" || fail "--help does not mention $word"
    sed 's/\\-/-/g' "$man" | grep -q -- "$word" || fail "the manual page does not mention $word"
done

# The browsers' manifests: JSON naming the installed host and only our extension, the same as
# "quorvane-cli browser setup" writes for one user (which finds the host under ../lib/quorvane).
HOME="$work/home" "$work/root/usr/bin/quorvane-cli" browser setup >"$work/setup.txt" || fail "browser setup failed"
python3 - "$work" <<'EOPY' || fail "the browsers' manifests are not right"
import json, sys
work = sys.argv[1]
name = "org.quorvane.browser_host.json"
pairs = [("/etc/chromium/native-messaging-hosts/", "/.config/chromium/NativeMessagingHosts/"),
         ("/etc/opt/chrome/native-messaging-hosts/", "/.config/google-chrome/NativeMessagingHosts/"),
         ("/usr/lib/mozilla/native-messaging-hosts/", "/.mozilla/native-messaging-hosts/")]
for system, user in pairs:
    installed = json.load(open(work + "/root" + system + name))
    written = json.load(open(work + "/home" + user + name))
    assert installed["path"] == "/usr/lib/quorvane/quorvane-browser-host", installed
    assert written["path"] == work + "/root/usr/lib/quorvane/quorvane-browser-host", written
    del installed["path"], written["path"]
    assert installed == written, (installed, written)
    allowed = installed.get("allowed_origins", installed.get("allowed_extensions"))
    assert len(allowed) == 1 and installed["type"] == "stdio", installed
EOPY

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/package/quorvane_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb was made"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5widgets5 libqt5core5a libsodium23 libssl3 libkf5archive5; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Suggests)" = "firefox-esr | firefox" ] || fail "Suggests is not firefox-esr | firefox"
dpkg-deb -c "$deb" | grep -q './usr/bin/quorvane$' || fail "the package lacks /usr/bin/quorvane"
# The binaries stripped, their debug information in the -dbgsym package beside it.
dpkg-deb -x "$deb" "$work/unpacked"
for binary in usr/bin/quorvane usr/bin/quorvane-cli usr/lib/quorvane/quorvane-browser-host; do
    readelf -S "$work/unpacked/$binary" | grep -q '\.debug_info' && fail "$binary carries its debug information"
done
ls "$work"/package/quorvane-dbgsym_*.ddeb >/dev/null 2>&1 || fail "no -dbgsym package beside the package"
dpkg-deb -c "$deb" | grep -q './etc/chromium/native-messaging-hosts/org.quorvane.browser_host.json$' \
    || fail "the package lacks Chromium's manifest"
echo "install-check: files, launcher, AppStream data and package ($depends) are fine"
