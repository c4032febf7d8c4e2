#!/usr/bin/env bash
# Starts or stops a JACK server with the dummy driver for tests.
#
#   jack-dummy.sh start <state-file>   start one unless a server already answers
#   jack-dummy.sh stop  <state-file>   stop the server that `start` started
#
# `start` records the server it started in the state file; `stop` ends only
# that one, so a server the user runs is never touched. Without jackd,
# `start` says so and succeeds: the tests that need a server then skip.
set -u
cmd=${1:-}
state=${2:-}
if [ -z "$cmd" ] || [ -z "$state" ]; then
  echo "usage: $0 start|stop <state-file>" >&2
  exit 2
fi
export JACK_NO_START_SERVER=1

answers() {
  command -v jack_lsp >/dev/null 2>&1 && timeout 5 jack_lsp >/dev/null 2>&1
}

case "$cmd" in
start)
  rm -f "$state"
  if answers; then
    echo "jack-dummy: a JACK server is already running; using it"
    exit 0
  fi
  if ! command -v jackd >/dev/null 2>&1; then
    echo "jack-dummy: jackd is not installed; tests that need JACK will skip"
    exit 0
  fi
  # JACK keeps a registry of servers in shared memory that only 8 servers
  # fit in, and a server that was killed never frees its slot. With no jackd
  # process left, nothing uses that state, so clear it rather than fail with
  # "Too many servers already active".
  # (Zombies do not count: a killed server that nobody reaped holds nothing.)
  live_servers=$(ps -eo stat=,comm= | awk '($2 == "jackd" || $2 == "jackdbus") && $1 !~ /^Z/' | wc -l)
  if [ "$live_servers" -eq 0 ]; then
    rm -rf /dev/shm/jack[-_]* 2>/dev/null
  fi
  log="${state}.log"
  # Detached from the test's process group and output, so that the test
  # runner neither waits for it nor ends it.
  # Synchronous mode: a client that is late makes the cycle late instead of
  # letting the server replay its previous output; the generous client
  # timeout covers busy or instrumented test machines. The dummy driver
  # cycles every 256 frames at 48 kHz and waits exactly that long (5333 us)
  # between cycles, so MIDI crosses the server in about 5 ms instead of 21.
  setsid jackd --no-realtime -S -t 2000 -d dummy -r 48000 -p 256 -w 5333 </dev/null >"$log" 2>&1 &
  pid=$!
  echo "$pid" >"$state"
  for _ in $(seq 1 100); do
    if answers; then
      echo "jack-dummy: started jackd (pid $pid)"
      exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  echo "jack-dummy: jackd did not come up; its output:" >&2
  cat "$log" >&2
  kill "$pid" 2>/dev/null
  rm -f "$state"
  exit 1
  ;;
stop)
  [ -f "$state" ] || { echo "jack-dummy: nothing started here"; exit 0; }
  pid=$(cat "$state")
  rm -f "$state"
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && grep -q jackd "/proc/$pid/cmdline" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || { echo "jack-dummy: stopped jackd (pid $pid)"; exit 0; }
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    echo "jack-dummy: jackd (pid $pid) had to be killed"
  fi
  exit 0
  ;;
*)
  echo "usage: $0 start|stop <state-file>" >&2
  exit 2
  ;;
esac
