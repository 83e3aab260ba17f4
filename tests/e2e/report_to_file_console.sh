#!/usr/bin/env bash
# Typed at a prompt in a real console with its report sent to a file or a
# pipe, the program prints the whole report there, closing prompt included,
# and ends by itself: nobody sees a prompt to answer. The console shows
# nothing of the report.
#   report_to_file_console.sh EXE LIB
set -u
exe=$1
source "$2"

prompt=$(ws_text kClosingPrompt)
prompt=${prompt#$'\n'}

ws_begin
ws_clean_report | ws_crlf >"$WS_WORK/expected.txt"

check_console() {  # NAME OUT_FILE WHAT
  ws_console_wait_exit "$1" 60 ||
    ws_fail "$3: the program waits instead of ending by itself"
  ws_assert_status 0 "$3: exit status"
  ws_assert_bytes "$WS_WORK/expected.txt" "$2" "$3: report"
  local screen
  screen=$(ws_console_screen "$1")
  [[ "$screen" != *"$prompt"* ]] ||
    ws_fail "$3: the prompt is on the screen: $screen"
}

WS_CONSOLE_REDIRECT=">$(printf %q "$WS_WORK/report.txt")" \
  ws_console_start to-file "$exe"
check_console to-file "$WS_WORK/report.txt" "report sent to a file"

WS_CONSOLE_REDIRECT="| cat >$(printf %q "$WS_WORK/piped.txt")" \
  ws_console_start to-pipe "$exe"
check_console to-pipe "$WS_WORK/piped.txt" "report sent through a pipe"

# The same console, the report on it: the program shows the prompt and
# waits for the key, as ever.
ws_console_start on-console "$exe"
ws_console_wait_text on-console "$prompt" 60
if ws_console_wait_exit on-console 1; then
  ws_fail "on the console: the program ended by itself with status $WS_STATUS"
fi
ws_console_keys on-console x
ws_console_wait_exit on-console 30 ||
  ws_fail "on the console: the program still waits after the key press"
ws_assert_status 0 "on the console: exit status"
