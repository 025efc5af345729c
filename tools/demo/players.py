"""The demo's players: the simulator with a central and a site-5 modem, whose
SMS traffic and message stores it reads for the timeline, and the two hosts,
each fed commands at its terminal."""

import queue
import re
import time

from demo.timeline import describe_frame
from harness.simulator import CENTRE_NUMBER, SERVICE_CENTRE, SimulatorProcess
from harness.terminal import HostProcess

SITE_NUMBER = "+8613900000005"


class DemoError(Exception):
    pass


class Simulator(SimulatorProcess):
    def __init__(self, program, workdir, wine_prefix, timeline):
        options = ["--modems", "2", "--number", CENTRE_NUMBER, "--number", SITE_NUMBER,
                   "--service-centre", SERVICE_CENTRE]
        super().__init__(program, workdir, options, DemoError, wine_prefix=wine_prefix)
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
                self.store_activity(modem, entry)
            self.seen_log[modem] = len(log)

    def store_activity(self, modem, entry):
        """A listing or a delete in a modem's command log, for the timeline."""
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


class Host(HostProcess):
    """One kelvora-host session, fed commands at its terminal (see harness/terminal.py)."""

    def __init__(self, name, argv, timeline, env=None, line_end="\n"):
        self.name = name
        self.timeline = timeline
        super().__init__(argv, env, line_end)
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
        self.timeline.add(time.time(), self.name, "> " + command)
        output = []
        for when, kind, line in self.answer(self.name, [command], timeout, DemoError):
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
