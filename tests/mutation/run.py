#!/usr/bin/env python3
"""A mutation check: each fault below is put into a copy of the sources, one
at a time, and the tests that should notice it are run. A fault is caught
when they fail.

    tests/mutation/run.py [--dir DIR] [NAME...]

The copy and its build live in DIR (default /tmp/larkwin-mutation, reused
when it exists); the working tree is never changed. Prints one line per
fault: caught, SURVIVED, or "not built" when the edit does not compile.
Debian has no mutation tool for C++; the faults are the list below.
"""

import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# name, file, text replaced, replacement, CTest regular expression
MUTATIONS = [
    ("inherited ignored SIGCHLD kept", "src/process/signalForwarding.cc",
     "childAction.sa_handler = SIG_DFL;", "sigaction(SIGCHLD, nullptr, &childAction);",
     r"^ChildProcess\."),
    ("every signal forwarded, whatever its si_code", "src/process/signalForwarding.cc",
     "(info->si_code == SI_USER || info->si_code == SI_QUEUE)", "info != nullptr",
     r"^(SignalForwarding|ChildProcess)\."),
    ("failed sigprocmask ignored", "src/process/signalForwarding.cc",
     "if (sigprocmask(SIG_BLOCK, &forwarded, &previousMask) != 0) {",
     "if (sigprocmask(SIG_BLOCK, &forwarded, &previousMask) != 0 && errno == 0) {",
     r"^SignalForwarding\."),
    ("failed vfork taken for a child", "src/process/childProcess.cc",
     "if (child < 0) {", "if (child < -1) {", r"^ChildProcess\."),
    ("failed waitid ignored", "src/process/childProcess.cc",
     "WEXITED | WNOWAIT) != 0) {\n        if (errno != EINTR) {\n            throwWaitFailure();",
     "WEXITED | WNOWAIT) != 0) {\n        if (errno != EINTR) {\n            return;",
     r"^ChildProcess\."),
    ("failed waitpid taken for status 0", "src/process/childProcess.cc",
     "            throwWaitFailure();\n        }\n    }\n    if (WIFSIGNALED",
     "            return 0;\n        }\n    }\n    if (WIFSIGNALED", r"^ChildProcess\."),
    ("status kept past a control character", "src/notify/applicationChannel.cc",
     "(unsigned char)text[length] >= 0x20 &&", "text[length] != 0 &&",
     r"^ManagerMessageTest\."),
    ("STOPPING=1 for HUP", "src/process/signalForwarding.cc",
     "if (signal == SIGTERM || signal == SIGINT) {",
     "if (signal == SIGTERM || signal == SIGINT || signal == SIGHUP) {",
     r"^e2e\.test_service_notify\.ServiceNotifyTest"),
    ("another user's crash report announced", "src/process/crashReport.cc",
     "status.st_uid == geteuid()", "1", r"^CrashReportTest\."),
    ("the last run's heap dump bounded away", "src/process/crashReport.cc",
     "int recent = seconds[order[k]] >= started;",
     "int recent = seconds[order[k]] > started + 1000000;",
     r"^CrashDirectoryTest\."),
    ("connect bound 9 s instead of 2 s", "src/launcher/commandChannel.cc",
     "connectMillis = 2000;", "connectMillis = 9000;", r"^CommandChannel\."),
    ("send without MSG_NOSIGNAL", "src/launcher/commandChannel.cc",
     "strlen(command), MSG_NOSIGNAL)", "strlen(command), 0)",
     r"^(CommandChannel\.|e2e\.test_faults\.Shell)"),
    ("restart turn at the child's start", "src/process/restartPace.cc",
     "turn.tv_sec += 1;", "turn.tv_sec += 0;", r"^RestartPace\."),
    ("restart without waiting for its turn", "src/process/restartPace.cc",
     "childStarted && awaitUnlessStopped(getRestartTurn())", "childStarted && 0",
     r"^(RestartPace\.|e2e\.test_process_faults\.StopBeatsRestart)"),
    ("app image left at mode 0700", "src/pack/image/appImage.cc",
     "chmod(temporary, 0777 & ~mask) == 0 && ", "", r"^pack\.AppImageRuntime"),
    ("temporary image left after a failure", "src/pack/image/appImage.cc",
     "        removeTree(temporary);\n", "", r"^pack\.AppImageRuntime"),
    ("image named '..'", "src/pack/image/appImage.cc",
     'strcmp(last, "..") == 0', "0", r"^pack\.AppImageRuntime"),
    ("closed socket's leftover line taken as its owner", "java/src/com/larkwin/app/SocketOwners.java",
     'fields[9].equals("0")', "false", r"^java\.SocketOwnersTest"),
    ("IPv6 mapped form not matched", "java/src/com/larkwin/app/SocketOwners.java",
     "\n                || local.equals(mappedSender) && remote.equals(mappedReceiver)", "",
     r"^java\.SocketOwnersTest"),
    ("dump's exit status ignored", "src/cache/cacheAssembly.cc",
     "return WIFEXITED(status) && WEXITSTATUS(status) == 0;", "return 1;", r"^CacheAssembly\."),
    ("a failed dump's temporary archive kept", "src/cache/cacheAssembly.cc",
     "            unlink(trainee);\n            unlink(recordPath);",
     "            unlink(recordPath);", r"^CacheAssembly\."),
    ("detached assembly at normal priority", "src/cache/cacheAssembly.cc",
     "            setpriority(PRIO_PROCESS, 0, 19);\n", "", r"^CacheAssembly\."),
    ("merged archive one byte past the largest offset", "src/pack/zip/zipMerge.cc",
     "if (position > limits.largestOffset) {", "if (position > limits.largestOffset + 1) {",
     r"^BundleLimits\."),
    ("input one byte over the largest input", "src/pack/zip/zipArchive.cc",
     "if (fileSize > limits.largestInput) {", "if (fileSize > limits.largestInput + 1) {",
     r"^BundleLimits\."),
]


def run(command, cwd, log):
    with open(log, "ab") as out:
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                              timeout=3600).returncode


def prepare(copy, log):
    """A copy of the tracked files of the working tree, configured and built."""
    if not os.path.isdir(copy):
        files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                               capture_output=True).stdout.decode().split("\0")
        for name in filter(None, files):
            target = os.path.join(copy, name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(os.path.join(ROOT, name), target)
    if run(["cmake", "--preset", "default"], copy, log) != 0 or \
            run(["cmake", "--build", "build", "-j2"], copy, log) != 0:
        sys.exit("the unchanged copy does not build; see " + log)


def check(copy, log, mutation):
    name, relative, old, new, tests = mutation
    path = os.path.join(copy, relative)
    with open(path) as source:
        original = source.read()
    if original.count(old) != 1:
        return "edit not found"
    try:
        with open(path, "w") as source:
            source.write(original.replace(old, new))
        if run(["cmake", "--build", "build", "-j2"], copy, log) != 0:
            return "not built"
        status = run(["ctest", "--test-dir", "build", "-R", tests, "--no-tests=error"], copy, log)
        return "caught" if status != 0 else "SURVIVED"
    finally:
        with open(path, "w") as source:
            source.write(original)


def main(arguments):
    copy = "/tmp/larkwin-mutation"
    if arguments[:1] == ["--dir"]:
        copy, arguments = arguments[1], arguments[2:]
    log = os.path.join(os.path.dirname(copy.rstrip("/")) or ".", "larkwin-mutation.log")
    prepare(copy, log)
    chosen = [m for m in MUTATIONS if not arguments or m[0] in arguments]
    # The tests pass unchanged, or nothing below means anything.
    union = "|".join("(%s)" % m[4] for m in chosen)
    if run(["ctest", "--test-dir", "build", "-R", union], copy, log) != 0:
        sys.exit("the tests fail without a fault; see " + log)
    caught = 0
    for mutation in chosen:
        result = check(copy, log, mutation)
        caught += result == "caught"
        print("%-50s %-16s %s" % (mutation[0], result, mutation[1]), flush=True)
    run(["cmake", "--build", "build", "-j2"], copy, log)
    print("%d of %d caught (log: %s)" % (caught, len(chosen), log))
    return 0 if caught == len(chosen) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
