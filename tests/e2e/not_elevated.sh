#!/usr/bin/env bash
# An administrator's program that UAC has not elevated holds the
# Administrators group for deny only, and cannot delete the worms' files:
# on an infected machine the program changes nothing, says why and ends with
# status 5, on the NT line and on an NT system that reports the 9x line.
# (Wine gives every program the group enabled; start_as.exe makes the
# token that Windows would give.) The same program elevated cleans.
#   not_elevated.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

ws_begin
worm_plant_blebla
worm_plant_navidad
worm_plant_sircam
{ ws_report_banner; ws_text kNeedsAdministrator; ws_text kClosingPrompt; } |
  ws_crlf >"$WS_WORK/refused.txt"

for version in winxp win98; do
  ws_set_windows_version "$(basename "$exe")" "$version"
  ws_reg_snapshot "$WS_WORK/before.txt"
  ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" \
    "${WS_START_AS_EXE:?WS_START_AS_EXE names start_as.exe}" not-elevated \
    "$(ws_win_path "$exe")"
  ws_assert_status 5 "$version: exit status"
  ws_assert_bytes "$WS_WORK/refused.txt" "$WS_WORK/out.txt" "$version: report"
  ws_reg_snapshot "$WS_WORK/after.txt"
  ws_reg_compare "$WS_WORK/before.txt" "$WS_WORK/after.txt"
  ws_assert_file_exists 'C:\windows\sysrnj.exe' "$version: BleBla.b's program"
  ws_assert_file_exists 'C:\windows\system32\winsvrc.vxd' "$version: Navidad's program"
  while IFS= read -r copy; do
    ws_assert_file_exists "$copy" "$version: Sircam's copy"
  done < <(worm_sircam_copies)
done

ws_set_windows_version "$(basename "$exe")" winxp
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0 "elevated: exit status"
ws_reg_key_exists 'HKLM\Software\SirCam' && ws_fail "elevated: Sircam's mark is still there"
ws_assert_file_absent 'C:\windows\sysrnj.exe' "elevated: BleBla.b's program"
