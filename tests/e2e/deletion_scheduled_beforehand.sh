#!/usr/bin/env bash
# A virus scanner scheduled the deletion of Sircam's rundll32.exe, and the
# worm has stopped since. The system's program must not be put back now,
# where the scanner's deletion would remove it at the restart: its rename is
# recorded behind that deletion, which stays as it was, and the restart
# leaves the system's rundll32.exe in place.
#   deletion_scheduled_beforehand.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

ws_begin
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_sircam
ws_reg_set_multi 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  PendingFileRenameOperations '\??\C:\windows\rundll32.exe' ''

{ ws_report_banner; worm_sircam_report restart; ws_text kClosingPrompt; } | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report"
printf 'MZ Sircam' >"$WS_WORK/worm.body"
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/worm.body" "rundll32.exe before the restart"
ws_pending_renames >"$WS_WORK/list.txt"
printf '%s\n' '\??\C:\windows\rundll32.exe|' \
  '\??\C:\windows\run32.exe|\??\C:\windows\rundll32.exe' >"$WS_WORK/list.expected"
ws_assert_bytes "$WS_WORK/list.expected" "$WS_WORK/list.txt" "boot-time list"

ws_restart
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe after the restart"
ws_assert_file_absent 'C:\windows\run32.exe' "run32.exe after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected2.txt"
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$exe"
ws_assert_status 0 "run after the restart"
ws_assert_bytes "$WS_WORK/expected2.txt" "$WS_WORK/out2.txt" "report after the restart"
