"""zavctl as a technician runs it, natively, against zavsim on a pty.

Paths come from ZAVCTL and ZAVSIM (tools/test sets them); without them the
native build's binaries are used. Each test gets a fresh virtual device."""
import os
import pathlib
import socket
import subprocess
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
ZAVCTL = os.environ.get("ZAVCTL", str(ROOT / "build/native/zavctl"))
ZAVSIM = os.environ.get("ZAVSIM", str(ROOT / "build/native/sim/zavsim"))
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

    def __init__(self, folder):
        self.folder = folder
        self.port = str(folder / "ttyZAV")
        control_file = folder / "control_port"
        self.process = subprocess.Popen(
            [ZAVSIM, "--link", self.port, "--control", "0", "--control-file", str(control_file),
             "--log", str(folder / "frames.log"), "--quiet"])
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
        self.process.terminate()
        self.process.wait(timeout=10)


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
