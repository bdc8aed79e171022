#!/usr/bin/env bash
# Checks the Debian package that `make package` built: its contents, the
# unpacked programs' --version and --help (Quintaro's and its weather
# display's), a start under a real X server
# (Xvfb) ended by SIGTERM, and what lintian, desktop-file-validate and
# appstreamcli say. Any problem fails the run.
#
#   scripts/check-package.sh [PACKAGE_BUILD_DIR]      (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-package}
app_id=org.quintaro.Quintaro

fail() {
    echo "check-package: $*" >&2
    exit 1
}

shopt -s nullglob
debs=("$build"/quintaro_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one quintaro_*.deb in $build, found ${#debs[@]}; run 'make package'."
deb=${debs[0]}
work=$(mktemp -d "${TMPDIR:-/tmp}/quintaro-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root

echo "== $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Section Installed-Size Depends Suggests

# --- contents ------------------------------------------------------------------
dpkg-deb -x "$deb" "$root"
for file in \
    usr/bin/quintaro \
    usr/bin/quintaro-weather \
    usr/share/quintaro/Leggimi_Quintaro.rtf \
    "usr/share/applications/$app_id.desktop" \
    "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
    "usr/share/metainfo/$app_id.metainfo.xml" \
    usr/share/man/man1/quintaro.1.gz \
    usr/share/man/man1/quintaro-weather.1.gz \
    usr/share/doc/quintaro/copyright \
    usr/share/doc/quintaro/changelog.Debian.gz; do
    [ -f "$root/$file" ] || fail "/$file is missing from the package."
done
# The package carries the programs alone, none of the test or benchmark programs.
extra=$(cd "$root" && find . -type f ! -path './usr/share/*' ! -path ./usr/bin/quintaro \
    ! -path ./usr/bin/quintaro-weather)
[ -z "$extra" ] || fail "unexpected files in the package:
$extra"

# --- the unpacked program, from a scratch folder ---------------------------------
version=$(dpkg-deb --field "$deb" Version)
version=${version%-*}
mkdir "$work/scratch"
cd "$work/scratch"
said=$("$root/usr/bin/quintaro" --version)
[ "$said" = "Quintaro $version" ] || fail "--version said '$said', the package is $version."
echo "--version: $said"
help=$("$root/usr/bin/quintaro" --help)
grep -q '^Usage: quintaro ' <<<"$help" || fail "--help shows no usage line:
$help"
echo "--help: $(head -n1 <<<"$help")"
said=$("$root/usr/bin/quintaro-weather" --version)
[ "$said" = "quintaro-weather (Quintaro) $version" ] ||
    fail "quintaro-weather --version said '$said', the package is $version."
echo "quintaro-weather --version: $said"
help=$("$root/usr/bin/quintaro-weather" --help)
grep -q '^Usage: quintaro-weather CALL \[ADDRESS\]' <<<"$help" ||
    fail "quintaro-weather --help shows no usage line:
$help"
grep -q 'QUINTARO_HISTORY' <<<"$help" || fail "quintaro-weather --help does not say where the history is."
echo "quintaro-weather --help: $(head -n1 <<<"$help")"

# Under Xvfb the program opens its window on the xcb platform; the settings
# file appears once start-up has read it, and SIGTERM then ends the run in
# order, with status 0.
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR=$work/runtime xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    QT_QPA_PLATFORM=xcb "$1" &
    pid=$!
    for _ in $(seq 1 100); do
        [ -f Quintaro.ini ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    sleep 1
    kill -TERM "$pid" 2>/dev/null
    status=0
    wait "$pid" || status=$?
    exit "$status"
' bash "$root/usr/bin/quintaro" || fail "under Xvfb the program did not end with status 0 on SIGTERM (status $?)."
[ -s Quintaro.ini ] || fail "under Xvfb the program wrote no Quintaro.ini."
echo "Xvfb: started, ended by SIGTERM with status 0, Quintaro.ini written"
cd - >/dev/null

# --- validators -------------------------------------------------------------------
desktop=$root/usr/share/applications/$app_id.desktop
said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate:
$said"
[ -z "$said" ] || fail "desktop-file-validate:
$said"
echo "desktop-file-validate: no remarks"

# --no-net: the check runs offline; pedantic remarks are shown, not failed on.
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli validate found problems."

# initial-upload-closes-no-bugs asks a package's first changelog entry to
# close a Debian "intent to package" bug, which a package built outside the
# Debian archive has none of (README, Packaging).
lintian --fail-on error,warning --display-info --suppress-tags initial-upload-closes-no-bugs \
    "$deb" || fail "lintian found problems."
echo "lintian: no errors, no warnings"
