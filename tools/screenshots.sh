#!/bin/sh
# Remakes the pictures of every form in docs/screens/ (and the README's docs/main-window.png)
# from the running program: builds the walker, starts an Xvfb of its own, runs the walker from a
# copy of the program's folder with a fresh profile, and shrinks the pictures.
#
#   tools/screenshots.sh [build folder]      (default: build)
#
# Needs Xvfb and ImageMagick (tools/install-deps.sh installs both). Not part of CI: the pictures
# are looked at by a person and committed.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
out="$root/docs/screens"

ninja -C "$build" -j3 screens QelBackup TarvikX11 >/dev/null

scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# The program's folder as installed: the walker stands where Tarvik would.
mkdir -p "$scratch/prog" "$scratch/profile" "$scratch/runtime" "$scratch/shots"
chmod 700 "$scratch/runtime"
cp -r "$build/bin/Templates" "$build/bin/Help" "$build/bin/Plugins" "$scratch/prog/"
cp "$build/tools/screens" "$scratch/prog/"

# -displayfd: the server picks a free display and tells its number once it is ready.
mkfifo "$scratch/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/displayfd" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
read -r display <"$scratch/displayfd"

# No session bus: no tray icon appears on the desktop of whoever runs this.
(cd "$scratch/prog" &&
    env -u DBUS_SESSION_BUS_ADDRESS DISPLAY=":$display" TARVIK_DISPLAY=x11 TARVIK_PROFILE="$scratch/profile" \
        XDG_RUNTIME_DIR="$scratch/runtime" ./screens "$scratch/shots")

# Small files: the forms have few colours, 64 are plenty for flat controls and anti-aliased text.
rm -f "$out"/*.png
mkdir -p "$out"
for picture in "$scratch"/shots/*.png; do
    convert "$picture" -strip -colors 64 "PNG8:$out/$(basename "$picture")"
done
cp "$scratch/shots/README.md" "$out/"
cp "$out/main-welcome.png" "$root/docs/main-window.png"
du -ch "$out"/*.png | tail -1
