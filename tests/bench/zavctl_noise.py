#!/usr/bin/env python3
"""How often "zavctl program" fails on a noisy line: zavsim hits any frame
with the given chance (its "noise random"), one seed per run, so that a run
can be repeated. Prints each failure and the tally.

    ZAVCTL=build/native/zavctl ZAVSIM=build/native/sim/zavsim \\
        python3 tests/bench/zavctl_noise.py --runs 60 --percent 5 [-- --retries 0]
"""
import argparse
import collections
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "cli"))
from conftest import ZAVCTL, VirtualDevice, config_file  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=60)
    parser.add_argument("--percent", type=int, default=5)
    parser.add_argument("extra", nargs="*", help="more arguments for zavctl program")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        device = VirtualDevice(pathlib.Path(folder))
        record = bytearray(device.record())
        record[96] = 45
        image = pathlib.Path(folder) / "noise.zcf"
        image.write_bytes(config_file(record))
        tally = collections.Counter()
        try:
            for seed in range(1, options.runs + 1):
                device.control("reset")
                device.control(f"noise seed {seed}")
                device.control(f"noise random {options.percent}")
                run = subprocess.run([ZAVCTL, "--port", device.port, "program", str(image)] + options.extra,
                                     capture_output=True, timeout=180)
                tally[run.returncode] += 1
                if run.returncode != 0:
                    print(f"seed {seed}: exit {run.returncode}: " + " | ".join(run.stderr.decode().splitlines()))
        finally:
            device.stop()
    failed = options.runs - tally[0]
    print(f"{failed} of {options.runs} programmings failed at {options.percent} % noise; exit codes {dict(tally)}")


if __name__ == "__main__":
    main()
