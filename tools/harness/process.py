"""Ending a child process with every wait bounded."""

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
