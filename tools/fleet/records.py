"""What a fleet run saw, kept as plain records, and what they add up to.

The records come from two sources only: the modem simulator's own books
(every message sent, with its send, delivery and storage; each modem's
command log; each store's high-water mark) and what the hosts read and wrote
through the driver, with the time each answer came. The driver's own counters
and trace are never used, so a fault of the driver cannot hide itself.

Records.save() writes them as one JSON file; analyse() turns them into the
summary the table shows. A run under faults (the soak) adds its own records
beside these and checks them the same way.
"""

import json
import statistics

from harness.frames import parse_frame

SCAN_GOAL_S = 3.0  # a scan of every group that takes longer leaves the host's display behind


class Records:
    """Everything a run observed, appended to by the hosts' threads."""

    def __init__(self, config):
        self.config = dict(config)
        self.started = None       # epoch seconds: the hosts began
        self.ended = None         # epoch seconds: the run's time was up (the drain follows)
        self.drained = None       # epoch seconds: the drain ended
        self.drain_complete = False
        # Host side: one entry per value read, per write, per scan.
        self.centre_groups = []   # {"time", "site", "first", "values"}: a group read whole
        self.centre_reads = []    # {"time", "since", "site", "address", "value"}: each register the centre read
        self.site_reads = []      # {"time", "since", "site", "address", "value"}
        # ("since": the latest its read can have begun; "time": when the host showed the value)
        self.writes = []          # {"who", "site", "address", "value", "start", "end", "outcome", "line"}
        self.scans = []           # {"start", "end", "groups", "complete"}
        self.host_errors = []     # {"who", "time", "line"}
        self.read_failures = []   # {"time", "site", "address"}: a centre read the station failed (StaleAfter)
        self.silenced = None      # {"site", "time"}: the site whose modem was made silent
        # Simulator side, as its control interface gives it.
        self.submitted = []
        self.modems = []
        self.command_logs = {}    # modem index -> [{time_ms, command, response}]
        self.numbers = {}         # "centre" and site numbers -> modem index

    def save(self, path):
        with open(path, "w") as f:
            json.dump(self.__dict__, f, indent=1)


def percentile(values, fraction):
    if not values:
        return None
    ordered = sorted(values)
    k = max(0, min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1)))))
    return ordered[k]


def centre_views(records):
    """(site, first) -> [(time, values)] in time order: each read of a whole group by the centre's host."""
    views = {}
    for g in records.centre_groups:
        views.setdefault((g["site"], g["first"]), []).append((g["time"], tuple(g["values"])))
    for row in views.values():
        row.sort(key=lambda e: e[0])
    return views


def sent_frames(records):
    """(reports the sites' modems sent, write commands the centre's modem sent), each with its times."""
    centre = records.numbers["centre"]
    sent_reports, commands = [], []
    for s in records.submitted:
        frame = parse_frame(s.get("decoded", {}).get("text", ""))
        if frame is None or not s.get("accepted"):
            continue
        entry = {"sent": s["time_ms"] / 1000.0, "outcome": s["outcome"],
                 "delivered": (s.get("delivered_ms") or 0) / 1000.0 or None}
        if frame[0] == "report" and s["from"] != centre:
            entry.update(site=frame[1], first=frame[2], values=frame[3])
            sent_reports.append(entry)
        elif frame[0] == "command" and s["from"] == centre:
            entry.update(site=frame[1], address=frame[2], value=frame[3])
            commands.append(entry)
    return sent_reports, commands


def reports_seen(records, sent_reports):
    """(lags from sent to seen, seen, overtaken, lost): each delivered report against the centre's reads."""
    views = centre_views(records)
    lags, seen, overtaken, unseen = [], 0, 0, []
    seen_at = {}
    for r in sent_reports:
        if r["outcome"] != "delivered":
            continue
        row = views.get((r["site"], r["first"]), [])
        when = next((t for t, v in row if t >= r["sent"] and v == r["values"]), None)
        if when is not None:
            seen += 1
            lags.append(when - r["sent"])
            seen_at[id(r)] = when
        else:
            unseen.append(r)
    lost = []
    for r in unseen:
        # A report whose group a later report refreshed before the host read it was applied and overwritten.
        later = [o for o in sent_reports if o is not r and o["site"] == r["site"] and o["first"] == r["first"]
                 and o["sent"] > r["sent"] and id(o) in seen_at]
        if later:
            overtaken += 1
        else:
            lost.append(r)
    return lags, seen, overtaken, lost


def writes_applied(records):
    """(the centre's writes, those sent, seconds from each sent write to its site reading it)."""
    host_writes = [w for w in records.writes if w["who"] == "centre"]
    written_ok = [w for w in host_writes if w["outcome"] == "sent"]
    applied = []
    for w in written_ok:
        when = next((r["time"] for r in records.site_reads
                     if r["site"] == w["site"] and r["address"] == w["address"]
                     and (r["value"] & 0xFFFFFFFF) == (w["value"] & 0xFFFFFFFF) and r["time"] >= w["start"]), None)
        if when is not None:
            applied.append(when - w["end"])
    return host_writes, written_ok, applied


def analyse(records):
    """The summary of a run: the figures of the table and the problems the verdict names."""
    cfg = records.config
    centre = records.numbers["centre"]
    sent_reports, commands = sent_frames(records)
    lags, seen, overtaken, lost = reports_seen(records, sent_reports)
    host_writes, written_ok, applied = writes_applied(records)
    delivered_commands = [c for c in commands if c["outcome"] == "delivered"]

    complete = [s for s in records.scans if s["complete"]]
    scan_times = [s["end"] - s["start"] for s in complete]
    run_s = (records.ended - records.started) if records.ended else 0.0
    sms_in_run = [s for s in records.submitted if s.get("accepted") and records.started <= s["time_ms"] / 1000.0 <= records.ended]
    centre_modem = records.modems[centre] if centre < len(records.modems) else {}
    undeliverable = [s for s in records.submitted if s.get("outcome") in ("store_full", "unknown_number")]

    summary = {
        "sites": cfg["sites"], "groups": cfg["sites"] * cfg["groups"], "poll_scope": cfg["poll_scope"],
        "baud": cfg["baud"], "run_s": run_s,
        "scans": len(complete), "scan_median_s": statistics.median(scan_times) if scan_times else None,
        "scan_p95_s": percentile(scan_times, 0.95),
        "scan_longest_s": max(scan_times) if scan_times else None,
        "reports_sent": len(sent_reports),
        "reports_delivered": sum(1 for r in sent_reports if r["outcome"] == "delivered"),
        "reports_seen": seen, "reports_overtaken": overtaken, "reports_lost": len(lost),
        "lag_median_s": statistics.median(lags) if lags else None, "lag_p95_s": percentile(lags, 0.95),
        "lag_longest_s": max(lags) if lags else None,
        "store_high_water": centre_modem.get("high_water"), "store_capacity": centre_modem.get("capacity"),
        "store_left": centre_modem.get("stored"),
        "sms_per_minute": len(sms_in_run) / (run_s / 60.0) if run_s > 0 else 0.0,
        "writes": len(host_writes), "writes_sent": len(written_ok), "writes_delivered": len(delivered_commands),
        "writes_applied": len(applied), "write_lag_median_s": statistics.median(applied) if applied else None,
        "undeliverable": len(undeliverable), "drain_complete": records.drain_complete,
        # A live display: nineteen scans in twenty within the goal.
        "keeps_up": bool(scan_times) and percentile(scan_times, 0.95) <= SCAN_GOAL_S,
    }
    summary["problems"] = problems(records, summary, lost, undeliverable, complete)
    return summary


def problems(records, summary, lost, undeliverable, complete):
    """What the verdict names."""
    out = []
    if lost:
        r = lost[0]
        out.append(f"{len(lost)} report(s) delivered but never seen at the centre (first: site {r['site']} "
                   f"group {r['first']} sent at +{r['sent'] - records.started:.1f} s)")
    if undeliverable:
        out.append(f"{len(undeliverable)} message(s) undeliverable (a store was full)")
    cap = summary["store_capacity"]
    if cap and summary["store_high_water"] is not None and summary["store_high_water"] >= cap:
        out.append(f"the centre's storage filled up ({summary['store_high_water']} of {cap})")
    if summary["writes_sent"] < summary["writes"]:
        out.append(f"{summary['writes'] - summary['writes_sent']} write(s) at the centre NOT sent")
    if summary["writes_applied"] < summary["writes_sent"]:
        out.append(f"{summary['writes_sent'] - summary['writes_applied']} write(s) never applied at their site")
    if not complete:
        out.append("no scan of every group completed")
    if not records.drain_complete:
        out.append("the drain did not end with every message through")
    for e in records.host_errors[:3]:
        out.append(f"{e['who']}: {e['line']}")
    return out


def format_table(s):
    def sec(v, digits=1):
        return "-" if v is None else f"{v:.{digits}f} s"
    rows = [
        ("sites, groups", f"{s['sites']} sites, {s['groups']} groups (poll scope {s['poll_scope']}, "
                          f"{s['baud']} baud, {s['run_s'] / 60:.1f} min)"),
        ("scans of every group", f"{s['scans']}, median {sec(s['scan_median_s'], 2)}, 95% {sec(s['scan_p95_s'], 2)}, "
                                 f"longest {sec(s['scan_longest_s'], 2)}"),
        ("reports sent", f"{s['reports_sent']}, delivered {s['reports_delivered']}"),
        ("reports applied", f"{s['reports_seen']} seen by the centre's host, {s['reports_overtaken']} replaced by "
                            f"a later one before the host read them, {s['reports_lost']} lost"),
        ("report lag (sent to seen)", f"median {sec(s['lag_median_s'])}, 95% {sec(s['lag_p95_s'])}, "
                                      f"longest {sec(s['lag_longest_s'])}"),
        ("centre storage", f"high-water {s['store_high_water']} of {s['store_capacity']}, "
                           f"{s['store_left']} left at the end"),
        ("SMS per minute", f"{s['sms_per_minute']:.1f}"),
        ("writes from the centre", f"{s['writes']}: sent {s['writes_sent']}, delivered {s['writes_delivered']}, "
                                   f"applied at their sites {s['writes_applied']} "
                                   f"(median {sec(s['write_lag_median_s'])} after the write)"),
    ]
    width = max(len(k) for k, _ in rows)
    return "\n".join(f"  {k:<{width}}  {v}" for k, v in rows)
