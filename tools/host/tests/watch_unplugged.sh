#!/bin/sh
# A watch goes on while its modem is unplugged and plugged back (run under
# kelvora-modemsim --control): its rows say when the port failed and when it
# was back, and values come again without a restart of the console; it ends
# with exit 5, as some values shown were the station's copy.
#   watch_unplugged.sh HOST SIMULATOR
host=$1 sim=$2
(
    sleep 2
    "$sim" --control "$KELVORA_MODEMSIM_CONTROL" \
        --request '{"cmd":"unplug","modem":0,"away_ms":3000,"boot_ms":0}' >/dev/null
) &
"$host" central --port "$KELVORA_MODEM0_DEVICE" --timeout 1000 -n 24 -i 500 watch M5.120
code=$?
wait
exit $code
