#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted by .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' 2>/dev/null ||
                     find src tests bench sim tools -name '*.cpp' -o -name '*.h')
[ ${#files[@]} -eq 0 ] && exit 0
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/tovakin-format.log; then
  echo "not formatted (run: clang-format -i FILE):" >&2
  grep -oE '^[^:]+\.(cpp|h):' /tmp/tovakin-format.log | tr -d ':' | sort -u | sed 's/^/  /' >&2
  exit 1
fi
