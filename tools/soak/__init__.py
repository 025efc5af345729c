"""The soak: the fleet under mixed faults, checked by a ledger (python3 -m soak; python3 -m soak.mutants)."""
