#!/usr/bin/env bash
# Checks which Wine tests/wine/wine_arch.sh chooses on machines of every
# kind, with stand-ins for the two Wine loaders: one that runs, one that the
# kernel refuses as a 32-bit kernel-less machine does (a truncated 32-bit ELF
# file gets the real "Exec format error"), one that fails, one that is not
# there. Also checks that lib.sh runs 64-bit Wine through its own loader.
#
# wine_arch_test.sh TESTS_WINE_DIR
set -u
[ $# -eq 1 ] || { echo "usage: $0 TESTS_WINE_DIR" >&2; exit 2; }
wine_dir=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

printf '#!/bin/sh\necho wine-8.0\n' >"$work/runs"
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' \
  >"$work/refused"
printf '#!/bin/sh\necho "wine: could not load ntdll.so" >&2\nexit 1\n' >"$work/fails"
chmod +x "$work/runs" "$work/refused" "$work/fails"

# choose WINE32 WINE64 FORCED: prints "ARCH|REASON|STATUS".
choose() {
  (
    export WS_WINE32_LOADER=$work/$1 WS_WINE64_LOADER=$work/$2 WORMSWEEP_WINE_ARCH=$3
    source "$wine_dir/wine_arch.sh"
    ws_choose_wine_arch
    status=$?
    printf '%s|%s|%s\n' "$WS_CHOSEN_WINE_ARCH" "$WS_CHOSEN_WINE_REASON" "$status"
  )
}

# WHAT | 32-bit loader | 64-bit loader | WORMSWEEP_WINE_ARCH | expected arch |
# status | reason
refused="$work/refused: cannot execute binary file: Exec format error"
cases="\
32-bit programs run|runs|runs||win32|0|this machine runs 32-bit programs
the kernel refuses 32-bit programs|refused|runs||win64|0|this machine runs no 32-bit programs ($refused)
no 32-bit Wine installed|absent|runs||win64|0|this machine runs no 32-bit programs ($work/absent: No such file or directory)
64-bit chosen where 32-bit runs|runs|runs|win64|win64|0|chosen by WORMSWEEP_WINE_ARCH=win64
64-bit chosen but broken|runs|fails|win64||1|WORMSWEEP_WINE_ARCH=win64 asks for 64-bit Wine, which cannot run here: wine: could not load ntdll.so
no Wine runs at all|refused|fails|||1|no Wine can run on this machine: 32-bit: $refused; 64-bit: wine: could not load ntdll.so
an unknown choice|runs|runs|win32||1|WORMSWEEP_WINE_ARCH=win32: only win64 can be chosen"

while IFS='|' read -r what wine32 wine64 forced arch status reason; do
  expected="$arch|$reason|$status"
  actual=$(choose "$wine32" "$wine64" "$forced")
  if [[ "$actual" == "$expected" ]]; then
    echo "ok: $what"
  else
    fail "$what: expected [$expected], got [$actual]"
  fi
done <<<"$cases"

# ws_use_wine_arch (demo, bench): the arch a build's tests name is kept, else
# the machine's choice is exported; either way the build to run follows it.
use() {  # WS_WINE_ARCH WINE32: prints "ARCH|EXPORTED ARCH|PRESET|WHY"
  (
    export WS_WINE32_LOADER=$work/$2 WS_WINE64_LOADER=$work/runs
    unset WORMSWEEP_WINE_ARCH WS_WINE_ARCH
    [[ -n "$1" ]] && WS_WINE_ARCH=$1
    source "$wine_dir/wine_arch.sh"
    ws_use_wine_arch || echo "status $?"
    printf '%s|%s|%s|%s\n' "$WS_WINE_ARCH" "$(bash -c 'echo "${WS_WINE_ARCH:-}"')" \
      "${WS_WINE_PRESET:-}" "${WS_WINE_ARCH_WHY:-}"
  )
}
for expectation in \
    "win32|runs|win32||windows-x86|as WS_WINE_ARCH=win32 asks" \
    "win64|runs|win64||windows-x64|as WS_WINE_ARCH=win64 asks" \
    "|refused|win64|win64|windows-x64|this machine runs no 32-bit programs ($refused)" \
    "|runs|win32|win32|windows-x86|this machine runs 32-bit programs"; do
  IFS='|' read -r arch wine32 expected <<<"$expectation"
  actual=$(use "$arch" "$wine32")
  if [[ "$actual" == "$expected" ]]; then
    echo "ok: ws_use_wine_arch with WS_WINE_ARCH=[$arch], 32-bit loader $wine32"
  else
    fail "ws_use_wine_arch with WS_WINE_ARCH=[$arch], 32-bit loader $wine32: expected [$expected], got [$actual]"
  fi
done

# lib.sh: the command that runs a Windows program, and WINELOADER, per arch.
environment() {  # WS_WINE_ARCH: prints "WINEARCH|WS_WINE|WINELOADER"
  (
    export WS_WINE_ARCH=$1 WS_WINE64_LOADER=$work/runs WINELOADER=/left/over
    source "$wine_dir/lib.sh"
    ws_wine_environment
    printf '%s|%s|%s\n' "$WINEARCH" "$WS_WINE" "${WINELOADER-unset}"
  ) 2>&1
}
for expectation in "win32|win32|wine|unset" "win64|win64|$work/runs|$work/runs" \
    "win16|FAIL: WS_WINE_ARCH=win16: use win32 or win64"; do
  arch=${expectation%%|*}
  expected=${expectation#*|}
  actual=$(environment "$arch")
  if [[ "$actual" == "$expected" ]]; then
    echo "ok: lib.sh with WS_WINE_ARCH=$arch"
  else
    fail "lib.sh with WS_WINE_ARCH=$arch: expected [$expected], got [$actual]"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
