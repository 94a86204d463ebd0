#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the simulator need.
# Does nothing (and needs no network) when all of them are already there.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-format ccache
  libplist-dev libcurl4-openssl-dev libssl-dev nlohmann-json3-dev libpugixml-dev libcli11-dev libcpp-httplib-dev libsimdjson-dev
  liburing-dev libarchive-dev libcairo2-dev libpango1.0-dev libsdl2-dev libwebp-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev libfiu-dev fiu-utils
  xvfb xauth xdotool x11-apps x11-utils python3 python3-kiwisolver openssl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
