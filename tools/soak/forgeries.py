"""Forgeries and replays with keys on: the messages one such fault delivers
to a keyed station, made when it strikes (from the numbers, the registers the
hosts read and the signed frames sent so far), and how many a station took."""

import datetime
import os
import random
import time

from fleet.session import FleetError
from harness.frames import GROUP, SIGNED_SUFFIX, command_text, report_text

FORGED_VALUE_BASE = 0xFEED0000    # a forgery's values: no host ever writes them


class Forger:
    def __init__(self, simulator, sites, setpoint_group):
        self.simulator, self.sites, self.setpoint_group = simulator, sites, setpoint_group
        self.forged_values = set()              # the values the forgeries carried
        self.replayed = []                      # (modem, text) of every replay delivered

    def signed_sent_to(self, modem, older_than):
        """Genuine signed frames the network delivered to the modem before `older_than`, oldest first."""
        return [x for x in self.simulator.request({"cmd": "submitted"}, timeout=60)["submitted"]
                if x.get("to") == modem and x.get("accepted") and x.get("delivered_ms")
                and x["delivered_ms"] / 1000.0 < older_than
                and "#" in x.get("decoded", {}).get("text", "")]

    def replay(self, modem, request):
        """One of the last two: the newest frame for its registers, whose second taking a later change of
        them (the centre's own write of its setpoint) would show."""
        sent = self.signed_sent_to(modem, time.time() - 5.0)[-2:]
        if not sent:
            return []
        x = sent[min(len(sent) - 1, int(request["pick"] * len(sent)))]
        return [({"cmd": "inject", "sender": x["from_number"], "text": x["decoded"]["text"], "coding": "gsm7"}, None)]

    def messages(self, modem, request):
        """The inject requests of one forgery or replay for the modem: [(request, forged value or None)]."""
        if request["cmd"] == "replay":
            return self.replay(modem, request)
        serial = request["serial"] + 65536 * len(self.forged_values)
        value = (FORGED_VALUE_BASE + serial) & 0xFFFFFFFF
        sp = self.setpoint_group
        if modem == 0:  # to the centre, as a site's report
            site = serial % self.sites
            sender = self.simulator.modems[site + 1]["number"]
            frame = report_text(site, sp, [value] * GROUP)
        else:           # to a site, as the centre's write command for its setpoint
            sender = self.simulator.modems[0]["number"]
            frame = command_text(modem - 1, sp, value)
        text = frame
        if request["how"] == "made-up code":
            text = frame + "#7FFFFFFFFFFF#" + f"{random.Random(serial).getrandbits(128):032X}"
        elif request["how"] == "altered":
            sent = self.signed_sent_to(modem, time.time())
            if not sent:
                return []
            genuine = sent[-1]["decoded"]["text"]
            body = genuine[:-SIGNED_SUFFIX]
            at = 12 if body.startswith("BEGINWM") else 12 + 8 * (serial % GROUP)
            text = body[:at] + f"{value:08X}" + body[at + 8:] + genuine[-SIGNED_SUFFIX:]
        return [({"cmd": "inject", "sender": sender, "text": text, "coding": "gsm7"}, value)]

    def strike(self, modem, requests):
        """Delivers the fault's messages to the modem; the requests delivered (a full store takes none)."""
        delivered = []
        for request, value in [m for r in requests for m in self.messages(modem, r)]:
            try:
                self.simulator.request(dict(request, modem=modem))
            except FleetError as e:
                if "store full" in str(e):
                    continue  # not delivered: no chance for the check
                raise
            delivered.append(request)
            if value is not None:
                self.forged_values.add(value)
            else:
                self.replayed.append((modem, request["text"]))
        return delivered


APPLIED = "[message-applied]"  # the fate name the stations' trace ends an applied message's line with


def applied_in_trace(trace, texts):
    """text -> how many times the station's trace (and its older file) says it applied a message of that text."""
    counts = dict.fromkeys(texts, 0)
    quoted = {f'"{t}"': t for t in texts}
    for path in (trace + ".1", trace):
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                if not line.rstrip().endswith(APPLIED):
                    continue
                start = line.find(' "BEGIN')
                end = line.find('": ', start)
                text = quoted.get(line[start + 1:end + 1]) if start >= 0 and end > start else None
                if text is not None:
                    counts[text] += 1
    return counts


def replays_taken(replayed, trace_of_modem):
    """Replays a station applied: a signed text its trace says it applied twice (the genuine frame once, the
    replay again). A replay whose first taking rolled out of the trace goes uncounted, never a genuine one."""
    taken = 0
    for modem in {m for m, _ in replayed}:
        texts = [t for m, t in replayed if m == modem]
        counts = applied_in_trace(trace_of_modem(modem), set(texts))
        taken += sum(1 for t in set(texts) if counts[t] >= 2)
    return taken


def forged_accepted(records, ledger, forged_values, replayed=(), trace_of_modem=None):
    """(forged or replayed messages the network delivered, those a station took): a forged value in any read,
    a replay its station's trace says it applied, and every violation that struck a modem within 180 s after a
    replay to it."""
    delivered = sum(f.get("messages", 0) for f in records.faults)
    values = {r["value"] & 0xFFFFFFFF for r in records.site_reads + records.centre_reads}
    taken = len(values & forged_values)
    if trace_of_modem is not None:
        taken += replays_taken(replayed, trace_of_modem)
    replays = [f for f in records.faults if f["kind"] == "replayed" and f.get("messages")]
    for v in ledger.violations:
        if any(f["modem"] in v["modems"] and v["time"] and f["time"] <= v["time"] <= f["time"] + 180
               for f in replays):
            taken += 1
    return taken, delivered
