"""Wine for the tools: a win32 prefix, its server started detached (so that
no child inherits its pipes) and stopped before the simulator's ptys go
(harness/process.py), and Kelvora.dll registered as an installer does.

As a command, the same for a shell script or a CTest entry (it imports
nothing else of the harness, so it also runs as tools/harness/wine.py):
  python3 -m harness.wine start PREFIX    the server, and the prefix booted (made on first use)
  python3 -m harness.wine server PREFIX   the server alone (after a tool stopped it)
  python3 -m harness.wine stop PREFIX     the server stopped, waited for at most 30 s
"""

import os
import subprocess
import sys


def wine_env(prefix):
    return dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")


def _quiet(argv, env, timeout):
    return subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=timeout)


class Wine:
    def __init__(self, prefix, wine_run=None, who="demo"):
        """who: the tool that says what it does (None: it says nothing)."""
        self.prefix = prefix
        self.wine_run = wine_run
        self.who = who
        # The host sessions talk through wine-run.sh interactively: no output capture.
        os.environ["KELVORA_WINE_STREAM"] = "1"
        self.env = wine_env(prefix)
        self.started = False

    def serve(self):
        """The prefix's server, detached and persistent; it exits at once when one already runs."""
        os.makedirs(self.prefix, exist_ok=True)
        subprocess.Popen(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True)
        self.started = True

    def start(self):
        self.serve()
        first = not os.path.exists(os.path.join(self.prefix, "system.reg"))
        if first and self.who:
            print(f"{self.who}: creating the Wine prefix (first run only, about a minute)", flush=True)
        _quiet(["wineboot", "-i"] if first else ["wineboot"], self.env, 300)

    def register(self, dll):
        """regsvr32, as an installer does; False when it failed (the host then loads the DLL directly)."""
        path = subprocess.run(["winepath", "-w", dll], env=self.env, capture_output=True, text=True,
                              timeout=60).stdout.strip()
        result = subprocess.run([self.wine_run, "regsvr32", "/s", path], env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=120)
        return result.returncode == 0, path

    def start_with(self, dll):
        """Starts Wine and registers the DLL, saying so."""
        print(f"{self.who}: starting Wine", flush=True)
        self.start()
        ok, path = self.register(dll)
        print(f"{self.who}: regsvr32 {path}: " + ("registered" if ok else "FAILED (the hosts load the DLL directly)"),
              flush=True)

    def stop(self):
        if self.started:
            _quiet(["wineserver", "-k"], self.env, 30)
            try:
                _quiet(["wineserver", "-w"], self.env, 30)
            except subprocess.TimeoutExpired:
                pass
            self.started = False


def main(argv):
    if len(argv) != 3 or argv[1] not in ("start", "server", "stop"):
        print("usage: python3 -m harness.wine start|server|stop PREFIX", file=sys.stderr)
        return 2
    wine = Wine(argv[2], who=None)
    if argv[1] == "start":
        try:
            wine.start()
        except subprocess.TimeoutExpired:
            print(f"wine: the prefix {argv[2]} did not boot within 300 s", file=sys.stderr)
            return 1
    elif argv[1] == "server":
        wine.serve()
    else:
        wine.started = True
        wine.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
