#!/bin/bash
# Builds the fuzz targets in build-fuzz (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and fuzzes each for SECONDS, as many at a time as
# there are cores. Prints executions and crashes per target and fails when any
# target met a crash, a failed property, a leak, a hang or too much memory.
# Each target's corpus grows in build-fuzz/corpus/NAME from the seeds in
# fuzz/corpus/NAME; the input behind a finding is kept in build-fuzz/findings/NAME.
# usage: fuzz/run.sh SECONDS [TARGET...]   (all targets when none is named)
set -euo pipefail

seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
cd "$(dirname "$0")/.."
source=$PWD/fuzz
build=$PWD/build-fuzz
targets=(preference_file score_line to_integer jpeg)
[ $# -gt 0 ] && targets=("$@")

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DQUINTARA_FUZZ=ON -DBUILD_TESTING=OFF \
    -DQUINTARA_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target quintara_fuzz_targets >"$build/build.log" 2>&1 ||
    { cat "$build/build.log" >&2 && exit 1; }

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer
# The file targets write and replace a file at every input; on tmpfs that
# costs no disk syncs. A target stopped by a finding leaves its files there.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=$(mktemp -d /dev/shm/quintara-fuzz.XXXXXX)
    export TMPDIR
    trap 'rm -rf "$TMPDIR"' EXIT
fi

# runTarget NAME: fuzzes one target, its output in build-fuzz/logs/NAME.log.
runTarget() {
    local name=$1
    mkdir -p "$build/corpus/$name"
    rm -rf "$build/findings/$name" && mkdir -p "$build/findings/$name"
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$name/" "$build/corpus/$name" "$source/corpus/$name" \
        >"$build/logs/$name.log" 2>&1 || true
}

# figure NAME KEY: one of libFuzzer's final figures for the target.
figure() {
    sed -n "s/^stat::$2: *//p" "$build/logs/$1.log"
}

findingCount() {
    find "$build/findings/$1" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | wc -l
}

mkdir -p "$build/logs"
jobs=${FUZZ_JOBS:-$(nproc)}
running=0
for name in "${targets[@]}"; do
    runTarget "$name" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

failed=0
for name in "${targets[@]}"; do
    crashes=$(findingCount "$name")
    printf '%-16s %10s executions %8s exec/s  crashes: %s\n' "$name" \
        "$(figure "$name" number_of_executed_units)" "$(figure "$name" average_exec_per_sec)" "$crashes"
    if [ "$crashes" -ne 0 ] || ! grep -q '^Done ' "$build/logs/$name.log"; then
        failed=1
        sed 's/^/    /' "$build/logs/$name.log" | tail -n 60 >&2
    fi
done
exit "$failed"
