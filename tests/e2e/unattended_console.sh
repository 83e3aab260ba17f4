#!/usr/bin/env bash
# Started on a window station that nobody sees, as Windows runs a service, a
# scheduled task or a remote shell, the program must not wait for a key that
# nobody can press: in a real console, where it otherwise waits, it prints
# its whole report and ends by itself with status 0. The window station
# calls come from user32, which the exe finds at run time.
#   unattended_console.sh EXE LIB
set -u
exe=$1
source "$2"

prompt=$(ws_text kClosingPrompt)
prompt=${prompt#$'\n'}
nothing=$(ws_text kNothingToClean)

ws_begin
ws_console_start unseen "${WS_START_AS_EXE:?WS_START_AS_EXE names start_as.exe}" \
  unseen "$(ws_win_path "$exe")"
ws_console_wait_exit unseen 30 ||
  ws_fail "the program still waits for a key where nobody can press one: $(ws_console_screen unseen)"
ws_assert_status 0 "exit status"
screen=$(ws_console_screen unseen)
[[ "$screen" == *"$nothing"* && "$screen" == *"$prompt"* ]] ||
  ws_fail "the report is not on the screen: $screen"
