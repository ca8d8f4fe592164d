#!/usr/bin/env python3
"""Times the Python module against the program on the same study.

For each mesh (L x L, N), 21 rounds interleave a run of the program
(`--routes tail --q 0,0`: the whole grid is computed, the table is one row)
and a Python process that imports the module, calls it once on the default
8 x 8 mesh (so that its code is paged in, as the program's is by its start)
and then times lattice_bubble.bubble(route="tail", lattice=L, frequencies=N),
the grid of every q handed to numpy. The program's time is its whole process, the
module's the call (its whole process in brackets); the table gives the
medians, their ratio and the peak resident memory of each.

usage: bench/python_bench.py [--program PATH] [--module-dir DIR] [--rounds R] [--mesh L,N ...]
The module is looked for in DIR (default build/python/src, else build/default/src).
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CALL = """
import resource, sys, time
sys.path.insert(0, sys.argv[1])
import lattice_bubble
lattice_bubble.bubble(route="tail", lattice=8, frequencies=8)  # the module's first call: its code paged in
start = time.perf_counter()
chi = lattice_bubble.bubble(route="tail", lattice=int(sys.argv[2]), frequencies=int(sys.argv[3]))
print(time.perf_counter() - start, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024)
"""


def run(command):
    """Wall seconds, the child's peak resident bytes and its standard output."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(command)} failed")
    return time.perf_counter() - start, usage.ru_maxrss * 1024, out


def first_existing(*paths):
    return next((os.path.normpath(p) for p in paths if os.path.exists(p)), None)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    build = os.path.join(HERE, "..", "build")
    parser.add_argument("--program", default=first_existing(os.path.join(build, "python", "src", "lattice_bubble"),
                                                            os.path.join(build, "default", "src", "lattice_bubble")))
    parser.add_argument("--module-dir", default=first_existing(os.path.join(build, "python", "src"),
                                                               os.path.join(build, "default", "src")))
    parser.add_argument("--rounds", type=int, default=21)
    parser.add_argument("--mesh", action="append", help="L,N (default 128,512 and 256,1024)")
    args = parser.parse_args()
    if not args.program or not args.module_dir:
        sys.exit("python_bench.py: build the python preset first (README, Python)")
    print(f"{args.rounds} interleaved rounds; program {args.program}; module from {args.module_dir}\n")
    print("| mesh (L x L, N) | program | module call (process) | ratio | program memory | module process memory |")
    print("|---|---:|---:|---:|---:|---:|")
    for mesh in args.mesh or ["128,512", "256,1024"]:
        lattice, frequencies = mesh.split(",")
        program, call, process, program_peak, module_peak = [], [], [], 0, 0
        for _ in range(args.rounds):
            seconds, peak, _ = run([args.program, "--routes", "tail", "--lattice", lattice, "--frequencies",
                                    frequencies, "--q", "0,0"])
            program.append(seconds)
            program_peak = max(program_peak, peak)
            seconds, peak, out = run([sys.executable, "-c", CALL, args.module_dir, lattice, frequencies])
            call.append(float(out.split()[0]))
            process.append(seconds)
            module_peak = max(module_peak, peak)
        p, c, w = (statistics.median(x) for x in (program, call, process))
        print(f"| {lattice} x {lattice}, {frequencies} | {p:.3f} s | {c:.3f} s ({w:.3f} s) | {c / p:.3f} | "
              f"{program_peak / 1e9:.3f} GB | {module_peak / 1e9:.3f} GB |")


if __name__ == "__main__":
    main()
