#!/usr/bin/env python3
"""Counts instructions per key of benchmarks that type the first N keys of a text.

Each benchmark runs once (one iteration) under cachegrind at two lengths; the difference in
instructions divided by the difference in keys cancels everything that does not depend on the
length (start-up, reading the text, building tables). Writes a JSON object mapping each
benchmark name (without its key count) to instructions per key.

With --calls F1,F2,... the benchmarks run under callgrind instead, and the JSON also maps each
benchmark name to the instructions per key spent inside each of those functions (their callees
included), under "calls_per_key": where a key's instructions go between the calls a host makes
and the host's own work.

usage: instructions_per_key.py [--calls F1,F2,...] OUT.json SHORT LONG BINARY:NAME [BINARY:NAME...]
"""
import concurrent.futures
import json
import os
import re
import subprocess
import sys
import tempfile

PARALLEL = 3


def run(binary, name, keys, calls, scratch):
    pattern = "^" + re.escape(f"{name}/keys:{keys}") + "$"
    args = [binary, f"--benchmark_filter={pattern}", "--benchmark_min_time=1e-9"]
    if calls:
        out = os.path.join(scratch, f"{re.sub(r'[^A-Za-z0-9]+', '_', name)}_{keys}.callgrind")
        tool = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"]
    else:
        out = None
        tool = ["valgrind", "--tool=cachegrind", "--cache-sim=no", "--cachegrind-out-file=/dev/null"]
    result = subprocess.run(tool + args, capture_output=True, text=True, check=True)
    if f"{name}/keys:{keys}" not in result.stdout:
        raise SystemExit(f"{binary} ran no benchmark named {name}/keys:{keys}")
    found = re.search(r"(?:I\s+refs|Collected)\s*:\s+([\d,]+)", result.stderr)
    if not found:
        raise SystemExit(f"no instruction count from valgrind for {name}")
    total = int(found.group(1).replace(",", ""))
    return total, (inclusive(out, calls) if calls else {})


def inclusive(profile, calls):
    """Instructions inside each function of `calls`, callees included, from a callgrind profile."""
    text = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--threshold=100", "--auto=no", profile],
                          capture_output=True, text=True, check=True).stdout
    costs = {}
    for call in calls:
        for line in text.splitlines():
            if re.search(r"[\s:]" + re.escape(call) + r"(?:\s|\[|$)", line) and "=>" not in line:
                costs[call] = int(re.match(r"\s*([\d,]+)", line).group(1).replace(",", ""))
                break
        else:
            costs[call] = 0
    return costs


def per_key(job, short, long, calls, scratch):
    binary, name = job.split(":", 1)
    (short_total, short_calls), (long_total, long_calls) = (run(binary, name, keys, calls, scratch)
                                                            for keys in (short, long))
    keys = long - short
    split = {call: (long_calls[call] - short_calls[call]) / keys for call in calls}
    return name, (long_total - short_total) / keys, split


def main(argv):
    calls = []
    if argv and argv[0] == "--calls":
        calls = [c for c in argv[1].split(",") if c]
        argv = argv[2:]
    if len(argv) < 4:
        raise SystemExit(__doc__)
    out, short, long, jobs = argv[0], int(argv[1]), int(argv[2]), argv[3:]
    with tempfile.TemporaryDirectory() as scratch, concurrent.futures.ThreadPoolExecutor(PARALLEL) as pool:
        results = list(pool.map(lambda job: per_key(job, short, long, calls, scratch), jobs))
    report = {"instructions_per_key": {name: total for name, total, _ in results}}
    if calls:
        report["calls_per_key"] = {name: split for name, _, split in results}
    with open(out, "w", encoding="utf-8") as f:
        json.dump(report, f, indent=1)


if __name__ == "__main__":
    main(sys.argv[1:])
