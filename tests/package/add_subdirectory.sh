#!/usr/bin/env bash
# Builds a small parent project that takes kvPolygon in with add_subdirectory, and runs
# its consumer.
#   add_subdirectory.sh <kvPolygon source folder> <work folder> [cmake -D options for the compilers]
set -euo pipefail
source=$1 work=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
unset LD_LIBRARY_PATH
# No optimisation: this checks that the tree builds as a part, not how fast it runs.
cmake -S "$here/parent" -B "$work" -DKVPOLYGON_SOURCE_DIR="$source" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
cmake --build "$work" -j "${JOBS:-2}" --target consumer
"$work/consumer"
