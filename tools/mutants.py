"""The faults the mutation command plants: which lines of a C++ file are code, and the small
changes (mutants) each line can take. Used by tools/mutate.py."""

from __future__ import annotations

import dataclasses
import re
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


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
