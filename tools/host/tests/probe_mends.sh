#!/bin/sh
# What probe flags with its mend: a modem in quiet mode (ATQ1), which
# probe --fix brings back, and a listing that never ends by the time-out.
# Runs inside the modem simulator (one modem, control socket).
#   probe_mends.sh HOST SIMULATOR
host=$1
sim=$2
port=$KELVORA_MODEM0_DEVICE
"$host" modem at ATQ1 --port "$port" --answer-timeout 300 >/dev/null 2>&1
"$host" probe --port "$port" --answer-timeout 300
echo "quiet: exit $?"
"$host" probe --fix --port "$port" --answer-timeout 300
echo "fixed: exit $?"
"$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
    '{"cmd":"inject","modem":0,"text":"hello","sender":"+8613700000000","coding":"gsm7"}' >/dev/null &&
"$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
    '{"cmd":"fault","modem":0,"kind":"cut_off","command":"AT+CMGL","keep_bytes":40,"times":-1}' >/dev/null || exit 1
"$host" probe --port "$port" --timeout 1000
echo "endless listing: exit $?"
