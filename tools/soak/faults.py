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


def _unsolicited(rng):
    text = rng.choice(UNSOLICITED).format(n=rng.randint(1, 30))
    return [_fault("unsolicited", rng.choice(COMMANDS), bytes=text, after_lines=rng.randint(1, 4),
                   times=rng.randint(1, 2))]


def _noise(rng):
    noise = "".join(rng.choice("~#\x7f\x00\xff@ABC01\r\n") for _ in range(rng.randint(1, 12)))
    return [_fault("garbage", rng.choice(COMMANDS), bytes=noise)]


# Held, or the second copy, until the sender's next message or two to the same station land, so that
# a later frame for the same registers overtakes it in a hot slot, and then a few seconds more, so
# that the station may have taken the later one before; at most HOLD_S, longer than the period of a
# hot slot or of a site's setpoint group.
# A second copy lands soon after the sender's next message, which at a site is often a report of
# another group: so it can come after the station's own write to those registers (the centre's
# setpoint), before the next frame for them.
HOLD_S = (30, 60)


def _delivered_twice(rng):
    return [{"cmd": "deliver_twice", "times": rng.randint(1, 3), "overtaken_by": 1,
             "longest_ms": rng.randint(*HOLD_S) * 1000, "follow_ms": rng.randint(0, 2) * 1000}]


def _held_back(rng, one_slot):
    return [{"cmd": "hold_back", "times": rng.randint(1, 2 if one_slot else 3), "overtaken_by": 1 if one_slot else 2,
             "longest_ms": rng.randint(*HOLD_S) * 1000, "follow_ms": rng.randint(3, 20) * 1000}]


FORGERIES = ("unsigned", "made-up code", "altered")


class Kind:
    """One kind of fault: its name, its draw (the simulator's requests for one fault, from the seed's
    generator, the hosts' time-out in ms and whether the modem sends frames for one slot only), how
    often it is drawn against the others, whether it goes mostly to the modems of the hot slots (the
    network's faults), and whether it needs keys (its requests are made into messages when it strikes)."""

    def __init__(self, name, draw, weight=1, hot=False, keyed=False):
        self.name, self.draw, self.weight, self.hot, self.keyed = name, draw, weight, hot, keyed


# The network's faults (and the silences, which a poll's time-out check needs) are drawn more often
# than the others; the network's go mostly to the modems of the hot slots (the centre, the site
# reporting every few seconds, the site whose setpoint the centre writes again and again), where a
# later frame for the same registers follows soon. The order is the schedule's: every kind comes once
# first, in this order.
TABLE = (
    Kind("send refused (command)", lambda rng, t, one: [
        _fault("cms_error", "AT+CMGS", cms_error=rng.choice(SEND_ERRORS))]),
    Kind("send refused (PDU)", lambda rng, t, one: [_fault("cms_error", "PDU", cms_error=rng.choice(SEND_ERRORS))]),
    Kind("delete refused", lambda rng, t, one: [
        _fault("cms_error", "AT+CMGD", cms_error=rng.choice(STORE_ERRORS), times=rng.randint(1, 3))]),
    Kind("delete refused for good", lambda rng, t, one: [
        {"cmd": "undeletable", "index": rng.randint(1, 3), "cms_error": 321}]),
    Kind("answer past the time-out", lambda rng, t, one: [
        _fault("delay", rng.choice(COMMANDS[:4]), delay_ms=t + rng.randint(300, 3000))], weight=2),
    Kind("answer late", lambda rng, t, one: [
        _fault("delay", rng.choice(COMMANDS), delay_ms=rng.randint(200, max(300, t - 1500)))]),
    Kind("listing cut off", lambda rng, t, one: [_fault("cut_off", "AT+CMGL", keep_bytes=rng.randint(4, 240))]),
    Kind("silence", lambda rng, t, one: [_fault("silence", rng.choice(COMMANDS), times=rng.randint(1, 3))],
         weight=7),
    Kind("silence with echo", lambda rng, t, one: [
        _fault("silence", rng.choice(COMMANDS), times=rng.randint(1, 3), echo=True)], weight=5),
    Kind("unsolicited lines", lambda rng, t, one: _unsolicited(rng)),
    Kind("noise", lambda rng, t, one: _noise(rng)),
    Kind("ERROR", lambda rng, t, one: [_fault("error", rng.choice(COMMANDS))]),
    Kind("delivered twice", lambda rng, t, one: _delivered_twice(rng), weight=10, hot=True),
    Kind("held back", lambda rng, t, one: _held_back(rng, one), weight=14, hot=True),
    Kind("store full", lambda rng, t, one: [{"cmd": "fill_store", "sender": "+8610086"}]),
    Kind("restart", lambda rng, t, one: [{"cmd": "restart", "boot_ms": rng.randint(500, 3000)}]),
    # The line goes away: for longer than a reopen spacing or two, or for a moment.
    Kind("unplugged", lambda rng, t, one: [
        {"cmd": "unplug", "away_ms": rng.randint(1000, 15000), "boot_ms": rng.randint(500, 3000)}]),
    Kind("hung up", lambda rng, t, one: [{"cmd": "hang_up"}]),
    # With keys: the soak makes the messages when the fault strikes (it knows the numbers, the registers
    # the hosts read and the frames sent so far); each forgery carries a value no host ever writes, and
    # each fault delivers one of every way.
    Kind("forged", lambda rng, t, one: [{"cmd": "forge", "how": how, "serial": rng.randrange(1 << 16)}
                                        for how in FORGERIES], weight=10, keyed=True),
    Kind("replayed", lambda rng, t, one: [{"cmd": "replay", "pick": rng.random()} for _ in range(rng.randint(1, 2))],
         weight=10, keyed=True),
)
BY_NAME = {k.name: k for k in TABLE}
KINDS = tuple(k.name for k in TABLE if not k.keyed)
KEY_KINDS = tuple(k.name for k in TABLE if k.keyed)
HOT_SHARE = 0.75


def draw(kind, rng, timeout_ms, one_slot=False):
    """The simulator requests for one fault of `kind` (without the modem). `one_slot`: the modem sends
    frames for one slot only, so its next message to the same station overtakes a held one; a site
    alternates two groups, so there a held report waits for two."""
    return BY_NAME[kind].draw(rng, timeout_ms, one_slot)


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
    weights = [BY_NAME[k].weight for k in order]
    while t < end:
        modem = rng.randrange(modems)
        count = 2 if rng.random() < 0.2 else 1
        for _ in range(count):
            kind = order[len(out) % len(order)] if len(out) < len(order) else rng.choices(order, weights)[0]
            at = rng.choice(hot) if BY_NAME[kind].hot and hot and rng.random() < HOT_SHARE else modem
            out.append((t, at, kind, draw(kind, rng, timeout_ms, at in one_slot)))
        t += rng.expovariate(per_minute / 60.0)
    return out
