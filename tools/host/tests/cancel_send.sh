#!/bin/sh
# A send cut off by a second Ctrl-C while the prompt is late: the console
# cancels it with ESC, and the next probe finds the modem ready. Runs inside
# the modem simulator (two modems, control socket).
#   cancel_send.sh HOST SIMULATOR
host=$1
sim=$2
out=${TMPDIR:-/tmp}/kelvora-cancel.$$
"$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
    '{"cmd":"fault","modem":0,"kind":"delay","command":"AT+CMGS","delay_ms":2000,"times":1}' >/dev/null || exit 1
"$host" central --port "$KELVORA_MODEM0_DEVICE" --timeout 5000 write "DETC5=$KELVORA_MODEM1_NUMBER" M5.120=1 \
    >"$out" 2>&1 &
pid=$!
tries=0
until grep -q 'DETC5 <-' "$out"; do
    tries=$((tries + 1))
    if [ $tries -gt 400 ]; then echo "no DETC5 line within 20 s"; kill $pid; exit 1; fi
    sleep 0.05
done
# The write pauses 1 s before AT+CMGS; its prompt comes 2 s after that.
sleep 1.6
kill -INT $pid
sleep 0.2
kill -INT $pid
wait $pid
echo "host exit $?"
cat "$out"
rm -f "$out"
sleep 2
"$host" probe --port "$KELVORA_MODEM0_DEVICE"
