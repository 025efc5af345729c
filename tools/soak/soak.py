#!/usr/bin/env python3
"""A fleet under mixed faults, for as long as asked, checked by a ledger.

Runs the fleet of tools/fleet (a centre scanning and writing, sites measuring
and reporting, each station a kelvora-host session on the real driver) while
the faults of soak_faults.py, drawn from the seed, strike random modems at
random moments, alone and together. Every value written is unique. Some
slots are hot (a site reporting its setpoint group every few seconds, the
centre writing one site's setpoint again and again), so that the network's
faults meet a later frame for the same registers. The ledger (soak_ledger.py)
checks as the run goes that nothing was lost, applied twice or went back, and
at the end also that every host call stayed within its bound, the drain
converged with every store empty and the hosts' memory and traces stayed
flat; each check counts its chances. It ends with a table by fault kind, one
of the checks and their chances, and one last line; the exit code is 1 with
the seed and the first violation's story when any check failed, or when a
soak of 10 minutes or more gave a check fewer than 20 chances. The same seed
replays the same faults.
"""

import argparse
import json
import os
import random
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fleet"))
sys.path.insert(0, os.path.join(HERE, "..", "demo"))
from fleet import (CENTRE_NUMBER, SERVICE_CENTRE, Fleet, FleetError, HostSession, Players, Simulator,  # noqa: E402
                   collect_simulator)
from fleet_records import Records, analyse, format_table  # noqa: E402
from soak_faults import KEY_KINDS, KINDS, schedule  # noqa: E402
from soak_ledger import CHECKS, COUNTED, REQUIRED_CHANCES, Ledger  # noqa: E402

DRAIN_VALUE_BASE = 3_000_000_000  # the drain's fresh values, above every value of the run
FORGED_VALUE_BASE = 0xFEED0000    # a forgery's values: no host ever writes them
SIGNED_TAIL = 46                  # "#", the counter, "#", the code after a signed frame
HOT_PERIOD_S = 1.0                # the hot site's pause between its reports (each read's report takes ~4 s)


def hot_sites(sites):
    """(the site that reports its setpoint group every few seconds, or None; the site whose setpoint the
    centre writes again and again): hot slots, where a later frame for the same registers follows soon."""
    return (0 if sites >= 2 else None), (1 if sites >= 2 else 0)


class SoakSimulator(Simulator):
    """A network that keeps messages for a full store, as GSM networks do; modems commissioned with echo off,
    so that a restart turns it back on."""

    def __init__(self, args, workdir, wine_prefix):
        super().__init__(args, workdir, wine_prefix, ["--keep-when-full"])
        for m in range(args.sites + 1):
            self.request({"cmd": "echo", "modem": m, "on": False})


class TimedSession(HostSession):
    """A host session whose every call is in the records: who, which modem, when it began and ended."""

    def __init__(self, who, argv, records, env=None, line_end="\n"):
        super().__init__(who, argv, records, env, line_end)
        self.modem = 0 if who == "centre" else int(who.split()[1]) + 1

    def run(self, lines, timeout):
        start = time.time()
        out = super().run(lines, timeout)
        reads = sum(len(line.split()) - 1 for line in lines if line.startswith("read"))
        self.records.calls.append({"who": self.who, "modem": self.modem, "start": start, "end": time.time(),
                                   "lines": lines, "reads": reads})
        return out


def process_rss_kb(pid):
    """Resident memory of a process and its descendants (a host under Wine runs below a script)."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    total, todo = 0, [pid]
    while todo:
        p = todo.pop()
        todo += children.get(p, [])
        try:
            with open(f"/proc/{p}/status") as f:
                total += next((int(line.split()[1]) for line in f if line.startswith("VmRSS:")), 0)
        except OSError:
            pass
    return total


class Soak(Fleet):
    def __init__(self, args, records, sessions, simulator, faults, workdir):
        super().__init__(args, records, sessions, simulator)
        self.faults, self.workdir = faults, workdir
        self.report_again = threading.Event()   # faults are off and the network quiet: report once more
        self.reported = set()                   # sites that have
        self.draining = set()                   # sites whose reports are off until then
        self.writing = 0                        # the centre's host in the middle of a write
        self.final_values = {}                  # site -> {address: value} at the end of the drain
        self.own_values = {}                    # site -> {address: value} its host wrote last
        self.memory, self.traces = {}, {}
        self.first_violation = None
        self.forged_values = set()              # the values the forgeries carried

    # --- the hot slots ---------------------------------------------------------------------------------------

    def site_measure(self, s, host):
        """The hot site reports one group, its setpoint group with a new heartbeat, every few seconds;
        every other site measures as in the fleet."""
        if s != hot_sites(self.args.sites)[0]:
            return super().site_measure(s, host)
        sp = self.setpoint_group
        host.run([f"write SMSC={SERVICE_CENTRE} DETC={CENTRE_NUMBER} COMFLAG=1"], 120)
        tick = 0
        while not self.ending.is_set():
            self.site_read(s, host, [f"write M{sp + 1}={self.value(tick, s, sp + 1)}", f"read M{sp}"])
            tick += 1
            self.ending.wait(HOT_PERIOD_S)
        self.ticks[s] = tick

    def write_site(self, n):
        """Two writes in three go to the hot site's setpoint, the third to each other site in turn."""
        hot = hot_sites(self.args.sites)[1]
        if n % 3 < 2 or self.args.sites == 1:
            return hot
        others = [s for s in range(self.args.sites) if s != hot]
        return others[(n // 3) % len(others)]

    # --- the sites: measure, drain, report once more -----------------------------------------------------

    def site(self, s):
        try:
            host = self.sessions[s + 1]
            self.site_measure(s, host)
            # Reports off while the network empties (a report would keep it busy); polls go on, so
            # that what the network keeps for a full store finds room.
            self.site_read(s, host, ["write COMFLAG=0"])
            with self.lock:
                self.draining.add(s)
            while not self.report_again.wait(3.5) and not self.finished.is_set():
                self.site_read(s, host, [f"read M{self.setpoint_group}"])
            if self.finished.is_set():
                return
            self.site_read(s, host, ["write COMFLAG=1"])
            # A fresh value in every group, then every group read whole: one more report each.
            tick = self.ticks.get(s, 0)
            values = {}
            for first in range(0, 5 * self.args.groups, 5):
                address = first + 1 if first == self.setpoint_group else first
                values[address] = DRAIN_VALUE_BASE + tick * 100_000 + s * 1000 + address
            self.site_read(s, host, ["write " + " ".join(f"M{k}={v}" for k, v in values.items())])
            # One read a group: each read that polls reports, and the report's send outlasts the 3 s
            # between polls, so a second read of the group would report again. The group's other
            # registers are what this site's host wrote there last (nothing else writes them).
            for first in range(0, 5 * self.args.groups, 5):
                self.site_read(s, host, [f"read M{first}"])
            final = self.final_values.setdefault(s, {})
            for first in range(0, 5 * self.args.groups, 5):
                for address in range(first, first + 5):
                    final[address] = self.own_values.get(s, {}).get(address, 0)
                final[first] = next(r["value"] & 0xFFFFFFFF for r in reversed(self.records.site_reads)
                                    if r["site"] == s and r["address"] == first)
            with self.lock:
                self.reported.add(s)
        except Exception as e:  # noqa: BLE001
            self.fail(f"site {s}: {e}")

    # --- faults, samples, checks as it goes ------------------------------------------------------------------

    # --- forgeries and replays (keys on) --------------------------------------------------------------------

    def signed_sent_to(self, modem, older_than):
        """Genuine signed frames the network delivered to the modem before `older_than`, oldest first."""
        return [x for x in self.simulator.request({"cmd": "submitted"}, timeout=60)["submitted"]
                if x.get("to") == modem and x.get("accepted") and x.get("delivered_ms")
                and x["delivered_ms"] / 1000.0 < older_than
                and "#" in x.get("decoded", {}).get("text", "")]

    def key_messages(self, modem, request):
        """The inject requests of one forgery or replay for the modem: [(request, forged value or None)]."""
        sites = self.args.sites
        if request["cmd"] == "replay":
            # One of the last two: the newest frame for its registers, whose second taking a later change
            # of them (the centre's own write of its setpoint) would show.
            sent = self.signed_sent_to(modem, time.time() - 5.0)[-2:]
            if not sent:
                return []
            x = sent[min(len(sent) - 1, int(request["pick"] * len(sent)))]
            return [({"cmd": "inject", "sender": x["from_number"], "text": x["decoded"]["text"], "coding": "gsm7"},
                     None)]
        serial = request["serial"] + 65536 * len(self.forged_values)
        value = (FORGED_VALUE_BASE + serial) & 0xFFFFFFFF
        sp = self.setpoint_group
        if modem == 0:  # to the centre, as a site's report
            site = serial % sites
            sender = self.simulator.modems[site + 1]["number"]
            frame = f"BEGINRM{site:02d}{sp:03d}" + f"{value:08X}" * 5 + "END"
        else:           # to a site, as the centre's write command for its setpoint
            site = modem - 1
            sender = self.simulator.modems[0]["number"]
            frame = f"BEGINWM{site:02d}{sp:03d}{value:08X}END"
        text = frame
        if request["how"] == "made-up code":
            text = frame + "#7FFFFFFFFFFF#" + f"{random.Random(serial).getrandbits(128):032X}"
        elif request["how"] == "altered":
            sent = self.signed_sent_to(modem, time.time())
            if not sent:
                return []
            genuine = sent[-1]["decoded"]["text"]
            body = genuine[:-SIGNED_TAIL]
            at = 12 if body.startswith("BEGINWM") else 12 + 8 * (serial % 5)
            text = body[:at] + f"{value:08X}" + body[at + 8:] + genuine[-SIGNED_TAIL:]
        return [({"cmd": "inject", "sender": sender, "text": text, "coding": "gsm7"}, value)]

    def inject(self):
        for offset, modem, kind, requests in self.faults:
            if self.ending.wait(max(0.0, self.records.started + offset - time.time())):
                return
            when = time.time()
            if kind in KEY_KINDS:
                delivered = []
                try:
                    for request, value in [m for r in requests for m in self.key_messages(modem, r)]:
                        try:
                            self.simulator.request(dict(request, modem=modem))
                        except FleetError as e:
                            if "store full" in str(e):
                                continue  # not delivered: no chance for the check
                            raise
                        delivered.append(request)
                        if value is not None:
                            self.forged_values.add(value)
                except (FleetError, OSError, ValueError) as e:
                    self.fail(f"the simulator refused a {kind} message for modem {modem}: {e}")
                    return
                self.records.faults.append({"time": when, "modem": modem, "kind": kind, "requests": delivered,
                                            "messages": len(delivered)})
                continue
            for request in requests:
                try:
                    self.simulator.request(dict(request, modem=modem))
                except (FleetError, OSError, ValueError) as e:
                    self.fail(f"the simulator refused the fault {kind} on modem {modem}: {e}")
                    return
            self.records.faults.append({"time": when, "modem": modem, "kind": kind, "requests": requests})

    def stores_empty(self, modems):
        """Every store holds nothing but the messages in places that refuse deletes."""
        return all(m["stored"] == m.get("stuck", 0) for m in modems)

    def faults_off(self):
        for m in range(self.args.sites + 1):
            self.simulator.request({"cmd": "clear_faults", "modem": m})
            for cmd in ("hold_back", "deliver_twice"):
                self.simulator.request({"cmd": cmd, "modem": m, "times": 0})

    def sample(self):
        for session in self.sessions:
            self.memory.setdefault(session.who, []).append((time.time(), process_rss_kb(session.proc.pid)))
            path = trace_path(self.workdir, session.who)
            size = sum(os.path.getsize(p) for p in (path, path + ".1") if os.path.exists(p))
            self.traces.setdefault(session.who, []).append((time.time(), size))

    def watch(self):
        """Samples memory and traces every 10 s; every 30 s checks what the hosts read so far."""
        last_check = time.time()
        while not self.finished.wait(10.0):
            self.sample()
            if time.time() - last_check < 30.0 or self.ending.is_set():
                continue
            last_check = time.time()
            try:
                collect_simulator(self.simulator, self.records)
            except (FleetError, OSError, ValueError):
                continue
            ledger = Ledger(self.records, self.setpoint_group, self.args.timeout_ms, self.args.baud)
            ledger.load_frames()
            ledger.check_order()
            ledger.check_lost()
            if ledger.violations:
                self.first_violation = ledger.violations[0]
                self.fail(f"{ledger.violations[0]['kind']} during the run")
                return

    # --- the run -----------------------------------------------------------------------------------------

    def site_read(self, s, host, lines):
        for line in lines:
            if line.startswith("write "):
                own = self.own_values.setdefault(s, {})
                for item in line.split()[1:]:
                    address, value = item.split("=")
                    if address[0] == "M" and address[1:].isdigit():
                        own[int(address[1:])] = int(value) & 0xFFFFFFFF
        super().site_read(s, host, lines)

    def write(self, host, site, value):
        with self.lock:
            self.writing += 1
        try:
            super().write(host, site, value)
        finally:
            with self.lock:
                self.writing -= 1

    def quiet(self):
        """Nothing on its way: no host in the middle of a call that sends, nothing in transit or held back."""
        with self.lock:
            if self.writing or len(self.draining) < self.args.sites:
                return False
        stats = self.simulator.request({"cmd": "stats"})
        return not stats.get("pending", 0) and not stats.get("held", 0)

    def wait_for(self, condition, limit, what):
        deadline = time.time() + limit
        while not self.finished.is_set():
            if condition():
                return True
            if time.time() > deadline:
                self.fail(f"the drain did not end: {what} within {limit:.0f} s")
                return False
            time.sleep(0.5)
        return False

    def play(self):
        a = self.args
        self.centre_ready = threading.Event()
        threads = [threading.Thread(target=self.centre, daemon=True)]
        threads[0].start()
        if not self.centre_ready.wait(180) or self.failure:
            raise FleetError(self.failure or "the centre's host did not set its numbers within 180 s")
        threads += [threading.Thread(target=self.site, args=(s,), daemon=True) for s in range(a.sites)]
        threads += [threading.Thread(target=f, daemon=True) for f in (self.inject, self.watch)]
        for t in threads[1:]:
            t.start()
        print(f"soak: running {a.minutes:g} min with {len(self.faults)} faults ...", flush=True)
        self.ending.wait(a.minutes * 60)
        self.ending.set()
        self.records.ended = time.time()
        if not self.finished.is_set():
            print("soak: time is up; faults off, draining (every write applied, nothing in transit, every site "
                  "reports once more, the centre polls) ...", flush=True)
            self.faults_off()
            if self.wait_for(self.quiet, a.drain_limit, "writes applied and the network quiet"):
                self.report_again.set()

                def reported():
                    with self.lock:
                        done = len(self.reported) == a.sites
                    if not done or not self.quiet():
                        return False
                    return self.stores_empty(self.simulator.request({"cmd": "modems"})["modems"][:1])

                if self.wait_for(reported, a.drain_limit, "every site's last reports through the centre's store"):
                    since = time.time()
                    if self.wait_for(lambda: any(st > since for st in self.scans_since), 120,
                                     "a scan after the last report"):
                        time.sleep(0.2)
                        with self.lock:
                            self.records.drain_complete = any(st > since for st in self.scans_since)
        self.finished.set()
        self.records.drained = time.time()
        for t in threads:
            t.join(timeout=600)
        self.sample()
        if self.failure:
            raise FleetError(self.failure)


def make_keys(args, workdir):
    """site -> its key file, made by the console's keygen (the host the players run) for the centre's and
    the site's numbers (the simulator numbers its modems from the centre's up)."""
    import subprocess
    base = [args.wine_run, args.host] if args.win32 else [args.host]
    first = int(CENTRE_NUMBER.lstrip("+"))
    keys = {}
    for s in range(args.sites):
        path = os.path.join(workdir, f"site{s}.key")
        if os.path.exists(path):
            os.remove(path)
            for role in ("centre", "site"):
                if os.path.exists(f"{path}.{role}.counters"):
                    os.remove(f"{path}.{role}.counters")
        done = subprocess.run(base + ["keygen", path, "--centre", CENTRE_NUMBER, "--site", f"+{first + s + 1}"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=120)
        if done.returncode != 0:
            raise FleetError(f"keygen for site {s}: {done.stdout.strip()}")
        keys[s] = path
    return keys


def forged_accepted(records, ledger, forged_values):
    """(forged or replayed messages the network delivered, those a station took): a forged value in any read,
    and every violation that struck a modem within 180 s after a replay to it."""
    delivered = sum(f.get("messages", 0) for f in records.faults)
    values = {r["value"] & 0xFFFFFFFF for r in records.site_reads + records.centre_reads}
    taken = len(values & forged_values)
    replays = [f for f in records.faults if f["kind"] == "replayed" and f.get("messages")]
    for v in ledger.violations:
        if any(f["modem"] in v["modems"] and v["time"] and f["time"] <= v["time"] <= f["time"] + 180
               for f in replays):
            taken += 1
    return taken, delivered


def trace_path(workdir, who):
    return os.path.join(workdir, "trace-" + who.replace(" ", "") + ".log")


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
    for kind in KINDS + KEY_KINDS:
        faults = [f for f in records.faults if f["kind"] == kind]
        if kind in KEY_KINDS and not faults:
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


def run(args, workdir, seed):
    config = {k: v for k, v in vars(args).items() if k not in ("simulator", "host", "library", "dll", "wine_run")}
    config["seed"] = seed
    records = Records(config)
    records.calls, records.faults = [], []
    reporter, target = hot_sites(args.sites)
    hot = tuple(sorted({0, target + 1} | ({reporter + 1} if reporter is not None else set())))
    one_slot = (0,) + ((reporter + 1,) if reporter is not None else ())  # the centre writes setpoints only
    faults = schedule(seed, args.minutes, args.sites + 1, args.timeout_ms, args.faults_per_minute, args.kinds, hot,
                      one_slot)
    soak = None
    error = None

    keys = make_keys(args, workdir) if args.keys else {}

    def host_extra(who):
        extra = ["--timeout", str(args.timeout_ms), f"--trace={trace_path(workdir, who)}", "--timestamps"]
        if keys and who == "centre":
            extra += [a for s, path in keys.items() for a in ("--key-file", f"{s}={path}")]
        elif keys:
            extra += ["--key-file", keys[int(who.split()[1])]]
        return extra

    try:
        with Players(args, workdir, records, SoakSimulator, TimedSession, host_extra) as players:
            soak = Soak(args, records, players.sessions, players.simulator, faults, workdir)
            try:
                soak.play()
            except FleetError as e:
                error = str(e)
            collect_simulator(players.simulator, records)
    except FleetError as e:
        error = error or str(e)
    if records.started is None:
        print(f"soak: FAIL (seed {seed}): {error}")
        return 1
    records.ended = records.ended or time.time()
    records.drained = records.drained or time.time()
    records.save(os.path.join(workdir, "soak-records.json"))

    ledger = Ledger(records, soak.setpoint_group, args.timeout_ms, args.baud)
    ledger.load_frames()
    ledger.check_order()
    ledger.check_lost()
    boot = {}
    for f in records.faults:
        for r in f["requests"]:
            if r["cmd"] in ("restart", "unplug"):  # an unplugged modem restarts when it is back
                boot[f["modem"]] = max(boot.get(f["modem"], 0.0), r.get("boot_ms", 0) / 1000.0)
    ledger.check_bounds(boot)
    converged = records.drain_complete and ledger.check_end(soak.final_values, args.sites, args.groups)
    if not records.drain_complete:
        # A drain that never ended is the run not converging, whatever held it (a station that never got
        # its line back, a message never delivered): the ledger says so, as it does for a wrong value.
        ledger.violation("not converged", records.drained, [],
                         [soak.failure or error or "the drain did not end"])
    warm_up = records.started + min(120.0, (records.ended - records.started) / 3)
    ledger.check_resources(None if args.memory_unjudged else soak.memory, soak.traces, warm_up)
    if soak.first_violation and soak.first_violation not in ledger.violations:
        ledger.violations.insert(0, soak.first_violation)
    forged_count = forged_accepted(records, ledger, soak.forged_values) if args.keys else None
    if forged_count and forged_count[0]:
        seen = sorted(soak.forged_values & {r["value"] & 0xFFFFFFFF for r in records.site_reads + records.centre_reads})
        ledger.violations.append({"kind": "forged accepted", "time": None, "modems": [], "story": [
            f"{forged_count[0]} of {forged_count[1]} forged or replayed messages taken by a station; forged values "
            f"read: {', '.join(f'{v:08X}' for v in seen[:8]) or 'none'}"]})
    with open(os.path.join(workdir, "soak-ledger.json"), "w") as f:
        json.dump({"violations": ledger.violations, "longest": ledger.longest()[0],
                   "memory": soak.memory, "traces": soak.traces}, f, indent=1, default=str)

    platform = "Kelvora.dll under Wine" if args.win32 else "the native driver library"
    print(f"\nSoak on the simulator ({platform}; seed {seed}; time-out {args.timeout_ms} ms; records in {workdir})")
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
    required = args.min_chances if args.min_chances is not None else (REQUIRED_CHANCES if args.minutes >= 10 else 0)
    unexercised = ledger.not_exercised(required) if required else []
    for line in unexercised:
        print(f"soak: {line} (at least {required} wanted)")
    kinds = len({f["kind"] for f in records.faults})
    frames = len(ledger.frames)
    problems = ([error] if error else []) + [v["kind"] for v in ledger.violations] + unexercised
    forged = ""
    if forged_count is not None:
        forged = f", forged accepted {forged_count[0]} of {forged_count[1]}"
    if problems:
        first = ledger.violations[0] if ledger.violations else None
        why = error or (first["kind"] if first else (unexercised[0] if unexercised else problems[0]))
        print(f"\nsoak: FAILED with seed {seed}: {why}")
        if first:
            who_of = (lambda m: "centre" if m == 0 else f"site {m - 1}")
            print(f"first violation ({first['kind']}):")
            for line in story_lines(first, ledger, records, workdir, who_of):
                print("  " + line)
        more = len(ledger.violations) - 1
        if more > 0:
            print(f"  ... and {more} more (soak-ledger.json)")
    print(f"soak: {len(records.faults)} faults of {kinds} kinds over {(records.ended - records.started) / 60:.{0 if args.minutes >= 2 else 1}f} min, "
          f"{frames} frames, lost {ledger.counts('lost')}, applied twice {ledger.counts('applied twice')}, "
          f"went back {ledger.counts('went back')}{forged}, converged {'yes' if converged else 'no'}, longest call "
          f"{ratio:.2f} of its bound; chances: " + ", ".join(f"{c} {ledger.chances[c]}" for c in CHECKS))
    return 1 if problems else 0


def main():
    p = argparse.ArgumentParser(description="A fleet under mixed faults, checked by a ledger.")
    p.add_argument("minutes", type=float, nargs="?", help="minutes of faults (default 10)")
    p.add_argument("--minutes", type=float, dest="minutes_option", help=argparse.SUPPRESS)
    p.add_argument("--seed", type=int, help="the faults' seed (default: a random one, printed)")
    p.add_argument("--sites", type=int, default=8, help="sites, 1 to 32 (default 8)")
    p.add_argument("--faults-per-minute", type=float, default=8.0, help="faults a minute across the fleet (default 8)")
    p.add_argument("--kinds", help="the fault kinds, comma-separated (default: all, with --keys the forgeries too)")
    p.add_argument("--keys", action="store_true",
                   help="a key for every site (keygen): every frame signed; forgeries and replays are drawn too, "
                        "and every one must be refused")
    p.add_argument("--timeout-ms", type=int, default=5000, help="the hosts' modem time-out (default 5000)")
    p.add_argument("--min-chances", type=int,
                   help=f"fail when a check had fewer chances (default {REQUIRED_CHANCES} from 10 minutes on, else 0)")
    p.add_argument("--memory-unjudged", action="store_true",
                   help="do not judge the hosts' memory (a sanitizer's allocator holds freed memory back on purpose)")
    p.add_argument("--baud", type=int, default=9600)
    p.add_argument("--groups", type=int, default=10)
    p.add_argument("--site-period", type=float, default=20.0, help="seconds between a site's measurements")
    p.add_argument("--scan-every", type=float, default=1.0)
    p.add_argument("--write-every", type=float, default=10.0, help="seconds between the centre's writes")
    p.add_argument("--send-delay-ms", type=int, default=3000)
    p.add_argument("--delivery-delay-ms", type=int, default=2000)
    p.add_argument("--capacity", type=int, default=30)
    p.add_argument("--drain-limit", type=float, default=300.0)
    p.add_argument("--poll-scope", choices=("group", "station"), default="station")
    p.add_argument("--simulator", required=True)
    p.add_argument("--host", required=True)
    p.add_argument("--library")
    p.add_argument("--win32", action="store_true")
    p.add_argument("--dll")
    p.add_argument("--wine-run")
    p.add_argument("--wine-prefix")
    p.add_argument("--workdir", help="keep the records here (default: a new temporary folder)")
    args = p.parse_args()
    args.minutes = args.minutes if args.minutes is not None else (args.minutes_option or 10.0)
    del args.minutes_option
    if not 1 <= args.sites <= 32:
        p.error("--sites must be 1 to 32")
    known = KINDS + (KEY_KINDS if args.keys else ())
    args.kinds = tuple(k.strip() for k in (args.kinds or ",".join(known)).split(",") if k.strip())
    unknown = [k for k in args.kinds if k not in known]
    if unknown or not args.kinds:
        p.error(f"unknown fault kinds {unknown}; the kinds: {', '.join(known)} (forged, replayed: with --keys)")
    if args.win32 and not (args.dll and args.wine_run and args.wine_prefix):
        p.error("--win32 needs --dll, --wine-run and --wine-prefix")
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 2**31)
    workdir = args.workdir or tempfile.mkdtemp(prefix="kelvora-soak-")
    os.makedirs(workdir, exist_ok=True)
    print(f"Kelvora soak: seed {seed} ({' '.join(sys.argv[1:])}); {args.sites} sites and a centre for "
          f"{args.minutes:g} min, about {args.faults_per_minute:g} faults a minute of {len(args.kinds)} kinds; "
          f"replay with --seed {seed}", flush=True)
    try:
        return run(args, workdir, seed)
    except KeyboardInterrupt:
        print(f"soak: FAILED with seed {seed}: interrupted")
        return 1


if __name__ == "__main__":
    sys.exit(main())
