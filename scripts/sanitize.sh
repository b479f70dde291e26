#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (the "sanitize"
# preset, in build-sanitize/) and runs the unit and headless tests under them; the
# real-window test needs a display and runs in the plain build only.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize "$@"
