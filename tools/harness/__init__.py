"""What the demo, the fleet and the soak share: the modem simulator as a
process and its control socket (simulator.py), a kelvora-host session at a
terminal (terminal.py), Wine (wine.py), the telemetry frames (frames.py) and
the options that name the players and shape a fleet's load (options.py).

The tools are packages beside this one (tools/demo, tools/fleet, tools/soak),
run as `python3 -m demo`, `-m fleet`, `-m soak` with tools/ on PYTHONPATH.
"""
