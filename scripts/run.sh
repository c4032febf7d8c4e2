#!/usr/bin/env bash
# The main job on this machine: a ZenoA/ZenoB keyboard is played by the
# simulator on JACK (holding the factory preset bank), zeno-remote backs its
# templates up into a bank file and shows what it got.
#
#   bash scripts/run.sh [BACKUP-FILE]     (default build/run/keyboard-backup.X5R)
#
# A JACK server with the dummy driver is started only when none runs; what
# this script starts, it stops again, whatever happens.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/run
backup=${1:-$build/keyboard-backup.X5R}
keyboard="Velmor Zeno Series (simulated)"
export JACK_NO_START_SERVER=1

bash scripts/setup.sh
echo "run: building the programs in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENO_BUILD_TESTS=OFF -DZENO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build"

work=$(mktemp -d "${TMPDIR:-/tmp}/zeno-run-XXXXXX")
jack_started=""
sim_pid=""
cleanup() {
  local status=$?
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  if [ -n "$jack_started" ]; then
    bash scripts/jack-dummy.sh stop "$work/jack.state" | sed 's/^/run: /' || true
  fi
  if [ $status -ne 0 ] && [ -f "$work/simulator.log" ]; then
    echo "run: the simulator's last messages:" >&2
    tail -n 20 "$work/simulator.log" >&2 || true
  fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The same start/stop the tests use: a server is started only when none
# answers, and only the one started here is stopped again.
bash scripts/jack-dummy.sh start "$work/jack.state" | sed 's/^/run: /'
jack_started=1

preset=$root/resources/BankPreset1.X5R
load=()
[ -f "$preset" ] && load=(--load "$preset")
"$build/sim/zeno-keyboard-sim" --backend jack --name "$keyboard" "${load[@]}" \
  --log "$work/simulator.log" 2>"$work/simulator.err" &
sim_pid=$!
# The keyboard is ready once the editor's side lists it.
remote=$build/remote/zeno-remote
ready=""
for _ in $(seq 1 100); do
  if "$remote" ports --backend jack 2>/dev/null | cut -f2 | grep -qxF "$keyboard"; then ready=1; break; fi
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$ready" ]; then
  echo "run: the simulator did not start:" >&2
  cat "$work/simulator.err" >&2
  exit 1
fi
sed 's/^/run: /' "$work/simulator.err"
echo "run: keyboards on JACK:"
"$remote" ports --backend jack | sed 's/^/run:   /'

mkdir -p "$(dirname "$backup")"
echo "run: backing up \"$keyboard\" to $backup"
"$remote" backup --backend jack --port "$keyboard" "$backup"
echo
"$remote" show "$backup"
