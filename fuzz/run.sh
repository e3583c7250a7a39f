#!/bin/sh
# Builds the fuzz targets and runs each for SECONDS:
#   fuzz/run.sh SECONDS [TARGET...]      (targets: config zipComment
#                                         absolutePath unicodeDump driver release merge
#                                         packOptions runtimeImage)
# The build is build-fuzz/ (clang; the "fuzz" preset). Each target grows its
# own corpus in build-fuzz/fuzz/corpus/<target>, seeded from fuzz/corpus/;
# logs go to build-fuzz/fuzz/logs/, crash inputs to build-fuzz/fuzz/crash-*.
# Prints one line per target and exits non-zero if any target found a fault.
set -u
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
targets=${*:-config zipComment absolutePath unicodeDump driver release merge packOptions runtimeImage}
cd "$source_dir" || exit 2
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || exit 2
out=$source_dir/build-fuzz/fuzz
mkdir -p "$out/logs"
status=0
printf '%-14s %12s %8s %8s %s\n' target executions exec/s rss_mb result
for target in $targets; do
    log=$out/logs/$target.log
    (cd "$out" && "$source_dir/fuzz/run-one.sh" "./fuzz_$target" "$source_dir/fuzz/corpus/$target" \
        "$seconds" "$out/corpus/$target") >"$log" 2>&1
    code=$?
    result=ok
    [ $code -eq 0 ] || { result="FAULT (see $log)"; status=1; }
    runs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: //p' "$log")
    rss=$(sed -n 's/^stat::peak_rss_mb: //p' "$log")
    printf '%-14s %12s %8s %8s %s\n' "$target" "${runs:-?}" "${speed:-?}" "${rss:-?}" "$result"
done
exit $status
