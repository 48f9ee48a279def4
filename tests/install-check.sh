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
actual=$(cd "$work/root" && find . -type f | sort)
expected=$(printf '%s\n' \
    ./usr/bin/quorvane \
    ./usr/bin/quorvane-cli \
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
"$work/root/usr/bin/quorvane-cli" --help >"$work/help.txt"
man="$work/root/usr/share/man/man1/quorvane-cli.1"
for word in derive fingerprint "profiles list" "profiles add" "profiles remove" scheme identifier length exact version rule counter entropy; do
    grep -q -- "$word" "$work/help.txt" || fail "--help does not mention $word"
    sed 's/\\-/-/g' "$man" | grep -q -- "$word" || fail "the manual page does not mention $word"
done

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/package/quorvane_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb was made"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5widgets5 libqt5core5a libsodium23 libssl3 libkf5archive5; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Suggests)" = "firefox-esr | firefox" ] || fail "Suggests is not firefox-esr | firefox"
dpkg-deb -c "$deb" | grep -q './usr/bin/quorvane$' || fail "the package lacks /usr/bin/quorvane"
echo "install-check: files, launcher, AppStream data and package ($depends) are fine"
