#!/usr/bin/env python3
"""Discovery benchmark: kestrane-device discover over loopback networks with fake hosts.

    bench/discover.py BUILD_DIR [RUNS]

Starts tests/support/fake-discovery-hosts.py on a free port with one device (127.0.0.10) and one
host that accepts and never answers (127.0.0.20), and a second device alone in 127.0.4.0/22
(127.0.4.10), then runs

    KESTRANE_DISCOVERY_PORT=PORT kestrane-device discover --network 127.0.0.0/24
    (and 127.0.0.0/22, and 127.0.4.0/22 without a silent host)

RUNS times each (default 5). Linux routes all of 127/8 to the loopback interface, so every other
address of the network refuses at once, and nothing leaves the machine. For each run: wall time,
peak resident memory (the rusage of the process, as /usr/bin/time -v reports it) and the most
TCP sockets the process held open at once (its /proc/PID/fd sampled every millisecond or
so; netlink and Unix sockets left out).
"""
import os
import socket
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def socket_inodes(pid):
    inodes = []
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                link = os.readlink(f"/proc/{pid}/fd/{fd}")
            except OSError:
                continue
            if link.startswith("socket:["):
                inodes.append(link[len("socket:["):-1])
    except OSError:
        pass
    return inodes


def other_sockets(pid):
    """The inodes of the process's netlink and Unix sockets (reading the interfaces' addresses,
    Qt's own): what is left are the probes' sockets. A probe whose connection was refused is no
    longer in /proc/net/tcp, though its descriptor is still open, so it is counted this way."""
    inodes = set()
    for table, column in (("netlink", 9), ("unix", 6)):
        try:
            with open(f"/proc/{pid}/net/{table}") as lines:
                for line in lines.readlines()[1:]:
                    fields = line.split()
                    if len(fields) > column:
                        inodes.add(fields[column])
        except OSError:
            pass
    return inodes


def run(tool, network, env):
    start = time.monotonic()
    process = subprocess.Popen([tool, "discover", "--network", network], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    peak = 0
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid:
            break
        inodes = socket_inodes(process.pid)
        if len(inodes) > peak:
            others = other_sockets(process.pid)
            peak = max(peak, sum(1 for inode in inodes if inode not in others))
        time.sleep(0.0005)
    wall = time.monotonic() - start
    out = process.stdout.read().decode()
    code = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_maxrss / 1024, peak, code, out


def main():
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    tool = os.path.join(build, "bin", "kestrane-device")
    port = free_port()
    fakes = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "tests/support/fake-discovery-hosts.py"), str(port),
         "127.0.0.10=device", "127.0.0.20=silent", "127.0.4.10=device"], stdout=subprocess.PIPE)
    try:
        if fakes.stdout.readline().strip() != b"ready":
            sys.exit("the fake hosts did not start")
        env = dict(os.environ, KESTRANE_DISCOVERY_PORT=str(port))
        print(f"{'network':<16} {'hosts':>5}  {'wall s (median, min-max)':<26} "
              f"{'peak RSS MiB':<14} {'peak sockets':<12} found")
        # The last network has the device and no silent host: the time of the probes alone.
        for network, hosts, device in (("127.0.0.0/24", 254, "127.0.0.10"),
                                       ("127.0.0.0/22", 1022, "127.0.0.10"),
                                       ("127.0.4.0/22", 1022, "127.0.4.10")):
            results = [run(tool, network, env) for _ in range(runs)]
            walls = [r[0] for r in results]
            rss = [r[1] for r in results]
            sockets = max(r[2] for r in results)
            found = {r[4].count(device + " ") for r in results}
            codes = {r[3] for r in results}
            print(f"{network:<16} {hosts:>5}  {statistics.median(walls):.3f} "
                  f"({min(walls):.3f}-{max(walls):.3f}){'':<8} "
                  f"{statistics.median(rss):<14.1f} {sockets:<12} "
                  f"{'the device' if found == {1} and codes == {0} else f'WRONG {found} {codes}'}")
    finally:
        fakes.kill()
        fakes.wait()


if __name__ == "__main__":
    main()
