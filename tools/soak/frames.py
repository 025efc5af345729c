"""The soak's frames and what the hosts read, named frame by frame.

Every value written in a soak is unique, so a value read names the frame
that carried it. This module turns the records (the simulator's books and
the hosts' reads) into:

- frames: every write command the centre's modem sent and every report a
  site's modem sent, with when the network took it, when it and any second
  copy reached the station's store, and its SMS-DELIVER as stored;
- carried: when a listing of the receiving modem first carried the frame to
  its station (the listing's answer began before the host's time-out and
  held the frame's whole entry, and no restart of the modem swallowed it);
- readings: for each register the ledger judges, every value read in time
  order, with the time its read began and the frame the value names (or
  the value before any frame, or none: a value from nowhere).
"""

from harness.frames import parse_frame

LISTING_MARGIN_S = 0.3  # an answer this close to the time-out may have missed it: not counted as carried


class Before:
    """The value a register holds before any frame reached it (0)."""

    def __repr__(self):
        return "the value before any frame"


BEFORE = Before()
AMBIGUOUS = object()   # a value more than one frame carried: it names none
NOWHERE = object()     # a value no frame carried


class Frame:
    """A frame the network accepted: a write command (one register at a site) or a report (a group at the centre)."""

    def __init__(self, record, kind, site, where, payload, receiver):
        self.record = record
        self.kind, self.site, self.where, self.payload = kind, site, where, payload
        self.receiver = receiver                         # the modem that stores it
        self.sent = record["time_ms"] / 1000.0
        self.delivered = (record.get("delivered_ms") or 0) / 1000.0 or None
        self.copies = sorted(c["delivered_ms"] / 1000.0 for c in record.get("copies", []) if c.get("stored_index", 0) > 0)
        self.pdu = (record.get("deliver_pdu") or "").upper()
        self.text = record["decoded"]["text"]
        self.carried = None                              # when a listing first carried it to its station

    @property
    def slot(self):
        return (self.kind, self.site, self.where)

    @property
    def landed(self):
        return self.record.get("outcome") == "delivered"

    def value_at(self, address):
        if self.kind == "command":
            return self.payload if address == self.where else None
        offset = address - self.where
        return self.payload[offset] if 0 <= offset < len(self.payload) else None

    def short(self, origin):
        what = f"write command M{self.site}.{self.where}={self.payload}" if self.kind == "command" else \
            f"report of site {self.site} group {self.where}"
        return f"{what} sent +{self.sent - origin:.1f} s"

    def describe(self, origin):
        at = f"delivered +{self.delivered - origin:.1f} s" if self.delivered else self.record["outcome"]
        listed = f", first listed +{self.carried - origin:.1f} s" if self.carried else ""
        copies = "".join(f", a second copy +{c - origin:.1f} s" for c in self.copies)
        return (f"{self.text} ({self.kind} for site {self.site} {'register' if self.kind == 'command' else 'group'} "
                f"{self.where}; sent +{self.sent - origin:.1f} s from modem {self.record['from']}, {at}, stored at "
                f"index {self.record.get('stored_index')}{copies}{listed})")


class Reading:
    """One value a host read: when it was shown, when its read began at the latest, what it names."""

    def __init__(self, station, site, address, value, when, since, name):
        self.station, self.site, self.address, self.value = station, site, address, value
        self.time, self.since, self.name = when, since, name

    @property
    def register(self):
        return (self.station, self.site, self.address)


def load_frames(records):
    frames = []
    centre = records.numbers["centre"]
    for s in records.submitted:
        if not s.get("accepted"):
            continue
        frame = parse_frame(s.get("decoded", {}).get("text", ""))
        if frame is None:
            continue
        if frame[0] == "command" and s["from"] == centre:
            frames.append(Frame(s, "command", frame[1], frame[2], frame[3] & 0xFFFFFFFF, frame[1] + 1))
        elif frame[0] == "report" and s["from"] != centre:
            frames.append(Frame(s, "report", frame[1], frame[2], tuple(frame[3]), centre))
    frames.sort(key=lambda f: f.sent)
    return frames


def line_seconds(entry, baud, with_command=True):
    count = len(entry.get("response", "")) + ((len(entry.get("command", "")) + 2) if with_command else 0)
    return count * 10.0 / baud if baud else 0.0


def ends(response, prompt):
    """Whether an answer ends an exchange: a final result, or for a send's command also its prompt."""
    return "OK\r\n" in response or "ERROR" in response or (prompt and "> " in response)


# What a modem's log says when what was on its line was lost: a restart, and
# its line unplugged (it restarts when plugged back) or hung up.
LINE_LOST = ("<restart>", "<unplugged>", "<hang-up>")


def answer_times(log, baud, timeout_s):
    """For each logged command (a log with its restarts): e["wait_s"], how long after it its own answer began
    to leave (its delay, or longer when an earlier answer still held the line: a modem answers in order),
    and e["answered_s"], how long after it a final result was whole on the line, or None when none came
    within the time-out. An answer that came too late for its own command answers the next one: the host
    takes the first answer that ends its exchange while it waits (a prompt ends only a send's command).
    A restart, an unplug or a hang-up drops every answer not yet out."""
    free, waiting = 0.0, []  # (time an answer was whole on the line, the answer) not yet taken
    for e in log:
        asked = e["time_ms"] / 1000.0
        if e["command"] in LINE_LOST:
            waiting = [w for w in waiting if w[0] <= asked]
            free = min(free, asked)
            continue
        if e["command"].startswith("<"):
            continue
        leaves = max(asked + e.get("delay_ms", 0) / 1000.0, free)
        e["wait_s"] = leaves - asked
        if e.get("response"):
            free = leaves + line_seconds(e, baud, with_command=False)
            waiting.append((free, e["response"]))
        waiting = sorted(w for w in waiting if w[0] >= asked)
        prompt = e["command"].upper().startswith("AT+CMGS")
        taken = next((w for w in waiting if ends(w[1], prompt)), None)
        e["answered_s"] = None
        if taken and taken[0] - asked < timeout_s:
            e["answered_s"] = taken[0] - asked
            waiting.remove(taken)


def carrying_listings(log, baud, timeout_s):
    """[(time the listing was asked for, its answer)] of the listings whose answer reached the host: it began
    before the time-out and no restart of the modem, nor its line going, cut it off."""
    restarts = [e["time_ms"] / 1000.0 for e in log if e["command"] in LINE_LOST]
    answer_times(log, baud, timeout_s)
    commands = [e for e in log if not e["command"].startswith("<")]
    out = []
    for e in commands:
        if not e["command"].upper().startswith("AT+CMGL") or "+CMGL:" not in e.get("response", ""):
            continue
        asked = e["time_ms"] / 1000.0
        if e["wait_s"] >= timeout_s - LISTING_MARGIN_S:
            continue
        ends = asked + e["wait_s"] + line_seconds(e, baud, with_command=False)
        if any(asked <= r <= ends + 0.05 for r in restarts):
            continue
        out.append((asked, e["response"].upper()))
    return out


def holds_entry(answer, pdu):
    """Whether a listing's answer holds the message's whole entry: its header line right before its PDU
    line. A station leaves an entry that anything else split (an unsolicited line between them) for the
    next listing, without taking or deleting it."""
    at = answer.find("\r\n" + pdu + "\r\n")
    while at >= 0:
        line = answer.rfind("\r\n", 0, at)
        if answer[line + 2 if line >= 0 else 0:at].lstrip().startswith("+CMGL:"):
            return True
        at = answer.find("\r\n" + pdu + "\r\n", at + 1)
    return False


def mark_carried(frames, logs, baud, timeout_s):
    """Sets each landed frame's `carried`: when a listing of its station's modem first held its whole entry
    (asked for after the frame reached the store)."""
    listings = {int(m): carrying_listings(log, baud, timeout_s) for m, log in logs.items()}
    for f in frames:
        if not f.landed or not f.pdu:
            continue
        f.carried = next((t for t, answer in listings.get(f.receiver, [])
                          if t >= f.delivered - 0.05 and holds_entry(answer, f.pdu)), None)
    return listings


def name_readings(records, frames, setpoint_group):
    """register -> [Reading] in time order: the site's setpoint register (write commands) and every register
    of the centre's image but the setpoint register (reports). The centre writes its setpoint register
    itself, so what it shows there is judged with the group's heartbeat (see Ledger.check_centre_setpoints)."""
    commands, reports = {}, {}
    for f in frames:
        if f.kind == "command":
            commands.setdefault((f.site, f.where, f.payload), []).append(f)
        else:
            for i, v in enumerate(f.payload):
                reports.setdefault((f.site, f.where + i, v), []).append(f)

    def name(table, key, value):
        found = table.get(key, [])
        if len(found) == 1:
            return found[0]
        if found:
            return AMBIGUOUS
        return BEFORE if value == 0 else NOWHERE

    out = {}
    for r in records.site_reads:
        if r["address"] != setpoint_group:
            continue
        value = r["value"] & 0xFFFFFFFF
        named = name(commands, (r["site"], r["address"], value), value)
        out.setdefault(("site", r["site"], r["address"]), []).append(
            Reading("site", r["site"], r["address"], value, r["time"], r.get("since", r["time"]), named))
    for r in getattr(records, "centre_reads", []):
        if r["address"] == setpoint_group:
            continue
        value = r["value"] & 0xFFFFFFFF
        named = name(reports, (r["site"], r["address"], value), value)
        out.setdefault(("centre", r["site"], r["address"]), []).append(
            Reading("centre", r["site"], r["address"], value, r["time"], r.get("since", r["time"]), named))
    for row in out.values():
        row.sort(key=lambda rd: rd.time)
    return out
