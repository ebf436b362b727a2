#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on FILE (or on a bundled sample).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DTELDVIEW_GUI=ON -DTELDVIEW_TESTS=OFF -DTELDVIEW_BENCH=OFF >/dev/null
cmake --build build --target teldviewgl

file="${1:-examples/scene.scn}"
if [[ $# -gt 1 ]]; then
  echo "usage: ./run.sh [FILE]" >&2
  exit 2
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display available: showing the file's information instead of the window."
  exec build/teldviewgl --info "$file"
fi
exec build/teldviewgl "$file"
