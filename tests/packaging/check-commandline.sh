#!/usr/bin/env bash
# The command line of every program, with no display: --help and --version on standard output
# and status 0, a usage line on standard error and status 2 for an unknown option, status 2 and
# the system's reason when standard output is full or closed, --trace FILE,
# and the private runtime folder a session without XDG_RUNTIME_DIR gets.
#   check-commandline.sh VERSION RXSIM RXMEM PROGRAM...
set -euo pipefail
version=$1
rxsim=$2
rxmem=$3
shift 3
work=$(mktemp -d /tmp/rx-commandline-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    for f in out err; do [ -s "$work/$f" ] && sed "s/^/  $f: /" "$work/$f" >&2; done
    exit 1
}
# Without a display, a program that made its application object before reading its options
# would stop with Qt's platform message instead of answering.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

run() { # expected-status command...
    local expected=$1 status=0
    shift
    "$@" >"$work/out" 2>"$work/err" || status=$?
    [ "$status" -eq "$expected" ] || fail "$(basename "$1") ${*:2}: status $status, not $expected"
}

for exe in "$@" "$rxsim" "$rxmem"; do
    name=$(basename "$exe")
    run 0 "$exe" --version
    [ "$(cat "$work/out")" = "$name $version" ] || fail "$name --version"
    [ ! -s "$work/err" ] || fail "$name --version wrote on standard error"
    run 0 "$exe" --help
    grep -q -- '--version' "$work/out" || fail "$name --help does not list --version"
    [ ! -s "$work/err" ] || fail "$name --help wrote on standard error"
    run 2 "$exe" --no-such-option
    [ ! -s "$work/out" ] || fail "$name: a usage error wrote on standard output"
    grep -Eq "^(uso|usage): $name " "$work/err" || fail "$name: no usage line on standard error"
done

# Output that went nowhere is no success: a full device, and standard output closed.
for exe in "$@" "$rxmem"; do
    name=$(basename "$exe")
    status=0
    LC_ALL=C LANGUAGE= "$exe" --help >/dev/full 2>"$work/err" || status=$?
    [ "$status" -eq 2 ] || fail "$name --help >/dev/full: status $status, not 2"
    grep -q "No space left on device" "$work/err" || fail "$name --help >/dev/full: no reason told"
    status=0
    LC_ALL=C LANGUAGE= "$exe" --version >&- 2>"$work/err" || status=$?
    [ "$status" -eq 2 ] || fail "$name --version >&-: status $status, not 2"
    grep -q "Bad file descriptor" "$work/err" || fail "$name --version >&-: no reason told"
done

user=$(id -un)
for exe in "$@"; do
    name=$(basename "$exe")
    grep -q -- '--trace ARQUIVO' <("$exe" --help) || fail "$name --help does not list --trace"
    run 2 "$exe" --trace "$work/no/such/folder/trace.log"
    grep -q "^$name: não foi possível gravar o rastreamento em $work/no/such/folder/trace.log" \
        "$work/err" || fail "$name: no message for a trace that cannot be written"

    # Started for real: the trace file is made, the first window shows, and a session without
    # XDG_RUNTIME_DIR gets <temp>/runtime-<user>, 0700, with no word from Qt about it.
    mkdir -p "$work/tmp-$name"
    run 0 env -u XDG_RUNTIME_DIR TMPDIR="$work/tmp-$name" QT_QPA_PLATFORM=offscreen \
        timeout 60 "$exe" --trace "$work/$name.trace" --quit-when-shown
    grep -q '^shown: ' "$work/out" || fail "$name did not show its window"
    [ -f "$work/$name.trace" ] || fail "$name did not make its trace file"
    if grep -q 'XDG_RUNTIME_DIR' "$work/err"; then fail "$name: Qt warned about XDG_RUNTIME_DIR"; fi
    [ "$(stat -c %a "$work/tmp-$name/runtime-$user")" = 700 ] ||
        fail "$name: no private runtime folder"
done
echo "command line of $# programs, rxsim and rxmem: ok"
