#!/bin/sh
# The road of one write and one report under Wine: starts the native modem
# simulator with two modems linked into the Wine prefix as COM1 (central) and
# COM2 (site 5), and runs the Win32 road test against them.
#   road_wine.sh NATIVE_BUILD_DIR WINE_RUN EXE
set -u
native=$1 winerun=$2 exe=$3
sim=$native/tools/modemsim/kelvora-modemsim
if [ ! -x "$sim" ]; then
    echo "road_wine.sh: no modem simulator at $sim; build the native tree first" >&2
    echo "(or configure this build with -DKELVORA_NATIVE_BUILD_DIR=<native build>)" >&2
    exit 1
fi
: "${WINEPREFIX:?road_wine.sh needs WINEPREFIX}"
mkdir -p "$WINEPREFIX/dosdevices"
exec "$sim" --modems 2 --wine-prefix "$WINEPREFIX" --com-base 1 -- /bin/sh -c \
    'KELVORA_ROAD_CENTRAL=$KELVORA_MODEM0_NUMBER KELVORA_ROAD_SITE=$KELVORA_MODEM1_NUMBER exec "$0" "$1"' \
    "$winerun" "$exe"
