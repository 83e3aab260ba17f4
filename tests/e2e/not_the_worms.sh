#!/usr/bin/env bash
# What looks like a worm's but is not stays as it is: another worm's Run
# value of Navidad's name (LoveLetter's WinFAT32.exe, or binary data naming
# Notepad) does not lead to that file's deletion, and BleBla.b's repair
# leaves the extensions it did not take over (linked to other programs'
# types) with their links, subkeys and keys.
#   not_the_worms.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

# The bytes of TEXT and a NUL, in the hex digits that reg.exe takes.
hex_of() {  # TEXT
  printf '%s\0' "$1" | od -An -tx1 | tr -d ' \n'
}

ws_begin

# ---- Windows 98: the first variant with LoveLetter's value; BleBla.b on a
# machine where other programs own some of its extensions.
ws_set_windows_version "$(basename "$exe")" win98
worm_plant_blebla
ws_reg_add 'HKCR\.zip' '' CompressedFolder
ws_reg_add 'HKCR\.wmf' '' emffile
ws_reg_add 'HKCR\.mp3' '' WMP.AssocFile.MP3
ws_reg_add 'HKCR\.lha' '' Archiver.lha
worm_plant_navidad_mark Navidad
ws_reg_add "$run_key" Win32BaseServiceMOD 'C:\windows\system\WinFAT32.exe'
ws_reg_add "$WORM_OPEN_COMMAND" '' 'C:\windows\system\winsvrc.exe "%1" %*'
printf 'MZ LoveLetter' | ws_put_file 'C:\windows\system\WinFAT32.vxd'
printf 'MZ Navidad' | ws_put_file 'C:\windows\system\winsvrc.vxd'
{
  ws_report_banner
  ws_text kBleBlaResult; ws_text kDownloadAdvice
  ws_text kNavidadResultA; ws_text kDownloadAdvice
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"

ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"

ws_assert_status 0 "win98: exit status"
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "win98: report"
ws_assert_file_exists 'C:\windows\system\WinFAT32.vxd' "win98: LoveLetter's file"
ws_assert_file_absent 'C:\windows\system\winsvrc.vxd' "win98: Navidad's program"
ws_reg_get "$run_key" Win32BaseServiceMOD >/dev/null &&
  ws_fail "win98: the Run value is still there"
for pair in .zip=CompressedFolder .wmf=emffile .mp3=WMP.AssocFile.MP3 \
  .lha=Archiver.lha .jpg=jpegfile .gif= .arj=winzip; do
  ws_assert_eq "${pair#*=}" "$(ws_reg_get "HKCR\\${pair%%=*}" '')" \
    "win98: file type of ${pair%%=*}"
done
ws_reg_key_exists 'HKCR\.lha\ShellNew' || ws_fail "win98: .lha lost its ShellNew"

# ---- Windows XP: the third variant with binary data naming Notepad.
ws_set_windows_version "$(basename "$exe")" winxp
worm_plant_navidad_mark Emanuel
ws_reg_add "$run_key" Win32BaseServiceMOD "$(hex_of 'C:\windows\notepad.exe')" REG_BINARY
ws_reg_add "$WORM_OPEN_COMMAND" '' 'C:\windows\system\wintask.exe "%1" %*'
printf 'MZ Emanuel' | ws_put_file 'C:\windows\system\wintask.exe'
ws_assert_file_exists 'C:\windows\notepad.exe' "winxp: Notepad before the run"
cp -- "$(ws_path 'C:\windows\notepad.exe')" "$WS_WORK/notepad.before"
{
  ws_report_banner
  ws_text kNavidadResultA; ws_text kDownloadAdvice
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"

ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"

ws_assert_status 0 "winxp: exit status"
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "winxp: report"
ws_assert_file_bytes 'C:\windows\notepad.exe' "$WS_WORK/notepad.before" "winxp: Notepad"
ws_assert_file_absent 'C:\windows\system\wintask.exe' "winxp: Emanuel's program"
[[ -z "$(ws_pending_renames)" ]] || ws_fail "winxp: scheduled: $(ws_pending_renames)"
