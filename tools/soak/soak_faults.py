"""The faults a soak injects, drawn from its seed.

Every kind the simulator offers, on a modem's answers (refused, late, cut
off, silent with and without echo, interrupted by unsolicited lines, noise,
ERROR), on the network's handling of what a modem sends (delivered twice,
held back so a later one overtakes it), on its store (full, the network
keeping what comes until there is room; a place whose deletes are refused
for good) and on the modem itself (a restart) and its line (unplugged for a
while, then back at the same path with the modem restarted; hung up and back
at once).
With keys on, forgeries and replays too: messages the network delivers to a
keyed station from its peer's number that its peer never signed (unsigned,
signed with a made-up code, a genuine one altered), and genuine signed frames
delivered again later (the soak picks them when the fault strikes).
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


def draw(kind, rng, timeout_ms, one_slot=False):
    """The simulator requests for one fault of `kind` (without the modem). `one_slot`: the modem sends
    frames for one slot only, so its next message to the same station overtakes a held one; a site
    alternates two groups, so there a held report waits for two."""
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
    if kind == "delete refused for good":
        return [{"cmd": "undeletable", "index": rng.randint(1, 3), "cms_error": 321}]
    # Held, or the second copy, until the sender's next message or two to the same station land, so that
    # a later frame for the same registers overtakes it in a hot slot, and then a few seconds more, so
    # that the station may have taken the later one before; at most HOLD_S, longer than the period of a
    # hot slot or of a site's setpoint group.
    # A second copy lands soon after the sender's next message, which at a site is often a report of
    # another group: so it can come after the station's own write to those registers (the centre's
    # setpoint), before the next frame for them.
    if kind == "delivered twice":
        return [{"cmd": "deliver_twice", "times": rng.randint(1, 3), "overtaken_by": 1,
                 "longest_ms": rng.randint(*HOLD_S) * 1000, "follow_ms": rng.randint(0, 2) * 1000}]
    if kind == "held back":
        return [{"cmd": "hold_back", "times": rng.randint(1, 2 if one_slot else 3), "overtaken_by": 1 if one_slot else 2,
                 "longest_ms": rng.randint(*HOLD_S) * 1000, "follow_ms": rng.randint(3, 20) * 1000}]
    if kind == "store full":
        return [{"cmd": "fill_store", "sender": "+8610086"}]
    if kind == "restart":
        return [{"cmd": "restart", "boot_ms": rng.randint(500, 3000)}]
    # The line goes away: for longer than a reopen spacing or two, or for a moment.
    if kind == "unplugged":
        return [{"cmd": "unplug", "away_ms": rng.randint(1000, 15000), "boot_ms": rng.randint(500, 3000)}]
    if kind == "hung up":
        return [{"cmd": "hang_up"}]
    # The soak makes the messages when the fault strikes (it knows the numbers, the registers the hosts
    # read and the frames sent so far); each carries a value no host ever writes.
    if kind == "forged":
        return [{"cmd": "forge", "how": how, "serial": rng.randrange(1 << 16)} for how in FORGERIES]
    if kind == "replayed":
        return [{"cmd": "replay", "pick": rng.random()} for _ in range(rng.randint(1, 2))]
    raise ValueError(kind)


KINDS = ("send refused (command)", "send refused (PDU)", "delete refused", "delete refused for good",
         "answer past the time-out", "answer late", "listing cut off", "silence", "silence with echo",
         "unsolicited lines", "noise", "ERROR", "delivered twice", "held back", "store full", "restart",
         "unplugged", "hung up")
HOLD_S = (30, 60)
# With keys: forgeries (each fault delivers one of every way) and replays.
KEY_KINDS = ("forged", "replayed")
FORGERIES = ("unsigned", "made-up code", "altered")
# The network's faults (and the silences, which a poll's time-out check needs) are
# drawn this many times as often as the others; the network's go mostly to
# the modems of the hot slots (the centre, the site reporting every few
# seconds, the site whose setpoint the centre writes again and again), where
# a later frame for the same registers follows soon.
WEIGHTS = {"delivered twice": 10, "held back": 14, "silence": 7, "silence with echo": 5, "answer past the time-out": 2,
           "forged": 10, "replayed": 10}
NETWORK_KINDS = ("delivered twice", "held back")
HOT_SHARE = 0.75


def schedule(seed, minutes, modems, timeout_ms, per_minute, kinds=KINDS, hot=(), one_slot=()):
    """[(offset_s, modem, kind, [request...])] in time order: on average per_minute faults a minute across
    the fleet, one in five with a second fault on the same modem at the same moment (faults overlap
    also by lasting: a fault waits for the command it is for). Every kind comes once first, in order.
    hot: the modems of the hot slots; one_slot: the modems that send frames for one slot only."""
    rng = random.Random(seed)
    out = []
    t = rng.uniform(5.0, 15.0)
    end = minutes * 60.0
    order = list(kinds)
    weights = [WEIGHTS.get(k, 1) for k in order]
    while t < end:
        modem = rng.randrange(modems)
        count = 2 if rng.random() < 0.2 else 1
        for _ in range(count):
            kind = order[len(out) % len(order)] if len(out) < len(order) else rng.choices(order, weights)[0]
            at = rng.choice(hot) if kind in NETWORK_KINDS and hot and rng.random() < HOT_SHARE else modem
            out.append((t, at, kind, draw(kind, rng, timeout_ms, at in one_slot)))
        t += rng.expovariate(per_minute / 60.0)
    return out
