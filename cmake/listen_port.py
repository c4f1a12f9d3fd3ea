"""Prints a loopback TCP port that is free now and, where the system leaves
room for it, lies below the ephemeral range from which it picks the local
ports of outgoing connections."""
import random
import socket


def ephemeral_start():
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as ports:
            return int(ports.read().split()[0])
    except (OSError, ValueError, IndexError):
        return 32768


def bound_port(port):
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", port))
        except OSError:
            return None
        return probe.getsockname()[1]


below = list(range(10000, ephemeral_start()))
random.shuffle(below)
# Port 0 comes last: any free port, when none below the range is.
print(next(filter(None, map(bound_port, below[:200] + [0]))))
