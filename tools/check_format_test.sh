#!/usr/bin/env bash
# The format check must pass a tree formatted as .clang-format says and
# catch a file that is not.
#
# check_format_test.sh CLANG_FORMAT CHECK_FORMAT STYLE
set -u
[ $# -eq 3 ] || { echo "usage: $0 CLANG_FORMAT CHECK_FORMAT STYLE" >&2; exit 2; }
clang_format=$1
check=$2
style=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

mkdir -p "$work/src/run" "$work/tests" "$work/tools"
cp -- "$style" "$work/.clang-format"
printf 'int Answer() { return 42; }\n' >"$work/src/run/answer.cpp"
printf '#include "run/answer.h"\n' >"$work/tests/answer_test.cpp"
bash "$check" "$clang_format" "$work" >"$work/out" 2>&1 ||
  fail "a formatted tree: $(cat "$work/out")"

printf 'int  Answer( ) {return 42;}\n' >"$work/tools/probe.cpp"
if bash "$check" "$clang_format" "$work" >"$work/out" 2>&1; then
  fail "a badly formatted file in tools/ passed"
elif ! grep -q 'tools/probe.cpp' "$work/out"; then
  fail "the badly formatted file is not named: $(cat "$work/out")"
fi

[[ $failures -eq 0 ]] && echo "format check: all cases pass"
exit "$failures"
