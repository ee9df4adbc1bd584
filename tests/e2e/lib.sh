# Shared helpers for the end-to-end runs of the real program. Sourced, not run.
#   mode: native (the Linux build, drives below $DRIVENUDGE_ROOT) or
#         wine   (drivenudge.exe, drives as links in the Wine prefix's dosdevices)

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

e2e_skip() {
    echo "SKIP: $*" >&2
    exit 77
}

# e2e_init MODE EXE: a private work folder, removed on exit with everything started here.
e2e_init() {
    E2E_MODE=$1
    E2E_EXE=$2
    E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/drivenudge-e2e.XXXXXX")
    E2E_PIDS=()
    E2E_LINKS=()
    trap e2e_cleanup EXIT
    case "$E2E_MODE" in
    native) export DRIVENUDGE_ROOT="$E2E_WORK/roots" ;;
    wine)
        [ -n "${WINEPREFIX:-}" ] || e2e_fail "WINEPREFIX is not set"
        export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        ;;
    *) e2e_fail "unknown mode $E2E_MODE" ;;
    esac
    mkdir -p "$E2E_WORK/roots" "$E2E_WORK/start"
}

e2e_cleanup() {
    local pid link
    for pid in "${E2E_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    for link in "${E2E_LINKS[@]}"; do rm -f "$link"; done
    rm -rf "$E2E_WORK"
}

# e2e_drive LETTER [TARGET]: makes drive LETTER a folder of the work area (or TARGET, which may
# not exist: a drive that is not ready).
e2e_drive() {
    local letter=$1 target=${2:-$E2E_WORK/roots/$1}
    [ -n "${2:-}" ] || mkdir -p "$target"
    if [ "$E2E_MODE" = wine ]; then
        local link="$WINEPREFIX/dosdevices/$letter:"
        rm -f "$link"
        ln -s "$target" "$link"
        E2E_LINKS+=("$link")
    elif [ -n "${2:-}" ]; then
        ln -sfn "$target" "$E2E_WORK/roots/$letter"
    fi
}

# e2e_start ARG...: starts the program in the start folder, in the background; sets E2E_PID.
e2e_start() {
    if [ "$E2E_MODE" = wine ]; then
        (cd "$E2E_WORK/start" && exec wine "$E2E_EXE" "$@" </dev/null >"$E2E_WORK/out" 2>&1) &
    else
        (cd "$E2E_WORK/start" && exec "$E2E_EXE" "$@" </dev/null >"$E2E_WORK/out" 2>&1) &
    fi
    E2E_PID=$!
    E2E_PIDS+=("$E2E_PID")
}

# e2e_run_for SECONDS ARG...: runs the program to its end; sets E2E_STATUS (124 when it had to be
# stopped) and leaves its output in $E2E_WORK/out.
e2e_run_for() {
    local seconds=$1
    shift
    E2E_STATUS=0
    if [ "$E2E_MODE" = wine ]; then
        (cd "$E2E_WORK/start" && timeout -k 5 "$seconds" wine "$E2E_EXE" "$@" </dev/null \
            >"$E2E_WORK/out" 2>/dev/null) || E2E_STATUS=$?
    else
        (cd "$E2E_WORK/start" && timeout -k 5 "$seconds" "$E2E_EXE" "$@" </dev/null \
            >"$E2E_WORK/out" 2>/dev/null) || E2E_STATUS=$?
    fi
}

# e2e_wait_until SECONDS COMMAND...: polls every 0.2 s until COMMAND succeeds; 1 on time-out.
e2e_wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# e2e_init_package BUILD_MODE MODE EXE TOOL...: e2e_init for a test of the packages made from the
# plain (not sanitizer) build tree of EXE, run only in BUILD_MODE; no display; each TOOL must be
# there. Sets E2E_BUILD (the build tree) and E2E_VERSION (the project's, as cpack has it).
e2e_init_package() {
    local wanted=$1
    shift
    [ "$1" = "$wanted" ] || e2e_skip "these packages are made by the $wanted build"
    E2E_BUILD=$(cd "$(dirname "$2")/.." && pwd)
    ! grep -q '^DN_SANITIZE:STRING=.' "$E2E_BUILD/CMakeCache.txt" ||
        e2e_skip "packages are made from the plain build, not a sanitizer build"
    e2e_init "$1" "$2"
    shift 2
    unset DISPLAY WAYLAND_DISPLAY
    local tool
    for tool in cpack "$@"; do
        command -v "$tool" >/dev/null || e2e_fail "$tool is missing"
    done
    E2E_VERSION=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$E2E_BUILD/CPackConfig.cmake")
    [[ "$E2E_VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || e2e_fail "no project version in CPackConfig.cmake"
}

# e2e_init_windows MODE EXE TOOL...: e2e_init for a run that looks at the program's windows,
# which exist only in the Windows build on a display; the window probe and each TOOL must be there.
e2e_init_windows() {
    [ "$1" = wine ] || e2e_skip "windows only exist in the Windows build"
    e2e_init "$1" "$2"
    shift 2
    [ -n "${DISPLAY:-}" ] || e2e_skip "no display"
    [ -n "${DN_WINDOW_PROBE:-}" ] || e2e_fail "DN_WINDOW_PROBE is not set"
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || e2e_fail "$tool is missing"
    done
}

# The window probe of the Windows build ($DN_WINDOW_PROBE) under Wine, without carriage returns.
e2e_probe() { wine "$DN_WINDOW_PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# e2e_open_window CLASS ARG...: starts the program and waits for its window of class CLASS; sets
# GEOMETRY to "x y width height title" of the client area.
e2e_open_window() {
    local class=$1
    shift
    e2e_start "$@"
    GEOMETRY=$(e2e_probe find "$class" 30) || e2e_fail "no window for arguments: $*"
}

# e2e_wait_exit SECONDS: the program ended by then with exit code 0.
e2e_wait_exit() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$E2E_PID" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the program did not end"
        sleep 0.1
    done
    local status=0
    wait "$E2E_PID" || status=$?
    [ "$status" = 0 ] || e2e_fail "exit code $status"
}

# e2e_expect_golden IMAGE NAME: the client area of GEOMETRY shows exactly IMAGE within a few
# seconds (the first passes may still be on their way to the screen); otherwise the test fails
# and the last screenshot is kept as ${TMPDIR:-/tmp}/NAME.ppm.
e2e_expect_golden() {
    local image=$1 name=$2 x y width height
    read -r x y width height _ <<<"$GEOMETRY"
    local shot="$E2E_WORK/shot.ppm"
    for _ in $(seq 20); do
        import -window root -crop "${width}x${height}+$x+$y" +repage -depth 8 "ppm:$shot"
        [ "$(compare -metric AE "$shot" "$image" null: 2>&1)" = 0 ] && return 0
        sleep 0.25
    done
    cp "$shot" "${TMPDIR:-/tmp}/$name.ppm"
    e2e_fail "the window differs from the golden image (saved ${TMPDIR:-/tmp}/$name.ppm)"
}

# Visible top-level windows on the test display, if there is one.
e2e_visible_windows() {
    if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null; then
        echo 0
        return
    fi
    xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l
}

# e2e_expect_usage ARG...: run with ARG... where no window can be shown (DISPLAY unset), the
# program prints the usage text and ends with exit code 0.
e2e_expect_usage() {
    local expected='drivenudge: a keep-awake tool for your disks
(md $drivenudge.tmp / rd $drivenudge.tmp)
  usage   : drivenudge drive_letter(s)
  example : drivenudge cdefxy

hit anykey to close window'
    e2e_run_for 30 "$@"
    [ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS for arguments: $*"
    local got
    got=$(tr -d '\r' <"$E2E_WORK/out")
    [ "$got" = "$expected" ] || e2e_fail "for arguments '$*' the output was:
$got"
}

# e2e_xvfb WxHxD: starts a private Xvfb with that screen on a display number the server picks
# itself (no race with other servers starting beside it) and points DISPLAY at it; sets XVFB_PID.
# The caller stops it (e2e_cleanup does, for a server started after e2e_init).
e2e_xvfb() {
    local numbers
    numbers=$(mktemp "${TMPDIR:-/tmp}/drivenudge-xvfb.XXXXXX")
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$numbers" >/dev/null 2>&1 &
    XVFB_PID=$!
    [ -z "${E2E_WORK:-}" ] || E2E_PIDS+=("$XVFB_PID")
    local tries=0
    until [ -s "$numbers" ] && [ -e "/tmp/.X11-unix/X$(head -n 1 "$numbers")" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            rm -f "$numbers"
            echo "Xvfb did not start" >&2
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$numbers")"
    rm -f "$numbers"
}
