#!/usr/bin/env python3
"""Edit-to-answer latency of velmond's world file: the time from writing an
edit to the first SNMP answer that shows it, repeated and summarised.

Each round renames the second public node of the local member in the
example two-member Oracle RAC world (racnode1's PublicNodeNames) to a new
name, writing the file alternately in place and as an editor does (a
temporary file renamed over it), then asks the node name column with
snmpget/snmpwalk as fast as it can until the new name is there.

  scripts/perf-world-edit.py build/default/host/velmond [ROUNDS] [PORT]

Only 127.0.0.1 is used. Prints every latency and the median and 90th
percentile in milliseconds."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VIEW = ".1.3.6.1.4.1.32473.2.18.22.4.1"
NAMES = VIEW + ".1.2.11.1.2"


def main():
    velmond = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    port = sys.argv[3] if len(sys.argv) > 3 else "11671"
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
    daemon = subprocess.Popen([velmond, "--world", world, "--listen", "udp:127.0.0.1:" + port], stderr=log, env=env)

    def names():
        run = subprocess.run(["snmpwalk", "-v2c", "-c", "public", "-On", "-Oqv", "-t", "1", "-r", "0",
                              "127.0.0.1:" + port, NAMES], capture_output=True, text=True, env=env)
        return run.stdout

    try:
        deadline = time.time() + 20
        while '"racnode2"' not in names():
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
            while '"%s"' % name not in names():
                if time.monotonic() - start > 10:
                    sys.exit("edit %d never answered; see %s" % (i, log.name))
            latencies.append((time.monotonic() - start) * 1000)
            print("%3d %7.1f ms" % (i, latencies[-1]))
            time.sleep(0.3)
        ordered = sorted(latencies)
        print("rounds %d  median %.1f ms  p90 %.1f ms  min %.1f ms  max %.1f ms" % (
            rounds, statistics.median(ordered), ordered[int(0.9 * (len(ordered) - 1))], ordered[0], ordered[-1]))
    finally:
        daemon.terminate()
        daemon.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
