"""The soak's ledger: what the network carried against what the hosts read.

Its sources are the simulator's own records (every message sent, with its
send and delivery times; each modem's command log with what it answered and
how late) and what the hosts read and how long each call took, never the
driver's counters or trace (the trace only tells the story of a violation).
Every value written in a soak is unique, so a value read names the frame that
carried it. The checks:

- lost: a frame delivered to a station that its host never read, and no
  frame sent later for the same slot (a site's register, the centre's group
  of a site) was delivered either;
- applied twice: a frame read again after another frame's value was read in
  between (the second copy of a message, or the same one listed again);
- went back: a frame read after one sent later (by whole seconds, the
  service centre's stamp) for the same slot had been read;
- over its bound: a host call that took longer than the pauses it made, the
  exchanges the modem answered (how late, and their bytes at the line rate)
  and one time-out for each exchange allowed to end by it (one a poll, two a
  send) together with a small allowance for the machine;
- at the end, after the drain: every group a report covered reads the same
  at the centre as at its site, every store is empty, and the hosts' memory
  and trace files stayed flat after warm-up.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fleet"))
from fleet_records import parse_frame  # noqa: E402

MACHINE_ALLOWANCE_S = 1.0       # a call's own cost: the host, the pty, a loaded machine
EXCHANGE_ALLOWANCE_S = 0.06     # each exchange's reads of 10 ms and their scheduling
PAUSE_S = 1.0                   # before a central poll and before every send
MEMORY_SLACK_KB = 2048          # a host's memory may move this much after warm-up
TRACE_BOUND = 10 * 1024 * 1024  # the trace's file bound: at most about twice on disk

COUNTED = ("lost", "applied twice", "went back")


class Frame:
    """A frame the network accepted: a write command (slot: site, address) or a report (slot: site, group)."""

    def __init__(self, record, kind, site, where, payload):
        self.record = record
        self.kind, self.site, self.where, self.payload = kind, site, where, payload
        self.sent = record["time_ms"] / 1000.0
        self.stamp = record["time_ms"] // 1000          # what the service centre's stamp resolves
        self.delivered = (record.get("delivered_ms") or 0) / 1000.0 or None
        self.text = record["decoded"]["text"]

    @property
    def slot(self):
        return (self.kind, self.site, self.where)

    def describe(self, origin):
        at = f"delivered +{self.delivered - origin:.1f} s" if self.delivered else self.record["outcome"]
        return (f"{self.text} ({self.kind} for site {self.site} {'register' if self.kind == 'command' else 'group'} "
                f"{self.where}; sent +{self.sent - origin:.1f} s from modem {self.record['from']}, {at}, stored at "
                f"index {self.record.get('stored_index')})")


class Ledger:
    def __init__(self, records, setpoint_group, timeout_ms, baud):
        self.records, self.setpoint_group = records, setpoint_group
        self.timeout_s, self.baud = timeout_ms / 1000.0, baud
        self.origin = records.started or 0.0
        self.violations = []
        self.calls = []           # (ratio, call, bound)
        self.frames = []

    # --- frames and what the hosts read ---------------------------------------------------------------------

    def load_frames(self):
        self.frames = []
        centre = self.records.numbers["centre"]
        for s in self.records.submitted:
            if not s.get("accepted"):
                continue
            frame = parse_frame(s.get("decoded", {}).get("text", ""))
            if frame is None:
                continue
            if frame[0] == "command" and s["from"] == centre:
                self.frames.append(Frame(s, "command", frame[1], frame[2], frame[3] & 0xFFFFFFFF))
            elif frame[0] == "report" and s["from"] != centre:
                self.frames.append(Frame(s, "report", frame[1], frame[2], tuple(frame[3])))
        return self.frames

    def _key(self, frame_or_view, first):
        values = frame_or_view
        # The centre's host writes the setpoint register itself: a group view is known by the others.
        return tuple(values[1:]) if first == self.setpoint_group else tuple(values)

    def readings(self):
        """slot -> [(time, frame or None)]: what each host read, in time order, named by frame."""
        by_value, by_tuple = {}, {}
        for f in sorted(self.frames, key=lambda f: f.sent):
            if f.kind == "command":
                by_value.setdefault((f.site, f.where, f.payload), f)
            else:
                # Two reports of the same values (a group read again, nothing written): the later one.
                by_tuple.setdefault((f.site, f.where, self._key(f.payload, f.where)), []).append(f)
        out = {}
        for r in self.records.site_reads:
            if r["address"] != self.setpoint_group:
                continue
            value = r["value"] & 0xFFFFFFFF
            f = by_value.get((r["site"], r["address"], value))
            if f is None and value != 0:
                self.violation("unknown value", r["time"], [r["site"] + 1],
                               [f"site {r['site']} read {value} at register {r['address']}, which no write command "
                                f"carried"])
            out.setdefault(("command", r["site"], r["address"]), []).append((r["time"], f))
        for g in self.records.centre_groups:
            same = [f for f in by_tuple.get((g["site"], g["first"], self._key(g["values"], g["first"])), [])
                    if f.delivered is not None and f.delivered <= g["time"]]
            f = same[-1] if same else None
            # A view matching no report is a group read across a poll (half before, half after): skipped.
            out.setdefault(("report", g["site"], g["first"]), []).append((g["time"], f))
        for row in out.values():
            row.sort(key=lambda e: e[0])
        return out

    # --- the checks ---------------------------------------------------------------------------------------

    def violation(self, kind, when, modems, story):
        self.violations.append({"kind": kind, "time": when, "modems": modems, "story": story})

    def receiver(self, f):
        return self.records.numbers["centre"] if f.kind == "report" else f.site + 1

    def check_order(self, until=None):
        """Applied twice and went back, from the readings so far."""
        for slot, row in self.readings().items():
            current, newest, seen = None, None, {}
            for when, f in row:
                if until is not None and when > until:
                    break
                if f is None or f is current:
                    continue
                who = "the centre" if f.kind == "report" else f"site {f.site}"
                if id(f) in seen:
                    self.violation("applied twice", when, [f.record["from"], self.receiver(f)], [
                        f"{who} showed {f.describe(self.origin)}",
                        f"  first read at +{seen[id(f)] - self.origin:.1f} s, then {current.describe(self.origin)},",
                        f"  then the first again at +{when - self.origin:.1f} s"])
                elif newest is not None and f.stamp < newest.stamp:
                    self.violation("went back", when, [f.record["from"], self.receiver(f)], [
                        f"{who} showed {f.describe(self.origin)} at +{when - self.origin:.1f} s",
                        f"  after it had shown one sent later: {newest.describe(self.origin)}"])
                seen.setdefault(id(f), when)
                current = f
                if newest is None or f.stamp >= newest.stamp:
                    newest = f

    def check_lost(self):
        readings = self.readings()
        shown = {id(f) for row in readings.values() for _, f in row if f is not None}
        by_slot = {}
        for f in self.frames:
            if f.record["outcome"] == "delivered":
                by_slot.setdefault(f.slot, []).append(f)
        for slot, frames in by_slot.items():
            for f in frames:
                if id(f) in shown or any(g.sent > f.sent for g in frames):
                    continue
                self.violation("lost", f.delivered, [f.record["from"], self.receiver(f)], [
                    f"delivered and never read, nothing sent after it for the same "
                    f"{'register' if f.kind == 'command' else 'group'}: {f.describe(self.origin)}"])

    def line_time(self, entry):
        return (len(entry.get("command", "")) + 2 + len(entry.get("response", ""))) * 10.0 / self.baud if self.baud else 0.0

    def answer_delays(self, log):
        """Each logged command's wait for its answer: its own delay, or longer when an earlier answer
        still held the line (a modem answers in order)."""
        free = 0.0
        for e in log:
            asked = e["time_ms"] / 1000.0
            leaves = max(asked + e.get("delay_ms", 0) / 1000.0, free)
            e["wait_s"] = leaves - asked
            if e.get("response"):
                free = leaves + self.line_time(e)

    def exchange_cost(self, entry):
        """(seconds, ended by the time-out) for one command the modem logged."""
        response = entry.get("response", "")
        delay = entry.get("wait_s", entry.get("delay_ms", 0) / 1000.0)
        line = self.line_time(entry)
        final = "OK\r\n" in response or "ERROR" in response or "> " in response
        if final and delay < self.timeout_s:
            return delay + line, False
        return self.timeout_s + line, True

    def check_bounds(self, boot_s):
        """boot_s: modem -> the longest start-up of its restarts (seconds)."""
        restarts, restarts_boot = {}, boot_s
        logs = {int(k): v for k, v in self.records.command_logs.items()}
        for m, log in logs.items():
            for e in log:
                if e["command"] == "<restart>":
                    restarts.setdefault(m, []).append((e["time_ms"] / 1000.0, restarts_boot.get(m, 3.0)))
            logs[m] = [e for e in log if not e["command"].startswith("<")]
            self.answer_delays(logs[m])
        for call in self.records.calls:
            start, end = call["start"], call["end"]
            entries = [e for e in logs.get(call["modem"], []) if start - 0.05 <= e["time_ms"] / 1000.0 <= end + 0.05]
            polls = sum(1 for e in entries if e["command"].upper().startswith("AT+CMGL=1"))
            sends = sum(1 for e in entries if e["command"].upper().startswith("AT+CMGS"))
            booted = [r for r in restarts.get(call["modem"], []) if start - 5.0 <= r[0] <= end]
            allowed = polls + 2 * sends + 2 * len(booted)
            pauses = PAUSE_S * (sends + (polls if call["who"] == "centre" else 0))
            spent = 0.0
            for e in entries:
                cost, timed_out = self.exchange_cost(e)
                # A send whose prompt did not come writes its PDU all the same, to a modem in command
                # mode that logs no command for it: that exchange may end by the time-out too.
                unlogged = timed_out and e["command"].upper().startswith("AT+CMGS")
                for c in (cost, self.timeout_s) if unlogged else (cost,):
                    if timed_out:
                        if allowed <= 0:
                            continue
                        allowed -= 1
                    spent += c
            # A modem starting up hears nothing: a send to it loses its prompt and its answer unlogged.
            boot = sum(r[1] + 2 * self.timeout_s + PAUSE_S for r in booted)
            bound = (pauses + spent + boot + MACHINE_ALLOWANCE_S + EXCHANGE_ALLOWANCE_S * len(entries)
                     + 0.02 * call.get("reads", 1))
            took = end - start
            self.calls.append((took / bound, call, bound))
            if took > bound:
                self.violation("over its bound", end, [call["modem"]], [
                    f"{call['who']}: '{call['lines'][0][:70]}' took {took:.2f} s against its bound {bound:.2f} s "
                    f"({polls} poll(s), {sends} send(s), {len(entries)} exchange(s) logged by the modem)"] +
                    [f"  +{e['time_ms'] / 1000.0 - self.origin:.2f} s {e['command'][:40]!r} -> "
                     f"{e.get('response', '')[:50]!r} (answer after {e['wait_s']:.2f} s)" for e in entries[:12]])

    def longest(self):
        return max(self.calls, key=lambda c: c[0]) if self.calls else (0.0, None, 0.0)

    def check_end(self, final_values, sites, groups):
        """After the drain: the centre reads every reported group as its site holds it; stores are empty."""
        views = {}
        for g in self.records.centre_groups:
            views[(g["site"], g["first"])] = g
        covered = {(f.site, f.where) for f in self.frames if f.kind == "report" and f.record["outcome"] == "delivered"}
        converged = True
        for site, first in sorted(covered):
            own = [final_values.get(site, {}).get(first + i) for i in range(5)]
            seen = views.get((site, first))
            if seen is None or None in own or [v & 0xFFFFFFFF for v in own] != list(seen["values"]):
                converged = False
                self.violation("not converged", self.records.drained, [site + 1, self.records.numbers["centre"]], [
                    f"site {site} group {first}: the site holds {own}, the centre read "
                    f"{seen['values'] if seen else 'nothing'}"])
        for m in self.records.modems:
            if m["stored"]:
                converged = False
                self.violation("store not empty", self.records.drained, [m["index"]],
                               [f"modem {m['index']} holds {m['stored']} message(s) after the drain"])
        return converged

    def check_resources(self, memory, traces, warm_up):
        """memory: who -> [(time, kB)], or None not to judge it; traces: who -> [(time, bytes on disk)]."""
        for who, samples in (memory or {}).items():
            after = [kb for t, kb in samples if t >= warm_up]
            if len(after) >= 2 and max(after) - after[0] > MEMORY_SLACK_KB + after[0] // 20:
                self.violation("memory grew", samples[-1][0], [], [
                    f"{who}: {after[0]} kB after warm-up, up to {max(after)} kB later"])
        for who, samples in traces.items():
            if samples and max(b for _, b in samples) > 2 * TRACE_BOUND + 65536:
                self.violation("trace grew", samples[-1][0], [],
                               [f"{who}: its trace takes {max(b for _, b in samples)} bytes on disk"])

    def counts(self, kind):
        return sum(1 for v in self.violations if v["kind"] == kind)
