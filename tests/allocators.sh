#!/bin/sh
# The programs under other allocators than glibc's: jemalloc preloaded, glibc's own checking
# allocator (libc_malloc_debug with MALLOC_CHECK_=3), and one without malloc_usable_size. Each
# program gives what it gives without one: quorvane-cli for all four schemes, the browser host,
# and the window (TestSecrets drives it, and reads its memory for the phrase after a clear).
# Usage: allocators.sh BUILD_DIR PLAIN_ALLOCATOR SITE_LISTS. Exits 77 (skipped) where none is
# installed.
set -u
build=$1
plain=$2
sites=$3
libs=/usr/lib/$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)
allocators=""
[ -f "$libs/libjemalloc.so.2" ] && allocators="$allocators jemalloc"
[ -f "$libs/libc_malloc_debug.so.0" ] && allocators="$allocators checking"
[ -f "$plain" ] && allocators="$allocators plain"
[ -n "$allocators" ] || { echo "allocators: skipped, neither jemalloc nor libc_malloc_debug is installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config QT_QPA_PLATFORM=offscreen

# One request to the browser host and its reply, as a browser frames them.
host_derive() {
    python3 -c '
import json, struct, subprocess, sys
body = json.dumps({"type": "derive", "line": "bank|16|strong|aA9!|2", "phrase": "hello"}).encode()
reply = subprocess.run([sys.argv[1]], input=struct.pack("=I", len(body)) + body, capture_output=True).stdout
print(json.loads(reply[4:]).get("password", reply))' "$build/quorvane-browser-host"
}
derive_all() {
    for scheme in "--scheme=strong" "--scheme=compatible" "--scheme=lesspass" "--scheme=spectre --user-name=u"; do
        # shellcheck disable=SC2086
        echo hello | "$build/quorvane-cli" derive -i bank $scheme || echo "exit $?"
    done
    host_derive
}

derive_all > "$work/expected"
status=0
for allocator in $allocators; do
    case $allocator in
        jemalloc) set -- "LD_PRELOAD=$libs/libjemalloc.so.2" ;;
        checking) set -- "LD_PRELOAD=$libs/libc_malloc_debug.so.0" "MALLOC_CHECK_=3" ;;
        plain) set -- "LD_PRELOAD=$plain" ;;
    esac
    if ! env "$@" "$build/quorvane-cli" --version >/dev/null 2>"$work/err"; then
        echo "allocators: quorvane-cli --version failed under $allocator: $(cat "$work/err")"
        status=1
        continue
    fi
    ( for setting in "$@"; do export "${setting?}"; done; derive_all ) > "$work/got" 2>"$work/err"
    if ! cmp -s "$work/expected" "$work/got"; then
        echo "allocators: other passwords under $allocator:"; diff "$work/expected" "$work/got"; cat "$work/err"
        status=1
    fi
    if ! env "$@" XDG_DATA_HOME="$sites" "$build/tests/TestSecrets" >"$work/window" 2>&1; then
        echo "allocators: the window's test failed under $allocator:"; grep -E 'FAIL|Loc|Totals|abort' "$work/window"
        status=1
    fi
done
[ $status = 0 ] && echo "allocators: the same passwords, and a window that runs, under:$allocators"
exit $status
