#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need.
# Idempotent: when everything is present it does nothing (no apt-get call).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang lld libclang-rt-14-dev pkg-config ccache
  juce-modules-source juce-tools
  libasound2-dev libfreetype-dev libx11-dev libxext-dev libxrandr-dev
  libxinerama-dev libxcursor-dev libxrender-dev libcurl4-gnutls-dev
  libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzita-resampler-dev
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "bootstrap: done"
