#!/usr/bin/env bash
# Installs what is missing, builds the release preset (the program and the
# packed demo game beside it) and starts the program in its own folder, where
# it finds its pack "resource.fpk".
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
qm_install_packages
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
cd build/release/Source/Qasimar
exec ./qasimar "$@"
