#!/usr/bin/env bash
# Usage: check_package.sh BUILD_DIR SOURCE_DIR
# Makes the .deb with cpack, unpacks it into a scratch root with dpkg-deb -x,
# checks that the desktop finds the program, sandbox, template, entry, icon and
# metainfo where it looks for them, validates the entry and the metainfo, and
# starts the unpacked launcher. Exits 77 (skipped) when a tool is missing.
set -euo pipefail
build=$1
source=$2

for tool in cpack dpkg-deb dpkg-shlibdeps file desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/setup installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

# gzip instead of xz: this package is thrown away, and the sanitizer build is big.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
debs=("$work"/out/vantor-pro_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { ls -R "$work/out"; echo "FAIL: no single .deb"; exit 1; }
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = vantor-pro
check "section" test "$(field Section)" = web
check "maintainer" grep -q '<.*@.*>' <<<"$(field Maintainer)"
# Filled in by dpkg-shlibdeps from the program's libraries.
check "depends on Qt Widgets and Network" grep -q 'libqt6widgets6.*libqt6network6\|libqt6network6.*libqt6widgets6' \
    <<<"$(field Depends)"
check "only files under /usr" test -z "$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/\|^\./$')"

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
for program in bin/vantor-pro bin/vantor-sandbox bin/vantor-cli libexec/vantor-pro/vantor; do
    check "$program is executable" test -x "$usr/$program"
done
check "launcher is a POSIX shell script" grep -q '^#!/bin/sh$' "$usr/bin/vantor-pro"
check "template equals resources/programdir" diff -r "$source/resources/programdir" "$usr/share/vantor-pro/programdir"
entry=$usr/share/applications/io.vantor.VantorPro.desktop
icon=$usr/share/icons/hicolor/scalable/apps/io.vantor.VantorPro.svg
metainfo=$usr/share/metainfo/io.vantor.VantorPro.metainfo.xml
for f in "$entry" "$icon" "$metainfo"; do
    check "${f#"$root"} is installed" test -s "$f"
done
check "desktop-file-validate" desktop-file-validate "$entry"
# Validates the metainfo and that its desktop entry is installed beside it.
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"
exec_cmd=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
check "Exec names the installed launcher" test "$exec_cmd" = vantor-pro -a -x "$usr/bin/$exec_cmd"
check "Icon names the installed icon" test "$(sed -n 's/^Icon=//p' "$entry").svg" = "$(basename "$icon")"

# The sandbox starts from the unpacked files.
check "sandbox listens" grep -q '^listening on 127.0.0.1:' \
    <<<"$(timeout 20 "$usr/bin/vantor-sandbox" --port 0 --exit-after 1 2>&1 || true)"

# start_launcher DIR_EXPECTED ENV...: starts the unpacked launcher with the
# environment given and waits until the program runs in DIR_EXPECTED.
program=$(readlink -f "$usr/libexec/vantor-pro/vantor")
start_launcher() {
    local expected=$1
    shift
    env -u XDG_DATA_HOME -u VANTOR_PROGRAM_DIR QT_QPA_PLATFORM=offscreen "$@" \
        "$usr/bin/vantor-pro" >"$work/launcher.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    local ok=1
    for _ in $(seq 200); do
        if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$program" ] &&
            [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$(readlink -f "$expected")" ]; then
            ok=0
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ $ok -eq 0 ] || cat "$work/launcher.log"
    return $ok
}

home=$work/home
mkdir -p "$home"
default=$home/.local/share/vantor-pro
check "first start prepares ~/.local/share/vantor-pro and runs there" start_launcher "$default" HOME="$home"
# vantor.lock marks the running (here: killed) instance, not part of the template.
check "prepared directory holds the template" diff -r -x vantor.lock "$usr/share/vantor-pro/programdir" "$default"
check "no staging directory is left" test -z "$(find "$home/.local/share" -maxdepth 1 -name '.vantor-pro.*')"
echo "kept=1" >>"$default/dfd.ini"
rm "$default/data/datam.ist"
check "second start runs in the existing directory" start_launcher "$default" HOME="$home"
check "an existing directory is left as it is" test "$(tail -1 "$default/dfd.ini")" = kept=1 -a ! -e "$default/data/datam.ist"
check "XDG_DATA_HOME chooses the place" start_launcher "$work/xdg/vantor-pro" HOME="$home" XDG_DATA_HOME="$work/xdg"
check "a relative XDG_DATA_HOME is ignored" start_launcher "$default" HOME="$home" XDG_DATA_HOME=relative
check "VANTOR_PROGRAM_DIR wins" start_launcher "$work/own" HOME="$home" XDG_DATA_HOME="$work/xdg" \
    VANTOR_PROGRAM_DIR="$work/own"

# Refusals: a clear message, non-zero, and no half-made directory.
refuses() { # refuses MESSAGE ENV...
    local message=$1
    shift
    local out status=0
    out=$(env -u XDG_DATA_HOME -u VANTOR_PROGRAM_DIR QT_QPA_PLATFORM=offscreen "$@" "$usr/bin/vantor-pro" 2>&1) || status=$?
    [ $status -ne 0 ] && grep -qF "$message" <<<"$out" || { echo "status $status: $out"; return 1; }
}
touch "$work/plainfile"
check "a program directory that is a file is refused" refuses "is not a directory" \
    HOME="$home" VANTOR_PROGRAM_DIR="$work/plainfile"
mv "$usr/share/vantor-pro/programdir" "$work/template-away"
check "a missing template is reported" refuses "template" HOME="$home" VANTOR_PROGRAM_DIR="$work/fresh"
check "and nothing is made" test ! -e "$work/fresh" -a -z "$(find "$work" -maxdepth 1 -name '.vantor-pro.*')"
mv "$work/template-away" "$usr/share/vantor-pro/programdir"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package: all checks passed"
