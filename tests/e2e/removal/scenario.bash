# The scene that both restart tests play, under a version of the line in
# $line (nt or 9x): a worm runs as C:\wormtest\rundll32.exe and holds two
# more of its files open, one of them in a folder with a long name; the saved
# system program waits as run32.exe. Every removal is deferred; after the
# restart the worm's files are gone and the system program is back.
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

# Wine is an NT system under every version it presents: the 9x versions only
# report the 9x line, as a compatibility mode makes Windows NT do. The
# operations go where the system keeps them, the boot-time list with its long
# names, in the order of the calls; nothing goes to wininit.ini, which NT
# never reads.
pending=$(ws_pending_renames)
expected=$(printf '%s|\n' "$worm" "$second" "$system"
           printf '%s|%s\n' "$saved" "$system")
ws_assert_eq "${expected,,}" "$(sed 's/\\??\\//g' <<<"${pending,,}")" \
  "the boot-time list"
ws_assert_file_absent 'C:\windows\wininit.ini' "wininit.ini"

ws_restart

ws_assert_file_absent "$worm" "after the restart"
ws_assert_file_absent "$second" "after the restart"
ws_assert_file_absent "$saved" "after the restart"
ws_assert_file_bytes "$system" "$WS_WORK/original.txt" "the restored program"
