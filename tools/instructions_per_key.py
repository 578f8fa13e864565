#!/usr/bin/env python3
"""Counts instructions per key of benchmarks that type the first N keys of a text.

Each benchmark runs once (one iteration) under cachegrind at two lengths; the difference in
instructions divided by the difference in keys cancels everything that does not depend on the
length (start-up, reading the text, building tables). Writes a JSON object mapping each
benchmark name (without its key count) to instructions per key.

usage: instructions_per_key.py OUT.json SHORT LONG BINARY:NAME [BINARY:NAME...]
"""
import concurrent.futures
import json
import re
import subprocess
import sys

PARALLEL = 3


def instructions(binary, name, keys):
    pattern = "^" + re.escape(f"{name}/keys:{keys}") + "$"
    run = subprocess.run(
        ["valgrind", "--tool=cachegrind", "--cache-sim=no", "--cachegrind-out-file=/dev/null",
         binary, f"--benchmark_filter={pattern}", "--benchmark_min_time=1e-9"],
        capture_output=True, text=True, check=True)
    if f"{name}/keys:{keys}" not in run.stdout:
        raise SystemExit(f"{binary} ran no benchmark named {name}/keys:{keys}")
    found = re.search(r"I\s+refs:\s+([\d,]+)", run.stderr)
    if not found:
        raise SystemExit(f"no instruction count from cachegrind for {name}")
    return int(found.group(1).replace(",", ""))


def per_key(job, short, long):
    binary, name = job.split(":", 1)
    counts = [instructions(binary, name, keys) for keys in (short, long)]
    return name, (counts[1] - counts[0]) / (long - short)


def main(out, short, long, jobs):
    short, long = int(short), int(long)
    with concurrent.futures.ThreadPoolExecutor(PARALLEL) as pool:
        results = dict(pool.map(lambda job: per_key(job, short, long), jobs))
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"instructions_per_key": results}, f, indent=1)


if __name__ == "__main__":
    if len(sys.argv) < 5:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:])
