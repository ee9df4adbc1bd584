#!/usr/bin/env python3
"""Mutation testing: plants small faults in the C++ sources of a folder, one at a time, and says
which ones the tests catch.

For each mutant the file is rewritten, the folder's test programs are rebuilt (only what changed;
ninja does the rest), the folder's tests are run under a time limit, and the file is restored.
A mutant is "caught" when a test fails, "timeout" when the tests hang (also caught), "survived"
when every test passes, and "not built" when it does not compile (not counted).

Survivors that no test can tell from the original (equivalent mutants) are listed, with a reason,
in tests/mutation/*.txt, one per line:

    path | original line => mutated line | reason

(lines as the report prints them, stripped of indentation). They are left out of the score.

Standard library only; run from anywhere inside the checkout.
"""

from __future__ import annotations

import argparse
import dataclasses
import fcntl
import hashlib
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from mutants import mutants_of_file  # noqa: E402  (the module beside this file)

ROOT = Path(__file__).resolve().parent.parent

# Which tests answer for a folder's code (ctest names, as a regular expression). The native unit
# test programs run in about a second together, so every folder gets all of them: a fault in the
# core that only a console test notices is still a fault the suite catches. The program's own
# folder adds the end-to-end runs that reach its entry point.
UNIT = r"runtime_tests|app_tests|zered_core_tests|zered_blit_tests|zered_console_tests|zered_window_tests|zered_screen_tests"
FOLDER_TESTS = {
    "app": rf"^({UNIT}|e2e_wake_cycle|e2e_usage_text)$",
    "runtime": rf"^({UNIT})$",
    "gfx/core": rf"^({UNIT})$",
    "gfx/screen": rf"^({UNIT})$",
    "gfx/console": rf"^({UNIT})$",
    "gfx/blit": rf"^({UNIT})$",
    "gfx/win32": r"^zered_win32_tests$",
    "gfx/window": rf"^({UNIT}|zered_x11_tests.*)$",
    "gfx/x11": rf"^({UNIT}|zered_x11_tests.*)$",
}

# The test program that answers first for a folder: it is built and run before the others, and a
# mutant it catches needs no other program relinked (most mutants are caught there).
OWN_PROGRAM = {
    "app": "app_tests",
    "runtime": "runtime_tests",
    "gfx/core": "zered_core_tests",
    "gfx/screen": "zered_screen_tests",
    "gfx/console": "zered_console_tests",
    "gfx/blit": "zered_blit_tests",
    "gfx/window": "zered_window_tests",
    "gfx/x11": "zered_x11_tests",
    "gfx/win32": "zered_win32_tests",
}

# ctest name -> build target; e2e scripts need the program itself.
def build_targets(test_names: list[str]) -> list[str]:
    targets = []
    for name in test_names:
        # A program that runs again on other displays is one target: zered_x11_tests_16bit.
        target = "drivenudge" if name.startswith("e2e_") else re.sub(r"^(zered_x11_tests)_\w+$", r"\1", name)
        if target not in targets:
            targets.append(target)
    return targets


# ---------------------------------------------------------------------------------------------
# Running.

def read_equivalents() -> dict[str, str]:
    known = {}
    for f in sorted((ROOT / "tests" / "mutation").glob("*.txt")):
        for raw in f.read_text().splitlines():
            if not raw.strip() or raw.lstrip().startswith("#"):
                continue
            # The mutant itself may hold " | " (a bitwise or): the path is the first field and
            # the reason the last.
            parts = raw.strip().split(" | ")
            if len(parts) >= 3:
                known[" | ".join(parts[:-1])] = parts[-1]
    return known


class Restorer:
    """Puts the original text back whatever happens, and leaves a journal so that a run killed
    outright can be undone by the next one."""

    def __init__(self, journal: Path):
        self.journal = journal
        self.path: Path | None = None
        self.text = ""

    def recover(self) -> None:
        if self.journal.exists():
            data = json.loads(self.journal.read_text())
            Path(data["path"]).write_text(data["text"])
            self.journal.unlink()
            print(f"restored {data['path']} from an interrupted run", file=sys.stderr)

    def plant(self, path: Path, original: str, mutated: str) -> None:
        self.journal.write_text(json.dumps({"path": str(path), "text": original}))
        self.path, self.text = path, original
        path.write_text(mutated)

    def restore(self) -> None:
        if self.path is not None:
            self.path.write_text(self.text)
            self.path = None
        if self.journal.exists():
            self.journal.unlink()


def run(cmd: list[str], timeout: float | None = None, cwd: Path = ROOT) -> tuple[int, str]:
    try:
        p = subprocess.run(cmd, cwd=cwd, capture_output=True, text=True, timeout=timeout,
                           start_new_session=True)
        return p.returncode, p.stdout + p.stderr
    except subprocess.TimeoutExpired:
        return -1, "timed out"


@dataclasses.dataclass
class Test:
    name: str
    command: list[str]
    cwd: str
    env: dict[str, str]
    skip_code: int | None


def discover_tests(build: Path, regex: str) -> list[Test]:
    """The tests ctest would run, with their commands and properties, so that they can be run
    directly under a limit of our own: ctest's --timeout does not shorten a test's TIMEOUT
    property, and a hanging mutant would cost the full property (minutes) each time."""
    code, out = run(["ctest", "--test-dir", str(build), "-R", regex, "--show-only=json-v1"])
    if code:
        return []
    found = []
    for t in json.loads(out[out.index("{"):])["tests"]:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        env = {}
        for item in props.get("ENVIRONMENT", []):
            key, _, value = item.partition("=")
            env[key] = value
        skip = props.get("SKIP_RETURN_CODE")
        if props.get("WILL_FAIL") or props.get("PASS_REGULAR_EXPRESSION") or props.get("DISABLED"):
            raise SystemExit(f"test {t['name']} has pass/fail properties this tool does not read")
        found.append(Test(t["name"], t["command"], props.get("WORKING_DIRECTORY", str(build)), env,
                          int(skip) if skip is not None else None))
    return found


def run_tests(tests: list[Test], limits: dict[str, float], took: dict[str, float] | None = None) -> str:
    """'caught', 'timeout' or 'survived': the programs one after another, the first failure ends
    the run, each under its own limit in seconds (a hang is killed with its children). `took`,
    when given, receives each program's time."""
    for t in tests:
        start = time.monotonic()
        # A test program stops at its first failing test: that is all a mutant needs to know.
        proc = subprocess.Popen(t.command, cwd=t.cwd,
                                env={**os.environ, "GTEST_FAIL_FAST": "1", **t.env},
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            code = proc.wait(timeout=limits[t.name])
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            return "timeout"
        if took is not None:
            took[t.name] = time.monotonic() - start
        if code != 0 and code != t.skip_code:
            return "caught"
    return "survived"


TABLE_HEAD = "| folder | score | caught | survived | equivalent | mutants run | sample of | seed | date |"


def table_row(folder: str, score: float, counts: dict[str, int], run_count: int, total: int,
              seed: str) -> str:
    caught = counts["caught"] + counts["timeout"]
    return (f"| {folder} | {score:.1f} % | {caught} | {counts['survived']} | {counts['equivalent']} "
            f"| {run_count} | {total} | {seed} | {time.strftime('%Y-%m-%d', time.gmtime())} |")


def record_rows(readme: Path, rows: dict[str, str]) -> None:
    """Puts each folder's row into the score table of tests/README.md (replacing the folder's old
    row, keeping the table in folder order)."""
    lines = readme.read_text().split("\n")
    try:
        head = lines.index(TABLE_HEAD)
    except ValueError:
        raise SystemExit(f"no score table in {readme} (a line {TABLE_HEAD!r})")
    end = head + 2
    while end < len(lines) and lines[end].startswith("| "):
        end += 1
    table = {line.split(" | ")[0][2:]: line for line in lines[head + 2:end]}
    table.update(rows)
    lines[head + 2:end] = [table[k] for k in sorted(table)]
    readme.write_text("\n".join(lines))


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("folders", nargs="+", help="folders to mutate, e.g. gfx/core runtime")
    ap.add_argument("--preset", default="native", help="build preset (native; windows runs under Wine)")
    ap.add_argument("--sample", type=int, default=0, help="at most N mutants per folder, drawn at random")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--files", default="", help="only files whose path matches this regular expression")
    ap.add_argument("--kinds", default="", help="only these kinds, comma-separated "
                    "(relational,logical,arithmetic,bitwise,constant,negate,return,delete)")
    ap.add_argument("--tests", default="", help="ctest regular expression instead of the folder's own")
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds each test program may take (default: 5x its clean run + 20); "
                         "wins over the tests' own TIMEOUT property")
    ap.add_argument("--list", action="store_true", help="list the mutants and stop")
    ap.add_argument("--report", default="", help="also write the results as JSON lines to this file")
    ap.add_argument("--again", default="",
                    help="a report of an earlier run of the same sample: its caught (not timed "
                         "out) and unbuilt mutants of files unchanged since are taken over, the "
                         "rest run again "
                         "(for a re-run after tests were added)")
    ap.add_argument("--record", action="store_true",
                    help="write each folder's row into the score table of tests/README.md")
    args = ap.parse_args()

    build = ROOT / "build" / args.preset
    platform_skip = "/posix/" if args.preset == "windows" else "/win32/"
    if args.preset == "windows" and not args.list and not os.environ.get("DN_MUTATE_WINE_SESSION"):
        # One Wine session (display, wineserver) for the whole run: a session per mutant costs
        # seconds each. The build tree's prefix must exist first: configure if needed.
        if not (build / "CMakeCache.txt").exists():
            code, out = run(["cmake", "--preset", args.preset])
            if code:
                print(out)
                return 2
        os.environ["DN_MUTATE_WINE_SESSION"] = "1"
        session = [str(ROOT / "cmake" / "wine-session.sh"), str(build / "wineprefix")]
        return subprocess.call(session + [sys.executable, str(Path(__file__).resolve()), *sys.argv[1:]])
    kinds = set(filter(None, args.kinds.split(",")))
    equivalents = read_equivalents()
    files_re = re.compile(args.files) if args.files else None
    restorer = Restorer(build / "mutate-journal.json")
    if not args.list:
        # One run per build tree: a second one would rebuild under the first one's mutant, and
        # take the first one's journal for a run that was killed.
        build.mkdir(parents=True, exist_ok=True)
        lock = open(build / "mutate.lock", "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            print(f"another mutation run is using {build}", file=sys.stderr)
            return 2
        restorer.recover()

    def on_signal(signum, _frame):
        restorer.restore()
        sys.exit(128 + signum)

    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)

    if not args.list and not (build / "CMakeCache.txt").exists():
        code, out = run(["cmake", "--preset", args.preset])
        if code:
            print(out)
            return 2

    earlier: dict[tuple[str, int, str], dict] = {}
    if args.again:
        for raw in Path(args.again).read_text().splitlines():
            r = json.loads(raw)
            earlier[(r["path"], r["line"], r["mutated"])] = r

    def file_hash(path: Path) -> str:
        return hashlib.sha256(path.read_bytes()).hexdigest()

    report = open(args.report, "w") if args.report else None
    totals = []
    rows = {}
    for folder in args.folders:
        folder = folder.rstrip("/")
        files = sorted(p for p in (ROOT / folder).rglob("*.cpp")
                       if platform_skip not in "/" + str(p.relative_to(ROOT)) + "/"
                       and not p.name.endswith("_data.cpp")
                       and (files_re is None or files_re.search(str(p.relative_to(ROOT)))))
        if args.preset != "windows":
            files = [p for p in files
                     if "/x11/" not in "/" + str(p.relative_to(ROOT)) or folder.endswith("x11")]
        mutants = [m for f in files for m in mutants_of_file(f) if not kinds or m.kind in kinds]
        total_found = len(mutants)
        sampled = bool(args.sample and len(mutants) > args.sample)
        if sampled:
            mutants = sorted(random.Random(args.seed).sample(mutants, args.sample),
                             key=lambda m: (m.path, m.line))
        print(f"== {folder}: {len(mutants)} mutants"
              + (f" (a sample of {total_found})" if sampled else ""), flush=True)
        if args.list:
            for m in mutants:
                print(f"{m.path}:{m.line} [{m.kind}] {m.original.strip()} => {m.mutated.strip()}")
            continue

        regex = args.tests or FOLDER_TESTS.get(folder, "")
        if not regex:
            print(f"no tests known for {folder}; give --tests", file=sys.stderr)
            return 2
        tests = discover_tests(build, regex)
        if not tests:
            print(f"no tests match {regex} in {build}", file=sys.stderr)
            return 2
        # The folder's own program first: build and run it alone, and the rest only for a
        # mutant it lets through.
        own = OWN_PROGRAM.get(folder)
        first = [t for t in tests if t.name == own]
        rest = [t for t in tests if t.name != own]
        stages = [s for s in (first, rest) if s]
        build_cmds = [["cmake", "--build", str(build), "-j", "2", "--target",
                       *build_targets([t.name for t in stage])] for stage in stages]
        for cmd in build_cmds:
            code, out = run(cmd)
            if code:
                print(out)
                print("the clean tree does not build", file=sys.stderr)
                return 2
        took: dict[str, float] = {}
        clean = run_tests(tests, {t.name: 1200 for t in tests}, took)
        if clean != "survived":
            print(f"the clean tree fails its tests ({regex}); fix that first", file=sys.stderr)
            return 2
        # Each program's limit: five times its clean run plus 20 s, so that a machine busy with
        # other work does not pass for a hang, while a real one still costs seconds, not minutes.
        limits = {name: args.timeout or 5 * seconds + 20 for name, seconds in took.items()}
        print(f"   tests {', '.join(t.name for t in tests)}: {sum(took.values()):.1f} s clean, "
              f"limits {', '.join(f'{limits[t.name]:.0f}' for t in tests)} s", flush=True)

        counts = {"caught": 0, "timeout": 0, "survived": 0, "not built": 0, "equivalent": 0}
        survivors = []
        reused = 0
        for m in mutants:
            path = ROOT / m.path
            original = path.read_text()
            lines = original.split("\n")
            if lines[m.line - 1] != m.original:
                continue
            digest = file_hash(path)
            before = earlier.get((m.path, m.line, m.mutated))
            # A timeout runs again: it may have been a busy machine rather than a hang.
            if before and before.get("file") == digest and before["result"] in ("caught", "not built"):
                result = before["result"]
                reused += 1
            else:
                lines[m.line - 1] = m.mutated
                result = "survived"
                try:
                    restorer.plant(path, original, "\n".join(lines))
                    for stage, cmd in zip(stages, build_cmds):
                        code, _ = run(cmd, timeout=600)
                        if code:
                            result = "not built"
                            break
                        result = run_tests(stage, limits)
                        if result != "survived":
                            break
                finally:
                    restorer.restore()
            if result == "survived" and m.key() in equivalents:
                result = "equivalent"
            counts[result] += 1
            if result == "survived":
                survivors.append(m)
            print(f"{m.path}:{m.line} [{m.kind}] {m.original.strip()} => {m.mutated.strip()}  "
                  f"{result}", flush=True)
            if report:
                report.write(json.dumps({**dataclasses.asdict(m), "result": result, "file": digest}) + "\n")
                report.flush()
        caught = counts["caught"] + counts["timeout"]
        scored = caught + counts["survived"]
        score = 100.0 * caught / scored if scored else 100.0
        totals.append((folder, score, counts))
        if survivors:
            print(f"-- survivors in {folder} (for tests/mutation/*.txt if equivalent: add a reason):")
            for m in survivors:
                print(f"{m.key()} | ")
        print(f"== {folder}: score {score:.1f} % ({caught} caught of {scored}; "
              f"{counts['timeout']} by timeout, {counts['not built']} not built, "
              f"{counts['equivalent']} equivalent"
              + (f"; {reused} results taken over from {args.again}" if reused else "") + ")", flush=True)
        name = folder + (f" ({args.preset})" if args.preset != "native" else "")
        rows[name] = table_row(name, score, counts, sum(counts.values()), total_found,
                               str(args.seed) if sampled else "all")
        for cmd in build_cmds:
            run(cmd)  # leave the build tree matching the sources

    if rows:
        print(TABLE_HEAD)
        print("|---|---|---|---|---|---|---|---|---|")
        for row in rows.values():
            print(row)
        if args.record:
            record_rows(ROOT / "tests" / "README.md", rows)
            print("rows written to tests/README.md")
    return 0


if __name__ == "__main__":
    sys.exit(main())
