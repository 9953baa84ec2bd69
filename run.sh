#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs the main program.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
qm_install_packages
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
if [ -x build/release/Source/Qasimar/qasimar ]; then
    exec build/release/Source/Qasimar/qasimar "$@"
else
    echo "Built. There is no runnable game program yet."
fi
