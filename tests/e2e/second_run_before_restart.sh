#!/usr/bin/env bash
# Sircam on the NT line, its copy in the recycle folder and its rundll32.exe
# both running, is cleaned twice before the restart (the still-running worm
# writes its marker again in between), then once more without a marker: no
# operation is recorded twice, each run advises the restart, and after the
# restart the system's rundll32.exe is in place and nothing is left to clean.
#   second_run_before_restart.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

ws_begin
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_sircam
ws_hold_running sircam "$WORM_RECYCLED_COPY"
ws_hold_running rundll32 'C:\windows\rundll32.exe'

{ ws_report_banner; worm_sircam_report restart; ws_text kClosingPrompt; } | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out1.txt" "$WS_WORK/err1.txt" "$exe"
ws_assert_status 0 "first run"
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out1.txt" "first report"
ws_pending_renames >"$WS_WORK/list1.txt"
printf '%s\n' '\??\C:\RECYCLED\SirC32.exe|' '\??\C:\windows\rundll32.exe|' \
  '\??\C:\windows\run32.exe|\??\C:\windows\rundll32.exe' >"$WS_WORK/list.expected"
ws_assert_bytes "$WS_WORK/list.expected" "$WS_WORK/list1.txt" "boot-time list after the first run"

# The worm, still running, marks the machine again.
ws_reg_add 'HKLM\Software\SirCam' '' ''
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$exe"
ws_assert_status 0 "second run"
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out2.txt" "second report"
ws_pending_renames >"$WS_WORK/list2.txt"
ws_assert_bytes "$WS_WORK/list.expected" "$WS_WORK/list2.txt" "boot-time list after the second run"

# No marker now, but the copy still runs and its deletion waits.
{ ws_report_banner; ws_text kRestartAdvice; ws_text kClosingPrompt; } | ws_crlf >"$WS_WORK/expected3.txt"
ws_run "$WS_WORK/out3.txt" "$WS_WORK/err3.txt" "$exe"
ws_assert_status 0 "run without marker"
ws_assert_bytes "$WS_WORK/expected3.txt" "$WS_WORK/out3.txt" "report without marker"

ws_restart
ws_assert_file_absent "$WORM_RECYCLED_COPY" "the copy after the restart"
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe after the restart"
ws_assert_file_absent 'C:\windows\run32.exe' "run32.exe after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected4.txt"
ws_run "$WS_WORK/out4.txt" "$WS_WORK/err4.txt" "$exe"
ws_assert_status 0 "run after the restart"
ws_assert_bytes "$WS_WORK/expected4.txt" "$WS_WORK/out4.txt" "report after the restart"
