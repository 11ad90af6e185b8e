#!/usr/bin/env bash
# The program as a user drives it, on a virtual X display: load the example
# show through the File menu, switch the Timeline to every picture's track,
# play a second (with no sound server the example's sound track is told once
# to have no output, and the pictures play on), make a movie; load a
# cut-short copy of the show and one that misses a picture and its background,
# and make a movie of the latter after answering the placeholder question;
# quit. The movies must hold every frame of the show, the Timeline must show a
# track per picture, and the messages (recorded through VANTORIL_MESSAGE_LOG)
# must name what went wrong; a screenshot is kept beside the movie.
#
# Then it opens a copy of the show from the command line, drops a picture on
# the window from another program and saves the show.
#
# Usage: e2e_gui.sh <vantoril> <vantoril-cli> <screen_grab> <source dir> <work dir> <drag_files>
set -euo pipefail

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "SKIPPED: the end-to-end GUI test needs xvfb-run and xdotool"
  exit 77
fi
if [[ -z "${E2E_INSIDE_XVFB:-}" ]]; then
  export E2E_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

program=$1 cli=$2 grab=$3 source=$4 work=$5 drag=$6
rm -rf "$work"
mkdir -p "$work/config" "$work/state" "$work/runtime" "$work/out"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
export PULSE_SERVER="unix:$work/runtime/no-sound-server"
unset QT_QPA_PLATFORM
show="$source/examples/example.vsh"
movie="$work/out/e2e.avi"
# A copy that misses its star picture, and one cut short (its pictures found).
mkdir -p "$work/lost/pictures" "$work/cut"
cp "$source"/examples/pictures/{lens.tga,stripes.tif,sun.bmp} "$work/lost/pictures/"
cp "$show" "$work/lost/lost.vsh"
ln -s "$source/examples/pictures" "$work/cut/pictures"
head -c $(($(stat -c %s "$show") - 100)) "$show" >"$work/cut/cut.vsh"
movie2="$work/out/placeholder.avi"
export VANTORIL_MESSAGE_LOG="$work/messages.log"
# Small, full frames, no holds, the output folder first in the file dialogs.
printf '[Vantoril]\r\nMovieWid=160\r\nMovieHgt=120\r\nMovieFields=\r\nMovieHold=00:00:00\r\nMovieStart=00:00:00\r\nInitialFolder=%s/\r\n' \
  "$work/out" >"$XDG_CONFIG_HOME/Vantoril.ini"

pid=
trap 'kill $pid 2>/dev/null || true' EXIT

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

# The window with the keyboard focus: a modal dialog takes it while it is up.
# When a dialog closes, the focus falls back to the root window (there is no
# window manager), where it is no dialog's.
focused() {
  xdotool getwindowfocus 2>/dev/null || echo none
}
root=$(xdotool search --maxdepth 0 --name "" | head -1)

# Waits until a window other than the root and the ones given has the focus
# (the dialog that the last keys opened) and prints it. A busy machine (a
# sanitizer build beside this test) may take many seconds to open one.
wait_for_dialog() {
  local window
  for _ in $(seq 1 1200); do
    window=$(focused)
    if [[ " none $root $* " != *" $window "* ]]; then
      sleep 0.2  # let it lay out before it is typed into
      echo "$window"
      return 0
    fi
    sleep 0.1
  done
  echo "FAILED: no dialog came up (the focus stayed on $window)" >&2
  return 1
}

# Keys to a dialog, then waits until it has closed: it loses the focus when
# it is hidden, and its window goes when its modal loop has ended (until
# then the main window would drop the keys it is sent).
answer() {  # dialog, keys
  local dialog=$1
  shift
  xdotool key "$@"
  for _ in $(seq 1 1200); do
    [[ $(focused) != "$dialog" ]] && break
    sleep 0.1
  done
  if [[ $(focused) == "$dialog" ]]; then
    echo "FAILED: the dialog did not close on $*" >&2
    return 1
  fi
  for _ in $(seq 1 100); do
    xdotool getwindowname "$dialog" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
}

# The main window takes the keys again once its dialogs are closed.
back_to_main() {
  xdotool windowfocus --sync "$main"
  sleep 0.3
}

# Waits until the message log holds the text at least n times.
wait_for_message() {  # text, n
  for _ in $(seq 1 1200); do
    (($(grep -cF -- "$1" "$VANTORIL_MESSAGE_LOG" 2>/dev/null || true) >= $2)) && return 0
    sleep 0.1
  done
  echo "FAILED: the message \"$1\" was not shown" >&2
  return 1
}

# Starts the program and waits for its window (in $window). Under load the
# virtual display now and then refuses a new client: a program that could
# not reach it is started again, up to three times.
start_program() {  # log, window name, arguments
  local log=$1 name=$2
  shift 2
  for _ in 1 2 3; do
    "$program" "$@" >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 1 600); do
      window=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -1) || true
      [[ -n $window ]] && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && break
    grep -q 'platform plugin "xcb"' "$log" || break
  done
  echo "FAILED: no window named '$name'" >&2
  cat "$log" >&2
  return 1
}

start_program "$work/program.log" "Quennet Vantoril"
main=$window
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
sleep 1

# File > Load Show (the menu's sixth entry; separators are skipped).
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 20 10 click 1
sleep 0.5
xdotool key Down Down Down Down Down Return
dialog=$(wait_for_dialog "$main")
xdotool type --delay 5 "$show"
answer "$dialog" Return
wait_for_window "Quennet Vantoril - example" 60 >/dev/null
back_to_main
sleep 0.5

# The Timeline's view button: 14 left of the Timeline (client x 120) and 22
# above the client bottom, which is the window's bottom (no status bar).
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 106 $((HEIGHT - 22)) click 1
sleep 0.5

# Play for a second, then stop.
xdotool key space
wait_for_message "Error opening wave output device" 1
answer "$(wait_for_dialog "$main")" Return  # no sound output
back_to_main
sleep 1
xdotool key k
sleep 0.5

# Make Movie, once Ctrl+K is pressed and any question before it answered (the
# windows given are not its dialogs): OK in the options, the file, OK in the
# compression dialog; when the movie is made, OK to the success message. The
# options and the compression dialog are drawn inside the main window, which
# takes their keys in order; the file dialog and the messages are windows of
# their own.
make_movie() {  # file, movies made before, windows
  local file=$1 before=$2 name
  shift 2
  back_to_main
  xdotool key Return
  name=$(wait_for_dialog "$main" "$@")
  xdotool type --delay 5 "$file"
  answer "$name" Return
  back_to_main
  xdotool key Return
  # A sanitizer build on a busy machine renders slowly.
  wait_for_message "Movie file(s) successfully made" $((before + 1))
  answer "$(wait_for_dialog "$main" "$@" "$name")" Return
  back_to_main
}
xdotool key ctrl+k
make_movie "$movie" 0

# Every picture's track: in the all-pictures view the Timeline's client top is
# 54 + 15 n above the client bottom (n pictures, at most 8), and its rows start
# 14 below that, 15 apart. Probe each row's inside (content x 10, above the
# key marks): cyan, or yellow for the selected picture.
eval "$(xdotool getwindowgeometry --shell "$main")"
pictures=$("$cli" info "$show" | python3 -c 'import json, sys; print(len(json.load(sys.stdin)["pictures"]))')
rows=$((pictures < 8 ? pictures : 8))
top=$((Y + HEIGHT - 54 - 15 * rows))
points=()
for ((row = 0; row < rows; ++row)); do
  points+=($((X + 130)) $((top + 15 + 15 * row)))
done
colours=$("$grab" "$work/screenshot.png" "${points[@]}") || colours="no screenshot could be taken"
echo "timeline rows: $(echo $colours)"
tracks=$(grep -cxE '00ffff|ffff00' <<<"$colours" || true)

# Ctrl+O: the cut-short show. Its damage is told; it loads without a name.
xdotool key ctrl+o
dialog=$(wait_for_dialog "$main")
xdotool type --delay 5 "$work/cut/cut.vsh"
answer "$dialog" Return
wait_for_message "This show file is damaged" 1
answer "$(wait_for_dialog "$main" "$dialog")" Return  # the damage message
back_to_main
# Ctrl+O again: the damaged show is modified, so No to saving it first; then
# the show that misses a picture and its background, and the message naming
# them.
xdotool key ctrl+o
question=$(wait_for_dialog "$main")
answer "$question" n
dialog=$(wait_for_dialog "$main" "$question")
xdotool type --delay 5 "$work/lost/lost.vsh"
answer "$dialog" Return
wait_for_message "2 pictures could not be read:" 1
answer "$(wait_for_dialog "$main" "$question" "$dialog")" Return  # the picture's message
wait_for_window "Quennet Vantoril - lost" 60 >/dev/null
back_to_main
# Make Movie asks about the placeholder first (No is the default): Yes.
xdotool key ctrl+k
wait_for_message "Make the movie anyway?" 1
question=$(wait_for_dialog "$main")
answer "$question" y
make_movie "$movie2" 1 "$question"

xdotool key ctrl+q
for _ in $(seq 1 300); do
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
echo "movie frames: $frames, expected: $expected; tracks: $tracks of $rows;" \
  "screenshot: $work/screenshot.png"
[[ $frames == "$expected" ]] || { echo "FAILED: the movie misses frames"; exit 1; }
[[ $tracks == "$rows" ]] || { echo "FAILED: the Timeline does not show every picture's track"; exit 1; }

# The messages, in the order they were shown.
messages=$(cat "$work/messages.log" 2>/dev/null || true)
expect_message() {
  grep -qF -- "$1" <<<"$messages" || {
    echo "FAILED: no message \"$1\"; the messages were:"
    echo "$messages"
    exit 1
  }
}
expect_message "Error opening wave output device"
expect_message "This show file is damaged: it is cut short ("
expect_message "2 pictures could not be read:"
expect_message "$work/lost/pictures/sky.bmp (no such file)"  # the background
expect_message "$work/lost/pictures/star.tga (no such file)"
expect_message "2 pictures of this show could not be read and would render as placeholders:"
expect_message "Make the movie anyway?"
[[ $(grep -c "Movie file(s) successfully made" <<<"$messages") == 2 ]] ||
  { echo "FAILED: the two movies were not both made: $messages"; exit 1; }
frames2=$(python3 - "$movie2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(b"idx1")
print(struct.unpack("<I", data[at + 4:at + 8])[0] // 16 if at >= 0 else -1)
PY
)
echo "placeholder movie frames: $frames2"
[[ $frames2 == "$expected" ]] || { echo "FAILED: the placeholder movie misses frames"; exit 1; }

# Opened from outside: the show named on the command line is loaded at start
# (a copy, which is saved below). A picture dragged from another program and
# dropped on the window becomes a new picture.
# Beside its pictures, so that no message about them stands in the way.
mkdir -p "$work/opened"
ln -sfn "$source/examples/pictures" "$work/opened/pictures"
copy=$work/opened/opened.vsh
cp "$show" "$copy"
count_pictures() {
  "$cli" info "$1" | python3 -c 'import json, sys; print(len(json.load(sys.stdin)["pictures"]))'
}
before=$(count_pictures "$copy")
drag_pid=
trap 'kill $pid $drag_pid 2>/dev/null || true' EXIT
start_program "$work/program-open.log" "Quennet Vantoril - opened" "$copy" ||
  { echo "FAILED: vantoril SHOW.vsh did not open the show"; exit 1; }
opened=$window
# Under load the virtual display has once refused the drag source's
# connection: it gets three tries.
for _ in 1 2 3; do
  "$drag" "$source/examples/pictures/sun.bmp" >>"$work/drag.log" 2>&1 &
  drag_pid=$!
  for _ in $(seq 1 600); do
    kill -0 "$drag_pid" 2>/dev/null || break
    source_window=$(xdotool search --onlyvisible --name "drag-files" 2>/dev/null | head -1) || true
    [[ -n $source_window ]] && break 2
    sleep 0.1
  done
  kill "$drag_pid" 2>/dev/null || true
done
[[ -n ${source_window:-} ]] || { echo "FAILED: the drag source did not start"; cat "$work/drag.log"; exit 1; }
sleep 1
xdotool windowraise "$source_window"
eval "$(xdotool getwindowgeometry --shell "$opened")"
xdotool mousemove 60 60 mousedown 1
sleep 0.5
for step in 1 2 3 4 5; do
  xdotool mousemove $((60 + (X + WIDTH / 2 - 60) * step / 5)) $((60 + (Y + HEIGHT / 3 - 60) * step / 5))
  sleep 0.2
done
xdotool mouseup 1
sleep 1
xdotool windowactivate --sync "$opened" 2>/dev/null || xdotool windowfocus --sync "$opened"
xdotool key ctrl+s
sleep 1
after=$(count_pictures "$copy")
echo "dropped picture: $before pictures before, $after after"
xdotool key ctrl+q
for _ in $(seq 1 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
trap - EXIT
kill "$pid" "$drag_pid" 2>/dev/null || true
echo "vantoril SHOW.vsh: the show opened"
[[ $after == $((before + 1)) ]] || { echo "FAILED: the dropped picture was not added"; exit 1; }
