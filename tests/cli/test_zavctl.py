"""zavctl against the virtual device: what a technician does with it, and
what goes wrong on the way."""
import fcntl
import json
import pathlib
import signal
import subprocess
import threading
import time

from conftest import ZAVCTL, config_file, wait_for, zavctl


def changed(record, position, value):
    record = bytearray(record)
    record[position] = value
    return bytes(record)


def test_identify_reports_version_setup_block_and_info_fields(device):
    run = zavctl("--json", "identify", port=device.port)
    assert run.returncode == 0, run.stderr
    found = json.loads(run.stdout)
    assert found["version"] == "2.30"
    assert found["setup"] == device.control("get setup")
    assert found["valid"] and found["accepted"]
    assert found["info"]["version"] == "2.30" and found["info"]["relays"] == 2


def test_read_program_verify_round_trip(device, tmp_path):
    backup = tmp_path / "backup.zcf"
    run = zavctl("read", "-o", str(backup), port=device.port)
    assert run.returncode == 0, run.stderr
    assert backup.read_bytes() == config_file(device.record())
    assert sorted(p.name for p in tmp_path.iterdir() if p.name.startswith("backup")) == ["backup.zcf"]

    edited = tmp_path / "edited.zcf"
    edited.write_bytes(config_file(changed(device.record(), 96, 45)))
    run = zavctl("program", str(edited), port=device.port)
    assert run.returncode == 0, run.stderr
    assert "Verifikation OK !" in run.stdout.decode()
    assert device.record() == changed(backup.read_bytes()[23:131], 96, 45)
    assert zavctl("verify", str(edited), port=device.port).returncode == 0


def test_a_changed_file_is_reported_with_the_address_and_the_field(device, tmp_path):
    other = tmp_path / "other.zcf"
    other.write_bytes(config_file(changed(device.record(), 96, 99)))
    run = zavctl("verify", str(other), port=device.port)
    assert run.returncode == 5
    out = run.stdout.decode()
    assert "Fehler ab Adresse: 96" in out
    assert "Totzeit" in out and "99" in out and "10" in out


def test_a_silent_device_is_not_found(device):
    device.control("fault silent")
    started = time.monotonic()
    run = zavctl("identify", port=device.port)
    assert run.returncode == 3
    assert "Kein ZAV 160 gefunden !" in run.stderr.decode()
    # Five sends, 1.5 s apart, then 1.5 s more: as the windowed program waits.
    assert 7.0 < time.monotonic() - started < 20


def test_an_erased_device_has_no_configuration_and_no_file_is_written(device, tmp_path):
    device.control("erase")
    target = tmp_path / "never.zcf"
    run = zavctl("read", "-o", str(target), port=device.port)
    assert run.returncode == 4
    assert "ZAV enthält keine Konfigurationsdaten !" in run.stderr.decode()
    assert list(tmp_path.glob("never*")) == []


def test_a_device_that_vanishes_while_programming_is_reported_without_hanging(device, tmp_path):
    image = tmp_path / "image.zcf"
    image.write_bytes(config_file(changed(device.record(), 96, 45)))
    # Its frames: the identification's two, the backup read's fifteen, the
    # programming command, and block 0.
    device.control("fault vanish-after-frames 19")
    run = zavctl("program", str(image), port=device.port, timeout=30)
    assert run.returncode == 3
    assert "Verbindung unterbrochen !" in run.stderr.decode()
    assert "Das Gerät hat keine gültige Konfiguration mehr: neu programmieren." in run.stderr.decode()


def test_ports_that_cannot_be_opened_say_why(device, tmp_path):
    run = zavctl("identify", port=str(tmp_path / "ttyUSB9"))
    assert run.returncode == 3
    err = run.stderr.decode()
    assert f"Port {tmp_path / 'ttyUSB9'} konnte nicht geöffnet werden !" in err
    assert "zavctl ports" in err

    # A port another program holds is not shared.
    with open(device.port, "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        run = zavctl("identify", port=device.port)
    assert run.returncode == 3
    assert "Ein anderes Programm benutzt den Port." in run.stderr.decode()


def test_bad_files_and_arguments(device, tmp_path):
    good = config_file(device.record())
    cases = {
        "missing.zcf": (None, 2, "Datei nicht vorhanden !"),
        "foreign.zcf": (b"PK\x03\x04" + good[4:], 2, "Ungültige Datei !"),
        "truncated.zcf": (good[:100], 2, "Dateifehler"),
        "nosum.zcf": (good[:131], 2, "Checksummen Fehler !"),
    }
    for name, (content, code, message) in cases.items():
        path = tmp_path / name
        if content is not None:
            path.write_bytes(content)
        run = zavctl("program", str(path), port=device.port)
        assert (run.returncode, message in run.stderr.decode()) == (code, True), name
    assert device.control("get stats").startswith("reads=0 programmings=0")

    run = zavctl("show", str(tmp_path / "truncated.zcf"), "--setup", "XYZ")
    assert run.returncode == 1
    run = zavctl("identify", env={"ZAV_PORT": ""})
    assert run.returncode == 1 and "Kein Port angegeben" in run.stderr.decode()


def test_a_series_programs_one_device_after_another(device, tmp_path):
    image = tmp_path / "series.zcf"
    record = changed(device.record(), 97, 33)
    image.write_bytes(config_file(record))
    series = subprocess.Popen([ZAVCTL, "--port", device.port, "program", str(image), "--series"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(line.decode() for line in series.stdout))
    reader.start()

    def told(prefix):
        return next((line for line in list(lines) if line.startswith(prefix)), None)

    try:
        wait_for(lambda: told("Gerät 1:"), 30, "the first device")
        assert "Verifikation OK !" in told("Gerät 1:")
        # The next device: the first goes, another comes with a record of its own.
        device.control("vanish")
        device.control("record " + changed(record, 97, 7).hex())
        device.control("appear")
        wait_for(lambda: told("Gerät 2:"), 30, "the second device")
        assert "Verifikation OK !" in told("Gerät 2:")
        assert device.record()[97] == 33
        device.control("vanish")
        device.control("record " + changed(record, 97, 8).hex())
        device.control("appear")
        wait_for(lambda: told("Gerät 3:"), 30, "the third device")
        assert "Verifikation OK !" in told("Gerät 3:")
        assert device.record() == record
    finally:
        series.send_signal(signal.SIGINT)
        series.wait(timeout=20)
        reader.join(timeout=5)
    assert told("Serie beendet:") == "Serie beendet: 3 programmiert, 0 fehlgeschlagen.\n"
    assert series.returncode == 0


def test_every_help_fits_80_columns():
    overview = zavctl("--help").stdout.decode()
    listed = overview[overview.index("Befehle:"):overview.index("Optionen:")]
    commands = sorted({line.split()[0] for line in listed.splitlines()[1:] if line[2:3].isalpha()})
    assert "program" in commands and "report" in commands
    for command in [None] + commands:
        run = zavctl("--help") if command is None else zavctl("help", command)
        assert run.returncode == 0, (command, run.stderr)
        wide = [line for line in run.stdout.decode().splitlines() if len(line) > 80]
        assert wide == [], f"zavctl help {command or ''}: lines wider than 80 columns"
    # A native build makes the man page beside zavctl ("man ./zavctl.1"),
    # with each command's own help as a section.
    page = pathlib.Path(ZAVCTL).with_name("zavctl.1").read_text(encoding="utf-8")
    assert [command for command in commands if f'.SS "{command}"' not in page] == ["help"]


def test_a_missing_adapter_is_told_once_on_one_line_into_a_pipe(tmp_path):
    port = tmp_path / "ttyUSB-nicht-eingesteckt-mit-einem-langen-Namen-der-über-achtzig-Spalten-reicht"
    run = zavctl("identify", port=str(port))
    assert run.returncode == 3
    assert run.stderr.decode() == \
        f"zavctl: Port {port} konnte nicht geöffnet werden !\n" \
        "        Den Port gibt es nicht: ist der Adapter eingesteckt? \"zavctl ports\" zeigt die Ports.\n"
