"""A fleet's host session: script lines typed at a kelvora-host, what they
printed read back with its times and values decoded."""

import re
import time

from harness.terminal import HostProcess


class FleetError(Exception):
    pass


class HostSession(HostProcess):
    """One kelvora-host process fed script lines at its terminal (see harness/terminal.py). Values,
    results and the end mark come back on one stream (standard output), so each line is known to
    belong to the script lines that asked for it. A host started with --timestamps says when it
    printed each line; a line begins after the one before it printed, so each output comes with
    `since`, the latest time its operation can have begun."""

    VALUE = re.compile(r"^M(\d+)(?:\.(\d+))? = (-?\d+)(?:  \((.*)\))?$")
    # The batch's last word after a read the centre failed (--stale-after): counted with the reads.
    READ_FAILED_SUMMARY = "a read failed (--stale-after)"

    def __init__(self, who, argv, records, env=None, line_end="\n"):
        self.who, self.records = who, records
        super().__init__(argv, env, line_end, stamped=True)

    def run(self, lines, timeout):
        """Runs script lines; returns [(time, kind, line, match, since)] they printed, values decoded:
        kind 'value'."""
        since = time.time()
        out = []
        for when, kind, line in self.answer(self.who, lines, timeout, FleetError):
            began, since = since, (when if kind == "out" else since)
            m = self.VALUE.match(line) if kind == "out" else None
            if m:
                out.append((when, "value", int(m.group(3)), m, began))
                continue
            if (kind == "err" or "NOT sent" in line) and self.READ_FAILED_SUMMARY not in line:
                self.records.host_errors.append({"who": self.who, "time": when, "line": line})
            out.append((when, kind, line, None, began))
        return out
