#!/usr/bin/env bash
# A German Windows of the 9x line, whose Startup folder is
# "C:\Dokumente und Einstellungen\Søren\Startmenü\Programme\Autostart":
# Sircam's copy there is running and wininit.ini is held open, so the copy
# can be neither deleted nor scheduled, and the cannot-delete text names it.
# The registry and the file functions give the path in the ANSI code page
# (1252), the console shows the OEM one (850): on the console the name must
# read "Søren\Startmenü" (unconverted it reads "Startmen³"; "ø" is not in
# code page 437, so it also shows that the console is 850's); redirected to a
# file, the path keeps the bytes the system gave.
#   console_code_page.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

startup='C:\Dokumente und Einstellungen\Søren\Startmenü\Programme\Autostart'
copy="$startup\\Microsoft Internet Office.exe"

ws_begin

# Wine takes its code pages from the Unix locale: de_DE.UTF-8 gives ANSI
# 1252 and OEM 850. The locale need not be installed on the machine.
mkdir -p "$WS_WORK/locale" &&
  localedef -i de_DE -f UTF-8 "$WS_WORK/locale/de_DE.UTF-8" >"$WS_WORK/localedef.out" 2>&1 ||
  ws_fail "cannot make the locale de_DE.UTF-8 (package locales): $(<"$WS_WORK/localedef.out")"
# This shell read its locale at its start; only the programs it starts use
# the new one.
{ export LOCPATH=$WS_WORK/locale LC_ALL=de_DE.UTF-8; } 2>/dev/null
locale charmap 2>/dev/null | grep -qx UTF-8 || ws_fail "the locale de_DE.UTF-8 does not load"

ws_set_windows_version "$(basename "$exe")" win98
worm_plant_sircam
# regedit reads a version 5 file with a byte order mark as UTF-16, whatever
# the ANSI code page.
{
  printf '\xff\xfe'
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\%s]\r\n"Startup"="%s"\r\n' \
    "${WORM_SHELL_FOLDERS#HKCU\\}" "${startup//\\/\\\\}" | iconv -f UTF-8 -t UTF-16LE
} >"$WS_WORK/startup.reg" || ws_fail "cannot write startup.reg"
ws_reg_import "$WS_WORK/startup.reg"
ws_put_text 'C:\windows\wininit.ini' ''
ws_hold_running sircam "$copy" 'C:\windows\wininit.ini'

format=$(ws_text kCannotDeleteFormat; printf x)
format=${format%x}
{
  ws_report_banner
  printf '%s' "${format/\%s/"$copy"}" | iconv -f UTF-8 -t CP1252
  worm_sircam_report
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report to a file"
ws_assert_file_exists "$copy" "the running copy"

# Sircam's mark once more, for the run on the console.
ws_reg_add 'HKLM\Software\SirCam' sa 'C:\My Documents'
prompt=$(ws_text kClosingPrompt)
prompt=${prompt#$'\n'}
ws_console_start console "$exe"
ws_console_wait_text console "$prompt" 30
screen=$(ws_console_screen console)
[[ "$screen" == *'Søren\Startmenü'* ]] ||
  ws_fail "the console does not show [Søren\\Startmenü]: $screen"
[[ "$screen" != *'Startmen³'* ]] || ws_fail "the console shows [Startmen³]: $screen"
ws_console_keys console x
ws_console_wait_exit console 30 || ws_fail "the program still waits after the key press"
ws_assert_status 0 "exit status on the console"
