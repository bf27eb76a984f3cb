#!/usr/bin/env bash
# Installs the build into a temporary folder and checks what a user of the
# installed program meets. Three parts, each a CTest test:
#   layout    (DESTDIR install) the installed files, exactly; the launcher's
#             working folder for menu and terminal starts; the installed
#             program's main window under Xvfb (only shown: no button is
#             pressed, no scale is dialled)
#   metadata  (DESTDIR install) the desktop entry, AppStream metainfo, MIME
#             type, icons, manual pages and changelog through their
#             validators, and against each other and the tools' --help; the
#             nightly job's systemd units through systemd-analyze verify, and
#             the job itself (its ping to a server on 127.0.0.1); the menu
#             action that opens the nightly job's page
#   package   the Debian package of this build (cpack -G DEB): its control
#             fields and dependencies, the same files as above, and lintian
#             with no error or warning
# The build passes its folders and install layout in the environment
# (tests/install/CMakeLists.txt).
set -uo pipefail

part=${1:?usage: install_test.sh layout|metadata}
: "${ZALOHY_BUILD:?}" "${ZALOHY_SOURCE:?}" "${ZALOHY_VERSION:?}" "${ZALOHY_APP_ID:?}"
: "${ZALOHY_BINDIR:?}" "${ZALOHY_PRIVATEDIR:?}" "${ZALOHY_DATADIR:?}" "${ZALOHY_MANDIR:?}" "${ZALOHY_DOCDIR:?}"
readonly title='Zálohování dat SM90/300/500 ETH v.1.4.'

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zalohy-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}

root=$scratch/root
prefix=/usr
if [ "$part" = package ]; then
    cpack -G DEB --config "$ZALOHY_BUILD/CPackConfig.cmake" -B "$scratch/deb" >"$scratch/install.log" 2>&1 ||
        { cat "$scratch/install.log" >&2; echo "FAIL: cpack -G DEB" >&2; exit 1; }
    deb=$(echo "$scratch"/deb/zalohy_*.deb)
    dpkg-deb -x "$deb" "$root"
else
    DESTDIR=$root cmake --install "$ZALOHY_BUILD" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
        { cat "$scratch/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }
fi
top=$root$prefix
id=$ZALOHY_APP_ID

check_layout() {
    local expected=(
        "$ZALOHY_BINDIR/zalohy" "$ZALOHY_BINDIR/zaltool" "$ZALOHY_BINDIR/scale-emulator"
        "$ZALOHY_PRIVATEDIR/zalohy" "$ZALOHY_PRIVATEDIR/libtwswtcp.so"
        "$ZALOHY_DATADIR/applications/$id.desktop"
        "$ZALOHY_DATADIR/metainfo/$id.metainfo.xml"
        "$ZALOHY_DATADIR/mime/packages/$id.xml"
        "$ZALOHY_DATADIR/icons/hicolor/scalable/apps/$id.svg"
        "$ZALOHY_DOCDIR/README.md" "$ZALOHY_DOCDIR/copyright" "$ZALOHY_DOCDIR/changelog.gz"
        "$ZALOHY_DOCDIR/emulator/PROTOCOL.md" "$ZALOHY_DOCDIR/scalelib/README.md"
        "$ZALOHY_PRIVATEDIR/zalohy-noc" "$ZALOHY_DOCDIR/noc.env"
        lib/systemd/user/zalohy-noc.service lib/systemd/user/zalohy-noc.timer
    )
    local size page picture
    for size in 16 32 48 64 128 256; do
        expected+=("$ZALOHY_DATADIR/icons/hicolor/${size}x$size/apps/$id.png")
    done
    for page in zalohy zaltool scale-emulator; do
        expected+=("$ZALOHY_MANDIR/man1/$page.1.gz")
    done
    for picture in "$ZALOHY_SOURCE"/docs/*.png "$ZALOHY_SOURCE"/docs/*.md; do
        expected+=("$ZALOHY_DOCDIR/docs/${picture##*/}")
    done
    local want got
    want=$(printf '%s\n' "${expected[@]}" | sort)
    got=$(cd "$top" && find . -type f -o -type l | sed 's|^\./||' | sort)
    if [ "$want" != "$got" ]; then
        fail "installed files differ from the expected layout:"
        diff <(echo "$want") <(echo "$got") >&2
    fi

    local empty
    empty=$(cd "$top" && find . -type d -empty)
    [ -z "$empty" ] || fail "empty folders installed: $empty"

    local file
    for file in "$ZALOHY_BINDIR/zalohy" "$ZALOHY_BINDIR/zaltool" "$ZALOHY_BINDIR/scale-emulator" \
        "$ZALOHY_PRIVATEDIR/zalohy" "$ZALOHY_PRIVATEDIR/zalohy-noc"; do
        [ -x "$top/$file" ] || fail "$file is not executable"
    done
    sh -n "$top/$ZALOHY_PRIVATEDIR/zalohy-noc" || fail "the nightly job has a syntax error"
    # A run path left from the build folder would load our libraries from
    # there instead of the installed ones.
    for file in "$ZALOHY_BINDIR/zaltool" "$ZALOHY_BINDIR/scale-emulator" "$ZALOHY_PRIVATEDIR/zalohy" \
        "$ZALOHY_PRIVATEDIR/libtwswtcp.so"; do
        if readelf -d "$top/$file" | grep -Eq '\((RPATH|RUNPATH)\)'; then
            fail "$file keeps a run path: $(readelf -d "$top/$file" | grep -E 'RPATH|RUNPATH')"
        fi
    done
    head -n1 "$top/$ZALOHY_BINDIR/zalohy" | grep -qx '#!/bin/sh' || fail "the launcher is not a sh script"
    sh -n "$top/$ZALOHY_BINDIR/zalohy" || fail "the launcher has a syntax error"
}

# Starts the installed launcher with the given environment and arguments in
# folder $1 and waits until the program has replaced it. Leaves the program
# running as $program_pid, its working folder in $program_cwd.
start_program() {
    local folder=$1
    shift
    (cd "$folder" && exec env "$@") >>"$scratch/program.log" 2>&1 &
    program_pid=$!
    local exe="$top/$ZALOHY_PRIVATEDIR/zalohy" i
    for i in $(seq 100); do
        [ "$(readlink "/proc/$program_pid/exe" 2>/dev/null)" = "$exe" ] && break
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    program_cwd=$(readlink "/proc/$program_pid/cwd" 2>/dev/null || echo "(not running)")
}

stop_program() {
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
}

# What is in folder $1 apart from the folder $2 (relative to $1), its
# contents and the folders above it.
unexpected_in_home() {
    local home=$1 keep=$2 entry
    (cd "$home" && find . -mindepth 1 | sed 's|^\./||' | sort) | while read -r entry; do
        if [ -n "$keep" ]; then
            case $keep/ in "$entry"/*) continue ;; esac
            case $entry in "$keep"/*) continue ;; esac
        fi
        echo "$entry"
    done
}

check_starts() {
    local launcher=$top/$ZALOHY_BINDIR/zalohy
    local runtime=$scratch/runtime
    mkdir -m 700 "$runtime"
    local base=(XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen)

    # The menu's own command line, from the installed desktop entry.
    local exec_line
    exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[Desktop Action/ s/^Exec=//p' "$top/$ZALOHY_DATADIR/applications/$id.desktop")
    expect_eq "desktop entry's Exec" "zalohy --menu" "$exec_line"

    # Menu starts: the working folder is made under XDG_DATA_HOME, or under
    # ~/.local/share when XDG_DATA_HOME is unset or not absolute; never $HOME.
    local home data case_name xdg
    for case_name in set unset empty relative; do
        home=$scratch/home-$case_name
        mkdir -p "$home"
        case $case_name in
        set) xdg=(XDG_DATA_HOME="$home/data") data=$home/data ;;
        unset) xdg=(-u XDG_DATA_HOME) data=$home/.local/share ;;
        empty) xdg=(XDG_DATA_HOME=) data=$home/.local/share ;;
        relative) xdg=(XDG_DATA_HOME=data) data=$home/.local/share ;;
        esac
        start_program / "${xdg[@]}" HOME="$home" "${base[@]}" "$launcher" --menu
        expect_eq "menu start ($case_name XDG_DATA_HOME): working folder" "$data/zalohy" "$program_cwd"
        stop_program
        expect_eq "menu start ($case_name XDG_DATA_HOME): left in HOME" "" \
            "$(unexpected_in_home "$home" "${data#"$home"/}/zalohy")"
    done

    # A terminal start keeps the folder it is started in, and writes nothing
    # into HOME.
    home=$scratch/home-terminal
    mkdir -p "$home" "$scratch/here"
    start_program "$scratch/here" HOME="$home" XDG_DATA_HOME="$home/data" "${base[@]}" "$launcher"
    expect_eq "terminal start: working folder" "$scratch/here" "$program_cwd"
    stop_program
    expect_eq "terminal start: left in HOME" "" "$(unexpected_in_home "$home" "")"

    # A working folder that cannot be made: a message, not a start in HOME.
    home=$scratch/home-blocked
    mkdir -p "$home"
    touch "$home/data"
    if env HOME="$home" XDG_DATA_HOME="$home/data" "${base[@]}" "$launcher" --menu >/dev/null 2>"$scratch/blocked.err"; then
        fail "a menu start with an unusable working folder succeeded"
    fi
    grep -q "^zalohy: cannot use the working folder $home/data/zalohy" "$scratch/blocked.err" ||
        fail "unusable working folder: no message: $(cat "$scratch/blocked.err")"
}

# The installed program, started as the menu starts it, shows its main window
# on a real X server.
check_window() {
    if [ -z "${DISPLAY:-}" ]; then
        fail "no X display (the test runs itself under xvfb-run)"
        return
    fi
    local home=$scratch/home-window runtime=$scratch/runtime
    mkdir -p "$home"
    local wmclass
    wmclass=$(sed -n 's/^StartupWMClass=//p' "$top/$ZALOHY_DATADIR/applications/$id.desktop")
    start_program / HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$runtime" \
        QT_QPA_PLATFORM=xcb "$top/$ZALOHY_BINDIR/zalohy" --menu
    expect_eq "window start: working folder" "$home/data/zalohy" "$program_cwd"
    local window
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^${title//./\\.}\$" | head -n1)
    if [ -z "$window" ]; then
        fail "no main window titled '$title' appeared; the program said: $(cat "$scratch/program.log")"
    else
        # Desktops match the window to its menu entry through WM_CLASS.
        xprop -id "$window" WM_CLASS | grep -q "= \"$wmclass\"," ||
            fail "WM_CLASS $(xprop -id "$window" WM_CLASS) does not start with StartupWMClass $wmclass"
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended on its own"
    fi
    stop_program
}

check_metadata() {
    local desktop=$top/$ZALOHY_DATADIR/applications/$id.desktop
    local metainfo=$top/$ZALOHY_DATADIR/metainfo/$id.metainfo.xml
    local mime=$top/$ZALOHY_DATADIR/mime/packages/$id.xml

    desktop-file-validate "$desktop" >"$scratch/v.out" 2>&1 && [ ! -s "$scratch/v.out" ] ||
        fail "desktop-file-validate: $(cat "$scratch/v.out")"
    appstreamcli validate --no-net --pedantic "$metainfo" >"$scratch/v.out" 2>&1 ||
        fail "appstreamcli validate: $(cat "$scratch/v.out")"
    grep -q '^Name\[cs\]=Zálohování dat vah$' "$desktop" || fail "no Czech menu name 'Zálohování dat vah'"
    grep -q '^Categories=.*Utility;' "$desktop" || fail "desktop entry is not in the Utility category"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $id.desktop"
    grep -q "<release version=\"$ZALOHY_VERSION\"" "$metainfo" || fail "metainfo has no release $ZALOHY_VERSION"

    # The MIME type: a well-formed file that update-mime-database takes
    # without complaint and that maps *.zal to the archive type.
    xmllint --noout "$mime" || fail "xmllint: $mime"
    mkdir -p "$scratch/mime/packages"
    cp "$mime" "$scratch/mime/packages/"
    XDG_DATA_HOME=$scratch update-mime-database "$scratch/mime" >"$scratch/v.out" 2>&1 && [ ! -s "$scratch/v.out" ] ||
        fail "update-mime-database: $(cat "$scratch/v.out")"
    grep -qx '50:application/x-zalohy-archive:\*\.zal' "$scratch/mime/globs2" 2>/dev/null ||
        fail "*.zal is not mapped to application/x-zalohy-archive"

    # Icons: the name the desktop entry asks for, each PNG of its folder's size.
    expect_eq "desktop entry's Icon" "$id" "$(sed -n 's/^Icon=//p' "$desktop")"
    local size kind
    for size in 16 32 48 64 128 256; do
        kind=$(file -b "$top/$ZALOHY_DATADIR/icons/hicolor/${size}x$size/apps/$id.png")
        [[ $kind == "PNG image data, $size x $size,"* ]] || fail "icon ${size}x$size is $kind"
    done
    xmllint --noout "$top/$ZALOHY_DATADIR/icons/hicolor/scalable/apps/$id.svg" || fail "the SVG icon"

    # Manual pages: compressed reproducibly, clean under man's warnings, and
    # describing every long option the tool's --help lists.
    local page tool option
    for page in zalohy zaltool scale-emulator; do
        local gz=$top/$ZALOHY_MANDIR/man1/$page.1.gz
        [ "$(od -An -tx1 -j4 -N4 "$gz" | tr -d ' ')" = 00000000 ] || fail "$page.1.gz has a time stamp"
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$gz" 2>"$scratch/man.err" >/dev/null ||
            fail "man $page failed"
        [ ! -s "$scratch/man.err" ] || fail "man $page warns: $(cat "$scratch/man.err")"
        grep -q "$ZALOHY_VERSION" <(zcat "$gz") || fail "$page.1 does not name version $ZALOHY_VERSION"
    done
    for tool in zaltool scale-emulator; do
        local text
        text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$top/$ZALOHY_MANDIR/man1/$tool.1.gz" 2>/dev/null)
        for option in $("$top/$ZALOHY_BINDIR/$tool" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
            grep -q -- "$option" <<<"$text" || fail "man $tool does not describe $option"
        done
    done

    # The changelog's newest entry is this version.
    local newest
    newest=$(zcat "$top/$ZALOHY_DOCDIR/changelog.gz" | head -n1)
    [[ $newest == "zalohy ($ZALOHY_VERSION) "* ]] || fail "changelog's newest entry is '$newest'"
    grep -q '^License: Expat$' "$top/$ZALOHY_DOCDIR/copyright" || fail "copyright names no licence"
    grep -q '^ THE SOFTWARE IS PROVIDED "AS IS"' "$top/$ZALOHY_DOCDIR/copyright" ||
        fail "copyright lacks the licence text"
}

# The nightly job: the systemd user units through systemd-analyze verify
# (the service pointed at this install's copy of the job, the manual pages
# of this install for their Documentation=), and the job itself.
check_nightly() {
    local units=$top/lib/systemd/user job=$top/$ZALOHY_PRIVATEDIR/zalohy-noc
    expect_eq "the service's command" "ExecStart=$prefix/$ZALOHY_PRIVATEDIR/zalohy-noc" \
        "$(grep '^ExecStart=' "$units/zalohy-noc.service")"
    grep -qx 'EnvironmentFile=-%h/.config/zalohy/noc.env' "$units/zalohy-noc.service" ||
        fail "the service does not read ~/.config/zalohy/noc.env when there is one"
    grep -qx 'WantedBy=timers.target' "$units/zalohy-noc.timer" || fail "the timer cannot be enabled"
    mkdir -p "$scratch/units"
    sed "s|^ExecStart=$prefix/|ExecStart=$top/|" "$units/zalohy-noc.service" >"$scratch/units/zalohy-noc.service"
    cp "$units/zalohy-noc.timer" "$scratch/units/"
    (cd "$scratch/units" && MANPATH=$top/$ZALOHY_MANDIR systemd-analyze verify zalohy-noc.service zalohy-noc.timer) \
        >"$scratch/v.out" 2>&1 && [ ! -s "$scratch/v.out" ] || fail "systemd-analyze verify: $(cat "$scratch/v.out")"

    # Without ZALOHY_SLOZKA the job works in the program's data folder (the
    # menu entry's); a scale that does not answer (nothing listens on
    # 127.0.0.9:1) fails the backup, and the page is written all the same.
    # The log holds only the last night.
    local home=$scratch/home-noc
    if env -u ZALOHY_SLOZKA -u XDG_DATA_HOME HOME="$home" "$job" 2>"$scratch/v.out"; then
        fail "the job ran without a data folder"
    fi
    grep -q "cannot use the folder $home/.local/share/zalohy" "$scratch/v.out" ||
        fail "no word on the missing folder: $(cat "$scratch/v.out")"
    mkdir -p "$home/.local/share/zalohy"
    echo '127.0.0.9:1' >"$home/.local/share/zalohy/seznam.lst"
    local night
    for night in 1 2; do
        env -u ZALOHY_SLOZKA -u XDG_DATA_HOME HOME="$home" TWSWTCP_LOOPBACK_ONLY=1 "$job" >"$scratch/noc.out" 2>&1
    done
    expect_eq "nights in the log and the journal" "1 1" \
        "$(grep -c 'Přehled záloh zapsán' "$home/.local/share/zalohy/Zalohy/posledni-noc.log" "$scratch/noc.out" |
            cut -d: -f2 | xargs)"
    grep -q 'bez úplné zálohy: <strong>1</strong>' "$home/.local/share/zalohy/Zalohy/prehled-zaloh.html" ||
        fail "the job wrote no page in the data folder: $(cat "$scratch/noc.out")"
    mkdir -p "$scratch/noc"
    echo '127.0.0.9:1' >"$scratch/noc/seznam.lst"
    # ZALOHY_PING: the backup tells a server on 127.0.0.1 that the night failed.
    grep -qx 'ZALOHY_PING=' "$top/$ZALOHY_DOCDIR/noc.env" || fail "noc.env has no ZALOHY_PING= line"
    python3 "$ZALOHY_SOURCE/tests/tools/ping_server.py" "$scratch/pings.log" >"$scratch/ports" 2>&1 &
    local server=$! port _
    for _ in $(seq 100); do [ -s "$scratch/ports" ] && break; sleep 0.1; done
    read -r port _ <"$scratch/ports"
    local status=0
    ZALOHY_SLOZKA=$scratch/noc ZALOHY_PING=http://127.0.0.1:$port/noc TWSWTCP_LOOPBACK_ONLY=1 "$job" \
        >"$scratch/noc.out" 2>&1 || status=$?
    kill "$server"
    wait "$server" 2>/dev/null
    expect_eq "the job's status with a failed scale" 1 "$status"
    grep -q 'bez úplné zálohy: <strong>1</strong>' "$scratch/noc/Zalohy/prehled-zaloh.html" 2>/dev/null ||
        fail "the job wrote no page: $(cat "$scratch/noc.out")"
    grep -q '^POST /noc/fail application/json.*"command":"backup-list"' "$scratch/pings.log" 2>/dev/null ||
        fail "the job's ping: $(cat "$scratch/pings.log" "$scratch/noc.out" 2>&1)"
}

# The menu entry's action "Přehled záloh": the launcher's --prehled opens the
# nightly job's page with xdg-open (a stand-in here that records what it is
# given), or a page saying why there is none yet.
check_overview() {
    local desktop=$top/$ZALOHY_DATADIR/applications/$id.desktop home=$scratch/home-overview
    expect_eq "the desktop action's command" "zalohy --prehled" \
        "$(sed -n '/^\[Desktop Action prehled\]/,$ s/^Exec=//p' "$desktop")"
    grep -q '^Name\[cs\]=Přehled záloh$' "$desktop" || fail "no action named 'Přehled záloh'"
    mkdir -p "$scratch/opener" "$home/.config/zalohy" "$home/noc/Zalohy"
    printf '#!/bin/sh\necho "$1" >"%s/opened"\n' "$scratch" >"$scratch/opener/xdg-open"
    chmod +x "$scratch/opener/xdg-open"
    opened() {
        rm -f "$scratch/opened"
        env -u XDG_DATA_HOME HOME="$home" TMPDIR="$scratch" PATH="$scratch/opener:$PATH" "$top/$ZALOHY_BINDIR/zalohy" --prehled &&
            cat "$scratch/opened"
    }
    local page
    page=$(opened)
    grep -q "Ve složce $home/.local/share/zalohy/Zalohy zatím přehled není" "$page" 2>/dev/null ||
        fail "without noc.env: opened '$page'"
    echo "ZALOHY_SLOZKA=$home/noc" >"$home/.config/zalohy/noc.env"
    page=$(opened)
    grep -q "Ve složce $home/noc/Zalohy zatím přehled není" "$page" 2>/dev/null || fail "before a night: opened '$page'"
    echo '<p>noc</p>' >"$home/noc/Zalohy/prehled-zaloh.html"
    expect_eq "the page opened after a night" "$home/noc/Zalohy/prehled-zaloh.html" "$(opened)"
}

check_package() {
    expect_eq "package name" zalohy "$(dpkg-deb -f "$deb" Package)"
    expect_eq "package version" "$ZALOHY_VERSION" "$(dpkg-deb -f "$deb" Version)"
    expect_eq "package section" utils "$(dpkg-deb -f "$deb" Section)"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "the package has no maintainer"
    # Dependencies found by dpkg-shlibdeps from the binaries themselves.
    local depends dependency
    depends=$(dpkg-deb -f "$deb" Depends)
    for dependency in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libcurl4; do
        [[ ", $depends," == *", $dependency ("* ]] || fail "Depends lacks $dependency: $depends"
    done
    # Not piped: grep -q stops reading at the match, and under pipefail the
    # writer's SIGPIPE would fail the check now and then.
    grep -q 'Zálohování dat vah' <<<"$(dpkg-deb -f "$deb" Description)" || fail "no Czech description"
    # Nothing to run at install time: the triggers of the desktop database,
    # icon cache and MIME database do that work.
    dpkg-deb -e "$deb" "$scratch/control"
    local script
    for script in preinst postinst prerm postrm; do
        [ ! -e "$scratch/control/$script" ] || fail "the package has a $script script"
    done
    # Installed binaries are stripped.
    file "$top/$ZALOHY_PRIVATEDIR/zalohy" | grep -q ', stripped' || fail "the program is not stripped"

    lintian --no-tag-display-limit "$deb" >"$scratch/lintian.out" 2>&1
    grep -E '^(E|W):' "$scratch/lintian.out" >&2 && fail "lintian reports errors or warnings"
    return 0
}

case $part in
package)
    check_layout
    check_package
    check_nightly
    ;;
layout)
    check_layout
    check_starts
    check_window
    ;;
metadata)
    check_metadata
    check_nightly
    check_overview
    ;;
*)
    echo "unknown part $part" >&2
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install $part: all checks passed"
