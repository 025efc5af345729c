"""A kelvora-host session's standard input as a terminal (a pty without echo).

kelvora-host reads a script from a pipe whole before it runs any of it; at a
terminal it runs each line as it comes, after a "kelvora> " prompt. The demo
and the fleet feed their hosts line by line, so they give them a terminal.
Wine's console takes a line at a carriage return (the Enter key), the POSIX
host at a line feed. HostProcess.answer() runs script lines and collects
what they printed, up to an end mark; host_argv() builds the command line
the same way for every tool."""

import os
import pty
import queue
import re
import subprocess
import termios
import threading
import time
import tty

from harness.process import stop_process

PROMPT = "kelvora> "
BANNER = "kelvora-host: type operations"
STAMP = re.compile(r"^(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})  (.*)$")


def host_command(args):
    """kelvora-host, under Wine through the build's wine-run.sh with --win32."""
    return [args.wine_run, args.host] if args.win32 else [args.host]


def host_argv(args, options):
    """A host session's command line: the host, the options, and the driver library it loads natively."""
    return host_command(args) + list(options) + (["--library", args.library] if args.library else [])


def line_end(win32):
    """What ends a line typed at the host: Wine's console takes a carriage return."""
    return "\r" if win32 else "\n"


def host_time(line, received):
    """(when, line): a line the host stamped (--timestamps) with the stamp taken off, at the time of the
    stamp; otherwise the time the line was received. A stamp far from that (another time zone) is not used."""
    m = STAMP.match(line)
    if not m:
        return received, line
    y, mo, d, h, mi, sec, ms = (int(x) for x in m.groups()[:7])
    when = time.mktime((y, mo, d, h, mi, sec, 0, 0, -1)) + ms / 1000.0
    return (when if abs(when - received) < 5.0 else received), m.group(8)


class HostTerminal:
    def __init__(self, line_end="\n"):
        self.line_end = line_end
        self.master, self.typed = pty.openpty()  # `typed`: the host's standard input
        tty.setraw(self.typed)
        attributes = termios.tcgetattr(self.typed)
        attributes[3] &= ~termios.ECHO
        termios.tcsetattr(self.typed, termios.TCSANOW, attributes)

    def started(self):
        """The host holds its end now."""
        os.close(self.typed)
        self.typed = -1

    def type(self, lines):
        os.write(self.master, "".join(line + self.line_end for line in lines).encode())

    def close(self):
        for fd in (self.master, self.typed):
            if fd >= 0:
                os.close(fd)
        self.master = self.typed = -1


class HostProcess:
    """A kelvora-host process at a HostTerminal. What it prints on either stream arrives in
    `lines` as (time, "out" or "err", line), prompts taken off; each stream's end as a line None.
    `stamped`: the host runs with --timestamps, and each line arrives at the time of its stamp."""

    def __init__(self, argv, env=None, line_end="\n", stamped=False):
        self.lines = queue.Queue()
        self.stamped = stamped
        self.counter = 0
        self.terminal = HostTerminal(line_end)
        self.proc = subprocess.Popen(argv, stdin=self.terminal.typed, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=env, start_new_session=True)
        self.terminal.started()
        for stream, kind in ((self.proc.stdout, "out"), (self.proc.stderr, "err")):
            threading.Thread(target=self._reader, args=(stream, kind), daemon=True).start()

    def _reader(self, stream, kind):
        for raw in iter(stream.readline, b""):
            line = host_line(raw.decode("utf-8", "replace").rstrip("\r\n"))
            if line is not None:
                when = time.time()
                if self.stamped:
                    when, line = host_time(line, when)
                self.lines.put((when, kind, line))
        self.lines.put((time.time(), kind, None))

    def answer(self, who, lines, timeout, error):
        """Types the script lines and an end mark; yields (time, kind, line) for each line they printed until
        the mark comes back on standard output. Raises `error` when the host has ended or the mark has not
        come within the timeout."""
        self.counter += 1
        mark = f"@@done-{self.counter}"
        try:
            self.terminal.type(list(lines) + [f"echo {mark}"])
        except OSError:
            raise error(f"{who}: the host is no longer running (exit code {self.proc.poll()})")
        deadline = time.time() + timeout
        while True:
            remaining = deadline - time.time()
            if remaining <= 0:
                raise error(f"{who}: no answer to '{lines[0][:60]}' within {timeout:.0f} s")
            try:
                when, kind, line = self.lines.get(timeout=min(remaining, 0.5))
            except queue.Empty:
                continue
            if line is None:
                if kind == "out":  # the mark cannot come any more
                    raise error(f"{who}: the host ended (exit code {self.proc.wait(timeout=5)})")
                continue
            if kind == "out" and line == mark:
                return
            yield when, kind, line

    def stop(self, seconds):
        """Asks the host to quit, then ends it if it has not within the seconds."""
        if self.proc.poll() is None:
            try:
                self.terminal.type(["quit"])
            except OSError:
                pass
        stop_process(self.proc, seconds)
        self.terminal.close()


def host_line(line):
    """A line of the host's output without the prompts before it; None for the prompt's banner."""
    while line.startswith(PROMPT):
        line = line[len(PROMPT):]
    return None if line.startswith(BANNER) else line
