#!/bin/sh
# Writes a 96 MiB capsule (24 carried assets of about 3 MiB, valid signature) and compares
# the app's read + parse + verify + render of it with the unavoidable work: decoding the same
# Base64 texts and hashing the bytes (base64 -d | sha256sum). Best of three runs each.
# Usage: bench/capsule/run.sh [BUILD_FOLDER]   (default: build-capsule next to the sources)
set -eu
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$source_dir/build-capsule}
bench="$build_dir/bench/capsule/zevra_capsule_bench"
cmake --build "$build_dir" --target zevra_capsule_bench -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 3 MiB less 6 KiB per asset keeps the whole document under the 96 MiB opening limit.
/usr/bin/python3 - "$work/recipe.json" <<'PY'
import json, sys
assets, wall = [], []
for i in range(24):
    url = "https://cdn.example/media/%02d.png" % i
    assets.append({"path": "media/%02d.png" % i, "source_url": url, "mime": "image/png",
                   "random_bytes": 3 * 1024 * 1024 - 6144})
    wall.append({"title": "item %d" % i, "caption": "carried", "media_url": url})
recipe = {"world": {"display": "Bench world", "panel_wallpaper": assets[0]["source_url"]},
          "content": {"wall": wall}, "assets": assets,
          "manifest": {"owner": "bench", "word": "bench"}}
json.dump(recipe, open(sys.argv[1], "w"))
PY
/usr/bin/python3 "$source_dir/tests/capsule/make_capsule.py" "$work/bench.zevr" \
    --assets-base64 "$work/assets.b64" < "$work/recipe.json"
document_bytes=$(stat -c %s "$work/bench.zevr")

now() { date +%s.%N; }
best_app=""
best_base=""
peak=0
for run in 1 2 3; do
    out=$("$bench" "$work/bench.zevr")
    app=$(echo "$out" | awk '/^seconds/ {print $2}')
    rss=$(echo "$out" | awk '/^peak_rss_kib/ {print $2}')
    start=$(now)
    base64 -d "$work/assets.b64" | sha256sum >/dev/null
    end=$(now)
    base=$(echo "$end - $start" | bc -l)
    echo "run $run: zevra ${app} s, baseline $(printf %.3f "$base") s, peak rss ${rss} KiB"
    best_app=$(echo "$app" "$best_app" | awk '{ if ($2 == "" || $1 < $2) print $1; else print $2 }')
    best_base=$(echo "$base" "$best_base" | awk '{ if ($2 == "" || $1 < $2) print $1; else print $2 }')
    [ "$rss" -gt "$peak" ] && peak=$rss
done
echo "document_bytes $document_bytes"
printf 'zevra_seconds %.3f\nbaseline_seconds %.3f\nratio %.2f (goal <= 3)\n' \
    "$best_app" "$best_base" "$(echo "$best_app / $best_base" | bc -l)"
printf 'peak_rss_kib %d\nrss_to_document %.2f (goal <= 4)\n' \
    "$peak" "$(echo "$peak * 1024 / $document_bytes" | bc -l)"
