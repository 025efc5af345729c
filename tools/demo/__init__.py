"""The demo: the road of one write and one report on simulated modems (python3 -m demo)."""
