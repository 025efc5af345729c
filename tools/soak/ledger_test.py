"""The soak's ledger on small recorded histories, each with one fault written in: every check must catch
its fault, and pass the same history without it. Run: python3 -m unittest soak.ledger_test (tools/ on
PYTHONPATH)."""

import unittest

from fleet.records import Records
from soak.ledger import Ledger

SETPOINT = 15  # four groups a site: the setpoint group starts at 15, its heartbeat is 16
T0 = 1_000_000.0


def command_text(site, address, value):
    return f"BEGINWM{site:02d}{address:03d}{value:08X}END"


def report_text(site, first, values):
    return f"BEGINRM{site:02d}{first:03d}" + "".join(f"{v:08X}" for v in values) + "END"


class History:
    """A soak's records made by hand: one centre (modem 0) and one site (modem 1), 9600 baud, 5 s time-out."""

    def __init__(self):
        self.records = Records({})
        self.records.started = T0
        self.records.numbers = {"centre": 0, "0": 1}
        self.records.calls, self.records.faults = [], []
        self.records.command_logs = {0: [], 1: []}
        self.pdus = 0

    def frame(self, sent, text, delivered, copies=()):
        """A message the network took at +sent and stored at +delivered; its PDU as stored."""
        self.pdus += 1
        pdu = f"07911111{self.pdus:04X}"
        sender = 0 if text.startswith("BEGINWM") else 1
        self.records.submitted.append({
            "time_ms": int((T0 + sent) * 1000), "from": sender, "accepted": True, "outcome": "delivered",
            "delivered_ms": int((T0 + delivered) * 1000), "stored_index": 1, "deliver_pdu": pdu,
            "copies": [{"delivered_ms": int((T0 + c) * 1000), "stored_index": 2} for c in copies],
            "decoded": {"text": text}})
        return pdu

    def listing(self, modem, at, pdus):
        response = "".join(f"\r\n+CMGL: {i + 1},1,,20\r\n{p}" for i, p in enumerate(pdus)) + "\r\n\r\nOK\r\n"
        self.log(modem, at, "AT+CMGL=1", response)

    def log(self, modem, at, command, response="\r\nOK\r\n", delay_ms=0):
        self.records.command_logs[modem].append({"time_ms": int((T0 + at) * 1000), "command": command,
                                                 "response": response, "delay_ms": delay_ms})

    def site_read(self, at, value, since=None):
        self.records.site_reads.append({"time": T0 + at, "since": T0 + (at - 0.5 if since is None else since),
                                        "site": 0, "address": SETPOINT, "value": value})

    def centre_read(self, at, address, value, since):
        self.records.centre_reads.append({"time": T0 + at, "since": T0 + since, "site": 0, "address": address,
                                          "value": value})

    def ledger(self):
        ledger = Ledger(self.records, SETPOINT, 5000, 9600)
        ledger.load_frames()
        ledger.check_order()
        ledger.check_lost()
        ledger.check_bounds({})
        return ledger


def kinds(ledger):
    return [v["kind"] for v in ledger.violations]


class LostTest(unittest.TestCase):
    def history(self, shown):
        h = History()
        pdu = h.frame(0.0, command_text(0, SETPOINT, 900_000_000), delivered=2.0)
        h.listing(1, 4.0, [pdu])
        h.site_read(6.0, shown, since=5.0)  # begun after the listing
        return h

    def test_a_frame_listed_and_then_not_shown_is_lost(self):
        ledger = self.history(0).ledger()
        self.assertEqual(kinds(ledger), ["lost"])
        self.assertEqual(ledger.chances["lost"], 1)

    def test_shown_it_is_not(self):
        ledger = self.history(900_000_000).ledger()
        self.assertEqual(kinds(ledger), [])
        self.assertEqual(ledger.chances["lost"], 1)

    def test_only_a_read_begun_after_the_listing_judges_it(self):
        h = self.history(0)
        h.records.site_reads[0]["since"] = T0 + 3.9
        self.assertEqual(kinds(h.ledger()), [])

    def test_an_entry_split_by_an_unsolicited_line_is_not_carried(self):
        h = self.history(0)
        log = h.records.command_logs[1][0]
        log["response"] = log["response"].replace(",20\r\n", ",20\r\n\r\nRING\r\n")
        ledger = h.ledger()
        self.assertEqual(kinds(ledger), [])
        self.assertEqual(ledger.chances["lost"], 0)

    def test_a_listing_past_the_time_out_carries_nothing(self):
        h = self.history(0)
        h.records.command_logs[1][0]["delay_ms"] = 5200
        ledger = h.ledger()
        self.assertNotIn("lost", kinds(ledger))
        self.assertEqual(ledger.chances["lost"], 0)

    def test_a_report_lost_at_the_centre_and_one_excused_by_a_later_one_shown(self):
        h = History()
        first = h.frame(0.0, report_text(0, 0, (101, 102, 103, 104, 105)), delivered=2.0)
        later = h.frame(5.0, report_text(0, 0, (201, 202, 203, 204, 205)), delivered=7.0)
        h.listing(0, 3.0, [first])
        h.listing(0, 8.0, [later])
        h.centre_read(4.0, 0, 0, since=3.5)   # after the first listing, still the value before any frame
        h.centre_read(9.0, 0, 201, since=8.5)
        ledger = h.ledger()
        self.assertEqual(kinds(ledger), ["lost"])
        self.assertIn(report_text(0, 0, (101, 102, 103, 104, 105)), ledger.violations[0]["story"][0])
        h.records.centre_reads[0]["since"] = T0 + 2.5  # begun before it was listed: the later one excuses it
        self.assertEqual(kinds(h.ledger()), [])


class OrderTest(unittest.TestCase):
    def two_commands(self):
        h = History()
        h.frame(0.0, command_text(0, SETPOINT, 900_000_000), delivered=20.0)
        h.frame(5.0, command_text(0, SETPOINT, 900_001_000), delivered=7.0)
        return h

    def test_a_frame_shown_after_one_sent_later_went_back(self):
        h = self.two_commands()
        h.site_read(10.0, 900_001_000)
        h.site_read(25.0, 900_000_000)
        ledger = h.ledger()
        self.assertEqual(kinds(ledger), ["went back"])
        self.assertEqual(ledger.chances["went back"], 1)  # the older one landed after the newer one

    def test_a_frame_shown_again_after_another_was_applied_twice(self):
        h = self.two_commands()
        h.site_read(3.0, 900_000_000)
        h.site_read(10.0, 900_001_000)
        h.site_read(25.0, 900_000_000)
        self.assertEqual(kinds(h.ledger()), ["applied twice"])

    def test_a_value_no_frame_carried_and_a_site_back_at_zero(self):
        h = self.two_commands()
        h.site_read(10.0, 900_001_000)
        h.site_read(12.0, 123)
        self.assertEqual(kinds(h.ledger()), ["value from nowhere"])
        h = self.two_commands()
        h.site_read(10.0, 900_001_000)
        h.site_read(12.0, 0)
        self.assertEqual(kinds(h.ledger()), ["value from nowhere"])

    def test_in_order_nothing(self):
        h = self.two_commands()
        h.site_read(1.0, 0)
        h.site_read(10.0, 900_001_000)
        h.site_read(25.0, 900_001_000)
        self.assertEqual(kinds(h.ledger()), [])

    def test_a_report_applied_again_over_the_centres_own_write(self):
        h = History()
        own = 900_000_000
        pdu = h.frame(0.0, report_text(0, SETPOINT, (own, 555, 0, 0, 0)), delivered=2.0, copies=(12.0,))
        h.listing(0, 3.0, [pdu])
        h.listing(0, 13.0, [pdu])

        def view(at, setpoint):
            h.centre_read(at, SETPOINT, setpoint, since=at - 0.5)
            h.centre_read(at + 0.1, SETPOINT + 1, 555, since=at)

        view(4.0, own)
        view(9.0, 900_003_000)   # the centre wrote its setpoint
        view(14.0, own)          # the second copy put the report's value back
        ledger = h.ledger()
        self.assertEqual(kinds(ledger), ["applied twice"])
        self.assertEqual(ledger.chances["applied twice"], 1)
        h.records.centre_reads[-2]["value"] = 900_003_000
        self.assertEqual(kinds(h.ledger()), [])


class BoundTest(unittest.TestCase):
    def history(self, second_listing_silent, took):
        h = History()
        h.log(1, 0.1, "AT+CMGL=1", "")  # no answer: the poll should stop here
        h.log(1, 5.2, "AT+CMGL", "" if second_listing_silent else "\r\nOK\r\n")
        h.records.calls.append({"who": "site 0", "modem": 1, "start": T0, "end": T0 + took,
                                "lines": ["read M15"], "reads": 1})
        return h

    def test_a_poll_that_goes_on_after_an_unanswered_exchange_is_over_its_bound(self):
        ledger = self.history(True, 10.4).ledger()
        self.assertEqual(kinds(ledger), ["over its bound"])
        self.assertEqual(ledger.chances["time-out per poll"], 1)

    def test_one_time_out_a_poll_is_allowed(self):
        self.assertEqual(kinds(self.history(False, 5.4).ledger()), [])

    def test_a_send_has_two(self):
        h = History()
        h.log(1, 0.1, "AT+CMGS=30", "")  # no prompt; its PDU then went unlogged
        h.records.calls.append({"who": "site 0", "modem": 1, "start": T0, "end": T0 + 11.5,
                                "lines": ["read M15"], "reads": 1})
        self.assertEqual(kinds(h.ledger()), [])


class ChancesTest(unittest.TestCase):
    def test_a_check_with_too_few_chances_says_so(self):
        ledger = History().ledger()
        self.assertIn("not exercised: lost had 0 chances", ledger.not_exercised(20))


if __name__ == "__main__":
    unittest.main()


class ReplaysTest(unittest.TestCase):
    def test_a_replay_is_taken_when_the_trace_applies_its_text_twice(self):
        import os
        import tempfile
        from soak.forgeries import replays_taken
        signed = command_text(0, SETPOINT, 7) + "#000000000001#" + "A" * 32
        line = ('2026-12-08 16:40:26.643 remote 0 COM1 [1]  message 1 from 8613800000001 sent 26120816401500 "'
                + signed + '": write command applied to M15 = 7, authenticated [message-{}]\n')
        with tempfile.TemporaryDirectory() as d:
            trace = os.path.join(d, "trace-site0.log")
            with open(trace + ".1", "w") as f:
                f.write(line.format("applied"))         # the genuine frame, in the older file
            with open(trace, "w") as f:
                f.write(line.format("refused-by-key"))  # the replay, refused
            self.assertEqual(0, replays_taken([(1, signed)], lambda modem: trace))
            with open(trace, "a") as f:
                f.write(line.format("applied"))         # the replay, taken
            self.assertEqual(1, replays_taken([(1, signed)], lambda modem: trace))
