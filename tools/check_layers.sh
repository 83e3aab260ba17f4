#!/usr/bin/env bash
# Fails when a folder of the source tree includes a header from a folder above
# it in the order run -> cleaners -> report -> primitives -> platform: each
# folder may include from itself and from the folders after it, never from
# one before it. Files at the top of the tree (main.cpp) may include any.
#
# check_layers.sh SOURCE_DIR
set -u
[ $# -eq 1 ] || { echo "usage: $0 SOURCE_DIR" >&2; exit 2; }
source_dir=$1
[ -d "$source_dir" ] || { echo "$0: no directory $source_dir" >&2; exit 2; }

layers=(run cleaners report primitives platform)

rank() {  # FOLDER -> its place in the order, or nothing for other folders
  local i
  for i in "${!layers[@]}"; do
    [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }
  done
}

violations=0
checked=0
while IFS= read -r -d '' file; do
  relative=${file#"$source_dir"/}
  folder=${relative%%/*}
  [[ $folder == "$relative" ]] && continue
  own=$(rank "$folder")
  if [[ -z $own ]]; then
    echo "$relative: folder $folder/ is not in the order ${layers[*]}"
    violations=$((violations + 1))
    continue
  fi
  checked=$((checked + 1))
  while IFS= read -r line; do
    number=${line%%:*}
    included=${line#*\"}
    included=${included%%\"*}
    target=$(rank "${included%%/*}")
    [[ -n $target && $target -lt $own ]] || continue
    echo "$relative:$number: $folder/ includes $included from above it"
    violations=$((violations + 1))
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find "$source_dir" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

if [[ $violations -ne 0 ]]; then
  echo "$violations include(s) against the order ${layers[*]}"
  exit 1
fi
echo "$checked files keep the order ${layers[*]}"
