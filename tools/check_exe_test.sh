#!/usr/bin/env bash
# Makes sure check_exe.sh rejects what it is there to reject: it passes the
# real exe, then runs on copies of it altered one way each and expects each
# to fail for its own reason.
#
# check_exe_test.sh OBJDUMP CHECK_EXE_SH EXE MAX_BYTES P6_EXE TWIN
# P6_EXE is any program built with MinGW-w64's usual start-up code, which
# uses Pentium Pro instructions; TWIN is the exe's copy under its second name.
set -u
[ $# -eq 6 ] || { echo "usage: $0 OBJDUMP CHECK_EXE_SH EXE MAX_BYTES P6_EXE TWIN" >&2; exit 2; }
objdump=$1
check=$2
exe=$3
budget=$4
p6_exe=$5
twin=$6
allowed=$(dirname "$check")/win95-nt4-imports.txt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

run_check() {  # EXE [--twin FILE]
  bash "$check" --objdump "$objdump" --allowed "$allowed" \
    --max-bytes "$budget" "${@:2}" "$1"
}

# expect_rejected NAME FILE TEXT [--twin TWIN]: the check fails and says TEXT.
expect_rejected() {
  local output status
  output=$(run_check "$2" "${@:4}" 2>&1)
  status=$?
  if [ "$status" -ne 1 ]; then
    fail "$1: exit status $status, expected 1; output: $output"
  elif ! grep -qF -- "$3" <<<"$output"; then
    fail "$1: no \"$3\" in: $output"
  else
    echo "ok: $1"
  fi
}

# Writes one byte (0-255) at a byte offset of a file.
poke_byte() {
  printf "\\$(printf %03o "$3")" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# The offset of the optional header: the PE header's offset (at 0x3c) plus
# the signature and the file header.
optional_header_offset() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  echo $((pe + 24))
}

copy() {
  cp "$exe" "$work/$1.exe"
  echo "$work/$1.exe"
}

if output=$(run_check "$exe" 2>&1); then
  echo "ok: the exe as built passes"
else
  fail "the exe as built is rejected: $output"
fi

if output=$(run_check "$exe" --twin "$twin" 2>&1); then
  echo "ok: the exe and its twin as built pass"
else
  fail "the exe and its twin as built are rejected: $output"
fi

other_twin=$(copy other_twin)
poke_byte "$other_twin" 100 $(( ($(od -An -tu1 -j100 -N1 "$exe") + 1) % 256 ))
expect_rejected "a twin one byte different" "$exe" "differs from it" \
  --twin "$other_twin"
cp "$exe" "$other_twin"
truncate -s -1 "$other_twin"
expect_rejected "a twin one byte short" "$exe" "differs from it" \
  --twin "$other_twin"
expect_rejected "a missing twin" "$exe" "is missing" --twin "$work/none.com"

too_big=$(copy too_big)
truncate -s $((budget + 1)) "$too_big"
expect_rejected "one byte over the budget" "$too_big" "over the budget"

# The DLL names are renamed in place, padded with NULs to their length.
runtime_dll=$(copy runtime_dll)
LC_ALL=C sed -i 's/ADVAPI32\.dll/msvcrt.dll\x00\x00/' "$runtime_dll"
expect_rejected "an import from the C runtime DLL" "$runtime_dll" \
  "RegCloseKey from MSVCRT.dll, which is not"

other_dll=$(copy other_dll)
LC_ALL=C sed -i 's/KERNEL32\.dll/USER32.dll\x00\x00/' "$other_dll"
expect_rejected "an import from another DLL" "$other_dll" \
  "WriteFile from USER32.dll, which is not"

newer_function=$(copy newer_function)
LC_ALL=C sed -i 's/GetVersionExA/GetVersionExW/g' "$newer_function"
expect_rejected "a function not in the list" "$newer_function" \
  "KERNEL32.dll GetVersionExW, which is not in"

expect_rejected "Pentium Pro instructions" "$p6_exe" \
  "instructions newer than the 386: cmov"

optional=$(optional_header_offset "$exe")

newer_subsystem=$(copy newer_subsystem)
poke_byte "$newer_subsystem" $((optional + 48)) 5
poke_byte "$newer_subsystem" $((optional + 50)) 1
expect_rejected "subsystem version 5.1" "$newer_subsystem" \
  "subsystem version 5.1, not 4.0"

windowed=$(copy windowed)
poke_byte "$windowed" $((optional + 68)) 2
expect_rejected "a windowed program" "$windowed" "not 00000003 (console)"

# DllCharacteristics is the word at offset 70; 0x8000 is its high byte's top
# bit.
not_tsaware=$(copy not_tsaware)
poke_byte "$not_tsaware" $((optional + 71)) \
  $(( $(od -An -tu1 -j$((optional + 71)) -N1 "$exe") & 0x7f ))
expect_rejected "an exe not marked terminal-server aware" "$not_tsaware" \
  "not terminal-server aware"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
