#!/usr/bin/env bash
# Installs what is missing, builds Stashbook twice (plain and with Address- and
# UndefinedBehaviorSanitizer), gives the record reader a short fuzzing run and
# runs every test of both builds, the real-desktop tests included (they start
# their own virtual X server).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh --test

for preset in default asan; do
    echo "== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

echo "== fuzz: record reader"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_reader
mkdir -p build/fuzz/corpus
build/fuzz/tests/store/fuzz_reader -max_total_time="${STASHBOOK_FUZZ_SECONDS:-20}" \
    -print_final_stats=0 build/fuzz/corpus 2>build/fuzz/fuzz.log ||
    { tail -n 40 build/fuzz/fuzz.log; exit 1; }
tail -n 1 build/fuzz/fuzz.log

echo "== tests: asan"
ctest --preset asan
echo "== tests: default"
ctest --preset default
echo "== packaging: install tree, desktop entry, metadata, .deb"
bash scripts/check_packaging.sh build/default
