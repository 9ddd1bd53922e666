#!/usr/bin/env bash
# The Debian packages of this build: made with CPack into a temporary folder, unpacked, their
# files checked, each installed program started headless.
#   check-packages.sh CPACK_CONFIG VERSION HARDENED(yes|no)
set -euo pipefail
config=$1
version=$2
hardened=$3
if ! command -v dpkg-deb >/dev/null; then
    echo "SKIP: dpkg-deb is not installed (Debian package dpkg), no package to check"
    exit 77
fi
work=$(mktemp -d /tmp/rx-package-test.XXXXXX)
simpid=
cleanup() {
    [ -z "$simpid" ] || kill "$simpid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! cpack --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the packages"
fi
arch=$(dpkg --print-architecture)
tools=$work/out/velmora-rx-tools_${version}-1_$arch.deb
sim=$work/out/velmora-rx-sim_${version}-1_$arch.deb
root=$work/root
for deb in "$tools" "$sim"; do
    [ -s "$deb" ] || fail "no $(basename "$deb")"
    dpkg-deb -x "$deb" "$root"
    # A summary and an extended description.
    [ "$(dpkg-deb -f "$deb" Description | wc -l)" -ge 3 ] || fail "$(basename "$deb"): description"
done
[ "$(dpkg-deb -f "$tools" Package)" = velmora-rx-tools ] || fail "tools package name"
[ "$(dpkg-deb -f "$sim" Package)" = velmora-rx-sim ] || fail "simulator package name"

programs=(rx200cal rx100cal rx300cal memedit)
expect=(
    usr/lib/udev/rules.d/60-velmora-rx.rules
    usr/share/velmora-rx-tools/locale/pt_BR/LC_MESSAGES/serialsetup.mo
    usr/share/velmora-rx-tools/locale/pt_BR/LC_MESSAGES/default.mo
    usr/share/velmora-rx-tools/locale/pt_BR/LC_MESSAGES/rxmem.mo
    usr/share/velmora-rx-tools/locale/pt_BR/LC_MESSAGES/rxwords.mo
    usr/bin/rxmem usr/share/man/man1/rxmem.1.gz usr/share/bash-completion/completions/rxmem
    usr/bin/rxsim usr/share/man/man1/rxsim.1.gz
)
for package in velmora-rx-tools velmora-rx-sim; do
    expect+=("usr/share/doc/$package/copyright" "usr/share/doc/$package/changelog.Debian.gz")
done
for p in "${programs[@]}"; do
    expect+=("usr/bin/$p" "usr/share/man/man1/$p.1.gz" "usr/share/applications/$p.desktop"
        "usr/share/icons/hicolor/scalable/apps/velmora-$p.svg"
        "usr/share/metainfo/invalid.velmora.$p.metainfo.xml")
done
for f in "${expect[@]}"; do
    [ -f "$root/$f" ] || fail "the packages lack /$f"
done
# The catalogs are the program's own: none goes to the system's locale folder.
[ ! -e "$root/usr/share/locale" ] || fail "a catalog went to /usr/share/locale"
[ ! -e "$root/usr/share/doc/rxtools" ] || fail "a documentation folder not named after a package"
for f in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/*/changelog.Debian.gz; do
    gzip -t "$f" || fail "$f is not gzip"
done
grep -q '^License: MIT' "$root/usr/share/doc/velmora-rx-tools/copyright" || fail "copyright"
grep -q 'GROUP="dialout"' "$root/usr/lib/udev/rules.d/60-velmora-rx.rules" || fail "udev rule"
for d in "$root"/usr/share/applications/*.desktop; do
    grep -q '^Icon=velmora-' "$d" && grep -q '^Keywords=' "$d" || fail "$d: icon or keywords"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$d" || fail "$d does not validate"
    fi
done

# The AppStream metadata: valid alone, and in the tree, where each launchable names a menu entry
# of the package; each gives its program.
command -v appstreamcli >/dev/null || fail "no appstreamcli (scripts/setup-deps installs appstream)"
appstream() {
    appstreamcli "$@" >"$work/appstream" 2>&1 || { cat "$work/appstream" >&2; fail "appstreamcli $*"; }
}
appstream validate --no-net "$root"/usr/share/metainfo/*.xml
appstream validate-tree --no-net "$root"
for p in "${programs[@]}"; do
    grep -q "<binary>$p</binary>" "$root/usr/share/metainfo/invalid.velmora.$p.metainfo.xml" ||
        fail "the AppStream metadata of $p does not give its binary"
done

for p in "${programs[@]}" rxmem rxsim; do
    exe=$root/usr/bin/$p
    # Stripped, position-independent; in an optimised build also bound at start with read-only
    # relocations and a stack protector.
    # (readelf's answer is read whole: grep -q leaving early would fail the pipe.)
    elf=$(readelf --file-header --sections --program-headers --dynamic --dyn-syms --wide "$exe")
    if grep -q '\.symtab' <<<"$elf"; then fail "$p is not stripped"; fi
    grep -q 'Type:.*DYN' <<<"$elf" || fail "$p is not position-independent"
    if [ "$hardened" = yes ]; then
        grep -q 'BIND_NOW' <<<"$elf" || fail "$p: not bound at start (-z now)"
        grep -q 'GNU_RELRO' <<<"$elf" || fail "$p: no read-only relocations"
        grep -q '__stack_chk_fail' <<<"$elf" || fail "$p: no stack protector"
        grep -q '__[a-z]*_chk@' <<<"$elf" || fail "$p: no fortified libc call"
    fi
    [ "$("$exe" --version)" = "$p $version" ] || fail "installed $p --version"
done

# Each installed program up to its first window, headless; it says which window and ends.
for p in "${programs[@]}"; do
    status=0
    shown=$(QT_QPA_PLATFORM=offscreen timeout 60 "$root/usr/bin/$p" --quit-when-shown 2>"$work/err") ||
        status=$?
    [ "$status" -eq 0 ] || { cat "$work/err" >&2; fail "installed $p ended with status $status"; }
    case "$p:$shown" in
    rx*cal:"shown: Ajuste Serial" | "memedit:shown: Ajuste memória não volátil- VELMORA") ;;
    *) fail "installed $p showed '$shown'" ;;
    esac
done

# The installed rxmem finds its catalog from its own place, and its completion loads.
help=$(env -u RXMEM_LOCALEDIR LC_ALL=C.UTF-8 LANGUAGE=pt_BR "$root/usr/bin/rxmem" --help) ||
    fail "installed rxmem --help"
grep -q '^uso: rxmem ' <<<"$help" || fail "installed rxmem --help is not in Portuguese"
bash -c 'source "$1" && complete -p rxmem' _ "$root/usr/share/bash-completion/completions/rxmem" \
    >/dev/null || fail "the bash completion does not load"
# Without bash-completion (a bare bash has none) it completes by itself, quietly, "--model=" too;
# the package recommends bash-completion, which loads it on the first Tab.
offered=$(bash --norc --noprofile -c 'source "$1"
    offer() { COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=(); _rxmem; echo "${COMPREPLY[*]}"; }
    offer rxmem re; offer rxmem save --model = r' _ \
    "$root/usr/share/bash-completion/completions/rxmem" 2>&1)
[ "$offered" = $'read\nrx200 rx100 rx300' ] || fail "the completion without bash-completion: $offered"
dpkg-deb -f "$tools" Recommends | grep -qw bash-completion || fail "bash-completion not recommended"

# The installed simulator up to its pseudo-terminal: its first line names it.
coproc SIM { exec "$root/usr/bin/rxsim" --model rx300 </dev/null; }
simpid=$SIM_PID
read -r -t 30 line <&"${SIM[0]}" || fail "the installed rxsim said nothing"
case "$line" in
"rxsim: rx300 on /dev/pts/"*) ;;
*) fail "the installed rxsim said '$line'" ;;
esac

echo "packages: $(du -k "$tools" "$sim" | awk '{s += $1} END {print s}') KiB, ok"
