"""Ending child processes with every wait bounded."""

import os
import signal
import subprocess


def stop_process(proc, seconds):
    """Waits for a process to end, then terminates and at last kills it; never waits unbounded."""
    try:
        proc.wait(timeout=seconds)
        return
    except subprocess.TimeoutExpired:
        pass
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except (ProcessLookupError, PermissionError):
            pass
        try:
            proc.wait(timeout=5)
            return
        except subprocess.TimeoutExpired:
            pass


def stop_players(hosts, wine, simulator, win32):
    """The hosts first (each asked to quit; a host under Wine takes longer), then Wine's server before the
    simulator's ptys go (a server holding a pty whose other end goes away floods its output), then the
    simulator. `wine` and `simulator` may be None: not started."""
    for h in hosts:
        h.stop(20 if win32 else 10)
    if wine:
        wine.stop()
    if simulator:
        simulator.stop()
