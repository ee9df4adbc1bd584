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

# Visible top-level windows on the test display, if there is one.
e2e_visible_windows() {
    if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null; then
        echo 0
        return
    fi
    xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l
}
