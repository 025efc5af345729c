"""A fleet's players: Wine (with --win32), the simulator with a modem for the
centre and one for each site on a network that takes its time, and a host
session per station, started in order and stopped however the run ends."""

from fleet.session import FleetError, HostSession
from harness.process import stop_players
from harness.simulator import CENTRE_NUMBER, SERVICE_CENTRE, SimulatorProcess
from harness.terminal import host_argv, line_end
from harness.wine import Wine


class Simulator(SimulatorProcess):
    def __init__(self, args, workdir, wine_prefix, extra=()):
        options = list(extra) + ["--modems", str(args.sites + 1), "--first-number", CENTRE_NUMBER,
                                 "--service-centre", SERVICE_CENTRE, "--baud", str(args.baud),
                                 "--capacity", str(args.capacity), "--send-delay", str(args.send_delay_ms),
                                 "--delivery-delay", str(args.delivery_delay_ms)]
        super().__init__(args.simulator, workdir, options, FleetError, start_seconds=30, wine_prefix=wine_prefix)


def collect_simulator(simulator, records):
    records.submitted = simulator.request({"cmd": "submitted"}, timeout=60)["submitted"]
    records.modems = simulator.request({"cmd": "modems"})["modems"]
    for m in records.modems:
        records.command_logs[m["index"]] = simulator.request({"cmd": "log", "modem": m["index"]}, timeout=60)["log"]


class Players:
    """Wine (with --win32), the simulator and one host session per station, started in order and stopped
    however the run ends. `host_extra(who)` gives more options for a station's host."""

    def __init__(self, args, workdir, records, simulator_class=None, session_class=None, host_extra=None):
        self.args, self.workdir, self.records = args, workdir, records
        self.simulator_class = simulator_class or Simulator
        self.session_class = session_class or HostSession
        self.host_extra = host_extra or (lambda who: [])
        self.wine = self.simulator = None
        self.sessions = []

    def __enter__(self):
        args, env = self.args, None
        if args.win32:
            self.wine = Wine(args.wine_prefix, args.wine_run, "fleet")
            self.wine.start_with(args.dll)
            env = self.wine.env
        simulator = self.simulator = self.simulator_class(args, self.workdir, args.wine_prefix if args.win32 else None)
        self.records.numbers = {"centre": 0, **{str(s): s + 1 for s in range(args.sites)}}
        stale = getattr(args, "stale_after", 0)  # the soak runs the centre without the view's options
        view = (["--hold-writes"] if getattr(args, "hold_writes", False) else []) + \
            (["--stale-after", f"{stale:g}"] if stale else [])
        self.start_host("centre", "central", simulator.port(0), ["--poll-scope", args.poll_scope] + view, env)
        for s in range(args.sites):
            self.start_host(f"site {s}", "remote", simulator.port(s + 1), ["--device", str(s)], env)
        return self

    def start_host(self, who, role, port, options, env):
        args = self.args
        argv = host_argv(args, [role, "--port", port, "--baud", str(args.baud), "--script", "-", "--keep-going"]
                         + options + self.host_extra(who))
        self.sessions.append(self.session_class(who, argv, self.records, env, line_end(args.win32)))

    def play(self, run):
        """Plays the run (a Fleet) on the players: the error that ended it, or None. The simulator's books
        go into the records however it ended."""
        error = None
        try:
            run.play()
        except FleetError as e:
            error = str(e)
        collect_simulator(self.simulator, self.records)
        return error

    def __exit__(self, *exc):
        stop_players(self.sessions, self.wine, self.simulator, self.args.win32)
        return False
