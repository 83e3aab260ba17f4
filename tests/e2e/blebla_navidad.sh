#!/usr/bin/env bash
# BleBla.b and the Navidad variants as they are found in the wild, on both
# lines of Windows: the exact report (CR LF in a file), the registry and the
# files afterwards (.lha deleted only when the worm's link is all it holds),
# a worm program that is running deferred to the restart and gone after it,
# and a second run that finds nothing.
#   blebla_navidad.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

open_command='HKCR\exefile\shell\open\command'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

check_blebla_gone() {  # LINE
  ws_reg_key_exists 'HKCR\rnjfile' && ws_fail "$1: BleBla.b's file type is still there"
  local pair extension expected actual
  for pair in .jpg=jpegfile .jpeg=jpegfile .jpe=jpegfile .bmp= .gif= \
    .avi=avifile .mpg= .mpeg= .mp2= .wmf= .wma= .wmv= .mp3= .vqf= \
    .doc=wordpad.document.1 .xls= .zip=winzip .rar= .arj=winzip .reg=regfile; do
    extension=${pair%%=*}
    expected=${pair#*=}
    actual=$(ws_reg_get "HKCR\\$extension" '') ||
      ws_fail "$1: HKCR\\$extension has no default value"
    ws_assert_eq "$expected" "$actual" "$1: file type of $extension"
  done
}

check_navidad_gone() {  # LINE NAME...
  local line=$1 name
  shift
  for name in "$@"; do
    ws_reg_key_exists "HKCU\\Software\\$name" && ws_fail "$line: the mark $name is still there"
  done
  ws_reg_key_exists 'HKCU\Software\Wine' || ws_fail "$line: a sibling of the marks went too"
  ws_reg_get "$run_key" Win32BaseServiceMOD >/dev/null &&
    ws_fail "$line: Navidad's autostart value is still there"
  ws_assert_eq '"%1" %*' "$(ws_reg_get "$open_command" '')" "$line: open command"
}

expect_nothing_to_clean() {  # LINE
  ws_clean_report | ws_crlf >"$WS_WORK/expected.txt"
  ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
  ws_assert_status 0 "$1: second run's exit status"
  ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "$1: second run's report"
}

ws_begin

# ---- Windows 98: BleBla.b running; Navidad found through its autostart
# value; the second variant's mark alone, whose report runs into the
# download advice.
ws_set_windows_version "$(basename "$exe")" win98
worm_plant_blebla
worm_plant_navidad_mark Navidad
worm_plant_navidad_mark xxxxmas
ws_reg_add "$run_key" Win32BaseServiceMOD 'C:\windows\system\winsvrc.exe'
ws_reg_add "$open_command" '' 'C:\windows\system\winsvrc.exe "%1" %*'
printf 'MZ Navidad' | ws_put_file 'C:\windows\system\winsvrc.vxd'
printf 'MZ Navidad' | ws_put_file 'C:\windows\system\winsvrc.exe'
ws_hold_running blebla 'C:\windows\sysrnj.exe'
{
  ws_report_banner
  ws_text kBleBlaResult; ws_text kDownloadAdvice
  ws_text kNavidadResultA; ws_text kDownloadAdvice; ws_text kRestartAdvice
  ws_text kNavidadResultB; ws_text kDownloadAdvice; ws_text kRestartAdvice
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"

ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"

ws_assert_status 0 "win98: exit status"
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "win98: report"
ws_assert_empty_file "$WS_WORK/err.txt" "win98: standard error"
check_blebla_gone win98
# .lha holds more than the worm's link (ShellNew): only the link goes.
ws_assert_eq '' "$(ws_reg_get 'HKCR\.lha' '')" "win98: .lha"
ws_reg_key_exists 'HKCR\.lha\ShellNew' || ws_fail "win98: .lha\\ShellNew is gone"
check_navidad_gone win98 Navidad xxxxmas
ws_assert_file_absent 'C:\windows\system\winsvrc.vxd' "win98: Navidad's program"
ws_assert_file_exists 'C:\windows\system\winsvrc.exe' "win98: the file the command named"
ws_assert_file_exists 'C:\windows\sysrnj.exe' "win98: BleBla.b's running program"
# Wine's win98 is an NT system reporting the 9x line: the deletion waits in
# the boot-time list the system keeps.
ws_pending_renames | grep -qi '\\windows\\sysrnj\.exe|$' ||
  ws_fail "win98: sysrnj.exe is not in the boot-time list: $(ws_pending_renames)"
ws_assert_file_absent 'C:\windows\wininit.ini' "win98: wininit.ini"

ws_restart

ws_assert_file_absent 'C:\windows\sysrnj.exe' "win98: BleBla.b's program after the restart"
expect_nothing_to_clean win98

# ---- Windows XP: BleBla.b's file type must go although it has subkeys,
# and .lha, holding the worm's link alone this time, with it; the third
# variant found through the open command it took over, its program running.
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_blebla
ws_reg_delete_key 'HKCR\.lha\ShellNew'
worm_plant_navidad_mark Emanuel
ws_reg_add "$open_command" '' 'C:\windows\system\wintask.exe "%1" %*'
ws_hold_running emanuel 'C:\windows\system\wintask.exe'
{
  ws_report_banner
  ws_text kBleBlaResult; ws_text kDownloadAdvice
  ws_text kNavidadResultA; ws_text kDownloadAdvice; ws_text kRestartAdvice
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"

ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"

ws_assert_status 0 "winxp: exit status"
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "winxp: report"
ws_assert_empty_file "$WS_WORK/err.txt" "winxp: standard error"
check_blebla_gone winxp
ws_reg_key_exists 'HKCR\.lha' && ws_fail "winxp: .lha is still there"
check_navidad_gone winxp Emanuel
ws_assert_file_absent 'C:\windows\sysrnj.exe' "winxp: BleBla.b's program"
ws_assert_file_exists 'C:\windows\system\wintask.exe' "winxp: Emanuel's running program"
# The list names files in the NT form, \??\C:\...
ws_pending_renames | grep -qi '\\windows\\system\\wintask\.exe|$' ||
  ws_fail "winxp: wintask.exe is not in the boot-time list: $(ws_pending_renames)"

ws_restart

ws_assert_file_absent 'C:\windows\system\wintask.exe' "winxp: Emanuel's program after the restart"
expect_nothing_to_clean winxp
