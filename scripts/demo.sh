#!/usr/bin/env bash
# Installs the dependencies, builds ZARVO and starts it on the bundled phone simulator:
# s40sim serves a sample phone on a pseudo-terminal, a private XDG_CONFIG_HOME links
# COM4 to that line, and the real zarvo program opens there. The simulator stops when
# the program exits.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${ZARVO_DEMO_BUILD_DIR:-build/release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"

sim="$build/sim/s40sim"
app="$build/ui/zarvo"
if [ ! -x "$sim" ] || [ ! -x "$app" ]; then
  echo "Built what exists so far; the phone simulator ($sim) or the program ($app) is not there yet."
  exit 0
fi

work=$(mktemp -d)
cleanup() { [ -n "${simpid:-}" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
"$sim" --sample --print-path "$work/line" "$@" >"$work/sim.log" 2>&1 &
simpid=$!
for _ in $(seq 50); do [ -s "$work/line" ] && break; sleep 0.1; done
[ -s "$work/line" ] || { echo "the simulator did not start:"; cat "$work/sim.log"; exit 1; }
mkdir -p "$work/config/zarvo/ports"
ln -s "$(cat "$work/line")" "$work/config/zarvo/ports/COM4"
echo "Simulated Siemens S40 on $(cat "$work/line"), linked as COM4. Press Read."
XDG_CONFIG_HOME="$work/config" "$app"
