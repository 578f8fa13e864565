#!/usr/bin/env python3
"""Prints one table from Google Benchmark JSON reports, with each figure's target beside it.

A report named instructions*.json (from instructions_per_key.py) adds the instructions per key
of the benchmarks it names to their rows; one counted with --calls adds, after a benchmark's
rows, a row of where its instructions per key go: into each call to the engine, and the rest
(the host's own work).

usage: bench_report.py REPORT.json...
"""
import os
import json
import re
import sys

# (benchmark name pattern, target as shown, check on the row's figure in its own unit)
TARGETS = [
    (r"^BM_FcitxKey/(window|line|late)/quorvix_replace/surrounding:64/",
     "adds <= 2,500 instr/key to the keyboard input method's", lambda f: added_at_most(f, 2500)),
    (r"^BM_FcitxKey/(window|line|late)/quorvix_replace/", "adds <= 2,500, within 10% of what it adds with 64 characters",
     lambda f: added_at_most(f, 2500) and flat(f)),
    (r"^BM_FcitxKey/(window|line|late)/quorvix_preedit/surrounding:64/",
     "adds <= 2,000 instr/key to the keyboard input method's", lambda f: added_at_most(f, 2000)),
    (r"^BM_FcitxKey/(window|line|late)/quorvix_preedit/", "adds <= 2,000, within 10% of what it adds with 64 characters",
     lambda f: added_at_most(f, 2000) and flat(f)),
    (r"^BM_FcitxKey/nothing/quorvix", "(no surrounding text: pre-edit in either mode; for comparison)", None),
    (r"^BM_FcitxKey/\w+/keyboard", "(the keyboard input method in the same instance: the base)", None),
    (r"^BM_(ConfigReload|FocusAfterReload)", "<= 30 ms of the main loop, 10,000 macros, any number of contexts",
     lambda f: f["ns"] <= 30e6),
    (r"^BM_AltComma", "<= 30 ms of the main loop, 10,000 macros", lambda f: f["ns"] <= 30e6),
    (r"^BM_HostLoopText/", "<= 300 ns/key, flat; <= 1,700 instr/key; 0 allocs/key",
     lambda f: f["ns"] <= 300 and f.get("instr", 0) <= 1700 and f.get("allocs", 0) == 0),
    (r"^BM_HostLoopTypesText/", "the document equals the text", lambda f: f.get("typed") == 1),
    (r"^BM_SessionText/", "<= 150 ns/key, 0 allocs/key", lambda f: f["ns"] <= 150 and f.get("allocs", 0) == 0),
    (r"^BM_TypeText/", "<= 60 ns/key (about 400 instr/key), 0 allocs/key",
     lambda f: f["ns"] <= 60 and f.get("allocs", 0) == 0),
    (r"^BM_EncodeVsIconv/", ">= 2x iconv, same run", lambda f: f["ratio"] >= 2),
    (r"^BM_DecodeVsIconv/", ">= 3x iconv, same run", lambda f: f["ratio"] >= 3),
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


def added_at_most(fig, limit):
    """Whether Quorvix adds at most `limit` instructions per key to the keyboard input method's."""
    return fig.get("added", float("inf")) <= limit


def flat(fig):
    """Whether Quorvix adds within 10% of what it adds with 64 characters of surrounding text."""
    at_64 = fig.get("added_at_64")
    return at_64 is not None and abs(fig.get("added", float("inf")) - at_64) <= 0.1 * abs(at_64)


def figure(bench):
    """The row's main figure: time per key, throughput, memory, or time per iteration."""
    counters = {k: v for k, v in bench.items() if isinstance(v, (int, float))}
    extra = {}
    if "allocs_per_key" in counters:
        extra["allocs"] = counters["allocs_per_key"]
    if "typed_as_text" in counters:
        extra["typed"] = counters["typed_as_text"]
    return {**main_figure(bench, counters), **extra}


def main_figure(bench, counters):
    if "ratio" in counters:
        return {"ratio": counters["ratio"], "text": f"{counters['mbps']:,.0f} MB/s = {counters['ratio']:.2f}x iconv"}
    if "typed_as_text" in counters:
        return {"text": "equal" if counters["typed_as_text"] == 1 else "DIFFERENT"}
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


NOTE_COUNTERS = ("added_instr_per_key", "allocs_per_key", "heap_growth_bytes", "median_ns", "p99_ns", "bytes_fresh", "bytes_after_typing",
                 "iconv_mbps", "same_bytes_as_iconv")


def notes(bench):
    parts = []
    for key in NOTE_COUNTERS:
        if key in bench:
            value = bench[key]
            parts.append(f"{key}={value:,.2f}" if key == "allocs_per_key" else f"{key}={value:,.0f}")
    return ", ".join(parts)


def family(name):
    """The benchmark's name without its length argument and aggregate suffix."""
    return re.sub(r"/keys:\d+.*$", "", name)


def added_by_quorvix(name, instructions):
    """What Quorvix adds per key to the keyboard input method's instructions with the same
    surrounding text ("added"), and with 64 characters of it ("added_at_64")."""
    def added(quorvix):
        keyboard = instructions.get(re.sub(r"/quorvix_\w+/", "/keyboard/", quorvix))
        own = instructions.get(quorvix)
        return None if own is None or keyboard is None else own - keyboard
    figures = {"added": added(name), "added_at_64": added(re.sub(r"surrounding:\d+", "surrounding:64", name))}
    return {key: value for key, value in figures.items() if value is not None}


def rows(reports, instructions):
    for report in reports:
        for bench in report["benchmarks"]:
            if bench.get("run_type") == "aggregate" and bench.get("aggregate_name") != "median":
                continue
            name = bench.get("run_name", bench["name"]) if bench.get("run_type") == "aggregate" else bench["name"]
            if bench.get("run_type") == "aggregate":
                name += " (median)"
            fig = figure(bench)
            instr = instructions.get(family(name))
            if instr is not None:
                fig["instr"] = instr
            if re.match(r"BM_FcitxKey/\w+/quorvix", name):
                fig.update(added_by_quorvix(family(name), instructions))
                if "added" in fig:
                    bench = dict(bench, added_instr_per_key=fig["added"])
            for pattern, target, check in TARGETS:
                if re.search(pattern, name):
                    verdict = "" if check is None else ("met" if check(fig) else "MISSED")
                    instr_text = f"{instr:,.0f}" if instr is not None else ""
                    yield name, fig["text"], instr_text, target, verdict, notes(bench)
                    break


def call_rows(table, instructions, calls):
    """The table with a row after each benchmark's last row telling where its instructions go."""
    out = []
    for i, row in enumerate(table):
        out.append(row)
        name = family(row[0].removesuffix(" (median)"))
        following = family(table[i + 1][0].removesuffix(" (median)")) if i + 1 < len(table) else None
        if name in calls and following != name:
            split = calls[name]
            inside = sum(split.values())
            parts = [f"{call.removeprefix('qrx_')}={value:,.0f}" for call, value in split.items()]
            parts.append(f"host's own={instructions.get(name, inside) - inside:,.0f}")
            out.append((f"{name} (per call)", f"{inside:,.0f} instr/key in the calls", "",
                        "(where the instructions per key go)", "", ", ".join(parts)))
    return out


def main(paths):
    reports = []
    instructions = {}
    calls = {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            report = json.load(f)
        if os.path.basename(path).startswith("instructions"):
            instructions.update(report["instructions_per_key"])
            calls.update(report.get("calls_per_key", {}))
        else:
            reports.append(report)
    table = call_rows(list(rows(reports, instructions)), instructions, calls)
    headers = ("benchmark", "figure", "instr/key", "target", "", "notes")
    widths = [max(len(str(r[i])) for r in table + [headers]) for i in range(len(headers))]
    line = lambda r: " | ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()
    print(line(headers))
    print("-+-".join("-" * w for w in widths))
    for r in table:
        print(line(r))


if __name__ == "__main__":
    main(sys.argv[1:])
