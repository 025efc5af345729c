"""How long each host call of a soak may take, exchange by exchange.

A call's bound is built from what its modem logged while it ran (the
simulator's books): the pauses the driver makes (before every send, before a
central poll), each exchange the modem answered (how late, and its bytes at
the line rate), and one time-out for each exchange that the rules let end by
the time-out. A poll stops at its first exchange that ends so: its listings
and deletes after that one are allowed nothing. A send has two exchanges,
its command and its PDU, and each may end by the time-out (without the
prompt the PDU goes all the same, into a modem that then logs nothing). A
restart of the modem during the call allows its boot time once, with the
two exchanges it swallows. Besides, a small allowance for the machine.
"""

from kelvora_facts import MODEM_PAUSE_S as PAUSE_S  # before a central poll and before every send
from soak.frames import answer_times, line_seconds

MACHINE_ALLOWANCE_S = 1.0       # a call's own cost: the host, the pty, a loaded machine
EXCHANGE_ALLOWANCE_S = 0.06     # each exchange's reads of 10 ms and their scheduling


def exchange_cost(entry, timeout_s, baud):
    """(seconds, ended by the time-out) for one command the modem logged (see answer_times)."""
    sending = (len(entry.get("command", "")) + 2) * 10.0 / baud if baud else 0.0
    if entry.get("answered_s") is not None:
        return entry["answered_s"] + sending, False
    return timeout_s + line_seconds(entry, baud), True


def operations(entries):
    """The logged commands of one call grouped as the driver issues them: a poll (the listings and the
    deletes after them), a send (its command and its PDU), or a lone command."""
    ops, current = [], None
    for e in entries:
        c = e["command"].upper()
        if c.startswith("AT+CMGL=1") or (c.startswith(("AT+CMGL", "AT+CMGD")) and (current or {}).get("kind") != "poll"):
            current = {"kind": "poll", "entries": [e]}
            ops.append(current)
        elif c.startswith(("AT+CMGL", "AT+CMGD")):
            current["entries"].append(e)
        elif c.startswith("AT+CMGS"):
            current = {"kind": "send", "entries": [e]}
            ops.append(current)
        elif c.startswith("PDU") and (current or {}).get("kind") == "send" and len(current["entries"]) == 1:
            current["entries"].append(e)
        else:
            current = {"kind": "other", "entries": [e]}
            ops.append(current)
    return ops


def operation_time(op, timeout_s, baud):
    """(seconds allowed, whether an exchange ended by the time-out, the exchanges allowed nothing)."""
    spent, timed_out, extra = 0.0, False, []
    for i, e in enumerate(op["entries"]):
        cost, ended = exchange_cost(e, timeout_s, baud)
        if op["kind"] == "poll" and timed_out:
            extra.append(e)  # the poll should have stopped
            continue
        spent += cost
        timed_out = timed_out or ended
        if op["kind"] == "send" and ended and i == 0 and len(op["entries"]) == 1:
            spent += timeout_s  # the PDU went into a modem that logged no command for it
    return spent, timed_out, extra


def call_bounds(records, timeout_s, baud, boot_s):
    """([(ratio, call, bound)], [(when, modem, story) for calls over their bound], polls that timed out).
    boot_s: modem -> the longest start-up of its restarts (seconds)."""
    restarts, logs = {}, {}
    for m, log in ((int(k), v) for k, v in records.command_logs.items()):
        restarts[m] = [e["time_ms"] / 1000.0 for e in log if e["command"] == "<restart>"]
        answer_times(log, baud, timeout_s)
        logs[m] = [e for e in log if not e["command"].startswith("<")]
    calls, over, timed_out_polls = [], [], 0
    for call in records.calls:
        start, end = call["start"], call["end"]
        entries = [e for e in logs.get(call["modem"], []) if start - 0.05 <= e["time_ms"] / 1000.0 <= end + 0.05]
        ops = operations(entries)
        sends = sum(1 for op in ops if op["kind"] == "send")
        polls = sum(1 for op in ops if op["kind"] == "poll")
        spent, extra = 0.0, []
        for op in ops:
            seconds, timed_out, ignored = operation_time(op, timeout_s, baud)
            spent += seconds
            extra += ignored
            timed_out_polls += 1 if op["kind"] == "poll" and timed_out else 0
        booted = [r for r in restarts.get(call["modem"], []) if start - 5.0 <= r <= end]
        # A modem starting up hears nothing: what it was answering and the next exchange or two are lost.
        boot = sum(boot_s.get(call["modem"], 3.0) + 2 * timeout_s + PAUSE_S for _ in booted)
        pauses = PAUSE_S * (sends + (polls if call["who"] == "centre" else 0))
        bound = (pauses + spent + boot + MACHINE_ALLOWANCE_S + EXCHANGE_ALLOWANCE_S * len(entries)
                 + 0.02 * call.get("reads", 1))
        took = end - start
        calls.append((took / bound, call, bound))
        if took > bound:
            story = [f"{call['who']}: '{call['lines'][0][:70]}' took {took:.2f} s against its bound {bound:.2f} s "
                     f"({polls} poll(s), {sends} send(s), {len(entries)} exchange(s) logged by the modem"
                     + (f", {len(extra)} of them in a poll after an exchange that ended by the time-out" if extra
                        else "") + ")"]
            story += [f"  {e['time_ms'] / 1000.0 - (records.started or 0):+.2f} s {e['command'][:40]!r} -> "
                      f"{e.get('response', '')[:50]!r} (answer after {e['wait_s']:.2f} s)" for e in entries[:12]]
            over.append((end, call["modem"], story))
    return calls, over, timed_out_polls
