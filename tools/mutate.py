#!/usr/bin/env python3
"""Mutation testing: plants small faults in the C++ sources of a folder, one at a time, and says
which ones the tests catch.

For each mutant the file is rewritten, the folder's test programs are rebuilt (only what changed;
ninja does the rest), the folder's tests are run under a time limit, and the file is restored.
A mutant is "caught" when a test fails, "timeout" when the tests hang (also caught), "survived"
when every test passes, "not built" when it does not compile, and "same code" when the compiler
makes the very same object file of it as of the original (a line the preset does not compile, or a
change the optimiser undoes); the last two are not counted.

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
import shlex
import signal
import subprocess
import sys
import tempfile
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

# The suites of the folder's own program that exercise a file, as a gtest filter, where running
# them all costs minutes: zered_win32_tests takes about 100 s under Wine, half of it in the
# OpenGL and DirectDraw suites. A mutant of a listed file runs only these suites (GTEST_FILTER);
# files not listed (the window layer, which every driver uses) run the whole program. Running
# fewer tests can only miss catches, never make them, so a score measured this way is never
# higher than the whole program's. Suites named here must exist: `--self-test` checks.
FILE_FILTERS = {
    # DirectDraw is the first driver the screen set-up tries.
    "gfx/win32/ddraw_driver.cpp": "DDrawDriver.*:DDrawFaults.*:DriverChoice.*:ScreenChoice.*",
    "gfx/win32/ddraw_setup.cpp": "DDrawDriver.*:DDrawFaults.*:DriverChoice.*:ScreenChoice.*",
    # The window layer's own tests run on GDI screens.
    "gfx/win32/gdi_driver.cpp":
        "GdiDriver.*:WindowMessages.*:WindowMouse.*:WindowFullScreen.*:KeyTable.*:DriverChoice.*",
    "gfx/win32/opengl_driver.cpp": "OpenGLDriver.*",
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
    for attempt in range(2):
        code, out = run(["ctest", "--test-dir", str(build), "-R", regex, "--show-only=json-v1"])
        if code:
            return []
        listed = json.loads(out[out.index("{"):])["tests"]
        # A program not built yet (a fresh build tree) has no command: build it and ask again.
        unbuilt = [t["name"] for t in listed if "command" not in t]
        if not unbuilt:
            break
        if attempt:
            raise SystemExit(f"no program to run for {', '.join(unbuilt)} in {build}")
        code, out = run(["cmake", "--build", str(build), "-j", "2", "--target",
                         *build_targets(unbuilt)])
        if code:
            print(out)
            raise SystemExit(f"the test programs of {build} do not build")
    found = []
    for t in listed:
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


def object_files(build: Path) -> dict[Path, list[Path]]:
    """Source file -> the object files the build tree makes of it (one per target compiling it),
    from the compile database."""
    db = build / "compile_commands.json"
    objects: dict[Path, list[Path]] = {}
    if not db.exists():
        return objects
    for entry in json.loads(db.read_text()):
        words = shlex.split(entry["command"])
        if "-o" in words[:-1]:
            obj = Path(entry["directory"]) / words[words.index("-o") + 1]
            objects.setdefault(Path(entry["file"]).resolve(), []).append(obj)
    return objects


def same_code(objects: list[Path], clean: dict[Path, str], since: float) -> bool:
    """True when every object of the mutated file was compiled again after `since` and came out
    byte for byte as the clean one: no test can tell such a mutant apart. An object that was not
    compiled again (not part of the targets built) proves nothing."""
    if not objects:
        return False
    for obj in objects:
        if obj not in clean or not obj.exists() or obj.stat().st_mtime < since:
            return False
        if hashlib.sha256(obj.read_bytes()).hexdigest() != clean[obj]:
            return False
    return True


def first_failed_test(output: str) -> str:
    """The first gtest test that started and did not pass (failed, or the program died in it);
    "" when the output names none (not a gtest program, or it failed outside a test)."""
    finished = set(re.findall(r"^\[ +(?:OK|SKIPPED) \] (\S+)", output, re.M))
    for name in re.findall(r"^\[ RUN {6}\] (\S+)", output, re.M):
        if name not in finished:
            return name
    return ""


@dataclasses.dataclass
class Outcome:
    result: str          # 'caught', 'timeout' or 'survived'
    failed: str = ""     # the gtest test that failed, where the program said
    program: str = ""    # the test (ctest name) that failed or hung
    ran: int = -1        # gtest tests the last program ran, -1 where it did not say


def run_tests(tests: list[Test], limits: dict[str, float], took: dict[str, float] | None = None,
              own_filter: tuple[str, str] | None = None) -> Outcome:
    """The programs one after another, the first failure ends the run, each under its own limit in
    seconds (a hang is killed with its children). `took`, when given, receives each program's
    time. `own_filter` (program, gtest filter) runs only those tests of that program."""
    outcome = Outcome("survived")
    for t in tests:
        start = time.monotonic()
        extra = {"GTEST_FILTER": own_filter[1]} if own_filter and own_filter[0] == t.name else {}
        # A test program stops at its first failing test: that is all a mutant needs to know. Its
        # output goes to a file, not a pipe: Wine's services may hold a pipe open after it ends.
        with tempfile.TemporaryFile("w+", errors="replace") as log:
            proc = subprocess.Popen(t.command, cwd=t.cwd,
                                    env={**os.environ, "GTEST_FAIL_FAST": "1", **t.env, **extra},
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                    start_new_session=True)
            try:
                code = proc.wait(timeout=limits[t.name])
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                return Outcome("timeout", program=t.name)
            log.seek(0)
            output = log.read()
        if took is not None:
            took[t.name] = time.monotonic() - start
        count = re.search(r"^\[==========\] Running (\d+) tests?", output, re.M)
        outcome.ran = int(count.group(1)) if count else -1
        if code != 0 and code != t.skip_code:
            return Outcome("caught", first_failed_test(output), t.name, outcome.ran)
    return outcome


TABLE_HEAD = "| folder | score | caught | survived | equivalent | mutants run | sample of | seed | date |"


def table_row(folder: str, score: float, counts: dict[str, int], run_count: int, total: int,
              seed: str) -> str:
    caught = counts["caught"] + counts["timeout"]
    # Equivalent: listed with a reason, or compiled to the very same object file.
    equivalent = counts["equivalent"] + counts["same code"]
    return (f"| {folder} | {score:.1f} % | {caught} | {counts['survived']} | {equivalent} "
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


def self_test() -> int:
    """The parts a wrong answer would go unnoticed in: every suite a file's filter names exists
    (a renamed one would leave its file's mutants untested), and the failing test is read from
    gtest's output as it is, crashes included."""
    problems = []
    suites = set()
    for source in (ROOT / "tests").rglob("*.cpp"):
        suites.update(re.findall(r"^TEST(?:_F|_P)?\((\w+),", source.read_text(), re.M))
    for path, gtest_filter in FILE_FILTERS.items():
        if not (ROOT / path).exists():
            problems.append(f"{path}: no such file")
        for pattern in gtest_filter.split(":"):
            if pattern.removesuffix(".*") not in suites:
                problems.append(f"{path}: no test suite {pattern}")
    run_ok = "[ RUN      ] A.One\r\n[       OK ] A.One (1 ms)\r\n"
    for output, expected in [
        (run_ok + "[ RUN      ] A.Two\r\nx.cpp:1: Failure\r\n[  FAILED  ] A.Two (2 ms)\r\n", "A.Two"),
        (run_ok + "[ RUN      ] B.Crash\r\n", "B.Crash"),  # died inside the test
        (run_ok + "[ RUN      ] B.Skip\r\n[  SKIPPED ] B.Skip (0 ms)\r\n", ""),
        ("not a gtest program\n", ""),
    ]:
        if first_failed_test(output) != expected:
            problems.append(f"first_failed_test gave {first_failed_test(output)!r}, not {expected!r}")
    for problem in problems:
        print(problem)
    print("mutate self-test: " + ("failed" if problems else "passed"))
    return 1 if problems else 0


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("folders", nargs="*", help="folders to mutate, e.g. gfx/core runtime")
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
                         "out) and unbuilt mutants of files unchanged since are taken over, its "
                         "survivors listed as equivalent since count as equivalent, the rest run "
                         "again (for a re-run after tests were added)")
    ap.add_argument("--join", action="store_true",
                    help="with --again: take over every result of the report, survivors and "
                         "timeouts too, for files unchanged since; joins the reports of the parts "
                         "of one sample into one row without running them again")
    ap.add_argument("--record", action="store_true",
                    help="write each folder's row into the score table of tests/README.md")
    ap.add_argument("--part", default="",
                    help="K/N: only every N-th mutant of the sample from the K-th on (K from 0), "
                         "to share a sample among build trees; their reports together serve "
                         "--again (no --record)")
    ap.add_argument("--self-test", action="store_true", help="check the tool's own tables and parsing")
    args = ap.parse_args()
    if args.self_test:
        return self_test()
    if not args.folders:
        ap.error("give at least one folder")
    part = re.fullmatch(r"(\d+)/(\d+)", args.part) if args.part else None
    if args.part and (not part or int(part[1]) >= int(part[2])):
        ap.error("--part wants K/N with 0 <= K < N")
    if part and args.record:
        ap.error("a part of a sample makes no row: record from a run of the whole sample")

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

    def taken_over(m) -> str:
        """The earlier result of a mutant that need not run again, in a file unchanged since:
        caught, not built, same code, or a survivor now listed as equivalent (run again, it could
        only turn into a catch: skipping the run can only lower the score). A timeout runs again: it may
        have been a busy machine, not a hang."""
        before = earlier.get((m.path, m.line, m.mutated))
        if not before or before.get("file") != file_hash(ROOT / m.path):
            return ""
        if args.join:
            return before["result"]
        if before["result"] in ("caught", "not built", "same code"):
            return before["result"]
        if before["result"] in ("survived", "equivalent") and m.key() in equivalents:
            return "equivalent"
        return ""

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
        if part:
            mutants = mutants[int(part[1])::int(part[2])]
        print(f"== {folder}: {len(mutants)} mutants"
              + (f" (a sample of {total_found})" if sampled else "")
              + (f", part {args.part}" if part else ""), flush=True)
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
        # Each program's limit: five times its clean run plus 20 s, so that a machine busy with
        # other work does not pass for a hang, while a real one still costs seconds, not minutes.
        # A filtered run of the own program (FILE_FILTERS) gets a limit from its own clean run.
        # Only what the mutants still to run need: the whole set for those without a filter and for
        # the other programs (and as the check that the tree passes), each filter for its files.
        pending = [m for m in mutants if not taken_over(m)]
        own_filters = {m.path: FILE_FILTERS[m.path] for m in pending
                       if own and first and m.path in FILE_FILTERS}
        needed = sorted(set(own_filters.values()))
        whole = bool(rest) or not needed or any(m.path not in own_filters for m in pending)
        limits: dict[str, dict[str, float]] = {}
        for gtest_filter in [""] * whole + needed:
            took: dict[str, float] = {}
            clean = run_tests(first if gtest_filter else tests, {t.name: 1200 for t in tests}, took,
                              (own, gtest_filter) if gtest_filter else None)
            if clean.result != "survived":
                print(f"the clean tree fails its tests ({regex} {gtest_filter}"
                      f"{'; ' + clean.failed + ' failed' if clean.failed else ''}); fix that first",
                      file=sys.stderr)
                return 2
            if gtest_filter and clean.ran == 0:
                print(f"no test of {own} matches {gtest_filter}", file=sys.stderr)
                return 2
            limits[gtest_filter] = {**limits.get("", {}), **{
                name: args.timeout or 5 * seconds + 20 for name, seconds in took.items()}}
            print(f"   tests {', '.join(took)}{' ' + gtest_filter if gtest_filter else ''}: "
                  f"{sum(took.values()):.1f} s clean, "
                  f"limits {', '.join(f'{limits[gtest_filter][n]:.0f}' for n in took)} s", flush=True)

        def run_mutant(stage: list[Test], gtest_filter: str) -> Outcome:
            """One stage on the planted mutant. A failure is checked once more, so that a test
            that fails now and then on a busy machine does not pass for a catch: the failing test
            alone, and where it passes alone, the stage again. A failure that does not come back
            counts as survived."""
            program_filter = (own, gtest_filter) if gtest_filter else None
            outcome = run_tests(stage, limits[gtest_filter], own_filter=program_filter)
            if outcome.result != "caught" or not outcome.failed:
                return outcome
            failing = [t for t in stage if t.name == outcome.program]
            again = run_tests(failing, limits[gtest_filter], own_filter=(outcome.program, outcome.failed))
            if again.result == "survived":
                again = run_tests(stage, limits[gtest_filter], own_filter=program_filter)
            if again.result == "survived":
                return Outcome("survived", outcome.failed, outcome.program)
            return outcome

        # The clean tree was built above: its objects are what a mutant's are compared with.
        objects = object_files(build)
        clean_objects = {o: hashlib.sha256(o.read_bytes()).hexdigest()
                         for f in files for o in objects.get(f.resolve(), []) if o.exists()}
        counts = {"caught": 0, "timeout": 0, "survived": 0, "not built": 0, "same code": 0,
                  "equivalent": 0}
        survivors = []
        reused = 0
        for m in mutants:
            path = ROOT / m.path
            original = path.read_text()
            lines = original.split("\n")
            if lines[m.line - 1] != m.original:
                continue
            digest = file_hash(path)
            outcome = Outcome("")
            if taken_over(m):
                result = taken_over(m)
                reused += 1
            else:
                lines[m.line - 1] = m.mutated
                result = "survived"
                try:
                    planted = time.time()
                    restorer.plant(path, original, "\n".join(lines))
                    for stage, cmd in zip(stages, build_cmds):
                        code, _ = run(cmd, timeout=600)
                        if code:
                            result = "not built"
                            break
                        if same_code(objects.get(path.resolve(), []), clean_objects, planted):
                            result = "same code"
                            break
                        outcome = run_mutant(stage, own_filters.get(m.path, ""))
                        result = outcome.result
                        if result != "survived":
                            break
                finally:
                    restorer.restore()
            if result == "survived" and m.key() in equivalents:
                result = "equivalent"
            counts[result] += 1
            if result == "survived":
                survivors.append(m)
            # Which test answered: a catch's failing test, or a failure that did not come back.
            note = (f" (by {outcome.failed})" if result == "caught" and outcome.failed else
                    f" (a failure of {outcome.failed} that did not come back)"
                    if outcome.result == "survived" and outcome.failed else "")
            print(f"{m.path}:{m.line} [{m.kind}] {m.original.strip()} => {m.mutated.strip()}  "
                  f"{result}{note}", flush=True)
            if report:
                report.write(json.dumps({**dataclasses.asdict(m), "result": result, "file": digest,
                                         "by": outcome.failed}) + "\n")
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
              f"{counts['same code']} compiled to the same code, "
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
