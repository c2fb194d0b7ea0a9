#!/usr/bin/env bash
# Builds Tarvolin and runs the batch on a bundled example in console mode.
# Usage: scripts/run.sh [example-name]   (default: small; see examples/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

example=${1:-small}
[ -d "examples/$example" ] || { echo "No such example: examples/$example" >&2; exit 2; }

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tarvolin

# Run in a scratch copy so the example stays clean.
work=build/run/$example
rm -rf "$work"
mkdir -p "$work"
cp examples/"$example"/* "$work"/
status=0
(cd "$work" && ../../tarvolin --console --yes) || status=$?

for f in "$work"/*Report*.txt; do
  [ -f "$f" ] || continue
  echo
  echo "==== $f"
  tr -d '\r' < "$f"
done
exit $status
