#!/usr/bin/env bash
# Fails when a product folder includes a folder that layers.txt does not allow it to use.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed
while IFS= read -r line; do
  case "$line" in '#'* | '') continue ;; esac
  folder="${line%%:*}"
  allowed[$folder]=" $folder ${line#*:} "
done < layers.txt

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file number include; do
    used=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$include")
    [ -d "$used" ] || continue
    case "${allowed[$folder]}" in
      *" $used "*) ;;
      *) echo "$file:$number: $folder/ may not include $used/ (see layers.txt)"; status=1 ;;
    esac
  done < <(git ls-files "$folder" | grep -E '\.(cpp|h)$' | xargs -r grep -nE '^#include "[a-z_]+/' || true)
done
# Every product folder must be written down, so a new one cannot slip past the rule.
for folder in $(git ls-files | grep -E '\.(cpp|h)$' | cut -d/ -f1 | sort -u); do
  case "$folder" in tests | fuzz | bench) continue ;; esac
  [ -n "${allowed[$folder]:-}" ] || { echo "$folder/ is not in layers.txt"; status=1; }
done
exit "$status"
