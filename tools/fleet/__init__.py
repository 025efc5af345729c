"""The fleet: a centre and its sites on the modem simulator, ending with a table and a verdict
(python3 -m fleet); the soak runs it under faults."""
