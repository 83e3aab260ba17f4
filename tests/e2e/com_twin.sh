#!/usr/bin/env bash
# wormsweep.com, the twin beside the exe for a machine where a worm has taken
# over the command that opens .exe files, is the same program and cleans the
# same way: Navidad and Sircam (its hijacked open command in place, its copy
# in the recycle folder running) under Windows 98, the copy gone after the
# restart, then nothing to clean. Wine starts programs without that open
# command, so the takeover itself cannot be shown here.
#   com_twin.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

twin=${exe%.*}.com
[[ -f "$twin" ]] || ws_fail "there is no $twin beside $exe"

ws_begin
ws_set_windows_version "$(basename "$twin")" win98
worm_plant_navidad
worm_plant_sircam
ws_hold_running sircam "$WORM_RECYCLED_COPY"

{
  ws_report_banner
  worm_navidad_report
  worm_sircam_report restart
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$twin"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report"
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"

ws_reg_key_exists 'HKCU\Software\Navidad' && ws_fail "Navidad's mark is still there"
ws_reg_key_exists 'HKLM\Software\SirCam' && ws_fail "Sircam's mark is still there"
ws_assert_eq '"%1" %*' "$(ws_reg_get "$WORM_OPEN_COMMAND" '')" "open command"
ws_assert_file_absent 'C:\windows\system32\winsvrc.vxd' "Navidad's program"
while IFS= read -r copy; do
  ws_assert_file_absent "$copy" "Sircam's copy"
done < <(worm_sircam_copies)
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe"
ws_assert_eq '\??\C:\RECYCLED\SirC32.exe|' "$(ws_pending_renames)" "boot-time list"
ws_assert_file_absent 'C:\windows\wininit.ini' "wininit.ini"

ws_restart
ws_assert_file_absent "$WORM_RECYCLED_COPY" "the running copy after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected2.txt"
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$twin"
ws_assert_status 0 "second run"
ws_assert_bytes "$WS_WORK/expected2.txt" "$WS_WORK/out2.txt" "second report"
