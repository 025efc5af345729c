"""The telemetry frames as the tools read and make them: a write command
(one register at a site) and a report (a group of five at the centre), each
as the stations send it, with a keyed station's signature after it."""

from kelvora_facts import GROUP_SIZE as GROUP  # registers a report carries

WRITE_COMMAND_LENGTH = 7 + 2 + 3 + 8 + 3          # BEGINWM, the site, the address, the value, END
REPORT_LENGTH = 7 + 2 + 3 + 8 * GROUP + 3         # BEGINRM, the site, the first address, the values, END
SIGNED_SUFFIX = 1 + 12 + 1 + 32   # "#", the counter, "#", the code: what a keyed station adds to a frame


def unsigned_frame(text):
    """The frame a signed text carries (the text itself when it is not signed); whether its code checks is
    the stations' matter."""
    if len(text) > SIGNED_SUFFIX and text[-SIGNED_SUFFIX] == "#" and text[-33] == "#":
        return text[:-SIGNED_SUFFIX]
    return text


def parse_frame(text):
    """('report', site, first, (v0..v4)) or ('command', site, address, value) or None; values unsigned. A text
    that is a frame as it stands is never a signed one (as the stations read it); otherwise a signed frame is
    read as the frame it carries."""
    return _plain_frame(text) or _plain_frame(unsigned_frame(text))


def _plain_frame(text):
    try:
        if len(text) == REPORT_LENGTH and text.startswith("BEGINRM") and text.endswith("END"):
            values = tuple(int(text[12 + 8 * i:20 + 8 * i], 16) for i in range(GROUP))
            return ("report", int(text[7:9]), int(text[9:12]), values)
        if len(text) == WRITE_COMMAND_LENGTH and text.startswith("BEGINWM") and text.endswith("END"):
            return ("command", int(text[7:9]), int(text[9:12]), int(text[12:20], 16))
    except ValueError:
        pass
    return None


def signed(value):
    """A register's 32 bits as the host shows them."""
    return value - (1 << 32) if value >= 1 << 31 else value


def command_text(site, address, value):
    return f"BEGINWM{site:02d}{address:03d}{value & 0xFFFFFFFF:08X}END"


def report_text(site, first, values):
    return f"BEGINRM{site:02d}{first:03d}" + "".join(f"{v & 0xFFFFFFFF:08X}" for v in values) + "END"
