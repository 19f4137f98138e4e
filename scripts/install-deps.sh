#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run.
# Does nothing (quickly) when every package is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
  qt6-translations-l10n
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-ipafont-mincho fonts-ipafont-gothic fontconfig
  xvfb xauth imagemagick
  libqhull-dev libexpat1-dev
  liblhasa-dev lhasa liblemon-dev
  cups printer-driver-cups-pdf poppler-utils
  dpkg-dev lintian desktop-file-utils shared-mime-info groff-base man-db binutils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
