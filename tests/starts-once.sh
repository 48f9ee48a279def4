#!/bin/sh
# The program, quorvane-cli and the browser host each start exactly once: one execve, no second
# start to set up the allocator; and quorvane-cli asks once whether its output is a terminal, not
# once per line it writes. Usage: starts-once.sh BUILD_DIR. Exits 77 (skipped), with the
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
# 1,000 profiles listed into a pipe: a handful of ioctl calls, not one a line.
mkdir -p "$work/Documents/Quorvane"
i=0
while [ $i -lt 1000 ]; do printf 'account-%d|16\r\n' $i; i=$((i + 1)); done > "$work/Documents/Quorvane/zavdata.txt"
HOME=$work strace -e trace=ioctl -o "$work/calls" "$build/quorvane-cli" profiles list </dev/null | cat >/dev/null
asked=$(grep -c 'ioctl(' "$work/calls")
if [ "$asked" -gt 10 ]; then
    echo "starts-once: profiles list of 1,000 profiles made $asked ioctl calls"
    status=1
fi
[ $status = 0 ] && echo "starts-once: each program started once, and asked once whether its output is a terminal"
exit $status
