#!/usr/bin/env bash
# A clean system, on both lines of Windows: the exact report, CR LF line ends
# in a file, exit status 0, and not one registry change.
#   clean_system.sh EXE LIB
set -u
exe=$1
source "$2"

ws_begin
ws_clean_report | ws_crlf >"$WS_WORK/expected.txt"

for version in win98 winxp; do
  ws_set_windows_version "$(basename "$exe")" "$version"
  ws_reg_snapshot "$WS_WORK/before.txt"
  ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
  ws_reg_snapshot "$WS_WORK/after.txt"

  ws_assert_status 0 "$version: exit status"
  ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "$version: report"
  ws_assert_empty_file "$WS_WORK/err.txt" "$version: standard error"
  ws_reg_compare "$WS_WORK/before.txt" "$WS_WORK/after.txt"
done
