#!/usr/bin/env python3
"""The README's commissioning recipe, played on the modem simulator: its
commands and scripts are taken from the README as they stand (only the
ports become the simulator's), the site's session and the centre's run at
once, and both must end well.

Usage (inside kelvora-modemsim -n 2): commissioning.py README HOST
The recipe's numbers are the simulator's: modem 0 (the centre) +8613900000001,
modem 1 (the site) +8613900000002, service centre +8613800000000."""
import os
import re
import shlex
import subprocess
import sys
import tempfile

MARK = re.compile(r"^\s*<!-- commissioning: (.+?) -->\s*$")
SESSION_SECONDS = 180


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def recipe(readme):
    """{name: [lines]} of every block marked in the README."""
    blocks = {}
    lines = open(readme, encoding="utf-8").read().split("\n")
    for i, line in enumerate(lines):
        m = MARK.match(line)
        if not m:
            continue
        j = i + 1
        while j < len(lines) and not lines[j].strip():
            j += 1
        block = []
        while j < len(lines) and lines[j].strip():
            block.append(lines[j])
            j += 1
        indent = min(len(x) - len(x.lstrip()) for x in block)
        blocks[m.group(1)] = [x[indent:] for x in block]
    for name in ("prepare centre", "prepare site", "site5.txt", "run site", "centre.txt", "run centre"):
        if name not in blocks:
            fail("the README has no block marked '%s'" % name)
    return blocks


def command(line, host):
    """A recipe's command line with the simulator's ports and this build's program."""
    ports = {"COM3": os.environ["KELVORA_MODEM0_DEVICE"], "/dev/ttyUSB0": os.environ["KELVORA_MODEM1_DEVICE"]}
    words = shlex.split(line)
    if words[0] != "kelvora-host":
        fail("not a kelvora-host command: " + line)
    return [host] + [ports.get(w, w) for w in words[1:]]


def main():
    readme, host = sys.argv[1], os.path.abspath(sys.argv[2])
    blocks = recipe(readme)
    work = tempfile.mkdtemp(prefix="kelvora-commissioning.")
    for name in ("site5.txt", "centre.txt"):
        with open(os.path.join(work, name), "w", encoding="utf-8") as f:
            f.write("\n".join(blocks[name]) + "\n")

    for line in blocks["prepare centre"] + blocks["prepare site"]:
        run = subprocess.run(command(line, host), cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             timeout=120)
        print("$ " + line + "\n" + run.stdout.decode())
        if run.returncode != 0:
            fail("'%s' ended with %d" % (line, run.returncode))

    sessions = []
    for name in ("run site", "run centre"):  # the site listens before the centre writes
        sessions.append((name, subprocess.Popen(command(blocks[name][0], host), cwd=work, stdout=subprocess.PIPE,
                                                stderr=subprocess.STDOUT)))
    outputs = {}
    for name, proc in sessions:
        try:
            out, _ = proc.communicate(timeout=SESSION_SECONDS)
        except subprocess.TimeoutExpired:
            for _, other in sessions:
                other.kill()
            fail("%s did not end within %d s" % (name, SESSION_SECONDS))
        outputs[name] = out.decode()
        print("$ %s\n%s(exit %d)\n" % (blocks[name][0], outputs[name], proc.returncode))
        if proc.returncode != 0:
            fail("%s ended with %d" % (name, proc.returncode))

    expected = {"run site": ["M120 = 42", "site: the centre's value arrived", "site: report sent"],
                "run centre": ["M5.120 <- 42  sent", "M5.121 = 7", "centre: the site's report arrived"]}
    for name, marks in expected.items():
        for mark in marks:
            if mark not in outputs[name]:
                fail("%s did not show %r" % (name, mark))
    print("PASS")


if __name__ == "__main__":
    main()
