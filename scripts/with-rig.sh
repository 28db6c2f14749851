#!/usr/bin/env bash
# Runs a command inside the test rig: a virtual X display, a private PulseAudio
# daemon whose null sink's monitor is the default source, and a warm wineserver.
# Usage: scripts/with-rig.sh [--no-sound] COMMAND...
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sound=1
[ "${1:-}" = "--no-sound" ] && { sound=0; shift; }

source "$root/scripts/windows-target.sh"
rig="$(dirname "$WINEPREFIX")/rig-$(basename "$WINEPREFIX")"
mkdir -p "$rig"
pids=()
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" >/dev/null 2>&1 || true; done
  wait >/dev/null 2>&1 || true
}
trap cleanup EXIT INT TERM

"$root/scripts/wine-prefix.sh"

# X display: a fresh Xvfb on the first free number.
if [ -z "${AURECHO_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$rig/xvfb.log" 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
fi

# Sound: a private PulseAudio with one null sink; its monitor is the default source.
export XDG_RUNTIME_DIR="$rig/run"
rm -rf "$XDG_RUNTIME_DIR"; mkdir -p "$XDG_RUNTIME_DIR/pulse"; chmod 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
export AURECHO_SINK=aurecho_sink
if [ $sound -eq 1 ]; then
  HOME="$rig" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --system=no --disallow-exit \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pulse/native" \
    -L "module-null-sink sink_name=$AURECHO_SINK rate=44100 channels=2" \
    >"$rig/pulse.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink "$AURECHO_SINK"
  pactl set-default-source "$AURECHO_SINK.monitor"
  # The monitor delivers nothing for a while after the first recorder connects, and the
  # null sink renders in blocks of up to 2 s unless a client asks for a short latency:
  # keep one low-latency recorder connected for the whole run.
  parec --device="$AURECHO_SINK.monitor" --latency-msec=20 >/dev/null 2>&1 &
  pids+=($!)
else
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/none"
fi

wineserver -p >/dev/null 2>&1 || true
# Start Wine's background services now, with nothing of ours open: started by a test, they
# would inherit its output pipe and keep CTest waiting for them.
"$root/scripts/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1 || true
"$@"
