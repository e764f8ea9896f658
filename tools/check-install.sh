#!/usr/bin/env bash
# Installs a build into a scratch prefix and starts the installed program from there as a
# person who may not write into the program's folder: it must run, find its plug-in and pages
# beside itself, and keep its history in the profile instead.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
desktop-file-validate "$tmp/prefix/share/applications/tarvik.desktop"
for f in bin/tarvik lib/tarvik/Plugins/QelBackup.dll lib/tarvik/Templates/Default.htm lib/tarvik/Help/Help.htm \
         lib/tarvik/Plugins/QelBackup/Info.htm share/icons/hicolor/48x48/apps/tarvik.png; do
  [ -e "$tmp/prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
mkdir "$tmp/home"
as_person=()
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$tmp/home"
  as_person=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod a-w "$tmp/prefix/lib/tarvik"
fi
env TARVIK_PROFILE="$tmp/home/profile" TARVIK_DISPLAY=headless \
  timeout -s TERM 5 "${as_person[@]}" "$tmp/prefix/bin/tarvik" >"$tmp/out" 2>&1 || true
grep -q "Program started" "$tmp/home/profile/History.txt" || { cat "$tmp/out"; echo "no history in the profile"; exit 1; }
grep -q "Program ended" "$tmp/home/profile/History.txt" || { cat "$tmp/out"; echo "the program did not end in order"; exit 1; }
[ ! -e "$tmp/prefix/lib/tarvik/History.txt" ] || { echo "history written into the program's folder"; exit 1; }
echo "1 passed, 0 failed"
