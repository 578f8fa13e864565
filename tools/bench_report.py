#!/usr/bin/env python3
"""Prints one table from Google Benchmark JSON reports, with each figure's target beside it.

usage: bench_report.py REPORT.json...
"""
import json
import re
import sys

# (benchmark name pattern, target as shown, check on the row's figure in its own unit)
TARGETS = [
    (r"^BM_(Type)(Telex|Vni)", "<= 150 ns/key, 0 allocations", lambda f: f["ns"] <= 150),
    (r"^BM_Push", "(part of the above)", None),
    (r"^BM_ProcessKey", "<= 400 ns/key, flat, no heap growth", lambda f: f["ns"] <= 400),
    (r"^BM_HostLoopPerKey", "<= 1 us/key, flat", lambda f: f["ns"] <= 1000),
    (r"^BM_HostLoopKeyMedian", "median <= 1 us/key", lambda f: f["ns"] <= 1000),
    (r"^BM_SessionNew", "<= 50 us", lambda f: f["ns"] <= 50_000),
    (r"^BM_SessionMemory", "<= 64 KiB per session", lambda f: f["bytes"] <= 64 * 1024),
    (r"^BM_EncodeBytes", ">= 300 MB/s", lambda f: f["mbps"] >= 300),
    (r"^(encode|decode)_bytes/", ">= 300 MB/s, linear", lambda f: f["mbps"] >= 300),
    (r"^BM_Plan", "<= 100 ns/plan", lambda f: f["ns"] <= 100),
    (r"^Utf16Len", ">= 1 GB/s, linear", lambda f: f["mbps"] >= 1000),
    (r".", "", None),
]

TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def figure(bench):
    """The row's main figure: time per key, throughput, memory, or time per iteration."""
    counters = {k: v for k, v in bench.items() if isinstance(v, (int, float))}
    if "median_ns" in counters:
        ns = counters["median_ns"]
        return {"ns": ns, "text": f"{ns:,.0f} ns/key (median)"}
    if "bytes_fresh" in counters:
        size = counters["bytes_fresh"]
        return {"bytes": size, "text": f"{size / 1024:,.1f} KiB"}
    per_key = [k for k in counters if k.endswith("per_key") and not k.startswith("allocs")]
    if per_key:
        ns = counters[per_key[0]] * 1e9
        return {"ns": ns, "text": f"{ns:,.0f} ns/key"}
    if "bytes_per_second" in counters:
        mbps = counters["bytes_per_second"] / 1e6
        return {"mbps": mbps, "text": f"{mbps:,.0f} MB/s"}
    ns = bench["real_time"] * TO_NS[bench.get("time_unit", "ns")]
    text = f"{ns / 1e3:,.1f} us" if ns >= 10_000 else f"{ns:,.0f} ns"
    return {"ns": ns, "text": text}


NOTE_COUNTERS = ("allocs_per_key", "heap_growth_bytes", "median_ns", "p99_ns", "bytes_fresh", "bytes_after_typing")


def notes(bench):
    parts = []
    for key in NOTE_COUNTERS:
        if key in bench:
            value = bench[key]
            parts.append(f"{key}={value:,.2f}" if key == "allocs_per_key" else f"{key}={value:,.0f}")
    return ", ".join(parts)


def rows(reports):
    for report in reports:
        for bench in report["benchmarks"]:
            if bench.get("run_type") == "aggregate" and bench.get("aggregate_name") != "median":
                continue
            name = bench.get("run_name", bench["name"]) if bench.get("run_type") == "aggregate" else bench["name"]
            if bench.get("run_type") == "aggregate":
                name += " (median)"
            fig = figure(bench)
            for pattern, target, check in TARGETS:
                if re.search(pattern, name):
                    verdict = "" if check is None else ("met" if check(fig) else "MISSED")
                    yield name, fig["text"], target, verdict, notes(bench)
                    break


def main(paths):
    reports = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            reports.append(json.load(f))
    table = list(rows(reports))
    headers = ("benchmark", "figure", "target", "", "notes")
    widths = [max(len(str(r[i])) for r in table + [headers]) for i in range(len(headers))]
    line = lambda r: " | ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()
    print(line(headers))
    print("-+-".join("-" * w for w in widths))
    for r in table:
        print(line(r))


if __name__ == "__main__":
    main(sys.argv[1:])
