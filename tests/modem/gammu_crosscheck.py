#!/usr/bin/env python3
"""Cross-checks the modem layer's PDUs with Gammu, an independent implementation.

Every SMS-SUBMIT PDU our encoder writes must decode right with gammu.DecodePDU,
and every SMS-DELIVER PDU that gammu.EncodePDU writes (7-bit, UCS2 with Chinese
text, 8-bit) must decode right with ours. Usage: gammu_crosscheck.py <modem_pdu_tool>
"""
import datetime
import os
import random
import subprocess
import sys

import gammu

os.environ["TZ"] = "UTC"  # the time stamps gammu writes carry the local zone

TOOL = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run_tool(lines):
    out = subprocess.run([TOOL], input="".join(l + "\n" for l in lines), capture_output=True, text=True, check=True)
    return out.stdout.splitlines()


rng = random.Random(20231106)
CHINESE = "中文短信测试你好世界电压电流温度告警站点数据采集远程监控"
ASCII = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;-+=/()!?'\"%&*<>"


def random_number():
    return "86" + "".join(rng.choice("0123456789") for _ in range(rng.randint(9, 13)))


# --- SUBMIT: ours -> gammu -------------------------------------------------
submits = [("8610000000000", "8610000000001", "abc"),
           ("8613800100500", "8613900000001", "你好世界"),
           ("861380010050", "86139000000012", "x" * 69),
           ("8613800100500", "8613900000001", "测" * 69)]
for _ in range(200):
    n = rng.randint(1, 69)
    text = "".join(rng.choice(CHINESE + ASCII) for _ in range(n))
    submits.append((random_number(), random_number(), text))

outputs = run_tool("E %s %s %s" % (sc, da, t.encode("gbk").hex()) for sc, da, t in submits)
for (sc, da, text), pdu in zip(submits, outputs):
    try:
        d = gammu.DecodePDU(bytes.fromhex(pdu))
    except Exception as e:  # noqa: BLE001 - any refusal is a failure
        failures.append("gammu cannot decode our SUBMIT %s: %s" % (pdu, e))
        continue
    what = "SUBMIT %s" % pdu
    check(d["Type"] == "Submit", what + " type " + d["Type"])
    check(d["SMSC"]["Number"] == "+" + sc, what + " SMSC " + d["SMSC"]["Number"])
    check(d["Number"] == "+" + da, what + " number " + d["Number"])
    check(d["Coding"] == "Unicode_No_Compression", what + " coding " + d["Coding"])
    check(d["Text"] == text, what + " text %r" % d["Text"])
    check(d["Length"] == len(text), what + " length %d" % d["Length"])

# --- DELIVER: gammu -> ours ------------------------------------------------
BASE = {"Folder": 1, "InboxFolder": 1, "Location": 0, "State": "Read", "Memory": "SM", "Name": "", "Class": -1,
        "MessageReference": 0, "ReplyViaSameSMSC": 0, "DeliveryStatus": 0, "ReplaceMessage": 0,
        "RejectDuplicates": 0,
        "UDH": {"Type": "NoUDH", "Text": b"", "ID8bit": 0, "ID16bit": 0, "PartNumber": -1, "AllParts": 0}}
# Septets our decoder stores as they are: only those equal in GSM 03.38 and ASCII.
GSM_SAFE = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;-+=/()!?'\"%&*<>#"

delivers = []
for i in range(300):
    kind = i % 3
    sc, sender = random_number(), random_number()
    when = datetime.datetime(2000 + rng.randint(0, 49), rng.randint(1, 12), rng.randint(1, 28),
                             rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
    if kind == 0:
        text = "".join(rng.choice(GSM_SAFE) for _ in range(rng.randint(1, 160)))
        coding, expected = "Default_No_Compression", text.encode("ascii")
    elif kind == 1:
        text = "".join(rng.choice(CHINESE + ASCII[:62]) for _ in range(rng.randint(1, 70)))
        coding, expected = "Unicode_No_Compression", text.encode("gbk")
    else:
        text = bytes(rng.randint(1, 255) for _ in range(rng.randint(1, 140)))
        coding, expected = "8bit", text[:160]
    sms = dict(BASE, SMSC={"Location": 0, "Number": "+" + sc}, Number="+" + sender, Text=text, Coding=coding,
               Type="Deliver", DateTime=when, SMSCDateTime=when)
    pdu = gammu.EncodePDU(sms, "Deliver").hex()
    delivers.append((pdu, sc, sender, when, expected, {0: 0, 1: 8, 2: 4}[kind]))

# An alphanumeric sender.
sms = dict(BASE, SMSC={"Location": 0, "Number": "+8613800100500"}, Number="Kelvora", Text="hello",
           Coding="Default_No_Compression", Type="Deliver", DateTime=datetime.datetime(2023, 11, 6, 12, 34, 50),
           SMSCDateTime=datetime.datetime(2023, 11, 6, 12, 34, 50))
alnum = gammu.EncodePDU(sms, "Deliver").hex()

outputs = run_tool(["D " + d[0] for d in delivers] + ["D " + alnum])
for (pdu, sc, sender, when, expected, dcs), line in zip(delivers, outputs):
    got_sc, got_peer, toa, pid, got_dcs, ts, text_hex = line.split("|")
    what = "DELIVER %s" % pdu
    check(got_sc == sc, what + " sc " + got_sc)
    check(got_peer == sender, what + " peer " + got_peer)
    check(toa == "145", what + " type of address " + toa)
    check(pid == "0", what + " pid " + pid)
    check(int(got_dcs) == dcs, what + " dcs " + got_dcs)
    check(ts == when.strftime("%y%m%d%H%M%S") + "00", what + " timestamp " + ts)
    check(bytes.fromhex(text_hex) == expected, what + " text %r" % bytes.fromhex(text_hex))
parts = outputs[-1].split("|")
check(parts[2] == str(0xD0) and bytes.fromhex(parts[6]) == b"hello", "alphanumeric sender: " + outputs[-1])

for f in failures[:20]:
    print("FAIL:", f)
print("%d SUBMIT and %d DELIVER PDUs cross-checked with gammu %s: %d failures"
      % (len(submits), len(delivers) + 1, gammu.Version()[0], len(failures)))
sys.exit(1 if failures else 0)
