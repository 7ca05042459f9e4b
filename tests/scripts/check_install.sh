#!/usr/bin/env bash
# check_install.sh <cmake> <build-dir>
# Installs the build into a fresh prefix: the program with its guide beside
# it, the icon in the hicolor theme and a desktop entry that opens PNG
# drawings with the program and that desktop-file-validate accepts.
set -euo pipefail
cmake=$1
build=$2
command -v desktop-file-validate >/dev/null || { echo "desktop-file-validate not installed"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "$*"; exit 1; }
[ -x "$prefix/bin/varenko" ] || fail "no program in bin/"
cmp -s "$prefix/bin/Varenko_Application_Guide.pdf" "$build/shell/Varenko_Application_Guide.pdf" ||
  fail "no guide beside the program"
[ -s "$prefix/share/icons/hicolor/scalable/apps/varenko.svg" ] || fail "no scalable icon"
for size in 16 24 32 48 64 128 256; do
  [ -s "$prefix/share/icons/hicolor/${size}x${size}/apps/varenko.png" ] || fail "no ${size}x${size} icon"
done

entry="$prefix/share/applications/varenko.desktop"
[ -s "$entry" ] || fail "no desktop entry"
complaints=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $complaints"
[ -z "$complaints" ] || fail "desktop-file-validate: $complaints"
grep -qx 'MimeType=image/png;' "$entry" || fail "the desktop entry does not open PNG files"
grep -qx 'Icon=varenko' "$entry" || fail "the desktop entry does not name the icon"
program=$(sed -n 's/^Exec=\([^ ]*\) %f$/\1/p' "$entry")
[ -x "$prefix/bin/$program" ] || fail "the desktop entry does not start the installed program with a file"
echo "installed and valid"
