#!/usr/bin/env bash
# `cmake --install` of a build folder (the one argument) into an empty
# DESTDIR under /usr, as the Debian package has it: exactly the files below
# and nothing else, each where desktops, software centres and man look for
# it; the menu entry and the AppStream metadata pass their validators; the
# entry's icon and command and the metadata's launchable name installed files.
set -uo pipefail
BUILD_DIR=${1:?usage: tst_desktop_install.sh BUILD_DIR}
WORK=$(mktemp -d /tmp/tdi.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is missing (bash scripts/deps.sh --mail)"; exit 1; }
done

root=$WORK/root
DESTDIR=$root cmake --install "$BUILD_DIR" --prefix /usr >"$WORK/install.log" 2>&1 ||
    { sed 's/^/     | /' "$WORK/install.log"; echo "FAIL cmake --install"; exit 1; }

app_id=jp.trivorn.Trivorn
desktop=usr/share/applications/$app_id.desktop
metainfo=usr/share/metainfo/$app_id.metainfo.xml
# What each file must be: "exec" an ELF executable, "png NxN" an image of
# that size, "gzip" compressed, "svg"/"desktop"/"metainfo"/"text" by content.
#  file                                            | kind
expected=(
  "usr/bin/trivorn                                 | exec"
  "$desktop                                        | desktop"
  "$metainfo                                       | metainfo"
  "usr/share/icons/hicolor/scalable/apps/trivorn.svg | svg"
  "usr/share/icons/hicolor/16x16/apps/trivorn.png   | png 16x16"
  "usr/share/icons/hicolor/24x24/apps/trivorn.png   | png 24x24"
  "usr/share/icons/hicolor/32x32/apps/trivorn.png   | png 32x32"
  "usr/share/icons/hicolor/48x48/apps/trivorn.png   | png 48x48"
  "usr/share/icons/hicolor/64x64/apps/trivorn.png   | png 64x64"
  "usr/share/icons/hicolor/128x128/apps/trivorn.png | png 128x128"
  "usr/share/icons/hicolor/256x256/apps/trivorn.png | png 256x256"
  "usr/share/man/man1/trivorn.1.gz                 | gzip"
  "usr/share/doc/trivorn/copyright                 | text"
  "usr/share/doc/trivorn/changelog.gz              | gzip"
)
# Big-endian width and height from a PNG's header chunk.
png_size() {
    local b; read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
    [ ${#b[@]} -eq 8 ] || return 1
    echo "$(( (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3] ))x$(( (b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7] ))"
}
listed=" "
for row in "${expected[@]}"; do
    path=$(echo "${row%%|*}" | xargs); kind=$(echo "${row#*|}" | xargs)
    listed="$listed$path "
    f=$root/$path
    [ -f "$f" ] || { fail "$path: not installed"; continue; }
    case "$kind" in
        exec) [ -x "$f" ] && head -c4 "$f" | grep -q ELF || fail "$path: not an executable program" ;;
        "png "*) size=$(png_size "$f") && [ "$(head -c8 "$f" | od -An -tx1 | xargs)" = "89 50 4e 47 0d 0a 1a 0a" ] ||
                     { fail "$path: not a PNG"; continue; }
                 [ "$size" = "${kind#png }" ] || fail "$path: $size, want ${kind#png }" ;;
        svg) grep -q '<svg' "$f" || fail "$path: not SVG" ;;
        gzip) gzip -t "$f" 2>/dev/null || fail "$path: not gzip" ;;
        desktop) grep -qx '\[Desktop Entry\]' "$f" || fail "$path: no [Desktop Entry]" ;;
        metainfo) grep -q '<component type="desktop-application">' "$f" || fail "$path: not a desktop-application component" ;;
        text) [ -s "$f" ] || fail "$path: empty" ;;
    esac
    perm=$(stat -c %a "$f")
    case "$kind" in exec) want=755 ;; *) want=644 ;; esac
    [ "$perm" = "$want" ] || fail "$path: mode $perm, want $want"
done
while IFS= read -r f; do
    [[ $listed == *" ${f#"$root"/} "* ]] || fail "${f#"$root"/}: installed, but not where this test expects anything"
done < <(find "$root" ! -type d)
while IFS= read -r d; do
    fail "${d#"$root"/}: folder mode $(stat -c %a "$d"), want 755"
done < <(find "$root" -mindepth 1 -type d ! -perm 755)

# The validators: any remark of desktop-file-validate counts (hints too),
# and AppStream's strict mode fails on everything but pedantic hints; the
# tree check also finds the desktop file the metadata launches.
out=$(desktop-file-validate "$root/$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate-tree --no-net --strict "$root" 2>&1) || fail "appstreamcli validate-tree: $out"

# What the entry and the metadata name must be there, and agree.
entry() { sed -n "s/^$1=//p" "$root/$desktop"; }
icon=$(entry Icon); exec=$(entry Exec)
[ -n "$icon" ] && [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] &&
    [ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "Icon=$icon: no such icon installed"
[ -n "$exec" ] && [ -x "$root/usr/bin/${exec%% *}" ] || fail "Exec=$exec: no such program in usr/bin"
[ "$(entry Terminal)" = false ] || fail "Terminal=$(entry Terminal), want false"
# The program names its windows' class after its command (main.cpp).
[ "$(entry StartupWMClass)" = "${exec%% *}" ] || fail "StartupWMClass=$(entry StartupWMClass), want ${exec%% *}"
id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$root/$metainfo")
launch=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$root/$metainfo")
[ "$id" = "$app_id" ] || fail "metainfo id '$id', want $app_id"
[ "$launch" = "$app_id.desktop" ] || fail "metainfo launchable '$launch', want $app_id.desktop"
grep -q '<release version="[^"@]*" date="[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]"' "$root/$metainfo" ||
    fail "metainfo: no release with version and date"

# The installed program itself starts (no display needed for --help).
"$root/usr/bin/trivorn" --help >"$WORK/help" 2>&1 && grep -q -- --folder "$WORK/help" ||
    fail "usr/bin/trivorn --help: $(head -3 "$WORK/help")"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
