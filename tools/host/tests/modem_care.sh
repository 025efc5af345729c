#!/bin/sh
# The modem looked after from the console: a write command and a stranger's
# text stored, listed decoded, cleared, and the storage asked for with one AT
# command. Runs inside the modem simulator (control socket).
#   modem_care.sh HOST SIMULATOR
host=$1
sim=$2
port=$KELVORA_MODEM0_DEVICE
inject() {
    "$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
        "{\"cmd\":\"inject\",\"modem\":0,\"text\":\"$1\",\"sender\":\"$2\",\"coding\":\"ucs2\"}" >/dev/null
}
inject BEGINWM051200000002AEND "$KELVORA_MODEM1_NUMBER" || exit 1
inject "hello there" +8613700000000 || exit 1
"$host" modem storage --port "$port" || exit 1
"$host" modem clear --port "$port" </dev/null
echo "clear without --yes: $?"
"$host" modem clear --port "$port" --yes || exit 1
"$host" modem at "AT+CPMS?" --port "$port"
