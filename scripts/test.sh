#!/usr/bin/env bash
# Builds everything and runs every test twice: in the release build (g++) and in the
# AddressSanitizer + UndefinedBehaviorSanitizer build (clang, which also builds the fuzz targets
# and replays their seed corpora). Installs missing packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
echo "== all tests passed"
