#!/usr/bin/env python3
"""Mutation score of the fast tests over the portable sources.

Draws a fixed, seeded sample of small mutants from the C++ sources under
src/ (comparison, arithmetic and boolean operators flipped, integer
constants off by one, a call or assignment statement removed), builds each
one in a private copy of the tree and runs the fast test binaries against
it. A mutant the tests fail on (or that hangs past the time limit) is
killed; one they pass on survived; one that does not build is not counted
and the next candidate of the sample takes its place. Prints the share
killed and the survivors.

The working tree is never written: the sources are copied into
<build-dir>/wN/tree and built in <build-dir>/wN/build, one pair per job.
The same sources and seed give the same mutants.
"""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Folders under src/ left out: the SDL and Win32 layers and the program's composition
# root are not run by the fast tests. A file in none of the test binaries is
# found out at its first mutant (the build has nothing to do) and not counted.
EXCLUDED_DIRS = ("platform/sdl", "platform/win32", "app")

# The fast test binaries (target, path in the build folder, shardable).
TEST_BINARIES = (
    ("talvaro_tests", "tests/talvaro_tests", True),
    ("talvaro_posix_tests", "tests/platform/posix/talvaro_posix_tests", False),
)

KEYWORDS = {
    "return", "if", "while", "for", "switch", "case", "sizeof", "else", "do",
    "static_assert", "delete", "throw", "new", "co_return", "co_await",
    "co_yield", "assert", "decltype", "alignof", "noexcept",
}

COMPARISON = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=",
              "!=": "=="}
ARITHMETIC = {"+": "-", "-": "+", "*": "/", "/": "*", "%": "*", "+=": "-=",
              "-=": "+="}
BOOLEAN = {"&&": "||", "||": "&&"}

# Binary operators are written with a space on each side (clang-format), which
# tells them apart from template brackets, pointers and unary signs.
RE_COMPARISON = re.compile(r"(?<= )(<=|>=|==|!=|<|>)(?= )")
RE_ARITHMETIC = re.compile(r"(?<= )(\+=|-=|\+|-|\*|/|%)(?= )")
RE_BOOLEAN = re.compile(r"(?<= )(&&|\|\|)(?= )")
RE_CONSTANT = re.compile(
    r"(?<![\w.'])(0[xX][0-9A-Fa-f']+|\d[\d']*)"
    r"([uUlL]{0,3}|ms|us|ns|min|s|h)(?![\w.'])")
RE_CALL = re.compile(
    r"^(?:[A-Za-z_]\w*(?:\[[^\]]*\])?(?:::|\.|->))*[A-Za-z_]\w*\(.*\);$")
RE_ASSIGN = re.compile(
    r"^[A-Za-z_][\w.:>\[\]-]* (?:=|\+=|-=|\|=|&=) [^=].*;$")


@dataclass(frozen=True)
class Mutant:
    path: str     # relative to the repository root
    line: int     # 1-based
    column: int   # 1-based
    start: int    # offset of the replaced text in the file
    end: int
    operator: str
    original: str
    replacement: str

    def key(self):
        return (self.path, self.start, self.operator, self.replacement)

    def where(self):
        return f"{self.path}:{self.line}:{self.column}"

    def describe(self):
        return f"{self.operator} {self.original!r} -> {self.replacement!r}"


def mask(text):
    """Returns text of the same length with comments, string and character
    literals and preprocessor lines blanked (newlines kept)."""
    out = list(text)
    n = len(text)
    i = 0
    line_start = True

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if line_start and c in " \t":
            i += 1
            continue
        if line_start and c == "#":
            j = i
            while j < n:
                e = text.find("\n", j)
                e = n if e < 0 else e
                if e > 0 and text[e - 1] == "\\":
                    j = e + 1
                    continue
                j = e
                break
            blank(i, j)
            i = j
            continue
        line_start = False
        nxt = text[i + 1] if i + 1 < n else ""
        if c == "/" and nxt == "/":
            e = text.find("\n", i)
            e = n if e < 0 else e
            blank(i, e)
            i = e
        elif c == "/" and nxt == "*":
            e = text.find("*/", i + 2)
            e = n if e < 0 else e + 2
            blank(i, e)
            i = e
        elif c == '"':
            m = re.search(r'(?:u8|[uUL])?R$', text[max(0, i - 3):i])
            if m and (i - len(m.group(0)) == 0
                      or not (text[i - len(m.group(0)) - 1].isalnum()
                              or text[i - len(m.group(0)) - 1] == "_")):
                p = text.find("(", i)
                delim = text[i + 1:p]
                e = text.find(")" + delim + '"', p)
                e = n if e < 0 else e + len(delim) + 2
            else:
                e = i + 1
                while e < n and text[e] != '"' and text[e] != "\n":
                    e += 2 if text[e] == "\\" else 1
                e = min(n, e + 1)
            blank(i, e)
            i = e
        elif c == "'" and i > 0 and (text[i - 1].isalnum()):
            i += 1  # a digit separator
        elif c == "'":
            e = i + 1
            while e < n and text[e] != "'" and text[e] != "\n":
                e += 2 if text[e] == "\\" else 1
            e = min(n, e + 1)
            blank(i, e)
            i = e
        else:
            i += 1
    return "".join(out)


def balanced(s):
    depth = 0
    for ch in s:
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
            if depth < 0:
                return False
    return depth == 0


def starts_statement(prev):
    """True when a statement starts on the line after `prev` (masked)."""
    return (prev == "" or prev.endswith((";", "{", "}", ":", ")"))
            or prev in ("else", "do"))


def constant_plus_one(token):
    digits = token.replace("'", "")
    if digits.lower().startswith("0x"):
        return hex(int(digits, 16) + 1)
    if len(digits) > 1 and digits.startswith("0"):
        return None  # octal: left alone
    return str(int(digits) + 1)


def candidates_in(path, rel):
    text = path.read_text(encoding="utf-8", errors="surrogateescape")
    masked = mask(text)
    found = []
    offset = 0
    prev = ""
    for number, line in enumerate(masked.split("\n"), start=1):
        stripped = line.strip()
        for regex, table, name in ((RE_COMPARISON, COMPARISON, "comparison"),
                                   (RE_ARITHMETIC, ARITHMETIC, "arithmetic"),
                                   (RE_BOOLEAN, BOOLEAN, "boolean")):
            for m in regex.finditer(line):
                found.append(Mutant(rel, number, m.start() + 1,
                                    offset + m.start(), offset + m.end(),
                                    name, m.group(1), table[m.group(1)]))
        for m in RE_CONSTANT.finditer(line):
            bumped = constant_plus_one(m.group(1))
            if bumped is not None:
                found.append(Mutant(rel, number, m.start(1) + 1,
                                    offset + m.start(1), offset + m.end(1),
                                    "constant", m.group(1), bumped))
        if stripped and starts_statement(prev) and balanced(stripped):
            first = re.match(r"[A-Za-z_]\w*", stripped)
            head = first.group(0) if first else ""
            statement = RE_CALL.match(stripped) or RE_ASSIGN.match(stripped)
            if stripped == "return;" or (head not in KEYWORDS and statement):
                column = line.index(stripped)
                start = offset + column
                end = start + len(stripped)
                found.append(Mutant(rel, number, column + 1, start, end,
                                    "removed", text[start:end], "{}"))
        if stripped:
            prev = stripped
        offset += len(line) + 1
    return found


def source_files(root, headers):
    src = root / "src"
    suffixes = (".cpp", ".h") if headers else (".cpp",)
    files = []
    for p in sorted(src.rglob("*")):
        rel = p.relative_to(src).as_posix()
        if p.suffix not in suffixes or not p.is_file():
            continue
        if any(rel == d or rel.startswith(d + "/") for d in EXCLUDED_DIRS):
            continue
        files.append(p)
    return files


def draw(root, seed, only, headers):
    """All candidates in the seeded order; the sample is its head."""
    candidates = []
    for p in source_files(root, headers):
        rel = p.relative_to(root).as_posix()
        if only and only not in rel:
            continue
        candidates.extend(candidates_in(p, rel))
    candidates.sort(key=Mutant.key)
    random.Random(seed).shuffle(candidates)
    return candidates


def apply(text, m):
    return text[:m.start] + m.replacement + text[m.end:]


def line_of(text, m):
    a = text.rfind("\n", 0, m.start) + 1
    b = text.find("\n", m.start)
    return text[a:len(text) if b < 0 else b].strip()


def tracked_files(root):
    out = subprocess.run(
        ["git", "-C", str(root), "ls-files", "-co", "--exclude-standard",
         "-z"],
        check=True, capture_output=True).stdout.decode()
    return [f for f in out.split("\0") if f]


def sync_tree(root, tree):
    """Copies the working tree's files into `tree`, writing only those that
    differ so that the build stays incremental."""
    wanted = set(tracked_files(root))
    tree.mkdir(parents=True, exist_ok=True)
    for rel in sorted(wanted):
        src = root / rel
        if not src.is_file():
            continue
        dst = tree / rel
        data = src.read_bytes()
        if dst.is_file() and dst.read_bytes() == data:
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        dst.write_bytes(data)
        shutil.copymode(src, dst)
    for p in sorted(tree.rglob("*"), reverse=True):
        rel = p.relative_to(tree).as_posix()
        if p.is_file() and rel not in wanted:
            p.unlink()


def kill_group(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


class Worker:
    def __init__(self, root, folder, args, ninja_jobs):
        self.root = root
        self.tree = folder / "tree"
        self.build = folder / "build"
        self.run_dir = folder / "run"
        self.args = args
        self.ninja_jobs = ninja_jobs
        if self.tree.resolve() == root.resolve():
            sys.exit("the scratch tree must not be the working tree")

    def prepare(self):
        sync_tree(self.root, self.tree)
        self.run_dir.mkdir(parents=True, exist_ok=True)
        if not (self.build / "build.ninja").exists():
            cmd = ["cmake", "-S", str(self.tree), "-B", str(self.build),
                   "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                   "-DCMAKE_CXX_FLAGS_DEBUG=-O0",
                   "-DTALVARO_BUILD_PROGRAM=OFF", "-DTALVARO_BUILD_CLIPS=OFF"]
            if shutil.which("ld.lld"):
                cmd.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        if self.compile() == "failed":
            sys.exit(f"the unmutated tree does not build in {self.build}")

    def compile(self):
        """'built', 'failed', or 'idle' when no test binary uses the change."""
        cmd = ["nice", "ninja", "-C", str(self.build), f"-j{self.ninja_jobs}"]
        cmd += [target for target, _, _ in TEST_BINARIES]
        try:
            done = subprocess.run(cmd, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True,
                                  timeout=self.args.build_timeout)
        except subprocess.TimeoutExpired:
            return "failed"
        if done.returncode != 0:
            return "failed"
        return "idle" if "no work to do" in done.stdout else "built"

    def run_tests(self):
        """'passed', 'failed' or 'timeout'."""
        procs = []
        for _, rel, shardable in TEST_BINARIES:
            shards = self.args.shards if shardable else 1
            for index in range(shards):
                env = dict(os.environ, GTEST_TOTAL_SHARDS=str(shards),
                           GTEST_SHARD_INDEX=str(index))
                procs.append(subprocess.Popen(
                    ["nice", str(self.build / rel), "--gtest_fail_fast"],
                    cwd=self.run_dir, env=env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL, start_new_session=True))
        deadline = time.monotonic() + self.args.timeout
        verdict = "passed"
        try:
            while procs:
                for p in list(procs):
                    code = p.poll()
                    if code is None:
                        continue
                    procs.remove(p)
                    if code != 0:
                        return "failed"
                if procs and time.monotonic() > deadline:
                    return "timeout"
                time.sleep(0.05)
        finally:
            for p in procs:
                kill_group(p)
        return verdict

    def try_mutant(self, m):
        """(verdict, seconds); 'unbuilt', 'unused' and 'stale' ones are not
        counted."""
        began = time.monotonic()
        target = self.tree / m.path
        original = target.read_bytes()
        text = original.decode("utf-8", errors="surrogateescape")
        if text[m.start:m.end] != m.original:
            # The working tree changed after the sample was drawn.
            return "stale", 0.0
        try:
            target.write_bytes(apply(text, m).encode(
                "utf-8", errors="surrogateescape"))
            built = self.compile()
            if built == "failed":
                return "unbuilt", time.monotonic() - began
            if built == "idle":
                return "unused", time.monotonic() - began
            verdict = self.run_tests()
        finally:
            target.write_bytes(original)
        return verdict, time.monotonic() - began


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--count", type=int, default=200,
                    help="mutants to count (built ones), default 200")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=1,
                    help="mutants at once, each in its own copy (default 1)")
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds the tests may take per mutant (default: "
                    "60, or 4 times the unmutated run if that is longer)")
    ap.add_argument("--build-timeout", type=float, default=600)
    ap.add_argument("--shards", type=int, default=2,
                    help="processes the core tests are split over (default 2)")
    ap.add_argument("--build-dir", type=Path, default=ROOT / "build-mutation")
    ap.add_argument("--list", action="store_true",
                    help="show the sample without running it")
    ap.add_argument("--only", default="",
                    help="only files whose path contains this text")
    ap.add_argument("--headers", action="store_true",
                    help="mutate headers too (each rebuilds many files)")
    args = ap.parse_args()

    candidates = draw(ROOT, args.seed, args.only, args.headers)
    print(f"{len(candidates)} candidate sites in "
          f"{len({m.path for m in candidates})} files, seed {args.seed}")
    if not candidates:
        return 1
    texts = {}

    def text_of(m):
        if m.path not in texts:
            texts[m.path] = (ROOT / m.path).read_text(
                encoding="utf-8", errors="surrogateescape")
        return texts[m.path]

    if args.list:
        for m in candidates[:args.count]:
            print(f"{m.where():40} {m.describe()}")
        return 0

    head = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "--short",
                           "HEAD"], capture_output=True, text=True).stdout
    dirty = subprocess.run(["git", "-C", str(ROOT), "status", "--porcelain",
                            "--untracked-files=no"], capture_output=True,
                           text=True).stdout.strip()
    print(f"commit {head.strip()}{' with local changes' if dirty else ''}; "
          f"count {args.count}, jobs {args.jobs}, shards {args.shards}")

    ninja_jobs = max(1, (os.cpu_count() or 2) // args.jobs)
    workers = [Worker(ROOT, args.build_dir / f"w{i}", args, ninja_jobs)
               for i in range(args.jobs)]
    began = time.monotonic()
    chosen_timeout = args.timeout
    args.timeout = chosen_timeout or 600.0
    for w in workers:
        w.prepare()
        t0 = time.monotonic()
        if w.run_tests() != "passed":
            sys.exit(f"the fast tests fail on the unmutated tree in {w.build}")
    unmutated = time.monotonic() - t0
    # A loaded machine slows every run: the limit follows the unmutated one.
    args.timeout = chosen_timeout or max(60.0, 4 * unmutated)
    print(f"prepared in {time.monotonic() - began:.0f} s; unmutated tests "
          f"take {unmutated:.1f} s; time limit {args.timeout:.0f} s")

    # The head of the sample runs file by file so each build recompiles
    # little; a mutant that does not build is replaced by the next candidate.
    lock = threading.Lock()
    pending = sorted(candidates[:args.count], key=Mutant.key)
    reserve = iter(candidates[args.count:])
    results = []  # (mutant, verdict, seconds)
    state = {"in_flight": 0, "counted": 0, "stop": False}

    def take():
        with lock:
            if state["stop"]:
                return None
            if state["counted"] + state["in_flight"] >= args.count:
                return None
            m = pending.pop(0) if pending else next(reserve, None)
            if m is not None:
                state["in_flight"] += 1
            return m

    def work(w):
        while True:
            m = take()
            if m is None:
                return
            verdict, seconds = w.try_mutant(m)
            with lock:
                state["in_flight"] -= 1
                results.append((m, verdict, seconds))
                if verdict in ("passed", "failed", "timeout"):
                    state["counted"] += 1
                killed = sum(v in ("failed", "timeout") for _, v, _ in results)
                print(f"[{state['counted']:3}/{args.count}] {verdict:8} "
                      f"{seconds:5.1f} s  {m.where()}  {m.describe()}  "
                      f"(killed {killed})", flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    for t in threads:
        t.start()
    try:
        for t in threads:
            while t.is_alive():
                t.join(0.5)
    except KeyboardInterrupt:
        with lock:
            state["stop"] = True
        print("interrupted: finishing the mutants under way", flush=True)
        for t in threads:
            t.join()

    counted = [(m, v) for m, v, _ in results
               if v in ("passed", "failed", "timeout")]
    killed = [m for m, v in counted if v in ("failed", "timeout")]
    timeouts = sum(v == "timeout" for _, v in counted)
    survivors = sorted((m for m, v in counted if v == "passed"),
                       key=Mutant.key)
    unbuilt = len(results) - len(counted)
    unused = sorted({m.path for m, v, _ in results if v == "unused"})
    if unused:
        print("Not in any fast test binary (left out): " + ", ".join(unused))
    elapsed = time.monotonic() - began
    print()
    print(f"Survivors ({len(survivors)}):")
    for m in survivors:
        mutated = line_of(apply(text_of(m), m), m)
        print(f"  {m.where()}  {m.operator}: {line_of(text_of(m), m)}  ->  "
              f"{mutated}")
    share = 100.0 * len(killed) / len(counted) if counted else 0.0
    print(f"\nkilled {len(killed)} of {len(counted)} counted mutants: "
          f"{share:.1f} % ({timeouts} by timeout); "
          f"{unbuilt} did not build or run; "
          f"{elapsed / 60:.1f} min, seed {args.seed}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
