#!/bin/sh
# SPDX-License-Identifier: MIT
# Compiles resources/ponpira.rc with MinGW's windres from another folder (so the icon must be
# found beside the script) and checks its version against the project's. Exits 77 (skipped)
# where windres is missing.
#   check-resources.sh <source dir> <work dir> <project version>
set -u
windres=$(command -v x86_64-w64-mingw32-windres) ||
    { echo "SKIPPED: no x86_64-w64-mingw32-windres (package binutils-mingw-w64-x86-64)"; exit 77; }
fail() {
    echo "FAILED: $*"
    exit 1
}
mkdir -p "$2" && cd "$2" || fail "cannot enter $2"
"$windres" -O coff -i "$1/resources/ponpira.rc" -o ponpira-rc.o || fail "windres"
version=$(echo "$3" | tr . ,)
[ "$(grep -cE "^(FILE|PRODUCT)VERSION $version\$" "$1/resources/ponpira.rc")" = 2 ] ||
    fail "the file and product versions are not $3"
# "ポンピラ" in UTF-16: the UTF-8 source was read as UTF-8.
od -An -tx1 -v ponpira-rc.o | tr -d ' \n' | grep -q dd30f330d430e930 || fail "no UTF-16 name"
echo "resources/ponpira.rc compiles and carries version $3"
