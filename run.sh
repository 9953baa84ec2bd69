#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs the main program.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
qm_install_packages
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
exec build/release/Source/Qasimar/qasimar "$@"
