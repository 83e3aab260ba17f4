#!/usr/bin/env bash
# Runs the contract test program under Wine in a fresh prefix, with Wine
# reporting the NT line (its default) or Windows 98, and exits with the
# program's status.
#
#   run_contract.sh [--expect-wrong-line] nt|9x EXE [ARGUMENTS...]
#
# The program gets --line=nt or --line=9x and checks that the system really
# reports that line. With --expect-wrong-line the run succeeds only if the
# program refuses to run a single test because the line is not the one it
# was asked for (ARGUMENTS ask for the other line). The prefix template is
# WS_WINE_TEMPLATE (see lib.sh).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

expect_wrong_line=
if [[ "${1:-}" == --expect-wrong-line ]]; then
  expect_wrong_line=1
  shift
fi
[[ $# -ge 2 ]] || ws_fail "usage: $0 [--expect-wrong-line] nt|9x EXE [ARGUMENTS...]"
line=$1
exe=$2
shift 2
case "$line" in
  nt) windows_version= ;;
  9x) windows_version=win98 ;;
  *) ws_fail "unknown line '$line': use nt or 9x" ;;
esac
[[ -f "$exe" ]] || ws_fail "no $exe"
name=$(basename "$exe")
WS_TIMEOUT=${WS_TIMEOUT:-300}

ws_begin "contract_$line"
[[ -n "$windows_version" ]] && ws_set_windows_version "$name" "$windows_version"
program="C:\\tests\\$name"
ws_put_file "$program" "$exe"

# Whatever the tests create by a relative name stays in the prefix.
cd "$(ws_path 'C:\tests')" || ws_fail "cannot enter C:\\tests"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$program" "--line=$line" "$@"
cat -- "$WS_WORK/out.txt"
cat -- "$WS_WORK/err.txt" >&2
[[ "$WS_STATUS" != 124 ]] || ws_fail "$name was still running after ${WS_TIMEOUT}s"

if [[ -n "$expect_wrong_line" ]]; then
  ws_assert_status 2 "exit status for the wrong line"
  ws_assert_file_contains "$WS_WORK/err.txt" "line was asked for" \
    "the refusal"
  if grep -qF '[==========] Running' "$WS_WORK/out.txt"; then
    ws_fail "tests ran on the wrong line"
  fi
  exit 0
fi
exit "$WS_STATUS"
