#!/bin/bash
# run_all.sh SECONDS [TARGET...]: runs each fuzz target (all built ones when
# none is named) for at least SECONDS of CPU time, one after another at
# nice 10. Builds nothing: configure and build the "fuzz" preset first.
#
# Each target starts from the seeds (fuzz/make_seeds.sh plus
# fuzz/corpus/<target>/) and keeps what it learns in a scratch corpus outside
# the tree, so a later run with the same QF_FUZZ_OUT goes on from there.
# A crash, hang or out-of-memory input is saved under crashes/<target>/ and
# the target is restarted for its remaining time (at most 5 findings each).
#
#   QF_FUZZ_BUILD  the fuzz build tree (default: build-fuzz beside fuzz/)
#   QF_FUZZ_OUT    logs, corpora and findings (default: a new folder under
#                  ${TMPDIR:-/tmp}/qf-fuzz-runs)
#   QF_FUZZ_TMP    where the targets write their outputs, best a tmpfs
#                  (default: tmp/ in QF_FUZZ_OUT)
#
# Prints one line per target: CPU and wall seconds, executions, findings.
set -u

seconds=${1:?usage: run_all.sh SECONDS [TARGET...]}
shift
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || { echo "run_all.sh: SECONDS must be a positive whole number" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
build=${QF_FUZZ_BUILD:-$here/../build-fuzz}
out=${QF_FUZZ_OUT:-${TMPDIR:-/tmp}/qf-fuzz-runs/$(date -u +%Y%m%dT%H%M%SZ)}
scratch=${QF_FUZZ_TMP:-$out/tmp}
mkdir -p "$out/logs" "$out/corpus" "$out/crashes" "$scratch" || exit 1

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for bin in "$build"/fuzz/*_fuzz; do [[ -x $bin ]] && targets+=("$(basename "$bin")"); done
fi
[[ ${#targets[@]} -gt 0 ]] || { echo "run_all.sh: no fuzz targets in $build/fuzz (build the fuzz preset)" >&2; exit 1; }

if [[ ! -d $out/seeds ]]; then
    QF_BIN="$build/bin" "$here/make_seeds.sh" "$out/seeds.part" && mv "$out/seeds.part" "$out/seeds" || exit 1
fi

export TMPDIR=$scratch   # what the targets write goes here, not into the tree
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
TIMEFORMAT='%U %S'
max_findings=5
status=0
printf '%-20s %8s %8s %12s %8s\n' target cpu_s wall_s executions findings | tee "$out/summary.txt"

for target in "${targets[@]}"; do
    bin=$build/fuzz/$target
    [[ -x $bin ]] || { echo "run_all.sh: $bin is not built" >&2; status=1; continue; }
    corpus=$out/corpus/$target
    crashes=$out/crashes/$target/
    mkdir -p "$corpus" "$crashes"
    [[ -d $out/seeds/$target ]] && cp -n "$out/seeds/$target"/* "$corpus"/ 2>/dev/null
    log=$out/logs/$target.log
    : >"$log"
    cpu=0 execs=0 findings=0 round=0
    started=$(date +%s)
    while (( cpu < seconds && findings < max_findings )); do
        round=$((round + 1))
        left=$((seconds - cpu))
        (( left < 10 )) && left=10
        echo "=== round $round: -max_total_time=$left" >>"$log"
        times=$( { time nice -n 10 "$bin" -max_total_time="$left" -timeout=30 -rss_limit_mb=3072 \
                     -print_final_stats=1 -artifact_prefix="$crashes" "$corpus" >>"$log" 2>&1; } 2>&1 )
        rc=$?
        read -r user sys <<<"$times"
        cpu=$((cpu + ${user%.*} + ${sys%.*} + 1))
        n=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | awk '{print $2}')
        execs=$((execs + ${n:-0}))
        if (( rc != 0 )); then
            findings=$((findings + 1))
            status=1
            # A target that fails at once (a bad build, a crash on a seed)
            # would only repeat itself.
            [[ -z $n ]] && break
        fi
    done
    wall=$(($(date +%s) - started))
    printf '%-20s %8d %8d %12d %8d\n' "$target" "$cpu" "$wall" "$execs" "$findings" | tee -a "$out/summary.txt"
done
echo "logs, corpora and findings: $out"
exit $status
