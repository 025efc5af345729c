"""The soak at work: the fleet's stations with hot slots (a site reporting
its setpoint group every few seconds, the centre writing one site's setpoint
again and again), the faults struck at their moments, memory and traces
sampled, the ledger's checks as it goes, and the drain: faults off, the
network quiet, every site reporting once more, a scan after the last report."""

import os
import threading
import time

from fleet.play import REPOLL_S, Fleet
from fleet.players import collect_simulator
from fleet.session import FleetError
from harness.frames import GROUP
from harness.simulator import CENTRE_NUMBER, SERVICE_CENTRE
from soak.faults import BY_NAME
from soak.forgeries import Forger
from soak.ledger import Ledger
from soak.players import process_rss_kb, trace_path

DRAIN_VALUE_BASE = 3_000_000_000  # the drain's fresh values, above every value of the run
HOT_PERIOD_S = 1.0                # the hot site's pause between its reports (each read's report takes ~4 s)


def hot_sites(sites):
    """(the site that reports its setpoint group every few seconds, or None; the site whose setpoint the
    centre writes again and again): hot slots, where a later frame for the same registers follows soon."""
    return (0 if sites >= 2 else None), (1 if sites >= 2 else 0)


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
        self.forger = Forger(simulator, args.sites, self.setpoint_group)

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
            while not self.report_again.wait(REPOLL_S) and not self.finished.is_set():
                self.site_read(s, host, [f"read M{self.setpoint_group}"])
            if self.finished.is_set():
                return
            self.site_read(s, host, ["write COMFLAG=1"])
            # A fresh value in every group, then every group read whole: one more report each.
            tick = self.ticks.get(s, 0)
            values = {}
            for first in range(0, GROUP * self.args.groups, GROUP):
                address = first + 1 if first == self.setpoint_group else first
                values[address] = DRAIN_VALUE_BASE + tick * 100_000 + s * 1000 + address
            self.site_read(s, host, ["write " + " ".join(f"M{k}={v}" for k, v in values.items())])
            # One read a group: each read that polls reports, and the report's send outlasts the 3 s
            # between polls, so a second read of the group would report again. The group's other
            # registers are what this site's host wrote there last (nothing else writes them).
            for first in range(0, GROUP * self.args.groups, GROUP):
                self.site_read(s, host, [f"read M{first}"])
            final = self.final_values.setdefault(s, {})
            for first in range(0, GROUP * self.args.groups, GROUP):
                for address in range(first, first + GROUP):
                    final[address] = self.own_values.get(s, {}).get(address, 0)
                final[first] = next(r["value"] & 0xFFFFFFFF for r in reversed(self.records.site_reads)
                                    if r["site"] == s and r["address"] == first)
            with self.lock:
                self.reported.add(s)
        except Exception as e:  # noqa: BLE001
            self.fail(f"site {s}: {e}")

    def inject(self):
        for offset, modem, kind, requests in self.faults:
            if self.ending.wait(max(0.0, self.records.started + offset - time.time())):
                return
            when = time.time()
            if BY_NAME[kind].keyed:
                try:
                    delivered = self.forger.strike(modem, requests)
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

    # --- samples and checks as it goes ---------------------------------------------------------------------

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
        threads = self.start(self.inject, self.watch)
        print(f"soak: running {a.minutes:g} min with {len(self.faults)} faults ...", flush=True)
        self.ending.wait(a.minutes * 60)
        self.ending.set()
        self.records.ended = time.time()
        if not self.finished.is_set():
            print("soak: time is up; faults off, draining (every write applied, nothing in transit, every site "
                  "reports once more, the centre polls) ...", flush=True)
            self.drain()
        self.finished.set()
        self.records.drained = time.time()
        for t in threads:
            t.join(timeout=600)
        self.sample()
        if self.failure:
            raise FleetError(self.failure)

    def drain(self):
        """Faults off; once the network is quiet every site reports once more; then a scan after the last
        report reaches the centre's store."""
        a = self.args
        self.faults_off()
        if not self.wait_for(self.quiet, a.drain_limit, "writes applied and the network quiet"):
            return
        self.report_again.set()

        def reported():
            with self.lock:
                done = len(self.reported) == a.sites
            if not done or not self.quiet():
                return False
            return self.stores_empty(self.simulator.request({"cmd": "modems"})["modems"][:1])

        if not self.wait_for(reported, a.drain_limit, "every site's last reports through the centre's store"):
            return
        since = time.time()
        if self.wait_for(lambda: any(st > since for st in self.scans_since), 120, "a scan after the last report"):
            time.sleep(0.2)
            with self.lock:
                self.records.drain_complete = any(st > since for st in self.scans_since)
