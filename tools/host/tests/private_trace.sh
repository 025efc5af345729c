#!/bin/sh
# The console's private trace (no --trace=FILE): what an ended run left is
# removed at the start, a running console's file is not, and a console ended
# by SIGHUP (its terminal gone) leaves none behind.
#   private_trace.sh HOST
host=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export TMPDIR="$dir"
ended=$(sh -c 'echo $$')
touch "$dir/kelvora-host-$ended.trace" "$dir/kelvora-host-$ended.trace.1" "$dir/kelvora-host-$$.trace"
"$host" central sleep 60s &
pid=$!
tries=0
# This run's file: created by the driver when the station is made.
until mine=$(ls "$dir" | grep '^kelvora-host-.*\.trace$' | grep -v -e "-$ended\." -e "-$$\."); [ -n "$mine" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 400 ]; then echo "no private trace within 20 s"; kill $pid; exit 1; fi
    sleep 0.05
done
failed=0
if [ -e "$dir/kelvora-host-$ended.trace" ] || [ -e "$dir/kelvora-host-$ended.trace.1" ]; then
    echo "an ended run's private trace was left"; failed=1
fi
[ -e "$dir/kelvora-host-$$.trace" ] || { echo "a running console's private trace was removed"; failed=1; }
kill -HUP $pid
wait $pid
code=$?
if [ -e "$dir/$mine" ]; then echo "SIGHUP left the private trace"; failed=1; fi
[ $failed -eq 0 ] && echo "private trace: stale one removed, running one kept, gone after SIGHUP"
[ $failed -eq 0 ] && exit $code
exit 1
