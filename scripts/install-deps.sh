#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build, the tests and the editor need; skips apt-get
# when everything is there already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev libgl-dev libicu-dev nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgettextpo-dev gettext
  libxml2-dev translate-toolkit
  xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core fonts-wqy-microhei fonts-tlwg-loma-otf
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
