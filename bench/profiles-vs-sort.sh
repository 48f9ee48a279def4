#!/usr/bin/env bash
# Times `quorvane-cli profiles list`, `profiles remove` and `derive --profile` (a compatible
# profile, so that the file's reading is what counts) on a file of 100,000 profiles against
# coreutils `sort` on the same file, and counts the system calls of the list (one question
# whether its output is a terminal, not one per line). Usage: bench/profiles-vs-sort.sh [build]
set -euo pipefail
build=${1:-build}
cli=$(realpath "$build/quorvane-cli")
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
folder="$home/Documents/Quorvane"
mkdir -p "$folder"
file="$folder/zavdata.txt"
for i in $(seq 0 99999); do
    printf 'account-%d|%d\r\n' $(( (i * 7919) % 100000 )) $(( 4 + i % 29 ))
done > "$file.master"

median_ms() {   # runs "$@" eleven times (the master copy restored first) and prints the median
    local times=()
    for _ in $(seq 1 11); do
        cp "$file.master" "$file"
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 6p | awk '{ printf "%.1f", $1 / 1000 }'
}

sort_ms=$(median_ms sort "$file")
list_ms=$(HOME=$home XDG_CONFIG_HOME=$home/.config median_ms "$cli" profiles list)
remove_ms=$(HOME=$home XDG_CONFIG_HOME=$home/.config median_ms "$cli" profiles remove -i account-0 -l 4 --scheme=compatible)
derive() { echo 'phrase' | "$cli" derive --profile=account-99991; }
derive_ms=$(HOME=$home XDG_CONFIG_HOME=$home/.config median_ms derive)
echo -e "sort-100k\t${sort_ms} ms"
echo -e "cli-profiles-list-100k\t${list_ms} ms\t$(awk -v a="$list_ms" -v b="$sort_ms" 'BEGIN { printf "%.2fx sort", a / b }')"
echo -e "cli-profiles-remove-100k\t${remove_ms} ms\t$(awk -v a="$remove_ms" -v b="$sort_ms" 'BEGIN { printf "%.2fx sort", a / b }')"
echo -e "cli-derive-profile-100k\t${derive_ms} ms\t$(awk -v a="$derive_ms" -v b="$sort_ms" 'BEGIN { printf "%.2fx sort", a / b }')"
if command -v strace >/dev/null 2>&1; then
    cp "$file.master" "$file"
    HOME=$home XDG_CONFIG_HOME=$home/.config strace -f -c -e trace=ioctl -o "$home/calls" "$cli" profiles list >/dev/null
    echo -e "cli-profiles-list-100k-ioctl\t$(awk '$NF == "ioctl" { print $4 }' "$home/calls") calls"
fi
