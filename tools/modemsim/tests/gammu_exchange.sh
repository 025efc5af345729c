#!/usr/bin/env bash
# Gammu, a client nobody here wrote, against two simulated modems: it sends an
# SMS through modem 0 to modem 1's number, then lists, reads and deletes it on
# modem 1. Run inside kelvora-modemsim (it names the ptys in the environment):
#   kelvora-modemsim --modems 2 --control SOCK -- gammu_exchange.sh GAMMU MODEMSIM WORKDIR
set -euo pipefail
gammu=${1:?gammu}
modemsim=${2:?kelvora-modemsim}
work=${3:?work folder}
mkdir -p "$work"
: "${KELVORA_MODEM0_DEVICE:?run me under kelvora-modemsim}" "${KELVORA_MODEM1_DEVICE:?}" "${KELVORA_MODEMSIM_CONTROL:?}"

fail() { echo "FAIL: $*" >&2; exit 1; }
for i in 0 1; do
  dev=KELVORA_MODEM${i}_DEVICE
  printf '[gammu]\ndevice = %s\nconnection = at19200\nlogfile = %s\nlogformat = textall\n' \
    "${!dev}" "$work/gammu$i.log" > "$work/gammurc$i"
done
g() { local rc=$1; shift; timeout 60 "$gammu" -c "$work/gammurc$rc" "$@"; }
control() { "$modemsim" --control "$KELVORA_MODEMSIM_CONTROL" --request "$1"; }

text='Telemetry 42 from gammu'
g 0 sendsms TEXT "$KELVORA_MODEM1_NUMBER" -text "$text" > "$work/send.out" 2>&1 || { cat "$work/send.out"; fail "sendsms"; }
grep -q 'OK, message reference' "$work/send.out" || fail "no message reference: $(cat "$work/send.out")"

control '{"cmd":"submitted","modem":0}' > "$work/submitted.json"
python3 - "$work/submitted.json" "$text" "$KELVORA_MODEM1_NUMBER" <<'PY' || fail "submitted PDU"
import json, sys
s = json.load(open(sys.argv[1]))["submitted"]
assert len(s) == 1, s
d = s[0]["decoded"]
assert s[0]["accepted"] and s[0]["outcome"] == "delivered" and s[0]["to"] == 1, s[0]
assert d["type"] == "submit" and d["text"] == sys.argv[2], d
assert "+" + d["address"] == sys.argv[3] or d["address"] == sys.argv[3], d
PY

g 1 getallsms > "$work/list.out" 2>&1 || { cat "$work/list.out"; fail "getallsms"; }
grep -qF "$text" "$work/list.out" || fail "listing lacks the text: $(cat "$work/list.out")"
grep -qF "$KELVORA_MODEM0_NUMBER" "$work/list.out" || fail "listing lacks the sender: $(cat "$work/list.out")"

g 1 getsms 1 1 > "$work/read.out" 2>&1 || { cat "$work/read.out"; fail "getsms"; }
grep -qF "$text" "$work/read.out" || fail "read lacks the text: $(cat "$work/read.out")"

g 1 deletesms 1 1 > "$work/delete.out" 2>&1 || { cat "$work/delete.out"; fail "deletesms"; }
control '{"cmd":"stored","modem":1}' | python3 -c 'import json,sys; m=json.load(sys.stdin)["messages"]; assert m == [], m' \
  || fail "message still stored after deletesms"
control '{"cmd":"log","modem":1}' | python3 -c '
import json, sys
cmds = [e["command"].upper() for e in json.load(sys.stdin)["log"]]
for want in ("AT+CMGL", "AT+CMGR=1", "AT+CMGD=1"):
    assert any(c.startswith(want) for c in cmds), (want, cmds)
' || fail "modem 1 never saw the listing, read and delete commands"
g 1 getallsms > "$work/list2.out" 2>&1 || true
if grep -qF "$text" "$work/list2.out"; then fail "listed again after deletion"; fi
echo "gammu exchange: sent, listed, read and deleted"
