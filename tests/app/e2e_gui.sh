#!/usr/bin/env bash
# The program as a user drives it, on a virtual X display: load the example
# show through the File menu, play a second, make a movie, quit. The movie
# must hold every frame of the show; a screenshot is kept beside it.
#
# Usage: e2e_gui.sh <vantoril> <vantoril-cli> <screen_grab> <source dir> <work dir>
set -euo pipefail

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "SKIPPED: the end-to-end GUI test needs xvfb-run and xdotool"
  exit 77
fi
if [[ -z "${E2E_INSIDE_XVFB:-}" ]]; then
  export E2E_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

program=$1 cli=$2 grab=$3 source=$4 work=$5
rm -rf "$work"
mkdir -p "$work/config" "$work/runtime" "$work/out"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM
show="$source/examples/example.vsh"
movie="$work/out/e2e.avi"
# Small, full frames, no holds, the output folder first in the file dialogs.
printf '[Vantoril]\r\nMovieWid=160\r\nMovieHgt=120\r\nMovieFields=\r\nMovieHold=00:00:00\r\nMovieStart=00:00:00\r\nInitialFolder=%s/\r\n' \
  "$work/out" >"$XDG_CONFIG_HOME/Vantoril.ini"

"$program" >"$work/program.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

wait_for_window() {  # name, seconds
  for _ in $(seq 1 $(($2 * 10))); do
    if id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "FAILED: no window named '$1'" >&2
  return 1
}

main=$(wait_for_window "Quennet Vantoril" 30)
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
sleep 1

# File > Load Show (the menu's sixth entry; separators are skipped).
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 20 10 click 1
sleep 0.5
xdotool key Down Down Down Down Down Return
wait_for_window "Load Show|Open" 10 >/dev/null || true
sleep 1
xdotool type --delay 5 "$show"
xdotool key Return
wait_for_window "Quennet Vantoril - example" 20 >/dev/null

# Play for a second, then stop.
xdotool key space
sleep 1
xdotool key k
sleep 0.5

# Make Movie: OK in the options, the file, OK in the compression dialog.
xdotool key ctrl+k
sleep 1
xdotool key Return
sleep 1
xdotool type --delay 5 "$movie"
xdotool key Return
sleep 1
xdotool key Return
for _ in $(seq 1 600); do
  grep -q "^MovieType=" "$XDG_CONFIG_HOME/Vantoril.ini" 2>/dev/null && break
  [[ -s $movie ]] && sleep 0.5 && break
  sleep 0.1
done
sleep 3
"$grab" "$work/screenshot.png" || echo "no screenshot could be taken"
xdotool key Return  # the success message
sleep 0.5

xdotool key ctrl+q
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAILED: the program did not close"
  exit 1
fi
trap - EXIT

[[ -s $movie ]] || { echo "FAILED: no movie at $movie"; cat "$work/program.log"; exit 1; }
expected=$("$cli" info "$show" | python3 -c '
import json, sys
show = json.load(sys.stdin)
print(max([p["keys"][-1]["time"] for p in show["pictures"] if p["keys"]] or [0]))')
frames=$(python3 - "$movie" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(b"idx1")
print(struct.unpack("<I", data[at + 4:at + 8])[0] // 16 if at >= 0 else -1)
PY
)
echo "movie frames: $frames, expected: $expected; screenshot: $work/screenshot.png"
[[ $frames == "$expected" ]]
