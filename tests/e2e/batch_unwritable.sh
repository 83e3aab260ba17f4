#!/usr/bin/env bash
# Sircam with a c:\autoexec.bat that another program holds open, so that it
# can be neither rewritten nor read: the user is told to remove the line by
# hand, before Sircam's result, and the file keeps every byte. (A read-only
# file is left to the host tests: Wine keeps the read-only attribute in the
# Unix mode bits, which do not stop root, as these tests may run.)
#   batch_unwritable.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

ws_begin
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_sircam
ws_hold_open editor 'C:\autoexec.bat'

{ ws_report_banner; ws_text kCannotModifyStartupBatch; worm_sircam_report; ws_text kClosingPrompt; } |
  ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report"
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"

ws_release editor
printf '%s' "$WORM_BATCH_BEFORE" >"$WS_WORK/autoexec.expected"
ws_assert_file_bytes 'C:\autoexec.bat' "$WS_WORK/autoexec.expected" "c:\\autoexec.bat"
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe"
