#!/usr/bin/env bash
# One infection under the Windows version WS_WINDOWS_VERSION that Wine
# presents: Sircam running from its copy in the recycle folder, with its data
# file and its Startup copies in three folders, and Navidad. The run cleans
# everything but the running copy, which waits for the restart in the
# boot-time list: Wine is an NT system under every version it presents (the
# 9x versions only report the 9x line, as a compatibility mode makes Windows
# NT do), and the program schedules the way the system does, so no
# wininit.ini is written. A second run then finds nothing to clean.
#   every_version.sh EXE LIB
#   WS_WINDOWS_VERSION: win95, win98, winme, nt40, win2k, winxp, win7, win10
set -u
exe=$1
source "$2"
source "$(dirname "$0")/../worm_scene.bash"

version=${WS_WINDOWS_VERSION:-}
case "$version" in
  win95 | win98 | winme | nt40 | win2k | winxp | win7 | win10) ;;
  *) ws_fail "WS_WINDOWS_VERSION is '$version', not a version Wine presents" ;;
esac

ws_begin "windows_$version"
ws_set_windows_version "$(basename "$exe")" "$version"
worm_plant_navidad
worm_plant_sircam
worm_plant_sircam_elsewhere
ws_hold_running sircam "$WORM_RECYCLED_COPY"

{
  ws_report_banner
  worm_navidad_report
  worm_sircam_report restart
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report under $version"
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"

ws_reg_key_exists 'HKCU\Software\Navidad' && ws_fail "Navidad's mark is still there"
ws_reg_key_exists 'HKLM\Software\SirCam' && ws_fail "Sircam's mark is still there"
ws_assert_eq '"%1" %*' "$(ws_reg_get "$WORM_OPEN_COMMAND" '')" "open command"

ws_assert_file_absent 'C:\windows\system32\winsvrc.vxd' "Navidad's program"
ws_assert_file_exists "$WORM_RECYCLED_COPY" "the running copy"
while IFS= read -r copy; do
  ws_assert_file_absent "$copy" "Sircam's file"
done < <(worm_sircam_copies; worm_sircam_elsewhere)
ws_assert_file_exists "$WORM_RECYCLED_USER_FILE" "the user's file in the recycle folder"
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe"

ws_assert_eq '\??\C:\RECYCLED\SirC32.exe|' "$(ws_pending_renames)" "boot-time list"
ws_assert_file_absent 'C:\windows\wininit.ini' "wininit.ini under $version"

ws_restart
ws_assert_file_absent "$WORM_RECYCLED_COPY" "the running copy after the restart"
ws_assert_file_exists "$WORM_RECYCLED_USER_FILE" "the user's file after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected2.txt"
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$exe"
ws_assert_status 0 "second run"
ws_assert_bytes "$WS_WORK/expected2.txt" "$WS_WORK/out2.txt" "second report under $version"
