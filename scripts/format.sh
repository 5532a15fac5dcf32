#!/usr/bin/env bash
# Formats the C++ sources with the project's .clang-format, or with --check
# lists the files that drift from it and fails. Braces on every if/for/while
# come from clang-format 16's InsertBraces, which the .clang-format cannot name
# while older clang-format versions read it too.
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$OV_ROOT"

tool=$(command -v clang-format-16 || true)
if [ -z "$tool" ]; then
  echo "format.sh: clang-format-16 is missing (Debian package clang-format-16)." >&2
  exit 2
fi

style=$(mktemp)
trap 'rm -f "$style"' EXIT
{ grep -v '^\.\.\.$' .clang-format; echo "InsertBraces: true"; } >"$style"

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  drift=$(printf '%s\0' "${files[@]}" |
    xargs -0 -n 50 "$tool" --style="file:$style" --dry-run 2>&1 |
    grep -oE '^[^:]+\.(cpp|h)' | sort -u || true)
  if [ -n "$drift" ]; then
    echo "These files drift from .clang-format (run scripts/format.sh):"
    echo "$drift"
    exit 1
  fi
  echo "format.sh: ${#files[@]} files follow .clang-format."
else
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$tool" --style="file:$style" -i
fi
