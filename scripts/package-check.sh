#!/usr/bin/env bash
# The Debian package as a user gets it: made by scripts/package.sh, judged by
# lintian (an error fails), installed with apt-get, the installed program asked
# for --help, started headless as from the menu (no --folder: on the user's
# own data folder, which it makes) and closed again, started once more on an
# X display of its own to see what its window tells the desktop, and the
# package removed afterwards, whatever happened. Root only (apt-get).
# Stops at the first failing step, names it and exits non-zero.
set -uo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PROGRAM=/usr/bin/trivorn
# How long the started program is given to write into its folder; it must
# still be running afterwards.
START_SECONDS=5
WORK=$(mktemp -d /tmp/trivorn-package-check.XXXXXX)
step=setup
pid=""
xserver=""
tried_install=no

say() { echo "package-check: $*"; }
ok() { say "ok   $step${1:+: $1}"; }
# The reason, then the log that explains it.
fail() {
    say "FAIL $step: $1"
    [ -n "${2:-}" ] && [ -s "$2" ] && sed 's/^/     | /' "$2"
    exit 1
}
# Running or not, for a child of this shell: a child that has ended stays a
# zombie until it is waited for, and kill -0 still reaches a zombie.
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ $state != Z* ]]
}

cleanup() {
    local rc=$?
    if [ -n "$pid" ] && running "$pid"; then kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
    if [ -n "$xserver" ] && running "$xserver"; then kill -TERM "$xserver" 2>/dev/null; wait "$xserver" 2>/dev/null; fi
    if [ "$tried_install" = yes ]; then
        step=remove
        if ! DEBIAN_FRONTEND=noninteractive apt-get remove -y -q trivorn >"$WORK/remove.log" 2>&1; then
            say "FAIL $step: apt-get remove -y trivorn"; sed 's/^/     | /' "$WORK/remove.log"; rc=1
        elif [ -e "$PROGRAM" ] || dpkg-query -W -f='${Status}' trivorn 2>/dev/null | grep -q ' installed$'; then
            say "FAIL $step: trivorn is still installed after apt-get remove"; rc=1
        else
            ok "apt-get remove -y trivorn"
        fi
    fi
    rm -rf "$WORK"
    if [ "$rc" -eq 0 ]; then say "all steps passed"; else say "FAILED"; fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step=root
[ "$(id -u)" = 0 ] || fail "apt-get install needs root"

step=package
deb=$(bash "$REPO_DIR/scripts/package.sh" 2>"$WORK/package.log") || fail "scripts/package.sh failed" "$WORK/package.log"
ok "$deb"

step=lintian
# lintian's remark that it runs as root is no finding about the package.
lintian --fail-on error "$deb" >"$WORK/lintian.log" 2>&1; rc=$?
grep -v '^running with root privileges' "$WORK/lintian.log" | sed 's/^/     | /'
[ "$rc" -eq 0 ] || fail "lintian reports errors (exit $rc)"
ok "no errors"

step=install
tried_install=yes
# Without what the package only recommends (qt6-wayland): the check must not
# fetch packages, nor leave them behind on the machine once trivorn is gone.
(cd "$(dirname "$deb")" && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "./$(basename "$deb")") \
    >"$WORK/install.log" 2>&1 || fail "apt-get install -y ./$(basename "$deb")" "$WORK/install.log"
status=$(dpkg-query -W -f='${Status} ${Version}' trivorn 2>&1)
[[ $status == "install ok installed "* ]] || fail "dpkg says: $status"
ldd "$PROGRAM" >"$WORK/ldd.log" 2>&1 && ! grep -q 'not found' "$WORK/ldd.log" ||
    fail "$PROGRAM does not find all its libraries" "$WORK/ldd.log"
ok "${status#install ok installed }"

step=help
"$PROGRAM" --help >"$WORK/help.log" 2>&1 || fail "$PROGRAM --help exited $?" "$WORK/help.log"
grep -q -- '--folder' "$WORK/help.log" || fail "$PROGRAM --help does not name --folder" "$WORK/help.log"
ok

# A home of its own, so that nothing of the check is left in root's. Root may
# write to /usr/bin, yet the installed program must keep its data in the
# user's data folder, made owner-only on first start.
export QT_QPA_PLATFORM=offscreen HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -m 700 "$WORK/home" "$WORK/runtime"
data=$HOME/.local/share/trivorn

step=help-folder
"$PROGRAM" --help >"$WORK/help-home.log" 2>&1 && grep -qF "$data" "$WORK/help-home.log" ||
    fail "--help does not name $data" "$WORK/help-home.log"
ok "$data"

step=start
"$PROGRAM" >"$WORK/run.log" 2>&1 &
pid=$!
for _ in $(seq 1 $((START_SECONDS * 10))); do
    running "$pid" || break
    [ -n "$(ls -A "$data" 2>/dev/null)" ] && break
    sleep 0.1
done
if ! running "$pid"; then
    wait "$pid"; fail "the program ended by itself (exit $?)" "$WORK/run.log"
fi
[ -d "$data" ] || fail "no data folder $data" "$WORK/run.log"
[ "$(stat -c %a "$data")" = 700 ] || fail "$data has mode $(stat -c %a "$data"), not 700"
written=$(ls -A "$data" | xargs)
ok "running, pid $pid, on $data; wrote: ${written:-nothing yet}"

# A second copy on the same folder must notice the first and end at once:
# proof that the first really got going, window and all.
step=second-copy
timeout 10 "$PROGRAM" >"$WORK/second.log" 2>&1; rc=$?
[ "$rc" -ne 124 ] || fail "a second copy on the same folder still ran after 10 s" "$WORK/second.log"
[ "$rc" -eq 0 ] || fail "a second copy on the same folder exited $rc" "$WORK/second.log"
running "$pid" || fail "the first copy ended when the second started" "$WORK/run.log"
ok "ended at once"

step=close
kill -TERM "$pid"
for _ in $(seq 1 50); do running "$pid" || break; sleep 0.1; done
running "$pid" && fail "still running 5 s after SIGTERM" "$WORK/run.log"
wait "$pid"; rc=$?
pid=""
# 143: ended by the signal itself (128 + 15); 0: it closed on it.
[ "$rc" -eq 143 ] || [ "$rc" -eq 0 ] || fail "exited $rc on SIGTERM" "$WORK/run.log"
ok "exit $rc"

# The main window as a desktop sees it: its title names the program, its
# class (WM_CLASS) is the one the menu entry names (StartupWMClass), and its
# icon is the entry's (Icon=) as the installed theme holds it, picture for
# picture in every size the window carries.
step=window
for tool in Xvfb xwininfo xprop python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing (bash scripts/deps.sh --mail)"
done
Xvfb -displayfd 1 -nolisten tcp -screen 0 1366x768x24 >"$WORK/display" 2>"$WORK/xvfb.log" &
xserver=$!
for _ in $(seq 1 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb gave no display" "$WORK/xvfb.log"
export DISPLAY=:$(head -1 "$WORK/display") QT_QPA_PLATFORM=xcb
"$PROGRAM" >"$WORK/window.log" 2>&1 &
pid=$!
title="メニュー — TRIVORN"
line=""
for _ in $(seq 1 $((START_SECONDS * 10))); do
    running "$pid" || break
    line=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\":" | head -1)
    [ -n "$line" ] && break
    sleep 0.1
done
[ -n "$line" ] || fail "no window titled $title" "$WORK/window.log"
window=$(echo "$line" | awk '{print $1}')
class=$(echo "$line" | sed -n 's/.*: ("[^"]*" "\([^"]*\)").*/\1/p')
entry=/usr/share/applications/jp.trivorn.Trivorn.desktop
want_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -n "$want_class" ] && [ "$class" = "$want_class" ] || fail "window class '$class', the menu entry names '$want_class'"
xprop -id "$window" -notype -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON >"$WORK/icon.txt" 2>&1
python3 - "$WORK/icon.txt" /usr/share/icons/hicolor "$icon" >"$WORK/icon.log" 2>&1 <<'PY' ||
# The window's icon pictures (ARGB words, each after its size) against the
# installed PNGs (8-bit RGBA) of the same size, compared premultiplied: the
# window system's copy went through Qt's premultiplied pixels.
import re, struct, sys, zlib

def png(path):
    data = open(path, "rb").read()
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 6, 0):
                sys.exit(path + ": not 8-bit RGBA")
        elif kind == b"IDAT":
            idat += body
    raw, stride, prev, rows, i = zlib.decompress(idat), w * 4, bytearray(w * 4), [], 0
    for _ in range(h):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a, b, c = (line[x - 4] if x >= 4 else 0), prev[x], (prev[x - 4] if x >= 4 else 0)
            p = a + b - c
            paeth = a if abs(p - a) <= min(abs(p - b), abs(p - c)) else b if abs(p - b) <= abs(p - c) else c
            line[x] = (line[x] + [0, a, b, (a + b) // 2, paeth][kind]) & 255
        rows.append(line)
        prev = line
    return [(r[x + 3], r[x], r[x + 1], r[x + 2]) for r in rows for x in range(0, stride, 4)]

words = [int(v) for v in re.findall(r"\d+", open(sys.argv[1]).read().split("=", 1)[-1])]
pictures = 0
while len(words) >= 2:
    w, h = words[0], words[1]
    pixels, words = words[2:2 + w * h], words[2 + w * h:]
    theirs = png("%s/%dx%d/apps/%s.png" % (sys.argv[2], w, h, sys.argv[3]))
    for word, (a, r, g, b) in zip(pixels, theirs):
        mine = [(word >> 24) & 255, (word >> 16) & 255, (word >> 8) & 255, word & 255]
        if mine[0] != a or any(abs(m * a // 255 - t * a // 255) > 1 for m, t in zip(mine[1:], (r, g, b))):
            sys.exit("the %dx%d picture differs from the installed %s icon" % (w, h, sys.argv[3]))
    pictures += 1
sys.exit(0 if pictures else "the window carries no icon")
PY
    fail "the window's icon is not the installed $icon" "$WORK/icon.log"
kill -TERM "$pid"
for _ in $(seq 1 50); do running "$pid" || break; sleep 0.1; done
pid=""
ok "\"$title\", class $class, icon $icon"
