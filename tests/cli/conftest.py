"""zavctl as a technician runs it, natively, against zavsim on a pty.

Paths come from ZAVCTL and ZAVSIM (tools/test sets them); without them the
native build's binaries are used. Each test gets a fresh virtual device."""
import os
import pathlib
import re
import socket
import subprocess
import threading
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
# Absolute, for the tests run in folders of their own.
ZAVCTL = os.path.abspath(os.environ.get("ZAVCTL", str(ROOT / "build/native/zavctl")))
ZAVSIM = os.path.abspath(os.environ.get("ZAVSIM", str(ROOT / "build/native/sim/zavsim")))
HEADER = b"ZAV-Konfigurationsdatei"


def wait_for(condition, timeout, what):
    """Polls condition until it holds; fails the test when timeout passes."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.05)
    pytest.fail(f"waited {timeout} s in vain for {what}")


class VirtualDevice:
    """zavsim behind a link in the test's folder, with its control channel."""

    def __init__(self, folder, options=(), name="ttyZAV"):
        self.folder = folder
        self.port = str(folder / name)
        # A second device in the same folder keeps its files apart.
        prefix = "" if name == "ttyZAV" else name + "."
        control_file = folder / f"{prefix}control_port"
        # What a device with options (a replay) says is kept for the test;
        # the plain device's goes to the test's output.
        self.said = folder / f"{prefix}zavsim.err" if options else None
        with open(self.said or os.devnull, "wb") as said:
            self.process = subprocess.Popen(
                [ZAVSIM, "--link", self.port, "--control", "0", "--control-file", str(control_file),
                 "--log", str(folder / f"{prefix}frames.log"), "--quiet", *options],
                stderr=said if self.said else None)
        wait_for(lambda: control_file.exists() and control_file.read_text().strip(), 10, "zavsim to start")
        self.control_port = int(control_file.read_text())

    def control(self, command):
        """Sends one control command; returns its answer after 'ok'. A
        command the device refuses fails the test."""
        with socket.create_connection(("127.0.0.1", self.control_port), timeout=10) as channel:
            channel.sendall(command.encode() + b"\n")
            answer = b""
            while not answer.endswith(b"\n"):
                chunk = channel.recv(4096)
                if not chunk:
                    break
                answer += chunk
        text = answer.decode().strip()
        assert text.startswith("ok"), f"zavsim refused {command!r}: {text}"
        return text[2:].strip()

    def record(self):
        """The 108 record bytes the device holds."""
        return bytes.fromhex(self.control("get record"))[:108]

    def stop(self):
        """Ends zavsim; returns what a device with options said on standard
        error."""
        self.process.terminate()
        self.process.wait(timeout=10)
        return self.said.read_text() if self.said else ""


@pytest.fixture(autouse=True)
def own_folders(tmp_path, monkeypatch):
    """Each test keeps what zavctl writes unasked in its own folder: the
    backups before a programming (under XDG_STATE_HOME) and a series' own
    log (in the current folder)."""
    monkeypatch.setenv("XDG_STATE_HOME", str(tmp_path / "state"))
    monkeypatch.chdir(tmp_path)


@pytest.fixture
def device(tmp_path):
    sim = VirtualDevice(tmp_path)
    yield sim
    sim.stop()


def zavctl(*arguments, port=None, timeout=60, env=None):
    """Runs zavctl to its end; a run that hangs fails the test."""
    command = [ZAVCTL] + (["--port", port] if port else []) + list(arguments)
    environment = {key: value for key, value in os.environ.items() if key != "ZAV_PORT"}
    environment.update(env or {})
    return subprocess.run(command, capture_output=True, timeout=timeout, env=environment)


def config_file(record):
    """The 133 bytes of a configuration file for a record."""
    total = sum(record) & 0xFFFF
    return HEADER + bytes(record) + bytes([total & 0xFF, total >> 8])


def unwrapped(text):
    """zavctl's messages as written before it wrapped them at 80 columns
    (each continuation line starts with eight blanks), so that a test can
    look for a whole sentence."""
    if isinstance(text, bytes):
        text = text.decode()
    return text.replace("\n        ", " ")


def stats(device):
    """zavsim's counters as a dict of ints."""
    return {key: int(value) for key, value in re.findall(r"(\w+)=(\d+)", device.control("get stats"))}


class Running:
    """zavctl left running, its output collected line by line as it comes."""

    def __init__(self, *arguments):
        self.process = subprocess.Popen([ZAVCTL] + list(arguments), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.out, self.err = [], []
        self.readers = [threading.Thread(target=self._collect, args=(stream, lines))
                        for stream, lines in ((self.process.stdout, self.out), (self.process.stderr, self.err))]
        for reader in self.readers:
            reader.start()

    @staticmethod
    def _collect(stream, lines):
        for line in stream:
            lines.append(line.decode().rstrip("\n"))

    def told(self, prefix, lines=None):
        return next((line for line in list(self.out if lines is None else lines) if line.startswith(prefix)), None)

    def wait_told(self, prefix, timeout=40, lines=None):
        wait_for(lambda: self.told(prefix, lines), timeout, repr(prefix))
        return self.told(prefix, lines)

    def end(self, timeout=30):
        code = self.process.wait(timeout=timeout)
        for reader in self.readers:
            reader.join(timeout=5)
        return code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.end()
