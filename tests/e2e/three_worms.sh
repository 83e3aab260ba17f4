#!/usr/bin/env bash
# All three worms at once, with the BleBla.b program in use: one report per
# worm, in the run's order; the BleBla.b report gives no restart advice, the
# later ones do. After the restart a second run finds nothing to clean.
#   three_worms.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

ws_begin
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_blebla
worm_plant_navidad
worm_plant_sircam
ws_hold_open blebla 'C:\windows\sysrnj.exe'

{
  ws_report_banner
  worm_blebla_report
  worm_navidad_report restart
  worm_sircam_report restart
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report"
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"

ws_reg_key_exists 'HKCR\rnjfile' && ws_fail "BleBla.b's file type is still there"
ws_assert_eq jpegfile "$(ws_reg_get 'HKCR\.jpg' '')" ".jpg"
ws_reg_key_exists 'HKCU\Software\Navidad' && ws_fail "Navidad's mark is still there"
ws_reg_get 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' Win32BaseServiceMOD \
  >/dev/null && ws_fail "Navidad's autostart value is still there"
ws_reg_key_exists 'HKLM\Software\SirCam' && ws_fail "Sircam's mark is still there"
ws_assert_eq '"%1" %*' "$(ws_reg_get "$WORM_OPEN_COMMAND" '')" "open command"

ws_assert_file_exists 'C:\windows\sysrnj.exe' "BleBla.b's program in use"
ws_assert_file_absent 'C:\windows\system32\winsvrc.vxd' "Navidad's program"
ws_assert_file_absent "$WORM_RECYCLED_COPY" "Sircam's copy in the recycle folder"
while IFS= read -r copy; do ws_assert_file_absent "$copy" "Sircam's copy"; done < <(worm_sircam_copies)
ws_assert_file_bytes 'C:\windows\rundll32.exe' "$WS_WORK/rundll32.original" "rundll32.exe"

ws_restart
ws_assert_file_absent 'C:\windows\sysrnj.exe' "BleBla.b's program after the restart"

ws_clean_report | ws_crlf >"$WS_WORK/expected2.txt"
ws_run "$WS_WORK/out2.txt" "$WS_WORK/err2.txt" "$exe"
ws_assert_status 0 "second run"
ws_assert_bytes "$WS_WORK/expected2.txt" "$WS_WORK/out2.txt" "second report"
