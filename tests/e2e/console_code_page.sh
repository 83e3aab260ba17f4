#!/usr/bin/env bash
# A German Windows whose Navidad autostart value names the worm's program
# in "C:\Dokumente und Einstellungen\Søren\Startmenü": the worm's file beside
# it is gone, so the cannot-delete text names it. The registry gives the
# path in the ANSI code page (1252), the console shows the OEM one (850): on
# the console the name must read "Søren\Startmenü" (unconverted it reads
# "Startmen³"; "ø" is not in code page 437, so it also shows that the console
# is 850's); redirected to a file, the path keeps the bytes the system gave.
#   console_code_page.sh EXE LIB
set -u
exe=$1
source "$2"
source "$(dirname "$0")/worm_scene.bash"

folder='C:\Dokumente und Einstellungen\Søren\Startmenü'
program="$folder\\winsvrc.exe"
worm_file="$folder\\winsvrc.vxd"

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

ws_set_windows_version "$(basename "$exe")" winxp

# Navidad's mark and its autostart value. regedit reads a version 5 file
# with a byte order mark as UTF-16, whatever the ANSI code page.
plant_navidad() {
  worm_plant_navidad_mark Navidad
  {
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n"Win32BaseServiceMOD"="%s"\r\n' \
      'SOFTWARE\Microsoft\Windows\CurrentVersion\Run' "${program//\\/\\\\}" |
      iconv -f UTF-8 -t UTF-16LE
  } >"$WS_WORK/navidad.reg" || ws_fail "cannot write navidad.reg"
  ws_reg_import "$WS_WORK/navidad.reg"
}
plant_navidad

format=$(ws_text kCannotDeleteFormat; printf x)
format=${format%x}
{
  ws_report_banner
  printf '%s' "${format/\%s/"$worm_file"}" | iconv -f UTF-8 -t CP1252
  ws_text kNavidadResultA
  ws_text kDownloadAdvice
  ws_text kClosingPrompt
} | ws_crlf >"$WS_WORK/expected.txt"
ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
ws_assert_status 0
ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "report to a file"
ws_reg_key_exists 'HKCU\Software\Navidad' && ws_fail "Navidad's mark is still there"

# Navidad once more, for the run on the console.
plant_navidad
prompt=$(ws_text kClosingPrompt)
prompt=${prompt#$'\n'}
ws_console_start console "$exe"
ws_console_wait_text console "$prompt" 30
screen=$(ws_console_screen console)
# The screen is 80 columns wide: the name of the file wraps to the next line.
[[ "$screen" == *'Søren\Startmenü'* ]] ||
  ws_fail "the console does not show [Søren\\Startmenü]: $screen"
[[ "$screen" != *'Startmen³'* ]] || ws_fail "the console shows [Startmen³]: $screen"
ws_console_keys console x
ws_console_wait_exit console 30 || ws_fail "the program still waits after the key press"
ws_assert_status 0 "exit status on the console"
