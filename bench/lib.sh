# Functions shared by bench/run.sh and bench/compare.sh; sourced, not run.

say() { printf '== %s\n' "$*" >&2; }

installPackage() { # command package
    command -v "$1" >/dev/null && return
    say "installing $2"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y "$2" || { $sudo apt-get update && $sudo apt-get install -y "$2"; }
}

installHyperfine() { installPackage hyperfine hyperfine; }

# The charts are drawn by gnuplot (its SVG terminal; no X needed).
installGnuplot() { installPackage gnuplot gnuplot-nox; }

# Builds larkwin and larkwin-pack of the source tree $1 in $2 (Release, no
# tests); the log stays in the build directory.
buildLauncher() { # source build
    say "building the launcher (Release) in $2"
    mkdir -p "$2"
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DLARKWIN_TESTS=OFF >"$2/bench-build.log" 2>&1 &&
        cmake --build "$2" -j2 --target larkwin larkwin-pack >>"$2/bench-build.log" 2>&1 ||
        { cat "$2/bench-build.log"; exit 1; }
}

# The static stand-ins for java: noop does nothing, nap sleeps, waiter is the
# least a launcher that waits for its child can do.
buildStandIns() { # work
    local name
    for name in noop nap waiter; do
        cc -O2 -static -o "$1/$name" "$bench/$name.c"
    done
}

# Runs hyperfine on the name/command pairs in $rounds rounds of $runs/$rounds
# runs, so that a change in the machine's load during the run falls on every
# command alike. Writes PREFIX-1.json, PREFIX-2.json, ...
measureInRounds() { # prefix warmup runs rounds (name command)...
    local prefix=$1 warmup=$2 total=$3 count=$4 round
    shift 4
    local named=()
    while [ $# -gt 0 ]; do
        named+=(-n "$1" "$2")
        shift 2
    done
    rm -f "$prefix"-*.json
    for round in $(seq "$count"); do
        say "round $round of $count"
        hyperfine -N --style basic --warmup "$warmup" --runs $(((total + count - 1) / count)) \
            --export-json "$prefix-$round.json" "${named[@]}" >"$prefix-$round.log" 2>&1 ||
            { cat "$prefix-$round.log"; exit 1; }
    done
}

# The peak resident set (VmHWM) of a process that waits for its napping
# child, read from /proc while the child still runs; of five starts the
# largest. Appends "NAME|VmHWM: n VmRSS: n RssAnon: n RssFile: n" to FILE.
peakWhileWaiting() { # file name command...
    local file=$1 name=$2 peak=0 best="" line hwm pid
    shift 2
    for _ in 1 2 3 4 5; do
        "$@" 600 &
        pid=$!
        sleep 0.3
        line=$(awk '/^(VmHWM|VmRSS|RssAnon|RssFile):/ {printf "%s %s ", $1, $2}' "/proc/$pid/status")
        wait "$pid"
        hwm=$(echo "$line" | awk '{print $2}')
        if [ "$hwm" -gt "$peak" ]; then
            peak=$hwm
            best=$line
        fi
    done
    echo "$name|$best" >>"$file"
}
