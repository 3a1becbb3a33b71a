#!/bin/sh
# Compiles resources/ponpira.rc with the MinGW resource compiler, from a folder other than the
# script's so that the icon is found beside the script, and looks for the version in the
# result. Exits 77 (skipped) where windres is missing.
#   check-resources.sh <source dir> <work dir> <project version>
set -u
src=$1
work=$2
version=$3

windres=$(command -v x86_64-w64-mingw32-windres) ||
    { echo "SKIPPED: no x86_64-w64-mingw32-windres (package binutils-mingw-w64-x86-64)"; exit 77; }
fail() {
    echo "FAILED: $*"
    exit 1
}

mkdir -p "$work"
cd "$work" || fail "cannot enter $work"
"$windres" -O coff -i "$src/resources/ponpira.rc" -o ponpira-rc.o ||
    fail "windres could not compile resources/ponpira.rc"

hex=$(od -An -tx1 -v ponpira-rc.o | tr -d ' \n')
contains() { # contains <hex bytes> <what>
    case $hex in
    *"$1"*) ;;
    *) fail "the compiled resources lack $2" ;;
    esac
}

# The fixed version, 1.2.0.2 as file and product version, follows its signature 0xFEEF04BD.
IFS=. read -r major minor patch tweak <<VERSION
$version
VERSION
le16() { printf '%02x%02x' $(($1 & 255)) $(($1 >> 8)); }
fixed="bd04effe00000100$(le16 "$minor")$(le16 "$major")$(le16 "${tweak:-0}")$(le16 "$patch")"
contains "$fixed$(le16 "$minor")$(le16 "$major")$(le16 "${tweak:-0}")$(le16 "$patch")" \
    "the fixed file and product version $version"
# "ポンピラ" and "1.02.0002" as UTF-16: the UTF-8 source was read as UTF-8.
contains "dd30f330d430e930" "the product name in UTF-16"
contains "31002e00300032002e0030003000300032" "the version text 1.02.0002"
# The icon file's first image (16 x 16, 16 colours) is in the compiled resources.
icon=$(od -An -tx1 -v -j "$(od -An -tu4 -j 18 -N 4 "$src/resources/ponpira.ico" | tr -d ' ')" \
    -N 64 "$src/resources/ponpira.ico" | tr -d ' \n')
contains "$icon" "the 16 x 16 icon image"
echo "resources/ponpira.rc compiles and carries version $version"
