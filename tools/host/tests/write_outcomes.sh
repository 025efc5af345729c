#!/bin/sh
# What a write that sends a message tells: sent, or NOT sent and why (the
# destination missing, the network refusing, the modem not answering).
# Runs inside the modem simulator (two modems, control socket).
#   write_outcomes.sh HOST SIMULATOR
host=$1
sim=$2
fault() {
    "$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
        "{\"cmd\":\"fault\",\"modem\":$2,\"kind\":\"$1\",\"command\":\"PDU\",\"times\":1}" >/dev/null
}
fault cms_error 0 || exit 1
"$host" central --port "$KELVORA_MODEM0_DEVICE" --keep-going --timeout 1000 \
    write M5.120=1 "DETC5=$KELVORA_MODEM1_NUMBER" M5.121=2 M5.122=3 2>&1
echo "exit $?"
fault silence 1 || exit 1
"$host" remote --device 5 --port "$KELVORA_MODEM1_DEVICE" --timeout 1000 \
    write "DETC=$KELVORA_MODEM0_NUMBER" SEND_MSG=hello 2>&1
echo "exit $?"
