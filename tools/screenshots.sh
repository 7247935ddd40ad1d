#!/usr/bin/env bash
# Pictures of what users see: main window 1 and 2, the preferences window, the log window
# and its find bar, the Gamepad page of the preferences, the About window, a main window
# with the play figures and the status line, the History window, a main window without its
# game list, both main windows with 40,000 invented games, main window 1 and the
# preferences in German, a table emptied by its filters, a game's menu, the question
# before a running game is replaced, the restore offers of a damaged list, the offer of a
# copy of a play history that cannot be used, and main window 1 and the preferences at
# scale 2 on a 1440x900 screen, taken under a private Xvfb.
# Usage: tools/screenshots.sh [output-folder]   (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
tools/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target kaleidrome-launcher kd-grab >/dev/null

for n in $(seq 171 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
work=$(mktemp -d)
cleanup() { [ -s "$work/launcher.log" ] && [ "${ok:-0}" != 1 ] && cat "$work/launcher.log" >&2; kill "${app_pid:-}" "${wm_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# screen WIDTHxHEIGHT: a fresh X server of that size.
screen() {
  kill "${xvfb_pid:-}" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  Xvfb "$display" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 & xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
}
screen 1280x900
export DISPLAY="$display"

mkdir -p "$work/config/Kaleidrome" "$work/roms" "$out" "$work/runtime"
chmod 700 "$work/runtime"
# Some games have their archive, so the ROM column shows which.
for game in astrovex cometkai fenlight ionrally lumora mosspath; do : > "$work/roms/$game.zip"; done
# The emulator's usual output, then frame lines with one line to find among them.
log_script=$'default\nflood 300000\nout Game over: 3 credits left\nflood 20000'
# launch BUNDLE [WINDOW] [LANGUAGE] [DEMO SCRIPT]: each launcher starts as on a
# first start (no remembered arrangement), with a runtime folder of its own, so
# that a launcher the user runs is left alone.
launch() {
  printf '[General]\nRomsPath=%s\nStartWindow=%s\n' "$work/roms" "${2:-1}" \
    > "$work/config/Kaleidrome/Kaleidrome Launcher.conf"
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
    LANGUAGE="${3:-en}" QT_QPA_PLATFORM=xcb KD_DEMO_SCRIPT="${4:-$log_script}" QT_SCALE_FACTOR="${scale:-1}" \
    "$1/Contents/MacOS/kaleidrome-launcher" >>"$work/launcher.log" 2>&1 & app_pid=$!
}

window() { timeout 90 xdotool search --all --sync --onlyvisible --pid "$app_pid" --name "^$1\$" | head -n1; }
shot() {
  # openbox ignores an activation that follows user input within a second.
  sleep 1.2
  timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  timeout 10 xdotool windowraise "$1" >/dev/null 2>&1 || true
  timeout 10 xdotool windowmove "$1" "${at:-40}" "${at:-40}" >/dev/null 2>&1 || true
  sleep 0.8
  local geometry
  geometry=$(xwininfo -id "$1")
  local x y w h
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")
  w=$(awk '/Width:/ {print $2}' <<<"$geometry")
  h=$(awk '/Height:/ {print $2}' <<<"$geometry")
  build/tools/screenshots/kd-grab "$1" "$x" "$y" "$w" "$h" "$out/$2.png"
  echo "$out/$2.png"
}
# others WINDOW: the launcher's visible windows titled as its main windows but WINDOW.
others() { xdotool search --all --onlyvisible --pid "$app_pid" --name "^Kaleidrome Launcher\$" | grep -v "^$1\$" || true; }
keys() { timeout 10 xdotool windowraise "$1" windowfocus --sync "$1"; sleep 0.3; xdotool key --clearmodifiers "${@:2}"; }

# Two earlier sessions leave runs that ended badly in the play history: a game
# killed by a signal, one that exits with status 5 (each answers two alerts).
# play SCRIPT KEYS...: starts a game picked with KEYS, closes the alerts, quits.
play() {
  launch "build/Kaleidrome Launcher.app" 1 en "$1"
  local w
  w=$(window "Kaleidrome Launcher")
  keys "$w" "${@:2}" Return
  sleep 3
  for _ in 1 2; do
    timeout 10 xdotool search --sync --onlyvisible --pid "$app_pid" --name "^Kaleidrome Launcher\$" >/dev/null
    xdotool key Return; sleep 0.6
  done
  keys "$w" ctrl+q
  wait "$app_pid" || true
}
play $'out Loading stage 1\nsleep 1500\nsignal 11' Down Down
play $'out Insert coin\nsleep 1000\nexit 5' Down Down Down
launch "build/Kaleidrome Launcher.app"

main=$(window "Kaleidrome Launcher")
shot "$main" main-window-1
keys "$main" ctrl+2
sleep 1
second=$(xdotool search --all --onlyvisible --pid "$app_pid" --name "^Kaleidrome Launcher\$" | grep -v "^$main\$" | head -n1)
keys "${second:-$main}" ctrl+f
xdotool type --delay 60 "racing"  # the search field, shared by both windows
shot "${second:-$main}" main-window-2
keys "${second:-$main}" ctrl+f Escape ctrl+1
sleep 1
main=$(window "Kaleidrome Launcher")
keys "$main" Down Return          # start the second game, so the log has a run in it
sleep 1.5
keys "$main" ctrl+l
log=$(window Log)
shot "$log" log-window
keys "$log" ctrl+f
xdotool type --delay 30 "game over"
xdotool key Return
shot "$log" log-find
keys "$main" ctrl+comma
shot "$(window Preferences)" preferences-window
keys "$(window Preferences)" ctrl+Tab ctrl+Tab ctrl+Tab   # the Gamepad page
shot "$(window Preferences)" preferences-gamepad
keys "$main" alt+h; sleep 0.5; xdotool key a
shot "$(window "About Kaleidrome Launcher")" about-window

# The game that ran becomes a favourite; window 2 shows the figures.
keys "$main" ctrl+d
keys "$main" ctrl+2
sleep 1
second=$(window "Kaleidrome Launcher")
timeout 10 xdotool windowsize "$second" 1000 720 >/dev/null 2>&1 || true
sleep 0.5
# Last Played and Play Time from the header's menu (the last two entries).
header_y=$(xwininfo -id "$second" | awk '/Height:/ {print int($2 * 0.645)}')
for entry in "Up" "Up Up"; do
  xdotool mousemove --window "$second" 200 "$header_y" click 3
  sleep 0.5
  # shellcheck disable=SC2086
  xdotool key $entry Return
  sleep 0.3
done
shot "$second" main-window-history
keys "$second" ctrl+h
shot "$(window History)" history-window

# Main window 1 and the preferences in German; then filters that hide every
# game: the table says which and offers to turn them off.
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
launch "build/Kaleidrome Launcher.app" 1 de
main=$(window "Kaleidrome Launcher")
shot "$main" main-window-1-de
keys "$main" ctrl+comma
shot "$(window Einstellungen)" preferences-window-de
keys "$main" ctrl+f
xdotool type --delay 60 "zzyzx"
shot "$main" main-window-filtered-de
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
launch "build/Kaleidrome Launcher.app"
main=$(window "Kaleidrome Launcher")
keys "$main" ctrl+f
xdotool type --delay 60 "zzyzx"
shot "$main" main-window-filtered

# A game's menu (Shift+F10 on the table), taken as it is shown.
keys "$main" ctrl+f Escape Tab
xdotool key shift+F10
sleep 1
geometry=$(xwininfo -id "$main")
build/tools/screenshots/kd-grab "$main" \
  "$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")" \
  "$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")" \
  "$(awk '/Width:/ {print $2}' <<<"$geometry")" "$(awk '/Height:/ {print $2}' <<<"$geometry")" \
  "$out/main-window-game-menu.png"
xdotool key Escape

# A start while a game runs asks first.
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
launch "build/Kaleidrome Launcher.app" 1 en $'out Loading stage 1\nsleep 60000'
main=$(window "Kaleidrome Launcher")
keys "$main" Return
sleep 2
keys "$main" Down Return
sleep 1.5
question=$(timeout 20 bash -c "until w=\$(xdotool search --all --onlyvisible --pid $app_pid --name '^Kaleidrome Launcher\$' | grep -v '^$main\$' | head -n1) && [ -n \"\$w\" ]; do sleep 0.3; done; echo \$w")
shot "$question" question-stop-and-start
xdotool key Escape

# A bundle without its game list: the table says why it is empty.
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
cp -r "build/Kaleidrome Launcher.app" "$work/"
rm "$work/Kaleidrome Launcher.app/Contents/Resources/Kaleidrome.xml"
launch "$work/Kaleidrome Launcher.app"
shot "$(window "Kaleidrome Launcher")" main-window-empty-list

# A damaged list: the empty table offers the newest copy kept at an earlier
# Quit, Game > Restore Game List... lists every copy, and the chosen one is
# restored after a question.
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
cp -r "build/Kaleidrome Launcher.app" "$work/restore.app"
list="$work/restore.app/Contents/Resources/Kaleidrome.xml"
copies="$work/data/Kaleidrome/Kaleidrome Launcher/backups/game-list"
mkdir -p "$copies"
python3 bench/catalogue/make_catalogue.py 300 "$copies/Kaleidrome-20261130-184512-000000.xml"
cp "$list" "$copies/Kaleidrome-20261205-211003-000000.xml"
printf '<?xml version="1.0"?>\n<plist version="1.0"><array><dict><key>name' >"$list"
launch "$work/restore.app"
main=$(window "Kaleidrome Launcher")
shot "$main" main-window-restore-offer
keys "$main" alt+g
sleep 0.5
xdotool key l
choice=$(timeout 20 bash -c "until w=\$(xdotool search --all --onlyvisible --pid $app_pid --name '^Kaleidrome Launcher\$' | grep -v '^$main\$' | head -n1) && [ -n \"\$w\" ]; do sleep 0.3; done; echo \$w")
shot "$choice" restore-game-list
keys "$choice" Return
alert=$(timeout 20 bash -c "until w=\$(xdotool search --all --onlyvisible --pid $app_pid --name '^Kaleidrome Launcher\$' | grep -v '^$main\$' | head -n1) && [ -n \"\$w\" ]; do sleep 0.3; done; echo \$w")
shot "$alert" restore-question
keys "$alert" Return
shot "$main" main-window-restored
rm -rf "$work/data/Kaleidrome/Kaleidrome Launcher/backups"

# A real-sized list: 40,000 invented games from the benchmarks' generator.
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
python3 bench/catalogue/make_catalogue.py 40000 "$work/Kaleidrome Launcher.app/Contents/Resources/Kaleidrome.xml"
for n in 1 2; do
  launch "$work/Kaleidrome Launcher.app" "$n"
  shot "$(window "Kaleidrome Launcher")" "main-window-$n-40000-games"
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
done

# A play history that cannot be used: its newest sound copy (made when the
# sessions above quit) is offered; Return restores it.
history="$work/data/Kaleidrome/Kaleidrome Launcher/history.sqlite"
{ printf 'SQLite format 3\000'; head -c 9000 /dev/zero | tr '\0' 'Z'; } >"$history"
rm -f "$history-wal" "$history-shm"
launch "build/Kaleidrome Launcher.app"
main=$(window "Kaleidrome Launcher")
question=$(timeout 20 bash -c "until w=\$(xdotool search --all --onlyvisible --pid $app_pid --name '^Kaleidrome Launcher\$' | grep -v '^$main\$' | head -n1) && [ -n \"\$w\" ]; do sleep 0.3; done; echo \$w")
shot "$question" question-restore-play-history
xdotool key Return
shot "$main" main-window-history-restored
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true

# Scale 2 on a 1440x900 screen: every window opens inside it.
screen 1440x900
scale=2 at=0
rm -rf "$work/data" # no runs: the status line as on a first start
launch "build/Kaleidrome Launcher.app"
main=$(window "Kaleidrome Launcher")
shot "$main" main-window-1-2x
keys "$main" ctrl+comma
shot "$(window Preferences)" preferences-window-2x
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
ok=1
