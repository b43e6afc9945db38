#!/bin/bash
# The roll sound, really heard: starts a sound server of its own with a null
# sink, plays the sound through the toolkit's sound service (play_sound),
# records what the sink puts out and finds the sound in the recording, whole:
# the same waveform, and as long as in the file (within 10%).
# usage: sound_test.sh PLAY_SOUND_PROGRAM SOUND_FILE
# Fails, never skips, when no sound server can be started.
set -u

player=$1
sound=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/quintara-sound.XXXXXX")
server_pid=""
silence_pid=""
recorder_pid=""
readonly sink=quintara_test
readonly wait_seconds=20
passed=no

cleanup() {
    local pid
    for pid in "$recorder_pid" "$silence_pid" "$server_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null
    done
    # The recording stays for a look when the test failed.
    [ "$passed" = yes ] && rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    [ -s "$work/server.log" ] && { echo "sound server output:"; cat "$work/server.log"; }
    echo "kept: $work"
    exit 1
}

wait_until() { # description, command...
    local what=$1 deadline=$((SECONDS + wait_seconds))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "waited ${wait_seconds} s until $what"
        sleep 0.1
    done
}

# Runs a command with the sound server's environment: everything of the
# server and its clients stays in the work directory, and the server takes
# clients on its own socket only. (Through env, so that a command started in
# the background is itself the process $! names.)
mkdir -m 700 "$work/runtime" "$work/home"
sound_env=(env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
    PULSE_SERVER="unix:$work/pulse.socket")

start_server() {
    command -v pulseaudio >/dev/null || fail "pulseaudio is not installed (scripts/install-deps test)"
    # As root the server warns that it is meant for users, and runs all the same.
    "${sound_env[@]}" pulseaudio --daemonize=no --exit-idle-time=-1 -n --disable-shm=yes \
        --load="module-null-sink sink_name=$sink" \
        --load="module-native-protocol-unix socket=$work/pulse.socket auth-anonymous=1" \
        >"$work/server.log" 2>&1 &
    server_pid=$!
    local deadline=$((SECONDS + wait_seconds))
    until "${sound_env[@]}" pactl info >/dev/null 2>&1; do
        kill -0 "$server_pid" 2>/dev/null || fail "the sound server did not start"
        ((SECONDS < deadline)) || fail "the sound server did not answer within ${wait_seconds} s"
        sleep 0.1
    done
    "${sound_env[@]}" pactl list short sinks | grep -q "^[0-9]*[[:space:]]${sink}[[:space:]]" ||
        fail "the sound server has no sink $sink"
}

start_recording() {
    # A silent stream keeps the sink running, so that its monitor records
    # without gaps from now on rather than from the moment the sound begins.
    "${sound_env[@]}" pacat --raw --latency-msec=20 /dev/zero &
    silence_pid=$!
    "${sound_env[@]}" parecord --latency-msec=20 --device="$sink.monitor" --file-format=wav "$work/heard.wav" &
    recorder_pid=$!
    wait_until "the recording runs" recording
}
# Data arrives: more than a WAV header (44 bytes) plus a tenth of a second.
recording() { [ "$(stat -c %s "$work/heard.wav" 2>/dev/null || echo 0)" -gt 20000 ]; }

stop_recording() {
    kill -INT "$recorder_pid"
    wait "$recorder_pid"
    recorder_pid=""
    kill "$silence_pid"
    silence_pid=""
}

# Finds the file's sound in the recording: aligned at the loudest sample,
# every audible 10 ms piece of the file must be heard (the same waveform)
# but for at most 10% of them, and the audible spans (from the first to the
# last sample above 5% of the peak) must be as long within 10%. (When a new
# stream starts on a running sink, the monitor can miss a few milliseconds.)
find_sound() { # file, recording
    python3 - "$1" "$2" <<'EOF'
import array
import sys
import wave

PIECE = 0.01  # seconds


def first_channel(path):
    with wave.open(path) as audio:
        if audio.getsampwidth() != 2:
            sys.exit(f"FAILED: {path} is not 16-bit")
        samples = array.array("h", audio.readframes(audio.getnframes()))
        return list(samples[::audio.getnchannels()]), audio.getframerate()


def audible_span(samples):
    peak = max(abs(v) for v in samples)
    loud = [i for i, v in enumerate(samples) if abs(v) >= 0.05 * peak]
    return (loud[0], loud[-1] + 1) if peak else (0, 0)


def loudest(samples):
    return max(range(len(samples)), key=lambda i: abs(samples[i]))


def likeness(played, heard, start, end, lag):
    pairs = [(played[i], heard[i + lag]) for i in range(start, end) if 0 <= i + lag < len(heard)]
    dot = sum(a * b for a, b in pairs)
    norm = (sum(a * a for a, _ in pairs) * sum(b * b for _, b in pairs)) ** 0.5
    return dot / norm if norm else 0.0


def energy(samples, start, end):
    return sum(v * v for v in samples[start:end])


played, rate = first_channel(sys.argv[1])
heard, heard_rate = first_channel(sys.argv[2])
if rate != heard_rate:
    sys.exit(f"FAILED: the file has {rate} Hz, the sink {heard_rate} Hz")
start, end = audible_span(played)
heard_start, heard_end = audible_span(heard)
if heard_end == 0:
    sys.exit(f"FAILED: the recording of {len(heard) / rate:.2f} s is silent")

piece = int(PIECE * rate)
peak = loudest(played)
near = loudest(heard) - peak
lag = max(range(near - 40, near + 41),
          key=lambda lag: likeness(played, heard, peak - piece, peak + piece, lag))
pieces = range(start, end, piece)
loudest_piece = max(energy(played, p, p + piece) for p in pieces)
audible = [p for p in pieces if energy(played, p, p + piece) > 0.001 * loudest_piece]
found = [p for p in audible if likeness(played, heard, p, p + piece, lag) > 0.99]
length, heard_length = (end - start) / rate, (heard_end - heard_start) / rate
print(f"sound in the file: {length:.3f} s; heard: {heard_length:.3f} s from "
      f"{heard_start / rate:.3f} s of a {len(heard) / rate:.2f} s recording; "
      f"{len(found)} of {len(audible)} audible 10 ms pieces heard")
if len(found) < 0.9 * len(audible):
    sys.exit("FAILED: the recording does not hold the sound's waveform")
if abs(heard_length - length) > 0.1 * length:
    sys.exit("FAILED: the sound heard is not as long as the sound in the file")
EOF
}

start_server
start_recording
"${sound_env[@]}" timeout 30 "$player" "$sound" 1500 || fail "$player $sound ended with exit code $?"
sleep 0.3
stop_recording
find_sound "$sound" "$work/heard.wav" || fail "the sound was not heard whole"
passed=yes
echo "ok: the sound played through the toolkit was heard whole"
