#!/bin/sh
# Ctrl-C during the first of five central writes: that message goes out, the
# other four do not, and the program says so and exits 130. Runs inside the
# modem simulator (two modems, control socket).
#   interrupt_batch.sh HOST SIMULATOR
host=$1
sim=$2
out=${TMPDIR:-/tmp}/kelvora-interrupt.$$
"$host" central --port "$KELVORA_MODEM0_DEVICE" write "DETC5=$KELVORA_MODEM1_NUMBER" \
    M5.120=1 M5.121=2 M5.122=3 M5.123=4 M5.124=5 >"$out" 2>&1 &
pid=$!
# Each central write pauses 1 s before its message: once DETC5 is written,
# the Ctrl-C lands inside the first of them.
tries=0
until grep -q 'DETC5 <-' "$out"; do
    tries=$((tries + 1))
    if [ $tries -gt 400 ]; then echo "no DETC5 line within 20 s"; kill $pid; exit 1; fi
    sleep 0.05
done
kill -INT $pid
wait $pid
code=$?
cat "$out"
rm -f "$out"
"$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request '{"cmd":"stats"}'
exit $code
