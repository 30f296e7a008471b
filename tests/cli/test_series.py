"""A series and a programming a technician can trust: never a device twice,
never a device left half-programmed without a word, Ctrl+C at the safe
point, a bad line tried again, and reports a script can follow."""
import hashlib
import json
import re
import signal
import subprocess
import time

import pytest

from conftest import ROOT, Running, config_file, stats, unwrapped, wait_for, zavctl

NO_VALID_CONFIGURATION = "Das Gerät hat keine gültige Konfiguration mehr: neu programmieren."


def changed(record, position, value):
    record = bytearray(record)
    record[position] = value
    return bytes(record)


def identify_commands(device):
    """How many identification commands the device has heard so far."""
    return (device.folder / "frames.log").read_text().count("pc>dev 2B\n")


def test_a_series_never_programs_a_device_twice_and_tells_every_device(device, tmp_path):
    image = tmp_path / "series.zcf"
    record = changed(device.record(), 97, 33)
    image.write_bytes(config_file(record))
    series = Running("--port", device.port, "program", str(image), "--series")
    try:
        assert "Verifikation OK !" in series.wait_told("Gerät 1:")
        # Both sends of a look lost while the series looks whether the
        # device is still there: it is the same device, not a new one.
        looks_before = identify_commands(device)
        device.control("noise drop to-device 0")
        wait_for(lambda: stats(device)["noise_hits"] == 1, 20, "the first lost frame")
        device.control("noise drop to-device 0")
        wait_for(lambda: stats(device)["noise_hits"] == 2, 20, "the second lost frame")
        wait_for(lambda: identify_commands(device) >= looks_before + 4, 30, "the series to look on")
        assert stats(device)["programmings"] == 1
        assert series.told("Gerät 2:") is None
        assert series.told("Gerät 1 abgeklemmt.", series.err) is None

        # Unplugged without the line going away: silence, then the next.
        device.control("fault silent")
        series.wait_told("Gerät 1 abgeklemmt.", lines=series.err)
        device.control("record " + changed(record, 97, 7).hex())
        device.control("clear")
        assert "Verifikation OK !" in series.wait_told("Gerät 2:")
        assert device.record() == record

        # A third device, of another type, is refused, naming both types.
        expected_setup = device.control("get setup")
        device.control("vanish")
        series.wait_told("Gerät 2 abgeklemmt.", lines=series.err)
        device.control("options 3F01")
        found_setup = device.control("get setup")
        device.control("appear")
        assert "Typ-Konflikt" in series.wait_told("Gerät 3:")
        # The lines under a device's line come after it: waited for, as it.
        conflict = f"  Erwartet Setup {expected_setup} (V2.30), gefunden {found_setup} (V2.30)."
        assert series.wait_told(conflict) == conflict

        # A fourth whose programming fails, retries and all.
        device.control("vanish")
        series.wait_told("Gerät 3 abgeklemmt.", lines=series.err)
        device.control("options " + expected_setup[:4])
        device.control("record " + changed(record, 97, 8).hex())
        device.control("fault refuse-block 2")
        device.control("appear")
        assert "Fehler beim Konfig-Update !" in series.wait_told("Gerät 4:")
        retried = "Programmieren: Fehler beim Konfig-Update ! Neuer Versuch 2 von 2 ..."
        assert series.wait_told(retried, lines=series.err) == retried
        assert series.wait_told("  " + NO_VALID_CONFIGURATION) == "  " + NO_VALID_CONFIGURATION

        # Ctrl+C while the series waits on a silent line ends it at once.
        device.control("fault silent")
        series.wait_told("Gerät 4 abgeklemmt.", lines=series.err)
        # The note is the last; a long port name wraps it onto a second line.
        waiting = lambda: any(line.startswith("Warte auf ein Gerät") for line in series.err[-2:])
        wait_for(waiting, 10, "the wait for the next device")
        pressed = time.monotonic()
        series.process.send_signal(signal.SIGINT)
        code = series.end()
        assert time.monotonic() - pressed < 1.0
    finally:
        series.kill()
    assert series.told("Serie beendet:") == "Serie beendet: 2 programmiert, 2 fehlgeschlagen (Geräte 3 und 4)."
    assert code == 4
    assert stats(device)["programmings"] == 2


@pytest.mark.parametrize("fault, told", [("fault reject", "Gerät 1: Kein ZAV 160 gefunden !"),
                                         ("fault bad-check", "Gerät 1: V2.30, Setup-Daten ungültig !")])
def test_a_device_that_answers_wrongly_is_told_once_and_not_waited_on(device, tmp_path, fault, told):
    image = tmp_path / "series.zcf"
    image.write_bytes(config_file(device.record()))
    device.control(fault)
    series = Running("--port", device.port, "program", str(image), "--series")
    try:
        assert series.wait_told("Gerät 1:") == told
        looks = identify_commands(device)
        wait_for(lambda: identify_commands(device) >= looks + 3, 30, "the series to look on")
        series.process.send_signal(signal.SIGINT)
        code = series.end()
    finally:
        series.kill()
    assert code == 4
    assert [line for line in series.out if line.startswith("Gerät")] == [told]
    assert series.told("Serie beendet:") == "Serie beendet: 0 programmiert, 1 fehlgeschlagen (Gerät 1)."


def test_ctrl_c_in_a_series_is_acknowledged_and_finishes_the_device(device, tmp_path):
    image = tmp_path / "series.zcf"
    record = changed(device.record(), 96, 45)
    image.write_bytes(config_file(record))
    device.control("pace on")
    series = Running("--json", "--port", device.port, "program", str(image), "--series")
    try:
        wait_for(lambda: "pc>dev 00 00" in (device.folder / "frames.log").read_text(), 30, "the first block")
        series.process.send_signal(signal.SIGINT)
        series.wait_told("Serie endet nach diesem Gerät; Strg+C erneut bricht sofort ab.", timeout=3, lines=series.err)
        assert stats(device)["reads"] == 1  # acknowledged before the verify: only the backup was read
        code = series.end()
    finally:
        series.kill()
    assert code == 0
    assert series.err[-1].endswith("Strg+C erneut bricht sofort ab.")  # nothing more said after it
    documents = [json.loads(line) for line in series.out]
    assert [document["event"] for document in documents] == ["device", "end"]
    told = documents[0]
    assert (told["device"], told["ok"], told["programmed"], told["verified"]) == (1, True, True, True)
    assert told["sha256"] == hashlib.sha256(record).hexdigest()
    assert documents[-1]["programmed"] == 1 and documents[-1]["failed_devices"] == []
    assert device.record() == record


def test_a_series_of_a_given_type(device, tmp_path):
    image = tmp_path / "series.zcf"
    image.write_bytes(config_file(device.record()))
    own = device.control("get setup")
    other = "3F0111" + own[6:]  # same version, other fitting, wrong check byte
    run = zavctl("program", str(image), "--series", "--setup", other, port=device.port)
    assert run.returncode == 1 and "Setup-Daten ungültig !" in run.stderr.decode()

    # A file the field check refuses for the type would fail every device.
    refused = tmp_path / "refused.zcf"
    refused.write_bytes(config_file(changed(device.record(), 0, 0)))
    run = zavctl("--json", "program", str(refused), "--series", "--setup", own, port=device.port, timeout=10)
    assert run.returncode == 4
    assert "Fehler: Anzahl-5Ton !" in run.stderr.decode()
    documents = [json.loads(line) for line in run.stdout.decode().splitlines()]
    assert [document["event"] for document in documents] == ["error", "end"]
    assert stats(device)["programmings"] == 0


@pytest.mark.parametrize("stop", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
def test_the_first_stop_finishes_the_record_and_skips_the_verify(device, tmp_path, stop):
    image = tmp_path / "image.zcf"
    record = changed(device.record(), 96, 45)
    image.write_bytes(config_file(record))
    device.control("pace on")
    program = Running("--port", device.port, "program", str(image))
    try:
        wait_for(lambda: "pc>dev 00 00" in (device.folder / "frames.log").read_text(), 30, "the first block")
        program.process.send_signal(stop)
        code = program.end()
    finally:
        program.kill()
    assert code == 130
    assert "Abgebrochen vor der Verifikation." in program.err[-2]
    assert device.record() == record
    assert stats(device)["reads"] == 1  # the backup's, before the writes; no verify


@pytest.mark.parametrize("series", [False, True])
def test_a_second_ctrl_c_stops_at_once_and_says_what_it_left(device, tmp_path, series):
    image = tmp_path / "image.zcf"
    image.write_bytes(config_file(changed(device.record(), 96, 45)))
    # Block 2 is taken but never confirmed: the programming waits there.
    device.control("fault stall-block 2")
    program = Running("--port", device.port, "program", str(image), *(["--series"] if series else []))
    try:
        wait_for(lambda: "pc>dev 02 00" in (device.folder / "frames.log").read_text(), 30, "block 2")
        program.process.send_signal(signal.SIGINT)
        program.wait_told("Serie endet" if series else "Die Konfiguration wird noch zu Ende geschrieben",
                          timeout=3, lines=program.err)
        program.process.send_signal(signal.SIGINT)
        code = program.end()
    finally:
        program.kill()
    assert code == 130
    if series:
        assert program.out[0] == "Gerät 1: V2.30, Abgebrochen."
        assert program.out[1].startswith("  Gesichert: ")
        assert program.out[2:4] == ["  " + NO_VALID_CONFIGURATION,
                                    "Serie beendet: 0 programmiert, 1 fehlgeschlagen (Gerät 1)."]
        assert program.out[4].startswith("Protokoll: zavctl-serie-")
    else:
        assert program.err[-2:] == ["zavctl: Abgebrochen.", "        " + NO_VALID_CONFIGURATION]
    assert stats(device)["programmings"] == 0


def test_a_backup_not_read_or_not_stored_leaves_the_device_as_it_was(device, tmp_path):
    image = tmp_path / "image.zcf"
    image.write_bytes(config_file(changed(device.record(), 96, 45)))
    before = device.record()
    # Ctrl+C while the backup is read: the read was stopped, not failed.
    device.control("fault read-silent-after 3")
    program = Running("--port", device.port, "program", str(image))
    try:
        wait_for(lambda: "dev>pc 03 00" in (device.folder / "frames.log").read_text(), 30, "block 3 of the read")
        program.process.send_signal(signal.SIGINT)
        code = program.end()
    finally:
        program.kill()
    assert code == 130
    assert unwrapped("\n".join(program.err)).endswith(
        "zavctl: Abgebrochen. Nicht programmiert: Das Lesen der Konfiguration des Geräts wurde abgebrochen; "
        "das Gerät ist unverändert.")

    # A backup folder that takes no file ends a series as it ends a single
    # program: exit 2.
    device.control("clear")
    backups = tmp_path / "sicherungen"
    backups.mkdir()
    if subprocess.run(["chattr", "+i", str(backups)], capture_output=True).returncode != 0:
        pytest.skip("chattr +i does not work here, so no backup can be made to fail")
    try:
        run = zavctl("program", str(image), "--series", "--backup-dir", str(backups), port=device.port)
    finally:
        subprocess.run(["chattr", "-i", str(backups)], check=True)
    assert run.returncode == 2, run.stderr
    assert run.stdout.decode().startswith("Gerät 1: V2.30, Sicherung nicht möglich: Datei kann nicht angelegt werden !")
    assert device.record() == before and stats(device)["programmings"] == 0


def test_a_bad_line_is_tried_again(device, tmp_path):
    image = tmp_path / "image.zcf"
    record = changed(device.record(), 96, 45)
    image.write_bytes(config_file(record))
    # The acknowledgement of block 0 arrives twice: the machine takes the
    # second for a refusal of the block. Before it: the identification's two
    # frames and the backup read's fifteen, then the command's acknowledgement.
    twice = "noise duplicate to-program 18"
    device.control(twice)
    run = zavctl("program", str(image), "--retries", "0", port=device.port)
    assert run.returncode == 4
    assert NO_VALID_CONFIGURATION in run.stderr.decode()

    device.control(twice)
    run = zavctl("--json", "program", str(image), port=device.port)
    assert run.returncode == 0, run.stderr
    assert "Programmieren: Fehler beim Konfig-Update ! Neuer Versuch 1 von 2 ..." in run.stderr.decode()
    report = json.loads(run.stdout)
    assert (report["programmed"], report["attempts"], report["verified"]) == (True, 2, True)
    assert device.record() == record

    # A verify read that loses a block is read again.
    device.control("noise drop to-program 4")
    run = zavctl("--json", "verify", str(image), port=device.port)
    assert run.returncode == 0, run.stderr
    assert json.loads(run.stdout)["verify_reads"] == 2


def test_a_failed_verify_read_still_says_the_device_was_programmed(device, tmp_path):
    image = tmp_path / "image.zcf"
    record = changed(device.record(), 96, 45)
    image.write_bytes(config_file(record))
    device.control("fault read-silent-after 3")
    # Neither backup nor comparison: the only read is the verify's.
    run = zavctl("--json", "program", str(image), "--no-backup", "--always", port=device.port)
    assert run.returncode == 3
    report = json.loads(run.stdout)
    assert (report["programmed"], report["verified"], report["verify_reads"]) == (True, False, 3)
    assert report["error"]["message"] == "Verbindung unterbrochen !"
    assert report["file"] == str(image) and report["port"] == device.port
    assert report["sha256"] == hashlib.sha256(record).hexdigest()
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d", report["started"])
    assert 0 < report["duration_s"] < 60


def test_verify_compares_every_byte(device, tmp_path):
    record = device.record()
    count = record[0]
    cases = {
        "count.zcf": changed(record, 0, count - 1 if count > 1 else 2),
        # The last 5-tone address is hidden behind the count: no field shows it.
        "hidden.zcf": changed(record, 50, record[50] ^ 0x01),
    }
    for name, content in cases.items():
        path = tmp_path / name
        path.write_bytes(config_file(content))
        run = zavctl("verify", str(path), port=device.port)
        assert run.returncode == 5, name
    assert "Fehler ab Adresse: 0" in zavctl("verify", str(tmp_path / "count.zcf"), port=device.port).stdout.decode()


@pytest.mark.parametrize("fault", ["fault bad-check", "version 3.1"])
def test_identify_of_a_refused_device_exits_4(device, fault):
    device.control(fault)
    run = zavctl("identify", port=device.port)
    assert run.returncode == 4


def test_one_exit_code_table_in_the_help_the_guide_and_the_json_description():
    def markdown_table(path):
        text = (ROOT / path).read_text(encoding="utf-8")
        rows = re.findall(r"^\| (\d+) \| (.+) \|$", text[text.index("| Code | Bedeutung |"):], re.M)
        return [(int(code), meaning.replace("`", "")) for code, meaning in rows]

    overview = zavctl("--help").stdout.decode()
    listed = overview[overview.index("Exit-Codes:\n") + len("Exit-Codes:\n"):]
    told = [(int(code), " ".join(meaning.split()))
            for code, meaning in re.findall(r"^  (\d+) +(.+(?:\n {7}\S.*)*)", listed, re.M)]
    assert [code for code, _ in told] == [0, 1, 2, 3, 4, 5, 6, 130]
    assert markdown_table("docs/Benutzerhandbuch.md") == told
    assert markdown_table("docs/JSON.md") == told


def test_a_device_silent_in_the_middle_of_its_programming_is_told_and_logged_with_both_causes(device, tmp_path):
    image = tmp_path / "image.zcf"
    image.write_bytes(config_file(changed(device.record(), 96, 45)))
    log = tmp_path / "serie.jsonl"
    device.control("pace on")
    series = Running("--port", device.port, "program", str(image), "--series", "--log", str(log))
    try:
        wait_for(lambda: "pc>dev 00 00" in (device.folder / "frames.log").read_text(), 30, "the first block")
        device.control("fault silent")  # the cable pulled, the adapter still there
        # The retry's look is told as it waits, and finding nobody it ends
        # the device: no further retry, and one more silent look makes it gone.
        series.wait_told("Das Gerät antwortet nicht; noch 1,5 s warten", lines=series.err)
        series.wait_told("Gerät 1 abgeklemmt.", lines=series.err)
        looks = identify_commands(device)
        series.process.send_signal(signal.SIGINT)
        assert series.end() == 4
    finally:
        series.kill()
    assert looks <= 6, looks  # the one that found it, the retry's two, one look of two, perhaps the next
    assert not [line for line in series.err if "Neuer Versuch 2 von 2" in line]
    assert series.told("Gerät 1: ") == "Gerät 1: V2.30, Kein ZAV 160 gefunden ! (nach 1 Wiederholung)"
    assert "  Zuerst: Verbindung unterbrochen !" in series.out
    [entry] = [json.loads(line) for line in log.read_text().splitlines()]
    assert (entry["message"], entry["first_message"], entry["retries"]) == \
        ("Kein ZAV 160 gefunden !", "Verbindung unterbrochen !", 1)
