#!/usr/bin/env bash
# Checks that wormsweep.exe can still start on the oldest Windows it is for:
# a 32-bit console program for subsystem 4.0, with 386 instructions only,
# that imports only from KERNEL32 and ADVAPI32 (no runtime DLL: msvcrt.dll is
# not on every Windows 95), only functions of the allowlist, and stays within its size budget. It must also be marked
# terminal-server aware, or Terminal Services in application mode give it a
# private per-user folder for the Windows directory. With --twin, the same program
# under its second name (wormsweep.com, which starts where a worm has taken
# over how .exe files are opened) must hold exactly the same bytes.
#
# check_exe.sh --objdump OBJDUMP --allowed LIST --max-bytes N [--twin FILE] EXE
# Prints every problem found and exits 1 if there is any, 2 on bad usage.
set -u

usage() {
  echo "usage: $0 --objdump OBJDUMP --allowed LIST --max-bytes N" \
    "[--twin FILE] EXE" >&2
  exit 2
}

objdump=""
allowed=""
max_bytes=""
twin=""
exe=""
while [ $# -gt 0 ]; do
  case "$1" in
    --objdump) objdump="${2-}"; shift 2 || usage ;;
    --allowed) allowed="${2-}"; shift 2 || usage ;;
    --max-bytes) max_bytes="${2-}"; shift 2 || usage ;;
    --twin) twin="${2-}"; shift 2 || usage; [ -n "$twin" ] || usage ;;
    -*) usage ;;
    *) [ -z "$exe" ] || usage; exe="$1"; shift ;;
  esac
done
[ -n "$objdump" ] && [ -n "$allowed" ] && [ -n "$exe" ] || usage
case "$max_bytes" in ''|*[!0-9]*) usage ;; esac
[ -f "$exe" ] || { echo "$exe: no such file" >&2; exit 2; }
[ -f "$allowed" ] || { echo "$allowed: no such file" >&2; exit 2; }

problems=0
problem() {
  echo "$exe: $*"
  problems=$((problems + 1))
}

if [ -n "$twin" ]; then
  if [ ! -f "$twin" ]; then
    problem "its twin $twin is missing"
  elif ! cmp -s "$exe" "$twin"; then
    problem "its twin $twin differs from it"
  fi
fi

size=$(stat -c %s "$exe")
if [ "$size" -gt "$max_bytes" ]; then
  problem "$size bytes, over the budget of $max_bytes"
fi

if ! headers=$("$objdump" -p "$exe" 2>&1); then
  echo "$exe: $objdump cannot read it: $headers" >&2
  exit 1
fi

header_field() {
  awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"
}

[ "$(header_field Magic)" = "010b" ] || problem "not a 32-bit (PE32) program"
major=$(header_field MajorSubsystemVersion)
minor=$(header_field MinorSubsystemVersion)
if [ "$major.$minor" != "4.0" ]; then
  problem "subsystem version $major.$minor, not 4.0"
fi
subsystem=$(header_field Subsystem)
if [ "$subsystem" != "00000003" ]; then
  problem "subsystem $subsystem, not 00000003 (console)"
fi

# IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE.
characteristics=$(header_field DllCharacteristics)
case "$characteristics" in
  ''|*[!0-9a-fA-F]*) problem "no DllCharacteristics in its header" ;;
  *) (( 16#$characteristics & 16#8000 )) ||
       problem "DllCharacteristics $characteristics: not terminal-server aware" ;;
esac

# Windows 95 runs on a 386; the Pentium Pro's cmov and fcomi, the 486's
# bswap, cmpxchg and xadd, and MMX or SSE registers would end the program with
# an illegal instruction on older processors.
if ! code=$("$objdump" -d --no-show-raw-insn "$exe" 2>&1); then
  echo "$exe: $objdump cannot disassemble it: $code" >&2
  exit 1
fi
newer=$(awk -F'\t' 'NF >= 2 { split($2, word, " "); print word[1] }' <<<"$code" |
  grep -E '^(cmov|fcmov|f[u]?comi|bswap|cmpxchg|xadd|rdtsc|cpuid|sysenter|sysexit|ud2)' |
  sort -u | tr '\n' ' ')
if grep -qE '%(mm|xmm)[0-9]' <<<"$code"; then
  newer="${newer}MMX/SSE registers "
fi
if [ -n "$newer" ]; then
  problem "instructions newer than the 386: ${newer% }"
fi

# One "DLL function" line per import; an import by ordinal has no name and
# cannot be checked against the list, so it counts as "#ordinal".
imports=$(awk '
  /^\tDLL Name: / { dll = $3; sub(/\.[dD][lL][lL]$/, "", dll); next }
  dll != "" && /^\tvma:/ { next }
  dll != "" && /^[ \t]*$/ { dll = ""; next }
  dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print toupper(dll), $3; next }
  dll != "" { print toupper(dll), "#ordinal"; next }
' <<<"$headers")

if [ -z "$imports" ]; then
  problem "no imports found: the import table could not be read"
fi

allowed_pairs=$(awk '
  /^[ \t]*(#|$)/ { next }
  NF != 2 { print "bad line " NR ": " $0 > "/dev/stderr"; exit 1 }
  { print toupper($1), $2 }
' "$allowed") || exit 2

while read -r dll function; do
  [ -n "$dll" ] || continue
  case "$dll" in
    KERNEL32|ADVAPI32) ;;
    *) problem "imports $function from $dll.dll, which is not KERNEL32" \
         "or ADVAPI32"; continue ;;
  esac
  if ! grep -qxF "$dll $function" <<<"$allowed_pairs"; then
    problem "imports $dll.dll $function, which is not in $allowed"
  fi
done <<<"$imports"

if [ "$problems" -gt 0 ]; then
  echo "$problems problem(s)"
  exit 1
fi
echo "$exe: $size bytes (budget $max_bytes), subsystem 4.0 console," \
  "terminal-server aware, $(wc -l <<<"$imports") imports, all allowed"
