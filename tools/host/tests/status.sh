#!/bin/sh
# kelvora-host central status: each site's last report, the reports applied
# and refused (by sender, as sent before, as copies), the writes held and
# whether the site reads as silent; in text, CSV and JSON. Site 5 is modem 1
# (+8613900000002); its reports are stored in the centre's modem with fixed
# stamps: one applied and a second copy of it, a stranger's, one of site 7
# (no DETC7: any sender), and, at a later poll, one sent 10 s before the one
# applied. A read of a site silent for longer than --stale-after shows the
# station's copy and ends the run with exit 5. Runs inside the modem simulator (two modems, control socket).
#   status.sh HOST SIMULATOR
host=$1
sim=$2
# Reports for M5.120..124: 7s sent 12:34:50, 6s sent 12:34:40; 9s from a stranger; site 7's 1s.
head=0891683108100005F0040D916831
a=${head}09000000F20008321160214305006E0042004500470049004E0052004D0030003500310032003000300030003000300030003000300037003000300030003000300030003000370030003000300030003000300030003700300030003000300030003000300037003000300030003000300030003000370045004E0044
c=${head}09000000F20008321160214304006E0042004500470049004E0052004D0030003500310032003000300030003000300030003000300036003000300030003000300030003000360030003000300030003000300030003600300030003000300030003000300036003000300030003000300030003000360045004E0044
d=${head}07000000F00008321160214355006E0042004500470049004E0052004D0030003500310032003000300030003000300030003000300039003000300030003000300030003000390030003000300030003000300030003900300030003000300030003000300039003000300030003000300030003000390045004E0044
e=${head}09000000F90008321160214305006E0042004500470049004E0052004D0030003700300030003000300030003000300030003000300031003000300030003000300030003000310030003000300030003000300030003100300030003000300030003000300031003000300030003000300030003000310045004E0044
inject() {
    for pdu in "$@"; do
        "$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
            "{\"cmd\":\"inject_pdu\",\"modem\":0,\"pdu\":\"$pdu\"}" >/dev/null || exit 1
    done
}
# The report sent before, once the first poll has emptied the store.
inject_when_taken() {
    tries=0
    until "$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request '{"cmd":"stored","modem":0}' |
          tr -d ' \n' | grep -q '"messages":\[\]'; do
        tries=$((tries + 1))
        [ $tries -lt 150 ] || return 1
        sleep 0.2
    done
    inject "$@"
}
inject "$a" "$a" "$d" "$e"
inject_when_taken "$c" &
"$host" central --port "$KELVORA_MODEM0_DEVICE" --hold-writes \
    write "DETC5=$KELVORA_MODEM1_NUMBER" read M5.120 write M5.121=3 sleep 3s read M5.120 status 2>&1
echo "exit $?"
wait
inject "$a" "$d" "$e"
"$host" central --port "$KELVORA_MODEM0_DEVICE" --stale-after 1 --format csv \
    write "DETC5=$KELVORA_MODEM1_NUMBER" read M5.120 sleep 2s read M5.120 status 2>&1
echo "exit $?"
inject "$a" "$e"
"$host" central --port "$KELVORA_MODEM0_DEVICE" --hold-writes --format json \
    write "DETC5=$KELVORA_MODEM1_NUMBER" read M5.120 write M5.121=3 status 2>/dev/null
echo "exit $?"
