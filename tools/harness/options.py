"""The options the tools share: the players (the simulator, the host, the
driver natively or under Wine) and the load of a fleet (its sites, their
groups and pace, the network's delays), each tool giving its own defaults."""

import os
import shutil
import tempfile

# Players' paths: not part of a run's configuration as its records keep it.
PLAYER_PATHS = ("simulator", "host", "library", "dll", "wine_run")


def add_player_options(p, workdir=True):
    p.add_argument("--simulator", required=True, help="kelvora-modemsim")
    p.add_argument("--host", required=True, help="kelvora-host (or kelvora-host.exe with --win32)")
    p.add_argument("--library", help="the driver's shared library (native)")
    p.add_argument("--win32", action="store_true", help="run the hosts and Kelvora.dll under Wine")
    p.add_argument("--dll", help="Kelvora.dll, registered with regsvr32 (--win32)")
    p.add_argument("--wine-run", help="the build's wine-run.sh (--win32)")
    p.add_argument("--wine-prefix", help="the Wine prefix (--win32)")
    if workdir:
        p.add_argument("--workdir", help="keep the records here (default: a new temporary folder)")


def check_player_options(p, args):
    if args.win32 and not (args.dll and args.wine_run and args.wine_prefix):
        p.error("--win32 needs --dll, --wine-run and --wine-prefix")
    if args.win32 and shutil.which("wine") is None:
        p.error("wine is not installed")


def add_fleet_options(p, sites, site_period, write_every, drain_limit):
    """The fleet's load and network, with the tool's defaults for what differs between tools."""
    p.add_argument("--sites", type=int, default=sites, help="sites, 1 to 32 (default %(default)s)")
    p.add_argument("--poll-scope", choices=("group", "station"), default="station",
                   help="the central station's poll scope (default station)")
    p.add_argument("--baud", type=int, default=9600, help="the modems' line rate (default 9600)")
    p.add_argument("--groups", type=int, default=10,
                   help="groups of five registers per site, the last one the setpoints (default 10)")
    p.add_argument("--site-period", type=float, default=site_period,
                   help="seconds between a site's measurements; each sends two reports (default %(default)g)")
    p.add_argument("--scan-every", type=float, default=1.0,
                   help="the centre's host starts a scan at most this often, in seconds (default 1)")
    p.add_argument("--write-every", type=float, default=write_every,
                   help="seconds between the centre's writes (default %(default)g)")
    p.add_argument("--send-delay-ms", type=int, default=3000, help="the network's answer to a send (default 3000)")
    p.add_argument("--delivery-delay-ms", type=int, default=2000,
                   help="from a send to the message in its destination's store (default 2000)")
    p.add_argument("--capacity", type=int, default=30, help="messages each modem stores (default 30)")
    p.add_argument("--drain-limit", type=float, default=drain_limit,
                   help="longest drain in seconds (default %(default)g)")
    add_player_options(p)


def check_fleet_options(p, args):
    if not 1 <= args.sites <= 32:
        p.error("--sites must be 1 to 32")
    if args.groups < 2:
        p.error("--groups must be at least 2 (measurements and setpoints)")
    check_player_options(p, args)


def run_config(args):
    """A run's options as its records keep them."""
    return {k: v for k, v in vars(args).items() if k not in PLAYER_PATHS}


def platform_name(args):
    return "Kelvora.dll under Wine" if args.win32 else "the native driver library"



def work_folder(args, tool):
    """Where a run keeps its records: --workdir, made when missing, or a new temporary folder."""
    path = args.workdir or tempfile.mkdtemp(prefix=f"kelvora-{tool}-")
    os.makedirs(path, exist_ok=True)
    return path
