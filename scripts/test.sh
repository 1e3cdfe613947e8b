#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, the
# desktop tests on a private Xvfb display. Usage: scripts/test.sh [PRESET]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-ci}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j 2
scripts/check-format.sh
QTWEBENGINE_DISABLE_SANDBOX=1 scripts/with-desktop.sh \
  ctest --preset "$preset" -j 2 --timeout 600
