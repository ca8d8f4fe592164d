#!/usr/bin/env python3
"""Times studies of the built program against the same route in numpy.

Each mesh and route runs as a process of its own (peak memory only grows
within a process), several times; the time is the median wall time of the
runs, the memory the largest peak resident set of any run, both from the
child's own rusage (os.wait4). Beside each mesh the numpy baseline
(bench/numpy_route.py, the route as a user would write it) runs in the same
way when numpy is installed and its grids fit in memory; its time is the
computation it reports, without the start of Python and numpy, which only
favours it (its whole process's time in brackets). The table gives the ratios
and the memory bound 1.3 x L^2 (N + 1) x 16 bytes per Fourier route plus
64 MB. A second table gives the direct sums' rate in terms a second on the
Matsubara axis (256 x 256, 1025 frequencies, 4 wave vectors) and on the real
axis (128 x 128 along the path, 501 frequencies).

usage: bench/study_bench.py [--program PATH] [--threads K] [--repeat R]
                            [--mesh L,N ...] [--routes fourier,tail] [--no-direct]
The program is the one the README's build makes (build/program, else
build/default), unless --program names another.
"""
import argparse
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def measure(command, repeat, env=None):
    """Median wall seconds, largest peak resident bytes and the outputs of `repeat` runs."""
    times, peaks, outs = [], [], []
    for _ in range(repeat):
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
        out = child.stdout.read()
        child.stdout.close()
        _, status, usage = os.wait4(child.pid, 0)  # the child's own rusage
        times.append(time.perf_counter() - start)
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            sys.exit(f"{' '.join(command)} failed with status {child.returncode}")
        peaks.append(usage.ru_maxrss * 1024)  # kilobytes on Linux
        outs.append(out)
    return statistics.median(times), max(peaks), outs


def built_program():
    """The README's build of the program, else lattice_bubble on the search path."""
    for build in ("program", "default"):
        path = os.path.join(HERE, "..", "build", build, "src", "lattice_bubble")
        if os.access(path, os.X_OK):
            return os.path.normpath(path)
    return shutil.which("lattice_bubble")


def available_memory():
    with open("/proc/meminfo") as info:
        for line in info:
            if line.startswith("MemAvailable:"):
                return int(line.split()[1]) * 1024
    return 0


def numpy_available():
    return subprocess.run([sys.executable, "-c", "import numpy"], capture_output=True).returncode == 0


def processor():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default=built_program())
    parser.add_argument("--threads", type=int, default=os.cpu_count())
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--mesh", action="append", help="L,N (default 64,256, 256,1024, 240,960 and 97,100)")
    parser.add_argument("--routes", default="fourier,tail")
    parser.add_argument("--no-direct", action="store_true", help="leave out the direct sums' table")
    args = parser.parse_args()
    if args.program is None or not os.access(args.program, os.X_OK):
        sys.exit("study_bench.py: no lattice_bubble found: build it first (README, Run and test) or give --program")
    meshes = [tuple(int(v) for v in m.split(",")) for m in (args.mesh or ["64,256", "256,1024", "240,960", "97,100"])]
    routes = args.routes.split(",")
    with_numpy = numpy_available()

    print(f"machine: {processor()}, {os.cpu_count()} processors; program on {args.threads} threads; "
          f"median of {args.repeat} runs; numpy {'beside it' if with_numpy else 'not installed'}\n")
    print("numpy time: its own computation (in brackets its whole process, with the start of Python and numpy); "
          "the program's time is always its whole process\n")
    print("| mesh (L x L, N) | route | time | peak memory | memory bound | numpy time | numpy memory | time ratio |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for lattice, frequencies in meshes:
        numpy_time = numpy_peak = numpy_process = None
        # The numpy route holds about six grids of L^2 (N + 1) values; where that would not fit it is left out.
        if with_numpy and 6 * lattice * lattice * (frequencies + 1) * 16 < 0.8 * available_memory():
            env = {k: v for k, v in os.environ.items() if k not in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE")}
            numpy_process, numpy_peak, outs = measure([sys.executable, os.path.join(HERE, "numpy_route.py"), str(lattice),
                                           str(frequencies)], args.repeat, env)
            numpy_time = statistics.median(float(re.search(r": ([0-9.]+) s,", out).group(1)) for out in outs)
        bound = 1.3 * lattice * lattice * (frequencies + 1) * 16 + 64e6
        for route in routes:
            centre = lattice // 2
            command = [args.program, "--lattice", str(lattice), "--frequencies", str(frequencies), "--routes",
                       route, "--q", f"{centre},{centre}", "--threads", str(args.threads)]
            seconds, peak, _ = measure(command, args.repeat)
            # numpy's computation of a small mesh can round to 0 s: the ratio is then left out.
            ratio = (f"{seconds / numpy_time:.3f} ({seconds / numpy_process:.3f})" if numpy_time else "-")
            numpy_cells = (f"{numpy_time:.2f} s ({numpy_process:.2f} s) | {numpy_peak / 1e9:.2f} GB"
                           if numpy_time is not None else "- | -")
            print(f"| {lattice} x {lattice}, {frequencies} | {route} | {seconds:.3f} s | {peak / 1e9:.3f} GB | "
                  f"{bound / 1e9:.3f} GB | {numpy_cells} | {ratio} |")
    if not args.no_direct:
        direct_sums(args)


def direct_sums(args):
    """The direct route's rate: LX*LY terms per wave vector and frequency, the whole process timed."""
    band = ["--hopping", "-1", "--hopping2", "0.3", "--mu", "-0.8", "--offset", "0", "--beta", "20"]
    cases = [
        ("Matsubara axis, 256 x 256, 1025 frequencies, 4 q", 256 * 256 * 1025 * 4,
         ["--lattice", "256", "--frequencies", "1024", "--routes", "direct", "--q", "0,0", "--q", "128,128",
          "--q", "64,0", "--q", "17,93"]),
        ("real axis, 128 x 128, 501 frequencies, the path (192 q)", 128 * 128 * 501 * 192,
         ["--lattice", "128", "--q", "path", "--real-axis", "-1,9,501", "--broadening", "0.05"] + band),
    ]
    print("\n| direct sums | terms | time | terms a second |")
    print("|---|---:|---:|---:|")
    for name, terms, options in cases:
        seconds, _, _ = measure([args.program, *options, "--threads", str(args.threads)], args.repeat)
        print(f"| {name} | {terms:.3g} | {seconds:.3f} s | {terms / seconds:.3g} |")


if __name__ == "__main__":
    main()
