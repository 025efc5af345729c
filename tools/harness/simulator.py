"""The modem simulator as a program of its own, steered through its control
socket: started with its modems up and their info file read, asked requests
(one JSON object a line), stopped with every wait bounded. The demo, the
fleet and the soak run it so."""

import json
import os
import socket
import subprocess
import time

from harness.process import stop_process

CENTRE_NUMBER = "+8613900000001"  # the centre's modem, modem 0; the fleet numbers its sites' modems after it
SERVICE_CENTRE = "+8613800000000"
WINE_COM_BASE = 21  # under Wine the modems become COM21, COM22, ... in the prefix


class SimulatorProcess:
    """kelvora-modemsim with `options`; failures raise `error` (the caller's exception class). With a Wine
    prefix its modems are also COM ports there."""

    def __init__(self, program, workdir, options, error, start_seconds=15, wine_prefix=None):
        self.error = error
        self.win32 = bool(wine_prefix)
        if wine_prefix:
            options = list(options) + ["--wine-prefix", wine_prefix, "--com-base", str(WINE_COM_BASE)]
        self.socket_path = os.path.join(workdir, "control.sock")
        info_path = os.path.join(workdir, "modems.json")
        argv = [program] + list(options) + ["--control", self.socket_path, "--info-file", info_path]
        # An info file left by a simulator that was killed would pass for this one's being up.
        for leftover in (info_path, self.socket_path):
            if os.path.exists(leftover):
                os.remove(leftover)
        self.log = open(os.path.join(workdir, "simulator.log"), "wb")
        self.proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        deadline = time.time() + start_seconds
        while not os.path.exists(info_path):
            if self.proc.poll() is not None:
                raise error(f"the simulator stopped at start (code {self.proc.returncode}); see {self.log.name}")
            if time.time() > deadline:
                raise error(f"the simulator did not come up within {start_seconds} s")
            time.sleep(0.05)
        with open(info_path) as f:
            self.modems = json.load(f)["modems"]

    def port(self, modem):
        """The port a host opens for the modem: its COM port under Wine, else its pty."""
        m = self.modems[modem]
        return f"COM{m['com']}" if self.win32 else m["device"]

    def request(self, body, timeout=10):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(timeout)
            s.connect(self.socket_path)
            s.sendall((json.dumps(body) + "\n").encode())
            data = b""
            while not data.endswith(b"\n"):
                chunk = s.recv(1 << 20)
                if not chunk:
                    break
                data += chunk
        reply = json.loads(data.decode("utf-8", "replace"))
        if not reply.get("ok"):
            raise self.error(f"simulator refused {body}: {reply.get('error')}")
        return reply

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.request({"cmd": "quit"}, timeout=5)
            except (OSError, ValueError, self.error):
                pass
            stop_process(self.proc, 10)
        self.log.close()
