# Building what the demo and the fleet play with, sourced by their scripts
# (which set ROOT). Every build is bounded in time; its settings are a preset
# of CMakePresets.json (demo-native, demo-win32: no tests).
#   build <dir> <label> <configure preset> <targets...>
JOBS=${KELVORA_JOBS:-$(nproc 2>/dev/null || echo 2)}
BUILD_LIMIT=${KELVORA_DEMO_BUILD_SECONDS:-3600}
BUILD_WHO=${BUILD_WHO:-demo}

build() {  # dir, label, configure preset, targets...
  local dir=$1 label=$2 preset=$3; shift 3
  local targets=("$@")
  mkdir -p "$dir"
  printf '%s: building %s in %s ...\n' "$BUILD_WHO" "$label" "$dir"
  if ! timeout "$BUILD_LIMIT" cmake -S "$ROOT" --preset "$preset" -B "$dir" \
      >"$dir.configure.log" 2>&1; then
    tail -30 "$dir.configure.log"; echo "$BUILD_WHO: configuring $label failed (log: $dir.configure.log)" >&2; return 1
  fi
  if ! timeout "$BUILD_LIMIT" cmake --build "$dir" -j "$JOBS" --target "${targets[@]}" >"$dir.build.log" 2>&1; then
    grep -B2 -A12 -m5 'error' "$dir.build.log" | head -80
    echo "$BUILD_WHO: building $label failed (log: $dir.build.log)" >&2; return 1
  fi
}

# The simulator, the driver and kelvora-host, natively in <build>/demo-native
# and with win32=1 also Kelvora.dll and kelvora-host.exe in <build>/demo-win32;
# PLAYER_ARGS then holds the options that name them to the demo, the fleet and
# the soak, and PYTHONPATH finds the harness and the facts the build made.
build_players() {  # build, win32 (0 or 1)
  local build=$1 win32=$2
  mkdir -p "$build"
  local native=$build/demo-native
  build "$native" "the simulator, the driver and the host" demo-native kelvora-modemsim kelvora-host Kelvora || return 1
  PLAYER_ARGS=(--simulator "$native/tools/modemsim/kelvora-modemsim")
  export PYTHONPATH="$ROOT/tools:$native/python${PYTHONPATH:+:$PYTHONPATH}"
  if [ "$win32" -eq 1 ]; then
    local w32=$build/demo-win32
    build "$w32" "Kelvora.dll and kelvora-host.exe" demo-win32 kelvora-host Kelvora || return 1
    PLAYER_ARGS+=(--win32 --host "$w32/tools/host/kelvora-host.exe" --dll "$w32/src/com/Kelvora.dll"
                  --wine-run "$w32/wine-run.sh" --wine-prefix "$w32/wineprefix")
  else
    PLAYER_ARGS+=(--host "$native/tools/host/kelvora-host" --library "$native/src/com/libkelvora.so")
  fi
}
