#!/usr/bin/env bash
# Mutation testing of the given folders: plants one small fault at a time, rebuilds, runs the
# folder's tests and says which faults the tests let through. Options: tools/mutate.py --help.
#   bash scripts/mutate.sh --sample 150 gfx/core runtime
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 tools/mutate.py "$@"
