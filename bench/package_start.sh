#!/bin/bash
# Starts of Hello installed from its .deb (through /usr/bin/NAME, the link
# into /opt, and the settings files it looks for) against the same
# application's app image started directly and against jpackage's installed
# .deb of the same jar, interleaved. Installs packages, so it runs as root,
# and purges them on exit.
#
#   bench/package_start.sh [RUNS]
#
# JAVA_HOME names the JDK whose jpackage is used (by default Debian's 17).
# Target: the installed application starts in at most 1.05 times its image.
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
work=$build/package
runs=${1:-300}
jdk=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
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
# apt-get waits for dpkg's lock where other work installs packages too.
apt() { DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=300 "$@" >/dev/null; }
trap 'for package in $name $jpname; do apt purge $package 2>/dev/null || true; done' EXIT

buildLauncher "$root" "$build"
rm -rf "$work"
mkdir -p "$work/classes" "$work/dist" "$work/input"
"$jdk/bin/javac" -d "$work/classes" "$bench/Hello.java"
"$jdk/bin/jar" --create --file "$work/input/hello.jar" -C "$work/classes" .
printf 'Hello, for the start-up benchmark.\n' >"$work/LICENSE"

say "making the app image and the .deb"
"$build/larkwin-pack" --quiet --app-image "$work/image" --name $name --main-class Hello \
    "$work/input/hello.jar"
"$build/larkwin-pack" --quiet --deb "$work/dist" --name $name --app-version 1.0 \
    --description "Hello for the start-up benchmark" --maintainer "bench <bench@example.org>" \
    --license-file "$work/LICENSE" --main-class Hello "$work/input/hello.jar"
apt install "$work/dist/${name}_1.0_"*.deb

say "making jpackage's .deb"
"$jdk/bin/jpackage" --type deb --dest "$work/dist" --name $jpname --input "$work/input" \
    --main-jar hello.jar --main-class Hello >/dev/null
apt install "$work/dist/${jpname}_"*.deb
pairs=(image "$work/image/bin/$name" installed "/usr/bin/$name"
    jpackage "/opt/$jpname/bin/$jpname")

say "$runs interleaved starts of each"
python3 "$bench/interleave.py" "$runs" "${pairs[@]}"
