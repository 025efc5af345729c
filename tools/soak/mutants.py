"""The soak's checks seen failing: the driver built with one rule removed at a time.

Each patch in tools/soak/mutants/ removes one rule the ledger claims to
guard. For each, a copy of the source (the files git tracks, as they stand
in the work tree) gets the patch, the driver and kelvora-host are built from
it, and a short soak with a fixed seed runs on them with the simulator of the
ordinary build. The mutant must be caught: the soak must fail on a check of
the ledger. A mutant that passes, or a patch that no longer applies to the
source, fails the command (so the mutants follow the code). It ends with a
table: mutant, the check that caught it, its first violation, how long it
took. The product's code carries no switch for any of this.
"""

import argparse
import json
import os
import shlex
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PATCHES = os.path.join(HERE, "mutants")
CAUGHT_BY = ("lost", "applied twice", "went back", "value from nowhere", "over its bound", "not converged",
             "store not empty", "forged accepted")


def first_comment(path):
    """The patch's first line after '# ': what rule it removes."""
    with open(path) as f:
        for line in f:
            if line.startswith("# "):
                return line[2:].strip()
    return os.path.basename(path)


def soak_options(path):
    """Options of the soak a patch asks for ('# soak: ...' before its diff), after the common ones: the
    faults that exercise its rule."""
    out = []
    with open(path) as f:
        for line in f:
            if line.startswith("diff "):
                break
            if line.startswith("# soak: "):
                out += shlex.split(line[len("# soak: "):])
    return out


def copy_source(root, to):
    if os.path.exists(to):
        shutil.rmtree(to)
    os.makedirs(to)
    files = subprocess.run(["git", "-C", root, "ls-files", "-z"], check=True, capture_output=True).stdout
    for name in filter(None, files.decode().split("\0")):
        source = os.path.join(root, name)
        if os.path.isfile(source):
            os.makedirs(os.path.dirname(os.path.join(to, name)), exist_ok=True)
            shutil.copy2(source, os.path.join(to, name))


def apply_patch(patch, source):
    with open(patch) as f:
        result = subprocess.run(["patch", "-p1", "--forward", "--batch", "--no-backup-if-mismatch"], cwd=source,
                                stdin=f, capture_output=True, text=True)
    return result.returncode == 0, (result.stdout + result.stderr).strip().splitlines()[-1:]


def build(source, build_dir, jobs, log):
    env = dict(os.environ, CCACHE_BASEDIR=source, CCACHE_NOHASHDIR="1")
    steps = [["cmake", "-S", source, "-B", build_dir, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DKELVORA_TESTS=OFF"],
             ["cmake", "--build", build_dir, "-j", str(jobs), "--target", "kelvora-host", "Kelvora"]]
    with open(log, "w") as out:
        for step in steps:
            if subprocess.run(step, stdout=out, stderr=subprocess.STDOUT, env=env, timeout=3600).returncode != 0:
                return False
    return True


def run_mutant(args, patch, name):
    """(caught by, first violation or why it was not caught)."""
    source = os.path.join(args.workdir, name, "source")
    build_dir = os.path.join(args.workdir, name, "build")
    copy_source(args.root, source)
    applied, why = apply_patch(patch, source)
    if not applied:
        return None, "the patch no longer applies: " + " ".join(why)
    if not build(source, build_dir, args.jobs, os.path.join(args.workdir, name, "build.log")):
        return None, f"the mutant did not build (see {os.path.join(args.workdir, name, 'build.log')})"
    soak_dir = os.path.join(args.workdir, name, "soak")
    os.makedirs(soak_dir, exist_ok=True)
    command = [sys.executable, "-m", "soak", str(args.minutes), "--seed", str(args.seed),
               "--sites", str(args.sites), "--faults-per-minute", str(args.faults_per_minute),
               "--simulator", args.simulator, "--host", os.path.join(build_dir, "tools", "host", "kelvora-host"),
               "--library", os.path.join(build_dir, "src", "com", "libkelvora.so"), "--workdir", soak_dir]
    command += soak_options(patch)
    with open(os.path.join(args.workdir, name, "soak.log"), "w") as out:
        code = subprocess.run(command, stdout=out, stderr=subprocess.STDOUT, timeout=args.minutes * 60 + 1800).returncode
    try:
        with open(os.path.join(soak_dir, "soak-ledger.json")) as f:
            violations = json.load(f)["violations"]
    except (OSError, ValueError, KeyError):
        violations = []
    caught = [v for v in violations if v["kind"] in CAUGHT_BY]
    if code == 0 or not caught:
        return None, f"NOT caught (exit {code}; see {os.path.join(args.workdir, name, 'soak.log')})"
    first = caught[0]
    return first["kind"], first.get("summary") or first["story"][0]


def main():
    p = argparse.ArgumentParser(prog="soak.mutants", description="The soak against builds of the driver with one rule removed.")
    p.add_argument("--root", default=os.path.dirname(os.path.dirname(HERE)))
    p.add_argument("--simulator", required=True, help="the ordinary build's simulator")
    p.add_argument("--host", help="the ordinary build's (not used: each mutant builds its own)")
    p.add_argument("--library", help="the ordinary build's (not used: each mutant builds its own)")
    p.add_argument("--workdir", required=True)
    p.add_argument("--minutes", type=float, default=3.0)
    p.add_argument("--seed", type=int, default=20201208)
    p.add_argument("--sites", type=int, default=4)
    p.add_argument("--faults-per-minute", type=float, default=12.0)
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--only", help="run only the mutants whose file name contains this")
    args = p.parse_args()
    patches = sorted(os.path.join(PATCHES, n) for n in os.listdir(PATCHES) if n.endswith(".patch")
                     and (not args.only or args.only in n))
    print(f"soak mutants: {len(patches)} patches, each a {args.minutes:g}-minute soak of {args.sites} sites with seed "
          f"{args.seed} ({args.faults_per_minute:g} faults a minute); work in {args.workdir}", flush=True)
    started, rows, failed = time.time(), [], 0
    for patch in patches:
        name = os.path.basename(patch)[:-len(".patch")]
        t = time.time()
        caught, first = run_mutant(args, patch, name)
        failed += caught is None
        rows.append((first_comment(patch), caught or "-", first, f"{(time.time() - t) / 60:.1f} min"))
        print(f"  {name}: {'caught by ' + caught if caught else 'FAILED'} ({rows[-1][3]})", flush=True)
    print("\n| mutant (the rule removed) | caught by | first violation | took |\n|---|---|---|---|")
    for r in rows:
        print(f"| {r[0]} | {r[1]} | {r[2][:200]} | {r[3]} |")
    total = (time.time() - started) / 60
    print(f"\nsoak mutants: {len(rows) - failed} of {len(rows)} caught in {total:.1f} min"
          + ("" if not failed else f"; {failed} NOT caught or not applied"))
    return 1 if failed or not rows else 0


if __name__ == "__main__":
    sys.exit(main())
