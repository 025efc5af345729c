"""The soak's players: the fleet's, with a network that keeps messages for a
full store, host sessions whose every call is timed, the hosts' traces and
keys, and their memory as the system counts it."""

import os
import subprocess
import time

from fleet.players import Simulator
from fleet.session import FleetError, HostSession
from harness.simulator import CENTRE_NUMBER
from harness.terminal import host_command


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


def trace_path(workdir, who):
    return os.path.join(workdir, "trace-" + who.replace(" ", "") + ".log")


def make_keys(args, workdir):
    """site -> its key file, made by the console's keygen (the host the players run) for the centre's and
    the site's numbers (the simulator numbers its modems from the centre's up)."""
    base = host_command(args)
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


def host_options(args, workdir, keys):
    """who -> the soak's options for that station's host: its time-out, its trace, stamped lines, its keys."""
    def extra(who):
        out = ["--timeout", str(args.timeout_ms), f"--trace={trace_path(workdir, who)}", "--timestamps"]
        if keys and who == "centre":
            out += [a for s, path in keys.items() for a in ("--key-file", f"{s}={path}")]
        elif keys:
            out += ["--key-file", keys[int(who.split()[1])]]
        return out
    return extra
