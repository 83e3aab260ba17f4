#!/usr/bin/env bash
# A system whose only fault is the command that opens executables, on both
# lines of Windows: the command is put back, and the report is that of a
# clean system.
#   open_command_repair.sh EXE LIB
set -u
exe=$1
source "$2"

command_key='HKCR\exefile\shell\open\command'
ws_begin
ws_clean_report | ws_crlf >"$WS_WORK/expected.txt"

for version in win98 winxp; do
  ws_set_windows_version "$(basename "$exe")" "$version"
  ws_reg_add "$command_key" "" '"%1"%*'
  ws_reg_snapshot "$WS_WORK/before.txt"
  ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
  ws_reg_snapshot "$WS_WORK/after.txt"

  ws_assert_status 0 "$version: exit status"
  ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "$version: report"
  ws_assert_empty_file "$WS_WORK/err.txt" "$version: standard error"
  command=$(ws_reg_get "$command_key" "") || ws_fail "$version: the open command is gone"
  ws_assert_eq '"%1" %*' "$command" "$version: the open command"
  # Nothing else changed.
  ws_reg_compare "$WS_WORK/before.txt" "$WS_WORK/after.txt" \
    '\\exefile\\shell\\open\\command\].*@='
done
