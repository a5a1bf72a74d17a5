#!/bin/sh
# The Debian package as a user gets it: its files and dependencies, lintian
# with no errors (warnings are listed), then installed with apt into a fresh
# Debian 12 root (debootstrap --variant=minbase, cached as a tarball under
# the build folder) and the installed greeting played headless from / to
# its farewell (the whole greeting: about a minute and a half).
#   PackageTest.sh BUILD_DIR       status 77 (skipped) when this build has no package;
#   a package that cannot be tested (no root, a tool missing) fails.
set -eu
build=$1
deb=$(ls "$build"/ekudemo_*_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    echo "no package in $build: tools/build.sh package makes it"
    exit 77
fi
for tool in dpkg-deb lintian debootstrap unshare chroot; do
    command -v "$tool" >/dev/null 2>&1 || { echo "FAILED: $tool is missing (tools/setup.sh installs it)"; exit 1; }
done
[ "$(id -u)" -eq 0 ] || { echo "FAILED: installing into a root of our own needs root: run it as root"; exit 1; }
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# Files and dependencies.
contents=$(dpkg-deb --contents "$deb")
for path in usr/games/ekudemo usr/games/ekudemo-gallery usr/games/ekudemo-capture \
    usr/share/games/ekudemo/dat/rimpaaa.s3m usr/share/games/ekudemo/dat/arialbd.ttf \
    usr/share/games/ekudemo/dat/kewl.pcx usr/share/games/ekudemo/dat/greeting.toml \
    usr/share/applications/ekudemo.desktop \
    usr/share/icons/hicolor/64x64/apps/ekudemo.png usr/share/man/man6/ekudemo.6.gz \
    usr/share/man/man6/ekudemo-gallery.6.gz usr/share/man/man6/ekudemo-capture.6.gz \
    usr/share/doc/ekudemo/copyright; do
    echo "$contents" | grep -q " \./$path\$" || fail "no /$path in the package"
done
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for library in libsdl1.2 libsdl-ttf2.0 libopenmpt libavformat libpng libtomlplusplus libstdc++; do
    echo "$depends" | grep -q "$library" || fail "no dependency on $library"
done

# lintian: errors fail, warnings are listed.
echo "lintian:"
lintian --fail-on error "$deb" || fail "lintian reports errors"

# A fresh Debian 12 root of our own; its mounts live in a namespace of their own.
cache=$build/package-root
mirror=${EKUDEMO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
mkdir -p "$cache/archives/partial"
work=$(mktemp -d "${TMPDIR:-/tmp}/ekudemo-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
if [ ! -f "$cache/bookworm-minbase.tar" ]; then
    echo "debootstrap --variant=minbase bookworm (once; cached in $cache)"
    unshare --mount debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        { tail -n 20 "$work/debootstrap.log"; echo "FAILED: debootstrap"; exit 1; }
    tar -C "$root" -cf "$cache/bookworm-minbase.tar.part" . && mv "$cache/bookworm-minbase.tar.part" "$cache/bookworm-minbase.tar"
else
    mkdir "$root"
    tar -C "$root" -xf "$cache/bookworm-minbase.tar"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/ekudemo.deb"

# In the root: apt installs the package and what it depends on (downloads are
# kept in the cache), then the greeting plays from / with no dat/ there.
cat >"$root/tmp/play.sh" <<'PLAY'
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >/dev/null
apt-get install -y -q --no-install-recommends /tmp/ekudemo.deb >/tmp/apt.log 2>&1 || { tail -n 30 /tmp/apt.log; exit 1; }
dpkg-query -W -f '${Package} ${Status}\n' libsdl1.2-compat-shim
cd /
/usr/games/ekudemo --version
test ! -e /dat
status=0
LC_ALL=C SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy /usr/games/ekudemo >/tmp/out.txt 2>/tmp/err.txt || status=$?
echo "status $status"
# The capture tool reads the installed data and writes OUT where it was named.
cd /tmp
/usr/games/ekudemo-capture --wav greeting.wav >/dev/null 2>&1 && test -s /tmp/greeting.wav &&
    test ! -e /usr/share/games/ekudemo/greeting.wav && echo "capture wrote /tmp/greeting.wav"
PLAY
unshare --mount --pid --fork sh -c "
    mount --bind '$cache/archives' '$root/var/cache/apt/archives' &&
    mount -t proc proc '$root/proc' &&
    chroot '$root' sh /tmp/play.sh" >"$work/play.log" 2>&1 || true
cat "$work/play.log"
grep -qx "libsdl1.2-compat-shim install ok installed" "$work/play.log" || fail "SDL 1.2 is not sdl12-compat"
grep -qx "ekudemo [0-9.]*" "$work/play.log" || fail "the installed greeting does not run"
grep -qx "status 0" "$work/play.log" || fail "the installed greeting did not end with status 0"
grep -qx "capture wrote /tmp/greeting.wav" "$work/play.log" || fail "the installed capture tool did not write OUT where it was named"
printf 'mik\345 kaislaten tulevi se kukkuen menevi\n' >"$work/farewell"
cmp -s "$root/tmp/out.txt" "$work/farewell" || fail "no farewell on standard output"
[ ! -s "$root/tmp/err.txt" ] || { cat "$root/tmp/err.txt"; fail "messages on standard error"; }
[ "$failed" -eq 0 ] && echo "the package installs and plays"
exit "$failed"
