#!/bin/sh
# Keys at the console, as a new user meets them: keygen writes an owner-only
# key and never overwrites one; a key file others may read is refused before
# the station starts; a keyed write reaches a keyed site; a write command sent
# from the centre's own number without the key (the simulator's spoofer) is
# not applied, and the console says why; modem storage tells signed from
# unsigned. Centre: modem 0; site 5: modem 1. Runs inside the modem simulator
# (two modems, control socket).
#   keys.sh HOST SIMULATOR
host=$1
sim=$2
exec 2>&1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
centre=$KELVORA_MODEM0_NUMBER
site=$KELVORA_MODEM1_NUMBER
"$host" keygen site5.key --centre "$centre" --site "$site" || exit 1
echo "mode $(stat -c %a site5.key)"
"$host" keygen site5.key --centre "$centre" --site "$site"
echo "exit $?"
cp site5.key open.key && chmod 644 open.key
"$host" central --port "$KELVORA_MODEM0_DEVICE" --key-file 5=open.key write M5.120=42
echo "exit $?"
"$host" central --port "$KELVORA_MODEM0_DEVICE" --key-file 5=site5.key write "DETC5=$site" M5.120=42 || exit 1
"$host" remote --device 5 --port "$KELVORA_MODEM1_DEVICE" --key-file site5.key write "DETC=$centre" read M120 || exit 1
"$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
    "{\"cmd\":\"inject\",\"modem\":1,\"sender\":\"$centre\",\"text\":\"BEGINWM0512000000999END\",\"coding\":\"gsm7\"}" \
    >/dev/null || exit 1
"$host" modem storage --port "$KELVORA_MODEM1_DEVICE" --key-file site5.key | grep BEGINWM
"$host" remote --device 5 --port "$KELVORA_MODEM1_DEVICE" --key-file site5.key write "DETC=$centre" read M120 2>&1
