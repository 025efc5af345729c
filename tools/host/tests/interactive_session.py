#!/usr/bin/env python3
"""kelvora-host sessions on standard input, driven as they are used:
- a person on a terminal: a number written, a watch stopped with Ctrl-C,
  the number still there, help, an unknown word, Ctrl-C at the prompt,
  Ctrl-D to end;
- a program on a pipe: its lines are a script, read to the end and checked
  whole, so that a wrong line stops them all.

Usage: interactive_session.py HOST DEVICE   (a central station on DEVICE)
Every wait is bounded; exits 0 when the sessions behaved, 1 otherwise."""
import os
import pty
import select
import subprocess
import sys
import time

PROMPT = b"kelvora> "


class Terminal:
    def __init__(self, argv):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execv(argv[0], argv)
        self.seen = b""

    def expect(self, text, seconds=20):
        """Waits until text appears after what was matched before."""
        deadline = time.monotonic() + seconds
        while text not in self.seen:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                fail("did not see %r within %d s; last seen: %r" % (text, seconds, self.seen[-300:]))
            try:
                chunk = os.read(self.fd, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                fail("the session ended before %r" % text)
            self.seen += chunk
        _, _, self.seen = self.seen.partition(text)

    def send(self, text):
        os.write(self.fd, text)

    def exit_code(self, seconds=20):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                return os.waitstatus_to_exitcode(status)
            try:  # keep the terminal drained so the program never blocks on output
                if select.select([self.fd], [], [], 0.1)[0]:
                    os.read(self.fd, 4096)
            except OSError:
                pass
        fail("the session did not end")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


class Lines:
    """Lines of a pipe, each waited for at most a bound."""

    def __init__(self, stream):
        self.fd = stream.fileno()
        self.pending = b""

    def next(self, seconds=20):
        deadline = time.monotonic() + seconds
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                fail("no line within %d s" % seconds)
            chunk = os.read(self.fd, 4096)
            if not chunk:
                fail("the session ended")
            self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        return line.decode()

    def rest(self):
        return self.pending + b"".join(iter(lambda: os.read(self.fd, 4096), b""))


def program_on_a_pipe(host, device):
    """A pipe is a script: read to its end and checked whole before anything runs."""
    proc = subprocess.Popen([host, "central", "--port", device, "--script", "-"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        out, _ = proc.communicate(b"echo first\necho second\nwrite M5.12O=1\necho never\n", timeout=20)
    except subprocess.TimeoutExpired:
        proc.kill()
        fail("the script on a pipe did not end")
    if b"stdin:3: 'M5.12O' is not read as typed" not in out:
        fail("line 3's error not told: %r" % out)
    if proc.returncode != 1 or b"first" in out or b"never" in out:
        fail("a script with an error ran in part (exit %d): %r" % (proc.returncode, out))


def person_on_a_terminal(host, device):
    term = Terminal([host, "central", "--port", device, "--script", "-"])
    term.expect(PROMPT)
    term.send(b"write DETC5=+8613900000002\r")
    term.expect(b'DETC5 <- "+8613900000002"')
    term.expect(PROMPT)
    term.send(b"watch M5.121\r")
    term.expect(b"M5.121 = 0")
    term.send(b"\x03")
    term.expect(b"stopped: watch M5.121")
    term.expect(PROMPT)
    term.send(b"read DETC5\r")
    term.expect(b'DETC5 = "+8613900000002"')
    term.expect(PROMPT)
    term.send(b"help\r")
    term.expect(b"await ADDR")
    term.expect(PROMPT)
    term.send(b"raed M5.120\r")
    term.expect(b"'raed' is not an operation")
    term.expect(PROMPT)
    term.send(b"\x03")
    term.expect(PROMPT)
    term.send(b"\x04")
    code = term.exit_code()
    if code != 0:
        fail("the session ended with %d, not 0" % code)


def main():
    host, device = sys.argv[1], sys.argv[2]
    person_on_a_terminal(host, device)
    program_on_a_pipe(host, device)
    print("PASS")


if __name__ == "__main__":
    main()
