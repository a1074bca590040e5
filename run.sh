#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts Mindel.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
mindel_install_deps build

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DMINDEL_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"

program=build/Mindel.app/Contents/MacOS/Mindel
if [ ! -x "$program" ]; then
  echo "Mindel's libraries are built; there is no program to start yet."
  exit 0
fi
exec "$program" "$@"
