"""A fleet on the simulator: one centre serving N sites, as in the field.

Starts the modem simulator with one modem for the centre and one for each
site, on a network that takes its time (a send is answered a few seconds
later, and lands a little after), and one kelvora-host session per station,
each loading the real driver as a host does (natively the shared library,
with --win32 Kelvora.dll under Wine):

- each site's host, every --site-period seconds (the sites spread over the
  period), writes new values into its next measurement group and reads it,
  then reads its setpoint group; COMFLAG is on, so each read that polls
  reports its group to the centre. Every value is unique (tick, site,
  address), so each report can be told from every other;
- the centre's host scans every group of every site in a loop, and every
  --write-every seconds writes a new setpoint to the next site.

When the time is up the sites stop measuring, the network is drained (every
write applied at its site, every report through the centre's modem, one
more scan), and the run ends with a table and a verdict line. Everything
judged comes from the simulator's records and what the hosts read (see
fleet/records.py); the records are kept as JSON in the work folder.
"""

import argparse
import json
import os
import sys
import time

from fleet.play import Fleet
from fleet.players import Players
from fleet.records import SCAN_GOAL_S, Records, analyse, format_table
from fleet.session import FleetError
from fleet.view import analyse_view, format_view
from harness.options import (add_fleet_options, check_fleet_options, platform_name, run_config,
                             work_folder)


def run(args, workdir):
    records = Records(run_config(args))
    try:
        with Players(args, workdir, records) as players:
            error = players.play(Fleet(args, records, players.sessions, players.simulator))
    except FleetError as e:
        print(f"VERDICT: FAIL: {e}")
        return 1
    if records.ended is None:
        records.ended = time.time()
    if records.started is None:
        records.started = records.ended
    path = os.path.join(workdir, "fleet-records.json")
    records.save(path)
    summary = analyse(records)
    view = analyse_view(records)
    summary["view"] = view
    summary["problems"] += view["problems"]
    if error:
        summary["problems"].insert(0, error)
    with open(os.path.join(workdir, "fleet-summary.json"), "w") as f:
        json.dump(summary, f, indent=1)
    print(f"\nFleet on the simulator ({platform_name(args)}; send answered after {args.send_delay_ms / 1000:g} s, "
          f"delivered {args.delivery_delay_ms / 1000:g} s after sending; records in {path})")
    print(format_table(summary))
    print("\n".join(f"  {k:<25}  {v}" for k, v in format_view(view)))
    if summary["problems"]:
        print("VERDICT: FAIL: " + "; ".join(summary["problems"]))
        return 1
    pace = (f"the centre keeps up: 95% of scans within {SCAN_GOAL_S:g} s" if summary["keeps_up"] else
            f"the centre falls behind at this load: 95% of scans within {summary['scan_p95_s'] or 0:.1f} s, "
            f"report lag up to {summary['lag_longest_s'] or 0:.1f} s")
    print(f"VERDICT: PASS: {summary['sites']} sites for {summary['run_s'] / 60:.1f} min, nothing lost, every "
          f"write applied, storage high-water {summary['store_high_water']} of {summary['store_capacity']}; "
          + pace)
    return 0


def main():
    p = argparse.ArgumentParser(prog="fleet",
                                description="A centre and its sites on the modem simulator, ending with a table.")
    p.add_argument("--minutes", type=float, default=3.0, help="minutes of running before the drain (default 3)")
    add_fleet_options(p, sites=32, site_period=120.0, write_every=20.0, drain_limit=180.0)
    p.add_argument("--hold-writes", action="store_true",
                   help="the centre holds each written value until the site confirms it (HoldWrites)")
    p.add_argument("--stale-after", type=float, default=0,
                   help="seconds: the centre fails the reads of a site silent that long (StaleAfter; default off)")
    p.add_argument("--silence-site", type=int, help="make this site's modem silent during the run")
    p.add_argument("--silence-at", type=float, default=60.0,
                   help="seconds into the run to make --silence-site silent (default 60)")
    args = p.parse_args()
    check_fleet_options(p, args)
    if args.silence_site is not None and not 0 <= args.silence_site < args.sites:
        p.error("--silence-site must name one of the sites")
    if args.stale_after and args.stale_after != int(args.stale_after):
        p.error("--stale-after takes whole seconds")
    workdir = work_folder(args, "fleet")
    print(f"Kelvora fleet: {args.sites} sites and a centre ({args.poll_scope} poll scope) at {args.baud} baud "
          f"for {args.minutes:g} min; each site measures every {args.site_period:g} s (two reports), the centre writes every "
          f"{args.write_every:g} s", flush=True)
    try:
        return run(args, workdir)
    except KeyboardInterrupt:
        print("VERDICT: FAIL: interrupted")
        return 1


if __name__ == "__main__":
    sys.exit(main())
