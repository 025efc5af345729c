#!/usr/bin/env python3
"""The road of one write and one report, played on simulated modems.

Starts the modem simulator with a central modem and a site-5 modem, runs two
kelvora-host sessions (central station; remote station at device address 5)
and plays: numbers set on both sides and reports switched on, the centre
writes M5.120 = 42, the site picks it up, the site's host writes M121..M124,
the site reports its group, the centre reads M5.120..M5.124. Prints the
timeline (register operations from the hosts, SMS from the simulator's control
interface) and a one-line verdict. Every wait is bounded.
"""

import argparse
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from host_terminal import HostProcess
from simulator_process import SimulatorProcess

CENTRE_NUMBER = "+8613900000001"
SITE_NUMBER = "+8613900000005"
SERVICE_CENTRE = "+8613800000000"
SITE = 5
WRITTEN = 42
# What the site's host measures and writes into its registers.
SITE_VALUES = {121: 215, 122: 1013, 123: 67, 124: 1}
EXPECTED_AT_CENTRE = {120: WRITTEN, **SITE_VALUES}
WINE_COM_BASE = 21  # the modems become COM21 and COM22 in the Wine prefix


class DemoError(Exception):
    pass


class Timeline:
    """Events from the hosts and the simulator, printed in time order step by step."""

    def __init__(self):
        self.start = time.time()
        self.pending = []
        self.lock = threading.Lock()

    def add(self, when, who, what):
        # Whole milliseconds, as the simulator stamps its events; on a tie the
        # event recorded first (a host's command) stays first.
        with self.lock:
            self.pending.append((int(when * 1000) / 1000.0, who, what))

    def flush(self):
        with self.lock:
            events, self.pending = sorted(self.pending, key=lambda e: e[0]), []
        for when, who, what in events:
            print(f"  {when - self.start:7.3f} s  {who:<13} {what}")
        sys.stdout.flush()

    @staticmethod
    def step(title):
        print(f"\n{title}")
        sys.stdout.flush()


def describe_frame(text):
    """Reads a telemetry frame for the timeline."""
    def signed(hex8):
        value = int(hex8, 16)
        return value - (1 << 32) if value >= 1 << 31 else value
    try:
        if len(text) == 23 and text.startswith("BEGINWM") and text.endswith("END"):
            site, address = int(text[7:9]), int(text[9:12])
            return f"write command: M{site}.{address} = {signed(text[12:20])}"
        if len(text) == 55 and text.startswith("BEGINRM") and text.endswith("END"):
            site, first = int(text[7:9]), int(text[9:12])
            values = [signed(text[12 + 8 * i:20 + 8 * i]) for i in range(5)]
            return f"report of site {site}: M{site}.{first}..{first + 4} = " + ", ".join(map(str, values))
    except ValueError:
        pass
    return "free text"


class Simulator(SimulatorProcess):
    def __init__(self, program, workdir, wine_prefix, timeline):
        options = ["--modems", "2", "--number", CENTRE_NUMBER, "--number", SITE_NUMBER,
                   "--service-centre", SERVICE_CENTRE]
        if wine_prefix:
            options += ["--wine-prefix", wine_prefix, "--com-base", str(WINE_COM_BASE)]
        super().__init__(program, workdir, options, DemoError)
        self.timeline = timeline
        self.names = {0: "centre modem", 1: "site 5 modem"}
        self.seen_submitted = 0
        self.seen_log = {0: 0, 1: 0}
        self.empty_polls = {0: 0, 1: 0}
        self.submitted = []

    def collect(self):
        """Adds the SMS traffic and message-store activity since the last call."""
        submitted = self.request({"cmd": "submitted"})["submitted"]
        for entry in submitted[self.seen_submitted:]:
            self.submitted.append(entry)
            text = entry.get("decoded", {}).get("text", "")
            frm = self.names.get(entry.get("from"), "?").replace(" modem", "")
            to = self.names.get(entry.get("to"), entry.get("decoded", {}).get("address", "?")).replace(" modem", "")
            outcome = entry.get("outcome", "?")
            if outcome == "delivered":
                outcome = f"delivered to index {entry.get('stored_index')}"
            self.timeline.add(entry["time_ms"] / 1000.0, "SMS network",
                              f'{frm} -> {to}: "{text}"  ({describe_frame(text)}; {outcome})')
        self.seen_submitted = len(submitted)
        for modem in (0, 1):
            log = self.request({"cmd": "log", "modem": modem})["log"]
            for entry in log[self.seen_log[modem]:]:
                command, response = entry.get("command", ""), entry.get("response", "")
                when = entry["time_ms"] / 1000.0
                if command.upper().startswith("AT+CMGL"):
                    indices = re.findall(r"\+CMGL: *(\d+)", response)
                    which = "read" if "=" in command else "new"
                    if indices:
                        self.timeline.add(when, self.names[modem],
                                          f"listed {len(indices)} {which} message(s), index {', '.join(indices)}")
                    elif which == "new":
                        self.empty_polls[modem] += 1
                elif command.upper().startswith("AT+CMGD="):
                    ok = "OK" in response
                    self.timeline.add(when, self.names[modem],
                                      f"deleted message {command[8:]}" + ("" if ok else f" (answer {response.strip()!r})"))
            self.seen_log[modem] = len(log)

class TraceTail:
    """Follows a host's driver trace file and puts its lines on the timeline at their own times."""

    STAMP = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\.(\d{3}) \S+ \S+ \S+ \[\d+\]  (.*)$")
    WIDTH = 160  # a listing's bytes make long lines: the file has them whole

    def __init__(self, path, who, timeline):
        self.path, self.who, self.timeline = path, who, timeline
        self.offset = 0
        self.partial = b""

    def collect(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except OSError:
            return
        self.offset += len(data)
        *lines, self.partial = (self.partial + data).split(b"\n")
        for raw in lines:
            line = raw.decode("utf-8", "replace").rstrip("\r")
            m = self.STAMP.match(line)
            if not m:
                continue
            when = time.mktime(time.strptime(m.group(1), "%Y-%m-%d %H:%M:%S")) + int(m.group(2)) / 1000.0
            event = m.group(3)
            if len(event) > self.WIDTH:
                event = event[:self.WIDTH - 3] + "..."
            self.timeline.add(when, self.who, event)


class Host(HostProcess):
    """One kelvora-host session, fed commands at its terminal (see host_terminal.py)."""

    def __init__(self, name, argv, timeline, env=None, line_end="\n"):
        self.name = name
        self.timeline = timeline
        super().__init__(argv, env, line_end)
        self.counter = 0
        self.errors = []

    def _record(self, when, kind, line):
        if kind == "err":
            text = line[len("kelvora-host: "):] if line.startswith("kelvora-host: ") else line
            if re.search(r"station from |^port .* open$|^poll: ", text):
                self.timeline.add(when, self.name, text)
            else:
                self.errors.append(text)
                self.timeline.add(when, self.name, "ERROR " + text)
        else:
            self.timeline.add(when, self.name, line)

    def do(self, command, timeout=30):
        """Runs one script line; returns the lines it printed. Raises DemoError when no answer comes in time."""
        self.counter += 1
        mark = f"@@done-{self.counter}"
        self.timeline.add(time.time(), self.name, "> " + command)
        try:
            self.terminal.type([command, f"echo {mark}"])
        except OSError:
            raise DemoError(f"{self.name} is no longer running (exit code {self.proc.poll()})")
        deadline = time.time() + timeout
        output = []
        ended = set()
        while True:
            remaining = deadline - time.time()
            if remaining <= 0:
                raise DemoError(f"{self.name}: no answer to '{command}' within {timeout} s")
            try:
                when, kind, line = self.lines.get(timeout=min(remaining, 0.5))
            except queue.Empty:
                continue
            if line is None:
                ended.add(kind)
                if len(ended) == 2:
                    raise DemoError(f"{self.name} ended during '{command}' (exit code {self.proc.wait(timeout=5)})")
                continue
            if kind == "out" and line == mark:
                break
            self._record(when, kind, line)
            if kind == "out":
                output.append(line)
        # An error line may trail its operation's output on the other pipe.
        time.sleep(0.05)
        while True:
            try:
                when, kind, line = self.lines.get_nowait()
            except queue.Empty:
                break
            if line is not None:
                self._record(when, kind, line)
        return output


def values_of(lines):
    """{'M5.120': '42', ...} from the host's "ADDRESS = VALUE" lines."""
    found = {}
    for line in lines:
        m = re.match(r"^(\S+) = (.*?)(?:  \(.*\))?$", line)
        if m:
            found[m.group(1)] = m.group(2)
    return found


class Wine:
    def __init__(self, prefix, wine_run, who="demo"):
        self.prefix = prefix
        self.wine_run = wine_run
        self.who = who
        # The host sessions talk through wine-run.sh interactively: no output capture.
        os.environ["KELVORA_WINE_STREAM"] = "1"
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.started = False

    def start(self):
        os.makedirs(self.prefix, exist_ok=True)
        subprocess.Popen(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True)
        self.started = True
        first = not os.path.exists(os.path.join(self.prefix, "system.reg"))
        if first:
            print(f"{self.who}: creating the Wine prefix (first run only, about a minute)")
        subprocess.run(["wineboot", "-i" if first else "-u"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)

    def register(self, dll):
        """regsvr32, as an installer does; False when it failed (the host then loads the DLL directly)."""
        path = subprocess.run(["winepath", "-w", dll], env=self.env, capture_output=True, text=True,
                              timeout=60).stdout.strip()
        result = subprocess.run([self.wine_run, "regsvr32", "/s", path], env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=120)
        return result.returncode == 0, path

    def stop(self):
        # Before the simulator closes its ptys: a Wine server holding a pty
        # whose other end goes away floods its output.
        if self.started:
            subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
            self.started = False


def play(args, workdir, timeline):
    wine = None
    simulator = None
    hosts = []
    try:
        if args.win32:
            wine = Wine(args.wine_prefix, args.wine_run)
            print("demo: starting Wine")
            wine.start()
            ok, path = wine.register(args.dll)
            print(f"demo: regsvr32 {path}: " + ("registered" if ok else "FAILED (the hosts load the DLL directly)"))

        timeline.start = time.time()  # the story starts with the modems, not with Wine's start-up
        simulator = Simulator(args.simulator, workdir, args.wine_prefix if args.win32 else None, timeline)
        centre_modem, site_modem = simulator.modems
        if args.win32:
            centre_port, site_port = f"COM{centre_modem['com']}", f"COM{site_modem['com']}"
        else:
            centre_port, site_port = centre_modem["device"], site_modem["device"]
        timeline.add(time.time(), "simulator", f"centre modem {centre_modem['number']} on {centre_port}, "
                                               f"site 5 modem {site_modem['number']} on {site_port}")

        traces = []

        def host(name, role_args, port):
            argv = ([args.wine_run, args.host] if args.win32 else [args.host]) + role_args + \
                   ["--port", port, "--script", "-", "--keep-going", "--verbose", "--interval", "1000"]
            if args.library:
                argv += ["--library", args.library]
            if args.trace:
                path = os.path.join(workdir, name.split(" host")[0].replace(" ", "-") + ".trace")
                # Under Wine the file is named through drive Z:, the root of the Unix tree.
                argv.append("--trace=" + ("Z:" + path.replace("/", "\\") if args.win32 else path))
                traces.append(TraceTail(path, name.replace(" host", " trace"), timeline))
            h = Host(name, argv, timeline, line_end="\r" if args.win32 else "\n")
            hosts.append(h)
            return h

        centre = host("centre host", ["central"], centre_port)
        site = host("site 5 host", ["remote", "--device", str(SITE)], site_port)
        answer = 120 if args.win32 else 30  # Wine takes a while to start a program the first time

        timeline.step("1. Numbers on both sides; the site switches its reports on (COMFLAG)")
        centre.do(f"write SMSC{SITE}={SERVICE_CENTRE} DETC{SITE}={SITE_NUMBER}", answer)
        site.do(f"write SMSC={SERVICE_CENTRE} DETC={CENTRE_NUMBER} COMFLAG=1", answer)
        simulator.collect()
        for t in traces:
            t.collect()
        timeline.flush()

        timeline.step(f"2. The centre writes M{SITE}.120 = {WRITTEN}: its image changes at once and, "
                      "after the 1 s pause, a write command goes out as an SMS")
        centre.do(f"write M{SITE}.120={WRITTEN}", 90)
        simulator.collect()
        for t in traces:
            t.collect()
        timeline.flush()

        timeline.step("3. The site's host reads M120 each second; the first read that polls the modem picks the "
                      "command up (and, COMFLAG being on, reports the group as it then stands)")
        got = values_of(site.do(f"await M120={WRITTEN}", 90))
        site_ok = got.get("M120") == str(WRITTEN)
        simulator.collect()
        for t in traces:
            t.collect()
        timeline.flush()

        timeline.step("4. The site's host writes its measurements to M121..M124 (no SMS: the site only reports "
                      "when its host reads)")
        site.do("write " + " ".join(f"M{a}={v}" for a, v in SITE_VALUES.items()), 30)
        for t in traces:
            t.collect()
        timeline.flush()

        timeline.step("5. 3 s later the site's host reads the group again: that poll reports it to the centre")
        site.do("sleep 3100", 30)
        site.do("read M120 M121 M122 M123 M124", 90)
        simulator.collect()
        for t in traces:
            t.collect()
        timeline.flush()

        timeline.step(f"6. The centre reads M{SITE}.120..M{SITE}.124: a poll stores the reports waiting in its "
                      "modem, then the reads answer from its image")
        centre.do(f"await M{SITE}.124={SITE_VALUES[124]}", 90)
        final = values_of(centre.do("read " + " ".join(f"M{SITE}.{a}" for a in EXPECTED_AT_CENTRE), 60))
        simulator.collect()
        for t in traces:
            t.collect()
        timeline.flush()

        # The verdict: what the centre holds, what travelled, what went wrong.
        problems = []
        if not site_ok:
            problems.append(f"the site never saw M120 = {WRITTEN}")
        for address, value in EXPECTED_AT_CENTRE.items():
            seen = final.get(f"M{SITE}.{address}")
            if seen != str(value):
                problems.append(f"M{SITE}.{address} reads {seen} at the centre, expected {value}")
        texts = [(e.get("from"), e.get("outcome"), e.get("decoded", {}).get("text", "")) for e in simulator.submitted]
        commands = [t for f, o, t in texts if f == 0 and o == "delivered" and t.startswith("BEGINWM")]
        reports = [t for f, o, t in texts if f == 1 and o == "delivered" and t.startswith("BEGINRM")]
        if not commands:
            problems.append("no write command was delivered to the site")
        if not reports:
            problems.append("no report was delivered to the centre")
        for h in hosts:
            problems += [f"{h.name}: {e}" for e in h.errors]
        elapsed = time.time() - timeline.start
        print(f"\nSMS: {len(commands)} write command(s) and {len(reports)} report(s) delivered, "
              f"{len(texts)} sent in all; polls that found nothing: centre {simulator.empty_polls[0]}, "
              f"site {simulator.empty_polls[1]}")
        platform = "Kelvora.dll under Wine" if args.win32 else "the native driver library"
        if problems:
            print(f"VERDICT: FAIL ({platform}, {elapsed:.1f} s): " + "; ".join(problems))
            return 1
        print(f"VERDICT: PASS ({platform}, {elapsed:.1f} s): the centre's write of M{SITE}.120 = {WRITTEN} reached "
              f"site {SITE}, and the site's report brought M{SITE}.120..M{SITE}.124 = "
              + ", ".join(str(v) for v in EXPECTED_AT_CENTRE.values()) + " back to the centre")
        return 0
    except DemoError as e:
        if simulator:
            try:
                simulator.collect()
            except (OSError, ValueError, DemoError):
                pass
        timeline.flush()
        print(f"VERDICT: FAIL: {e}")
        return 1
    finally:
        for h in hosts:
            h.stop(20 if args.win32 else 10)
        if wine:
            wine.stop()
        if simulator:
            simulator.stop()


def main():
    parser = argparse.ArgumentParser(description="The road of one write and one report on simulated modems.")
    parser.add_argument("--simulator", required=True, help="kelvora-modemsim")
    parser.add_argument("--host", required=True, help="kelvora-host (or kelvora-host.exe with --win32)")
    parser.add_argument("--library", help="the driver's shared library (native)")
    parser.add_argument("--win32", action="store_true", help="run the hosts and Kelvora.dll under Wine")
    parser.add_argument("--dll", help="Kelvora.dll, registered with regsvr32 (--win32)")
    parser.add_argument("--wine-run", help="the build's wine-run.sh (--win32)")
    parser.add_argument("--wine-prefix", help="the Wine prefix (--win32)")
    parser.add_argument("--trace", action="store_true",
                        help="run the hosts with the driver's dialogue trace and show it on the timeline")
    args = parser.parse_args()
    if args.win32 and not (args.dll and args.wine_run and args.wine_prefix):
        parser.error("--win32 needs --dll, --wine-run and --wine-prefix")
    if args.win32 and shutil.which("wine") is None:
        parser.error("wine is not installed")

    print("Kelvora demo: the road of one write and one report\n"
          f"  centre: central station on the modem {CENTRE_NUMBER}; site {SITE}: remote station at device "
          f"address {SITE} on the modem {SITE_NUMBER}\n"
          "  times are seconds since the start; '>' marks what a host was told to do, '<-' a write, '=' a read")
    workdir = tempfile.mkdtemp(prefix="kelvora-demo-")
    timeline = Timeline()
    code = 1
    try:
        code = play(args, workdir, timeline)
    except KeyboardInterrupt:
        print("VERDICT: FAIL: interrupted")
    finally:
        if code == 0:
            shutil.rmtree(workdir, ignore_errors=True)
        else:
            print(f"(simulator log kept in {workdir})")
    return code


if __name__ == "__main__":
    sys.exit(main())
