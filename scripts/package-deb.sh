#!/usr/bin/env bash
# Makes the Debian package build/deb/package/zalohy_<version>_<arch>.deb: a
# release build with Debian's hardening flags in build/deb/, then
# "cpack -G DEB", then lintian (no error or warning allowed).
#
#   scripts/package-deb.sh                 make and check the package
#   scripts/package-deb.sh --try-install   also install it (dpkg -i), start the
#                                          installed program under Xvfb as the
#                                          menu does, and remove it (dpkg -r)
#
# --try-install changes the system's packages; it refuses to run where a
# package zalohy is already installed. Safe to run again.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

try_install=false
case "${1-}" in
"") ;;
--try-install) try_install=true ;;
*)
    echo "usage: scripts/package-deb.sh [--try-install]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh

# Debian's own compiler and linker flags (fortify, stack protector, relro,
# bindnow), as a package built by dpkg-buildpackage would get them.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
build=build/deb
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DZALOHY_TESTS=OFF >/dev/null
cmake --build "$build" -j2
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$top/$build/package")
deb=$(echo "$top/$build"/package/zalohy_*.deb)

echo "lintian $deb"
lintian --fail-on error,warning "$deb"
echo "Made $deb ($(du -k "$deb" | cut -f1) KiB)."

$try_install || exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install the package" >&2; exit 1; }
    sudo=(sudo)
fi
if dpkg-query -W -f='${Status}' zalohy 2>/dev/null | grep -q "install ok installed"; then
    echo "A package zalohy is installed already; not touching it." >&2
    exit 1
fi

scratch=$(mktemp -d)
cleanup() {
    [ -n "${program:-}" ] && kill "$program" 2>/dev/null
    rm -rf "$scratch"
    if dpkg-query -W -f='${Status}' zalohy 2>/dev/null | grep -q "install ok installed"; then
        "${sudo[@]}" dpkg -r zalohy >/dev/null
    fi
}
trap cleanup EXIT

"${sudo[@]}" dpkg -i "$deb"
[ "$(command -v zalohy)" = /usr/bin/zalohy ] || { echo "zalohy is not on the PATH" >&2; exit 1; }
zaltool --help >/dev/null
man -w zaltool >/dev/null
desktop=$(dpkg -L zalohy | grep '^/usr/share/applications/.*\.desktop$')
grep -q '^Name\[cs\]=Zálohování dat vah$' "$desktop"

# Started as the menu starts it, with a home folder of its own: the main
# window appears and the working folder is ~/.local/share/zalohy. Nothing is
# clicked, so no scale is ever dialled.
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cat >"$scratch/start.sh" <<'EOF'
HOME=$1/home XDG_RUNTIME_DIR=$1/runtime zalohy --menu &
program=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Zálohování dat SM90/300/500 ETH v\.1\.4\.$' | head -n1)
cwd=$(readlink "/proc/$program/cwd")
kill "$program"
wait "$program" 2>/dev/null
[ -n "$window" ] || { echo "no main window appeared" >&2; exit 1; }
[ "$cwd" = "$1/home/.local/share/zalohy" ] || { echo "working folder $cwd" >&2; exit 1; }
echo "The installed program showed its main window, working in $cwd."
EOF
env -u XDG_DATA_HOME xvfb-run -a -s '-screen 0 1280x800x24' sh "$scratch/start.sh" "$scratch"

"${sudo[@]}" dpkg -r zalohy
for left in /usr/bin/zalohy /usr/libexec/zalohy "$desktop"; do
    [ ! -e "$left" ] || { echo "dpkg -r left $left behind" >&2; exit 1; }
done
echo "Installed, started and removed cleanly."
