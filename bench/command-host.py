#!/usr/bin/env python3
"""Device commands through the command host (KESTRANE_COMMAND_HOST=1) against one Java runtime
per command (KESTRANE_COMMAND_HOST=0), as whole kestrane-device runs against the bundled device simulator,
alternating, in the same run: `status` of 20 packages, `uninstall` of 10, `install` of 10 small
BARs and one `info` (which kestrane-device runs as a Java of its own either way); medians and their
ratio. Then one `-listDeviceInfo` as the first command of a new host (started as Kestrane starts
it: the window's Connect) against the same command as a Java of its own, alternating; and the
peak memory (VmHWM) of one host that has run 20 status checks.

    bench/command-host.py [BUILD_DIR]     a Release build; default build-release/

Environment: KESTRANE_BENCH_RUNS (5 rounds). Results: bench/results/command-host-<date>-<time>/.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(BENCH)
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-release"))
BIN = os.path.join(BUILD, "bin")
DEVICE = "169.254.0.1"
RUNS = int(os.environ.get("KESTRANE_BENCH_RUNS", "5"))


def main():
    subprocess.run(["cmake", "--build", BUILD, "--target", "kestrane-device", "commandhost"],
                   check=True, stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp()
    try:
        env = dict(os.environ)
        env.update(KESTRANE_DEVICESIM_HOME=f"{work}/sim", XDG_STATE_HOME=f"{work}/state",
                   XDG_CONFIG_HOME=f"{work}/config", XDG_DATA_HOME=f"{work}/data",
                   KESTRANE_DEVICESIM_PROGRESS_MS="0", KESTRANE_DEVICE_PASSWORD="z30")
        env.pop("KESTRANE_DEPLOY_TOOL", None)
        env.pop("KESTRANE_COMMAND_HOST", None)
        bars = f"{work}/bars"
        subprocess.run([sys.executable, f"{BENCH}/make-bars.py", bars, "30", "0.02"], check=True)
        paths = sorted(os.path.join(bars, name) for name in os.listdir(bars))
        kept, churned = paths[:20], paths[20:30]
        names = [f"com.example.bench{n:04d}" for n in range(1, 31)]
        device = [f"{BIN}/kestrane-device", "--device", DEVICE]

        def run(args, host):
            e = dict(env)
            e["KESTRANE_COMMAND_HOST"] = "1" if host else "0"
            start = time.monotonic()
            done = subprocess.run(device + args, env=e, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, text=True)
            elapsed = time.monotonic() - start
            if done.returncode != 0:
                sys.exit(f"{' '.join(args[:2])}: exit {done.returncode}: {done.stderr}")
            return elapsed

        run(["install"] + kept, True)
        kept_names = names[: len(kept)]
        times = {}
        for _ in range(RUNS):
            for host in (True, False):
                mode = "host" if host else "own"
                t = times.setdefault(mode, {})
                t.setdefault("install 10", []).append(run(["install"] + churned, host))
                t.setdefault("status 20", []).append(run(["status"] + kept_names, host))
                t.setdefault("uninstall 10", []).append(run(["uninstall"] + names[20:30], host))
                t.setdefault("info", []).append(run(["info"], host))

        lines = [f"java: {subprocess.run(['java', '-version'], capture_output=True, text=True).stderr.splitlines()[0]}",
                 f"machine: {os.cpu_count()} cores; {RUNS} rounds, alternating", ""]
        lines.append(f"{'command':14} {'host s':>8} {'own s':>8} {'host/own':>9}")
        for what in ("status 20", "uninstall 10", "install 10", "info"):
            h = statistics.median(times["host"][what])
            o = statistics.median(times["own"][what])
            lines.append(f"{what:14} {h:8.3f} {o:8.3f} {h / o:9.2f}")
        first, alone = first_command(env, work)
        lines.append(f"{'first in host':14} {first:8.3f} {alone:8.3f} {first / alone:9.2f}")
        lines.append("")
        lines.append(f"one host after 20 status checks: VmHWM {host_memory(env, work, kept_names)} kB")
        summary = "\n".join(lines) + "\n"
        print(summary, end="")
        results = os.path.join(BENCH, "results", time.strftime("command-host-%Y%m%d-%H%M%S"))
        os.makedirs(results, exist_ok=True)
        with open(os.path.join(results, "summary.txt"), "w") as f:
            f.write(summary)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def tool_options(work):
    lib = os.path.join(BIN, "lib")
    home = f"{work}/state/kestrane/deploy-tool"
    os.makedirs(home, exist_ok=True)
    return [f"-Djava.security.properties={lib}/deploy-tls.security", f"-Duser.home={home}", "-Xmx512M"]


def start_host(env, work):
    """One host, started as Kestrane starts it (lib/CommandHost.jar on the boot class path)."""
    lib = os.path.join(BIN, "lib")
    return subprocess.Popen(
        ["java", "-Djava.security.manager=allow"] + tool_options(work) +
        [f"-Xbootclasspath/a:{lib}/CommandHost.jar", "kestrane.commandhost.Main"],
        env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)


def first_command(env, work):
    """Medians of -listDeviceInfo as the first command of a new host (until its exit frame) and
    as a Java of its own (until it ends), alternating."""
    lib = os.path.join(BIN, "lib")
    path = f"{work}/args-info"
    words = ["-jar", f"{lib}/BarDeploy.jar", "-listDeviceInfo", "-device", DEVICE, "-password", "z30"]
    with open(path, "w") as f:
        f.write("".join(f'"{w}"\n' for w in words))
    hosted, alone = [], []
    for _ in range(2 * RUNS + 1):
        start = time.monotonic()
        subprocess.run(["java"] + tool_options(work) + [f"@{path}"], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        alone.append(time.monotonic() - start)
        start = time.monotonic()
        host = start_host(env, work)
        host.stdin.write(path.encode() + b"\n")
        host.stdin.flush()
        while read_frame(host) != b"X":
            pass
        hosted.append(time.monotonic() - start)
        host.stdin.close()
        host.wait()
    return statistics.median(hosted), statistics.median(alone)


def host_memory(env, work, packages):
    """Starts one host as Kestrane does, runs 20 is-running checks in it, reads its peak."""
    lib = os.path.join(BIN, "lib")
    host = start_host(env, work)
    read_frame(host)  # ready
    for n, package in enumerate(packages):
        path = f"{work}/args-{n}"
        words = ["-jar", f"{lib}/BarDeploy.jar", "-isAppRunning", "-device", DEVICE, "-password",
                 "z30", "-package-name", package, "-package-id", "x"]
        with open(path, "w") as f:
            f.write("".join(f'"{w}"\n' for w in words))
        host.stdin.write(path.encode() + b"\n")
        host.stdin.flush()
        while read_frame(host) != b"X":
            pass
    with open(f"/proc/{host.pid}/status") as f:
        peak = next(line.split()[1] for line in f if line.startswith("VmHWM:"))
    host.stdin.close()
    host.wait()
    return peak


def read_frame(host):
    header = host.stdout.read(5)
    if len(header) < 5:
        sys.exit("the host ended")
    host.stdout.read(int.from_bytes(header[1:], "big"))
    return header[:1]


if __name__ == "__main__":
    main()
