#!/usr/bin/env bash
# The telemetry loop on simulated modems, in one command:
#   tools/demo/demo.sh <root> <build-dir> [--win32] [--trace]
# Builds what it needs (the modem simulator, the driver and kelvora-host;
# natively in <build-dir>/demo-native, and with --win32 also Kelvora.dll and
# kelvora-host.exe in <build-dir>/demo-win32), then plays the road of one
# write and one report between a central and a site-5 host (python3 -m demo,
# tools/demo on the harness of tools/harness).
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
PLAY_LIMIT=${KELVORA_DEMO_SECONDS:-600}
# shellcheck source=tools/demo/build.sh
. "$ROOT/tools/demo/build.sh"

build_players "$BUILD" "$WIN32" || exit 1
ARGS=("${PLAYER_ARGS[@]}")

# The demo bounds every wait itself; this is the last resort.
timeout -k 10 "$PLAY_LIMIT" python3 -m demo "${ARGS[@]}" "${TRACE[@]}"
code=$?
[ $code -eq 124 ] && echo "demo: stopped after ${PLAY_LIMIT}s" >&2
exit $code
