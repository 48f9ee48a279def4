#!/bin/sh
# Installs into a temporary DESTDIR and checks the files, the launcher, the AppStream data; then
# makes the Debian packages as make package does, runs lintian on each (no error, no warning),
# installs them into a scratch root with dpkg, checks the trees, links and manifests where the
# browsers look, and purges them again: nothing of ours may be left. Usage: install-check.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install-check: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-buildpackage dh lintian; do
    command -v "$tool" >/dev/null 2>&1 || { echo "install-check: skipped, $tool is not installed"; exit 77; }
done

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
actual=$(cd "$work/root" && find . -type f ! -path './usr/share/webext/quorvane/*' ! -path './usr/share/doc/quorvane/*' | sort)
# The guides as HTML, with their pictures, for the window's Help.
for page in user-guide secrets compatibility development; do
    grep -q '<h2 id=' "$work/root/usr/share/doc/quorvane/$page.html" 2>/dev/null || fail "the $page guide is not installed as HTML"
done
[ -f "$work/root/usr/share/doc/quorvane/main-window.png" ] || fail "the guide's pictures are not installed"
extension=$(cd "$work/root/usr/share/webext/quorvane" && find . -type f | sort)
[ "$extension" = "$(cd "$(dirname "$0")/../browser" && find . -type f | sort)" ] || fail "the extension's files differ: $extension"
expected=$(printf '%s\n' \
    ./usr/bin/quorvane \
    ./usr/bin/quorvane-cli \
    ./usr/lib/quorvane/quorvane-browser-host \
    ./etc/chromium/native-messaging-hosts/org.quorvane.browser_host.json \
    ./usr/lib/mozilla/native-messaging-hosts/org.quorvane.browser_host.json \
    ./usr/share/applications/quorvane.desktop \
    ./usr/share/icons/hicolor/32x32/apps/quorvane.png \
    ./usr/share/icons/hicolor/scalable/apps/quorvane.svg \
    ./usr/share/man/man1/quorvane-cli.1 \
    ./usr/share/man/man1/quorvane.1 \
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

# The packages, made as make package makes them.
"$(dirname "$0")/../scripts/build-packages" "$work/package" >/dev/null || fail "the packages could not be made"
deb=$(ls "$work"/package/quorvane_*.deb)
webext=$(ls "$work"/package/webext-quorvane_*_all.deb)
dbgsym=$(ls "$work"/package/quorvane-dbgsym_*.deb)
lintian --fail-on error,warning "$deb" "$webext" "$dbgsym" >"$work/lintian.txt" 2>&1 \
    || fail "lintian finds errors or warnings: $(grep -E '^[EW]:' "$work/lintian.txt")"
grep -E '^[EW]:' "$work/lintian.txt" && fail "lintian finds errors or warnings"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5widgets5 libqt5core5a libsodium23 libssl3 libkf5archive5; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Suggests)" = "firefox-esr | firefox" ] || fail "Suggests is not firefox-esr | firefox"
[ "$(dpkg-deb -f "$deb" Recommends)" = "webext-quorvane, wl-clipboard" ] || fail "quorvane does not recommend webext-quorvane and wl-clipboard"
[ "$(dpkg-deb -f "$webext" Architecture)" = all ] || fail "webext-quorvane is not Architecture: all"
dpkg-deb -f "$webext" Depends | grep -q '^quorvane (>= ' || fail "webext-quorvane does not depend on quorvane"
[ "$(dpkg-deb -f "$webext" Recommends)" = "firefox-esr | chromium" ] || fail "webext-quorvane does not recommend the browsers"
# The binaries stripped, their debug information in the -dbgsym package.
dpkg-deb -x "$deb" "$work/unpacked"
for binary in usr/bin/quorvane usr/bin/quorvane-cli usr/lib/quorvane/quorvane-browser-host; do
    readelf -S "$work/unpacked/$binary" | grep -q '\.debug_info' && fail "$binary carries its debug information"
done
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar xOf - ./conffiles)" \
    = "/etc/chromium/native-messaging-hosts/org.quorvane.browser_host.json" ] || fail "the conffiles are not Chromium's manifest alone"

# A scratch root with a dpkg database of its own: install, look where the browsers look, purge.
root="$work/scratch"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
scratch() { dpkg --root="$root" --force-depends --force-script-chrootless --force-not-root --no-triggers "$@"; }
scratch -i "$deb" "$webext" >"$work/dpkg.txt" 2>&1 || fail "dpkg could not install the packages: $(cat "$work/dpkg.txt")"
for link in "usr/share/chromium/extensions/quorvane" \
            "usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/browser@quorvane.org"; do
    [ -L "$root/$link" ] || fail "$link is not a link"
    [ "$(readlink -f "$root/$link")" = "$root/usr/share/webext/quorvane" ] || fail "$link does not lead to the one tree"
    [ -f "$root/$link/manifest.json" ] || fail "$link has no manifest.json"
done
# Chromium's wrapper loads every folder of /usr/share/chromium/extensions; Firefox takes a system
# add-on from a folder named after its id, which the manifest must carry.
python3 - "$root" <<'EOPY' || fail "the extension's manifest or the host's manifests are not right"
import json, sys
root = sys.argv[1]
manifest = json.load(open(root + "/usr/share/webext/quorvane/manifest.json"))
assert manifest["browser_specific_settings"]["gecko"]["id"] == "browser@quorvane.org", manifest
name = "org.quorvane.browser_host.json"
chromium = json.load(open(root + "/etc/chromium/native-messaging-hosts/" + name))
firefox = json.load(open(root + "/usr/lib/mozilla/native-messaging-hosts/" + name))
for host in (chromium, firefox):
    assert host["path"] == "/usr/lib/quorvane/quorvane-browser-host", host
assert chromium["allowed_origins"] == ["chrome-extension://neilhkkeidmiiopkkjlaampgfcblppbm/"], chromium
assert firefox["allowed_extensions"] == ["browser@quorvane.org"], firefox
EOPY
[ -x "$root/usr/lib/quorvane/quorvane-browser-host" ] || fail "the host is not installed"
scratch --purge webext-quorvane quorvane >"$work/purge.txt" 2>&1 || fail "dpkg could not purge: $(cat "$work/purge.txt")"
left=$(cd "$root" && find . ! -type d ! -path './var/lib/dpkg/*' | sort)
[ -z "$left" ] || fail "purge left files behind: $left"
for folder in usr/share/webext/quorvane usr/share/chromium/extensions usr/lib/quorvane etc/chromium; do
    [ ! -e "$root/$folder" ] || fail "purge left $folder"
done
echo "install-check: files, launcher, AppStream data and packages ($depends) are fine; lintian is silent"
