#!/usr/bin/env bash
# Memory soak of the real program in a real window: plays rounds with xdotool
# (click the start box, park the bar in a corner so the balls drop, click
# through name entry) and samples the process every minute.
#
#   bench/soak_window.sh [-b BUILD] [-r opengl|software] [-m MINUTES] [-d DISPLAY] [-o OUT]
#                        [-i SECONDS between samples, default 60]
#
# Prints one line per minute and writes the same lines to OUT (tab separated):
#   minute  rounds  rss_kb  heap_kb  anon_kb  load1
# rss is VmRSS of /proc/PID/status, heap the resident [heap] segment (the main
# malloc arena) of /proc/PID/smaps, anon all resident anonymous memory, rounds
# the records in the score file (written when a game is filed), load1 the
# 1-minute load average. Needs an X server on DISPLAY that nobody else drives
# (a private Xvfb: the clicks go to whatever window has the pointer).
# At the end the game gets SIGTERM, which saves and exits 0; the summary line
# compares the last sample with the one after the fifth round.
set -u
build=build renderer=opengl minutes=60 display=${DISPLAY:-} out= interval=60
while getopts b:r:m:d:o:i: opt; do
    case $opt in
        b) build=$OPTARG ;;
        r) renderer=$OPTARG ;;
        m) minutes=$OPTARG ;;
        d) display=$OPTARG ;;
        o) out=$OPTARG ;;
        i) interval=$OPTARG ;;
        *) exit 2 ;;
    esac
done
[ -n "$display" ] || { echo "no DISPLAY given" >&2; exit 2; }
export DISPLAY=$display SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
build=$(cd "$build" && pwd) || exit 2
[ -x "$build/flingo" ] && [ -d "$build/Files" ] || { echo "no game in $build" >&2; exit 2; }
out=${out:-soak-$renderer.tsv}

tree=$(mktemp -d /tmp/flingo-soak-XXXXXX)
trap 'rm -rf "$tree"' EXIT
cp "$build/flingo" "$tree/"
cp -r "$build/Files" "$tree/"
rm -f "$tree/Files/Setup.ini" "$tree/Files/Debug.txt" "$tree/Files/283/nuscores.dat" \
    "$tree/Files/283/crash.dat"
case $renderer in
    opengl) ;;
    software) printf 'GFX Engine = DX9\r\n' >"$tree/Files/Setup.ini" ;;
    *) echo "renderer is opengl or software" >&2; exit 2 ;;
esac

(cd "$tree" && exec ./flingo >"$tree/stdout.txt" 2>&1) &
pid=$!
for _ in $(seq 120); do
    grep -q '^Finished Loading' "$tree/Files/Debug.txt" 2>/dev/null && break
    kill -0 $pid 2>/dev/null || { echo "the game ended while loading" >&2; exit 1; }
    sleep 1
done
window=
for _ in $(seq 20); do
    window=$(xdotool search --name Flingo 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || { echo "no game window" >&2; kill $pid; exit 1; }
echo "# pid $pid, tree $tree"
grep -E 'Using|Main sprites' "$tree/Files/Debug.txt" | tr -d '\r\t' | sed 's/^/# /'

sample() {  # minute -> one line
    local rss heap anon rounds
    rss=$(awk '/^VmRSS:/ {print $2}' /proc/$pid/status 2>/dev/null)
    heap=$(awk '/^[0-9a-f]+-[0-9a-f]+ / {h = ($NF == "[heap]")} h && /^Rss:/ {s += $2} END {print s + 0}' \
        /proc/$pid/smaps 2>/dev/null)
    anon=$(awk '/^Anonymous:/ {s += $2} END {print s + 0}' /proc/$pid/smaps 2>/dev/null)
    rounds=$(( $(grep -c . "$tree/Files/283/nuscores.dat" 2>/dev/null || echo 1) - 1 ))
    [ $rounds -lt 0 ] && rounds=0
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$rounds" "${rss:-0}" "${heap:-0}" "${anon:-0}" \
        "$(cut -d' ' -f1 /proc/loadavg)"
}

printf 'minute\trounds\trss_kb\theap_kb\tanon_kb\tload1\n' | tee "$out"
start=$(date +%s)
next=$start
n=0
# The start box's centre of the 800 x 600 window and a corner to park the bar.
while kill -0 $pid 2>/dev/null; do
    now=$(date +%s)
    if [ "$now" -ge "$next" ]; then
        sample "$(awk -v s=$((now - start)) 'BEGIN {printf "%.1f", s / 60}')" | tee -a "$out"
        [ $((now - start)) -ge $((60 * minutes)) ] && break
        n=$((n + 1))
        next=$((start + interval * n))
    fi
    xdotool mousemove --window "$window" 270 300 mousedown 1 sleep 0.25 mouseup 1 \
        sleep 0.1 mousemove --window "$window" 2 300 >/dev/null 2>&1
    for _ in 1 2 3; do
        sleep 1
        xdotool mousedown 1 sleep 0.1 mouseup 1 >/dev/null 2>&1
    done
done
if kill -0 $pid 2>/dev/null; then
    kill -TERM $pid
    wait $pid
    echo "# exit code $?"
else
    wait $pid
    echo "# the game ended early, exit code $?"
fi
awk -F'\t' 'NR > 1 && $2 >= 5 && !base {base = $3; bheap = $4; bm = $1}
    NR > 1 {last = $3; lheap = $4; lm = $1; r = $2}
    END {if (base) printf "# rounds %d; rss after round 5 (minute %.1f) %d kB, at minute %.1f %d kB (%+d); heap %d -> %d kB (%+d)\n",
        r, bm, base, lm, last, last - base, bheap, lheap, lheap - bheap}' "$out"
