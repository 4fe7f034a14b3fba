#!/bin/bash
# title_cpu.sh — CPU share of the real program idling at the title screen
# with the software renderer, read from /proc.
#
# Starts BUILD/flingo (default build/) on the X display in $DISPLAY with
# "GFX Engine = DX9" (the software renderer) in a scratch copy of the asset
# tree, waits WAIT seconds for the start-up and the engine test to end, then
# prints, RUNS times, the CPU time of all the program's threads over SECONDS
# seconds as a percentage of one core, with the load average beside it.
#
# Usage: bench/title_cpu.sh [BUILD] [SECONDS] [RUNS] [WAIT]   (build 10 2 15)
set -eu
build=$(cd "${1:-build}" && pwd)
seconds=${2:-10}
runs=${3:-2}
wait_s=${4:-15}
[ -n "${DISPLAY:-}" ] || { echo "title_cpu: DISPLAY is not set" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
cp "$build/flingo" "$scratch/"
cp -r "$build/Files" "$scratch/"
rm -f "$scratch/Files/Setup.ini" "$scratch/Files/Debug.txt"
printf '[Graphics]\nFullscreen = False\nGFX Engine = DX9\n' > "$scratch/Files/Setup.ini"

"$scratch/flingo" > "$scratch/out.txt" 2>&1 &
pid=$!
sleep "$wait_s"
kill -0 "$pid" || { echo "title_cpu: the program ended"; cat "$scratch/out.txt"; exit 1; }
grep -h "GFX\|Renderer\|sprites" "$scratch/Files/Debug.txt" 2>/dev/null | sed 's/^/log: /' || true

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
for run in $(seq "$runs"); do
    t0=$(cpu_ticks)
    s0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(cpu_ticks)
    s1=$(date +%s.%N)
    awk -v t="$((t1 - t0))" -v hz="$ticks" -v a="$s0" -v b="$s1" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
        'BEGIN { printf "title cpu: %.1f %% of a core over %.1f s (load %s)\n", 100 * t / hz / (b - a), b - a, load }'
done
