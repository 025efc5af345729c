#!/usr/bin/env python3
"""Runs a command while this program holds a serial port open without
locking it, as a terminal program left running would.

Usage: port_taken.py DEVICE COMMAND [ARGS...]; exits with the command's code."""
import os
import subprocess
import sys

fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
code = subprocess.run(sys.argv[2:], timeout=120).returncode
os.close(fd)
sys.exit(code)
