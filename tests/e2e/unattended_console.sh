#!/usr/bin/env bash
# Started on a window station that nobody sees, without the INTERACTIVE group,
# as Windows runs a service, a scheduled task or a remote shell, the program
# must not wait for a key that nobody can press: in a real console, where it
# otherwise waits, it prints its whole report and ends by itself with status
# 0. Without the group but on a station that a person sees (LocalSystem on
# the desktop), it still waits for the key. The window station calls come
# from user32, which the exe finds at run time.
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

ws_console_start seen "$WS_START_AS_EXE" seen-without-interactive \
  "$(ws_win_path "$exe")"
ws_console_wait_text seen "$prompt" 30
if ws_console_wait_exit seen 1; then
  ws_fail "without INTERACTIVE on a seen station the program ended by itself"
fi
ws_console_keys seen x
ws_console_wait_exit seen 30 ||
  ws_fail "without INTERACTIVE on a seen station a key does not end the wait"
ws_assert_status 0 "seen without INTERACTIVE: exit status"
