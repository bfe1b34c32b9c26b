#!/usr/bin/env bash
# scripts/desktop-install writes the desktop files and icon into the XDG data
# folder it is given, pointing at the programs' folder, and refuses a folder
# without the programs.
set -euo pipefail
script="$1" bin_dir="$2"
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT

XDG_DATA_HOME="$data" "$script" "$bin_dir" >/dev/null
desktop="$data/applications/quillmark-checkin.desktop"
expected="Exec=\"$(cd "$bin_dir" && pwd)/Quillmark_Checkin\" --files %F"
grep -qxF "$expected" "$desktop" || { echo "no line $expected in:"; cat "$desktop"; exit 1; }
grep -qxF "MimeType=application/octet-stream;text/plain;" "$desktop"
property="$data/applications/quillmark-property.desktop"
grep -qxF "Exec=\"$(cd "$bin_dir" && pwd)/Quillmark_Property\" %f" "$property" || { cat "$property"; exit 1; }
grep -qxF "Name=Quillmark Properties" "$property"
cmp -s "$data/icons/hicolor/256x256/apps/quillmark.png" "$(dirname "$script")/../gui/resources/quillmark.png"

if XDG_DATA_HOME="$data" "$script" "$data" 2>"$data/err"; then
  echo "a folder without the programs was accepted"; exit 1
fi
grep -qxF "desktop-install: $data/Quillmark_Checkin is missing; build it first" "$data/err"
