#!/usr/bin/env bash
# Installs every Debian package the build, the plug-ins and the tests need.
# Quick when they are all there already.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
    juce-modules-source libgtest-dev libbenchmark-dev
    libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev libcurl4-openssl-dev
    libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev libxcomposite-dev
    libpng-dev libjpeg-dev libgtk-3-dev libwebkit2gtk-4.0-dev
    lilv-utils python3 python3-mido xvfb jackd2 jalv
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "dependencies: all installed"
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "dependencies: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" > /dev/null
