#!/usr/bin/env bash
# Checks that every place that names the program's version names VERSION:
# the banner in texts.h, which is written by hand, and what the build fills
# in from project(): the exe's VERSIONINFO (numbers and texts), its manifest
# and the first line of README.txt.
#
# check_version.sh VERSION TEXTS_H WINDRES EXE README_TXT
# Prints every place that disagrees and exits 1 if any does, 2 on bad usage.
set -u
[ $# -eq 5 ] || { echo "usage: $0 VERSION TEXTS_H WINDRES EXE README_TXT" >&2; exit 2; }
version=$1
texts=$2
windres=$3
exe=$4
readme=$5
for file in "$texts" "$exe" "$readme"; do
  [ -f "$file" ] || { echo "$file: no such file" >&2; exit 2; }
done

# Windows wants four numbers: 1.1 is 1.1.0.0.
IFS=. read -r -a numbers <<<"$version.0.0.0"
numbers=("${numbers[@]:0:4}")

if ! resources=$("$windres" -J coff -O rc -i "$exe" 2>&1); then
  echo "$exe: $windres cannot read its resources: $resources" >&2
  exit 1
fi

banner=$(sed -n '/^const char kBanner\[\] =/,/;/p' "$texts" |
  sed -n 's/^ *" Version \([^"\\]*\)\\n";$/\1/p')
# Values as windres writes them back: FILEVERSION 1, 1, 0, 0 and
# VALUE "FileVersion", "1.1"; the manifest's quotes are doubled.
field() {  # NAME
  sed -n "s/^ *$1 \\(.*\\)\$/\\1/p" <<<"$resources" | tr -d '\r'
}
value() {  # NAME
  sed -n "s/^ *VALUE \"$1\", \"\\(.*\\)\"\$/\\1/p" <<<"$resources"
}

checked=0
problems=0
expect() {  # PLACE ACTUAL EXPECTED
  checked=$((checked + 1))
  [ "$2" = "$3" ] && return
  echo "$1 says [$2], not [$3]"
  problems=$((problems + 1))
}
dotted=$(IFS=.; echo "${numbers[*]}")
printf -v listed '%s, ' "${numbers[@]}"
listed=${listed%, }
expect "the banner in $texts" "$banner" "$version"
expect "FILEVERSION of $exe" "$(field FILEVERSION)" "$listed"
expect "PRODUCTVERSION of $exe" "$(field PRODUCTVERSION)" "$listed"
expect "FileVersion of $exe" "$(value FileVersion)" "$version"
expect "ProductVersion of $exe" "$(value ProductVersion)" "$version"
expect "the manifest of $exe" \
  "$(grep -o 'assemblyIdentity [^>]* version=""[^"]*""' <<<"$resources" |
    sed 's/.*version=""\([^"]*\)""/\1/')" "$dotted"
expect "the first line of $readme" "$(head -n 1 "$readme" | tr -d '\r')" \
  "wormsweep $version"

if [ "$problems" -gt 0 ]; then
  echo "$problems of $checked places disagree with version $version"
  exit 1
fi
echo "version $version in all $checked places"
