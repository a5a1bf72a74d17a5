#!/bin/sh
# Installs the Debian 12 packages that building, running and testing need,
# those that are missing only. Runs apt-get as root, through sudo otherwise.
set -eu

PACKAGES="build-essential cmake pkg-config git clang libclang-rt-14-dev clang-format clang-tidy
libsdl1.2-compat-dev libsdl-ttf2.0-dev libopenmpt-dev libpng-dev
libavformat-dev libavcodec-dev libavutil-dev
libgtest-dev libbenchmark-dev libcli11-dev libtomlplusplus-dev fonts-liberation2
openmpt123 sox imagemagick ffmpeg xvfb xauth xdotool x11-utils libx11-dev openbox
help2man lintian dpkg-dev fakeroot file debootstrap"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
