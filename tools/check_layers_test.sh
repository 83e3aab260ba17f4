#!/usr/bin/env bash
# The layer check must pass a tree that keeps the order and catch one that
# does not: an include from a folder above, and a folder outside the order.
#
# check_layers_test.sh CHECK_LAYERS
set -u
[ $# -eq 1 ] || { echo "usage: $0 CHECK_LAYERS" >&2; exit 2; }
check=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

tree() {  # NAME: a small tree that keeps the order
  local root=$work/$1
  mkdir -p "$root"/{run,cleaners,report,primitives,platform}
  printf '#include "run/cleaning_run.h"\n' >"$root/main.cpp"
  printf '#include "cleaners/cleaners.h"\n#include "platform/console.h"\n' \
    >"$root/run/cleaning_run.cpp"
  printf '#include "report/report.h"\n#include <string.h>\n' \
    >"$root/cleaners/worm.cpp"
  printf '#include "report/texts.h"\n#include "primitives/a.h"\n' \
    >"$root/report/report.cpp"
  printf '#include "primitives/b.h"\n#include "platform/windows_api.h"\n' \
    >"$root/primitives/a.cpp"
  printf '#include "sim/sim_windows.h"\n' >"$root/platform/windows_api.h"
  echo "$root"
}

good=$(tree good)
bash "$check" "$good" >"$work/out" 2>&1 || fail "a tree in order: $(cat "$work/out")"

up=$(tree up)
printf '#include "platform/windows_api.h"\n  #  include "report/run_state.h"\n' \
  >"$up/primitives/deferred.h"
if bash "$check" "$up" >"$work/out" 2>&1; then
  fail "primitives/ including report/ passed"
elif ! grep -q 'primitives/deferred.h:2: primitives/ includes report/run_state.h' "$work/out"; then
  fail "the include from above is not named: $(cat "$work/out")"
fi

sideways=$(tree sideways)
mkdir -p "$sideways/extra"
printf '\n' >"$sideways/extra/helper.cpp"
bash "$check" "$sideways" >"$work/out" 2>&1 &&
  fail "a folder outside the order passed"

bash "$check" "$work/absent" >/dev/null 2>&1
[[ $? -eq 2 ]] || fail "a missing directory is not a usage error"

[[ $failures -eq 0 ]] && echo "layer check: all cases pass"
exit "$failures"
