#!/usr/bin/env python3
"""Mutation testing of the engine: small faults are put into the engine's sources one at a time,
and each is checked against the unit tests of its module. A mutant the tests notice is killed;
one they do not notice survived (a gap in the tests, or a change that makes no difference).

  mutate.py list [--module M ...]                      count (and with -v show) the mutants
  mutate.py run --out FILE [--sample N] [--seed S]     run a (seeded) sample of the mutants
  mutate.py run --out FILE --same-as OLD               run exactly the mutants OLD ran
  mutate.py run --out FILE --same-as OLD --survivors   only those that survived in OLD, the rest
                                                       kept as OLD has them (for tests only added)
  mutate.py compare OLD NEW                            killed/total of both, and what changed
  mutate.py survivors FILE [--module M]                the surviving mutants, one a line

A mutant is identified by its file, line text, column and change, so the same sources give the
same identifiers in every run; a result file lists every mutant it ran with its outcome.
Each of up to three workers has its own copy of the tree and build directory, rebuilds only
the mutated object and the test programs of that module, and runs only those, with a timeout.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time
from dataclasses import asdict, dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = Path(os.environ.get("QRX_MUTATION_DIR", "/tmp/qrx-mutation"))
CMAKE_ARGS = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=None", "-DCMAKE_CXX_FLAGS=-O2", "-DCMAKE_C_FLAGS=-O2",
              "-DQRX_BUILD_BENCH=OFF"]

# ---- Mutant generation -------------------------------------------------------------------

# Binary operators as clang-format writes them (one space on each side), which tells them apart
# from template brackets, pointers, references and unary signs.
SWAPS = {
    " < ": [" <= "], " <= ": [" < "], " > ": [" >= "], " >= ": [" > "],
    " == ": [" != "], " != ": [" == "],
    " && ": [" || "], " || ": [" && "],
    " + ": [" - "], " - ": [" + "], " * ": [" / "], " / ": [" * "], " % ": [" * "],
    " & ": [" | "], " | ": [" & "], " ^ ": [" & "],
    " += ": [" -= "], " -= ": [" += "], " |= ": [" &= "], " &= ": [" |= "],
}
SWAP_RE = re.compile("|".join(re.escape(k) for k in sorted(SWAPS, key=len, reverse=True)))
INT_RE = re.compile(r"(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(?:[uUlL]*)(?![\w.])")
BOOL_RE = re.compile(r"\b(true|false)\b")
NOT_RE = re.compile(r"!(?!=)")
INCDEC_RE = re.compile(r"\+\+|--")
COND_RE = re.compile(r"\b(if|while) \(")
RETURN_RE = re.compile(r"^(\s*)return (.+);\s*$")
STATEMENT_RE = re.compile(r"^((if|for|while) \(|(break|continue);|(\+\+|--)\w|"
                          r"[\w.:\[\]>*-]+(\(| = | [-+|&]= |\+\+|--))")
# A parameter list (type and name) shows a function declaration, not a call.
DECLARATION_RE = re.compile(r"\((const )?[\w:<>]+[&*]? \w+\s*[,)=]")
TABLE_START_RE = re.compile(r"^\s*(static |inline )*(constexpr|const)\b[^;(]*(\[\]\s*)?=\s*\{")


@dataclass
class Mutant:
    id: str
    file: str
    line: int
    col: int
    op: str
    original: str
    replacement: str
    text: str  # the whole source line before mutation

    @property
    def module(self) -> str:
        return self.file.split("/")[1]


def mask(line: str, in_block: bool) -> tuple[str, bool]:
    """The line with string and character literals and comments blanked out (same length)."""
    out = []
    i = 0
    n = len(line)
    while i < n:
        if in_block:
            end = line.find("*/", i)
            if end < 0:
                out.append(" " * (n - i))
                return "".join(out), True
            out.append(" " * (end + 2 - i))
            i = end + 2
            in_block = False
            continue
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if line.startswith("/*", i):
            in_block = True
            continue
        m = re.match(r'(u8|u|U|L)?R"([^(]*)\(', line[i:])
        if m:
            close = ")" + m.group(2) + '"'
            end = line.find(close, i + m.end())
            end = n if end < 0 else end + len(close)
            out.append(" " * (end - i))
            i = end
            continue
        if c in "\"'":
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(" " * (j - i))
            i = j
            continue
        out.append(c)
        i += 1
    return "".join(out), in_block


def matching_paren(masked: str, open_at: int) -> int:
    depth = 0
    for i in range(open_at, len(masked)):
        if masked[i] == "(":
            depth += 1
        elif masked[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def line_mutations(masked: str, line: str):
    """(column, operator, original, replacement) for every mutation of one code line."""
    stripped = masked.strip()
    if not stripped or stripped.startswith("#") or "static_assert" in stripped or "operator" in stripped:
        return
    for m in SWAP_RE.finditer(masked):
        for rep in SWAPS[m.group(0)]:
            yield m.start(), "swap", m.group(0), rep
    for m in INT_RE.finditer(masked):
        text = m.group(0)
        value = int(m.group(1), 0)
        for delta in (1, -1):
            if value + delta < 0:
                continue
            new = (hex(value + delta) if m.group(1).startswith("0x") else str(value + delta))
            yield m.start(), "const", text, new + text[len(m.group(1)):]
    for m in BOOL_RE.finditer(masked):
        yield m.start(), "bool", m.group(0), "false" if m.group(0) == "true" else "true"
    for m in NOT_RE.finditer(masked):
        yield m.start(), "not", "!", ""
    for m in INCDEC_RE.finditer(masked):
        yield m.start(), "incdec", m.group(0), "--" if m.group(0) == "++" else "++"
    for m in COND_RE.finditer(masked):
        start = m.end() - 1
        end = matching_paren(masked, start)
        if end > 0:
            yield start, "negate", line[start:end + 1], "(!" + line[start:end + 1] + ")"
    m = RETURN_RE.match(masked)
    if m and m.group(2).strip() not in ("{}", "true", "false", "std::nullopt"):
        start = len(m.group(1)) + len("return ")
        value = line[start:line.rindex(";")]
        yield start, "return", value, "{}"
    # Whole-statement deletion: a complete one-line statement that does something (a call, an
    # assignment, a step, a jump or a one-line if or loop), never a declaration.
    if (stripped.endswith(";") and masked.count("(") == masked.count(")") and "{" not in stripped and
            STATEMENT_RE.match(stripped) and not DECLARATION_RE.search(stripped) and
            not stripped.endswith(("= default;", "= delete;")) and not re.match(r"^[A-Z]\w*\(", stripped)):
        indent = len(line) - len(line.lstrip())
        yield indent, "delete", line.strip(), ""


def source_files() -> list[str]:
    files = subprocess.run(["git", "ls-files", "engine/*/src/*", "engine/*/include/*"], cwd=ROOT,
                           capture_output=True, text=True, check=True).stdout.split()
    return sorted(f for f in files if f.endswith((".cpp", ".h")) and not f.endswith("quorvix.h"))


def generate(modules: list[str] | None = None) -> list[Mutant]:
    mutants = []
    for path in source_files():
        if modules and path.split("/")[1] not in modules:
            continue
        lines = (ROOT / path).read_text().split("\n")
        in_block = False
        seen: dict[str, int] = {}
        table_depth = None
        depth = 0
        for number, line in enumerate(lines, 1):
            masked, in_block = mask(line, in_block)
            if table_depth is None and TABLE_START_RE.match(masked):
                table_depth = depth
            depth += masked.count("{") - masked.count("}")
            if table_depth is not None:
                if depth <= table_depth:
                    table_depth = None
                continue
            for col, op, original, replacement in line_mutations(masked, line):
                key = f"{path}\0{line}\0{col}\0{op}\0{original}\0{replacement}"
                # The same line may stand more than once in a file: count its occurrences.
                seen[key] = seen.get(key, 0) + 1
                key += f"\0{seen[key]}"
                ident = hashlib.sha1(key.encode()).hexdigest()[:12]
                mutants.append(Mutant(ident, path, number, col, op, original, replacement, line))
    return mutants


def apply(mutant: Mutant, source: str) -> str | None:
    lines = source.split("\n")
    line = lines[mutant.line - 1]
    if line != mutant.text or line[mutant.col:mutant.col + len(mutant.original)] != mutant.original:
        return None
    if mutant.op == "delete":
        lines[mutant.line - 1] = ""
    else:
        lines[mutant.line - 1] = (line[:mutant.col] + mutant.replacement +
                                  line[mutant.col + len(mutant.original):])
    return "\n".join(lines)


# ---- Workers -----------------------------------------------------------------------------

def test_targets(module: str) -> list[str]:
    """The test programs of one engine module: one per folder of tests under tests/<module>."""
    targets = []
    for folder in sorted({p.parent for p in (ROOT / "tests" / module).rglob("*.cpp")}):
        targets.append("test_" + str(folder.relative_to(ROOT / "tests")).replace("/", "_"))
    if list((ROOT / "tests" / module).glob("*.c")):
        targets.append(f"test_{module}_c")
    return targets


def program_path(build: Path, target: str) -> Path:
    if target.endswith("_c"):  # the C programs live in their module's folder
        return build / "tests" / target[len("test_"):-len("_c")] / target
    return build / "tests" / target


class Worker:
    def __init__(self, index: int):
        self.src = WORK / f"w{index}" / "src"
        self.build = WORK / f"w{index}" / "build"
        self.objects: dict[str, str] = {}
        self.pristine: dict[str, str] = {}  # object hashes of the unmutated sources
        self.baseline: dict[str, float] = {}

    def sync(self) -> None:
        """Copies the tracked files into the worker's tree, leaving unchanged files untouched so
        that an earlier build stays valid."""
        files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                               check=True).stdout.split("\n")
        tracked = {name for name in files if name}
        # Files the tree no longer has must go too: the build globs its sources.
        for path in list(self.src.rglob("*")) if self.src.exists() else []:
            if path.is_file() and str(path.relative_to(self.src)) not in tracked:
                path.unlink()
        for name in sorted(tracked):
            source = ROOT / name
            if not source.is_file():
                continue
            target = self.src / name
            if target.is_file() and target.read_bytes() == source.read_bytes():
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, target)

    def prepare(self, modules: list[str]) -> None:
        self.sync()
        if not (self.build / "build.ninja").exists():
            subprocess.run(["cmake", "-S", self.src, "-B", self.build, *CMAKE_ARGS], check=True,
                           capture_output=True)
        targets = sorted({t for m in modules for t in test_targets(m)})
        subprocess.run(["cmake", "--build", self.build, "-j3", "--target", *targets], check=True,
                       capture_output=True)
        commands = json.loads((self.build / "compile_commands.json").read_text())
        for entry in commands:
            rel = os.path.relpath(entry["file"], self.src)
            out = entry.get("output") or re.search(r"-o (\S+)", entry["command"]).group(1)
            self.objects[rel] = str(Path(entry["directory"]) / out)
            digest = self.object_hash(rel)
            if digest:
                self.pristine[rel] = digest
        for m in modules:
            start = time.monotonic()
            ok, _ = self.run_tests(m, timeout=600)
            if not ok:
                raise SystemExit(f"the tests of {m} fail without any mutant")
            self.baseline[m] = time.monotonic() - start

    def object_hash(self, file: str) -> str | None:
        obj = self.objects.get(file)
        if not obj or not Path(obj).exists():
            return None
        return hashlib.sha1(Path(obj).read_bytes()).hexdigest()

    def run_tests(self, module: str, timeout: float) -> tuple[bool, bool]:
        """(all passed, timed out)."""
        deadline = time.monotonic() + timeout
        for target in test_targets(module):
            try:
                result = subprocess.run([program_path(self.build, target), "--gtest_fail_fast"],
                                        capture_output=True, timeout=max(1.0, deadline - time.monotonic()),
                                        cwd=self.build)
            except subprocess.TimeoutExpired:
                return False, True
            if result.returncode != 0:
                return False, False
        return True, False

    def run(self, mutant: Mutant) -> str:
        path = self.src / mutant.file
        original = path.read_text()
        mutated = apply(mutant, original)
        if mutated is None:
            return "stale"
        before = self.pristine.get(mutant.file)
        try:
            path.write_text(mutated)
            targets = test_targets(mutant.module)
            build = subprocess.run(["cmake", "--build", self.build, "-j1", "--target", *targets],
                                   capture_output=True)
            if build.returncode != 0:
                return "invalid"
            if before is not None and self.object_hash(mutant.file) == before:
                return "equivalent"
            ok, timed_out = self.run_tests(mutant.module, timeout=max(30.0, 5 * self.baseline[mutant.module]))
            return "survived" if ok else ("timeout" if timed_out else "killed")
        finally:
            path.write_text(original)


# ---- Running and reporting -----------------------------------------------------------------

COUNTED = ("killed", "timeout", "survived")


def summary(records: list[dict]) -> dict:
    per_module: dict[str, dict[str, int]] = {}
    for r in records:
        module = r["file"].split("/")[1]
        counts = per_module.setdefault(module, {})
        counts[r["status"]] = counts.get(r["status"], 0) + 1
    out = {}
    for module, counts in sorted(per_module.items()):
        killed = counts.get("killed", 0) + counts.get("timeout", 0)
        total = sum(counts.get(s, 0) for s in COUNTED)
        out[module] = {"killed": killed, "total": total, **counts}
    killed = sum(v["killed"] for v in out.values())
    total = sum(v["total"] for v in out.values())
    return {"killed": killed, "total": total, "modules": out}


def print_summary(title: str, s: dict) -> None:
    print(f"{title}: killed {s['killed']} of {s['total']}"
          f" ({100.0 * s['killed'] / max(1, s['total']):.1f}%)")
    for module, v in s["modules"].items():
        extra = ", ".join(f"{k} {v[k]}" for k in ("equivalent", "invalid", "stale") if v.get(k))
        print(f"  {module:18} {v['killed']:5} / {v['total']:5}" + (f"   ({extra})" if extra else ""))


def command_run(args) -> None:
    every = generate(args.module)
    if args.same_as:
        old = json.loads(Path(args.same_as).read_text())
        wanted = [r["id"] for r in old["mutants"]
                  if not args.survivors or r["status"] in ("survived", "equivalent")]
        by_id = {m.id: m for m in every}
        chosen = [by_id[i] for i in wanted if i in by_id]
        missing = [i for i in wanted if i not in by_id]
        seed, sample = old.get("seed"), old.get("sample")
    else:
        chosen = every
        seed, sample = args.seed, args.sample
        missing = []
        if args.sample and args.sample < len(every):
            chosen = random.Random(args.seed).sample(every, args.sample)
    chosen.sort(key=lambda m: (m.file, m.line, m.col, m.op, m.replacement))
    modules = sorted({m.module for m in chosen})
    print(f"{len(chosen)} mutants of {len(every)} ({len(missing)} no longer in the sources)", flush=True)

    head = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=ROOT, capture_output=True,
                          text=True).stdout.strip()
    workers = [Worker(i) for i in range(args.jobs)]
    for worker in workers:  # one at a time: each full build already uses three jobs
        worker.prepare(modules)

    results: dict[str, str] = {i: "stale" for i in missing}
    queue = list(chosen)
    lock = threading.Lock()
    start = time.monotonic()

    def work(worker: Worker) -> None:
        while True:
            with lock:
                if not queue:
                    return
                mutant = queue.pop(0)
            status = worker.run(mutant)
            with lock:
                results[mutant.id] = status
                done = len(results) - len(missing)
                if done % 25 == 0 or done == len(chosen):
                    elapsed = time.monotonic() - start
                    print(f"  {done}/{len(chosen)} in {elapsed:.0f} s", flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    for t in threads:
        t.start()
    for t in threads:
        t.join()

    records = [dict(asdict(m), status=results[m.id]) for m in chosen]
    records += [{"id": i, "file": "engine/unknown/-", "status": "stale"} for i in missing]
    if args.survivors:
        # A mutant the old tests killed stays killed when tests are only added.
        rerun = {r["id"]: r for r in records}
        records = [rerun.get(r["id"], r) for r in old["mutants"]]
    result = {"commit": head, "seed": seed, "sample": sample, "generated": len(every),
              "seconds": round(time.monotonic() - start), "summary": summary(records),
              "mutants": [{k: r[k] for k in ("id", "file", "line", "op", "original", "replacement", "status")
                           if k in r} for r in records]}
    Path(args.out).write_text(json.dumps(result, indent=0, ensure_ascii=False) + "\n")
    print_summary(f"{args.out}", result["summary"])


def command_list(args) -> None:
    every = generate(args.module)
    counts: dict[str, int] = {}
    for m in every:
        counts[m.module] = counts.get(m.module, 0) + 1
        if args.verbose:
            print(f"{m.id} {m.file}:{m.line}:{m.col} {m.op} {m.original!r} -> {m.replacement!r}")
    for module, n in sorted(counts.items()):
        print(f"{module:18} {n}")
    print(f"{'all':18} {len(every)}")


def describe(r: dict) -> str:
    return f"{r['id']} {r['file']}:{r['line']} {r['op']} {r['original']!r} -> {r['replacement']!r}"


def command_compare(args) -> None:
    old = json.loads(Path(args.old).read_text())
    new = json.loads(Path(args.new).read_text())
    print_summary(args.old, old["summary"])
    print_summary(args.new, new["summary"])
    before = {r["id"]: r for r in old["mutants"]}
    after = {r["id"]: r for r in new["mutants"]}
    if set(before) != set(after):
        print(f"the two runs differ in {len(set(before) ^ set(after))} mutants")
    lost = [after[i] for i in after if i in before and before[i]["status"] in ("killed", "timeout")
            and after[i]["status"] == "survived"]
    gained = [after[i] for i in after if i in before and before[i]["status"] == "survived"
              and after[i]["status"] in ("killed", "timeout")]
    for title, rows in (("no longer killed", lost), ("newly killed", gained)):
        print(f"{title}: {len(rows)}")
        for r in rows:
            print("  " + describe(r))
    if new["summary"]["killed"] < old["summary"]["killed"]:
        sys.exit(1)


def command_survivors(args) -> None:
    data = json.loads(Path(args.file).read_text())
    for r in data["mutants"]:
        if r["status"] == "survived" and (not args.module or r["file"].split("/")[1] in args.module):
            print(describe(r))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("list")
    p.add_argument("--module", action="append")
    p.add_argument("-v", "--verbose", action="store_true")
    p.set_defaults(func=command_list)
    p = sub.add_parser("run")
    p.add_argument("--out", required=True)
    p.add_argument("--module", action="append")
    p.add_argument("--sample", type=int)
    p.add_argument("--seed", type=int, default=16)
    p.add_argument("--same-as")
    p.add_argument("--survivors", action="store_true")
    p.add_argument("--jobs", type=int, default=3)
    p.set_defaults(func=command_run)
    p = sub.add_parser("compare")
    p.add_argument("old")
    p.add_argument("new")
    p.set_defaults(func=command_compare)
    p = sub.add_parser("survivors")
    p.add_argument("file")
    p.add_argument("--module", action="append")
    p.set_defaults(func=command_survivors)
    args = parser.parse_args()
    args.func(args)


if __name__ == "__main__":
    main()
