#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from there: their
# help, and the console starting offscreen and loading the profiler from its installed plug-in
# folder. Run paths must point into the prefix, never back into the build tree.
#   install_layout.sh <build dir>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/corvid bin/gpucap bin/gpuprofiler-demo-target lib/gpuprofiler/libbedrock.so \
            lib/gpuprofiler/plugins/libgpuprofiler_subtool.so; do
  [ -f "$prefix/$file" ] || { echo "missing from the install: $file"; exit 1; }
  if readelf -d "$prefix/$file" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
    echo "$file looks for libraries in the build tree"; exit 1
  fi
done

"$prefix/bin/corvid" --help | grep -q -- "--plugin-dir" || { echo "corvid --help failed"; exit 1; }
"$prefix/bin/gpucap" --help | grep -q "gpucap <command>" || { echo "gpucap --help failed"; exit 1; }
"$prefix/bin/gpuprofiler-demo-target" --help | grep -q -- "--slow-pass" || { echo "demo target --help failed"; exit 1; }
log=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/corvid" --run-for 200 2>&1)
grep -qF "corvid: Loaded the GPU profiler from $prefix/lib/gpuprofiler/plugins/libgpuprofiler_subtool.so" <<<"$log" || {
  echo "the installed console did not load its plug-in:"; echo "$log"; exit 1; }
echo "installed and ran from $prefix"
