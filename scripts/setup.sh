#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git ccache
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    mpv python3 xvfb xauth x11-utils xdg-utils libxcb1-dev
    libaubio-dev aubio-tools ffmpeg
    fonts-dejavu-core
    libqt6svg6
    appstream desktop-file-utils libxml2-utils shared-mime-info man-db
    xdotool x11-apps
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    if [[ $(id -u) -ne 0 ]]; then
        echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
