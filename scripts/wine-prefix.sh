# Sourced by scripts/test-windows: makes the build's Wine prefix and starts
# the one Wine server the whole run uses. Each step says what it does, and a
# step that fails says which it was and what Wine printed.

# Wine's output goes to a file, not a pipe: the services a Wine program
# starts inherit its output and outlive it, and a reader of a pipe would wait
# for them forever.
quillon_wine_step() { # quillon_wine_step <what> <command...>
    local what="$1" log status=0
    shift
    echo "Wine: $what"
    log=$(mktemp)
    "$@" </dev/null >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "Wine: $what failed (exit $status): $*" >&2
        cat "$log" >&2
    fi
    rm -f "$log"
    return "$status"
}

# The server that made the prefix, and its helpers, must have gone before the
# persistent one starts: a second server in the same prefix exits with 2.
quillon_stop_wine_server() {
    wineserver --kill >/dev/null 2>&1 || true
    wineserver --wait >/dev/null 2>&1 || true
}

quillon_prepare_wine() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        # A half-made prefix from a run that was cut short is made again.
        if ! quillon_wine_step "making the prefix $WINEPREFIX" wineboot --init; then
            quillon_stop_wine_server
            rm -rf "$WINEPREFIX"
            mkdir -p "$WINEPREFIX"
            quillon_wine_step "making the prefix again" wineboot --init || return 1
        fi
    fi
    quillon_stop_wine_server
    # One server for the whole run: a server that ends between two tests can
    # drop the connection of the test starting just then.
    local attempt
    for attempt in 1 2 3; do
        quillon_wine_step "starting the server (try $attempt)" wineserver --persistent && break
        [ "$attempt" -eq 3 ] && return 1
        quillon_stop_wine_server
        sleep 1
    done
    # Wine's own services start with the first program and then stay with the
    # server. Started here, they hold no pipe of ours: started by a program the
    # build runs, they would keep the build tool's output pipe open, and the
    # build would wait for them forever.
    for attempt in 1 2 3; do
        quillon_wine_step "starting its services (try $attempt)" wine cmd /c exit && return 0
        sleep 2
    done
    return 1
}
