#!/usr/bin/env bash
# Builds the Debian packages flingo and flingo-scoreserver into build/packages/.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
cmake --build build --target package
ls -1 "$PWD"/build/packages/*.deb
