"""A fleet at work: each site's host measuring and reporting, the centre's
host scanning every group and writing setpoints, a site's modem made silent
on request, and the drain at the end (every write applied, the network and
the centre's store empty, one more scan). What it sees goes into the records
(fleet/records.py)."""

import re
import threading
import time

from fleet.session import FleetError
from harness.frames import GROUP
from kelvora_facts import POLL_INTERVAL_S

# A read polls the modem again once the last poll is older than the poll interval: a drain's reads come
# a little later than that, so that each one polls.
REPOLL_S = POLL_INTERVAL_S + 0.5
from harness.simulator import CENTRE_NUMBER, SERVICE_CENTRE

SETPOINT_BASE = 900_000_000


class Fleet:
    def __init__(self, args, records, sessions, simulator):
        self.args, self.records, self.sessions, self.simulator = args, records, sessions, simulator
        self.lock = threading.Lock()
        self.ending = threading.Event()      # the run's time is up: no new measurements or writes
        self.finished = threading.Event()    # the drain is over: every thread stops
        self.failure = None
        self.setpoint_group = GROUP * (args.groups - 1)
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
            first = GROUP * (tick % measured)
            values = {first + i: self.value(tick, s, first + i) for i in range(GROUP)}
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
            if waiting and time.time() - last >= REPOLL_S:
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
            out = host.run(["read " + " ".join(f"M{s}.{i}" for i in range(GROUP * a.groups))],
                           60 + a.groups * (5 + a.capacity * 0.5))
            values = [(when, int(m.group(2)), v) for when, kind, v, m, _ in out if kind == "value"]
            self.records.centre_reads += [{"time": when, "since": since, "site": s, "address": int(m.group(2)),
                                           "value": v & 0xFFFFFFFF} for when, kind, v, m, since in out
                                          if kind == "value"]
            self.records.read_failures += [{"time": when, "site": s, "address": int(m.group(2))}
                                           for when, kind, v, m, _ in out
                                           if kind == "value" and (m.group(4) or "").startswith("read failed")]
            for k in range(0, len(values) - GROUP + 1, GROUP):
                five = values[k:k + GROUP]
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

    def start(self, *others):
        """The centre's host first, with its numbers set, then every site's and the `others`: their threads."""
        self.centre_ready = threading.Event()
        threads = [threading.Thread(target=self.centre, daemon=True)]
        threads[0].start()
        if not self.centre_ready.wait(180) or self.failure:
            raise FleetError(self.failure or "the centre's host did not set its numbers within 180 s")
        threads += [threading.Thread(target=self.site, args=(s,), daemon=True) for s in range(self.args.sites)]
        threads += [threading.Thread(target=f, daemon=True) for f in others]
        for t in threads[1:]:
            t.start()
        return threads

    def play(self):
        a = self.args
        threads = self.start(*([self.silence] if self.silence_site is not None else []))
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
