#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks, the fuzzers and the demo
# need, and only those that are missing. Quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsdl2-dev libopenmpt-dev libimgui-dev libfreetype-dev libpng-dev
  xvfb xdotool libx11-dev libxtst-dev fonts-dejavu-core valgrind
  ffmpeg sox
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "missing packages: ${missing[*]}" >&2
  echo "run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
