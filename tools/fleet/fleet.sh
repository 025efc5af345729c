#!/usr/bin/env bash
# A fleet on the simulator, in one command:
#   tools/fleet/fleet.sh <root> <build-dir> [fleet options...] [--win32]
#   tools/fleet/fleet.sh <root> <build-dir> --soak [soak options...] [--win32]
#                       (the fleet under faults, python3 -m soak)
#   tools/fleet/fleet.sh <root> <build-dir> --mutants [mutants options...]
#                       (the soak against the driver with one rule removed at
#                       a time, python3 -m soak.mutants)
# Builds what it needs as the demo does (the same build folders), then runs
# python3 -m fleet (tools/ on PYTHONPATH): a centre and its sites until the time is up, then the table and
# the verdict. Every wait is bounded; the whole run stops after the minutes
# asked for plus an hour at most.
set -uo pipefail

ROOT=${1:?usage: fleet.sh <root> <build-dir> [options]}
BUILD=${2:?usage: fleet.sh <root> <build-dir> [options]}
shift 2
WIN32=0
MINUTES=3
PROGRAM=fleet
ARGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --win32) WIN32=1 ;;
    --soak) PROGRAM=soak; MINUTES=10 ;;
    --mutants) PROGRAM=soak.mutants; MINUTES=120; ARGS+=(--workdir "$BUILD/mutants") ;;
    --minutes) MINUTES=${2:-3}; ARGS+=("$1" "${2:-}"); shift ;;
    *) ARGS+=("$1") ;;
  esac
  shift
done
BUILD_WHO=${PROGRAM##*.}
# shellcheck source=tools/demo/build.sh
. "$ROOT/tools/demo/build.sh"
build_players "$BUILD" "$WIN32" || exit 1

LIMIT=$(python3 -c "import sys; print(int(float(sys.argv[1]) * 60) + 3600)" "$MINUTES" 2>/dev/null) \
  || { echo "fleet: --minutes takes a number" >&2; exit 2; }
timeout -k 10 "$LIMIT" python3 -m "$PROGRAM" "${PLAYER_ARGS[@]}" "${ARGS[@]}"
code=$?
[ $code -eq 124 ] && echo "fleet: stopped after ${LIMIT}s" >&2
exit $code
