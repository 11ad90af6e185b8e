#!/usr/bin/env bash
# The sound track as users hear it: through a private PulseAudio daemon with
# a null sink, whose monitor is recorded while the Qt output plays.
#   sound_server_test.sh PLAY_SOUND_TRACK WORK_FOLDER
# The track's samples count up, so the recording shows that they arrive in
# order, without a gap (so on the sink's clock, sample for sample), from the
# right offset (frame 0 and frame 30), starting promptly and lasting until the
# stop. Without a server the player runs silent with its one message.
set -euo pipefail
play=$1
work=$2
if ! command -v pulseaudio >/dev/null || ! command -v parec >/dev/null; then
  echo "SKIPPED: the sound server test needs pulseaudio and parec (scripts/setup installs them)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime PULSE_RUNTIME_PATH=$work/runtime
export PULSE_SERVER=unix:$work/runtime/server QT_QPA_PLATFORM=offscreen
unset PULSE_SINK

# 48000 Hz, 16-bit stereo: sample i holds i + 1 as left + 32768 x right, so
# that silence (0) is never part of the track. 5 seconds.
python3 - "$work/count.wav" <<'PY'
import struct, sys
rate, n = 48000, 5 * 48000
data = bytearray()
for i in range(n):
    v = i + 1
    data += struct.pack("<hh", v & 0x7FFF, v >> 15)
header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 1, 2,
                     rate, rate * 4, 4, 16, b"data", len(data))
open(sys.argv[1], "wb").write(header + data)
PY

pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  --load="module-native-protocol-unix socket=$work/runtime/server auth-anonymous=1" \
  --load="module-null-sink sink_name=vantoril_test rate=48000 channels=2 format=s16le" \
  >"$work/pulseaudio.log" 2>&1 &
server=$!
cleanup() { kill "$server" ${filler:-} ${recorder:-} 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 1 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "FAILED: the private sound server did not start"; cat "$work/pulseaudio.log"; exit 1; }
pactl set-default-sink vantoril_test
# Silence played all along keeps the sink running, so that the recording
# runs on the wall clock from its start (zeros mix in without a trace).
pacat -p --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 </dev/zero 2>/dev/null &
filler=$!
sleep 1

check() {  # recording, first sample expected
  python3 - "$1" "$2" <<'PY'
import struct, sys
raw = open(sys.argv[1], "rb").read()
expected_first = int(sys.argv[2])
values = [l + 32768 * r for l, r in struct.iter_unpack("<hh", raw[: len(raw) // 4 * 4])]
start = next((i for i, v in enumerate(values) if v), None)
if start is None:
    sys.exit("no sound arrived")
end = start
while end < len(values) and values[end]:
    end += 1
run = values[start:end]
if any(run[i + 1] != run[i] + 1 for i in range(len(run) - 1)):
    bad = next(i for i in range(len(run) - 1) if run[i + 1] != run[i] + 1)
    sys.exit(f"samples out of order or missing after sample {run[bad] - 1}")
if any(values[end:]):
    sys.exit("sound arrived after a gap")
first = run[0] - 1
seconds = len(run) / 48000
print(f"first sample {first}, {seconds:.3f} s of sound")
# The sink's monitor may miss the first milliseconds of a stream.
if not expected_first <= first < expected_first + 2400:
    sys.exit(f"the sound started at sample {first}, not {expected_first}")
# Every recorded sample is the next one of the track (checked above), so
# the track runs exactly on the sink's clock; what remains is that the sound
# starts promptly and lasts until the stop (the server may still play what it
# holds for a moment). A start delayed by a busy machine costs a few
# hundredths of a second more than the monitor's own miss.
if not 2.4 <= seconds <= 3.3:
    sys.exit(f"{seconds:.3f} s of sound in 3 s of playing")
PY
}

for case in "0 0" "30 48000"; do
  set -- $case
  parec -d vantoril_test.monitor --raw --format=s16le --rate=48000 --channels=2 \
    --latency-msec=10 --process-time-msec=5 >"$work/frame$1.raw" 2>"$work/parec.log" &
  recorder=$!
  sleep 0.5
  "$play" "$work/count.wav" "$1" 2997 3 2>"$work/play$1.log"
  sleep 0.5
  kill -INT "$recorder"
  wait "$recorder" 2>/dev/null || true
  recorder=
  if [[ -s $work/play$1.log ]]; then echo "FAILED: the player said:"; cat "$work/play$1.log"; exit 1; fi
  echo -n "from frame $1: "
  check "$work/frame$1.raw" "$2" || { echo "FAILED: from frame $1"; exit 1; }
done

# No server: silent, with one message.
kill "$filler" "$server"
wait "$server" 2>/dev/null || true
PULSE_SERVER=unix:$work/runtime/none "$play" "$work/count.wav" 0 2997 1 2>"$work/silent.log"
if [[ $(grep -c '^message: ' "$work/silent.log") != 1 ]]; then
  echo "FAILED: without a sound server the player should say so once:"
  cat "$work/silent.log"
  exit 1
fi
echo "without a server: $(cat "$work/silent.log")"
