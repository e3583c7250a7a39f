#!/bin/sh
# Runs the end-to-end launches with a stand-in java (test_launch, test_shell,
# test_faults, test_process_faults, test_java_search) with every start of the
# launcher under valgrind's memcheck, restarts included; java and what it
# starts run natively. Passes when every test passes and no launcher process
# reported an error or a definite leak.
#   LARKWIN=build/larkwin tests/e2e/valgrind_check.sh [MODULE...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${LARKWIN:?LARKWIN must name the built launcher}"
# Absolute, since the tests run from this script's folder.
LARKWIN=$(cd "$(dirname "$LARKWIN")" && pwd)/$(basename "$LARKWIN")
export LARKWIN
# By its full name: some launches run with an empty or odd "PATH".
valgrind=$(command -v valgrind) || { echo "valgrind is not installed"; exit 2; }
logs=$(mktemp -d /tmp/larkwin-valgrind-XXXXXX)
trap 'rm -rf "$logs"' EXIT
modules=${*:-test_launch test_shell test_faults test_process_faults test_java_search}
LARKWIN_WRAPPER="$valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
 --errors-for-leak-kinds=definite --trace-children=yes
 --trace-children-skip=*/java,*/sh,*/sleep,*/true --child-silent-after-fork=yes
 --log-file=$logs/memcheck.%p"
export LARKWIN_WRAPPER PYTHONDONTWRITEBYTECODE=1
cd "$here" && python3 -m unittest $modules
tests=$?
processes=$(ls "$logs" | wc -l)
errors=$(cat "$logs"/* </dev/null 2>/dev/null | grep "ERROR SUMMARY:" | awk '{ n += $4 } END { print n + 0 }')
lost=$(grep -l "definitely lost: [1-9]" "$logs"/* 2>/dev/null | wc -l)
echo "valgrind: $processes launcher processes checked, $errors errors, $lost with definite leaks"
if [ "$errors" -ne 0 ] || [ "$lost" -ne 0 ]; then
    grep -l -E "ERROR SUMMARY: [1-9]|definitely lost: [1-9]" "$logs"/* | xargs cat
    exit 1
fi
exit $tests
