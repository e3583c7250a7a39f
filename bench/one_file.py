"""The one file beside the app image: sizes, the start after the first, the
first start's unpacking, and what jlink's --compress costs and saves.
Interleaved runs, medians with quartiles; prints Markdown (bench/ONE_FILE.md
quotes it). A minute or two.

Usage: one_file.py BUILD [RUNS]   (BUILD holds larkwin and larkwin-pack)
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HOME = os.path.realpath(os.path.dirname(os.path.dirname(shutil.which("javac"))))
HERE = os.path.dirname(os.path.abspath(__file__))


def timed(command, env):
    start = time.perf_counter()
    subprocess.run(command, env=env, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def summary(times):
    q = statistics.quantiles(times, n=4)
    return "%.1f ms (%.1f-%.1f)" % (statistics.median(times) * 1e3, q[0] * 1e3, q[2] * 1e3)


def tree_size(path):
    return sum(os.lstat(os.path.join(d, f)).st_size for d, _, fs in os.walk(path) for f in fs)


def make(top, pack, compress):
    jre = os.path.join(top, "jre-" + compress)
    subprocess.run([os.path.join(HOME, "bin", "jlink"), "--add-modules", "java.base",
                    "--strip-debug", "--no-man-pages", "--no-header-files",
                    "--compress=" + compress, "--output", jre], check=True)
    subprocess.run([os.path.join(jre, "bin", "java"), "-Xshare:dump"], check=True,
                   stdout=subprocess.DEVNULL)
    common = ["--runtime", jre, "--main-class", "Hello", "--no-startup-cache", "--quiet",
              os.path.join(top, "hello.jar")]
    image = os.path.join(top, "image-" + compress)
    one = os.path.join(top, "one-" + compress)
    subprocess.run([pack, "--app-image", image] + common, check=True)
    subprocess.run([pack, "-o", one] + common, check=True)
    return jre, os.path.join(image, "bin", "image-" + compress), one


def main(build, runs):
    top = tempfile.mkdtemp(prefix="larkwin-bench-onefile-")
    subprocess.run(["javac", "-d", top, os.path.join(HERE, "Hello.java")], check=True)
    subprocess.run(["jar", "cf", os.path.join(top, "hello.jar"), "-C", top, "Hello.class"],
                   check=True)
    pack = os.path.join(build, "larkwin-pack")
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(top, "cache"))
    print("| jlink --compress | runtime | image folder | image .tar.xz | one file |"
          " image start | one file start (later) | one file first start | unpack per MB |")
    print("|---|---|---|---|---|---|---|---|---|")
    for compress in ("0", "2"):
        jre, image, one = make(top, pack, compress)
        tar = os.path.join(top, "image-%s.tar.xz" % compress)
        subprocess.run(["tar", "cJf", tar, "-C", top, "image-" + compress], check=True)
        timed([one], env)
        warm = {"image": [], "one": [], "first": []}
        cache = os.path.join(top, "cache")
        for _ in range(runs):
            warm["image"].append(timed([image], env))
            warm["one"].append(timed([one], env))
            first_env = dict(env, XDG_CACHE_HOME=os.path.join(top, "first"))
            warm["first"].append(timed([one], first_env))
            shutil.rmtree(os.path.join(top, "first"))
        mb = tree_size(jre) / 1e6
        unpack = (statistics.median(warm["first"]) - statistics.median(warm["one"])) / mb
        ratio = statistics.median(warm["one"]) / statistics.median(warm["image"])
        print("| %s | %.1f MB | %.1f MB | %.1f MB | %.1f MB | %s | %s (%.3fx) | %s | %.1f ms |" % (
            compress, mb, tree_size(os.path.dirname(os.path.dirname(image))) / 1e6,
            os.path.getsize(tar) / 1e6, os.path.getsize(one) / 1e6, summary(warm["image"]),
            summary(warm["one"]), ratio, summary(warm["first"]), unpack * 1e3))
        del cache
    shutil.rmtree(top, True)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 15)
