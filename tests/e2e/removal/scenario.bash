# The scene that both restart tests play, on the line of Windows in $line
# (nt or 9x): a worm runs as C:\wormtest\rundll32.exe and holds two more of
# its files open, one of them in a folder with a long name; the saved system
# program waits as run32.exe. Every removal is deferred; after the restart
# the worm's files are gone and the system program is back.
#
# Sourced by the test scripts after lib.sh, with $line set.

probe=${WS_REMOVAL_PROBE_EXE:?WS_REMOVAL_PROBE_EXE names removal_probe.exe}
probe_name=$(basename "$probe")

folder='C:\wormtest\Worm Program Folder'
worm="$folder\\Long Worm Name.exe"
second='C:\wormtest\second.exe'
system='C:\wormtest\rundll32.exe'
saved='C:\wormtest\run32.exe'
absent='C:\wormtest\absent.exe'

# Runs the probe; prints the outcome number it reported.
probe() {  # ARGS...
  ws_run "$WS_WORK/probe.out" "$WS_WORK/probe.err" "$probe" "$@"
  ws_assert_status 0 "removal_probe $*"
  tr -d '\r\n' <"$WS_WORK/probe.out"
}

expect_outcome() {  # EXPECTED ARGS...
  local expected=$1
  shift
  ws_assert_eq "$expected" "$(probe "$@")" "removal_probe $*"
}

# True when PATH is drive, root and 8.3 components only.
is_short_path() {  # PATH
  local pattern='^[A-Za-z]:(\\[^\\ .]{1,8}(\.[^\\ .]{1,3})?)+$'
  [[ "$1" =~ $pattern ]]
}

ws_begin "removal_$line"
case "$line" in
  nt) ws_set_windows_version "$probe_name" winxp ;;
  9x) ws_set_windows_version "$probe_name" win98 ;;
  *) ws_fail "unknown line $line" ;;
esac

ws_put_text "$worm" 'worm'
ws_put_text "$second" 'second'
ws_put_text "$saved" 'original'
printf 'original' >"$WS_WORK/original.txt"
# The worm's program runs (so it cannot be deleted) and holds its other
# files open without sharing.
ws_hold_running worm "$system" "$worm" "$second"

expect_outcome 1 delete "$worm"
expect_outcome 1 delete "$second"
expect_outcome 1 delete "$system"
# The target still exists: its deletion waits for the restart too.
expect_outcome 1 rename "$saved" "$system"
expect_outcome 2 delete "$absent"
expect_outcome 2 rename "$absent" 'C:\wormtest\other.exe'

for path in "$worm" "$second" "$system" "$saved"; do
  ws_assert_file_exists "$path" "before the restart"
done

# wininit.ini: every entry kept, in order, by short names.
wininit=$(ws_wininit_text) || ws_fail "no wininit.ini was written"
mapfile -t lines <<<"$wininit"
ws_assert_eq 5 "${#lines[@]}" "lines of wininit.ini [$wininit]"
ws_assert_eq '[rename]' "${lines[0]}" "wininit.ini section"
[[ "${lines[1]}" == NUL=* ]] || ws_fail "first entry is no deletion: ${lines[1]}"
short_worm=${lines[1]#NUL=}
is_short_path "$short_worm" || ws_fail "the worm's entry has a long name: ${lines[1]}"
ws_cmd dir /b "$short_worm" || ws_fail "no file has the short name $short_worm"
ws_assert_eq "${worm##*\\}" "$(tr -d '\r' <"$WS_WORK/tool.out")" \
  "the file that the short name $short_worm names"
ws_assert_eq "nul=${second,,}" "${lines[2],,}" "second entry"
ws_assert_eq "nul=${system,,}" "${lines[3],,}" "third entry"
ws_assert_eq "${system,,}=${saved,,}" "${lines[4],,}" "fourth entry"

pending=$(ws_pending_renames)
if [[ "$line" == nt ]]; then
  # The boot-time list keeps the long names, in the order of the calls.
  expected=$(printf '%s|\n' "$worm" "$second" "$system"
             printf '%s|%s\n' "$saved" "$system")
  ws_assert_eq "${expected,,}" "$(sed 's/\\??\\//g' <<<"${pending,,}")" \
    "the boot-time list"
  # A real NT system does not read wininit.ini; Wine would, so it goes, and
  # the boot-time list alone must do the job.
  rm -f -- "$(ws_path 'C:\windows\wininit.ini')"
else
  ws_assert_eq "" "$pending" "the boot-time list on the 9x line"
fi

ws_restart

ws_assert_file_absent "$worm" "after the restart"
ws_assert_file_absent "$second" "after the restart"
ws_assert_file_absent "$saved" "after the restart"
ws_assert_file_bytes "$system" "$WS_WORK/original.txt" "the restored program"
if [[ "$line" == 9x ]]; then
  ws_assert_file_absent 'C:\windows\wininit.ini' "wininit.ini after the restart"
fi
