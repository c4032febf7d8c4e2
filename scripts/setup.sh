#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those that are
# missing. Safe to run any number of times: with everything present it does
# not touch the package lists or the network.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

wanted=()
for list in "$here"/packages/*.txt; do
  while read -r line; do
    pkg=${line%%#*}
    pkg=$(echo "$pkg" | xargs)
    [ -n "$pkg" ] && wanted+=("$pkg")
  done <"$list"
done

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#wanted[@]} packages present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}"
