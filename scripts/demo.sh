#!/usr/bin/env bash
# The main job: builds the program and opens its main window on a fresh demo
# run directory: press "获取数据" and watch the table fill from the simulated
# shopping-guide sites and complete from the simulated affiliate platform.
#   scripts/demo.sh            fresh run directory, no data file for today
#   scripts/demo.sh --sample   today's data file with a small sample of products
#                              (the window loads it; "获取数据" is not needed)
# The simulated affiliate platform runs beside it, so the window's query
# server (port 19730) answers item ids; try
#   build/ci/src/tovakin-cli query 39005872107
# On a machine without a display it runs on a private Xvfb, presses "获取数据"
# itself and saves a screenshot of the completed table (build/demo/screenshot.png).
set -euo pipefail
cd "$(dirname "$0")/.."
sample=0
if [ "${1:-}" = "--sample" ]; then
  sample=1
fi
preset=ci

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2 --target tovakin tovakin-cli

bin="build/$preset/src"
run_dir="build/demo/run"
rm -rf "$run_dir"
mkdir -p "$run_dir"

if [ "$sample" = 1 ]; then
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
else
  echo "demo run directory: $run_dir (no data file for today: press 获取数据 on tab 获取)"
fi

# The simulated world plays the affiliate platform on loopback; its
# configuration points the window at it. Stopped by its process id at the end.
sim_config="build/demo/sim.ini"
: >"$sim_config"
"$bin/tovakin-cli" sim --cookie-file "$PWD/build/demo/sim-cookies.txt" >"$sim_config" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  grep -q '^\[session\]' "$sim_config" && break
  sleep 0.1
done
if ! grep -q '^\[session\]' "$sim_config"; then
  echo "the simulated world did not start" >&2
  exit 1
fi
echo "simulated affiliate platform: $(head -n 1 "$sim_config" | tr -d '\r' | sed 's/^; //')"
echo "the window answers queries on port 19730: $bin/tovakin-cli query 39005872107"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  "$bin/tovakin" --run-dir "$run_dir" --config "$sim_config"
  exit
fi
echo "no display: running on a private Xvfb and saving a screenshot"
click=()
if [ "$sample" = 0 ]; then
  echo "pressing 获取数据; the screenshot is taken once the table is complete"
  click=(--click 按钮_启动获取数据)
fi
scripts/with-desktop.sh "$bin/tovakin" --run-dir "$run_dir" --config "$sim_config" --page "采集数据" \
  "${click[@]}" --screenshot build/demo/screenshot.png &
window_pid=$!
# Ask the window's query server while it is up.
for _ in $(seq 1 50); do
  if reply=$("$bin/tovakin-cli" query --timeout 5 39005872107 2>/dev/null); then
    echo "query 39005872107 -> $reply"
    break
  fi
  sleep 0.2
done
wait "$window_pid"
