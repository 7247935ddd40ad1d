#!/usr/bin/env bash
# Installs a build into a throwaway prefix as a package would, then checks what
# distributions check: the desktop entry, the metainfo, the icons, and that the
# installed command answers --version with no display.
#   tools/check-install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kd-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
desktop-file-validate "$share/applications/org.example.KaleidromeLauncher.desktop"
appstreamcli validate --no-net "$share/metainfo/org.example.KaleidromeLauncher.metainfo.xml"
for icon in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
  test -s "$share/icons/hicolor/$icon/apps/kaleidrome-launcher.png"
done
test -s "$share/icons/hicolor/scalable/apps/kaleidrome-launcher.svg"

answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kaleidrome-launcher" --version)
if [ "$answer" != "Kaleidrome Launcher $version" ]; then
  echo "the installed kaleidrome-launcher --version said: $answer" >&2
  exit 1
fi
echo "installed, validated, and it says: $answer"
