#!/usr/bin/env python3
"""Side-by-side speed of two engine builds: old and new in turn (A B A B ...), so drift of the
machine's speed touches both alike, then the median ratio per benchmark.

The benchmark drives the engine through the C interface only, so one benchmark binary measures
either library: the old one is loaded through LD_LIBRARY_PATH. Without --old-lib the old engine
is built (Release) from --base in a worktree under /tmp, never inside this checkout.

  bench/compare.py --base <commit> [--pairs 5] [--new-build build-release]
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, **kw):
    """A build step; its output goes to stderr, leaving stdout to the table."""
    print("+", " ".join(cmd), file=sys.stderr)
    kw.setdefault("stdout", sys.stderr)
    subprocess.run(cmd, check=True, **kw)


def build(source, build_dir, targets):
    run(["cmake", "-S", source, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
         "-DCORVENA_BUILD_APP=OFF", "-DCORVENA_BUILD_TESTS=OFF"], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", build_dir, "-j2", "--target", *targets])


def old_library(base):
    commit = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", base], check=True,
                            capture_output=True, text=True).stdout.strip()
    tree = os.path.join(tempfile.gettempdir(), "corvena-old-" + commit)
    if not os.path.isdir(tree):
        run(["git", "-C", ROOT, "worktree", "add", "--detach", tree, commit])
    build(tree, os.path.join(tree, "build-release"), ["Corvena_Core"])
    return os.path.join(tree, "build-release", "lib")


def measure(bench, library_dir, resources):
    env = dict(os.environ, LD_LIBRARY_PATH=library_dir, CORVENA_BENCH_RESOURCES=resources)
    out = subprocess.run([bench, "--benchmark_format=json"], check=True, env=env,
                         capture_output=True, text=True).stdout
    return {b["name"].replace("/iterations:3", ""): b["ns_per_frame"]
            for b in json.loads(out)["benchmarks"]}


def marginal(figures):
    """Least-squares slope of ns per frame over the voice count, from 1 voice up."""
    points = [(int(name.split("/")[1]), value) for name, value in figures.items()
              if name.startswith("SawtoothVoices/") and int(name.split("/")[1]) > 0]
    if len(points) < 2:
        return None
    mx = statistics.mean(x for x, _ in points)
    my = statistics.mean(y for _, y in points)
    return sum((x - mx) * (y - my) for x, y in points) / sum((x - mx) ** 2 for x, _ in points)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--base", help="commit of the old engine (built in /tmp)")
    parser.add_argument("--old-lib", help="folder holding an old libCorvena_Core.so.1")
    parser.add_argument("--new-build", default=os.path.join(ROOT, "build-release"),
                        help="Release build folder of this checkout (built if needed)")
    parser.add_argument("--pairs", type=int, default=5)
    args = parser.parse_args()
    if not args.old_lib and not args.base:
        parser.error("give --base or --old-lib")

    build(ROOT, args.new_build, ["Corvena_Core", "corvena_engine_benchmark"])
    new_lib = os.path.join(args.new_build, "lib")
    resources = os.path.join(new_lib, "Resources.bundle")
    bench = os.path.join(args.new_build, "bench", "corvena_engine_benchmark")
    old_lib = args.old_lib or old_library(args.base)

    old_runs, new_runs = [], []
    for i in range(args.pairs):
        print(f"pair {i + 1}/{args.pairs}", file=sys.stderr)
        old_runs.append(measure(bench, old_lib, resources))
        new_runs.append(measure(bench, new_lib, resources))

    print(f"{'median of ' + str(args.pairs) + ' pairs':36} {'old ns/frame':>13} {'x RT':>6} "
          f"{'new ns/frame':>13} {'x RT':>6} {'old/new':>8}")
    for name in new_runs[0]:
        old = statistics.median(r[name] for r in old_runs)
        new = statistics.median(r[name] for r in new_runs)
        ratio = statistics.median(o[name] / n[name] for o, n in zip(old_runs, new_runs))
        print(f"{name:36} {old:13.1f} {1e9 / 44100 / old:6.0f} {new:13.1f} "
              f"{1e9 / 44100 / new:6.0f} {ratio:8.2f}")
    old_m = statistics.median(marginal(r) for r in old_runs)
    new_m = statistics.median(marginal(r) for r in new_runs)
    ratio_m = statistics.median(marginal(o) / marginal(n) for o, n in zip(old_runs, new_runs))
    print(f"{'one more voice (slope, 1..8)':36} {old_m:13.1f} {'':6} {new_m:13.1f} {'':6} "
          f"{ratio_m:8.2f}")


if __name__ == "__main__":
    main()
