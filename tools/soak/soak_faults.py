"""The faults a soak injects, drawn from its seed.

Every kind the simulator offers, on a modem's answers (refused, late, cut
off, silent with and without echo, interrupted by unsolicited lines, noise,
ERROR), on the network's handling of what a modem sends (delivered twice,
held back so a later one overtakes it), on its store (full, the network
keeping what comes until there is room) and on the modem itself (a restart).
A schedule is a list of (offset in seconds, modem, kind, requests), fixed by
the seed before the run starts, so that a seed replays the same faults at the
same moments; the hosts' own timing is the real clock's.
"""

import random

# Commands whose answers the faults pick from: listing, delete, send (the
# command and the PDU after the prompt), and any command at all.
COMMANDS = ("AT+CMGL", "AT+CMGD", "AT+CMGS", "PDU", "")
# Error numbers of TS 27.005 a modem or network gives for a send or a delete.
SEND_ERRORS = (38, 42, 330, 331, 332, 500)
STORE_ERRORS = (302, 314, 320, 500)
UNSOLICITED = ('\r\n+CMTI: "SM",{n}\r\n', "\r\nRING\r\n", "\r\n+CREG: 1\r\n", '\r\n+CDSI: "SM",{n}\r\n')


def _fault(kind, command, **extra):
    return dict({"cmd": "fault", "kind": kind, "command": command}, **extra)


def draw(kind, rng, timeout_ms):
    """The simulator requests for one fault of `kind` (without the modem)."""
    if kind == "send refused (command)":
        return [_fault("cms_error", "AT+CMGS", cms_error=rng.choice(SEND_ERRORS))]
    if kind == "send refused (PDU)":
        return [_fault("cms_error", "PDU", cms_error=rng.choice(SEND_ERRORS))]
    if kind == "delete refused":
        return [_fault("cms_error", "AT+CMGD", cms_error=rng.choice(STORE_ERRORS), times=rng.randint(1, 3))]
    if kind == "answer past the time-out":
        return [_fault("delay", rng.choice(COMMANDS[:4]), delay_ms=timeout_ms + rng.randint(300, 3000))]
    if kind == "answer late":
        return [_fault("delay", rng.choice(COMMANDS), delay_ms=rng.randint(200, max(300, timeout_ms - 1500)))]
    if kind == "listing cut off":
        return [_fault("cut_off", "AT+CMGL", keep_bytes=rng.randint(4, 240))]
    if kind == "silence":
        return [_fault("silence", rng.choice(COMMANDS), times=rng.randint(1, 3))]
    if kind == "silence with echo":
        return [_fault("silence", rng.choice(COMMANDS), times=rng.randint(1, 3), echo=True)]
    if kind == "unsolicited lines":
        text = rng.choice(UNSOLICITED).format(n=rng.randint(1, 30))
        return [_fault("unsolicited", rng.choice(COMMANDS), bytes=text, after_lines=rng.randint(1, 4),
                       times=rng.randint(1, 2))]
    if kind == "noise":
        noise = "".join(rng.choice("~#\x7f\x00\xff@ABC01\r\n") for _ in range(rng.randint(1, 12)))
        return [_fault("garbage", rng.choice(COMMANDS), bytes=noise)]
    if kind == "ERROR":
        return [_fault("error", rng.choice(COMMANDS))]
    if kind == "delivered twice":
        return [{"cmd": "deliver_twice", "times": rng.randint(1, 3), "overtaken_by": rng.randint(1, 2)}]
    if kind == "held back":
        return [{"cmd": "hold_back", "times": rng.randint(1, 2), "overtaken_by": rng.randint(1, 2)}]
    if kind == "store full":
        return [{"cmd": "fill_store", "sender": "+8610086"}]
    if kind == "restart":
        return [{"cmd": "restart", "boot_ms": rng.randint(500, 3000)}]
    raise ValueError(kind)


KINDS = ("send refused (command)", "send refused (PDU)", "delete refused", "answer past the time-out",
         "answer late", "listing cut off", "silence", "silence with echo", "unsolicited lines", "noise", "ERROR",
         "delivered twice", "held back", "store full", "restart")
# The network's faults act on what a modem sends; the centre sends only
# commands, so they go to the sites more often.
NETWORK_KINDS = ("delivered twice", "held back")


def schedule(seed, minutes, modems, timeout_ms, per_minute, kinds=KINDS):
    """[(offset_s, modem, kind, [request...])] in time order: on average per_minute faults a minute across
    the fleet, one in five with a second fault on the same modem at the same moment (faults overlap
    also by lasting: a fault waits for the command it is for)."""
    rng = random.Random(seed)
    out = []
    t = rng.uniform(5.0, 15.0)
    end = minutes * 60.0
    order = list(kinds)
    while t < end:
        modem = rng.randrange(modems)
        count = 2 if rng.random() < 0.2 else 1
        for _ in range(count):
            kind = order[len(out) % len(order)] if len(out) < len(order) else rng.choice(order)
            out.append((t, modem, kind, draw(kind, rng, timeout_ms)))
        t += rng.expovariate(per_minute / 60.0)
    return out
