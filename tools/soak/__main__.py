"""A fleet under mixed faults, for as long as asked, checked by a ledger.

Runs the fleet of tools/fleet (a centre scanning and writing, sites measuring
and reporting, each station a kelvora-host session on the real driver) while
the faults of soak/faults.py, drawn from the seed, strike random modems at
random moments, alone and together. Every value written is unique. Some
slots are hot (a site reporting its setpoint group every few seconds, the
centre writing one site's setpoint again and again), so that the network's
faults meet a later frame for the same registers. The ledger (soak/ledger.py)
checks as the run goes that nothing was lost, applied twice or went back, and
at the end also that every host call stayed within its bound, the drain
converged with every store empty and the hosts' memory and traces stayed
flat; each check counts its chances. It ends with a table by fault kind, one
of the checks and their chances, and one last line; the exit code is 1 with
the seed and the first violation's story when any check failed, or when a
soak of 10 minutes or more gave a check fewer than 20 chances. The same seed
replays the same faults.
"""

import argparse
import json
import os
import random
import sys
import time

from fleet.players import Players
from fleet.records import Records
from fleet.session import FleetError
from harness.options import add_fleet_options, check_fleet_options, run_config, work_folder
from soak.faults import KEY_KINDS, KINDS, schedule
from soak.forgeries import forged_accepted
from soak.ledger import REQUIRED_CHANCES, Ledger
from soak.play import Soak, hot_sites
from soak.players import SoakSimulator, TimedSession, host_options, make_keys, trace_path
from soak.report import last_line, print_failure, print_tables


def faults_for(args, seed):
    """The seed's faults, the network's mostly on the hot slots' modems."""
    reporter, target = hot_sites(args.sites)
    hot = tuple(sorted({0, target + 1} | ({reporter + 1} if reporter is not None else set())))
    one_slot = (0,) + ((reporter + 1,) if reporter is not None else ())  # the centre writes setpoints only
    return schedule(seed, args.minutes, args.sites + 1, args.timeout_ms, args.faults_per_minute, args.kinds, hot,
                    one_slot)


def play(args, workdir, seed, records):
    """The soak played to its end: (the soak, the error that ended it or None)."""
    soak = error = None
    keys = make_keys(args, workdir) if args.keys else {}
    try:
        with Players(args, workdir, records, SoakSimulator, TimedSession,
                     host_options(args, workdir, keys)) as players:
            soak = Soak(args, records, players.sessions, players.simulator, faults_for(args, seed), workdir)
            error = players.play(soak)
    except FleetError as e:
        error = error or str(e)
    return soak, error


def judge(args, records, soak, error):
    """The ledger's checks over the whole run: (ledger, converged, forged (taken, delivered) or None)."""
    ledger = Ledger(records, soak.setpoint_group, args.timeout_ms, args.baud)
    ledger.load_frames()
    ledger.check_order()
    ledger.check_lost()
    boot = {}
    for f in records.faults:
        for r in f["requests"]:
            if r["cmd"] in ("restart", "unplug"):  # an unplugged modem restarts when it is back
                boot[f["modem"]] = max(boot.get(f["modem"], 0.0), r.get("boot_ms", 0) / 1000.0)
    ledger.check_bounds(boot)
    converged = records.drain_complete and ledger.check_end(soak.final_values, args.sites, args.groups)
    if not records.drain_complete:
        # A drain that never ended is the run not converging, whatever held it (a station that never got
        # its line back, a message never delivered): the ledger says so, as it does for a wrong value.
        ledger.violation("not converged", records.drained, [],
                         [soak.failure or error or "the drain did not end"])
    warm_up = records.started + min(120.0, (records.ended - records.started) / 3)
    ledger.check_resources(None if args.memory_unjudged else soak.memory, soak.traces, warm_up)
    if soak.first_violation and soak.first_violation not in ledger.violations:
        ledger.violations.insert(0, soak.first_violation)
    forged_values = soak.forger.forged_values
    forged_count = forged_accepted(records, ledger, forged_values, soak.forger.replayed,
                                   lambda modem: trace_path(soak.workdir, "centre" if modem == 0 else f"site {modem - 1}")) \
        if args.keys else None
    if forged_count and forged_count[0]:
        seen = sorted(forged_values & {r["value"] & 0xFFFFFFFF for r in records.site_reads + records.centre_reads})
        ledger.violations.append({"kind": "forged accepted", "time": None, "modems": [], "story": [
            f"{forged_count[0]} of {forged_count[1]} forged or replayed messages taken by a station; forged values "
            f"read: {', '.join(f'{v:08X}' for v in seen[:8]) or 'none'}"]})
    return ledger, converged, forged_count


def run(args, workdir, seed):
    config = run_config(args)
    config["seed"] = seed
    records = Records(config)
    records.calls, records.faults = [], []
    soak, error = play(args, workdir, seed, records)
    if records.started is None:
        print(f"soak: FAIL (seed {seed}): {error}")
        return 1
    records.ended = records.ended or time.time()
    records.drained = records.drained or time.time()
    records.save(os.path.join(workdir, "soak-records.json"))
    ledger, converged, forged_count = judge(args, records, soak, error)
    with open(os.path.join(workdir, "soak-ledger.json"), "w") as f:
        json.dump({"violations": ledger.violations, "longest": ledger.longest()[0],
                   "memory": soak.memory, "traces": soak.traces}, f, indent=1, default=str)

    print_tables(args, workdir, seed, records, soak, ledger, forged_count)
    required = args.min_chances if args.min_chances is not None else (REQUIRED_CHANCES if args.minutes >= 10 else 0)
    unexercised = ledger.not_exercised(required) if required else []
    for line in unexercised:
        print(f"soak: {line} (at least {required} wanted)")
    problems = ([error] if error else []) + [v["kind"] for v in ledger.violations] + unexercised
    if problems:
        first = ledger.violations[0] if ledger.violations else None
        print_failure(workdir, seed, records, ledger,
                      error or (first["kind"] if first else (unexercised[0] if unexercised else problems[0])))
    print(last_line(args, records, ledger, converged, forged_count))
    return 1 if problems else 0


def main():
    p = argparse.ArgumentParser(prog="soak", description="A fleet under mixed faults, checked by a ledger.")
    p.add_argument("minutes", type=float, nargs="?", help="minutes of faults (default 10)")
    p.add_argument("--minutes", type=float, dest="minutes_option", help=argparse.SUPPRESS)
    p.add_argument("--seed", type=int, help="the faults' seed (default: a random one, printed)")
    p.add_argument("--faults-per-minute", type=float, default=8.0, help="faults a minute across the fleet (default 8)")
    p.add_argument("--kinds", help="the fault kinds, comma-separated (default: all, with --keys the forgeries too)")
    p.add_argument("--keys", action="store_true",
                   help="a key for every site (keygen): every frame signed; forgeries and replays are drawn too, "
                        "and every one must be refused")
    p.add_argument("--timeout-ms", type=int, default=5000, help="the hosts' modem time-out (default 5000)")
    p.add_argument("--min-chances", type=int,
                   help=f"fail when a check had fewer chances (default {REQUIRED_CHANCES} from 10 minutes on, else 0)")
    p.add_argument("--memory-unjudged", action="store_true",
                   help="do not judge the hosts' memory (a sanitizer's allocator holds freed memory back on purpose)")
    add_fleet_options(p, sites=8, site_period=20.0, write_every=10.0, drain_limit=300.0)
    args = p.parse_args()
    args.minutes = args.minutes if args.minutes is not None else (args.minutes_option or 10.0)
    del args.minutes_option
    check_fleet_options(p, args)
    known = KINDS + (KEY_KINDS if args.keys else ())
    args.kinds = tuple(k.strip() for k in (args.kinds or ",".join(known)).split(",") if k.strip())
    unknown = [k for k in args.kinds if k not in known]
    if unknown or not args.kinds:
        p.error(f"unknown fault kinds {unknown}; the kinds: {', '.join(known)} (forged, replayed: with --keys)")
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 2**31)
    workdir = work_folder(args, "soak")
    print(f"Kelvora soak: seed {seed} ({' '.join(sys.argv[1:])}); {args.sites} sites and a centre for "
          f"{args.minutes:g} min, about {args.faults_per_minute:g} faults a minute of {len(args.kinds)} kinds; "
          f"replay with --seed {seed}", flush=True)
    try:
        return run(args, workdir, seed)
    except KeyboardInterrupt:
        print(f"soak: FAILED with seed {seed}: interrupted")
        return 1


if __name__ == "__main__":
    sys.exit(main())
