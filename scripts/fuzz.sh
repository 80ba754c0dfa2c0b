#!/usr/bin/env bash
# Builds every fuzz target with clang (libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# into build-fuzz/ and runs each one for FUZZ_SECONDS (default 60) on its corpus,
# tests/fuzz/corpus/<target>/. A fuzz target is any executable of the build named *_fuzzer,
# wherever its CMakeLists.txt lives. A crash, a sanitizer report, a leak, an input slower than
# 10 s or a memory peak above 512 MiB fails the run; the input that did it is kept in
# build-fuzz/artifacts/. The corpus in the repository is only read: what a run finds stays in
# build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

seconds=${FUZZ_SECONDS:-60}
build=build-fuzz
CXX=clang++ cmake -S . -B "$build" -G Ninja -DWARDLET_FUZZ=ON -DWARDLET_BENCHMARKS=OFF >/dev/null

mapfile -t targets < <(ninja -C "$build" -t targets all |
    sed -n 's|^bin/\([A-Za-z0-9_]*_fuzzer\): .*|\1|p' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no *_fuzzer target in $build" >&2
    exit 1
fi
ninja -C "$build" "${targets[@]}"

failed=()
for corpus in tests/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    if [[ ! " ${targets[*]} " == *" $name "* ]]; then
        echo "fuzz: tests/fuzz/corpus/$name has no fuzz target of that name" >&2
        failed+=("$name")
    fi
done

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
    corpus=tests/fuzz/corpus/$target
    if [ ! -d "$corpus" ]; then
        echo "fuzz: $target has no corpus in $corpus; starting from nothing" >&2
        corpus=()
    fi
    # New inputs go to the first folder, a scratch one; the repository's corpus is read.
    scratch="$build/corpus/$target"
    rm -rf "$scratch"
    mkdir -p "$scratch"
    echo "fuzz: $target for ${seconds}s"
    if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$scratch" "${corpus[@]}" 2>"$build/$target.log"; then
        tail -n 60 "$build/$target.log" >&2
        failed+=("$target")
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" |
        sed "s|^|fuzz: $target: |"
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: FAILED: ${failed[*]} (inputs in $build/artifacts/)" >&2
    exit 1
fi
echo "fuzz: ${#targets[@]} target(s) ran ${seconds}s each without a finding"
