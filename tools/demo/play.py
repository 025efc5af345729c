"""The demo's play: Wine with --win32, the simulator and the two hosts, the
six steps of the road, and the verdict from what the centre holds and what
travelled."""

import os
import time

from demo.players import SITE_NUMBER, DemoError, Host, Simulator, values_of
from demo.timeline import TraceTail
from harness.options import platform_name
from harness.process import stop_players
from harness.simulator import CENTRE_NUMBER, SERVICE_CENTRE
from harness.terminal import host_argv, line_end
from harness.wine import Wine

SITE = 5
WRITTEN = 42
# What the site's host measures and writes into its registers.
SITE_VALUES = {121: 215, 122: 1013, 123: 67, 124: 1}
EXPECTED_AT_CENTRE = {120: WRITTEN, **SITE_VALUES}


class Play:
    def __init__(self, args, workdir, timeline):
        self.args, self.workdir, self.timeline = args, workdir, timeline
        self.wine = self.simulator = None
        self.hosts, self.traces = [], []

    def start(self):
        """Wine (--win32), the simulator, then a host on each modem: (centre, site)."""
        args = self.args
        if args.win32:
            self.wine = Wine(args.wine_prefix, args.wine_run)
            self.wine.start_with(args.dll)
        self.timeline.start = time.time()  # the story starts with the modems, not with Wine's start-up
        self.simulator = Simulator(args.simulator, self.workdir, args.wine_prefix if args.win32 else None,
                                   self.timeline)
        centre_modem, site_modem = self.simulator.modems
        centre_port, site_port = self.simulator.port(0), self.simulator.port(1)
        self.timeline.add(time.time(), "simulator", f"centre modem {centre_modem['number']} on {centre_port}, "
                                                    f"site 5 modem {site_modem['number']} on {site_port}")
        return (self.host("centre host", ["central"], centre_port),
                self.host("site 5 host", ["remote", "--device", str(SITE)], site_port))

    def host(self, name, role_args, port):
        args = self.args
        options = role_args + ["--port", port, "--script", "-", "--keep-going", "--verbose", "--interval", "1000"]
        if args.trace:
            path = os.path.join(self.workdir, name.split(" host")[0].replace(" ", "-") + ".trace")
            # Under Wine the file is named through drive Z:, the root of the Unix tree.
            options.append("--trace=" + ("Z:" + path.replace("/", "\\") if args.win32 else path))
            self.traces.append(TraceTail(path, name.replace(" host", " trace"), self.timeline))
        h = Host(name, host_argv(args, options), self.timeline, line_end=line_end(args.win32))
        self.hosts.append(h)
        return h

    def catch_up(self, simulator=True):
        """Puts what the simulator and the traces saw since the last time on the timeline, and prints it."""
        if simulator:
            self.simulator.collect()
        for t in self.traces:
            t.collect()
        self.timeline.flush()

    def road(self, centre, site):
        """The six steps; (whether the site saw the write, what the centre read at the end)."""
        step, answer = self.timeline.step, 120 if self.args.win32 else 30  # Wine starts a program slowly at first
        step("1. Numbers on both sides; the site switches its reports on (COMFLAG)")
        centre.do(f"write SMSC{SITE}={SERVICE_CENTRE} DETC{SITE}={SITE_NUMBER}", answer)
        site.do(f"write SMSC={SERVICE_CENTRE} DETC={CENTRE_NUMBER} COMFLAG=1", answer)
        self.catch_up()
        step(f"2. The centre writes M{SITE}.120 = {WRITTEN}: its image changes at once and, "
             "after the 1 s pause, a write command goes out as an SMS")
        centre.do(f"write M{SITE}.120={WRITTEN}", 90)
        self.catch_up()
        step("3. The site's host reads M120 each second; the first read that polls the modem picks the "
             "command up (and, COMFLAG being on, reports the group as it then stands)")
        site_ok = values_of(site.do(f"await M120={WRITTEN}", 90)).get("M120") == str(WRITTEN)
        self.catch_up()
        step("4. The site's host writes its measurements to M121..M124 (no SMS: the site only reports "
             "when its host reads)")
        site.do("write " + " ".join(f"M{a}={v}" for a, v in SITE_VALUES.items()), 30)
        self.catch_up(simulator=False)
        step("5. 3 s later the site's host reads the group again: that poll reports it to the centre")
        site.do("sleep 3100", 30)
        site.do("read M120 M121 M122 M123 M124", 90)
        self.catch_up()
        step(f"6. The centre reads M{SITE}.120..M{SITE}.124: a poll stores the reports waiting in its "
             "modem, then the reads answer from its image")
        centre.do(f"await M{SITE}.124={SITE_VALUES[124]}", 90)
        final = values_of(centre.do("read " + " ".join(f"M{SITE}.{a}" for a in EXPECTED_AT_CENTRE), 60))
        self.catch_up()
        return site_ok, final

    def verdict(self, site_ok, final):
        """What the centre holds, what travelled, what went wrong; the exit code."""
        problems = [] if site_ok else [f"the site never saw M120 = {WRITTEN}"]
        for address, value in EXPECTED_AT_CENTRE.items():
            seen = final.get(f"M{SITE}.{address}")
            if seen != str(value):
                problems.append(f"M{SITE}.{address} reads {seen} at the centre, expected {value}")
        texts = [(e.get("from"), e.get("outcome"), e.get("decoded", {}).get("text", ""))
                 for e in self.simulator.submitted]
        commands = [t for f, o, t in texts if f == 0 and o == "delivered" and t.startswith("BEGINWM")]
        reports = [t for f, o, t in texts if f == 1 and o == "delivered" and t.startswith("BEGINRM")]
        if not commands:
            problems.append("no write command was delivered to the site")
        if not reports:
            problems.append("no report was delivered to the centre")
        for h in self.hosts:
            problems += [f"{h.name}: {e}" for e in h.errors]
        elapsed = time.time() - self.timeline.start
        print(f"\nSMS: {len(commands)} write command(s) and {len(reports)} report(s) delivered, "
              f"{len(texts)} sent in all; polls that found nothing: centre {self.simulator.empty_polls[0]}, "
              f"site {self.simulator.empty_polls[1]}")
        platform = platform_name(self.args)
        if problems:
            print(f"VERDICT: FAIL ({platform}, {elapsed:.1f} s): " + "; ".join(problems))
            return 1
        print(f"VERDICT: PASS ({platform}, {elapsed:.1f} s): the centre's write of M{SITE}.120 = {WRITTEN} reached "
              f"site {SITE}, and the site's report brought M{SITE}.120..M{SITE}.124 = "
              + ", ".join(str(v) for v in EXPECTED_AT_CENTRE.values()) + " back to the centre")
        return 0

    def stop(self):
        stop_players(self.hosts, self.wine, self.simulator, self.args.win32)


def play(args, workdir, timeline):
    run = Play(args, workdir, timeline)
    try:
        return run.verdict(*run.road(*run.start()))
    except DemoError as e:
        if run.simulator:
            try:
                run.simulator.collect()
            except (OSError, ValueError, DemoError):
                pass
        timeline.flush()
        print(f"VERDICT: FAIL: {e}")
        return 1
    finally:
        run.stop()
