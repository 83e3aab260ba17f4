#!/usr/bin/env bash
# scripts/demo without a terminal (input from /dev/null, output to a file)
# must not wait for a key, and must show the whole report of the infected
# machine, the restart removing the running worm, the report of the cleaned
# machine and the status.
#   demo_script.sh EXE LIB
set -u
exe=$1
source "$2"

work=$(mktemp -d "${TMPDIR:-/tmp}/demo_script.XXXXXX") || ws_fail "no work directory"
trap 'rm -rf -- "$work"' EXIT

timeout 300 "$WS_SOURCE_DIR/scripts/demo" "$exe" </dev/null >"$work/out.txt" 2>"$work/err.txt"
status=$?
[[ $status -eq 124 ]] && ws_fail "scripts/demo was still running after 300s"
if [[ $status -ne 0 ]]; then
  cat "$work/err.txt" >&2
  ws_fail "scripts/demo: exit status $status"
fi

source "$WS_SOURCE_DIR/tests/e2e/worm_scene.bash"
ws_assert_file_contains "$work/out.txt" "Running $(realpath -- "$exe") (" \
  "scripts/demo naming the exe it runs"
infected=$(
  ws_report_banner
  worm_blebla_report
  worm_navidad_report
  worm_sircam_report restart
  ws_text kClosingPrompt
)
shown=$(<"$work/out.txt")
if [[ "$shown" != *"$infected"* ]]; then
  ws_note "expected the report of the infected machine:"
  ws_note "$infected"
  ws_note "scripts/demo showed:"
  ws_show_bytes "$work/out.txt"
  ws_fail "scripts/demo did not show the report of the infected machine"
fi
ws_assert_file_contains "$work/out.txt" 'C:\RECYCLED\SirC32.exe is gone.' "scripts/demo"

# The report of the cleaned machine, in one piece.
report=$(ws_clean_report)
if [[ "$shown" != *"$report"* ]]; then
  ws_note "expected the report:"
  ws_note "$report"
  ws_note "scripts/demo showed:"
  ws_show_bytes "$work/out.txt"
  ws_fail "scripts/demo did not show the report"
fi
ws_assert_file_contains "$work/out.txt" "exited with status 0" "scripts/demo"
