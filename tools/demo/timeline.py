"""The demo's timeline: events from the hosts, their driver traces and the
simulator, printed in time order step by step."""

import re
import sys
import threading
import time

from harness.frames import parse_frame, signed


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
    frame = parse_frame(text)
    if frame is None:
        return "free text"
    kind, site, where, payload = frame
    if kind == "command":
        return f"write command: M{site}.{where} = {signed(payload)}"
    return (f"report of site {site}: M{site}.{where}..{where + len(payload) - 1} = "
            + ", ".join(str(signed(v)) for v in payload))


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
