#!/bin/bash
# What the start-up cache's keys cost a warm start, before and after a change
# of what goes into them (bench/KEY_COST.md): bench/key_time.cc built against
# each launcher's core library, its two programs run in turn ROUNDS times,
# each printing the median of 200 computations of both keys for Groovy's 42
# jars from Debian, copied as an app image holds them.
#
#   bench/key_time.sh OLD_SOURCE OLD_BUILD NEW_SOURCE NEW_BUILD [ROUNDS]
set -euo pipefail
bench=$(cd "$(dirname "$0")" && pwd)
rounds=${5:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
java=/usr/lib/jvm/java-17-openjdk-amd64/bin/java
jni=/usr/lib/jvm/java-17-openjdk-amd64/include
g++ -std=c++17 -O2 -DOLD_KEY -I"$1/src" -I$jni -I$jni/linux "$bench/key_time.cc" \
    "$2/src/liblarkwin_core.a" -ldl -o "$work/old"
g++ -std=c++17 -O2 -I"$3/src" -I$jni -I$jni/linux "$bench/key_time.cc" \
    "$4/src/liblarkwin_core.a" -ldl -o "$work/new"
# The jars as an app image holds them: copies, not Debian's links.
mkdir -p "$work/image/lib"
cp -L /usr/share/groovy/lib/*.jar "$work/image/lib/"
jars=("$work"/image/lib/*.jar)
for _ in $(seq "$rounds"); do
    printf 'old %s\n' "$("$work/old" 200 "$java" "$work/image" "${jars[@]}")"
    printf 'new %s\n' "$("$work/new" 200 "$java" "$work/image" "${jars[@]}")"
done | python3 -c '
import statistics, sys
times = {"old": [], "new": []}
for line in sys.stdin:
    name, value = line.split()
    times[name].append(float(value))
for name, values in times.items():
    q1, median, q3 = statistics.quantiles(values, n=4)
    print("%s: median %.1f us (quartiles %.1f to %.1f, %d rounds)" % (name, median, q1, q3, len(values)))
'
