#!/usr/bin/env python3
"""Checks the #include lines of the tree against the floors in tools/layers.txt.

Fails (exit 1) on
  - an include in app/, runtime/ or gfx/ that points up or sideways: to a folder on the same floor
    or a higher one than the including file's folder;
  - a platform header outside its platform folders: Windows headers outside win32/, X11 headers
    outside x11/, POSIX headers outside posix/ and x11/ (the X11 driver waits on its connection).
Tests, benchmarks and tools may include any folder, but keep to the platform rule too.

    python3 tools/check_layers.py [--root DIR] [--self-test]
"""

import argparse
import re
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LAYERS = Path("tools/layers.txt")
CHECKED = ("app", "runtime", "gfx")               # folders whose arrows are checked
SCANNED = CHECKED + ("tests", "bench", "tools")  # folders whose platform headers are checked
SOURCE_SUFFIXES = {".cpp", ".h", ".hpp", ".cc", ".inc"}
PLATFORM_DIRS = {"win32", "posix", "x11"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

WINDOWS_HEADERS = {
    "windows.h", "windowsx.h", "winver.h", "winuser.h", "wingdi.h", "winbase.h", "winnt.h",
    "ddraw.h", "dinput.h", "mmsystem.h", "shellapi.h", "shlobj.h", "objbase.h", "initguid.h",
    "direct.h", "io.h", "process.h", "conio.h", "tlhelp32.h", "psapi.h", "commctrl.h",
}
POSIX_HEADERS = {
    "unistd.h", "poll.h", "fcntl.h", "termios.h", "sched.h", "pthread.h", "dirent.h", "dlfcn.h",
    "signal.h", "spawn.h", "syslog.h", "pwd.h", "grp.h", "semaphore.h", "glob.h", "fnmatch.h",
}


def platform_of(header: str) -> str | None:
    """The platform folder a header belongs to, or None for a portable one."""
    name = header.lower()
    if name in WINDOWS_HEADERS or name.startswith(("gl/wgl", "dxgi", "d3d")):
        return "win32"
    if name.startswith(("x11/", "gl/glx")):
        return "x11"
    if name in POSIX_HEADERS or name.startswith(("sys/", "netinet/", "arpa/")):
        return "posix"
    return None


def read_floors(root: Path) -> dict[str, int]:
    """Folder -> floor number, 0 at the top."""
    floors = {}
    lines = (root / LAYERS).read_text().splitlines()
    for line in lines:
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        level = len(set(floors.values()))
        for folder in line.split():
            floors[folder] = level
    return floors


def folder_of(path: str, floors: dict[str, int]) -> str | None:
    """The longest folder of floors that holds path (a/b/c.cpp), or None."""
    parts = path.split("/")
    for n in range(len(parts) - 1, 0, -1):
        candidate = "/".join(parts[:n])
        if candidate in floors:
            return candidate
    return None


def allowed_platforms(path: str) -> set[str]:
    dirs = set(path.split("/")[:-1]) & PLATFORM_DIRS
    # POSIX calls live in posix/ and in the X11 driver, which waits on its connection.
    if "x11" in dirs:
        dirs.add("posix")
    return dirs


def check(root: Path) -> list[str]:
    floors = read_floors(root)
    problems = []
    for top in SCANNED:
        base = root / top
        if not base.is_dir():
            continue
        for file in sorted(base.rglob("*")):
            if file.suffix not in SOURCE_SUFFIXES or not file.is_file():
                continue
            rel = file.relative_to(root).as_posix()
            if rel.startswith(("build/", "tests/data/")):
                continue
            source_folder = folder_of(rel, floors) if top in CHECKED else None
            for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                bracket, header = match.groups()
                where = f"{rel}:{number}: #include {bracket}{header}{'>' if bracket == '<' else bracket}"
                platform = platform_of(header)
                if platform and platform not in allowed_platforms(rel):
                    problems.append(f"{where}: a {platform} header outside a {platform}/ folder")
                if bracket != '"' or source_folder is None:
                    continue
                target = folder_of(header, floors)
                if target is None or target == source_folder:
                    continue
                if floors[target] <= floors[source_folder]:
                    direction = "sideways" if floors[target] == floors[source_folder] else "up"
                    problems.append(f"{where}: points {direction}, {source_folder} -> {target}")
    return problems


def self_test() -> int:
    """The checker finds what it is for: an arrow up, one sideways, a platform header astray; and
    passes the allowed ones."""
    with tempfile.TemporaryDirectory() as tmp:
        root = Path(tmp)
        (root / "tools").mkdir()
        (root / LAYERS).write_text((ROOT / LAYERS).read_text())
        files = {
            "gfx/core/up.cpp": '#include "gfx/console/text_output.h"\n',
            "gfx/win32/sideways.cpp": '#include "gfx/x11/x11_driver.h"\n',
            "gfx/console/platform.cpp": "#include <windows.h>\n#include <unistd.h>\n",
            "gfx/screen/fine.cpp": '#include "gfx/core/framebuffer.h"\n#include "runtime/print.h"\n',
            "gfx/core/win32/fine.cpp": '#include <windows.h>\n#include "gfx/core/palette.h"\n',
            "gfx/x11/fine.cpp": "#include <X11/Xlib.h>\n#include <poll.h>\n",
            "tests/gfx/core/fine_test.cpp": '#include "gfx/screen/screen_setup.h"\n',
        }
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text)
        found = check(root)
        expected = [
            "gfx/console/platform.cpp:1: #include <windows.h>: a win32 header outside a win32/ folder",
            "gfx/console/platform.cpp:2: #include <unistd.h>: a posix header outside a posix/ folder",
            'gfx/core/up.cpp:1: #include "gfx/console/text_output.h": points up, gfx/core -> gfx/console',
            'gfx/win32/sideways.cpp:1: #include "gfx/x11/x11_driver.h": points sideways, gfx/win32 -> gfx/x11',
        ]
        if found != expected:
            print("self-test failed; found:", *found, sep="\n  ")
            return 1
    print("check_layers self-test: passed")
    return 0


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", type=Path, default=ROOT)
    ap.add_argument("--self-test", action="store_true")
    args = ap.parse_args()
    if args.self_test:
        return self_test()
    problems = check(args.root)
    for problem in problems:
        print(problem)
    floors = read_floors(args.root)
    if problems:
        print(f"{len(problems)} include(s) against the floors of {LAYERS}")
        return 1
    print(f"includes follow the floors of {LAYERS} ({len(floors)} folders)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
