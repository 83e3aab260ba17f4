#!/usr/bin/env bash
# Checks scripts/release. Two releases, made one after the other from copies
# of this tree in different folders, with different umasks and time zones,
# must be byte-identical. Their zip must hold exactly wormsweep.exe (the very
# bytes of EXE, the exe that the tests checked), its twin wormsweep.com and
# README.txt (plain ASCII, CR LF, at most 78 characters a line), with the
# commit's time, mode 644 and nothing else; SHA256SUMS must verify the zip
# and each file; the version of the zip's name must be everywhere.
#
# release_check.sh EXE
set -u -o pipefail
[[ $# -eq 1 ]] || { echo "usage: $0 EXE" >&2; exit 2; }
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

built=$1
[[ -f "$built" ]] || fail "no $built to compare the release with"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The copies have no .git: both take the time of this tree's commit.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct)} ||
  fail "no commit to take the time from: set SOURCE_DATE_EPOCH"
export SOURCE_DATE_EPOCH

release() {  # COPY UMASK TIME_ZONE
  mkdir -p "$1" &&
    tar -C "$repo" --exclude=./build --exclude=./dist --exclude=./.git -cf - . |
    tar -C "$1" -xf - || fail "cannot copy the tree to $1"
  echo "release in $1 (umask $2, TZ=$3), at $(date -u +%H:%M:%S)"
  (umask "$2" && TZ=$3 WORMSWEEP_BUILD_ROOT=$1/build "$1/scripts/release") \
    >"$1.log" 2>&1 || { cat "$1.log" >&2; fail "the release in $1 failed"; }
}
first=$work/one/wormsweep
second=$work/two/deeper/elsewhere
release "$first" 022 UTC
release "$second" 077 Pacific/Kiritimati

dist=$first/dist
[[ "$(ls "$dist")" == "$(ls "$second/dist")" ]] ||
  fail "the two releases wrote different files: $(ls "$dist") / $(ls "$second/dist")"
for file in "$dist"/*; do
  cmp -- "$file" "$second/dist/${file##*/}" || fail "the two releases differ"
done
echo "the two releases are byte-identical: $(ls "$dist" | tr '\n' ' ')"

zip=$(echo "$dist"/wormsweep-*.zip)
[[ -f "$zip" && "$(ls "$dist" | wc -l)" -eq 2 && -f "$dist/SHA256SUMS" ]] ||
  fail "dist holds $(ls "$dist" | tr '\n' ' '), not one wormsweep-VERSION.zip and SHA256SUMS"
name=${zip##*/}
version=${name#wormsweep-}
version=${version%.zip}

# zip keeps even seconds: the commit's time, rounded either way.
entries=$(zipinfo -T "$zip" | sed '1,2d;$d')
while read -r mode made system size kind method stamp entry; do
  entry_time=$(date -u -d "${stamp:0:8} ${stamp:9:2}:${stamp:11:2}:${stamp:13:2}" +%s)
  [[ "$mode $made $system $kind" =~ ^-rw-r--r--\ 3\.0\ unx\ [bt]-$ &&
     $((entry_time - SOURCE_DATE_EPOCH)) -ge -1 &&
     $((entry_time - SOURCE_DATE_EPOCH)) -le 1 ]] ||
    fail "$entry: not mode 644 without extra fields at the commit's time:" \
      "$mode $made $system $size $kind $method $stamp"
done <<<"$entries"
[[ "$(awk '{ print $NF }' <<<"$entries" | tr '\n' ' ')" == \
   "wormsweep.exe wormsweep.com README.txt " ]] ||
  fail "the zip holds, in this order: $(awk '{ print $NF }' <<<"$entries" | tr '\n' ' ')"

unpacked=$work/unpacked
mkdir "$unpacked" && unzip -q "$zip" -d "$unpacked" || fail "cannot unpack $zip"
cmp -- "$built" "$unpacked/wormsweep.exe" || fail "the zip's wormsweep.exe is not $built"
cmp -- "$unpacked/wormsweep.exe" "$unpacked/wormsweep.com" ||
  fail "the zip's wormsweep.com is not its wormsweep.exe"
echo "the zip's wormsweep.exe and wormsweep.com are the bytes of $built"

readme=$unpacked/README.txt
problems=$(LC_ALL=C awk '
  !sub(/\r$/, "") { print "line " NR ": no CR LF line end" }
  /[^ -~]/ { print "line " NR ": not plain printable ASCII" }
  length($0) > 78 { print "line " NR ": " length($0) " characters, over 78" }
' "$readme")
[[ "$(tail -c 2 "$readme" | od -An -tx1)" == " 0d 0a" ]] ||
  problems+=$'\nthe last line has no CR LF line end'
[[ -z "$problems" ]] || fail "README.txt: $problems"

cp -- "$zip" "$dist/SHA256SUMS" "$unpacked/" || exit 1
[[ "$(awk '{ print $2 }' "$dist/SHA256SUMS" | tr '\n' ' ')" == \
   "$name wormsweep.exe wormsweep.com README.txt " ]] ||
  fail "SHA256SUMS does not list the zip and its three files"
(cd "$unpacked" && sha256sum --strict -c SHA256SUMS) || fail "SHA256SUMS does not verify"

bash "$repo/tools/check_version.sh" "$version" "$repo/src/report/texts.h" \
  i686-w64-mingw32-windres "$unpacked/wormsweep.exe" "$readme" ||
  fail "the zip's name says version $version"
