#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the project need.
# Non-interactive and idempotent: when every package is present it touches no network.
set -euo pipefail

packages=(
  g++ cmake make ninja-build pkg-config ccache python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libglfw3-dev libgl-dev libx11-dev libglm-dev rapidjson-dev libstb-dev libboost-dev libasound2-dev
  python3-glad xvfb xauth libgl1-mesa-dri libglx-mesa0
  sox ffmpeg libavcodec-dev python3-numpy python3-scipy python3-mido libsamplerate0-dev libspeexdsp-dev
  libmimalloc-dev libjemalloc-dev libopenal-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
