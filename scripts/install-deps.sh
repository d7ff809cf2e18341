#!/bin/sh
# Installs, with apt-get, exactly the Debian packages that are missing for
# building, running and testing Vidmora. Run as root (or through sudo).
set -eu

PACKAGES="g++ make cmake pkg-config qt6-base-dev qt6-webengine-dev libgl-dev libgtest-dev libbenchmark-dev \
ffmpeg xvfb xauth openbox xdotool fonts-dejavu-core python3 curl procps"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done

if [ -z "$missing" ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing:$missing"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
