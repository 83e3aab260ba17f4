#!/usr/bin/env bash
# Sircam under a version of the 9x line with two copies in use (the running
# one in the recycle folder and the one in the Windows folder, held open).
# Wine's win98 is an NT system that reports the 9x line, as a compatibility
# mode makes Windows NT do: both deletions go to the boot-time list that the
# system keeps, none to wininit.ini, and both copies are gone after the
# restart.
#   sircam_9x.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

windows_copy='C:\windows\ScMx32.exe'

ws_begin
ws_set_windows_version "$(basename "$exe")" win98
worm_plant_sircam
ws_hold_running sircam "$WORM_RECYCLED_COPY"
ws_hold_open copy "$windows_copy"

{ ws_report_banner; worm_sircam_report restart; ws_text kClosingPrompt; } | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report"
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"

ws_reg_key_exists 'HKLM\Software\SirCam' && ws_fail "the marker key is still there"
ws_reg_get "$WORM_RUN_SERVICES" Driver32 >/dev/null && ws_fail "Driver32 is still there"
ws_assert_eq '"%1" %*' "$(ws_reg_get "$WORM_OPEN_COMMAND" '')" "open command"

ws_assert_file_exists "$WORM_RECYCLED_COPY" "the running copy"
ws_assert_file_exists "$windows_copy" "the copy held open"
ws_assert_file_absent 'C:\windows\system32\SCam32.exe' "copy in the system folder"
ws_assert_file_absent "$WORM_STARTUP_FOLDER\\Microsoft Internet Office.exe" "copy in Startup"
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe"
printf '%s' "$WORM_BATCH_AFTER" >"$WS_WORK/autoexec.expected"
ws_assert_file_bytes 'C:\autoexec.bat' "$WS_WORK/autoexec.expected" "c:\\autoexec.bat"

ws_assert_eq $'\\??\\C:\\RECYCLED\\SirC32.exe|\n\\??\\C:\\windows\\ScMx32.exe|' \
  "$(ws_pending_renames)" "boot-time list"
ws_assert_file_absent 'C:\windows\wininit.ini' "wininit.ini"

ws_restart
ws_assert_file_absent "$WORM_RECYCLED_COPY" "the running copy after the restart"
ws_assert_file_absent "$windows_copy" "the copy held open after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected2.txt"
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$exe"
ws_assert_status 0 "second run"
ws_assert_bytes "$WS_WORK/expected2.txt" "$WS_WORK/out2.txt" "second report"
