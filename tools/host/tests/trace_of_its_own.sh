#!/bin/sh
# The console takes its reasons only from its own station's lines: a trace
# file shared with another process (whose lines name the same station) does
# not lend it that process's silent poll, and a rollover of the file between
# a refused send and its status loses nothing. Runs inside the modem
# simulator (one modem, control socket).
#   trace_of_its_own.sh HOST SIMULATOR
host=$1
sim=$2
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
port=$KELVORA_MODEM0_DEVICE
fault() {
    "$sim" --control "$KELVORA_MODEMSIM_CONTROL" --request \
        "{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"$1\",\"command\":\"$2\",\"times\":$3}" >/dev/null
}

# Another process writes to the same file during the read's pause before its poll.
(sleep 0.5 && echo "2026-01-01 00:00:00.000 central 0 COM1 [1]  poll done: listed 0, applied 0, refused by the sender check 0, not a frame 0, not for this station 0, sent before one applied 0, seen before 0, deleted 0, left for a later poll 0 (the modem fell silent)" >>"$dir/shared.trace") &
"$host" central --port "$port" --trace="$dir/shared.trace" read M5.120 2>&1
echo "shared trace: exit $?"
wait

# Where the file's size bound falls in this write's lines, from a first run.
fault cms_error PDU -1 || exit 1
write() { "$host" central --port "$port" --trace="$1" write DETC5=+8613900000002 M5.120=1 2>&1; }
write "$dir/measure.trace" >/dev/null
ends() { grep -b -m1 "$1" "$dir/measure.trace" | { IFS=: read -r at line; echo $((at + ${#line} + 1)); }; }
sent=$(ends '  send "BEGINWM')
status=$(ends '  write M5.120 ')
bound=$((10 * 1024 * 1024))
fill=$((bound - (sent + status) / 2))
{ head -c $((fill - 1)) /dev/zero | tr '\0' x; echo; } >"$dir/rolled.trace"
chmod 600 "$dir/rolled.trace"
write "$dir/rolled.trace"
echo "rollover: exit $?"
tail -n 1 "$dir/rolled.trace.1" | grep -q '  send "BEGINWM' && head -n 1 "$dir/rolled.trace" | grep -q '  write M5.120 ' &&
    echo "rollover: between the send and its status"
