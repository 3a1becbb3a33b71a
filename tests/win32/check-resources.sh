#!/bin/sh
# SPDX-License-Identifier: MIT
# Compiles resources/ponpira.rc with the MinGW resource compiler, from a folder other than the
# script's so that the icon must be found beside the script, and looks for the version in the
# result. Exits 77 (skipped) where windres is missing.
#   check-resources.sh <source dir> <work dir> <project version>
set -u
windres=$(command -v x86_64-w64-mingw32-windres) ||
    { echo "SKIPPED: no x86_64-w64-mingw32-windres (package binutils-mingw-w64-x86-64)"; exit 77; }
fail() {
    echo "FAILED: $*"
    exit 1
}
mkdir -p "$2"
cd "$2" || fail "cannot enter $2"
"$windres" -O coff -i "$1/resources/ponpira.rc" -o ponpira-rc.o ||
    fail "windres could not compile resources/ponpira.rc"
hex=$(od -An -tx1 -v ponpira-rc.o | tr -d ' \n')

# The fixed file and product version (1.2.0.2) follow the signature 0xFEEF04BD, and the
# product name "ポンピラ" is there in UTF-16: the UTF-8 source was read as UTF-8.
IFS=. read -r major minor patch tweak <<VERSION
$3
VERSION
le16() { printf '%02x%02x' $(($1 & 255)) $(($1 >> 8)); }
version="$(le16 "$minor")$(le16 "$major")$(le16 "${tweak:-0}")$(le16 "$patch")"
case $hex in *"bd04effe00000100$version$version"*) ;; *) fail "no fixed version $3" ;; esac
case $hex in *dd30f330d430e930*) ;; *) fail "no product name in UTF-16" ;; esac
echo "resources/ponpira.rc compiles and carries version $3"
