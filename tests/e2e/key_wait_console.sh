#!/usr/bin/env bash
# In a real console the program shows its closing prompt, then waits for a
# key: it must not end by itself, and one key press must end it with 0.
#   key_wait_console.sh EXE LIB
set -u
exe=$1
source "$2"

prompt=$(ws_text kClosingPrompt)
prompt=${prompt#$'\n'}
nothing=$(ws_text kNothingToClean)

ws_begin
# A letter, a key that Wine delivers without a character, a function key
# (tmux send-keys names).
keys=(x Escape F5)
for key in "${keys[@]}"; do
  ws_console_start "console-$key" "$exe"
  ws_console_wait_text "console-$key" "$prompt" 30

  screen=$(ws_console_screen "console-$key")
  [[ "$screen" == *"$nothing"* ]] ||
    ws_fail "key $key: [$nothing] is not on the screen: $screen"
  if ws_console_wait_exit "console-$key" 1; then
    ws_fail "key $key: the program ended by itself with status $WS_STATUS"
  fi

  ws_console_keys "console-$key" "$key"
  ws_console_wait_exit "console-$key" 30 ||
    ws_fail "key $key: the program still waits after the key press"
  ws_assert_status 0 "key $key: exit status"
done
