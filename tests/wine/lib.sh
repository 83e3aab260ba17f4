# Shared toolkit for tests that run Windows programs under Wine.
#
# Source it from a test script:
#
#   source "$2"            # the path of this file, as ctest passes it
#   ws_begin               # a fresh prefix and its own wineserver
#   ws_run out.txt err.txt "$exe"
#   ws_assert_status 0
#   ...                    # ws_end runs by itself when the script exits
#
# Every prefix is a copy of one template prefix, made once per test run
# (`bash lib.sh make-template DIR`, or on first use). Paths that name a file
# inside the prefix are Windows paths on drive C: ("C:\windows\wininit.ini");
# ws_path turns them into the Unix path of the copy.
#
# Functions that check something end the script with "FAIL: ..." on stderr and
# exit status 1, so a test reads as a list of steps and checks.
#
# Prefixes are 32-bit, for the product, unless WS_WINE_ARCH is win64: then
# they are 64-bit prefixes of 64-bit Wine, for the 64-bit build that stands in
# for the product where 32-bit programs cannot run (see wine_arch.sh).

WS_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$WS_LIB_DIR/wine_arch.sh"

# A prefix that the test's own Wine settings cannot leak into: no display, no
# .NET or HTML engine install prompts, no desktop menu entries written into
# the user's home.
#
# WS_WINE is the command that runs a Windows program. Debian's `wine` always
# takes the 32-bit loader when it is installed: 64-bit Wine is run through its
# own loader, which WINELOADER names for the processes Wine starts itself.
ws_wine_environment() {
  export WINEARCH=${WS_WINE_ARCH:-win32}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY WINELOADERNOEXEC WINELOADER
  case "$WINEARCH" in
    win32) WS_WINE=wine ;;
    win64) export WINELOADER=$WS_WINE64_LOADER; WS_WINE=$WINELOADER ;;
    *) ws_fail "WS_WINE_ARCH=$WINEARCH: use win32 or win64" ;;
  esac
}

WS_SOURCE_DIR=$(cd "$WS_LIB_DIR/../.." && pwd)
WS_TIMEOUT=${WS_TIMEOUT:-60}
WS_STATUS=
WS_WORK=
declare -A WS_HOLD_PID=() WS_HOLD_FD=()

# Wine's own tools by full path: a reg.exe or cmd.exe in the current
# directory would otherwise be run instead.
WS_REG_EXE='C:\windows\system32\reg.exe'
WS_REGEDIT_EXE='C:\windows\regedit.exe'
WS_CMD_EXE='C:\windows\system32\cmd.exe'
WS_WINEBOOT_EXE='C:\windows\system32\wineboot.exe'

# ---------------------------------------------------------------------------
# Messages and assertions

ws_fail() {
  printf 'FAIL: %s\n' "$*" >&2
  exit 1
}

ws_note() {
  printf '%s\n' "$*" >&2
}

ws_assert_eq() {  # EXPECTED ACTUAL WHAT
  [[ "$1" == "$2" ]] && return 0
  ws_fail "$3: expected [$1], got [$2]"
}

ws_assert_status() {  # EXPECTED [WHAT]
  [[ "$WS_STATUS" == "$1" ]] && return 0
  local what=${2:-exit status}
  if [[ "$WS_STATUS" == 124 ]]; then
    ws_fail "$what: expected $1, but the program was still running after ${WS_TIMEOUT}s"
  fi
  ws_fail "$what: expected $1, got $WS_STATUS"
}

ws_show_bytes() {  # FILE: its bytes, printable, for failure messages
  if [[ -e "$1" ]]; then od -A d -c -- "$1" | sed 's/^/    /' >&2
  else ws_note "    (no file $1)"; fi
}

ws_assert_bytes() {  # EXPECTED_FILE ACTUAL_FILE WHAT
  [[ -e "$2" ]] || ws_fail "$3: $2 does not exist"
  cmp -s -- "$1" "$2" && return 0
  ws_note "$3: the bytes differ ($(cmp -- "$1" "$2" 2>&1 | head -n 1))"
  ws_note "  expected:"
  ws_show_bytes "$1"
  ws_note "  actual:"
  ws_show_bytes "$2"
  ws_fail "$3: the bytes differ"
}

ws_assert_empty_file() {  # FILE WHAT
  [[ -e "$1" ]] || ws_fail "$2: $1 does not exist"
  [[ -s "$1" ]] || return 0
  ws_note "$2: expected nothing, got:"
  ws_show_bytes "$1"
  ws_fail "$2: not empty"
}

ws_assert_file_contains() {  # FILE TEXT WHAT (CR ignored)
  if tr -d '\r' <"$1" | grep -qF -- "$2"; then return 0; fi
  ws_note "$3: [$2] not found in:"
  ws_show_bytes "$1"
  ws_fail "$3: text not found"
}

ws_assert_file_exists() {  # WINDOWS_PATH [WHAT]
  local path
  path=$(ws_path "$1") || exit 1
  [[ -e "$path" ]] || ws_fail "${2:-file}: $1 should exist but is absent"
}

ws_assert_file_absent() {  # WINDOWS_PATH [WHAT]
  local path
  path=$(ws_path "$1") || exit 1
  [[ ! -e "$path" && ! -L "$path" ]] || ws_fail "${2:-file}: $1 should be absent but exists"
}

ws_assert_file_bytes() {  # WINDOWS_PATH EXPECTED_FILE [WHAT]
  ws_assert_bytes "$2" "$(ws_path "$1")" "${3:-$1}"
}

# Waits until COMMAND succeeds, polling: only for states that announce
# themselves by no event (a marker file, text on a screen). Fails with WHAT
# after SECONDS.
ws_wait_until() {  # SECONDS WHAT COMMAND...
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || ws_fail "$what: not after ${seconds}s"
    sleep 0.02
  done
}

# ---------------------------------------------------------------------------
# Texts of the program, read from its sources

# Prints the bytes of a `const char NAME[] = "..." "...";` constant in HEADER,
# escapes (\n, \r, \t, \\, \") interpreted.
ws_c_text() {  # HEADER NAME
  local literal text=''
  local definition
  definition=$(awk -v name="$2" '
    index($0, "const char " name "[] =") == 1 { inside = 1 }
    inside { print }
    inside && /;[[:space:]]*$/ { exit }' "$1")
  [[ -n "$definition" ]] || ws_fail "no constant $2 in $1"
  while IFS= read -r literal; do
    literal=${literal:1:${#literal}-2}
    text+=${literal//\\\"/\"}
  done < <(grep -o '"\([^"\\]\|\\.\)*"' <<<"$definition")
  printf '%b' "$text"
}

# The texts that wormsweep prints, from src/report/texts.h, with LF line
# ends (ws_crlf for what it writes to a file).
ws_text() {  # NAME (kBanner, kDownloadAdvice, kRestartAdvice, ...)
  ws_c_text "$WS_SOURCE_DIR/src/report/texts.h" "$1"
}

# What every report begins with: the banner, the ownership line, an empty
# line.
ws_report_banner() {
  ws_text kBanner
  ws_text kOwnershipLine
  printf '\n'
}

# The whole report of a run that finds nothing to clean.
ws_clean_report() {
  ws_report_banner
  ws_text kNothingToClean
  ws_text kClosingPrompt
}

# Turns LF into CR LF, as text-mode output to a file does.
ws_crlf() {  # <in >out
  sed -z 's/\n/\r\n/g'
}

# ---------------------------------------------------------------------------
# Prefixes and the wineserver

ws_template_dir() {
  printf '%s\n' "${WS_WINE_TEMPLATE:-${TMPDIR:-/tmp}/wormsweep-wine-template-$(id -u)-${WS_WINE_ARCH:-win32}}"
}

# Makes the template prefix at DIR unless it is there already. Safe to call
# from tests running in parallel: the first makes it, the others wait.
ws_make_template() {  # DIR
  local dir=$1
  mkdir -p "$(dirname "$dir")"
  (
    flock 9
    [[ -f "$dir/system.reg" ]] && exit 0
    rm -rf "$dir" "$dir.new"
    ws_wine_environment
    export WINEPREFIX="$dir.new"
    "$WS_WINE" wineboot -i </dev/null >"$dir.log" 2>&1 || { cat "$dir.log" >&2; exit 1; }
    # The hives are written when the server ends.
    wineserver -w
    mv -- "$WINEPREFIX" "$dir"
  ) 9>"$dir.lock" || ws__template_failure "$dir"
}

ws__template_failure() {  # DIR
  local error
  if [[ "${WS_WINE_ARCH:-win32}" == win32 ]] && error=$(ws__loader_fails "$WS_WINE32_LOADER"); then
    ws_fail "cannot make the Wine prefix template $1: 32-bit Wine cannot run on this machine ($error); the tests of the windows-x64 build run under 64-bit Wine"
  fi
  ws_fail "cannot make the Wine prefix template $1"
}

# Only the files that Wine merely loads are shared with the template through
# hard links. Every other file gets a copy of its own, since a program or a
# test may rewrite it in place (a registry hive, an .ini file, a program that
# a worm replaced) and a hard link would carry that into the template.
ws__copy_prefix() {  # TEMPLATE TARGET
  local template=$1 target=$2 link
  [[ -f "$template/system.reg" ]] || return 1
  cp -al -- "$template" "$target" || return 1
  (cd "$template" && find . -type f -print0 |
    grep -zviE '\.(dll|drv|nls|sys|ocx|acm|cpl|tlb|ds|vxd|ax|msstyles)$' |
    xargs -0 -r cp -p --remove-destination --parents -t "$target") || return 1
  # Wine links the profile's Desktop, Documents... to the user's home; what a
  # test deletes there must stay inside the prefix.
  while IFS= read -r -d '' link; do
    rm -- "$link" && mkdir -- "$link" || return 1
  done < <(find "$target/drive_c/users" -type l -print0)
}

# Starts a test: a fresh prefix copied from the template, with its own
# wineserver kept alive until ws_end (otherwise Wine carries out the boot-time
# renames by itself when the next program starts after the server has gone).
ws_begin() {  # [NAME]
  local name=${1:-$(basename "$0" .sh)}
  local template root
  template=$(ws_template_dir)
  ws_make_template "$template"
  root=${WS_WINE_WORK:-${TMPDIR:-/tmp}/wormsweep-wine-tests}
  mkdir -p "$root"
  WS_WORK=$(mktemp -d "$root/$name.XXXXXX") || ws_fail "cannot make a work directory"
  trap ws_end EXIT
  # A test ended from outside (a ctest timeout, Ctrl+C) still stops its
  # wineserver, which would otherwise live on for good.
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  ws_wine_environment
  export WINEPREFIX="$WS_WORK/prefix"
  ws__copy_prefix "$template" "$WINEPREFIX" || ws_fail "cannot copy the prefix template"
  wineserver -p || ws_fail "cannot start the wineserver"
  # Wine's service processes start with the first program of a server and
  # keep its standard handles: give them /dev/null, never a pipe of the test.
  ws__wine "$WS_CMD_EXE" /c exit 0 || ws_fail "Wine does not start in $WINEPREFIX"
}

ws_end() {
  local status=$?
  ws_release_all
  ws_console_end
  if [[ -n "${WINEPREFIX:-}" && -d "${WINEPREFIX:-}" ]]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  if [[ -n "$WS_WORK" && -d "$WS_WORK" ]]; then
    if [[ $status -eq 0 && -z "${WS_KEEP:-}" ]]; then
      rm -rf -- "$WS_WORK"
    else
      ws_note "kept the work directory $WS_WORK"
    fi
  fi
  return $status
}

# The pipe ends of held programs must not be inherited by other programs, or
# closing them would not release anything.
ws__close_hold_fds() {
  local fd
  for fd in "${WS_HOLD_FD[@]}"; do
    eval "exec $fd>&-"
  done
}

# Runs a Wine program with standard handles from/to files; the status is the
# function's result.
ws__wine() {  # PROGRAM ARGS...
  (ws__close_hold_fds; exec timeout "$WS_TIMEOUT" "$WS_WINE" "$@") \
    </dev/null >"$WS_WORK/tool.out" 2>"$WS_WORK/tool.err"
}

# ---------------------------------------------------------------------------
# Paths

# The Unix path of a Windows path on drive C: of the prefix. Names are
# matched without regard to case, as Windows does, where they exist.
ws_path() {  # WINDOWS_PATH
  local win=$1
  [[ ${win:0:2} == [cC]: ]] || ws_fail "ws_path: $win is not on drive C:"
  local rest=${win:2} path="$WINEPREFIX/drive_c" part candidate found
  rest=${rest//\\//}
  local -a parts
  IFS=/ read -ra parts <<<"$rest"
  for part in "${parts[@]}"; do
    [[ -z "$part" ]] && continue
    if [[ -e "$path/$part" ]]; then
      path+=/$part
      continue
    fi
    found=
    for candidate in "$path"/* "$path"/.*; do
      candidate=${candidate##*/}
      if [[ "${candidate,,}" == "${part,,}" ]]; then
        found=$candidate
        break
      fi
    done
    path+=/${found:-$part}
  done
  printf '%s\n' "$path"
}

# The Windows name (drive Z:) of a Unix path, for files outside the prefix.
ws_win_path() {  # UNIX_PATH
  local path
  path=$(realpath -m -- "$1")
  path=${path//\//\\}
  printf 'Z:%s\n' "$path"
}

# Puts a file into the prefix, with the bytes of SOURCE or, without one, of
# standard input; makes the folders. The old file is replaced, never written
# into, since it may be shared with the template.
ws_put_file() {  # WINDOWS_PATH [SOURCE]
  local path
  path=$(ws_path "$1") || exit 1
  mkdir -p -- "$(dirname "$path")" || ws_fail "cannot make the folder of $1"
  rm -f -- "$path"
  if [[ $# -ge 2 ]]; then cp -- "$2" "$path"; else cat >"$path"; fi ||
    ws_fail "cannot write $1"
}

# Puts a text file into the prefix, each LF written as CR LF.
ws_put_text() {  # WINDOWS_PATH TEXT
  printf '%s' "$2" | ws_crlf >"$WS_WORK/text.part" || ws_fail "cannot write $1"
  ws_put_file "$1" "$WS_WORK/text.part"
}

# ---------------------------------------------------------------------------
# Running programs

# Sets the Windows version that Wine reports to programs named EXE_NAME:
# win95, win98, winme (the 9x line), nt40, win2k, winxp (the NT line)...
ws_set_windows_version() {  # EXE_NAME VERSION
  ws_reg_add "HKCU\\Software\\Wine\\AppDefaults\\$1" Version "$2"
}

# Runs a program as a user starts it from a prompt: standard output and
# standard error to files (never to a pipe read to its end), standard input
# from WS_STDIN (a file or device; /dev/null when unset). Sets WS_STATUS;
# 124 means it was still running after WS_TIMEOUT seconds and was ended.
ws_run() {  # OUT_FILE ERR_FILE PROGRAM [ARGS...]
  local out=$1 err=$2
  shift 2
  (ws__close_hold_fds; exec timeout "$WS_TIMEOUT" "$WS_WINE" "$@") \
    <"${WS_STDIN:-/dev/null}" >"$out" 2>"$err"
  WS_STATUS=$?
}

# Runs "cmd /c COMMAND"; its output is left in $WS_WORK/tool.out.
ws_cmd() {  # COMMAND...
  ws__wine "$WS_CMD_EXE" /c "$@"
}

# ---------------------------------------------------------------------------
# Holding files open

# Starts hold_open.exe, which opens the named files without sharing (as a
# running worm holds its files), and returns once they are open. NAME is for
# ws_release.
ws_hold_open() {  # NAME WINDOWS_PATH...
  local name=$1
  shift
  ws__start_holder "$name" "${WS_HOLD_OPEN_EXE:?WS_HOLD_OPEN_EXE names hold_open.exe}" "$@"
}

# Puts a copy of hold_open.exe at WINDOWS_PATH and runs it from there, so the
# file is a running program (which cannot be deleted); it may hold further
# files open too.
ws_hold_running() {  # NAME WINDOWS_PATH [WINDOWS_PATH...]
  local name=$1 program=$2
  shift 2
  ws_put_file "$program" "${WS_HOLD_OPEN_EXE:?WS_HOLD_OPEN_EXE names hold_open.exe}"
  ws__start_holder "$name" "$program" "$@"
}

ws__start_holder() {  # NAME PROGRAM WINDOWS_PATH...
  local name=$1 program=$2
  shift 2
  [[ -z "${WS_HOLD_PID[$name]:-}" ]] || ws_fail "ws_hold: $name is already holding files"
  local marker="$WS_WORK/hold-$name.marker" pipe="$WS_WORK/hold-$name.pipe" fd
  rm -f -- "$marker" "$pipe"
  mkfifo -- "$pipe" || ws_fail "cannot make $pipe"
  # Opening for reading and writing does not wait for a reader; this end
  # stays with the test, and closing it is the holder's signal to end.
  exec {fd}<>"$pipe"
  (ws__close_hold_fds; exec {fd}>&-; exec "$WS_WINE" "$program" "$(ws_win_path "$marker")" "$@") \
    <"$pipe" >"$WS_WORK/hold-$name.out" 2>&1 &
  WS_HOLD_PID[$name]=$!
  WS_HOLD_FD[$name]=$fd
  ws_wait_until "$WS_TIMEOUT" "hold_open ($name) did not report" \
    ws__holder_reported "$marker" "${WS_HOLD_PID[$name]}"
  local report
  report=$(cat -- "$marker" 2>/dev/null)
  [[ "$report" == ready ]] || ws_fail "hold_open ($name) could not open its files: ${report:-it ended}"
}

ws__holder_reported() {  # MARKER PID
  [[ -s "$1" ]] || ! kill -0 "$2" 2>/dev/null
}

# Ends a holder: its standard input closes, it closes its files and exits.
ws_release() {  # NAME
  local name=$1 pid=${WS_HOLD_PID[$1]:-} fd=${WS_HOLD_FD[$1]:-}
  [[ -n "$pid" ]] || ws_fail "ws_release: nothing held as $name"
  eval "exec $fd>&-"
  unset "WS_HOLD_FD[$name]" "WS_HOLD_PID[$name]"
  local deadline=$((SECONDS + WS_TIMEOUT))
  while kill -0 "$pid" 2>/dev/null; do
    if ((SECONDS >= deadline)); then
      kill -KILL "$pid" 2>/dev/null
      ws_fail "hold_open ($name) did not end when released"
    fi
    sleep 0.02
  done
  wait "$pid" 2>/dev/null
  return 0
}

ws_release_all() {
  local name
  for name in "${!WS_HOLD_PID[@]}"; do
    ws_release "$name"
  done
}

# ---------------------------------------------------------------------------
# The registry

# Full root names, as regedit wants them.
ws__full_key() {  # KEY
  local key=$1
  case "${key%%\\*}" in
    HKCU) key="HKEY_CURRENT_USER${key#HKCU}" ;;
    HKLM) key="HKEY_LOCAL_MACHINE${key#HKLM}" ;;
    HKCR) key="HKEY_CLASSES_ROOT${key#HKCR}" ;;
    HKU) key="HKEY_USERS${key#HKU}" ;;
  esac
  printf '%s\n' "$key"
}

ws__reg() {  # reg.exe ARGS...
  ws__wine "$WS_REG_EXE" "$@"
}

# Adds KEY, or sets its value NAME ("" is the default value) to DATA of TYPE
# (REG_SZ unless given; REG_DWORD takes a number, REG_BINARY hex digits; for
# REG_MULTI_SZ see ws_reg_set_multi).
ws_reg_add() {  # KEY [NAME DATA [TYPE]]
  local key=$1
  if [[ $# -eq 1 ]]; then
    ws__reg add "$key" /f || ws_fail "cannot add the key $key: $(<"$WS_WORK/tool.out")"
    return 0
  fi
  local -a name_args=(/v "$2")
  [[ -z "$2" ]] && name_args=(/ve)
  ws__reg add "$key" "${name_args[@]}" /t "${4:-REG_SZ}" /d "$3" /f ||
    ws_fail "cannot set $key [$2]: $(<"$WS_WORK/tool.out")"
}

# Sets value NAME of KEY to a REG_MULTI_SZ of the given STRINGS, empty ones
# included (reg.exe refuses those), through a regedit import.
ws_reg_set_multi() {  # KEY NAME STRING...
  local key name hex
  key=$(ws__full_key "$1")
  name=${2//\\/\\\\}
  name=${name//\"/\\\"}
  shift 2
  # A REGEDIT4 file is read in the ANSI code page, its hex(7) data too.
  hex=$({ printf '%s\0' "$@"; printf '\0'; } |
    od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//; s/ /,/g')
  printf 'REGEDIT4\n\n[%s]\n"%s"=hex(7):%s\n' \
    "$key" "$name" "$hex" | ws_reg_import
}

ws_reg_delete_key() {  # KEY (with its subkeys)
  ws__reg delete "$1" /f || ws_fail "cannot delete the key $1: $(<"$WS_WORK/tool.out")"
}

ws_reg_delete_value() {  # KEY NAME
  local -a name_args=(/v "$2")
  [[ -z "$2" ]] && name_args=(/ve)
  ws__reg delete "$1" "${name_args[@]}" /f ||
    ws_fail "cannot delete $1 [$2]: $(<"$WS_WORK/tool.out")"
}

# Imports registry text (REGEDIT4 or version 5 syntax) from FILE or, without
# one, from standard input.
ws_reg_import() {  # [FILE]
  local file="$WS_WORK/import.reg"
  if [[ $# -ge 1 ]]; then cp -- "$1" "$file"; else cat >"$file"; fi
  ws__wine "$WS_REGEDIT_EXE" /S "$(ws_win_path "$file")" ||
    ws_fail "regedit could not import $file"
}

# Exports KEY with its subkeys as UTF-8 text with LF line ends, continuation
# lines joined. Fails (status 1) when the key does not exist.
ws__export() {  # KEY OUT_FILE
  local raw="$WS_WORK/export.raw"
  rm -f -- "$raw"
  ws__wine "$WS_REGEDIT_EXE" /E "$(ws_win_path "$raw")" "$(ws__full_key "$1")" || return 1
  [[ -s "$raw" ]] || return 1
  iconv -f UTF-16 -t UTF-8 "$raw" | tr -d '\r' |
    awk '{ if (joined != "") { sub(/^[ \t]+/, ""); joined = joined $0 } else joined = $0
           if (joined ~ /\\$/) { sub(/\\$/, "", joined); next }
           print joined; joined = "" }' >"$2"
}

ws_reg_key_exists() {  # KEY
  ws__reg query "$1"
}

# The data of value NAME ("" for the default value) of KEY: strings as they
# are stored, other types in regedit's notation (dword:00000001, hex(7):...).
# Status 1 when the key or the value does not exist.
ws_reg_get() {  # KEY NAME
  local text="$WS_WORK/get.reg"
  ws__export "$1" "$text" || return 1
  local header entry
  header="[$(ws__full_key "$1")]"
  if [[ -z "$2" ]]; then
    entry='@'
  else
    entry=${2//\\/\\\\}
    entry="\"${entry//\"/\\\"}\""
  fi
  # Through the environment: awk would read escapes in -v assignments.
  WS_HEADER=$header WS_ENTRY=$entry awk '
    BEGIN { header = tolower(ENVIRON["WS_HEADER"]); entry = ENVIRON["WS_ENTRY"] "=" }
    /^\[/ { inside = (tolower($0) == header); next }
    inside && index($0, entry) == 1 { print substr($0, length(entry) + 1); found = 1; exit }
    END { exit !found }' "$text" >"$WS_WORK/get.value" || return 1
  local value
  value=$(<"$WS_WORK/get.value")
  if [[ "$value" == \"*\" ]]; then
    value=${value:1:${#value}-2}
    value=${value//\\\\/$'\x01'}
    value=${value//\\\"/\"}
    value=${value//$'\x01'/\\}
  fi
  printf '%s\n' "$value"
}

# The strings of a REG_MULTI_SZ value, one a line.
ws_reg_get_multi() {  # KEY NAME
  local value
  value=$(ws_reg_get "$1" "$2") || return 1
  [[ "$value" == hex\(7\):* ]] || ws_fail "$1 [$2] is not a REG_MULTI_SZ value: $value"
  value=${value#hex(7):}
  value=${value//,/}
  local bytes='' i
  for ((i = 0; i < ${#value}; i += 2)); do bytes+="\\x${value:i:2}"; done
  printf '%b' "$bytes" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' | sed '$d'
}

# A snapshot of the registry (or of the given keys) for ws_reg_compare: one
# line per value, prefixed by its key, and one line per key. It is read
# through regedit from the running server, so it holds none of the
# timestamps that Wine writes into its hive files.
ws_reg_snapshot() {  # OUT_FILE [KEY...]
  local out=$1 text="$WS_WORK/snapshot.reg"
  shift
  local -a keys=("$@")
  [[ ${#keys[@]} -eq 0 ]] && keys=(HKEY_LOCAL_MACHINE HKEY_USERS)
  : >"$out"
  local key
  for key in "${keys[@]}"; do
    # A root always exists: an export of one that fails is regedit's
    # failure (seen once for HKEY_USERS on a loaded machine), asked again
    # once, and never recorded as an absent key.
    if ws__export "$key" "$text" ||
      { [[ $key != *\\* ]] && ws__export "$key" "$text"; }; then
      awk '/^\[/ { key = $0; print key; next }
           /^$/ || /^Windows Registry Editor/ || /^REGEDIT/ { next }
           { print key "\t" $0 }' "$text" >>"$out"
    elif [[ $key != *\\* ]]; then
      ws_fail "regedit could not export $key: $(<"$WS_WORK/tool.err")"
    else
      printf '[%s] (absent)\n' "$(ws__full_key "$key")" >>"$out"
    fi
  done
}

# Fails, showing what was added (+) and removed (-), when two snapshots
# differ in a line that no IGNORE pattern (extended regular expression)
# matches.
ws_reg_compare() {  # BEFORE AFTER [IGNORE...]
  local before=$1 after=$2
  shift 2
  local pattern
  local -a ignore=(-e '^$')
  for pattern in "$@"; do ignore+=(-e "$pattern"); done
  local changes
  changes=$(diff <(grep -v -E "${ignore[@]}" "$before") <(grep -v -E "${ignore[@]}" "$after") |
    sed -n 's/^< /  - /p; s/^> /  + /p')
  [[ -z "$changes" ]] && return 0
  ws_note "the registry changed:"
  ws_note "$changes"
  ws_fail "the registry changed"
}

# ---------------------------------------------------------------------------
# Restart and the boot-time lists

# The text of wininit.ini in the Windows folder, CR removed; status 1 when
# there is none.
ws_wininit_text() {
  local path
  path=$(ws_path 'C:\windows\wininit.ini')
  [[ -f "$path" ]] || return 1
  tr -d '\r' <"$path"
}

# The NT line's boot-time list, one "SOURCE|TARGET" line per operation (an
# empty target is a deletion). Empty output when there is no list.
ws_pending_renames() {
  local -a strings
  mapfile -t strings < <(ws_reg_get_multi \
    'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)
  # The list ends with an empty string after the last pair.
  local i
  for ((i = 0; i < ${#strings[@]}; i += 2)); do
    [[ $((i + 1)) -eq ${#strings[@]} && -z "${strings[i]}" ]] && break
    printf '%s|%s\n' "${strings[i]}" "${strings[i + 1]:-}"
  done
}

# The system restart: programs end (held files are released), then Wine
# carries out the boot-time list and wininit.ini as Windows does at start.
ws_restart() {
  ws_release_all
  ws__wine "$WS_WINEBOOT_EXE" -r || ws_fail "wineboot -r failed: $(<"$WS_WORK/tool.err")"
}

# ---------------------------------------------------------------------------
# A real console: a program run in a tmux session

WS_TMUX_SOCKET=

ws__tmux() {
  TMUX='' tmux -S "$WS_TMUX_SOCKET" "$@"
}

# Starts PROGRAM ARGS under Wine in a terminal of 80x25 characters named
# NAME; its exit status will be written to $WS_WORK/NAME.status. With
# WS_CONSOLE_REDIRECT set, its text follows the command as the user would
# type it after the program at a prompt (">report.txt", "| cat >out.txt");
# the status is then the program's, not that of the end of a pipe.
ws_console_start() {  # NAME PROGRAM [ARGS...]
  local name=$1
  shift
  WS_TMUX_SOCKET="$WS_WORK/tmux.socket"
  local runner="$WS_WORK/$name.console.sh"
  {
    printf 'cd %q || exit 1\n' "$WS_WORK"
    printf 'export WINEPREFIX=%q WINEARCH=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q\n' \
      "$WINEPREFIX" "$WINEARCH" "$WINEDEBUG" "$WINEDLLOVERRIDES"
    printf 'unset DISPLAY WAYLAND_DISPLAY TMUX WINELOADER\n'
    [[ -n "${WINELOADER:-}" ]] && printf 'export WINELOADER=%q\n' "$WINELOADER"
    printf '%q' "$WS_WINE"
    printf ' %q' "$@"
    printf ' %s' "${WS_CONSOLE_REDIRECT:-}"
    printf '\nstatus=${PIPESTATUS[0]}'
    printf '\necho $status >%q.tmp && mv %q.tmp %q\n' \
      "$WS_WORK/$name.status" "$WS_WORK/$name.status" "$WS_WORK/$name.status"
    printf 'tmux -S %q wait-for -S %q\n' "$WS_TMUX_SOCKET" "$name-ended"
  } >"$runner"
  rm -f -- "$WS_WORK/$name.status"
  # The pane stays when the program ends, so that its last screen can still
  # be read; set in the same tmux command, before the program can end.
  (ws__close_hold_fds; exec env -u TMUX TERM="${TERM:-xterm}" \
    tmux -S "$WS_TMUX_SOCKET" new-session -d -s "$name" -x 80 -y 25 "bash $(printf %q "$runner")" \; \
    set-option -t "$name" remain-on-exit on) \
    </dev/null >"$WS_WORK/tmux.out" 2>&1 || ws_fail "tmux could not start: $(<"$WS_WORK/tmux.out")"
}

# The text on the screen of console NAME.
ws_console_screen() {  # NAME
  ws__tmux capture-pane -p -t "$1"
}

ws__console_shows() {  # NAME TEXT
  ws_console_screen "$1" | grep -qF -- "$2"
}

ws_console_wait_text() {  # NAME TEXT [SECONDS]
  ws_wait_until "${3:-$WS_TIMEOUT}" "[$2] on the console" ws__console_shows "$1" "$2"
}

ws_console_keys() {  # NAME KEYS... (tmux send-keys notation)
  local name=$1
  shift
  ws__tmux send-keys -t "$name" "$@" || ws_fail "cannot send keys to $name"
}

# Waits at most SECONDS for the program in console NAME to end; sets
# WS_STATUS to its exit status and returns 0, or returns 1 if it is still
# running.
ws_console_wait_exit() {  # NAME SECONDS
  if ! timeout "$2" tmux -S "$WS_TMUX_SOCKET" wait-for "$1-ended" </dev/null >/dev/null 2>&1; then
    return 1
  fi
  WS_STATUS=$(<"$WS_WORK/$1.status")
}

ws_console_end() {
  [[ -n "$WS_TMUX_SOCKET" && -S "$WS_TMUX_SOCKET" ]] || return 0
  ws__tmux kill-server >/dev/null 2>&1
  WS_TMUX_SOCKET=
}

# ---------------------------------------------------------------------------
# Run as a command: `bash lib.sh make-template DIR` / `remove-template DIR`.

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  case "${1:-}" in
    make-template)
      [[ $# -eq 2 ]] || ws_fail "usage: lib.sh make-template DIR"
      rm -rf -- "$2"
      ws_make_template "$2"
      ;;
    remove-template)
      [[ $# -eq 2 ]] || ws_fail "usage: lib.sh remove-template DIR"
      rm -rf -- "$2" "$2.lock" "$2.log"
      ;;
    *)
      ws_fail "usage: lib.sh make-template DIR | remove-template DIR"
      ;;
  esac
fi
