"""The centre's view in a fleet run, judged from the simulator's books and
what the hosts read (never the driver's counters), as the rest of the run:

- flips after a write: reads of a register the centre wrote, after the write
  returned and before the next write to it, that showed another value than
  the one written (an older one: the site's setpoints change only by the
  centre's writes). Expected 0 with HoldWrites on (--hold-writes);
- with StaleAfter (--stale-after N): reads that failed for a site that was
  reporting (its latest report delivered to the centre less than N s before,
  less the time a poll and a scan take to apply it), expected 0; and how
  soon after its last report a site whose modem was made silent
  (--silence-site) read as failed.
"""

from harness.frames import parse_frame

# A report delivered to the centre's store is applied by the next poll and
# scan: a read that fails sooner than N s after it, less this, failed a site
# that was reporting.
APPLY_SLACK_S = 10.0


def _value(entry, address):
    first = entry["first"]
    return entry["values"][address - first] if first <= address < first + 5 else None


def flips_after_writes(records):
    """(flips, reads looked at): each read of a written register between its write and the next one."""
    writes = sorted((w for w in records.writes if w["who"] == "centre" and w["outcome"] == "sent"),
                    key=lambda w: w["end"])
    flips = checked = 0
    for i, w in enumerate(writes):
        later = [x["start"] for x in writes[i + 1:] if x["site"] == w["site"] and x["address"] == w["address"]]
        until = min(later) if later else float("inf")
        for g in records.centre_groups:
            if g["site"] != w["site"] or not w["end"] <= g["time"] < until:
                continue
            value = _value(g, w["address"])
            if value is None:
                continue
            checked += 1
            flips += value != (w["value"] & 0xFFFFFFFF)
    return flips, checked


def _deliveries(records):
    """site -> sorted delivery times (epoch seconds) of its reports at the centre's modem."""
    centre = records.numbers["centre"]
    out = {}
    for s in records.submitted:
        frame = parse_frame(s.get("decoded", {}).get("text", ""))
        if frame is None or frame[0] != "report" or s["from"] == centre or not s.get("delivered_ms"):
            continue
        out.setdefault(frame[1], []).append(s["delivered_ms"] / 1000.0)
    for times in out.values():
        times.sort()
    return out


def analyse_view(records):
    """The view's figures and the problems they show."""
    cfg = records.config
    stale = cfg.get("stale_after") or 0
    flips, checked = flips_after_writes(records)
    view = {"hold_writes": bool(cfg.get("hold_writes")), "stale_after": stale, "flips": flips,
            "flip_reads": checked, "failed_reads": len(records.read_failures), "failed_reporting": 0,
            "silenced": None, "problems": []}
    if view["hold_writes"] and flips:
        view["problems"].append(f"{flips} read(s) after a write showed an older value with HoldWrites on")
    if not stale:
        return view
    deliveries = _deliveries(records)
    silenced = records.silenced or {}
    for f in records.read_failures:
        before = [d for d in deliveries.get(f["site"], []) if d <= f["time"]]
        if before and f["time"] - before[-1] < stale - APPLY_SLACK_S:
            view["failed_reporting"] += 1
    if view["failed_reporting"]:
        view["problems"].append(f"{view['failed_reporting']} read(s) failed for a site that was reporting")
    if silenced:
        s = silenced["site"]
        last = max((d for d in deliveries.get(s, []) if d <= silenced["time"] + 60), default=None)
        first_failed = min((f["time"] for f in records.read_failures
                            if f["site"] == s and f["time"] >= silenced["time"]), default=None)
        view["silenced"] = {"site": s, "at": silenced["time"] - records.started,
                            "last_report": None if last is None else last - records.started,
                            "failed_after": None if first_failed is None or last is None else first_failed - last}
        if first_failed is None:
            view["problems"].append(f"site {s} was made silent and never read as failed")
    return view


def format_view(v, started_label="+"):
    """Rows for the run's table."""
    rows = [("flips after a write", f"{v['flips']} of {v['flip_reads']} reads of a written register "
                                    f"(HoldWrites {'on' if v['hold_writes'] else 'off'})")]
    if v["stale_after"]:
        rows.append(("reads failed (StaleAfter)", f"{v['failed_reads']} (stale after {v['stale_after']:g} s), "
                                                  f"{v['failed_reporting']} of them for a site that was reporting"))
        s = v["silenced"]
        if s:
            after = "never" if s["failed_after"] is None else f"{s['failed_after']:.1f} s after its last report"
            last = "-" if s["last_report"] is None else f"+{s['last_report']:.1f} s"
            rows.append(("silent site", f"site {s['site']} made silent at +{s['at']:.1f} s, last report "
                                        f"delivered {last}, read as failed {after}"))
    return rows
