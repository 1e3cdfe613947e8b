#!/usr/bin/env bash
# The main job: builds the program and opens its main window on a demo run
# directory that holds today's data file with a small sample of products.
# On a machine without a display it runs on a private Xvfb and saves a
# screenshot instead (build/demo/screenshot.png).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=ci

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2 --target tovakin tovakin-cli

bin="build/$preset/src"
run_dir="build/demo/run"
rm -rf "$run_dir"
mkdir -p "$run_dir"

# Today's data file, written the way the program's backup writes it.
day_file="$run_dir/$("$bin/tovakin-cli" date-text 1).txt"
count=0
while IFS=$'\t' read -r id price picture commission title link; do
  case "$id" in ''|'#'*) continue ;; esac
  count=$((count + 1))
  entry="$id-分割线-$price-分割线-$picture-分割线-$commission-分割线-$title-分割线-$link"
  "$bin/tovakin-cli" profile set "$day_file" "数量" "数量" "$count"
  "$bin/tovakin-cli" profile set "$day_file" "详细信息" "$count" "$entry"
done < demo/sample-products.tsv
echo "demo run directory: $run_dir ($count products in $(basename "$day_file"))"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$bin/tovakin" --run-dir "$run_dir"
fi
echo "no display: running on a private Xvfb and saving a screenshot"
scripts/with-desktop.sh "$bin/tovakin" --run-dir "$run_dir" --page "采集数据" --screenshot build/demo/screenshot.png
