#!/usr/bin/env bash
# A second user of the machine who is not logged on, whose registry is a
# file on disk (NTUSER.DAT in that user's profile folder, listed in the
# profile list) holding Navidad's mark and naming a Startup folder with
# Sircam's copy: the run reaches that user, reports both worms, deletes the
# copy and leaves the registry file unloaded and whole.
#   away_user.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

away_sid='S-1-5-21-1111-2222-3333-1010'
away_folder='C:\users\away'
away_startup="$away_folder\\Start Menu\\Programs\\Startup"
away_copy="$away_startup\\Microsoft Internet Office.exe"
scratch='Software\WormsweepAway'
profile_list='HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList'
hive_tool=${WS_HIVE_TOOL_EXE:?WS_HIVE_TOOL_EXE names hive_tool.exe}

ws_begin
ws_set_windows_version "$(basename "$exe")" winxp

# The user's registry, made from a scratch key and saved to the file that
# a logoff leaves.
ws_reg_add "HKCU\\$scratch\\Software\\Navidad" Installed 1
ws_reg_add "HKCU\\$scratch\\Software\\Navidad\\Mail" Sent 0
ws_reg_add "HKCU\\$scratch\\Software\\Vendor" Mode slow
ws_reg_add "HKCU\\$scratch\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders" \
  Startup "$away_startup"
printf 'a shortcut' | ws_put_file "$away_startup\\Office.lnk"
ws__wine "$hive_tool" save "$scratch" "$away_folder\\NTUSER.DAT" ||
  ws_fail "cannot save the user's registry: $(<"$WS_WORK/tool.err")"
ws_reg_delete_key "HKCU\\$scratch"
ws_reg_add "$profile_list\\$away_sid" ProfileImagePath '%SystemDrive%\users\away' REG_EXPAND_SZ
cp -- "$(ws_path "$away_folder\\NTUSER.DAT")" "$WS_WORK/hive.before"

worm_plant_sircam
printf 'MZ Sircam' | ws_put_file "$away_copy"

ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_empty_file "$WS_WORK/err.txt" "standard error"
ws_assert_file_contains "$WS_WORK/out.txt" "$(ws_text kNavidadResultA)" "Navidad's report"
ws_assert_file_contains "$WS_WORK/out.txt" "$(ws_text kSircamResult)" "Sircam's report"
grep -q ' profile\. ' "$WS_WORK/out.txt" &&
  ws_fail "a profile was named: $(ws_show_bytes "$WS_WORK/out.txt")"

ws_assert_file_absent "$away_copy" "the away user's Startup copy"
ws_assert_file_exists "$away_startup\\Office.lnk" "the away user's shortcut"
ws_reg_key_exists 'HKU\wormsweep:00' && ws_fail "the user's registry is still loaded"

# The file is still that user's registry, with everything not the worm's.
# Windows writes the cleaned registry back when it unloads it; Wine never
# writes a loaded registry back (pinned by the contract tests), so the mark
# is looked for in the file only where the file changed.
ws__wine "$hive_tool" load 'wormsweep:check' "$away_folder\\NTUSER.DAT" ||
  ws_fail "the user's registry no longer loads: $(<"$WS_WORK/tool.err")"
ws_assert_eq 'slow' "$(ws_reg_get 'HKU\wormsweep:check\Software\Vendor' Mode)" "the user's other settings"
if ! cmp -s "$WS_WORK/hive.before" "$(ws_path "$away_folder\\NTUSER.DAT")"; then
  ws_reg_key_exists 'HKU\wormsweep:check\Software\Navidad' &&
    ws_fail "the user's registry file still holds Navidad's mark"
fi
ws__wine "$hive_tool" unload 'wormsweep:check'
