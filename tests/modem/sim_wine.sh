#!/bin/sh
# Runs a Win32 modem test under Wine with the native modem simulator's two
# modems linked into the Wine prefix as COM21 and COM22.
#   sim_wine.sh NATIVE_BUILD_DIR WINE_RUN EXE
set -u
native=$1 winerun=$2 exe=$3
sim=$native/tools/modemsim/kelvora-modemsim
if [ ! -x "$sim" ]; then
    echo "sim_wine.sh: no modem simulator at $sim; build the native tree first" >&2
    echo "(or configure this build with -DKELVORA_NATIVE_BUILD_DIR=<native build>)" >&2
    exit 1
fi
: "${WINEPREFIX:?sim_wine.sh needs WINEPREFIX}"
mkdir -p "$WINEPREFIX/dosdevices"
exec "$sim" --modems 2 --wine-prefix "$WINEPREFIX" --com-base 21 -- "$winerun" "$exe"
