"""zavctl report: handover sheets printed by a real browser, the inventory as
a spreadsheet reads it, and the logs and files it refuses.

The audit logs are written here by hand, line by line as the log's schema
says, from the example configuration with each device's own addresses."""
import csv
import hashlib
import io
import json
import re
import resource
import shutil
import signal
import subprocess
import tempfile

import pytest

from conftest import HEADER, ROOT, ZAVCTL, config_file, unwrapped, zavctl

EXAMPLE = ROOT / "examples" / "voll-10-adressen-4-relais.zcf"
SETUP = "BF073C020A"  # five double-tone alarms, 10 addresses, four relays, set A; V2.10
DEVICES = [
    ("LF 20 Fahrer", ["10101", "10102", "10103"]),
    ("HLF 20 Maschinist", ["20201", "20202", "20203"]),
    ("ELW 1 Führung", ["30301", "30302", "30303"]),
]


def record_with(addresses):
    record = bytearray(EXAMPLE.read_bytes()[len(HEADER):len(HEADER) + 108])
    record[0] = len(addresses)
    for n, address in enumerate(addresses):
        record[1 + 5 * n:6 + 5 * n] = address.encode()
    return bytes(record)


def log_line(number, label, addresses, outcome="programmed", reached=None, values=None):
    """A series' line; a failed device was not reached unless reached says
    so (then the line holds the record it should have got)."""
    record = record_with(addresses)
    reached = outcome != "failed" if reached is None else reached
    return json.dumps({
        "schema": 1, "time": f"2026-12-08T09:{10 + number}:02+01:00", "zavctl": "2.30",
        "command": "program", "port": "/dev/ttyUSB0", "adapter": "FTDI FT232R USB UART",
        "operator": "müller",
        "device": {"number": number, "version": "2.10", "setup": SETUP, "tone_set": "A"} if reached else None,
        "plan": {"row": number, "label": label, **({"values": values} if values else {})}, "file": "fahrzeug.toml",
        "record": record.hex().upper() if reached else None,
        "sha256": hashlib.sha256(record).hexdigest() if reached else None,
        "backup": None, "outcome": outcome, "exit_code": 0 if reached else 3,
        "message": "Kein ZAV 160 gefunden !" if outcome == "failed" else "Verifikation OK !",
        "differences": [], "retries": 0, "duration_s": 4.8,
    }, ensure_ascii=False)


def three_device_log(folder):
    log = folder / "serie.jsonl"
    log.write_text("".join(log_line(n, label, addresses) + "\n"
                           for n, (label, addresses) in enumerate(DEVICES, 1)), encoding="utf-8")
    return log


def run(*command, timeout=120):
    done = subprocess.run(command, capture_output=True, timeout=timeout)
    assert done.returncode == 0, f"{command[0]}: {done.stderr.decode(errors='replace')}"
    return done.stdout.decode()


@pytest.mark.skipif(shutil.which("chromium") is None or shutil.which("pdftotext") is None,
                    reason="chromium and poppler-utils are not installed (tools/setup.sh installs them)")
def test_chromium_prints_one_a4_page_per_device_with_its_label_and_addresses(tmp_path):
    sheet = tmp_path / "blatt.html"
    done = zavctl("report", str(three_device_log(tmp_path)), "-o", str(sheet))
    assert done.returncode == 0, done.stderr.decode()

    # Printed with Chromium's defaults, header and footer on: the page keeps
    # them off (no date, no title, no file path).
    pdf = tmp_path / "blatt.pdf"
    with tempfile.TemporaryDirectory() as profile:
        run("chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            f"--user-data-dir={profile}", f"--print-to-pdf={pdf}", sheet.as_uri())
    info = run("pdfinfo", str(pdf))
    assert re.search(r"^Pages:\s+3$", info, re.M), info
    assert "(A4)" in info, info
    for page, (label, addresses) in enumerate(DEVICES, 1):
        text = run("pdftotext", "-f", str(page), "-l", str(page), "-layout", str(pdf), "-")
        assert label in text, (page, text)
        for address in addresses:
            assert address in text, (page, address, text)
        others = [a for _, other in DEVICES if other != addresses for a in other]
        assert not any(a in text for a in others), (page, text)
        assert "file:" not in text and sheet.name not in text and "Übergabeblätter" not in text, text
        assert not re.search(r"\d+/\d+/\d+", text), text
        # The addresses stand under their heading, in its column.
        lines = text.splitlines()
        starts = [next((n for n, line in enumerate(lines) if line.startswith(head)), None)
                  for head in ["Adressen", "Anzahl-5Ton", "5-Ton Nummer 1", "5-Ton Nummer 3", "Hand "]]
        assert None not in starts and starts == sorted(starts), text
        assert "Inventarnummer" in text, text


def test_a_damaged_log_and_a_taken_output_are_refused(tmp_path):
    log = three_device_log(tmp_path)
    sheet = tmp_path / "blatt.html"

    # A line cut off (a power loss, a full disk) is passed over and named;
    # the others get their sheets, and nothing is said to be whole that is not.
    lines = log.read_text(encoding="utf-8").splitlines(keepends=True)
    damaged = tmp_path / "abgebrochen.jsonl"
    damaged.write_text(lines[0] + lines[1][:40] + "\n" + lines[2] + lines[0][:-30], encoding="utf-8")
    done = zavctl("--json", "report", damaged.name, "-o", str(sheet))
    assert done.returncode == 0, done.stderr.decode()
    warned = unwrapped(done.stderr)
    assert "zavctl: Warnung: abgebrochen.jsonl, Zeile 2: kein gültiges JSON" in warned
    assert "abgebrochen.jsonl, Zeile 4: kein gültiges JSON" in warned and "übergangen." in warned
    document = json.loads(done.stdout)
    assert document["devices"] == 2 and [s["line"] for s in document["skipped_lines"]] == [2, 4]
    page = sheet.read_text(encoding="utf-8")
    assert "LF 20 Fahrer" in page and "ELW 1 Führung" in page and "HLF 20 Maschinist" not in page
    sheet.unlink()
    no_key = tmp_path / "ohne-schluessel.jsonl"
    no_key.write_text(lines[0].replace('"backup": null, ', ""), encoding="utf-8")
    done = zavctl("report", str(no_key), "-o", str(sheet))
    assert done.returncode == 2
    assert 'Zeile 1: der Schlüssel "backup" fehlt' in done.stderr.decode()
    assert not sheet.exists()

    sheet.write_text("vom Vortag")
    done = zavctl("report", str(log), "-o", str(sheet))
    assert done.returncode == 2 and "Datei existiert bereits: " in done.stderr.decode()
    assert sheet.read_text() == "vom Vortag"
    done = zavctl("report", str(log), "-o", str(sheet), "--force")
    assert done.returncode == 0, done.stderr.decode()
    assert "ELW 1 Führung" in sheet.read_text(encoding="utf-8")
    assert [p.name for p in tmp_path.iterdir() if p.name.startswith("blatt")] == ["blatt.html"]

    # An input is never the output, however it is spelt, not even with
    # --force (the current folder is tmp_path).
    (tmp_path / "verweis.html").symlink_to("serie.jsonl")
    before = log.read_bytes()
    for output in ("serie.jsonl", "verweis.html", str(tmp_path / "." / "serie.jsonl")):
        done = zavctl("report", "./serie.jsonl", "-o", output, "--force")
        assert done.returncode == 1, (output, done.stderr.decode())
        assert "ist eine der Eingaben" in done.stderr.decode()
        assert log.read_bytes() == before


def test_a_log_in_the_ports_order_gives_sheets_in_the_plans_and_one_inventory_row_per_vehicle(tmp_path):
    (lf, lf_addresses), (hlf, hlf_addresses), (elw, elw_addresses) = DEVICES
    values = {"adressen.nummern.1": "10101", "zusatzrelais.1.ein_zeit": "10"}
    log = tmp_path / "serie.jsonl"
    # As two ports finish them: row 2's first device failed after it was
    # reached (its line names the record it was to get), another did it;
    # a device left for the user holds row 1's record; row 4 never got done.
    log.write_text("".join(line + "\n" for line in [
        log_line(2, hlf, hlf_addresses, outcome="failed", reached=True, values=values),
        log_line(3, elw, elw_addresses, values=values),
        log_line(1, lf, lf_addresses, values=values),
        log_line(2, hlf, hlf_addresses, values=values),
        log_line(1, lf, lf_addresses, outcome="needs_attention", values=values),
        log_line(4, "TLF 3000", [], outcome="failed", reached=True),
    ]), encoding="utf-8")

    sheet = tmp_path / "blatt.html"
    done = zavctl("report", str(log), "-o", str(sheet))
    assert done.returncode == 0, done.stderr.decode()
    page = sheet.read_text(encoding="utf-8")
    assert [page.index(f"<h1>{label}</h1>") for label in (lf, hlf, elw)] == \
        sorted(page.index(f"<h1>{label}</h1>") for label in (lf, hlf, elw))
    assert "<th>Gerät</th><td>Nr. 2 laut Plan</td>" in page and "Plan-Zeile" not in page
    assert "zu klären, kein Blatt." in unwrapped(done.stderr)

    inventory = tmp_path / "inventar.csv"
    done = zavctl("--json", "report", str(log), "--csv", "-o", str(inventory))
    assert done.returncode == 0, done.stderr.decode()
    assert json.loads(done.stdout)["devices"] == 4
    rows = list(csv.DictReader(io.StringIO(inventory.read_bytes().decode("utf-8-sig"), newline=""), delimiter=";"))
    assert [(row["Bezeichnung"], row["Ergebnis"]) for row in rows] == \
        [(lf, "programmiert"), (hlf, "programmiert"), (elw, "programmiert"), ("TLF 3000", "fehlgeschlagen")]
    # A vehicle never done is no device holding the record it was to get.
    assert rows[3]["SHA-256"] == "" and rows[3]["5-Ton Nummer 1"] == ""
    # The plan's 5-tone number stands once, in the device's own column.
    assert "adressen.nummern.1" not in rows[0] and rows[0]["zusatzrelais.1.ein_zeit"] == "\u206010"
    assert rows[0]["5-Ton Nummer 1"] == "\u206010101"


def test_the_inventory_opens_in_a_spreadsheet_and_files_get_sheets_without_a_log(tmp_path):
    log = three_device_log(tmp_path)
    with log.open("a", encoding="utf-8") as appended:
        appended.write(log_line(4, "TLF 3000", [], outcome="failed") + "\n")
    inventory = tmp_path / "inventar.csv"
    done = zavctl("--json", "report", str(log), "--csv", "-o", str(inventory))
    assert done.returncode == 0, done.stderr.decode()
    assert json.loads(done.stdout)["devices"] == 4

    content = inventory.read_bytes()
    assert content.startswith(b"\xef\xbb\xbf")
    rows = list(csv.DictReader(io.StringIO(content.decode("utf-8-sig"), newline=""), delimiter=";"))
    assert [row["Bezeichnung"] for row in rows] == [label for label, _ in DEVICES] + ["TLF 3000"]
    # Codes keep their leading zeros as text, without a formula: the cell
    # is the code behind an invisible word joiner.
    assert [row["5-Ton Nummer 2"] for row in rows] == ["\u206010102", "\u206020202", "\u206030302", ""]
    assert "=" not in content.decode("utf-8-sig")
    assert rows[0]["Bearbeiter"] == "müller" and rows[0]["Datum"] == "08.12.2026 09:11"
    assert rows[3]["Ergebnis"] == "fehlgeschlagen"

    sheet = tmp_path / "wache.html"
    done = zavctl("report", str(ROOT / "examples" / "kleine-wache.zcf"), "-o", str(sheet))
    assert done.returncode == 0, done.stderr.decode()
    page = sheet.read_text(encoding="utf-8")
    assert "kleine-wache.zcf" in page and "angenommen: Vollausstattung" in page
    done = zavctl("report", str(ROOT / "examples" / "kleine-wache.zcf"), "--setup", "BF073D020A", "-o",
                  str(tmp_path / "falsch.html"))
    assert done.returncode == 1 and "Setup-Daten ungültig !" in done.stderr.decode()


def test_a_full_disk_leaves_the_log_as_it_was(device, tmp_path):
    """A line that cannot be written whole is cut back: the device is said
    not to be logged, and the log still gives every sheet it gave. The disk
    fills up for real: the file size limit (RLIMIT_FSIZE) lets the line's
    first 200 bytes reach the file, then refuses the rest."""
    log = three_device_log(tmp_path)
    before = log.read_bytes()
    held = tmp_path / "geraet.zcf"
    held.write_bytes(config_file(device.record()))

    def file_size_limit(size):
        def limit():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
        return limit

    done = subprocess.run([ZAVCTL, "--port", device.port, "verify", str(held), "--log", str(log)],
                          capture_output=True, timeout=60, preexec_fn=file_size_limit(len(before) + 200))
    told = unwrapped(done.stderr)
    assert done.returncode == 2, told
    assert "zavctl: Protokoll kann nicht geschrieben werden" in told
    assert "serie.jsonl: die Datei wird zu groß." in told
    assert "Das Gerät ist nicht protokolliert; das Protokoll ist, wie es war." in told
    assert "Verifikation OK !" in done.stdout.decode()
    assert log.read_bytes() == before

    done = zavctl("report", str(log), "-o", str(tmp_path / "blatt.html"))
    assert done.returncode == 0 and done.stdout.decode().startswith("3 Übergabeblätter"), done.stderr.decode()

    # In a series, the device not logged is said before the device itself,
    # and its row stays open, as a restart with that log will find it.
    series_log = tmp_path / "serie-voll.jsonl"
    done = subprocess.run([ZAVCTL, "--json", "--port", device.port, "program", str(ROOT / "examples" / "plan-vorlage.toml"),
                           "--series", "--plan", str(ROOT / "examples" / "plan-fahrzeuge.csv"), "--no-backup",
                           "--log", str(series_log)], capture_output=True, timeout=60, preexec_fn=file_size_limit(200))
    events = [json.loads(line) for line in done.stdout.decode().splitlines()]
    assert [event["event"] for event in events] == ["error", "device", "end"], events
    assert "Gerät 1 (LF 20 Fahrer) ist nicht protokolliert" in events[0]["error"]["detail"]
    assert events[1]["message"] == "Verifikation OK !"
    assert events[2]["left_devices"] == [1, 2, 3] and events[2]["exit_code"] == 2 == done.returncode
    assert series_log.read_bytes() == b""
