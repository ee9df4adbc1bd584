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
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

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

# ctest name -> build target; e2e scripts need the program itself.
def build_targets(test_names: list[str]) -> list[str]:
    targets = []
    for name in test_names:
        # A program that runs again on other displays is one target: zered_x11_tests_16bit.
        target = "drivenudge" if name.startswith("e2e_") else re.sub(r"_(16bit|directcolor)$", "", name)
        if target not in targets:
            targets.append(target)
    return targets


# ---------------------------------------------------------------------------------------------
# Reading C++ lines: what is code, what is comment or literal.

def code_mask(lines: list[str]) -> list[str]:
    """Each line with comments removed and the insides of string and character literals replaced
    by underscores, so that operators are only found in code. Lengths and columns are kept."""
    masked = []
    in_block = False
    for line in lines:
        out = []
        i = 0
        n = len(line)
        while i < n:
            if in_block:
                end = line.find("*/", i)
                if end < 0:
                    out.append(" " * (n - i))
                    i = n
                else:
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
                out.append("  ")
                i += 2
                continue
            if c == '"' and line.startswith('R"', i - 1) and i > 0:
                # Raw strings do not occur in this code base on one line worth mutating.
                out.append(" " * (n - i))
                break
            if c in "\"'":
                j = i + 1
                while j < n and line[j] != c:
                    j += 2 if line[j] == "\\" else 1
                j = min(j, n - 1)
                out.append(c + "_" * (j - i - 1) + line[j])
                i = j + 1
                continue
            out.append(c)
            i += 1
        masked.append("".join(out))
    return masked


@dataclasses.dataclass
class Mutant:
    path: str  # relative to the checkout
    line: int  # 1-based
    kind: str
    original: str  # the whole original line
    mutated: str  # the whole mutated line

    def key(self) -> str:
        return f"{self.path} | {self.original.strip()} => {self.mutated.strip()}"


# Operator swaps, found only with blanks around them (clang-format writes binary operators so,
# which keeps templates, pointers and references out of the way).
SWAPS = [
    ("relational", " < ", [" <= ", " > "]),
    ("relational", " <= ", [" < ", " > "]),
    ("relational", " > ", [" >= ", " < "]),
    ("relational", " >= ", [" > ", " < "]),
    ("relational", " == ", [" != "]),
    ("relational", " != ", [" == "]),
    ("logical", " && ", [" || "]),
    ("logical", " || ", [" && "]),
    ("arithmetic", " + ", [" - "]),
    ("arithmetic", " - ", [" + "]),
    ("arithmetic", " * ", [" / "]),
    ("arithmetic", " / ", [" * "]),
    ("arithmetic", " % ", [" * "]),
    ("arithmetic", " += ", [" -= "]),
    ("arithmetic", " -= ", [" += "]),
    ("bitwise", " & ", [" | "]),
    ("bitwise", " | ", [" & "]),
    ("bitwise", " ^ ", [" | "]),
    ("bitwise", " << ", [" >> "]),
    ("bitwise", " >> ", [" << "]),
    ("bitwise", " |= ", [" &= "]),
    ("bitwise", " &= ", [" |= "]),
]

INT_LITERAL = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F']+|\d[\d']*)([uU]?[lL]{0,2}[uU]?)(?![\w.])")
BOOL_LITERAL = re.compile(r"\b(true|false)\b")
CONDITION = re.compile(r"\b(if|while)\s*\(")
STATEMENT_SKIP = re.compile(
    r"^(return|break|continue|case|default|goto|using|namespace|template|typedef|public|private"
    r"|protected|static_assert|throw|else|do|for|if|while|switch|friend|enum|struct|class|union"
    r"|extern|static|const|constexpr|inline|auto|unsigned|signed|int|long|short|char|bool|void"
    r"|float|double)\b|^(std::|\}|\{|#)"
)


def matching_paren(text: str, open_index: int) -> int:
    depth = 0
    for i in range(open_index, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def mutants_of_line(path: str, number: int, line: str, code: str, prev_code: str) -> list[Mutant]:
    stripped = code.strip()
    if not stripped or stripped.startswith("#") or "static_assert" in code:
        return []
    found: list[Mutant] = []

    def add(kind: str, start: int, end: int, replacement: str) -> None:
        mutated = line[:start] + replacement + line[end:]
        if mutated != line:
            found.append(Mutant(path, number, kind, line, mutated))

    for kind, op, replacements in SWAPS:
        start = code.find(op)
        while start >= 0:
            for replacement in replacements:
                add(kind, start, start + len(op), replacement)
            start = code.find(op, start + 1)

    for m in INT_LITERAL.finditer(code):
        text, suffix = m.group(1), m.group(2)
        value = int(text.replace("'", ""), 0) if not re.fullmatch(r"0\d+", text) else int(text, 8)
        hexa = text.lower().startswith("0x")
        for new in (value + 1, value - 1):
            if new < 0:
                continue
            rendered = (hex(new) if hexa else str(new)) + suffix
            add("constant", m.start(), m.end(), rendered)

    for m in BOOL_LITERAL.finditer(code):
        add("constant", m.start(), m.end(), "false" if m.group(1) == "true" else "true")

    for m in CONDITION.finditer(code):
        open_index = code.index("(", m.start())
        close = matching_paren(code, open_index)
        if close > open_index:
            inner = line[open_index + 1 : close]
            add("negate", open_index, close + 1, f"(!({inner}))")

    # Early return removed: a return governed by an if (on its line or the line before).
    return_at = code.find("return")
    if return_at >= 0 and re.match(r"\s*(\}?\s*else\s+)?if\b|\s*return\b", code):
        governed = code.lstrip().startswith("if") or re.search(r"\b(if|else)\b.*[){]\s*$", prev_code)
        if governed and code.rstrip().endswith(";") and "return" in code[return_at:return_at + 6]:
            if code.lstrip().startswith("return"):
                add("return", 0, len(line), line[: len(line) - len(line.lstrip())] + ";")
            else:
                add("return", return_at, len(line.rstrip()), ";")

    # A statement deleted: a whole-line call or assignment.
    if (
        stripped.endswith(";")
        and not STATEMENT_SKIP.match(stripped)
        and (code.count("(") == code.count(")"))
        and re.match(r"[\w:*>.\[\]-]+\s*(\(|=|\+=|-=|\|=|&=|\+\+|--|->|\.|\[)", stripped)
        and not re.match(r"[\w:<>]+\s+[\w*&]+\s*[=({;]", stripped)  # a declaration
    ):
        add("delete", 0, len(line), line[: len(line) - len(line.lstrip())] + ";")
    return found


def mutants_of_file(path: Path) -> list[Mutant]:
    rel = str(path.relative_to(ROOT))
    lines = path.read_text().split("\n")
    masked = code_mask(lines)
    found = []
    prev = ""
    for i, (line, code) in enumerate(zip(lines, masked)):
        found.extend(mutants_of_line(rel, i + 1, line, code, prev))
        if code.strip():
            prev = code
    return found


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


def run_tests(build: Path, regex: str, timeout: float, wrapper: list[str]) -> str:
    """'caught', 'timeout' or 'survived'."""
    cmd = wrapper + ["ctest", "--test-dir", str(build), "-R", regex, "--timeout", str(int(timeout)),
                     "--stop-on-failure", "-j1"]
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout + 30)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return "timeout"
    if proc.returncode == 0:
        return "survived"
    if "Timeout" in out or time.monotonic() - start > timeout:
        return "timeout"
    return "caught"


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
    ap.add_argument("--timeout", type=float, default=0, help="seconds per test run (default: 3x the clean run + 10)")
    ap.add_argument("--list", action="store_true", help="list the mutants and stop")
    ap.add_argument("--report", default="", help="also write the results as JSON lines to this file")
    args = ap.parse_args()

    build = ROOT / "build" / args.preset
    platform_skip = "/posix/" if args.preset == "windows" else "/win32/"
    wrapper: list[str] = []
    if args.preset == "windows":
        wrapper = [str(ROOT / "cmake" / "wine-session.sh"), str(build / "wineprefix")]
    kinds = set(filter(None, args.kinds.split(",")))
    equivalents = read_equivalents()
    files_re = re.compile(args.files) if args.files else None
    restorer = Restorer(build / "mutate-journal.json")
    if build.exists():
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

    report = open(args.report, "w") if args.report else None
    totals = []
    for folder in args.folders:
        folder = folder.rstrip("/")
        files = sorted(p for p in (ROOT / folder).rglob("*.cpp")
                       if platform_skip not in "/" + str(p.relative_to(ROOT)) + "/"
                       and not p.name.endswith("_data.cpp")
                       and (files_re is None or files_re.search(str(p.relative_to(ROOT)))))
        if args.preset != "windows":
            files = [p for p in files if "/x11/" not in str(p) or folder.endswith("x11")]
        mutants = [m for f in files for m in mutants_of_file(f) if not kinds or m.kind in kinds]
        total_found = len(mutants)
        if args.sample and len(mutants) > args.sample:
            mutants = sorted(random.Random(args.seed).sample(mutants, args.sample),
                             key=lambda m: (m.path, m.line))
        print(f"== {folder}: {len(mutants)} mutants"
              + (f" (a sample of {total_found})" if len(mutants) < total_found else ""), flush=True)
        if args.list:
            for m in mutants:
                print(f"{m.path}:{m.line} [{m.kind}] {m.original.strip()} => {m.mutated.strip()}")
            continue

        regex = args.tests or FOLDER_TESTS.get(folder, "")
        if not regex:
            print(f"no tests known for {folder}; give --tests", file=sys.stderr)
            return 2
        code, out = run(["ctest", "--test-dir", str(build), "-N", "-R", regex])
        tests = re.findall(r"Test\s+#\d+: (\S+)", out)
        if not tests:
            print(f"no tests match {regex} in {build}", file=sys.stderr)
            return 2
        targets = build_targets(tests)
        build_cmd = ["cmake", "--build", str(build), "-j", "2", "--target", *targets]
        code, out = run(build_cmd)
        if code:
            print(out)
            print("the clean tree does not build", file=sys.stderr)
            return 2
        start = time.monotonic()
        clean = run_tests(build, regex, 600, wrapper)
        elapsed = time.monotonic() - start
        if clean != "survived":
            print(f"the clean tree fails its tests ({regex}); fix that first", file=sys.stderr)
            return 2
        timeout = args.timeout or 3 * elapsed + 10
        print(f"   tests {', '.join(tests)}: {elapsed:.1f} s clean, limit {timeout:.0f} s", flush=True)

        counts = {"caught": 0, "timeout": 0, "survived": 0, "not built": 0, "equivalent": 0}
        survivors = []
        for m in mutants:
            path = ROOT / m.path
            original = path.read_text()
            lines = original.split("\n")
            if lines[m.line - 1] != m.original:
                continue
            lines[m.line - 1] = m.mutated
            try:
                restorer.plant(path, original, "\n".join(lines))
                code, _ = run(build_cmd, timeout=600)
                if code:
                    result = "not built"
                else:
                    result = run_tests(build, regex, timeout, wrapper)
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
                report.write(json.dumps({**dataclasses.asdict(m), "result": result}) + "\n")
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
              f"{counts['equivalent']} equivalent)", flush=True)
        run(build_cmd)  # leave the build tree matching the sources

    if len(totals) > 1:
        for folder, score, counts in totals:
            print(f"{folder}: {score:.1f} %")
    return 0


if __name__ == "__main__":
    sys.exit(main())
