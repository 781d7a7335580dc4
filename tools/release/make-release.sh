#!/bin/sh
# Builds the per-user installer and the portable zip from a dist/ folder:
#   OUT/Lumivex-<version>-setup.exe and OUT/Lumivex-<version>-portable.zip
# The same dist/ gives the same bytes: every file gets one fixed time (SOURCE_DATE_EPOCH, else
# the last commit's time), entries go in sorted order, and nothing of this machine (user, umask,
# time zone, time of the run) reaches either file.
# Usage: make-release.sh DIST OUT
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 DIST OUT" >&2; exit 2; }
dist=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)

field() { cmake -P "$here/print-version.cmake" | sed -n "s/^$1 //p"; }
version=$(field version)
version4=$(field version4)
product=$(field product)
company=$(field company)
copyright=$(field copyright)
# The names the installer shares with the programs come from their one header.
name_of() {
    sed -n "s/.*$1\[\] = L\"\([^\"]*\)\";.*/\1/p" "$root/support/lumivex_names.h"
}
main_mutex=$(name_of kMainInstanceName)
server_mutex=$(name_of kServerName)
main_program=$(name_of kMainProgramName)
server_program=$(name_of kServerProgramName)
library=$(name_of kHookLibraryName)
library64=$(name_of kHookLibrary64Name)
data_folder=$(name_of kDataFolderName)
set_aside=$(name_of kSetAsideSuffix)
for value in "$version" "$main_mutex" "$server_mutex" "$main_program" "$server_program" \
    "$library" "$library64" "$data_folder" "$set_aside"; do
    [ -n "$value" ] || { echo "a name or the version could not be read" >&2; exit 1; }
done

# What ships: the programs, both hook libraries and the language files; the demo hosts stay.
programs="$main_program $library $server_program $library64"
for file in $programs; do
    [ -f "$dist/$file" ] || { echo "missing: $dist/$file (run make dist)" >&2; exit 1; }
done
languages=$(cd "$dist/Language" && LC_ALL=C ls -1 -- *.lng)

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$product/Language"
for file in $programs; do cp "$dist/$file" "$stage/$product/"; done
for file in $languages; do cp "$dist/Language/$file" "$stage/$product/Language/"; done
cp "$root/app/lumivex.ico" "$stage/product.ico"

# The language files, for the installer's file lists: Windows name, then the file here.
{
    echo "!macro ForEachLanguageFile MACRO"
    for file in $languages; do
        echo "  !insertmacro \${MACRO} \"Language\\$file\" \"$stage/$product/Language/$file\""
    done
    echo "!macroend"
} >"$stage/languages.nsh"

chmod -R u=rwX,go=rX "$stage"
find "$stage" -exec touch -h -d "@$epoch" {} +

zip_file="$out/$product-$version-portable.zip"
setup_file="$out/$product-$version-setup.exe"
rm -f "$zip_file" "$setup_file"
(cd "$stage" && find "$product" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 -@ "$zip_file")

LC_ALL=C makensis -V2 -INPUTCHARSET UTF8 \
    "-DSTAGE=$stage/$product" "-DICON=$stage/product.ico" "-DLANGUAGE_FILES=$stage/languages.nsh" \
    "-DOUTFILE=$setup_file" "-DVERSION=$version" "-DVERSION4=$version4" \
    "-DPRODUCT=$product" "-DPUBLISHER=$company" "-DCOPYRIGHT=$copyright" \
    "-DMAIN_PROGRAM=$main_program" "-DSERVER_PROGRAM=$server_program" \
    "-DLIBRARY=$library" "-DLIBRARY64=$library64" "-DDATA_FOLDER=$data_folder" \
    "-DSET_ASIDE=$set_aside" \
    "-DMAIN_MUTEX=$main_mutex" "-DSERVER_MUTEX=$server_mutex" \
    "$here/lumivex.nsi"
touch -d "@$epoch" "$zip_file" "$setup_file"
ls -l "$setup_file" "$zip_file"
