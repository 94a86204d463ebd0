#!/usr/bin/env bash
# How long orbitchat-sim takes from process start to the end of a headless script, and how much
# memory it holds at its peak: the script is run N times (default 21) on a fresh copy of the
# sample device each time, and the medians of the wall time, the processor time (user and system,
# at the 10 ms grain of time(1)) and the peak resident size are printed, and the number of shared
# libraries that one more run maps.
#
#     bench/process-start.sh                         # "open" then "dump", 21 runs
#     bench/process-start.sh -n 30 my.script         # another script, 30 runs
#     SIM=/path/to/orbitchat-sim bench/process-start.sh
#
# The default script is what a UI test does first: open the pane and print its state. Quote the
# figure beside an anchor measured in the same minute, since the machine may be busy with other
# work: when a benchmark program that has BM_CpuAnchor is built (LayoutBench, PaneOpenBench,
# SettingsBench; or ANCHOR=/path/to/it), its median is printed after the runs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
runs=21
if [ "${1:-}" = "-n" ]; then
  runs="$2"
  shift 2
fi
sim="${SIM:-$root/build/default/src/sim/orbitchat-sim}"
[ -x "$sim" ] || { echo "no program at $sim (build the orbitchat-sim target first)" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
script="${1:-}"
if [ -z "$script" ]; then
  script="$work/open-dump.script"
  printf 'open\ndump\n' >"$script"
fi

for ((i = 0; i < runs; i++)); do
  rm -rf "$work/device"
  cp -r "$root/examples/device" "$work/device"
  start=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$work/rss.$i" \
    "$sim" --headless --device "$work/device" --script "$script" >/dev/null 2>"$work/err.$i" || {
    echo "run $i failed:" >&2
    cat "$work/err.$i" >&2
    exit 1
  }
  echo $((($(date +%s%N) - start) / 1000)) >"$work/wall.$i"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
wall=$(cat "$work"/wall.* | awk '{ print $1 / 1000 }' | median)
rss=$(cat "$work"/rss.* | awk '{ print $1 / 1024 }' | median)
cpu=$(cat "$work"/rss.* | awk '{ print ($2 + $3) * 1000 }' | median)
printf 'process start to the end of the script: median %.1f ms wall, %.0f ms processor, %.1f MiB peak RSS (%d runs)\n' \
  "$wall" "$cpu" "$rss" "$runs"

# The shared libraries the run maps, as the dynamic loader names them: most of the start is theirs.
rm -rf "$work/device"
cp -r "$root/examples/device" "$work/device"
LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loader" \
  "$sim" --headless --device "$work/device" --script "$script" >/dev/null 2>&1 || true
echo "shared libraries mapped: $(cat "$work"/loader.* | grep -o 'file=[^ ]*' | sort -u | wc -l)"

anchor="${ANCHOR:-}"
for candidate in LayoutBench PaneOpenBench SettingsBench; do
  [ -n "$anchor" ] && break
  [ -x "$root/build/default/bench/$candidate" ] && anchor="$root/build/default/bench/$candidate"
done
if [ -n "$anchor" ]; then
  "$anchor" --benchmark_filter='^BM_CpuAnchor' --benchmark_format=csv 2>/dev/null |
    awk -F, '$1 ~ /_median"?$/ { printf "BM_CpuAnchor (same run): median %.2f ms CPU\n", $4 }'
fi
