#!/usr/bin/env bash
# With standard input redirected and no terminal the key wait cannot wait: the
# program must end by itself, with the full report, whatever is on its input.
#   redirected_input.sh EXE LIB
set -u
exe=$1
source "$2"

WS_TIMEOUT=30
ws_begin
ws_clean_report | ws_crlf >"$WS_WORK/expected.txt"

check_run() {  # WHAT
  ws_assert_status 0 "$1: exit status"
  ws_assert_bytes "$WS_WORK/expected.txt" "$WS_WORK/out.txt" "$1: report"
}

WS_STDIN=/dev/null ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
check_run "input from /dev/null"

printf 'x\r\n' >"$WS_WORK/keys.txt"
WS_STDIN="$WS_WORK/keys.txt" ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
check_run "input from a file with a key in it"

# A pipe with a key in it, its writer gone.
WS_STDIN=<(printf 'x\r\n') ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
check_run "input from a finished pipe"

# A pipe whose writer stays open and never writes: reading standard input
# would block for good.
mkfifo "$WS_WORK/silent.pipe"
exec {writer}<>"$WS_WORK/silent.pipe"
WS_STDIN="$WS_WORK/silent.pipe" ws_run "$WS_WORK/out.txt" "$WS_WORK/err.txt" "$exe"
exec {writer}>&-
check_run "input from a pipe that stays open"
