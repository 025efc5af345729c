"""The soak's ledger: what the network carried against what the hosts read.

Its sources are the simulator's own records (every message sent, with its
send and delivery times and those of any second copy; each modem's command
log with what it answered and how late) and what the hosts read, with when
each read began and ended, never the driver's counters or trace (the trace
only tells the story of a violation). Every value written in a soak is
unique, so a value read names the frame that carried it (soak/frames.py).
The checks, each with what counts as its chance to fail:

- lost: a read of a frame's register (a site's setpoint) or group (at the
  centre), begun after a listing of the station's modem had carried the
  frame (its whole entry, the header line right before the PDU), shows a frame sent before it, or the value before any frame. Only a
  frame sent later and shown by a read excuses it. Chances: frames read after
  a listing carried them.
- went back: a read shows a frame sent before one already read there.
  Chances: frames the network delivered after a later one of the same slot.
- applied twice: a frame's value read again after another value was read
  there; at the centre's setpoint, a report's own value shown again after the
  centre's own write had replaced it. Chances: second copies delivered after
  the first was listed.
- value from nowhere: a value no frame carried, or a register back at its
  value before any frame after a frame was shown.
- over its bound and time-out per poll (soak/bounds.py): every host call
  within what its exchanges allow, one time-out for each exchange the rules
  let end by it. Chances: polls whose modem stopped answering.
- at the end, after the drain: every group a report covered reads the same
  at the centre as at its site, every store is empty but for places that
  refuse deletes, and the hosts' memory and trace files stayed flat after
  warm-up.
"""

from kelvora_facts import TRACE_FILE_BOUND
from soak.bounds import call_bounds
from soak.frames import AMBIGUOUS, BEFORE, NOWHERE, load_frames, mark_carried, name_readings

MEMORY_SLACK_KB = 2048          # a host's memory may move this much after warm-up

COUNTED = ("lost", "applied twice", "went back")
CHECKS = ("lost", "went back", "applied twice", "time-out per poll")
REQUIRED_CHANCES = 20           # what a default soak of 10 minutes gives each check at the least


class Ledger:
    def __init__(self, records, setpoint_group, timeout_ms, baud):
        self.records, self.setpoint_group = records, setpoint_group
        self.timeout_s, self.baud = timeout_ms / 1000.0, baud
        self.origin = records.started or 0.0
        self.violations = []
        self.calls = []           # (ratio, call, bound)
        self.frames = []
        self.listings = {}
        self.chances = {c: 0 for c in CHECKS}
        self._reported = set()

    def load_frames(self):
        self.frames = load_frames(self.records)
        logs = {int(k): v for k, v in self.records.command_logs.items()}
        self.listings = mark_carried(self.frames, logs, self.baud, self.timeout_s)
        return self.frames

    # --- the checks ---------------------------------------------------------------------------------------

    def violation(self, kind, when, modems, story, key=None, summary=None):
        """One violation a cause: `key` (with the kind) is reported once however many reads show it.
        `summary`: one short line of it (else the story's first)."""
        if key is not None:
            if (kind, key) in self._reported:
                return
            self._reported.add((kind, key))
        self.violations.append({"kind": kind, "time": when, "modems": modems, "story": story,
                                "summary": summary or story[0]})

    def short(self, named):
        return named.short(self.origin) if hasattr(named, "short") else repr(named)

    def modems_of(self, f):
        return [f.record["from"], f.receiver]

    def where(self, reading):
        place = "the centre" if reading.station == "centre" else f"site {reading.site}"
        return f"{place} M{reading.site}.{reading.address}" if reading.station == "centre" else \
            f"{place} M{reading.address}"

    def describe(self, named):
        return named.describe(self.origin) if hasattr(named, "describe") else repr(named)

    def check_order(self, until=None):
        """Applied twice, went back and values from nowhere, from the readings so far."""
        self.chances["went back"] = self.count_overtaken()
        self.chances["applied twice"] = self.count_late_copies()
        for register, row in name_readings(self.records, self.frames, self.setpoint_group).items():
            current, newest, seen = None, None, {}
            for rd in row:
                if until is not None and rd.time > until:
                    break
                f = rd.name
                if f is AMBIGUOUS or f is current:
                    continue
                at = f"+{rd.time - self.origin:.1f} s"
                if f is NOWHERE or (f is BEFORE and newest is not None):
                    what = (f"{rd.value}, which no frame carried" if f is NOWHERE else
                            f"{rd.value}, its value before any frame, after {self.describe(newest)}")
                    self.violation("value from nowhere", rd.time, [newest.receiver] if newest else [],
                                   [f"{self.where(rd)} read {what} at {at}"], key=(register, rd.value))
                    current = f
                    continue
                if f is BEFORE:
                    current = f
                    continue
                if id(f) in seen:
                    self.violation("applied twice", rd.time, self.modems_of(f), [
                        f"{self.where(rd)} showed {f.describe(self.origin)}",
                        f"  first read at +{seen[id(f)] - self.origin:.1f} s, then "
                        f"{self.describe(current)}, then the first again at {at}"], key=id(f),
                        summary=f"{self.where(rd)} showed the {self.short(f)} again at {at}, after the "
                                f"{self.short(current)}")
                elif newest is not None and f.sent < newest.sent:
                    self.violation("went back", rd.time, self.modems_of(f), [
                        f"{self.where(rd)} showed {f.describe(self.origin)} at {at}",
                        f"  after it had shown one sent later: {newest.describe(self.origin)}"], key=id(f),
                        summary=f"{self.where(rd)} showed the {self.short(f)} at {at}, after the {self.short(newest)}")
                seen.setdefault(id(f), rd.time)
                current = f
                if newest is None or f.sent > newest.sent:
                    newest = f
        self.check_centre_setpoints(until)

    def check_centre_setpoints(self, until=None):
        """The centre's setpoint register holds what the centre wrote last, or what a report of the site said
        after it. A report is known by its heartbeat (the register after the setpoint, new in every report);
        once a read showed the centre's own write in place of a report's setpoint, the report's value there
        again means the report was applied a second time."""
        sp, hb = self.setpoint_group, self.setpoint_group + 1
        by_heartbeat = {}
        for f in self.frames:
            if f.kind == "report" and f.where == sp:
                by_heartbeat.setdefault((f.site, f.payload[1]), []).append(f)
        reads = sorted((r for r in getattr(self.records, "centre_reads", []) if r["address"] in (sp, hb)),
                       key=lambda r: (r["site"], r["time"]))
        state = {}
        for a, b in zip(reads, reads[1:]):
            # A view: the setpoint read, then the heartbeat read right after it in the same call.
            if a["address"] != sp or b["address"] != hb or a["site"] != b["site"] or b.get("since") != a["time"]:
                continue
            if until is not None and b["time"] > until:
                break
            found = by_heartbeat.get((a["site"], b["value"] & 0xFFFFFFFF), [])
            if len(found) != 1:
                continue
            f, shown = found[0], a["value"] & 0xFFFFFFFF
            own_seen, replaced = state.get(id(f), (False, None))
            if shown == f.payload[0]:
                if replaced is not None:
                    self.violation("applied twice", b["time"], self.modems_of(f), [
                        f"the centre showed M{a['site']}.{sp} = {shown} with heartbeat {b['value']} of "
                        f"{f.describe(self.origin)} at +{b['time'] - self.origin:.1f} s",
                        f"  after its own write {replaced} had replaced the report's value there: the report was "
                        f"applied again"], key=id(f),
                        summary=f"the centre showed the {self.short(f)} again at +{b['time'] - self.origin:.1f} s, "
                                f"over its own write of M{a['site']}.{sp}={replaced}")
                state[id(f)] = (True, replaced)
            elif own_seen:
                state[id(f)] = (True, shown)

    def check_lost(self, until=None):
        """A frame a listing carried, and the first read of its registers begun after that listing shows a
        frame sent before it (or the value before any frame)."""
        readings = name_readings(self.records, self.frames, self.setpoint_group)
        by_register = {}
        for register, row in readings.items():
            by_register[register] = row
        judged = 0
        for f in self.frames:
            if f.carried is None:
                continue
            station = "site" if f.kind == "command" else "centre"
            registers = [f.where] if f.kind == "command" else \
                [a for a in range(f.where, f.where + len(f.payload)) if a != self.setpoint_group]
            first = None
            for address in registers:
                for rd in by_register.get((station, f.site, address), []):
                    if rd.since > f.carried and rd.name is not AMBIGUOUS and rd.name is not NOWHERE:
                        if first is None or rd.time < first.time:
                            first = rd
                        break
            if first is None or (until is not None and first.time > until):
                continue
            judged += 1
            shown = first.name
            if shown is f or (shown is not BEFORE and shown.sent > f.sent):
                continue
            self.violation("lost", first.time, self.modems_of(f), [
                f"{f.describe(self.origin)}",
                f"  was carried to its station by a listing at +{f.carried - self.origin:.1f} s, but a read of "
                f"{self.where(first)} begun after it (+{first.since - self.origin:.1f} s) showed "
                f"{self.describe(shown)}"], key=id(f),
                summary=f"the {self.short(f)}, listed +{f.carried - self.origin:.1f} s; a read of {self.where(first)} "
                        f"begun +{first.since - self.origin:.1f} s showed {self.short(shown)}")
        self.chances["lost"] = judged

    def count_overtaken(self):
        """Frames the network delivered after a frame of the same slot sent later: the chances of went back."""
        by_slot, count = {}, 0
        for f in self.frames:
            if f.landed and f.delivered:
                by_slot.setdefault(f.slot, []).append(f)
        for frames in by_slot.values():
            for f in frames:
                if any(g.sent > f.sent and g.delivered <= f.delivered for g in frames):
                    count += 1
        return count

    def count_late_copies(self):
        """Second copies delivered after their first was listed: the chances of applied twice."""
        return sum(1 for f in self.frames if f.carried is not None for c in f.copies if c > f.carried)

    def check_bounds(self, boot_s):
        """boot_s: modem -> the longest start-up of its restarts (seconds)."""
        self.calls, over, timed_out_polls = call_bounds(self.records, self.timeout_s, self.baud, boot_s)
        self.chances["time-out per poll"] = timed_out_polls
        for when, modem, story in over:
            self.violation("over its bound", when, [modem], story)

    def longest(self):
        return max(self.calls, key=lambda c: c[0]) if self.calls else (0.0, None, 0.0)

    def not_exercised(self, required=REQUIRED_CHANCES):
        return [f"not exercised: {c} had {n} chances" for c, n in self.chances.items() if n < required]

    def check_end(self, final_values, sites, groups):
        """After the drain: the centre reads every reported group as its site holds it; stores are empty but
        for the messages in places that refuse deletes."""
        views = {}
        for g in self.records.centre_groups:
            views[(g["site"], g["first"])] = g
        covered = {(f.site, f.where) for f in self.frames if f.kind == "report" and f.landed}
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
            left = m["stored"] - m.get("stuck", 0)
            if left:
                converged = False
                self.violation("store not empty", self.records.drained, [m["index"]],
                               [f"modem {m['index']} holds {left} message(s) after the drain (besides "
                                f"{m.get('stuck', 0)} in places that refuse deletes)"])
        return converged

    def check_resources(self, memory, traces, warm_up):
        """memory: who -> [(time, kB)], or None not to judge it; traces: who -> [(time, bytes on disk)]."""
        for who, samples in (memory or {}).items():
            after = [kb for t, kb in samples if t >= warm_up]
            if len(after) >= 2 and max(after) - after[0] > MEMORY_SLACK_KB + after[0] // 20:
                self.violation("memory grew", samples[-1][0], [], [
                    f"{who}: {after[0]} kB after warm-up, up to {max(after)} kB later"])
        for who, samples in traces.items():
            if samples and max(b for _, b in samples) > 2 * TRACE_FILE_BOUND + 65536:
                self.violation("trace grew", samples[-1][0], [],
                               [f"{who}: its trace takes {max(b for _, b in samples)} bytes on disk"])

    def counts(self, kind):
        return sum(1 for v in self.violations if v["kind"] == kind)

