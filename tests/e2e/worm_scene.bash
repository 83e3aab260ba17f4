# The traces that each worm leaves, planted into a Wine prefix, and the
# reports that wormsweep prints for them. Sourced, after tests/wine/lib.sh,
# by the end-to-end tests and by scripts/demo.

WORM_RECYCLED_COPY='C:\RECYCLED\SirC32.exe'
WORM_STARTUP_FOLDER='C:\windows\Start Menu\Programs\StartUp'
WORM_SHELL_FOLDERS='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
WORM_RUN_SERVICES='HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices'
WORM_OPEN_COMMAND='HKCR\exefile\shell\open\command'
WORM_BATCH_BEFORE=$'@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\DOS\r\n'
WORM_BATCH_AFTER=$'@echo off\r\n\r\nPATH C:\\DOS\r\n'

# The Sircam copies besides the one in the recycle folder, in the folders
# that Wine reports.
worm_sircam_copies() {
  printf '%s\n' 'C:\windows\ScMx32.exe' 'C:\windows\system32\SCam32.exe' \
    "$WORM_STARTUP_FOLDER\\Microsoft Internet Office.exe"
}

# I-Worm.BleBla.b: its file type and its program.
worm_plant_blebla() {
  ws_reg_add 'HKCR\rnjfile\shell\open\command' '' 'c:\windows\sysrnj.exe "%1"'
  ws_reg_add 'HKCR\.jpg' '' rnjfile
  ws_reg_add 'HKCR\jpegfile'
  printf 'MZ BleBla.b' | ws_put_file 'C:\windows\sysrnj.exe'
}

# I-Worm.Navidad, first variant: its mark, its autostart value and the
# program it names (deleted with the extension vxd).
worm_plant_navidad() {
  ws_reg_add 'HKCU\Software\Navidad'
  ws_reg_add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' \
    Win32BaseServiceMOD 'C:\windows\system32\winsvrc.exe'
  printf 'MZ Navidad' | ws_put_file 'C:\windows\system32\winsvrc.vxd'
}

# I-Worm.Sircam: its mark with nested keys, its service entry, the open
# command it took over, its four copies, the rundll32.exe it replaced (the
# system's own hidden as run32.exe) and its line in c:\autoexec.bat. The
# original rundll32.exe is left in $WS_WORK/rundll32.original.
worm_plant_sircam() {
  ws_reg_add 'HKLM\Software\SirCam' '' ''
  ws_reg_add 'HKLM\Software\SirCam' sa 'C:\My Documents'
  ws_reg_add 'HKLM\Software\SirCam\Lists\Old' 1 'a@b.example'
  ws_reg_add "$WORM_RUN_SERVICES" Driver32 "$WORM_RECYCLED_COPY"
  ws_reg_add "$WORM_RUN_SERVICES" Tool 'C:\tool.exe'
  ws_reg_add "$WORM_OPEN_COMMAND" '' "$WORM_RECYCLED_COPY \"%1\" %*"
  ws_reg_add "$WORM_SHELL_FOLDERS" Startup "$WORM_STARTUP_FOLDER"
  printf 'MZ Sircam' | ws_put_file "$WORM_RECYCLED_COPY"
  local copy
  while IFS= read -r copy; do
    printf 'MZ Sircam' | ws_put_file "$copy"
  done < <(worm_sircam_copies)
  cp -- "$(ws_path 'C:\windows\system32\rundll32.exe')" "$WS_WORK/rundll32.original" ||
    ws_fail "no rundll32.exe to hide"
  ws_put_file 'C:\windows\run32.exe' "$WS_WORK/rundll32.original"
  printf 'MZ Sircam' | ws_put_file 'C:\windows\rundll32.exe'
  printf '%s' "$WORM_BATCH_BEFORE" | ws_put_file 'C:\autoexec.bat'
}

# Each worm's report, as the program prints it (LF; ws_crlf for a file).
# What comes before and after them is lib.sh's: ws_report_banner and
# ws_text kClosingPrompt.
worm_blebla_report() {
  printf 'Your registry was cleaned from links to I-Worm.BleBla.b virus \nbut we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n'
  ws_text kDownloadAdvice
}

worm_navidad_report() {  # [restart]
  printf 'Your registry was cleaned from links to I-Worm.Navidad virus \nbut we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n'
  ws_text kDownloadAdvice
  [[ "${1:-}" == restart ]] && ws_text kRestartAdvice
  return 0
}

worm_sircam_report() {  # [restart]
  printf 'Your registry was cleaned from links to I-Worm.Sircam virus \nbut we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n'
  ws_text kDownloadAdvice
  [[ "${1:-}" == restart ]] && ws_text kRestartAdvice
  return 0
}

# What the program says when c:\autoexec.bat keeps the worm's line.
worm_batch_cannot_modify() {
  printf 'This program can not modify c:\\autoexec.bat file. \nYou can try to find and delete "@win \\recycled\\sirc32.exe" string from this file manually.\n\n'
}
