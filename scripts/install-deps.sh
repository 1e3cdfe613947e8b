#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Skips apt entirely when everything is already present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libpcre2-dev libopencc-dev opencc libasio-dev
  libx11-dev libxtst-dev curl
  xvfb xauth openbox fonts-wqy-microhei x11-utils xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
