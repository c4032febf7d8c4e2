#!/usr/bin/env bash
# The full test suite from a fresh machine: installs what is missing, builds
# with warnings as errors, runs every test, then builds the libFuzzer targets
# with clang and runs each for a bounded number of inputs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
