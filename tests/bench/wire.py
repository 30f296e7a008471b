#!/usr/bin/env python3
"""A 2400 baud 8N1 line between the program and the virtual device.

Two pseudo-terminals pass bytes at once, whatever their size; a real line
carries one byte every 10 bits at 2400 baud (1/240 s) in each direction. This
model sits between the two: it offers the program its own terminal (linked
where the program's COM1 points), talks to zavsim's terminal on the other
side, and hands every byte on at the moment its stop bit would end. Each
direction is a wire of its own; a byte starts when it is written or when the
byte before it on the same wire has ended, whichever is later.

Every byte is logged with its times (CLOCK_MONOTONIC_RAW, the clock that
QueryPerformanceCounter reads under Wine) and, when the benchmark has named
them, the CPU clocks of the program's process and of the wineserver:

  P ARRIVE START END HEX CPU_PROGRAM CPU_SERVER   a byte the program wrote
  D ARRIVE START END HEX                          a byte the device wrote
  d DELIVERED HEX CPU_PROGRAM CPU_SERVER          that byte handed to the program
  p DELIVERED HEX                                 a program byte handed to the device

Standard input takes "pids PROGRAM SERVER" (Unix process ids; 0 for none)
and "sync" (once both wires are empty: write out the log, answer "synced").
"""
import argparse
import collections
import os
import select
import sys
import time
import tty

BYTE_SECONDS = 10.0 / 2400.0


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def process_cpu_clock(pid):
    # The kernel's CPU clock of a whole process, dead threads included, in
    # nanoseconds: MAKE_PROCESS_CPUCLOCK(pid, CPUCLOCK_SCHED).
    return ((~pid) << 3) | 2


class Wire:
    def __init__(self, name, target_fd):
        self.name = name
        self.target_fd = target_fd
        self.free_at = 0.0
        self.queue = collections.deque()  # (deliver_at, byte)

    def take(self, arrived, data, log, cpu):
        for byte in data:
            start = max(arrived, self.free_at)
            end = start + BYTE_SECONDS
            self.free_at = end
            self.queue.append((end, byte))
            log(self.name, arrived, start, end, byte, cpu)

    def due(self):
        return self.queue[0][0] if self.queue else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program-link", required=True, help="make this path a link to the program's terminal")
    parser.add_argument("--device", required=True, help="the virtual device's terminal (zavsim --link)")
    parser.add_argument("--log", required=True)
    args = parser.parse_args()

    program_master, program_slave = os.openpty()
    tty.setraw(program_slave)
    os.set_blocking(program_master, False)
    try:
        os.unlink(args.program_link)
    except FileNotFoundError:
        pass
    os.symlink(os.ttyname(program_slave), args.program_link)

    device = os.open(args.device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(device)

    pids = {"program": 0, "server": 0}
    log_file = open(args.log, "w", buffering=1 << 16)

    def cpu_clocks():
        values = []
        for key in ("program", "server"):
            pid = pids[key]
            try:
                values.append(time.clock_gettime_ns(process_cpu_clock(pid)) if pid else 0)
            except OSError:
                values.append(0)
        return values

    def log_arrival(name, arrived, start, end, byte, cpu):
        if name == "P":
            log_file.write("P %.6f %.6f %.6f %02X %d %d\n" % (arrived, start, end, byte, cpu[0], cpu[1]))
        else:
            log_file.write("D %.6f %.6f %.6f %02X\n" % (arrived, start, end, byte))

    to_device = Wire("P", device)
    to_program = Wire("D", program_master)
    sources = {program_master: to_device, device: to_program}
    stdin = sys.stdin.fileno()
    watched = [program_master, device, stdin]

    print("wire: program terminal %s, device %s" % (os.ttyname(program_slave), args.device), flush=True)
    sync_wanted = False
    while True:
        if sync_wanted and not to_device.queue and not to_program.queue:
            log_file.flush()
            print("synced", flush=True)
            sync_wanted = False
        dues = [d for d in (to_device.due(), to_program.due()) if d is not None]
        timeout = max(0.0, min(dues) - now()) if dues else None
        if timeout is None:
            log_file.flush()
        readable, _, _ = select.select(watched, [], [], timeout)
        for fd in readable:
            if fd == stdin:
                line = sys.stdin.readline()
                if not line:
                    log_file.close()
                    return 0
                words = line.split()
                if len(words) == 3 and words[0] == "pids":
                    pids["program"], pids["server"] = int(words[1]), int(words[2])
                elif words == ["sync"]:
                    sync_wanted = True
                continue
            try:
                data = os.read(fd, 4096)
            except (BlockingIOError, OSError):
                continue
            if data:
                wire = sources[fd]
                wire.take(now(), data, log_arrival, cpu_clocks() if wire is to_device else None)
        for wire in (to_device, to_program):
            while wire.queue and wire.queue[0][0] <= now():
                _, byte = wire.queue.popleft()
                try:
                    os.write(wire.target_fd, bytes([byte]))
                except (BlockingIOError, OSError):
                    pass
                if wire is to_program:
                    cpu = cpu_clocks()
                    log_file.write("d %.6f %02X %d %d\n" % (now(), byte, cpu[0], cpu[1]))
                else:
                    log_file.write("p %.6f %02X\n" % (now(), byte))


if __name__ == "__main__":
    sys.exit(main())
