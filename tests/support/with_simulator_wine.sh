#!/bin/sh
# Runs a command (as a rule wine-run.sh and a Win32 test) inside the native
# modem simulator, whose two modems it links into the Wine prefix $WINEPREFIX
# as COM<base> and COM<base+1>. The command sees the simulator's
# KELVORA_MODEM<i>_COM and KELVORA_MODEM<i>_NUMBER, and the simulator's TCP
# control port in KELVORA_MODEMSIM_CONTROL_PORT. The simulator is a native
# program: it comes from a native build of the same tree.
#   with_simulator_wine.sh SIMULATOR COM_BASE COMMAND [ARG...]
set -u
me=with_simulator_wine.sh
if [ $# -lt 3 ]; then
    echo "usage: $me SIMULATOR COM_BASE COMMAND [ARG...]" >&2
    exit 2
fi
sim=$1 base=$2
shift 2
if [ ! -x "$sim" ]; then
    echo "$me: no modem simulator at '$sim'; build the native tree first" >&2
    echo "(or configure this build with -DKELVORA_NATIVE_SIMULATOR=<native kelvora-modemsim>)" >&2
    exit 1
fi
: "${WINEPREFIX:?$me needs WINEPREFIX}"
mkdir -p "$WINEPREFIX/dosdevices"
exec "$sim" --modems 2 --control-tcp --wine-prefix "$WINEPREFIX" --com-base "$base" -- "$@"
