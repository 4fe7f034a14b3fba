#!/usr/bin/env bash
# Sets up (packages), builds and starts Flingo.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
exec ./build/flingo
