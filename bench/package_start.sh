#!/bin/bash
# Starts of Hello installed from its .deb (through /usr/bin/NAME, the link
# into /opt, and the settings files it looks for) against the same
# application's app image started directly, interleaved; with
# LARKWIN_BENCH_JPACKAGE=1 also against jpackage's installed .deb of the same
# jar. Installs packages, so it runs as root, and purges them on exit.
#
#   bench/package_start.sh [RUNS]
#
# Target: the installed application starts in at most 1.05 times its image.
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
work=$build/package
runs=${1:-1000}
name=larkwin-bench-hello
jpname=larkwin-bench-jpackage
# shellcheck source=bench/lib.sh
. "$bench/lib.sh"

[ "$(id -u)" -eq 0 ] || { echo "package_start.sh installs packages: run it as root" >&2; exit 1; }
for package in $name $jpname; do
    if dpkg -s "$package" >/dev/null 2>&1; then
        echo "$package is installed already; remove it first" >&2
        exit 1
    fi
done
trap 'dpkg --purge $name $jpname >/dev/null 2>&1 || true' EXIT

buildLauncher "$root" "$build"
rm -rf "$work"
mkdir -p "$work/classes" "$work/dist"
javac -d "$work/classes" "$bench/Hello.java"
jar --create --file "$work/hello.jar" -C "$work/classes" .
printf 'Hello, for the start-up benchmark.\n' >"$work/LICENSE"

say "making the app image and the .deb"
"$build/larkwin-pack" --quiet --app-image "$work/image" --name $name --main-class Hello \
    "$work/hello.jar"
"$build/larkwin-pack" --quiet --deb "$work/dist" --name $name --app-version 1.0 \
    --description "Hello for the start-up benchmark" --maintainer "bench <bench@example.org>" \
    --license-file "$work/LICENSE" --main-class Hello "$work/hello.jar"
dpkg -i "$work/dist/${name}_1.0_"*.deb >/dev/null

pairs=(image "$work/image/bin/$name" installed "/usr/bin/$name")
if [ "${LARKWIN_BENCH_JPACKAGE:-0}" = 1 ]; then
    say "making jpackage's .deb"
    jpackage --type deb --dest "$work/dist" --name $jpname --input "$work" \
        --main-jar hello.jar --main-class Hello >/dev/null
    dpkg -i "$work/dist/${jpname}_"*.deb >/dev/null
    pairs+=(jpackage "/opt/$jpname/bin/$jpname")
fi

say "$runs interleaved starts of each"
python3 "$bench/interleave.py" "$runs" "${pairs[@]}"
