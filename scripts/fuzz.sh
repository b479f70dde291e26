#!/usr/bin/env bash
# Builds the picture fuzzer with clang and runs it for SECONDS (default 60) on the
# project's seed corpus plus what earlier runs found. A finding stops the run, leaves
# the input as build-fuzz/crash-* (or leak-*, timeout-*) and fails.
#
#   scripts/fuzz.sh [SECONDS]
#   build-fuzz/tests/fuzz/picture_fuzzer build-fuzz/crash-...   # replays one input
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target picture_fuzzer anyturn_make_corpus
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
build-fuzz/tests/fuzz/anyturn_make_corpus build-fuzz/seeds
mkdir -p build-fuzz/corpus
cd build-fuzz
# The program's reports of refused pictures go to standard error: closed (2) to keep
# the log readable; the fuzzer's and the sanitizers' own reports still show. A few
# hundred bytes can describe a picture of a hundred megapixels, legitimately slow to
# decode under the sanitizers: only a unit far slower than that counts as a hang.
tests/fuzz/picture_fuzzer -max_total_time="$seconds" -timeout=180 -rss_limit_mb=4096 \
  -max_len=65536 -close_fd_mask=2 -print_final_stats=1 corpus seeds
