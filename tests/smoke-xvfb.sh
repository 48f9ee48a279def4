#!/bin/sh
# Starts the real program in a real X server with a fresh HOME, waits for its main window and
# checks that start-up made an empty profile file, and that the trace is written only when asked
# for with QT_LOGGING_RULES.
set -u
program=$1
for tool in xvfb-run xwininfo; do
    command -v "$tool" >/dev/null 2>&1 || { echo "smoke: skipped, $tool is not installed"; exit 77; }
done
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

cat > "$home/check.sh" <<'EOS'
#!/bin/sh
program=$1
rules=$2
QT_LOGGING_RULES=$rules QT_QPA_PLATFORM=xcb "$program" >"$HOME/trace.txt" 2>&1 &
pid=$!
found=""
for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"Quorvane - Beta"'; then
        found=yes
        break
    fi
    sleep 0.2
done
cores=$(grep 'Max core file size' "/proc/$pid/limits" 2>/dev/null)
alive=$(kill -0 "$pid" 2>/dev/null && echo yes)
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ -z "$found" ] || [ -z "$alive" ]; then
    echo "smoke: no window titled 'Quorvane - Beta' stayed open (window: ${found:-no}, running: ${alive:-no})"
    cat "$HOME/trace.txt"
    exit 1
fi
if ! echo "$cores" | grep -Eq 'size +0 +0 '; then
    echo "smoke: the program may still dump core: $cores"
    exit 1
fi
echo "smoke: the main window appeared"
if [ -n "$rules" ] && ! grep -q 'debug from int main' "$HOME/trace.txt"; then
    echo "smoke: QT_LOGGING_RULES=$rules gave no trace"
    exit 1
fi
if [ -z "$rules" ] && grep -q 'debug from int main\|Interface:' "$HOME/trace.txt"; then
    echo "smoke: the trace was written although nobody asked for it"
    exit 1
fi
EOS
chmod +x "$home/check.sh"

unset QT_LOGGING_RULES
for rules in "" "default.debug=true"; do
    HOME=$home XDG_CONFIG_HOME=$home/.config xvfb-run -a -s "-screen 0 1024x768x24" "$home/check.sh" "$program" "$rules" || exit 1
done

profile="$home/Documents/Quorvane/zavdata.txt"
if [ ! -f "$profile" ] || [ -s "$profile" ]; then
    echo "smoke: expected an empty profile file at $profile"
    exit 1
fi
echo "smoke: empty profile file created"
