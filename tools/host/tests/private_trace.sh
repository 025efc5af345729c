#!/bin/sh
# The console's private trace (no --trace=FILE): a folder of its own, made
# afresh (kelvora-host-<pid>-XXXXXX) and open to its owner only; what an
# ended run left is removed at the start, a running console's is not, and a
# console ended by SIGHUP (its terminal gone) leaves none behind.
#   private_trace.sh HOST
host=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export TMPDIR="$dir"
ended=$(sh -c 'echo $$')
for run in "$ended-abc123" "$$-def456"; do
    mkdir "$dir/kelvora-host-$run" && touch "$dir/kelvora-host-$run/dialogue.trace"
done
"$host" central sleep 60s &
pid=$!
tries=0
# This run's file: created by the driver when the station is made.
until mine=$(ls "$dir" | grep "^kelvora-host-$pid-") && [ -e "$dir/$mine/dialogue.trace" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 400 ]; then echo "no private trace within 20 s"; kill $pid; exit 1; fi
    sleep 0.05
done
failed=0
[ -e "$dir/kelvora-host-$ended-abc123" ] && { echo "an ended run's private trace was left"; failed=1; }
[ -e "$dir/kelvora-host-$$-def456/dialogue.trace" ] || { echo "a running console's private trace was removed"; failed=1; }
mode=$(stat -c %a "$dir/$mine")
[ "$mode" = 700 ] || { echo "the private folder $mine has mode $mode"; failed=1; }
[ "$(printf %s "$mine" | wc -c)" -eq "$(printf %s "kelvora-host-$pid-XXXXXX" | wc -c)" ] ||
    { echo "the private folder's name $mine has no part made afresh"; failed=1; }
kill -HUP $pid
wait $pid
code=$?
if [ -e "$dir/$mine" ]; then echo "SIGHUP left the private trace"; failed=1; fi
[ $failed -eq 0 ] && echo "private trace: in a folder of mode 700, stale one removed, running one kept, gone after SIGHUP"
[ $failed -eq 0 ] && exit $code
exit 1
