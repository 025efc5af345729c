#!/usr/bin/env bash
# The telemetry loop on simulated modems, in one command:
#   tools/demo/demo.sh <root> <build-dir> [--win32] [--trace]
# Builds what it needs (the modem simulator, the driver and kelvora-host;
# natively in <build-dir>/demo-native, and with --win32 also Kelvora.dll and
# kelvora-host.exe in <build-dir>/demo-win32), then plays the road of one
# write and one report between a central and a site-5 host (demo.py).
set -uo pipefail

ROOT=${1:?usage: demo.sh <root> <build-dir> [--win32]}
BUILD=${2:?usage: demo.sh <root> <build-dir> [--win32]}
shift 2
WIN32=0
TRACE=()
for arg in "$@"; do
  case "$arg" in
    --win32) WIN32=1 ;;
    --trace) TRACE=(--trace) ;;
    *) echo "demo: unknown option $arg (--win32, --trace)" >&2; exit 2 ;;
  esac
done
JOBS=${KELVORA_JOBS:-$(nproc 2>/dev/null || echo 2)}
# Nothing in the demo may wait without a bound: the builds get a generous one.
BUILD_LIMIT=${KELVORA_DEMO_BUILD_SECONDS:-3600}
PLAY_LIMIT=${KELVORA_DEMO_SECONDS:-600}

build() {  # dir, label, targets..., -- cmake args...
  local dir=$1 label=$2; shift 2
  local targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  mkdir -p "$dir"
  printf 'demo: building %s in %s ...\n' "$label" "$dir"
  if ! timeout "$BUILD_LIMIT" cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_TESTS=OFF "$@" \
      >"$dir.configure.log" 2>&1; then
    tail -30 "$dir.configure.log"; echo "demo: configuring $label failed (log: $dir.configure.log)" >&2; return 1
  fi
  if ! timeout "$BUILD_LIMIT" cmake --build "$dir" -j "$JOBS" --target "${targets[@]}" >"$dir.build.log" 2>&1; then
    grep -B2 -A12 -m5 'error' "$dir.build.log" | head -80
    echo "demo: building $label failed (log: $dir.build.log)" >&2; return 1
  fi
}

mkdir -p "$BUILD"
NATIVE=$BUILD/demo-native
build "$NATIVE" "the simulator, the driver and the host" kelvora-modemsim kelvora-host Kelvora || exit 1

ARGS=(--simulator "$NATIVE/tools/modemsim/kelvora-modemsim")
if [ "$WIN32" -eq 1 ]; then
  W32=$BUILD/demo-win32
  build "$W32" "Kelvora.dll and kelvora-host.exe" kelvora-host Kelvora -- \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/i686-w64-mingw32.cmake" || exit 1
  ARGS+=(--win32 --host "$W32/tools/host/kelvora-host.exe" --dll "$W32/src/com/Kelvora.dll"
         --wine-run "$W32/wine-run.sh" --wine-prefix "$W32/wineprefix")
else
  ARGS+=(--host "$NATIVE/tools/host/kelvora-host" --library "$NATIVE/src/com/libkelvora.so")
fi

# demo.py bounds every wait itself; this is the last resort.
timeout -k 10 "$PLAY_LIMIT" python3 "$ROOT/tools/demo/demo.py" "${ARGS[@]}" "${TRACE[@]}"
code=$?
[ $code -eq 124 ] && echo "demo: stopped after ${PLAY_LIMIT}s" >&2
exit $code
