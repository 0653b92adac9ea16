#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a folder it may not use
# (cmake/layers.txt says which folder may use which). Prints every such
# include with the file and line, and what that folder may use instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
declare -A allowed
while IFS= read -r line; do
  case "$line" in
    \#*|"") continue ;;
  esac
  folder=${line%%:*}
  allowed[$folder]="$folder${line#*:}"
done < cmake/layers.txt

bad=0
for dir in src/*/; do
  folder=$(basename "$dir")
  if [ -z "${allowed[$folder]+x}" ]; then
    echo "layers: src/$folder/ is not in cmake/layers.txt"
    bad=1
    continue
  fi
  # Quoted includes that name a folder: #include "wheel/wheel_link.h".
  while IFS=: read -r file lineno used; do
    if [[ " ${allowed[$folder]} " != *" $used "* ]]; then
      echo "layers: $file:$lineno includes $used/, but $folder/ may only use:${allowed[$folder]#$folder}"
      bad=1
    fi
  done < <(grep -HnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' "$dir"* 2>/dev/null |
           sed -E 's/^([^:]+):([0-9]+):.*"([a-z_]+)\/$/\1:\2:\3/')
done
if [ "$bad" -ne 0 ]; then
  echo "layers: includes against the direction of cmake/layers.txt (see above)"
  exit 1
fi
echo "layers: every include under src/ follows cmake/layers.txt"
