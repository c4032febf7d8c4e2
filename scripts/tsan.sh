#!/usr/bin/env bash
# The threaded parts (memory, MIDI layer, keyboard link, synchronisation)
# under ThreadSanitizer. Any report fails the run: the sanitizer's exit code
# replaces the test program's. The suppressions cover only foreign code
# (libjack's shared buffers, Qt's thread bookkeeping); see tests/midi/tsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset tsan
cmake --build --preset tsan --target memory_tests midi_core_tests midi_jack_tests protocol_tests test_keyboard_sync

export TSAN_OPTIONS="suppressions=$PWD/tests/midi/tsan.supp second_deadlock_stack=1"
export QT_QPA_PLATFORM=offscreen
state=$(mktemp -u "${TMPDIR:-/tmp}/zeno-tsan-jack-XXXXXX")
bash scripts/jack-dummy.sh start "$state"
trap 'bash scripts/jack-dummy.sh stop "$state"' EXIT

failed=0
passed=0
for test in memory/memory_tests midi/midi_core_tests midi/midi_jack_tests protocol/protocol_tests protocol/sync/test_keyboard_sync; do
  echo "== $test"
  if "build/tsan/tests/$test" --gtest_brief=1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done
echo "tsan: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
