#!/bin/sh
# What a write that sends a message tells: sent, or why not in the driver's
# words (the destination missing, the network refusing with its error
# number, the modem not answering, the port failing); a "0086" number sends;
# a text keeps its colons; a bit write before the register's value is known
# sends nothing; without the trace followed, a message not confirmed is
# never called not sent; a site's read whose report did not go says so. Runs inside the modem simulator (two modems,
# control socket).
#   write_outcomes.sh HOST SIMULATOR
host=$1
sim=$2
fault() {
    "$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
        "{\"cmd\":\"fault\",\"modem\":$2,\"kind\":\"$1\",\"command\":\"$3\",\"times\":1}" >/dev/null
}
fault cms_error 0 PDU || exit 1
"$host" central --port "$KELVORA_MODEM0_DEVICE" --keep-going --timeout 1000 \
    write M5.120=1 "DETC5=00${KELVORA_MODEM1_NUMBER#+}" M5.121=2 M5.122=3 "SEND_MSG5=ratio 1:256" \
    M5.124.3:bit=1 2>&1
echo "exit $?"
fault silence 1 PDU || exit 1
"$host" remote --device 5 --port "$KELVORA_MODEM1_DEVICE" --timeout 1000 \
    write "DETC=$KELVORA_MODEM0_NUMBER" SEND_MSG=hello 2>&1
echo "exit $?"
fault close_line 0 AT+CMGS || exit 1
"$host" central --port "$KELVORA_MODEM0_DEVICE" --timeout 1000 \
    write "DETC5=$KELVORA_MODEM1_NUMBER" M5.123=4 2>&1
echo "exit $?"
# With --trace=debug the trace is not followed: a send that timed out is not
# called "NOT sent", and a read does not claim its poll was answered.
fault silence 1 PDU || exit 1
"$host" central --port "$KELVORA_MODEM1_DEVICE" --timeout 1000 --trace=debug --keep-going --format csv \
    write "DETC5=$KELVORA_MODEM0_NUMBER" M5.120=5 read M5.121 2>&1
echo "exit $?"
# COMFLAG on without DETC: the read's report does not go, and the read says so.
"$host" remote --device 5 --port "$KELVORA_MODEM1_DEVICE" write COMFLAG=1 read M120 2>&1
echo "exit $?"
