"""The frame trace, the virtual device that replays one, and the line's
self-test: what a technician sends in when a device does not answer, and
what a maintainer makes a test of (fixtures/README.md)."""
import json
import pathlib
import re
import shutil
import signal

import pytest

from conftest import Running, VirtualDevice, config_file, stats, unwrapped, wait_for, zavctl

FIXTURES = pathlib.Path(__file__).resolve().parent / "fixtures"
EVENT = re.compile(r"^ *(\d+) (\S+) (\S+)((?: [0-9A-F]{2})*)(?: \| (.*))?$")


def changed(record, position, value):
    record = bytearray(record)
    record[position] = value
    return bytes(record)


def events(text):
    """A trace's events as (ms, port, event, wire bytes, meaning); every
    line must be one (docs/Trace.md)."""
    lines = text.splitlines()
    assert lines[0] == "zavctl-trace 1"
    found = []
    for line in lines[1:]:
        if line.startswith("#"):
            continue
        match = EVENT.match(line)
        assert match, f"not an event: {line!r}"
        found.append((int(match[1]), match[2], match[3], bytes.fromhex(match[4]), match[5] or ""))
    return found


def frames(text):
    """What went over the line, in order: (direction, wire bytes)."""
    return [(kind, wire) for _, _, kind, wire, _ in events(text) if kind in ("pc>dev", "dev>pc", "noise")]


def payload(wire):
    """A frame's payload, its escapes undone."""
    assert wire[0] == 0xFF and wire[-1] == 0xFE, wire.hex()
    out, escape = bytearray(), False
    for byte in wire[1:-1]:
        if byte == 0xFD:
            escape = True
            continue
        out.append(byte | 0x80 if escape else byte)
        escape = False
    return bytes(out)


def logged(device):
    """zavsim's own frame log: (direction, payload)."""
    lines = (device.folder / "frames.log").read_text().splitlines()
    return [(line.split()[1], bytes.fromhex("".join(line.split()[2:]))) for line in lines]


def replay_status(device):
    """(matched, requests, departed) from 'get replay'."""
    answer = device.control("get replay")
    return tuple(int(value) for value in re.match(r"matched=(\d+) requests=(\d+) departed=(\d+)", answer).groups())


def test_a_traced_programming_matches_the_devices_frame_log_and_replays_to_the_same(device, tmp_path):
    (tmp_path / "neu.zcf").write_bytes(config_file(changed(device.record(), 96, 45)))
    run = zavctl("--trace", "spur.txt", "program", "neu.zcf", port=device.port)
    assert run.returncode == 0, run.stderr
    traced = (tmp_path / "spur.txt").read_text()
    # Frame for frame what the device heard and said: the identification,
    # the backup's read, the programming and the verifying read.
    assert [(kind, payload(wire)) for kind, wire in frames(traced)] == logged(device)
    meanings = [meaning for *_, meaning in events(traced)]
    assert "Programmierblock FFFF (der letzte)" in meanings and "Leseblock FFFF (der letzte)" in meanings
    assert str(tmp_path) not in traced and {port for _, port, *_ in events(traced)} == {"ttyZAV"}

    replay = VirtualDevice(tmp_path, ["--replay", "spur.txt"], name="ttyREPLAY")
    try:
        again = zavctl("--trace", "wieder.txt", "program", "neu.zcf", port=replay.port)
        status = replay_status(replay)
    finally:
        said = replay.stop()
    assert again.returncode == 0, again.stderr + said.encode()
    assert again.stdout.decode().splitlines()[-2:] == run.stdout.decode().splitlines()[-2:]
    assert status[0] == status[1] and status[2] == 0, said
    assert frames((tmp_path / "wieder.txt").read_text()) == frames(traced)


@pytest.mark.parametrize("name", sorted(path.name for path in FIXTURES.iterdir() if (path / "spur.txt").exists()))
def test_a_fixture_replays_to_its_result_with_the_traced_frames(name, tmp_path, monkeypatch):
    shutil.copytree(FIXTURES / name, tmp_path / "fall")
    folder = tmp_path / "fall"
    monkeypatch.chdir(folder)
    case = json.loads((folder / "fall.json").read_text())
    replay = VirtualDevice(tmp_path, ["--replay", str(folder / "spur.txt")], name="ttyREPLAY")
    try:
        run = zavctl("--trace", str(tmp_path / "neu.txt"), *case["args"], port=replay.port)
        status = replay_status(replay)
    finally:
        said = replay.stop()
    assert run.returncode == case["exit_code"], run.stderr.decode() + said
    for text in case.get("out", []):
        assert text in unwrapped(run.stdout)
    for text in case.get("err", []):
        assert text in unwrapped(run.stderr)
    assert status[0] == status[1] and status[2] == 0, said
    assert frames((tmp_path / "neu.txt").read_text()) == frames((folder / "spur.txt").read_text())


def test_a_replay_names_the_traced_line_the_program_departs_from(tmp_path):
    trace = FIXTURES / "programmieren-gut" / "spur.txt"
    first_block = next(number for number, line in enumerate(trace.read_text().splitlines(), 1)
                       if line.endswith("| Programmierblock 0"))
    replay = VirtualDevice(tmp_path, ["--replay", str(trace)], name="ttyREPLAY")
    other = tmp_path / "andere.zcf"
    other.write_bytes(config_file(changed((FIXTURES / "programmieren-gut" / "wache.zcf").read_bytes()[23:131], 1, 0x39)))
    programming = Running("--port", replay.port, "program", str(other), "--retries", "0")
    try:
        wait_for(lambda: replay_status(replay)[2] != 0, 30, "the replay to find the departure")
        departed = replay_status(replay)[2]
    finally:
        # The replay answers no more; Ctrl+C twice stops zavctl at once.
        programming.process.send_signal(signal.SIGINT)
        programming.process.send_signal(signal.SIGINT)
        programming.end()
        said = replay.stop()
    assert departed == first_block
    assert f"departs from the trace at line {first_block} (request" in said


def test_the_trace_is_made_before_the_device_is_touched_and_never_over_a_file(device, tmp_path):
    existing = tmp_path / "spur.txt"
    existing.write_text("alt")
    run = zavctl("--trace", str(existing), "identify", port=device.port)
    assert run.returncode == 2
    assert "Datei existiert bereits: " + str(existing) in unwrapped(run.stderr)
    assert existing.read_text() == "alt"
    run = zavctl("--trace", str(tmp_path / "fehlt" / "spur.txt"), "read", "-o", "x.zcf", port=device.port)
    assert run.returncode == 2 and "Datei kann nicht angelegt werden !" in unwrapped(run.stderr)
    assert logged(device) == [], "the device heard nothing"

    run = zavctl("--trace", "-", "identify", port=device.port)
    assert run.returncode == 0, run.stderr
    trace = run.stderr.decode()
    assert trace.startswith("zavctl-trace 1\n")
    assert "ttyZAV pc>dev FF 2B FE | Erkennung (+)\n" in trace and "ttyZAV close\n" in trace


def test_selftest_passes_on_a_loopback_plug_and_names_a_wrong_speed(tmp_path):
    plug = VirtualDevice(tmp_path, ["--loopback"], name="ttyPLUG")
    try:
        run = zavctl("--json", "selftest", port=plug.port)
        text = zavctl("selftest", port=plug.port)
    finally:
        plug.stop()
    assert run.returncode == 0, run.stderr
    found = json.loads(run.stdout)
    assert (found["result"], found["bytes_sent"], found["bytes_back"], found["wrong_bytes"]) == ("ok", 256, 256, 0)
    assert 3.2 <= found["byte_time_ms"] <= 6.0
    assert text.returncode == 0 and re.fullmatch(r"Schleife OK \([45],\d\d ms je Byte\)\n", text.stdout.decode())

    fast = VirtualDevice(tmp_path, ["--loopback", "--baud", "9600"], name="ttyFAST")
    try:
        run = zavctl("selftest", port=fast.port)
    finally:
        fast.stop()
    assert run.returncode == 3
    # 1,04 ms at 9600 baud, a little more on a busy computer.
    assert re.search(r"Falsche Geschwindigkeit: 1,\d\d ms je Byte statt 4,17 ms \(2400 Baud\)", unwrapped(run.stderr))


def test_selftest_tells_a_device_from_a_plug_writes_nothing_to_it_and_fails_on_silence(device):
    record, setup = device.record(), device.control("get setup")
    run = zavctl("--json", "--quiet", "selftest", port=device.port)
    assert run.returncode == 4
    assert "zavctl: ein ZAV 160 antwortet: für den Selbsttest den Prüfstecker anschließen\n" == run.stderr.decode()
    assert json.loads(run.stdout)["setup"] == setup
    # The probe lies outside any frame; the only frames are those of an
    # identification, which changes nothing. zavctl may end before zavsim
    # has read its last frame.
    wait_for(lambda: len(logged(device)) >= 4, 10, "zavsim to log the acceptance of its setup block")
    assert logged(device) == [("pc>dev", b"\x2B"), ("dev>pc", b"\xF0"), ("dev>pc", bytes.fromhex(setup)),
                              ("pc>dev", b"\xF0")]
    assert device.record() == record and stats(device)["programmings"] == stats(device)["setup_writes"] == 0

    device.control("fault silent")
    run = zavctl("selftest", port=device.port)
    assert run.returncode == 3
    assert "Kein Echo: Adapter oder Kabel prüfen" in unwrapped(run.stderr)
