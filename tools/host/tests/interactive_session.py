#!/usr/bin/env python3
"""An interactive kelvora-host session on a terminal, driven as a person
would: a number written, a watch stopped with Ctrl-C, the number still
there, help, an unknown word, Ctrl-C at the prompt, Ctrl-D to end.

Usage: interactive_session.py HOST DEVICE   (a central station on DEVICE)
Every wait is bounded; exits 0 when the session behaved, 1 otherwise."""
import os
import pty
import select
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


def main():
    host, device = sys.argv[1], sys.argv[2]
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
    print("PASS")


if __name__ == "__main__":
    main()
