#!/usr/bin/env bash
# Installs the Debian packages the launcher and its tests need, when missing.
set -euo pipefail

packages=(cmake g++ pkg-config qt6-base-dev libqt6sql6-sqlite qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          libglib2.0-dev libxcb-ewmh-dev libcanberra-dev libsdl2-dev libxxhash-dev libgtest-dev libbenchmark-dev
          xvfb xauth openbox x11-utils xdotool dbus-daemon desktop-file-utils appstream clang-format
          dpkg-dev lintian weston qt6-wayland)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
