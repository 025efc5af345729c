#!/usr/bin/env python3
"""A fleet on the simulator: one centre serving N sites, as in the field.

Starts the modem simulator with one modem for the centre and one for each
site, on a network that takes its time (a send is answered a few seconds
later, and lands a little after), and one kelvora-host session per station,
each loading the real driver as a host does (natively the shared library,
with --win32 Kelvora.dll under Wine):

- each site's host, every --site-period seconds (the sites spread over the
  period), writes new values into its next measurement group and reads it,
  then reads its setpoint group; COMFLAG is on, so each read that polls
  reports its group to the centre. Every value is unique (tick, site,
  address), so each report can be told from every other;
- the centre's host scans every group of every site in a loop, and every
  --write-every seconds writes a new setpoint to the next site.

When the time is up the sites stop measuring, the network is drained (every
write applied at its site, every report through the centre's modem, one
more scan), and the run ends with a table and a verdict line. Everything
judged comes from the simulator's records and what the hosts read (see
fleet_records.py); the records are kept as JSON in the work folder.
"""

import argparse
import json
import os
import queue
import re
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo"))
from demo import Wine  # noqa: E402  (the demo's Wine prefix)
from host_terminal import HostProcess  # noqa: E402
from simulator_process import SimulatorProcess  # noqa: E402
from fleet_records import SCAN_GOAL_S, Records, analyse, format_table, parse_frame  # noqa: E402
from fleet_view import analyse_view, format_view  # noqa: E402

CENTRE_NUMBER = "+8613900000001"  # modem 0; site s is modem s + 1
SERVICE_CENTRE = "+8613800000000"
WINE_COM_BASE = 21
SETPOINT_BASE = 900_000_000


class FleetError(Exception):
    pass


class Simulator(SimulatorProcess):
    def __init__(self, args, workdir, wine_prefix, extra=()):
        options = list(extra) + ["--modems", str(args.sites + 1), "--first-number", CENTRE_NUMBER,
                   "--service-centre", SERVICE_CENTRE, "--baud", str(args.baud), "--capacity", str(args.capacity),
                   "--send-delay", str(args.send_delay_ms), "--delivery-delay", str(args.delivery_delay_ms)]
        if wine_prefix:
            options += ["--wine-prefix", wine_prefix, "--com-base", str(WINE_COM_BASE)]
        super().__init__(args.simulator, workdir, options, FleetError, start_seconds=30)


def host_time(line, received):
    """(when, line): a line the host stamped (--timestamps) with the stamp taken off, at the time of the
    stamp; otherwise the time the line was received. A stamp far from that (another time zone) is not used."""
    m = STAMP.match(line)
    if not m:
        return received, line
    y, mo, d, h, mi, sec, ms = (int(x) for x in m.groups()[:7])
    when = time.mktime((y, mo, d, h, mi, sec, 0, 0, -1)) + ms / 1000.0
    return (when if abs(when - received) < 5.0 else received), m.group(8)


STAMP = re.compile(r"^(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})  (.*)$")


class HostSession(HostProcess):
    """One kelvora-host process fed script lines at its terminal (see host_terminal.py). Values,
    results and the end mark come back on one stream (standard output), so each line is known to
    belong to the script lines that asked for it. A host started with --timestamps says when it
    printed each line; a line begins after the one before it printed, so each output comes with
    `since`, the latest time its operation can have begun."""

    VALUE = re.compile(r"^M(\d+)(?:\.(\d+))? = (-?\d+)(?:  \((.*)\))?$")
    # The batch's last word after a read the centre failed (--stale-after): counted with the reads.
    READ_FAILED_SUMMARY = "a read failed (--stale-after)"

    def __init__(self, who, argv, records, env=None, line_end="\n"):
        self.who, self.records = who, records
        super().__init__(argv, env, line_end)
        self.counter = 0

    def run(self, lines, timeout):
        """Runs script lines; returns [(time, kind, line, match, since)] they printed, values decoded:
        kind 'value'."""
        self.counter += 1
        mark = f"@@fleet-{self.counter}"
        since = time.time()
        try:
            self.terminal.type(lines + [f"echo {mark}"])
        except OSError:
            raise FleetError(f"{self.who}: the host is no longer running (exit code {self.proc.poll()})")
        deadline = time.time() + timeout
        out = []
        while True:
            remaining = deadline - time.time()
            if remaining <= 0:
                raise FleetError(f"{self.who}: no answer to '{lines[0][:60]}' within {timeout:.0f} s")
            try:
                when, kind, line = self.lines.get(timeout=min(remaining, 0.5))
            except queue.Empty:
                continue
            if line is None:
                raise FleetError(f"{self.who}: the host ended (exit code {self.proc.wait(timeout=5)})")
            when, line = host_time(line, when)
            if line == mark:
                return out
            began, since = since, (when if kind == "out" else since)
            m = self.VALUE.match(line) if kind == "out" else None
            if m:
                out.append((when, "value", int(m.group(3)), m, began))
                continue
            if (kind == "err" or "NOT sent" in line) and self.READ_FAILED_SUMMARY not in line:
                self.records.host_errors.append({"who": self.who, "time": when, "line": line})
            out.append((when, kind, line, None, began))


class Fleet:
    def __init__(self, args, records, sessions, simulator):
        self.args, self.records, self.sessions, self.simulator = args, records, sessions, simulator
        self.lock = threading.Lock()
        self.ending = threading.Event()      # the run's time is up: no new measurements or writes
        self.finished = threading.Event()    # the drain is over: every thread stops
        self.failure = None
        self.setpoint_group = 5 * (args.groups - 1)
        self.unapplied = {}                  # site -> setpoint values written and not yet read at the site
        self.scans_since = []                # start times of the centre's complete scans
        self.busy = 0                        # sites' hosts in the middle of their reads
        self.ticks = {}                      # site -> measurements made
        self.silenced = set()                # sites whose modem was made silent: no more reads or writes
        self.silence_site = getattr(args, "silence_site", None)  # none in the soak
        self.reading = set()                 # sites whose hosts are in the middle of their reads

    def fail(self, error):
        with self.lock:
            if self.failure is None:
                self.failure = str(error)
        self.ending.set()
        self.finished.set()

    def value(self, tick, site, address):
        return (tick + 1) * 100_000 + site * 1000 + address

    # --- a site's host ---------------------------------------------------------------------------------------

    def site(self, s):
        try:
            host = self.sessions[s + 1]
            self.site_measure(s, host)
            self.site_drain(s, host, self.finished)
        except Exception as e:  # noqa: BLE001  (any failure ends the run with its story)
            self.fail(f"site {s}: {e}")

    def site_measure(self, s, host):
        """Until the run's time is up: a measurement every --site-period seconds, each read reporting."""
        a = self.args
        host.run([f"write SMSC={SERVICE_CENTRE} DETC={CENTRE_NUMBER} COMFLAG=1"], 120)
        start = self.records.started + a.site_period * s / a.sites
        tick = 0
        measured = self.args.groups - 1
        while not self.ending.is_set() and s not in self.silenced:
            due = start + tick * a.site_period
            if self.ending.wait(max(0.0, due - time.time())):
                break
            first = 5 * (tick % measured)
            values = {first + i: self.value(tick, s, first + i) for i in range(5)}
            values[self.setpoint_group + 1] = self.value(tick, s, self.setpoint_group + 1)  # a heartbeat
            # One read a group: with the network's answer taking 3 s, every read of a group polls
            # (and reports) again, its poll time being older than 3 s once the report is out.
            self.site_read(s, host, [
                "write " + " ".join(f"M{k}={v}" for k, v in values.items()),
                f"read M{first}", f"read M{self.setpoint_group}"])
            tick += 1
        self.ticks[s] = tick

    def site_drain(self, s, host, until):
        """Reads the setpoint group while the centre's writes are on their way here, until `until` is set."""
        last = time.time()
        while not until.is_set() and not self.finished.is_set() and s not in self.silenced:
            with self.lock:
                waiting = bool(self.unapplied.get(s))
            if waiting and time.time() - last >= 3.5:
                self.site_read(s, host, [f"read M{self.setpoint_group}"])
                last = time.time()
            until.wait(0.5)

    def site_read(self, s, host, lines):
        timeout = 60 + 20 * len(lines)
        with self.lock:
            if s in self.silenced:
                return
            self.busy += 1  # its reports are not in the simulator's books before the reads end
            self.reading.add(s)
        try:
            out = host.run(lines, timeout)
        finally:
            with self.lock:
                self.busy -= 1
                self.reading.discard(s)
        for when, kind, v, m, since in out:
            if kind != "value":
                continue
            address, value = int(m.group(1)), v
            self.records.site_reads.append({"time": when, "since": since, "site": s, "address": address,
                                            "value": value})
            if address == self.setpoint_group:
                with self.lock:
                    self.unapplied.get(s, set()).discard(value)

    # --- the centre's host ---------------------------------------------------------------------------------

    def centre(self):
        try:
            a, host = self.args, self.sessions[0]
            numbers = " ".join(f"SMSC{s}={SERVICE_CENTRE} DETC{s}={self.simulator.modems[s + 1]['number']}"
                               for s in range(a.sites))
            host.run([f"write {numbers}"], 120)
            self.records.started = time.time()
            self.centre_ready.set()
            self.next_write, self.written = self.records.started + a.write_every, 0
            while not self.finished.is_set():
                started = time.time()
                self.scan(host)
                # Writes wait for the end of a scan, as in a host's cycle.
                if not self.ending.is_set() and time.time() >= self.next_write:
                    site = self.write_site(self.written)
                    if site != self.silence_site:
                        self.write(host, site, SETPOINT_BASE + self.written * 1000 + site)
                    self.written += 1
                    self.next_write += a.write_every
                self.finished.wait(max(0.0, started + a.scan_every - time.time()))
        except Exception as e:  # noqa: BLE001
            self.fail(f"centre: {e}")

    def write_site(self, n):
        """The site the centre's n-th write goes to: each in turn."""
        return n % self.args.sites

    def scan(self, host):
        a = self.args
        start, complete = time.time(), True
        for s in range(a.sites):
            if self.finished.is_set():
                complete = False
                break
            # A poll under the group scope may list a full store at a slow line: time for each group.
            out = host.run(["read " + " ".join(f"M{s}.{i}" for i in range(5 * a.groups))],
                           60 + a.groups * (5 + a.capacity * 0.5))
            values = [(when, int(m.group(2)), v) for when, kind, v, m, _ in out if kind == "value"]
            self.records.centre_reads += [{"time": when, "since": since, "site": s, "address": int(m.group(2)),
                                           "value": v & 0xFFFFFFFF} for when, kind, v, m, since in out
                                          if kind == "value"]
            self.records.read_failures += [{"time": when, "site": s, "address": int(m.group(2))}
                                           for when, kind, v, m, _ in out
                                           if kind == "value" and (m.group(4) or "").startswith("read failed")]
            for k in range(0, len(values) - 4, 5):
                five = values[k:k + 5]
                self.records.centre_groups.append({"time": five[0][0], "site": s, "first": five[0][1],
                                                   "values": [x[2] & 0xFFFFFFFF for x in five]})
        self.records.scans.append({"start": start, "end": time.time(), "groups": a.sites * a.groups,
                                   "complete": complete})
        if complete:
            with self.lock:
                self.scans_since.append(start)

    def write(self, host, site, value):
        with self.lock:
            self.unapplied.setdefault(site, set()).add(value)
        start = time.time()
        out = host.run([f"write M{site}.{self.setpoint_group}={value}"], 120)
        lines = [line for _, kind, line, _, _ in out if kind != "value"]
        outcome = "sent" if any(re.search(r"<- -?\d+\s+sent", line) for line in lines) else "not sent"
        if outcome != "sent":
            with self.lock:
                self.unapplied[site].discard(value)
        self.records.writes.append({"who": "centre", "site": site, "address": self.setpoint_group, "value": value,
                                    "start": start, "end": time.time(), "outcome": outcome,
                                    "line": lines[-1] if lines else ""})

    # --- the run ---------------------------------------------------------------------------------------------

    def silence(self):
        """--silence-site: once its writes are applied, the site's modem says nothing more (its host stops)."""
        a = self.args
        try:
            if self.ending.wait(a.silence_at):
                return
            deadline = time.time() + 120
            while time.time() < deadline and not self.finished.is_set():
                with self.lock:
                    if not self.unapplied.get(self.silence_site) and self.silence_site not in self.reading:
                        self.silenced.add(self.silence_site)
                        break
                time.sleep(0.2)
            if self.silence_site not in self.silenced:
                raise FleetError(f"site {self.silence_site}: not idle with its writes applied within 120 s")
            self.simulator.request({"cmd": "fault", "modem": self.silence_site + 1, "kind": "silence", "times": -1})
            self.records.silenced = {"site": self.silence_site, "time": time.time()}
            print(f"fleet: site {self.silence_site}'s modem is silent from now on", flush=True)
        except Exception as e:  # noqa: BLE001
            self.fail(f"silencing site {self.silence_site}: {e}")

    def drained(self):
        """True once nothing is on its way: writes applied, the network and the centre's store empty."""
        with self.lock:
            if self.busy or any(self.unapplied.values()):
                return False
        stats = self.simulator.request({"cmd": "stats"})
        if stats.get("pending", 0):
            return False
        modems = self.simulator.request({"cmd": "modems"})["modems"]
        return modems[0]["stored"] == 0

    def play(self):
        a = self.args
        self.centre_ready = threading.Event()
        threads = [threading.Thread(target=self.centre, daemon=True)]
        threads[0].start()
        if not self.centre_ready.wait(180) or self.failure:
            raise FleetError(self.failure or "the centre's host did not set its numbers within 180 s")
        threads += [threading.Thread(target=self.site, args=(s,), daemon=True) for s in range(a.sites)]
        if self.silence_site is not None:
            threads.append(threading.Thread(target=self.silence, daemon=True))
        for t in threads[1:]:
            t.start()
        print(f"fleet: running {a.minutes:g} min ...", flush=True)
        self.ending.wait(a.minutes * 60)
        self.ending.set()
        self.records.ended = time.time()
        print("fleet: time is up; draining (every write applied, every report through, one more scan) ...",
              flush=True)
        limit = time.time() + a.drain_limit
        quiet_since = None
        while not self.finished.is_set() and time.time() < limit:
            if self.drained():
                quiet_since = quiet_since or time.time()
                with self.lock:
                    rescanned = any(start > quiet_since for start in self.scans_since)
                if rescanned:
                    self.records.drain_complete = True
                    break
            else:
                quiet_since = None
            time.sleep(0.5)
        self.finished.set()
        self.records.drained = time.time()
        for t in threads:
            t.join(timeout=600)
        if self.failure:
            raise FleetError(self.failure)


def host_argv(args, role, port, extra):
    base = [args.wine_run, args.host] if args.win32 else [args.host]
    argv = base + [role, "--port", port, "--baud", str(args.baud), "--script", "-", "--keep-going"] + extra
    if args.library:
        argv += ["--library", args.library]
    return argv


def collect_simulator(simulator, records):
    records.submitted = simulator.request({"cmd": "submitted"}, timeout=60)["submitted"]
    records.modems = simulator.request({"cmd": "modems"})["modems"]
    for m in records.modems:
        records.command_logs[m["index"]] = simulator.request({"cmd": "log", "modem": m["index"]}, timeout=60)["log"]


class Players:
    """Wine (with --win32), the simulator and one host session per station, started in order and stopped
    however the run ends. `host_extra(who)` gives more options for a station's host."""

    def __init__(self, args, workdir, records, simulator_class=None, session_class=None, host_extra=None):
        self.args, self.workdir, self.records = args, workdir, records
        self.simulator_class = simulator_class or Simulator
        self.session_class = session_class or HostSession
        self.host_extra = host_extra or (lambda who: [])
        self.wine = self.simulator = None
        self.sessions = []

    def __enter__(self):
        args, env = self.args, None
        if args.win32:
            self.wine = Wine(args.wine_prefix, args.wine_run, "fleet")
            print("fleet: starting Wine", flush=True)
            self.wine.start()
            ok, path = self.wine.register(args.dll)
            print(f"fleet: regsvr32 {path}: " + ("registered" if ok else "FAILED (the hosts load the DLL directly)"))
            env = self.wine.env
        simulator = self.simulator = self.simulator_class(args, self.workdir, args.wine_prefix if args.win32 else None)
        self.records.numbers = {"centre": 0, **{str(s): s + 1 for s in range(args.sites)}}

        def port(i):
            return f"COM{simulator.modems[i]['com']}" if args.win32 else simulator.modems[i]["device"]

        line_end = "\r" if args.win32 else "\n"
        stale = getattr(args, "stale_after", 0)  # the soak runs the centre without the view's options
        view = (["--hold-writes"] if getattr(args, "hold_writes", False) else []) + \
            (["--stale-after", f"{stale:g}"] if stale else [])
        self.sessions.append(self.session_class(
            "centre", host_argv(args, "central", port(0),
                                ["--poll-scope", args.poll_scope] + view + self.host_extra("centre")),
            self.records, env, line_end))
        for s in range(args.sites):
            self.sessions.append(self.session_class(
                f"site {s}", host_argv(args, "remote", port(s + 1), ["--device", str(s)] + self.host_extra(f"site {s}")),
                self.records, env, line_end))
        return self

    def __exit__(self, *exc):
        for h in self.sessions:
            h.stop(20 if self.args.win32 else 10)
        if self.wine:
            self.wine.stop()
        if self.simulator:
            self.simulator.stop()
        return False


def run(args, workdir):
    config = {k: v for k, v in vars(args).items() if k not in ("simulator", "host", "library", "dll", "wine_run")}
    records = Records(config)
    try:
        with Players(args, workdir, records) as players:
            fleet = Fleet(args, records, players.sessions, players.simulator)
            error = None
            try:
                fleet.play()
            except FleetError as e:
                error = str(e)
            collect_simulator(players.simulator, records)
    except FleetError as e:
        print(f"VERDICT: FAIL: {e}")
        return 1
    if records.ended is None:
        records.ended = time.time()
    if records.started is None:
        records.started = records.ended
    path = os.path.join(workdir, "fleet-records.json")
    records.save(path)
    summary = analyse(records)
    view = analyse_view(records, parse_frame)
    summary["view"] = view
    summary["problems"] += view["problems"]
    if error:
        summary["problems"].insert(0, error)
    with open(os.path.join(workdir, "fleet-summary.json"), "w") as f:
        json.dump(summary, f, indent=1)
    platform = "Kelvora.dll under Wine" if args.win32 else "the native driver library"
    print(f"\nFleet on the simulator ({platform}; send answered after {args.send_delay_ms / 1000:g} s, "
          f"delivered {args.delivery_delay_ms / 1000:g} s after sending; records in {path})")
    print(format_table(summary))
    print("\n".join(f"  {k:<25}  {v}" for k, v in format_view(view)))
    if summary["problems"]:
        print("VERDICT: FAIL: " + "; ".join(summary["problems"]))
        return 1
    pace = (f"the centre keeps up: 95% of scans within {SCAN_GOAL_S:g} s" if summary["keeps_up"] else
            f"the centre falls behind at this load: 95% of scans within {summary['scan_p95_s'] or 0:.1f} s, "
            f"report lag up to {summary['lag_longest_s'] or 0:.1f} s")
    print(f"VERDICT: PASS: {summary['sites']} sites for {summary['run_s'] / 60:.1f} min, nothing lost, every "
          f"write applied, storage high-water {summary['store_high_water']} of {summary['store_capacity']}; "
          + pace)
    return 0


def main():
    p = argparse.ArgumentParser(description="A centre and its sites on the modem simulator, ending with a table.")
    p.add_argument("--sites", type=int, default=32, help="sites, 1 to 32 (default 32)")
    p.add_argument("--minutes", type=float, default=3.0, help="minutes of running before the drain (default 3)")
    p.add_argument("--poll-scope", choices=("group", "station"), default="station",
                   help="the central station's poll scope (default station)")
    p.add_argument("--baud", type=int, default=9600, help="the modems' line rate (default 9600)")
    p.add_argument("--groups", type=int, default=10,
                   help="groups of five registers per site, the last one the setpoints (default 10)")
    p.add_argument("--site-period", type=float, default=120.0,
                   help="seconds between a site's measurements; each sends two reports (default 120)")
    p.add_argument("--scan-every", type=float, default=1.0,
                   help="the centre's host starts a scan at most this often, in seconds (default 1)")
    p.add_argument("--write-every", type=float, default=20.0, help="seconds between the centre's writes (default 20)")
    p.add_argument("--send-delay-ms", type=int, default=3000, help="the network's answer to a send (default 3000)")
    p.add_argument("--delivery-delay-ms", type=int, default=2000,
                   help="from a send to the message in its destination's store (default 2000)")
    p.add_argument("--capacity", type=int, default=30, help="messages each modem stores (default 30)")
    p.add_argument("--drain-limit", type=float, default=180.0, help="longest drain in seconds (default 180)")
    p.add_argument("--hold-writes", action="store_true",
                   help="the centre holds each written value until the site confirms it (HoldWrites)")
    p.add_argument("--stale-after", type=float, default=0,
                   help="seconds: the centre fails the reads of a site silent that long (StaleAfter; default off)")
    p.add_argument("--silence-site", type=int, help="make this site's modem silent during the run")
    p.add_argument("--silence-at", type=float, default=60.0,
                   help="seconds into the run to make --silence-site silent (default 60)")
    p.add_argument("--simulator", required=True)
    p.add_argument("--host", required=True)
    p.add_argument("--library")
    p.add_argument("--win32", action="store_true")
    p.add_argument("--dll")
    p.add_argument("--wine-run")
    p.add_argument("--wine-prefix")
    p.add_argument("--workdir", help="keep the records here (default: a new temporary folder)")
    args = p.parse_args()
    if not 1 <= args.sites <= 32:
        p.error("--sites must be 1 to 32")
    if args.groups < 2:
        p.error("--groups must be at least 2 (measurements and setpoints)")
    if args.silence_site is not None and not 0 <= args.silence_site < args.sites:
        p.error("--silence-site must name one of the sites")
    if args.stale_after and args.stale_after != int(args.stale_after):
        p.error("--stale-after takes whole seconds")
    if args.win32 and not (args.dll and args.wine_run and args.wine_prefix):
        p.error("--win32 needs --dll, --wine-run and --wine-prefix")
    workdir = args.workdir or tempfile.mkdtemp(prefix="kelvora-fleet-")
    os.makedirs(workdir, exist_ok=True)
    print(f"Kelvora fleet: {args.sites} sites and a centre ({args.poll_scope} poll scope) at {args.baud} baud "
          f"for {args.minutes:g} min; each site measures every {args.site_period:g} s (two reports), the centre writes every "
          f"{args.write_every:g} s", flush=True)
    try:
        return run(args, workdir)
    except KeyboardInterrupt:
        print("VERDICT: FAIL: interrupted")
        return 1


if __name__ == "__main__":
    sys.exit(main())
