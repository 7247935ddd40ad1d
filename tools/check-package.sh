#!/usr/bin/env bash
# Builds the Debian package from a build, runs lintian on it, and checks what
# it installs from an extracted tree: the files desktops and the bus look for,
# and the installed command's --version.
#   tools/check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
for tool in dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kd-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb="$work/out/kaleidrome-launcher_${version}_amd64.deb"
test -f "$deb" || { echo "no $deb"; ls "$work/out"; exit 1; }

# Neither errors nor warnings (the informational notes are in the README).
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
if grep -E '^(E|W): ' "$work/lintian.log"; then
  echo "lintian reports the errors or warnings above"; exit 1
fi

fields=$(dpkg-deb -f "$deb" Package Version Architecture Depends)
echo "$fields"
grep -q '^Depends:.*libqt6widgets6' <<<"$fields"
grep -q '^Depends:.*libqt6sql6-sqlite' <<<"$fields"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in \
    usr/share/applications/org.example.KaleidromeLauncher.desktop \
    usr/share/metainfo/org.example.KaleidromeLauncher.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/kaleidrome-launcher.png \
    usr/share/icons/hicolor/scalable/apps/kaleidrome-launcher.svg \
    usr/share/gnome-shell/search-providers/org.example.KaleidromeLauncher.search-provider.ini \
    usr/share/krunner/dbusplugins/org.example.KaleidromeLauncher.desktop \
    usr/share/dbus-1/services/org.example.KaleidromeLauncher.service \
    usr/share/doc/kaleidrome-launcher/copyright \
    usr/share/doc/kaleidrome-launcher/changelog.gz \
    "usr/lib/kaleidrome-launcher/Kaleidrome Launcher.app/Contents/Resources/Kaleidrome.xml"; do
  test -s "$root/$file" || { echo "missing from the package: $file"; exit 1; }
done
# The bus starts the command the package installs.
grep -qx 'Exec=/usr/bin/kaleidrome-launcher --search-service' \
  "$root/usr/share/dbus-1/services/org.example.KaleidromeLauncher.service"
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/kaleidrome-launcher" --version)
if [ "$answer" != "Kaleidrome Launcher $version" ]; then
  echo "the packaged kaleidrome-launcher --version said: $answer" >&2
  exit 1
fi
echo "packaged, accepted by lintian, and it says: $answer"
