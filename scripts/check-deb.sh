#!/usr/bin/env bash
# Checks the Debian package as a workstation gets it: builds the .deb (or takes
# one), installs it with dpkg -i and apt-get -f install on a clean Debian 12
# root made by debootstrap (or, with --host, on this machine), starts the
# installed program offscreen in a new empty working directory, checks that it
# created its database there and was still running when told to stop, runs
# the simulator, and purges the package again.
#
#   scripts/check-deb.sh [--build-dir DIR] [--deb FILE] [--host] [--cache DIR]
#
#   --build-dir DIR  where cpack runs (default: build/ in the repository)
#   --deb FILE       check this package instead of building one
#   --host           install on this machine instead of a fresh root; the
#                    dependencies apt adds stay installed
#   --cache DIR      keeps the debootstrap root (as a tar file) and the
#                    downloaded packages between runs (default: DIR/deb-check)
#
# Needs root (dpkg, chroot) and the Debian mirror; installs debootstrap when
# missing. The first run downloads Debian's base system (about 30 s), later
# runs start from the cached copy. Exit code 77: cannot run here (no root, no
# debootstrap); ctest counts that as skipped.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SELF="$ROOT/scripts/check-deb.sh"
SUITE=bookworm
MIRROR="${ARQ_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
PACKAGE=arq310mx

step() { printf '[check-deb %4ss] %s\n' "$SECONDS" "$*" >&2; }
fail() { echo "check-deb: FAILED: $*" >&2; exit 1; }
skip() { echo "check-deb: SKIPPED: $*" >&2; exit 77; }

# ---------------------------------------------------------------------------
# The checks of an installed package, run where it was installed (inside the
# fresh root or on this machine).
run_installed() {
    export QT_QPA_PLATFORM=offscreen
    local runtime=""
    if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
        runtime=$(mktemp -d /tmp/arq-runtime.XXXXXX)
        export XDG_RUNTIME_DIR=$runtime
    fi
    local share=/usr/share/$PACKAGE
    local f
    for f in /usr/bin/arq310mx /usr/bin/arq-simulator "$share/tervan_zh.qm" "$share/tervan_en.qm" \
             "$share/help.html" /usr/share/applications/arq310mx.desktop \
             /usr/share/icons/hicolor/256x256/apps/arq310mx.png; do
        [[ -f $f ]] || fail "$f is not installed"
    done
    # Every picture the help document shows is there beside it.
    local src
    for src in $(grep -o 'src="[^"]*"' "$share/help.html" | sed 's/^src="//; s/"$//'); do
        [[ -f $share/$src ]] || fail "the help shows $src, which is not installed"
    done
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate /usr/share/applications/arq310mx.desktop || fail "the desktop entry is not valid"
    fi
    [[ $(command -v arq310mx) == /usr/bin/arq310mx ]] || fail "arq310mx is not found on PATH"

    # The plugins the program loads at run time, which dpkg-shlibdeps never
    # saw: each one present with every library it needs.
    local plugins plugin missing
    plugins=$(dirname "$(dpkg -L libqt5gui5 | grep -m1 '/qt5/plugins/platforms/libqxcb.so$')")/..
    for plugin in platforms/libqxcb.so platforms/libqoffscreen.so sqldrivers/libqsqlite.so \
                  sqldrivers/libqsqlpsql.so imageformats/libqgif.so; do
        [[ -f $plugins/$plugin ]] || fail "Qt plugin $plugin is not installed"
        missing=$(ldd "$plugins/$plugin" | grep "not found" || true)
        [[ -z $missing ]] || fail "Qt plugin $plugin lacks libraries: $missing"
    done
    step "Qt plugins xcb, offscreen, sqlite, psql, gif: present, their libraries too"

    local version
    version=$(dpkg-query -W -f='${Version}' "$PACKAGE")
    version=${version%-*}
    local out
    out=$(arq310mx --version) || fail "arq310mx --version: $out"
    [[ $out == *"$version"* ]] || fail "arq310mx --version says '$out', the package is $version"
    step "arq310mx --version: $out"

    # The program in a new, empty working directory, twice: first it creates
    # its database, then it opens the one it made.
    local work run
    work=$(mktemp -d /tmp/arq-workdir.XXXXXX)
    for run in 1 2; do
        start_program "$work" "$run" arq310mx
    done
    check_database "$work/ARQ-310MX.db3"
    local log
    log=$(ls "$work"/log_*.log 2>/dev/null | head -n 1 || true)
    [[ -n $log ]] || fail "the program wrote no log in its working directory"
    if grep -q "Translation not loaded" "$log"; then
        grep "Translation not loaded" "$log" >&2
        fail "the program did not find its installed translations"
    fi
    if dpkg-query -W -f='${Status}' qttranslations5-l10n 2>/dev/null | grep -q "install ok installed" &&
        grep -q "qt_zh_CN.qm) not found" "$log"; then
        fail "Qt's Chinese translation is installed but the program did not find it"
    fi
    if grep -E "^(Critical|Fatal)" "$log" >&2; then
        fail "the program logged errors"
    fi
    grep "^Warning" "$log" | sed 's/^Warning: ([^)]*) *//' | sort | uniq -c | sed 's/^/    log warning: /' >&2 || true
    step "working directory after two starts: $(cd "$work" && ls | tr '\n' ' ')"
    start_from_desktop_entry

    # The simulator: its help, and one logger on a free port until told to quit.
    out=$(arq-simulator --help) || fail "arq-simulator --help failed"
    [[ $out == Usage:* ]] || fail "arq-simulator --help printed no usage"
    out=$(printf 'status\nquit\n' | timeout 20 arq-simulator --tcp 127.0.0.1:0 2>&1) ||
        fail "arq-simulator did not run: $out"
    [[ $out == *"LISTEN tcp 127.0.0.1:"* ]] || fail "arq-simulator did not listen: $out"
    step "arq-simulator: $(grep -m1 LISTEN <<<"$out")"
    rm -rf "$work" ${runtime:+"$runtime"}

    # Purged, the package leaves none of its files behind.
    dpkg --purge "$PACKAGE" >/dev/null || fail "dpkg --purge $PACKAGE failed"
    for f in /usr/bin/arq310mx /usr/bin/arq-simulator "$share" /usr/share/doc/$PACKAGE; do
        [[ ! -e $f ]] || fail "$f is still there after the purge"
    done
    step "purged"
}

# Runs the command "$3 ..." (the installed program) in $1 and stops it with
# SIGTERM once $1/ARQ-310MX.db3 exists and it has run on for a few seconds; a
# program that ends by itself or by any other signal fails the check. $2
# names the start in messages.
start_program() {
    local work=$1 run=$2 pid rc waited=0 db="$1/ARQ-310MX.db3"
    shift 2
    local output=/tmp/arq-program-$run.out
    (cd "$work" 2>/dev/null || cd /; exec "$@" >"$output" 2>&1) &
    pid=$!
    while [[ ! -s $db ]] && kill -0 "$pid" 2>/dev/null && ((waited < 60)); do
        sleep 0.5
        waited=$((waited + 1))
    done
    if [[ ! -s $db ]]; then
        kill -KILL "$pid" 2>/dev/null || true
        show_output "$output" "$work"
        fail "start $run: no database in $work after 30 s"
    fi
    sleep 3
    if ! kill -0 "$pid" 2>/dev/null; then
        rc=0
        wait "$pid" || rc=$?
        show_output "$output" "$work"
        fail "start $run: the program ended by itself (exit code $rc)"
    fi
    kill -TERM "$pid"
    rc=0
    wait "$pid" || rc=$?
    # 128 + SIGTERM: ended by the signal sent, not by a crash.
    if [[ $rc != 143 ]]; then
        show_output "$output" "$work"
        fail "start $run: exit code $rc after SIGTERM (expected 143)"
    fi
    step "start $run: database $(stat -c %s "$db") bytes in $work, ran $((waited / 2 + 3)) s, stopped by SIGTERM"
    rm -f "$output"
}

# What a failed start wrote: its output and its log.
show_output() {
    cat "$1" "$2"/log_*.log >&2 2>/dev/null || true
}

# The desktop entry's command, as a launcher runs it (desktop entry quoting:
# the file's \\ is one backslash, then shell-like words), with its own home:
# it makes ~/ARQ-310MX and the program works there.
start_from_desktop_entry() {
    local entry=/usr/share/applications/arq310mx.desktop exec home
    exec=$(sed -n 's/^Exec=//p' "$entry")
    exec=${exec//\\\\/\\}
    [[ $exec != *%* ]] || fail "the desktop entry's Exec has field codes this check does not expand: $exec"
    eval "set -- $exec"
    home=$(mktemp -d /tmp/arq-home.XXXXXX)
    HOME=$home start_program "$home/ARQ-310MX" desktop "$@"
    rm -rf "$home"
}

# The database the program made holds its tables and passes SQLite's own
# check (sqlite3 comes from Debian when the clean root has none).
check_database() {
    local db=$1
    [[ $(head -c 15 "$db") == "SQLite format 3" ]] || fail "$db is not an SQLite database"
    if ! command -v sqlite3 >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends sqlite3 >/tmp/apt-sqlite3.out 2>&1 ||
            { step "no sqlite3 to check the database with"; return; }
    fi
    local check tables
    check=$(sqlite3 "$db" "PRAGMA integrity_check;")
    [[ $check == ok ]] || fail "integrity check of $db: $check"
    tables=$(sqlite3 "$db" "SELECT count(*) FROM sqlite_master WHERE type = 'table';")
    ((tables > 5)) || fail "$db has $tables tables"
    step "database: integrity ok, $tables tables"
}

# ---------------------------------------------------------------------------
# Inside the fresh root: install as a workstation would, then check.
install_and_check() {
    export DEBIAN_FRONTEND=noninteractive
    local deb=$1
    apt-get update -q >/dev/null || fail "apt-get update failed"
    step "dpkg -i $(basename "$deb")"
    if ! dpkg -i "$deb" >/tmp/dpkg.out 2>&1; then
        # Expected on a clean system: dpkg lists the dependencies it lacks.
        grep -E "depends on|Package .* is not installed" /tmp/dpkg.out | sed 's/^/    /' | head -n 30
        step "apt-get -f install"
        apt-get -f install -y -q >/tmp/apt.out 2>&1 || { cat /tmp/apt.out >&2; fail "apt-get -f install failed"; }
        grep -E "^[0-9]+ upgraded" /tmp/apt.out | sed 's/^/    /'
    fi
    dpkg-query -W -f='${Status}' "$PACKAGE" | grep -q "install ok installed" || fail "$PACKAGE is not installed"
    # apt-get -f install adds what the package depends on, not what it
    # recommends (apt install ./package.deb would): added here, so that they
    # are known to exist in the release and the program runs with them.
    local recommends
    recommends=$(dpkg-query -W -f='${Recommends}' "$PACKAGE" | tr ',' '\n' | sed 's/(.*//; s/ //g')
    step "apt-get install the recommended" $recommends
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $recommends >/tmp/apt.out 2>&1 ||
        { cat /tmp/apt.out >&2; fail "the recommended packages cannot be installed"; }
    run_installed
}

# ---------------------------------------------------------------------------
# The package itself: its control fields name what it needs.
check_control() {
    local deb=$1 depends p
    depends=$(dpkg-deb -f "$deb" Depends)
    for p in libqt5core5a libqt5gui5 libqt5widgets5 libqt5sql5 libqt5sql5-sqlite libqt5network5 \
             libqt5serialport5 libqt5charts5 libqt5bluetooth5 libxlsxwriter4; do
        [[ ",$depends," == *[\ ,]$p[\ ,\(]* ]] || fail "Depends lacks $p: $depends"
    done
    step "Depends: $depends"
    step "Recommends: $(dpkg-deb -f "$deb" Recommends); Suggests: $(dpkg-deb -f "$deb" Suggests)"
    local listing
    listing=$(dpkg-deb -c "$deb")
    for p in ./usr/bin/arq310mx ./usr/bin/arq-simulator ./usr/bin/arq-lab-import ./usr/bin/arq-lab-admin \
             ./usr/share/arq310mx/tervan_zh.qm \
             ./usr/share/arq310mx/help.html ./usr/share/applications/arq310mx.desktop \
             ./usr/share/man/man1/arq310mx.1.gz ./usr/share/doc/arq310mx/copyright; do
        grep -q " $p\$" <<<"$listing" || fail "the package lacks $p"
    done
    # Every installed program has its manual page.
    local program
    for program in $(grep -o ' \./usr/bin/[^ ]*$' <<<"$listing" | sed 's#.*/##'); do
        grep -q " ./usr/share/man/man1/$program.1.gz\$" <<<"$listing" || fail "no manual page for $program"
    done
    step "$(grep -c . <<<"$listing") entries, $(du -h "$deb" | cut -f1)"
    # Debian's own checks, where lintian is installed: errors fail.
    if command -v lintian >/dev/null; then
        lintian --fail-on error --allow-root "$deb" >&2 || fail "lintian reports errors"
        step "lintian: no errors"
    fi
}

build_package() {
    local build=$1
    [[ -f $build/CPackConfig.cmake ]] || fail "$build is not a configured build directory"
    step "building the program, the simulator and the translations"
    cmake --build "$build" -j2 --target arq310mx arq-simulator arq_translations >/dev/null ||
        fail "the build failed"
    step "cpack -G DEB"
    rm -f "$build"/package/${PACKAGE}_*.deb
    (cd "$build" && cpack -G DEB --config CPackConfig.cmake >"$build/package-cpack.log" 2>&1) ||
        { cat "$build/package-cpack.log" >&2; fail "cpack failed"; }
    ls -t "$build"/package/${PACKAGE}_*.deb | head -n 1
}

# The cached debootstrap root as a tar file, made on first use.
base_system() {
    local cache=$1 base="$1/$SUITE-minbase.tar" dir
    if [[ ! -f $base ]]; then
        step "debootstrap --variant=minbase $SUITE (first run: downloads the base system)"
        dir=$(mktemp -d "$cache/bootstrap.XXXXXX")
        # Its own mount namespace: nothing it mounts outlives it.
        unshare --mount --fork debootstrap --variant=minbase "$SUITE" "$dir" "$MIRROR" >"$cache/debootstrap.log" 2>&1 ||
            { tail -n 20 "$cache/debootstrap.log" >&2; rm -rf "$dir"; fail "debootstrap failed (network? mirror $MIRROR)"; }
        tar -C "$dir" -cf "$base.part" . && mv "$base.part" "$base"
        rm -rf "$dir"
    fi
    echo "$base"
}

main() {
    local build="$ROOT/build" deb="" host=0 cache=""
    while (($#)); do
        case $1 in
            --build-dir) build=$2; shift 2 ;;
            --deb) deb=$2; shift 2 ;;
            --host) host=1; shift ;;
            --cache) cache=$2; shift 2 ;;
            --run-installed) run_installed; exit 0 ;;
            --inside-root) SECONDS=${CHECK_DEB_CLOCK:-0}; install_and_check "$2"; exit 0 ;;
            -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
            *) echo "check-deb: unknown option $1" >&2; exit 2 ;;
        esac
    done
    build=$(cd "$build" && pwd)
    [[ $(id -u) -eq 0 ]] || skip "needs root (dpkg -i, chroot)"
    if ((!host)) && ! command -v debootstrap >/dev/null; then
        step "apt-get install debootstrap"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null 2>&1 ||
            skip "debootstrap is not installed and cannot be (apt-get install debootstrap, or use --host)"
    fi

    if [[ -z $deb ]]; then
        deb=$(build_package "$build" | tail -n 1)
    fi
    [[ -f $deb ]] || fail "no package $deb"
    deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
    step "package $deb"
    check_control "$deb"

    if ((host)); then
        if dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "ok installed"; then
            fail "$PACKAGE is already installed here; the check would purge it (dpkg --purge it first)"
        fi
        # A check that fails half-way leaves nothing installed either.
        trap 'dpkg --purge "$PACKAGE" >/dev/null 2>&1 || true' EXIT
        install_and_check "$deb"
        step "done on this machine (dependencies apt added stay installed)"
        return
    fi

    cache=${cache:-$build/deb-check}
    mkdir -p "$cache/archives/partial"
    cache=$(cd "$cache" && pwd)
    local base mountpoint
    base=$(base_system "$cache" | tail -n 1)
    mountpoint=$(mktemp -d "$cache/root.XXXXXX")
    # The fresh root lives in a tmpfs of the check's own mount namespace, and
    # its processes in their own process namespace: the root, everything
    # mounted in it and anything still running there vanish when the check
    # ends, however it ends.
    step "fresh $SUITE root (tmpfs at $mountpoint)"
    local rc=0
    unshare --mount --pid --fork bash -c '
        set -e
        root=$1
        mount -t tmpfs -o size=6g,mode=755 arq-check-deb "$root"
        tar -C "$root" -xf "$2"
        cp /etc/resolv.conf "$root/etc/resolv.conf"
        # The downloads cache is a folder of this machine, which the root'"'"'s
        # _apt user may not write; a root that is thrown away needs no fsync
        # after every file; no services start in it.
        echo "APT::Sandbox::User \"root\";" >"$root/etc/apt/apt.conf.d/99check-deb"
        echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/99check-deb"
        printf "#!/bin/sh\nexit 101\n" >"$root/usr/sbin/policy-rc.d"
        chmod 755 "$root/usr/sbin/policy-rc.d"
        cp "$4" "$root/tmp/"
        cp "$5" "$root/tmp/check-deb.sh"
        mount -t proc proc "$root/proc"
        mount --bind "$3" "$root/var/cache/apt/archives"
        exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            TERM=dumb CHECK_DEB_CLOCK="$6" bash /tmp/check-deb.sh --inside-root "/tmp/${4##*/}"' \
        bash "$mountpoint" "$base" "$cache/archives" "$deb" "$SELF" "$SECONDS" || rc=$?
    rmdir "$mountpoint" 2>/dev/null || true
    ((rc == 0)) || fail "the check in the fresh root failed"
    step "done: installed, started and purged on a clean $SUITE"
}

main "$@"
