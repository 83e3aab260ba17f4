#!/usr/bin/env bash
# Fails when a C++ file of the product or of its tests differs from what
# clang-format makes of it with the repository's .clang-format.
#
# check_format.sh CLANG_FORMAT REPOSITORY
set -u
[ $# -eq 2 ] || { echo "usage: $0 CLANG_FORMAT REPOSITORY" >&2; exit 2; }
clang_format=$1
cd "$2" || exit 2
mapfile -d '' files < <(find src tests tools -type f \
  \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
[ ${#files[@]} -gt 0 ] || { echo "$0: no C++ files under $2" >&2; exit 2; }
if ! "$clang_format" --style=file --dry-run -Werror "${files[@]}"; then
  echo "clang-format would change the files above: run"
  echo "  $clang_format -i \$(git ls-files '*.cpp' '*.h')"
  exit 1
fi
echo "${#files[@]} files formatted"
