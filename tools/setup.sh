#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian 12, as root or with sudo).
set -euo pipefail

packages=(g++ cmake make pkg-config libsqlite3-dev libgtest-dev libfltk1.3-dev)
if [[ "${1:-}" == "--test" ]]; then
    # Test fixtures are real PE files built with mingw-w64; window tests run under Xvfb.
    packages+=(mingw-w64 xvfb xauth imagemagick x11-utils)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
