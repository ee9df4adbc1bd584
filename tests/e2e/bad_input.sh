#!/usr/bin/env bash
# Odd drive arguments: the program keeps running (no crash, no early end) and creates nothing,
# neither where it was started nor anywhere in the drives.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$@"

e2e_drive q
high=$(printf "$(printf '\\\\x%02x' $(seq 128 255))")
controls=$'\x01\x02\x07\x08\t\n\x0b\x0c\r\x1b\x7f'
# Windows limits a command line to 32767 characters.
long_length=$([ "$E2E_MODE" = wine ] && echo 30000 || echo 100000)
long=$(head -c "$long_length" < <(yes "q/\\.:${controls}${high}" | tr -d '\n'))

arguments=("/" "\\" "." ":" "$controls" "$high" "q:\\..\\.." "$long")
for argument in "${arguments[@]}"; do
    e2e_start "$argument"
    sleep 2
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the program ended on an argument of ${#argument} bytes"
    kill -9 "$E2E_PID"
    wait "$E2E_PID" 2>/dev/null || true
    [ -z "$(find "$E2E_WORK/start" "$E2E_WORK/roots/q" -mindepth 1)" ] ||
        e2e_fail "something was created for an argument of ${#argument} bytes"
done
[ "$(find "$E2E_WORK" -mindepth 1 | grep -v -e '/start$' -e '/roots$' -e '/roots/q$' -e '/out$')" = "" ] ||
    e2e_fail "something appeared in the work area"
echo "bad input: ${#arguments[@]} arguments, the program kept running and created nothing"
