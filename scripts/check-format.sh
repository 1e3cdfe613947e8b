#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted by .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
if [ -z "$files" ]; then
  exit 0
fi
# shellcheck disable=SC2086
if ! clang-format --dry-run -Werror $files 2>/tmp/tovakin-format.log; then
  echo "not formatted (run: clang-format -i FILE):" >&2
  grep -o '^[^:]*\.\(cpp\|h\)' /tmp/tovakin-format.log | sort -u >&2
  exit 1
fi
