#!/usr/bin/env bash
# The Wine toolkit checked against Wine itself: what later tests rely on when
# they plant worms and look at what the program left behind.
#   lib_test.sh EXE LIB
set -u
source "$2"

# Runs a check that must fail; fails if it passes.
expect_failure() {  # WHAT COMMAND...
  local what=$1
  shift
  if ("$@") 2>"$WS_WORK/expected-failure.txt"; then
    ws_fail "$what: the check passed"
  fi
  grep -q '^FAIL: ' "$WS_WORK/expected-failure.txt" ||
    ws_fail "$what: failed without saying why"
}

ws_begin

# --- Texts from C sources
cat >"$WS_WORK/texts.h" <<'HEADER'
const char kOne[] = "a\nb";
const char kTwo[] =
    "quote \" backslash \\ "
    "tab\tcr\r\n";
HEADER
printf 'a\nb' >"$WS_WORK/one.txt"
printf 'quote " backslash \\ tab\tcr\r\n' >"$WS_WORK/two.txt"
ws_c_text "$WS_WORK/texts.h" kOne >"$WS_WORK/one.out"
ws_c_text "$WS_WORK/texts.h" kTwo >"$WS_WORK/two.out"
ws_assert_bytes "$WS_WORK/one.txt" "$WS_WORK/one.out" "one-line constant"
ws_assert_bytes "$WS_WORK/two.txt" "$WS_WORK/two.out" "constant over two literals"
expect_failure "unknown constant" ws_c_text "$WS_WORK/texts.h" kThree
printf 'x\ny\n' | ws_crlf >"$WS_WORK/crlf.out"
printf 'x\r\ny\r\n' >"$WS_WORK/crlf.txt"
ws_assert_bytes "$WS_WORK/crlf.txt" "$WS_WORK/crlf.out" "LF to CR LF"

# --- Files: Windows paths, any case; no write reaches the template
ws_put_text 'C:\Windows\Planted.TXT' $'one\ntwo'
printf 'one\r\ntwo' >"$WS_WORK/planted.txt"
ws_assert_file_bytes 'c:\WINDOWS\planted.txt' "$WS_WORK/planted.txt"
ws_assert_file_absent 'C:\windows\other.txt'
expect_failure "absent file reported present" ws_assert_file_exists 'C:\windows\other.txt'
expect_failure "present file reported absent" ws_assert_file_absent 'C:\windows\planted.txt'
template_ini="$(ws_template_dir)/drive_c/windows/win.ini"
cp -- "$template_ini" "$WS_WORK/template-win.ini"
ws_put_text 'C:\windows\win.ini' 'changed'
ws_assert_bytes "$WS_WORK/template-win.ini" "$template_ini" "the template's win.ini"
[[ "$(ws_path 'C:\windows\system32\rundll32.exe')" -ef "$(ws_template_dir)/drive_c/windows/system32/rundll32.exe" ]] &&
  ws_fail "programs in the prefix are shared with the template"
ws_assert_eq "" "$(find "$WINEPREFIX/drive_c/users" -type l)" "links out of the prefix"

# --- The registry: exact values, snapshots that see every change
key='HKCU\Software\WormsweepToolkit'
ws_reg_snapshot "$WS_WORK/before.txt" "$key" 'HKLM\Software\Classes\.wstk'
ws_assert_eq "[HKEY_CURRENT_USER\\Software\\WormsweepToolkit] (absent)" \
  "$(head -n 1 "$WS_WORK/before.txt")" "snapshot of a missing key"
values=('' 'plain' 'back\slash' 'quote"d' 'trailing\' '"%1" %*' ' spaces ')
for i in "${!values[@]}"; do
  ws_reg_add "$key" "name $i" "${values[i]}"
  ws_assert_eq "${values[i]}" "$(ws_reg_get "$key" "name $i")" "value [${values[i]}]"
done
ws_reg_add "$key" '' 'default'
ws_assert_eq default "$(ws_reg_get "$key" '')" "default value"
ws_reg_add "$key" 'a\b' 'named with a backslash'
ws_assert_eq 'named with a backslash' "$(ws_reg_get "$key" 'a\b')" "value named a\\b"
ws_reg_add "$key" count 7 REG_DWORD
ws_assert_eq dword:00000007 "$(ws_reg_get "$key" count)" "REG_DWORD"
ws_reg_get "$key" missing >/dev/null && ws_fail "a missing value was found"
ws_reg_get "$key\\Missing" x >/dev/null && ws_fail "a value of a missing key was found"
ws_reg_key_exists "$key" || ws_fail "an existing key was not found"
ws_reg_key_exists "$key\\Missing" && ws_fail "a missing key was found"

ws_reg_snapshot "$WS_WORK/same1.txt" "$key"
ws_reg_snapshot "$WS_WORK/same2.txt" "$key"
ws_reg_compare "$WS_WORK/same1.txt" "$WS_WORK/same2.txt"
ws_reg_add "$key" 'name 1' 'plain!'
ws_reg_snapshot "$WS_WORK/changed.txt" "$key"
expect_failure "changed value" ws_reg_compare "$WS_WORK/same1.txt" "$WS_WORK/changed.txt"
ws_reg_compare "$WS_WORK/same1.txt" "$WS_WORK/changed.txt" '"name 1"='
ws_reg_add "$key\\Sub"
ws_reg_snapshot "$WS_WORK/subkey.txt" "$key"
expect_failure "added empty key" ws_reg_compare "$WS_WORK/changed.txt" "$WS_WORK/subkey.txt"
ws_reg_delete_value "$key" 'name 1'
ws_reg_get "$key" 'name 1' >/dev/null && ws_fail "a deleted value was found"
ws_reg_import <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Classes\.wstk]
@="wstkfile"
REG
ws_assert_eq wstkfile "$(ws_reg_get 'HKCR\.wstk' '')" "imported value, seen through HKCR"
ws_reg_delete_key "$key"
ws_reg_delete_key 'HKLM\Software\Classes\.wstk'
ws_reg_snapshot "$WS_WORK/after.txt" "$key" 'HKLM\Software\Classes\.wstk'
ws_reg_compare "$WS_WORK/before.txt" "$WS_WORK/after.txt"

ws_set_windows_version probe.exe win98
ws_assert_eq win98 "$(ws_reg_get 'HKCU\Software\Wine\AppDefaults\probe.exe' Version)" "Windows version"

# --- Held files cannot be deleted until released
ws_put_text 'C:\windows\held.txt' held
ws_hold_open worm 'C:\windows\held.txt'
ws_cmd del 'C:\windows\held.txt'
ws_assert_file_exists 'C:\windows\held.txt' "a held file after del"
ws_release worm
ws_cmd del 'C:\windows\held.txt'
ws_assert_file_absent 'C:\windows\held.txt' "a released file after del"
expect_failure "holding a missing file" ws_hold_open ghost 'C:\windows\missing.txt'

ws_hold_running running 'C:\windows\system\worm.exe'
ws_cmd del 'C:\windows\system\worm.exe'
ws_assert_file_exists 'C:\windows\system\worm.exe' "a running program after del"

# --- The restart carries out both boot-time lists, and ends the programs
session='HKLM\System\CurrentControlSet\Control\Session Manager'
for name in gone.txt old.txt busy.txt; do ws_put_text "C:\\windows\\$name" "$name"; done
ws_reg_set_multi "$session" PendingFileRenameOperations \
  '\??\C:\windows\gone.txt' '' '\??\C:\windows\old.txt' '\??\C:\windows\new.txt'
ws_assert_eq $'\\??\\C:\\windows\\gone.txt|\n\\??\\C:\\windows\\old.txt|\\??\\C:\\windows\\new.txt' \
  "$(ws_pending_renames)" "the boot-time list"
ws_put_text 'C:\windows\wininit.ini' $'[rename]\nNUL=C:\\windows\\busy.txt\nNUL=C:\\windows\\system\\worm.exe\n'
ws_assert_eq $'[rename]\nNUL=C:\\windows\\busy.txt\nNUL=C:\\windows\\system\\worm.exe' \
  "$(ws_wininit_text)" "wininit.ini"
ws_restart
ws_assert_file_absent 'C:\windows\gone.txt'
ws_assert_file_absent 'C:\windows\old.txt'
ws_assert_file_bytes 'C:\windows\new.txt' <(printf 'old.txt')
ws_assert_file_absent 'C:\windows\busy.txt'
ws_assert_file_absent 'C:\windows\system\worm.exe'
ws_wininit_text >/dev/null && ws_fail "wininit.ini is still there after the restart"
ws_assert_eq "" "$(ws_pending_renames)" "the boot-time list after the restart"
ws_note "toolkit checks passed"
