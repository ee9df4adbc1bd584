#!/bin/sh
# Runs a Windows program under Wine for the tests: quiet, in the build tree's own prefix (set by
# the test runner through WINEPREFIX), on the display the runner started.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
