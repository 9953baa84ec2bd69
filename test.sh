#!/usr/bin/env bash
# Installs what is missing, builds the debug preset (sanitizers on) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
qm_install_packages
cmake --preset debug >/dev/null
cmake --build --preset debug -j "$(nproc)"
ctest --preset debug -j "$(nproc)" "$@"
