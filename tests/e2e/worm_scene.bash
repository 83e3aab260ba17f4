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

# I-Worm.BleBla.b: every extension it takes over points at its file type
# "rnjfile", which starts its program. Of the file types that the cleaner can
# give back, the system has some (jpegfile among them) and lacks the others.
worm_plant_blebla() {
  local extension
  {
    printf 'REGEDIT4\n\n'
    printf '[HKEY_CLASSES_ROOT\\rnjfile]\n@=""\n\n'
    printf '[HKEY_CLASSES_ROOT\\rnjfile\\shell\\open\\command]\n'
    printf '@="C:\\\\WINDOWS\\\\sysrnj.exe \\"%%1\\""\n\n'
    for extension in .jpg .jpeg .jpe .bmp .gif .avi .mpg .mpeg .mp2 .wmf \
      .wma .wmv .mp3 .vqf .doc .xls .zip .rar .lha .arj .reg; do
      printf '[HKEY_CLASSES_ROOT\\%s]\n@="rnjfile"\n\n' "$extension"
    done
    printf '[HKEY_CLASSES_ROOT\\.lha\\ShellNew]\n"NullFile"=""\n\n'
    for type in jpegfile avifile wordpad.document.1 winzip regfile; do
      printf '[HKEY_CLASSES_ROOT\\%s]\n\n' "$type"
    done
    for type in Paint.Picture giffile mpegfile wmafile wmvfile mp3file \
      word.document.8 excel.sheet.8 winrar archivefile; do
      printf '[-HKEY_CLASSES_ROOT\\%s]\n\n' "$type"
    done
  } | ws_reg_import
  printf 'MZ BleBla.b' | ws_put_file 'C:\windows\sysrnj.exe'
}

# A Navidad variant's mark as the worm leaves it, with values and a subkey
# (NAME: Navidad, xxxxmas or Emanuel).
worm_plant_navidad_mark() {  # NAME
  ws_reg_add "HKCU\\Software\\$1" Installed 1
  ws_reg_add "HKCU\\Software\\$1\\Mail" Sent 0
}

# I-Worm.Navidad, first variant: its mark, its autostart value and the
# program it names (deleted with the extension vxd).
worm_plant_navidad() {
  worm_plant_navidad_mark Navidad
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
  ws_text kBleBlaResult
  ws_text kDownloadAdvice
}

worm_navidad_report() {  # [restart]
  ws_text kNavidadResultA
  ws_text kDownloadAdvice
  [[ "${1:-}" == restart ]] && ws_text kRestartAdvice
  return 0
}

worm_sircam_report() {  # [restart]
  ws_text kSircamResult
  ws_text kDownloadAdvice
  [[ "${1:-}" == restart ]] && ws_text kRestartAdvice
  return 0
}
