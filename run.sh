#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the desktop application.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DJOVSEC_BUILD_TESTS=OFF
cmake --build build -j2
exec build/desktop/SecDesk "$@"
