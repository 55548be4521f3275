#!/usr/bin/env python3
"""Edit-to-answer latency of velmond's world file: the time from writing an
edit to the first SNMP answer that shows it, repeated and summarised.

Each round renames the second public node of the local member in the
example two-member Oracle RAC world (racnode1's PublicNodeNames) to a new
name, writing the file alternately in place and as an editor does (a
temporary file renamed over it), then asks for the new node's name with
SNMP GET requests over loopback UDP (the agent keeps the rows of renamed
members and appends the new name, so round i asks for row 3 + i), one after another from this script (no
tool started per request), until the new name is there.

  scripts/perf-world-edit.py build/default/host/velmond [ROUNDS]

Only 127.0.0.1 is used. Prints every latency, the median and 90th
percentile in milliseconds, and how long one walk takes (the resolution of
the measurement: a change is seen when a request sent after it is
answered)."""
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VIEW = ".1.3.6.1.4.1.32473.2.18.22.4.1"
NAMES = VIEW + ".1.2.11.1.2"


def ber(tag, body):
    size = len(body)
    head = bytes([size]) if size < 128 else bytes([0x82, size >> 8, size & 0xFF])
    return bytes([tag]) + head + body


def oid(text):
    arcs = [int(a) for a in text.strip(".").split(".")]
    body = bytes([arcs[0] * 40 + arcs[1]])
    for arc in arcs[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.insert(0, 0x80 | (arc & 0x7F))
            arc >>= 7
        body += bytes(chunk)
    return ber(0x06, body)


def get_request(request_id, name):
    binding = ber(0x30, oid(name) + b"\x05\x00")
    pdu = ber(0xA0, ber(0x02, request_id.to_bytes(4, "big")) + ber(0x02, b"\x00") + ber(0x02, b"\x00") +
              ber(0x30, binding))
    return ber(0x30, ber(0x02, b"\x01") + ber(0x04, b"public") + pdu)


def main():
    velmond = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    work = tempfile.mkdtemp(prefix="velmond-edit-")
    world = os.path.join(work, "world.toml")
    with open(os.path.join(ROOT, "examples/worlds/oracle-rac-2.toml")) as f:
        text = f.read()
    before = 'PublicNodeNames = ["racnode1", "racnode2"]'
    assert before in text
    with open(world, "w") as f:
        f.write(text)
    env = dict(os.environ, SNMP_PERSISTENT_DIR=work, MIBS="")
    log = open(os.path.join(work, "velmond.log"), "w")
    daemon = subprocess.Popen([velmond, "--world", world, "--listen", "udp:127.0.0.1:0"], stderr=log, env=env)

    def endpoint():
        with open(log.name) as f:
            for line in f:
                if "listening on udp:" in line:
                    return line.split("listening on udp:")[1].split()[0]
        return None

    target = None

    walks = []
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.settimeout(1)
    counter = [0x01000000]  # ids of four bytes, as every encoder writes them

    def names(index=2):
        began = time.monotonic()
        host, port = target.rsplit(":", 1)
        counter[0] += 1
        udp.sendto(get_request(counter[0], NAMES + ".%d" % index), (host, int(port)))
        try:
            while True:
                answer = udp.recv(65536)
                if answer.find(b"\x02\x04" + counter[0].to_bytes(4, "big")) >= 0:
                    break
        except socket.timeout:
            answer = b""
        walks.append((time.monotonic() - began) * 1000)
        return answer.decode("latin-1")

    try:
        deadline = time.time() + 20
        target = None
        while target is None or 'racnode2' not in names():
            target = target or endpoint()
            if time.time() > deadline:
                sys.exit("velmond did not answer; see " + log.name)
            time.sleep(0.1)
        latencies = []
        for i in range(rounds):
            name = "racedit%d" % i
            edited = text.replace(before, 'PublicNodeNames = ["racnode1", "%s"]' % name, 1)
            start = time.monotonic()
            if i % 2:
                with open(world, "w") as f:
                    f.write(edited)
            else:
                temporary = world + ".tmp"
                with open(temporary, "w") as f:
                    f.write(edited)
                os.rename(temporary, world)
            while name not in names(3 + i):
                if time.monotonic() - start > 10:
                    sys.exit("edit %d never answered; see %s" % (i, log.name))
            latencies.append((time.monotonic() - start) * 1000)
            print("%3d %7.1f ms" % (i, latencies[-1]))
            time.sleep(0.3)
        ordered = sorted(latencies)
        print("rounds %d  median %.1f ms  p90 %.1f ms  min %.1f ms  max %.1f ms" % (
            rounds, statistics.median(ordered), ordered[int(0.9 * (len(ordered) - 1))], ordered[0], ordered[-1]))
        # Each answer is seen only when a walk that began after it ends: the
        # duration of one walk is the resolution of the measurement.
        print("one request answered: median %.2f ms" % statistics.median(walks))
    finally:
        daemon.terminate()
        daemon.wait()
        if not os.environ.get("KEEP"): shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
