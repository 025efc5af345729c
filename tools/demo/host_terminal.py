"""A kelvora-host session's standard input as a terminal (a pty without echo).

kelvora-host reads a script from a pipe whole before it runs any of it; at a
terminal it runs each line as it comes, after a "kelvora> " prompt. The demo
and the fleet feed their hosts line by line, so they give them a terminal.
Wine's console takes a line at a carriage return (the Enter key), the POSIX
host at a line feed."""

import os
import pty
import queue
import subprocess
import termios
import threading
import time
import tty

from simulator_process import stop_process

PROMPT = "kelvora> "
BANNER = "kelvora-host: type operations"


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
    `lines` as (time, "out" or "err", line), prompts taken off; each stream's end as a line None."""

    def __init__(self, argv, env=None, line_end="\n"):
        self.lines = queue.Queue()
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
                self.lines.put((time.time(), kind, line))
        self.lines.put((time.time(), kind, None))

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
