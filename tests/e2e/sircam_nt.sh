#!/usr/bin/env bash
# Sircam on the NT line, running from its copy in the recycle folder: the
# exact report, the registry and the files afterwards, the copy scheduled in
# the boot-time list alone, gone after the restart; then a second run finds
# nothing to clean.
#   sircam_nt.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

ws_begin
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_sircam
ws_hold_running sircam "$WORM_RECYCLED_COPY"

{ ws_report_banner; worm_sircam_report restart; ws_text kClosingPrompt; } | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report"
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"

# The registry.
ws_reg_key_exists 'HKLM\Software\SirCam' && ws_fail "the marker key is still there"
ws_reg_get "$WORM_RUN_SERVICES" Driver32 >/dev/null && ws_fail "Driver32 is still there"
ws_assert_eq 'C:\tool.exe' "$(ws_reg_get "$WORM_RUN_SERVICES" Tool)" "other service entry"
ws_assert_eq '"%1" %*' "$(ws_reg_get "$WORM_OPEN_COMMAND" '')" "open command"

# The files.
ws_assert_file_exists "$WORM_RECYCLED_COPY" "the running copy"
while IFS= read -r copy; do ws_assert_file_absent "$copy" "copy"; done < <(worm_sircam_copies)
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe"
ws_assert_file_absent 'C:\windows\run32.exe' "run32.exe"
printf '%s' "$WORM_BATCH_AFTER" >"$WS_WORK/autoexec.expected"
ws_assert_file_bytes 'C:\autoexec.bat' "$WS_WORK/autoexec.expected" "c:\\autoexec.bat"

# The boot-time schedule.
ws_assert_eq '\??\C:\RECYCLED\SirC32.exe|' "$(ws_pending_renames)" "boot-time list"
# NT never reads wininit.ini; Wine would, and would act on it twice.
ws_assert_file_absent 'C:\windows\wininit.ini' "wininit.ini"

ws_restart
ws_assert_file_absent "$WORM_RECYCLED_COPY" "the copy after the restart"
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected2.txt"
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$exe"
ws_assert_status 0 "second run"
ws_assert_bytes "$WS_WORK/expected2.txt" "$WS_WORK/out2.txt" "second report"
