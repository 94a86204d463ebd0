#!/usr/bin/env bash
# Fuzzing with libFuzzer (clang 14; the "fuzz" preset builds into build/fuzz).
#
#   scripts/fuzz.sh TARGET SECONDS [OPTION...]
#                                    builds TARGET and fuzzes it for SECONDS, starting from its
#                                    corpus fuzz/corpus/TARGET, with the dictionary of its input's
#                                    tokens (fuzz/dict/) and any further libFuzzer options
#                                    (-max_len=65536 tries inputs longer than the seeds). Inputs that reach new code are kept
#                                    in build/fuzz/corpus/TARGET; a finding (crash, leak, input
#                                    slower than 1 s, more than 512 MB) is written into
#                                    fuzz/corpus/TARGET, where it stays as a regression input.
#   scripts/fuzz.sh --replay         builds every target and runs each once over its corpus.
#
# Targets: PlistReadFuzz JSONReadFuzz SpecifierPlistFuzz FilterListFuzz InfoPlistFuzz ScriptFuzz
# VisualFormatFuzz. CI replays the corpora without clang (the tests' fuzz_replay.* entries).
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(PlistReadFuzz JSONReadFuzz SpecifierPlistFuzz FilterListFuzz InfoPlistFuzz ScriptFuzz VisualFormatFuzz)
usage() {
    echo "usage: $0 TARGET SECONDS [OPTION...] | $0 --replay  (targets: ${targets[*]})" >&2
    exit 2
}
# clang 14 and its libFuzzer runtime are needed here only (CI replays with the tests' compiler).
if ! command -v clang++-14 >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null |
    grep -q 'install ok installed'; then
    echo "fuzzing needs clang 14 and its runtime: apt-get install clang-14 libclang-rt-14-dev" >&2
    exit 1
fi
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Options every run shares: the bounds a reader must keep.
limits=(-timeout=1 -rss_limit_mb=512 -malloc_limit_mb=512)
cmake --preset fuzz >/dev/null

if [ "${1:-}" = "--replay" ]; then
    [ $# -eq 1 ] || usage
    cmake --build --preset fuzz -j2 --target "${targets[@]}"
    for t in "${targets[@]}"; do
        build/fuzz/fuzz/"$t" "${limits[@]}" -runs=0 fuzz/corpus/"$t"
    done
    exit 0
fi

[ $# -ge 2 ] || usage
target=$1
seconds=$2
shift 2
[[ " ${targets[*]} " == *" $target "* ]] || usage
[[ "$seconds" =~ ^[0-9]+$ ]] || usage
cmake --build --preset fuzz -j2 --target "$target"
case $target in
JSONReadFuzz) limits+=(-dict=fuzz/dict/json.dict) ;;
ScriptFuzz | VisualFormatFuzz) ;;
*) limits+=(-dict=fuzz/dict/plist.dict) ;;
esac
mkdir -p build/fuzz/corpus/"$target"
exec build/fuzz/fuzz/"$target" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=fuzz/corpus/"$target"/ "$@" build/fuzz/corpus/"$target" fuzz/corpus/"$target"
