"""show, diff and verify as reports: what a technician reads and what a
script parses."""
import json
import re

import pytest

from conftest import config_file, zavctl

# Setup blocks: all five alarms, 10 addresses, 4 relays, tone set 675+x; and
# alarms 1, 2, 3 and 5 only (the fourth, 675Hz/825Hz, not fitted), at most 5
# addresses, 2 relays.
FULL = "BF012F021E"
SMALL = "570131021E"


def record(changes=None):
    """Two addresses, an action list per alarm, relay 1 on "alle"."""
    r = bytearray([0xFF] * 108)
    r[0] = 2
    r[1:11] = b"2140121402"
    for alarm, actions in enumerate([[0x41], [0x42, 0x03], [0x05], [0x05], [0x05]]):
        r[51 + 9 * alarm:51 + 9 * alarm + len(actions) + 1] = bytes(actions + [0xFF])
    r[96:100] = bytes([30, 10, 1, 0])
    r[100:108] = bytes([0xA0, 5, 0xFF, 0, 0xFF, 0, 0xFF, 0])
    for address, value in (changes or {}).items():
        if isinstance(value, bytes):
            r[address:address + len(value)] = value
        else:
            r[address] = value
    return bytes(r)


def written(folder, name, content):
    path = folder / name
    path.write_bytes(config_file(content))
    return path


def lines_of(run):
    return run.stdout.decode().splitlines()


def within_80_columns(run):
    """Every line but those that carry a file's name, which is as long as
    it is."""
    return max(len(line) for line in lines_of(run) if ".zcf" not in line) <= 80


# (changes to the second file, fitting, a line the report must hold, the JSON
# difference it must hold). The first file is record() in every case.
DIFF_CASES = {
    "count": ({0: 3, 11: b"21403"}, FULL, "  5-Ton Nummer 3:  (fehlt) -> 21403",
              ("fields", {"field": "Anzahl-5Ton", "a": 2, "b": 3})),
    "last field": ({107: 7}, FULL, "  Zusatzrelais 4 Ein-Zeit:  0 s -> 7 s",
                   ("fields", {"field": "Zusatzrelais 4 Ein-Zeit", "a": 0, "b": 7})),
    "beyond the count": ({46: b"9", 50: b"8"}, FULL, "    Adresse 46, 50: 5-Ton Nummer 10, hinter Anzahl-5Ton",
                         ("hidden", {"address": 50, "name": "5-Ton Nummer 10, hinter Anzahl-5Ton", "a": 255,
                                     "b": 0x38})),
    "after the end mark": ({63: 0x07}, FULL, "    Adresse 63: Alarmliste 675Hz/1860Hz nach dem Endezeichen",
                           ("hidden", {"address": 63, "name": "Alarmliste 675Hz/1860Hz nach dem Endezeichen",
                                       "a": 255, "b": 7})),
    "relay not fitted": ({104: 0x11}, SMALL, "    Adresse 104: Zusatzrelais 3, nicht bestückt",
                         ("hidden", {"address": 104, "name": "Zusatzrelais 3, nicht bestückt", "a": 255,
                                     "b": 0x11})),
    "alarm not fitted": ({78: 0x44}, SMALL, "    Adresse 78: Alarmliste 675Hz/825Hz, nicht bestückt",
                         ("hidden", {"address": 78, "name": "Alarmliste 675Hz/825Hz, nicht bestückt", "a": 0x05,
                                     "b": 0x44})),
    "dead time": ({96: 45}, SMALL, "  Totzeit:  30 s -> 45 s", ("fields", {"field": "Totzeit", "a": 30, "b": 45})),
}


@pytest.mark.parametrize("case", DIFF_CASES)
def test_diff_names_every_difference(tmp_path, case):
    changes, fitting, line, (kind, entry) = DIFF_CASES[case]
    first = written(tmp_path, "a.zcf", record())
    second = written(tmp_path, "b.zcf", record(changes))

    run = zavctl("diff", str(first), str(second), "--setup", fitting)
    assert run.returncode == 5, run.stderr
    assert line in lines_of(run)
    assert within_80_columns(run)

    document = json.loads(zavctl("--json", "diff", str(first), str(second), "--setup", fitting).stdout)
    assert document["schema"] == 1 and document["same"] is False
    assert document["files"] == {"a": str(first), "b": str(second)}
    assert entry in document[kind]

    same = zavctl("diff", str(first), str(first), "--setup", fitting)
    assert same.returncode == 0 and "Keine Unterschiede." in lines_of(same)


def test_show_checks_as_the_window_and_names_the_field(tmp_path):
    # A name with an escape sequence in it, a third entry of three characters.
    name = "wache\x1b[2J.zcf"
    refused = written(tmp_path, name, record({0: 3, 11: b"214\0\0"}))
    run = zavctl("show", str(refused), "--setup", FULL)
    assert run.returncode == 4
    out, err = run.stdout.decode(), run.stderr.decode()
    assert "\x1b" not in out + err
    assert "wache\\x1b[2J.zcf" in out
    assert "Feldprüfung: Fehler: 5-Ton !" in out
    assert "zavctl: Fehler: 5-Ton !\n        Feld 5-Ton Nummer 3: 214\n" in err
    assert "DT-Satz 675+x" in out and within_80_columns(run)

    run = zavctl("--json", "show", str(refused), "--setup", FULL)
    assert run.returncode == 4
    document = json.loads(run.stdout)
    assert document["schema"] == 1 and document["file"] == str(refused)
    assert document["check"] == {"accepted": False, "code": 5, "message": "Fehler: 5-Ton !",
                                 "field": "5-Ton Nummer 3", "value": "214"}
    assert document["alarms"][0] == {"alarm": 1, "tone_pair": "675Hz/1240Hz", "coding": "ON01"}
    assert document["dead_time"] == 30 and document["relays"][0]["five_tone"] == "alle"
    assert document["fitting"]["info"]["tone_set"] == "675+x"

    # $ZAV_PORT names no device here: show must not try it.
    accepted = written(tmp_path, "gut.zcf", record())
    run = zavctl("--json", "show", str(accepted), env={"ZAV_PORT": str(tmp_path / "ttyUSB9")})
    assert run.returncode == 0, run.stderr
    assert json.loads(run.stdout)["fitting"]["source"] == "assumed"


def test_what_the_device_receives_is_said_by_program_and_show(device, tmp_path):
    # Relay 1 on entry 2 and the fourth alarm, which this device lacks: the
    # window sends "-keiner-" for it.
    device.control("options 5701")
    image = written(tmp_path, "relais.zcf", record({100: 0x13}))
    said = "  Zusatzrelais 1 Doppel-Ton:  -keiner- (675Hz/825Hz nicht bestückt) -> -keiner-"

    run = zavctl("program", str(image), port=device.port)
    assert run.returncode == 0, run.stderr
    assert said in lines_of(run)
    assert device.record()[100] == 0x1F

    run = zavctl("show", str(image), port=device.port)
    assert run.returncode == 0, run.stderr
    assert said in lines_of(run) and "vom Gerät an" in run.stdout.decode()


def test_verify_tells_file_then_device(device, tmp_path):
    other = written(tmp_path, "other.zcf", device.record()[:96] + bytes([99]) + device.record()[97:])
    run = zavctl("verify", str(other), port=device.port)
    assert run.returncode == 5
    assert re.search(r"^  Totzeit: +99 s -> 10 s$", run.stdout.decode(), re.M)

    document = json.loads(zavctl("--json", "verify", str(other), port=device.port).stdout)
    assert document["differences"]["fields"] == [{"field": "Totzeit", "file": 99, "device": 10}]
