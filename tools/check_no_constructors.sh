#!/usr/bin/env bash
# Fails when any of the given object files has static constructors or
# destructors: the product's own process start does not run them.
#
# check_no_constructors.sh OBJDUMP OBJECT...
set -u
[ $# -ge 2 ] || { echo "usage: $0 OBJDUMP OBJECT..." >&2; exit 2; }
objdump=$1
shift
found=0
for object in "$@"; do
  [[ $object == *.rc.* || $object == *.res ]] && continue
  if ! sections=$("$objdump" -h "$object" 2>&1); then
    echo "$object: $objdump cannot read it: $sections" >&2
    exit 2
  fi
  if grep -qE '[[:space:]]\.(ctors|dtors|init_array|fini_array)' <<<"$sections"; then
    echo "$object: has static constructors or destructors"
    found=1
  fi
done
[ "$found" -eq 0 ] && echo "no static constructors in $# objects"
exit "$found"
