#!/bin/bash
# Measures what choosing a runtime with javaversion and javasearch adds to
# the start of the launcher: 20 runtime homes (a release file and a bin/java
# that is the no-op stand-in) in one javasearch directory, none of JAVA_HOME
# and PATH fitting, so that every home is looked through (and the usual
# install places too). Side by side, in one interleaved run: the same
# launcher finding the stand-in through JAVA_HOME without the directives, and
# with a javaversion that JAVA_HOME already fits. Prints a Markdown table.
#
#   bench/discovery.sh
#   LARKWIN_BENCH_RUNS=1000 ...      runs of each command (default 3000)
#   LARKWIN_BENCH_LAUNCHER=build/larkwin ...   measure this launcher instead
#                                    of building one (Release) here
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
work=$build/discovery
runs=${LARKWIN_BENCH_RUNS:-3000}
# shellcheck source=bench/lib.sh
. "$bench/lib.sh"

mkdir -p "$work"
if [ -n "${LARKWIN_BENCH_LAUNCHER:-}" ]; then
    launcher=$LARKWIN_BENCH_LAUNCHER
else
    buildLauncher "$root" "$build"
    launcher=$build/larkwin
fi
cc -O2 -static -o "$work/noop" "$bench/noop.c"

# Homes with versions 101 to 120, in a name order that is not their version
# order; 120 fits "javaversion 115-130" best.
rm -rf "$work/runtimes" "$work/home"
for n in $(seq 1 20); do
    home=$work/runtimes/jdk-$(((n * 7) % 20 + 101))-$n
    mkdir -p "$home/bin"
    ln -s "$work/noop" "$home/bin/java"
    printf 'IMPLEMENTOR="bench"\nJAVA_VERSION="%d.0.1"\nOS_NAME="Linux"\n' $(((n * 7) % 20 + 101)) >"$home/release"
done
mkdir -p "$work/home/bin"
ln -s "$work/noop" "$work/home/bin/java"
printf 'JAVA_VERSION="101.0.1"\n' >"$work/home/release"

prepare() { # name config-lines
    mkdir -p "$work/$1"
    cp "$launcher" "$work/$1/app"
    printf '%b' "mainclass Hello\n$2" >"$work/$1/app.config"
}
prepare plain ""
prepare fitting 'javaversion 101\n'
prepare searching "javaversion 115-130\njavasearch $work/runtimes\n"

# The chosen java must be the one expected, or the figures mean nothing.
for name in plain fitting searching; do
    JAVA_HOME=$work/home "$work/$name/app" +DEBUG >"$work/$name.debug"
done
grep -q "jdk-120-.*version 120: taken" "$work/searching.debug" || { cat "$work/searching.debug"; exit 1; }
grep -q "JAVA_HOME.*: taken" "$work/fitting.debug" || { cat "$work/fitting.debug"; exit 1; }

say "timing $runs interleaved runs of each"
JAVA_HOME=$work/home python3 "$bench/interleave.py" "$runs" \
    "without directives (JAVA_HOME)" "$work/plain/app" \
    "javaversion, JAVA_HOME fits" "$work/fitting/app" \
    "javaversion + javasearch, 20 homes looked through" "$work/searching/app"
