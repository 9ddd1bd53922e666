#!/bin/sh
# Starts or stops a controller simulator for a group of tests.
#   sim-fixture.sh start DIR RXSIM [options...]   publish DIR/COM1, log to DIR/frames.log
#   sim-fixture.sh stop DIR
set -eu
cmd=$1
dir=$2
shift 2
case "$cmd" in
start)
    rxsim=$1
    shift
    if [ -f "$dir/pid" ]; then
        kill "$(cat "$dir/pid")" 2>/dev/null || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    # The simulator must not hold the test's output pipes, or CTest waits for it.
    "$rxsim" --link "$dir/COM1" --log "$dir/frames.log" --pidfile "$dir/pid" "$@" \
        </dev/null >"$dir/rxsim.out" 2>&1 &
    i=0
    while [ ! -L "$dir/COM1" ]; do
        i=$((i + 1))
        if [ $i -gt 200 ]; then
            echo "rxsim did not publish $dir/COM1" >&2
            cat "$dir/rxsim.out" >&2 || true
            exit 1
        fi
        sleep 0.05
    done
    echo "rxsim running, port $dir/COM1"
    ;;
stop)
    if [ -f "$dir/pid" ]; then
        pid=$(cat "$dir/pid")
        kill "$pid" 2>/dev/null || true
        # The simulator was left to init when `start` ended, and init may take a second or two
        # to reap it: an exited simulator (a zombie, state Z) has already let go of its port.
        i=0
        while kill -0 "$pid" 2>/dev/null &&
            [ "$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -c1)" != Z ]; do
            i=$((i + 1))
            [ $i -gt 100 ] && kill -9 "$pid" 2>/dev/null && break
            sleep 0.05
        done
        rm -f "$dir/pid"
    fi
    if [ -e "$dir/COM1" ] || [ -L "$dir/COM1" ]; then
        echo "rxsim left its link $dir/COM1 behind" >&2
        exit 1
    fi
    ;;
*)
    echo "usage: $0 start|stop DIR [RXSIM options...]" >&2
    exit 2
    ;;
esac
