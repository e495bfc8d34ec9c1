#!/usr/bin/env bash
# Builds the plug-in. The host console and the demo target that run it come with later changes;
# until then this only builds and checks what the plug-in exports.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)"
module=build/release/gpuprofiler/plugin/libgpuprofiler_subtool.so
echo "Built $module, exporting:"
nm -D --defined-only "$module"
echo "The host console (corvid) and the demo target are not part of the project yet."
