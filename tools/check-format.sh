#!/usr/bin/env bash
# Checks that the C++ files of src, tests, tools, fuzz and bench are formatted
# as .clang-format says (by clang-format 14, Debian 12's), naming those that
# drift; `clang-format -i FILE` formats one. Exits 77, which CTest counts as
# skipped, when clang-format is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "clang-format is not installed: the format check is skipped (tools/setup.sh installs it)"
  exit 77
fi

files=()
while IFS= read -r file; do
  files+=("$file")
done < <(find src tests tools fuzz bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

if ! report=$(clang-format --dry-run -Werror "${files[@]}" 2>&1); then
  echo "$report"
  echo "Not formatted as .clang-format says:"
  echo "$report" | sed -nE 's/^([^: ]+):[0-9]+:[0-9]+: error: .*/  \1/p' | sort -u
  exit 1
fi
echo "${#files[@]} files formatted as .clang-format says"
