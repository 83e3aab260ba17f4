# Which Wine runs the Windows tests on this machine. 32-bit Wine runs the
# product itself; but some kernels refuse every 32-bit Linux program ("Exec
# format error"), 32-bit Wine's loader included. There 64-bit Wine runs the
# 64-bit build of the same sources (preset windows-x64) instead.
#
# Sourced by scripts/test, scripts/demo, scripts/bench and lib.sh:
#
#   ws_choose_wine_arch   sets WS_CHOSEN_WINE_ARCH to win32 or win64, or to
#                         nothing when no Wine can run here, and
#                         WS_CHOSEN_WINE_REASON to why, in a few words
#   ws_use_wine_arch      for a script that runs one build: keeps the
#                         WS_WINE_ARCH that the tests of a build name, or
#                         exports the one chosen; sets WS_WINE_ARCH_WHY,
#                         WS_WINE_PRESET (the build that runs under it) and
#                         WS_WINE_BUILD_KIND (what that build is, in words)
#
# WORMSWEEP_WINE_ARCH=win64 chooses 64-bit Wine on any machine, so that that
# path can be tried where 32-bit programs run too. The loaders are
# WS_WINE32_LOADER and WS_WINE64_LOADER (Debian's paths unless set).

WS_WINE32_LOADER=${WS_WINE32_LOADER:-/usr/lib/wine/wine}
WS_WINE64_LOADER=${WS_WINE64_LOADER:-/usr/lib/wine/wine64}

# Runs `LOADER --version`; on failure prints the last line it or the shell
# said about it ("LOADER: cannot execute binary file: Exec format error").
ws__loader_fails() {  # LOADER
  local output status
  output=$("$1" --version 2>&1 </dev/null) && return 1
  status=$?
  output=${output%$'\n'}
  output=${output##*$'\n'}
  [[ "$output" == *"$1: "* ]] && output="$1: ${output#*"$1: "}"
  printf '%s\n' "${output:-$1 --version: status $status}"
}

ws_choose_wine_arch() {
  local wine32_error wine64_error
  WS_CHOSEN_WINE_ARCH=
  case "${WORMSWEEP_WINE_ARCH:-}" in
    '')
      if ! wine32_error=$(ws__loader_fails "$WS_WINE32_LOADER"); then
        WS_CHOSEN_WINE_ARCH=win32
        WS_CHOSEN_WINE_REASON="this machine runs 32-bit programs"
        return 0
      fi
      if ! wine64_error=$(ws__loader_fails "$WS_WINE64_LOADER"); then
        WS_CHOSEN_WINE_ARCH=win64
        WS_CHOSEN_WINE_REASON="this machine runs no 32-bit programs ($wine32_error)"
        return 0
      fi
      WS_CHOSEN_WINE_REASON="no Wine can run on this machine: 32-bit: $wine32_error; 64-bit: $wine64_error"
      ;;
    win64)
      if ! wine64_error=$(ws__loader_fails "$WS_WINE64_LOADER"); then
        WS_CHOSEN_WINE_ARCH=win64
        WS_CHOSEN_WINE_REASON="chosen by WORMSWEEP_WINE_ARCH=win64"
        return 0
      fi
      WS_CHOSEN_WINE_REASON="WORMSWEEP_WINE_ARCH=win64 asks for 64-bit Wine, which cannot run here: $wine64_error"
      ;;
    *)
      WS_CHOSEN_WINE_REASON="WORMSWEEP_WINE_ARCH=$WORMSWEEP_WINE_ARCH: only win64 can be chosen"
      ;;
  esac
  return 1
}

ws_use_wine_arch() {
  if [[ -n "${WS_WINE_ARCH:-}" ]]; then
    WS_WINE_ARCH_WHY="as WS_WINE_ARCH=$WS_WINE_ARCH asks"
  else
    ws_choose_wine_arch || return 1
    export WS_WINE_ARCH=$WS_CHOSEN_WINE_ARCH
    WS_WINE_ARCH_WHY=$WS_CHOSEN_WINE_REASON
  fi
  case "$WS_WINE_ARCH" in
    win32)
      WS_WINE_PRESET=windows-x86
      WS_WINE_BUILD_KIND="the product, a 32-bit program"
      ;;
    *)
      WS_WINE_PRESET=windows-x64
      WS_WINE_BUILD_KIND="a 64-bit build of the product's sources, for testing"
      ;;
  esac
}
