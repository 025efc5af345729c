"""The soak's report: a violation's story with the hosts' traces around it,
the table by fault kind, the checks and their chances, and the last line."""

import os

from fleet.records import analyse, format_table
from harness.options import platform_name
from soak.faults import BY_NAME, TABLE
from soak.ledger import CHECKS, COUNTED
from soak.players import trace_path


def story_lines(violation, ledger, records, workdir, who_of):
    out = list(violation["story"])
    text = next((w for line in violation["story"] for w in line.split() if w.startswith("BEGIN")), None)
    for m in violation["modems"]:
        who = who_of(m)
        path = trace_path(workdir, who)
        if not os.path.exists(path):
            continue
        with open(path, errors="replace") as f:
            lines = f.readlines()
        hits = [i for i, line in enumerate(lines) if text in line] if text else []
        if hits:
            out.append(f"  {who}'s trace around {text}:")
            for i in hits[:4]:
                out += ["    " + line.rstrip()[:160] for line in lines[max(0, i - 2):i + 3]]
    faults = [f for f in records.faults if f["modem"] in violation["modems"]
              and violation["time"] and violation["time"] - 180 <= f["time"] <= violation["time"]]
    if faults:
        out.append("  faults on those modems in the 3 minutes before: " + "; ".join(
            f"{f['kind']} on modem {f['modem']} at +{f['time'] - ledger.origin:.1f} s" for f in faults))
    return out


def fault_table(records, ledger):
    """Rows by fault kind: injected, survived, lost, applied twice, went back, longest call against its bound."""
    rows = []
    for kind in (k.name for k in TABLE):
        faults = [f for f in records.faults if f["kind"] == kind]
        if BY_NAME[kind].keyed and not faults:
            continue
        hit = {c: 0 for c in COUNTED}
        touched = set()
        for v in ledger.violations:
            if v["kind"] not in COUNTED:
                continue
            for i, f in enumerate(faults):
                if f["modem"] in v["modems"] and v["time"] and f["time"] <= v["time"] <= f["time"] + 180:
                    hit[v["kind"]] += 1
                    touched.add(i)
                    break
        worst = (0.0, None, 0.0)
        for f in faults:
            for c in ledger.calls:
                call = c[1]
                if call["modem"] == f["modem"] and f["time"] <= call["end"] and call["start"] <= f["time"] + 60:
                    worst = max(worst, c, key=lambda x: x[0])
        took = f"{worst[1]['end'] - worst[1]['start']:.1f} s of {worst[2]:.1f} s" if worst[1] else "-"
        rows.append((kind, len(faults), len(faults) - len(touched), hit["lost"], hit["applied twice"],
                     hit["went back"], took))
    head = ("fault", "injected", "survived", "lost", "twice", "back", "longest call / bound")
    width = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
    fmt = "  " + "  ".join(f"{{:<{w}}}" if i in (0, 6) else f"{{:>{w}}}" for i, w in enumerate(width))
    return "\n".join([fmt.format(*head)] + [fmt.format(*r) for r in rows])


def chance_table(ledger, forged=None):
    """Each check with its chances and what it found; forged: (taken, delivered) with keys on."""
    found = {"lost": ["lost"], "went back": ["went back"], "applied twice": ["applied twice"],
             "time-out per poll": ["over its bound"]}
    what = {"lost": "frames read after a listing carried them to their station",
            "went back": "frames the network delivered after a later one for the same registers",
            "applied twice": "second copies delivered after the first was listed",
            "time-out per poll": "polls whose modem stopped answering (each call against its bound)"}
    rows = [(c, ledger.chances[c], sum(ledger.counts(k) for k in found[c]), what[c]) for c in CHECKS]
    rows.append(("value from nowhere", "-", ledger.counts("value from nowhere"), "every value read"))
    if forged is not None:
        rows.append(("forged accepted", forged[1], forged[0], "forged and replayed messages delivered to a station"))
    head = ("check", "chances", "violations", "its chances")
    width = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
    fmt = "  " + "  ".join(f"{{:<{w}}}" if i in (0, 3) else f"{{:>{w}}}" for i, w in enumerate(width))
    return "\n".join([fmt.format(*head)] + [fmt.format(*r) for r in rows])




def print_tables(args, workdir, seed, records, soak, ledger, forged_count):
    print(f"\nSoak on the simulator ({platform_name(args)}; seed {seed}; time-out {args.timeout_ms} ms; "
          f"records in {workdir})")
    print(format_table(analyse(records)))
    print("\nFaults by kind (a violation counts against the fault that struck one of its modems last before it):")
    print(fault_table(records, ledger))
    mem = {who: (s[0][1], s[-1][1]) for who, s in soak.memory.items() if s}
    if mem:
        grow = max(mem.items(), key=lambda kv: kv[1][1] - kv[1][0])
        trace = max(b for s in soak.traces.values() for _, b in s) if soak.traces else 0
        print(f"\n  memory: hosts from {min(v[0] for v in mem.values())} to {max(v[1] for v in mem.values())} kB "
              f"(most growth: {grow[0]}, {grow[1][0]} -> {grow[1][1]} kB); largest trace {trace / 1024:.0f} KiB")
    ratio, call, bound = ledger.longest()
    if call:
        print(f"  longest call against its bound: {call['who']} '{call['lines'][0][:50]}' "
              f"{call['end'] - call['start']:.2f} s of {bound:.2f} s")
    print("\nChecks and their chances (the events where each could have failed):")
    print(chance_table(ledger, forged_count))


def print_failure(workdir, seed, records, ledger, why):
    """The seed, and the first violation's story with the traces around it."""
    print(f"\nsoak: FAILED with seed {seed}: {why}")
    first = ledger.violations[0] if ledger.violations else None
    if first:
        who_of = (lambda m: "centre" if m == 0 else f"site {m - 1}")
        print(f"first violation ({first['kind']}):")
        for line in story_lines(first, ledger, records, workdir, who_of):
            print("  " + line)
    more = len(ledger.violations) - 1
    if more > 0:
        print(f"  ... and {more} more (soak-ledger.json)")


def last_line(args, records, ledger, converged, forged_count):
    kinds = len({f["kind"] for f in records.faults})
    forged = "" if forged_count is None else f", forged accepted {forged_count[0]} of {forged_count[1]}"
    ratio = ledger.longest()[0]
    minutes = f"{(records.ended - records.started) / 60:.{0 if args.minutes >= 2 else 1}f}"
    return (f"soak: {len(records.faults)} faults of {kinds} kinds over {minutes} min, "
            f"{len(ledger.frames)} frames, lost {ledger.counts('lost')}, applied twice {ledger.counts('applied twice')}, "
            f"went back {ledger.counts('went back')}{forged}, converged {'yes' if converged else 'no'}, longest call "
            f"{ratio:.2f} of its bound; chances: " + ", ".join(f"{c} {ledger.chances[c]}" for c in CHECKS))
