#!/bin/sh
# Quillmark-Setup.exe as an administrator uses it, silently, in a Wine prefix
# of its own (QUILLMARK_WINEPREFIX): install into a folder of the test's, use
# the installed programs on a new vault, uninstall, and find nothing of the
# installation left but the vault.
# Usage: setup_test.sh <wine-run> <wineserver> <setup.exe> <version> <build's quillmark.exe> [explorer]
set -u
run=$1 wineserver=$2 setup=$3 version=$4 build_cli=$5 explorer=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

win() { printf 'Z:%s' "$1" | tr / '\\'; }
# The data of a registry value (<key> <name>, "" for the default), nothing
# when it is missing.
value() {
  name=${2:-(Default)}
  if [ -n "$2" ]; then set -- "$1" /v "$2"; else set -- "$1" /ve; fi
  "$run" reg query "$@" 2>/dev/null | tr -d '\r' | sed -n "s/^    $name    REG_[A-Z_]*    //p"
}
has_key() { "$run" reg query "$1" >/dev/null 2>&1; }
expect() {  # <what> <expected> <actual>
  [ "$2" = "$3" ] && return
  printf '%s: expected "%s", got "%s"\n' "$1" "$2" "$3"
  failures=$((failures + 1))
}

machine_key='HKLM\SOFTWARE\Marrowgate Software Lab\Quillmark'
user_key='HKCU\SOFTWARE\Marrowgate Software Lab\Quillmark'
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark'
class='{1EC23140-80FD-4221-9A5E-C19CF8993FBE}'
approved_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
menu="$QUILLMARK_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillmark"
dir=$(win "$work/Quillmark")
programs="quillmark.exe Quillmark_Checkin.exe Quillmark_Property.exe Quillmark_Export.exe Tuv_FileExt.dll Uninstall.exe"
shortcuts="Uninstall Quillmark.lnk"
if [ -n "$explorer" ]; then
  programs="$programs Quillmark_Explorer.exe quillmark-help.html"
  shortcuts="$shortcuts|Quillmark Explorer.lnk"
fi

# An administrator without a vault, as on a new machine.
"$run" reg delete "$user_key" /f >/dev/null 2>&1
"$run" "$setup" /S "/D=$dir"
expect "setup's exit code" 0 $?
for file in $programs; do
  [ -f "$work/Quillmark/$file" ] || expect "installed file" "$file" ""
done
expect "Start menu" "$shortcuts" "$(ls "$menu" 2>&1 | sort -r | paste -sd '|')"
expect QuillmarkPath "$dir\\Quillmark_Checkin.exe" "$(value "$machine_key" QuillmarkPath)"
expect DisplayVersion "$version" "$(value "$uninstall_key" DisplayVersion)"
expect QuietUninstallString "\"$dir\\Uninstall.exe\" /S" \
  "$(value "$uninstall_key" QuietUninstallString)"
expect "the class's server" "$dir\\Tuv_FileExt.dll" \
  "$(value "HKCR\\CLSID\\$class\\InprocServer32" "")"
expect "the extension's approval" "Quillmark Shell Extension" "$(value "$approved_key" "$class")"

# A vault made and used through the installed programs.
printf 'hello\n' >"$work/note.txt"
"$run" "$dir\\quillmark.exe" init --vault "$(win "$work/vault")" >/dev/null
expect "init's exit code" 0 $?
"$run" "$dir\\quillmark.exe" checkin --date "2024-01-02 03:04:05" --description first \
  "$(win "$work/note.txt")" >/dev/null
expect "checkin's exit code" 0 $?
versions=$(printf '2024-01-02 03:04:05\tfirst')
expect "the installed versions" "$versions" \
  "$("$run" "$dir\\quillmark.exe" versions '\note.txt' | tr -d '\r')"
"$run" "$dir\\quillmark.exe" checkout '\note.txt' "$(win "$work/back.txt")" >/dev/null
expect "the version read back" hello "$(cat "$work/back.txt" 2>&1)"
settings=$("$run" reg query "$user_key")

# As Add/Remove Programs runs it: the uninstaller starts a copy of itself
# from the temporary folder and returns at once; the copy is done when this
# prefix's last program has ended. (Its one line on stderr is Wine's, about
# the Z: drive's label.)
"$run" "$dir\\Uninstall.exe" /S 2>/dev/null
expect "uninstall's exit code" 0 $?
WINEPREFIX=$QUILLMARK_WINEPREFIX "$wineserver" -w
[ -e "$work/Quillmark" ] && expect "the program folder after uninstall" "" "$(ls "$work/Quillmark")"
[ -e "$menu" ] && expect "the Start menu after uninstall" "" "$(ls "$menu")"
for key in "$machine_key" "${machine_key%\\Quillmark}" "$uninstall_key" "HKCR\\CLSID\\$class" \
    "HKCR\\*\\shellex\\ContextMenuHandlers\\$class"; do
  has_key "$key" && expect "after uninstall" "no key" "$key"
done
expect "the approval after uninstall" "" "$(value "$approved_key" "$class")"
expect "the user's settings after uninstall" "$settings" "$("$run" reg query "$user_key")"
expect "the vault after uninstall" "$versions" \
  "$("$run" "$build_cli" versions '\note.txt' | tr -d '\r')"

[ "$failures" -eq 0 ] || exit 1
echo "installed, used and uninstalled; the vault and its settings are intact"
