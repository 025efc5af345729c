"""The road of one write and one report, played on simulated modems.

Starts the modem simulator with a central modem and a site-5 modem, runs two
kelvora-host sessions (central station; remote station at device address 5)
and plays: numbers set on both sides and reports switched on, the centre
writes M5.120 = 42, the site picks it up, the site's host writes M121..M124,
the site reports its group, the centre reads M5.120..M5.124. Prints the
timeline (register operations from the hosts, SMS from the simulator's control
interface) and a one-line verdict. Every wait is bounded.
"""

import argparse
import shutil
import sys
import tempfile

from demo.play import SITE, play
from demo.players import SITE_NUMBER
from demo.timeline import Timeline
from harness.options import add_player_options, check_player_options
from harness.simulator import CENTRE_NUMBER


def main():
    parser = argparse.ArgumentParser(prog="demo",
                                     description="The road of one write and one report on simulated modems.")
    add_player_options(parser, workdir=False)
    parser.add_argument("--trace", action="store_true",
                        help="run the hosts with the driver's dialogue trace and show it on the timeline")
    args = parser.parse_args()
    check_player_options(parser, args)

    print("Kelvora demo: the road of one write and one report\n"
          f"  centre: central station on the modem {CENTRE_NUMBER}; site {SITE}: remote station at device "
          f"address {SITE} on the modem {SITE_NUMBER}\n"
          "  times are seconds since the start; '>' marks what a host was told to do, '<-' a write, '=' a read")
    workdir = tempfile.mkdtemp(prefix="kelvora-demo-")
    timeline = Timeline()
    code = 1
    try:
        code = play(args, workdir, timeline)
    except KeyboardInterrupt:
        print("VERDICT: FAIL: interrupted")
    finally:
        if code == 0:
            shutil.rmtree(workdir, ignore_errors=True)
        else:
            print(f"(simulator log kept in {workdir})")
    return code


if __name__ == "__main__":
    sys.exit(main())
