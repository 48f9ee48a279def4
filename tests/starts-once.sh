#!/bin/sh
# The program, quorvane-cli and the browser host each start exactly once: one execve, no second
# start to set up the allocator. Usage: starts-once.sh BUILD_DIR. Exits 77 (skipped), with the
# reason, where strace is missing or may not trace.
set -u
build=$1
command -v strace >/dev/null 2>&1 || { echo "starts-once: skipped, strace is not installed"; exit 77; }
strace -f -o /dev/null true 2>/dev/null || { echo "starts-once: skipped, strace may not trace here"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count() {
    strace -f -e trace=execve -o "$work/trace" "$@" >/dev/null 2>&1 </dev/null
    grep -c 'execve(.*= 0$' "$work/trace"
}
status=0
for run in "$build/quorvane-cli --version" "$build/quorvane-browser-host" \
           "timeout -s INT 3 env QT_QPA_PLATFORM=offscreen HOME=$work $build/quorvane"; do
    # timeout and env are programs of their own: one execve each before ours.
    expected=1
    case "$run" in timeout*) expected=3 ;; esac
    n=$(count $run)
    if [ "$n" != "$expected" ]; then
        echo "starts-once: $run made $n execve calls, not $expected"
        status=1
    fi
done
[ $status = 0 ] && echo "starts-once: each program started once"
exit $status
