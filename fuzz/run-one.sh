#!/bin/sh
# Runs one fuzz target for a number of seconds on a scratch copy of its seed
# corpus: run-one.sh TARGET SEEDS SECONDS [CORPUS]. With CORPUS the run grows
# that directory instead (kept between runs). Crash inputs are written to the
# working directory as crash-<target>-*. Exits non-zero on any finding.
# LARKWIN_FUZZ_FLAGS adds libFuzzer options, e.g. -runs=10000000 to stop
# after that many executions when they come before the time is up.
set -eu
target=$1 seeds=$2 seconds=$3 corpus=${4:-}
name=$(basename "$target")
if [ -z "$corpus" ]; then
    scratch=$(mktemp -d /tmp/larkwin-fuzz-corpus-XXXXXX)
    trap 'rm -rf "$scratch"' EXIT
    corpus=$scratch
fi
mkdir -p "$corpus"
# Absolute: some targets change their working directory.
corpus=$(cd "$corpus" && pwd)
cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
# -close_fd_mask=1: "+DEBUG" traces would flood the log.
"$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
    -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$(pwd)/crash-$name-" ${LARKWIN_FUZZ_FLAGS:-} "$corpus"
