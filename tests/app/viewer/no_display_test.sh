#!/usr/bin/env bash
# The built viewer started without any display: one line saying so and exit status 1, not Qt's
# abort; --help and --version need no display. Usage: no_display_test.sh VIEWER
set -uo pipefail
viewer=$1
failures=0
check() { # DESCRIPTION WANTED_STATUS WANTED_STDERR ARGUMENT...
    local what=$1 want_status=$2 want_err=$3 status=0 err
    shift 3
    err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$viewer" "$@" 2>&1 >/dev/null) ||
        status=$?
    if [ "$status" -eq "$want_status" ] && [ "$err" = "$want_err" ]; then
        echo "ok   $what: exit status $status"
    else
        echo "FAIL $what: exit status $status, stderr \"$err\""
        failures=$((failures + 1))
    fi
}
message="zeralvisualizador: nenhuma tela disponível (DISPLAY e WAYLAND_DISPLAY vazios); execute-o numa sessão gráfica"
check "no argument" 1 "$message"
check "--open REPORT" 1 "$message" --open "$(dirname "$0")/../../../examples/exemplo.GVP"
check "--help" 0 "" --help
check "--version" 0 "" --version
exit "$failures"
