#!/usr/bin/env bash
# Runs the demo from content/ with the given arguments: run_demo.sh BUILD_DIR [ARGS...].
# A machine with no sound output at all (no sound card, no sound server) would stop the demo at
# "can't init musicsys"; there SDL's dummy audio driver stands in, the demo plays silently and one
# line says so. An SDL_AUDIODRIVER set by the user is always kept.
set -euo pipefail
build=$1
shift

has_sound_output() {
  local runtime=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}
  [[ -n ${PULSE_SERVER:-} || -S $runtime/pulse/native || -S $runtime/pipewire-0 ]] && return 0
  compgen -G '/dev/snd/pcmC*D*p' > /dev/null
}

if [[ -z ${SDL_AUDIODRIVER:-} ]] && ! has_sound_output; then
  echo "no sound card or sound server found: playing without sound (SDL_AUDIODRIVER=dummy)" >&2
  export SDL_AUDIODRIVER=dummy
fi
cd "$(dirname "$0")/../content"
exec "../$build/demo" "$@"
