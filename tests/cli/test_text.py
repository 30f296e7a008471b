"""Configurations as text: export and import through zavctl, as a
technician would keep them in an editor and under version control."""
import os
import subprocess

from conftest import ROOT, ZAVCTL, config_file, unwrapped, zavctl

SMALL = "030154021E"  # two double-tone alarms, five addresses, no relays


def words(output):
    """zavctl's notes as one line of words: they are wrapped at 80 columns."""
    return " ".join(output.decode().split())


def test_export_and_import_give_the_file_back_and_an_error_writes_nothing(tmp_path):
    example = ROOT / "examples/kleine-wache.zcf"
    text = tmp_path / "wache.toml"
    run = zavctl("export", str(example), "--setup", SMALL, "-o", str(text))
    assert run.returncode == 0, run.stderr
    back = tmp_path / "wache.zcf"
    run = zavctl("import", str(text), "--setup", SMALL, "-o", str(back))
    assert run.returncode == 0, run.stderr
    assert back.read_bytes() == example.read_bytes()

    # A coding the window refuses: its line and the window's message, exit 4,
    # and no file.
    edited = tmp_path / "falsch.toml"
    lines = text.read_text().splitlines()
    number = next(i for i, line in enumerate(lines) if line.startswith("codierung"))
    lines[number] = 'codierung = "ON01,XY"'
    edited.write_text("\n".join(lines) + "\n")
    refused = tmp_path / "falsch.zcf"
    run = zavctl("import", str(edited), "--setup", SMALL, "-o", str(refused))
    assert run.returncode == 4, run.stderr
    assert f"Zeile {number + 1}, Spalte" in run.stderr.decode()
    assert "Fehler: Codierung !" in run.stderr.decode()
    assert not refused.exists()

    # The program's own file is no text to import.
    run = zavctl("import", str(example), "-o", str(tmp_path / "x.zcf"))
    assert run.returncode == 2 and "kein Konfigurationstext" in run.stderr.decode()


def test_every_example_round_trips_without_a_fitting_and_a_text_keeps_the_one_it_names(tmp_path):
    for example in sorted((ROOT / "examples").glob("*.[zt][co][fm]*")):
        original = tmp_path / f"{example.name}.zcf"
        if example.suffix == ".zcf":
            original.write_bytes(example.read_bytes())
        else:
            run = zavctl("import", str(example), "-o", str(original))
            assert run.returncode == 0, (example.name, run.stderr.decode())
        text, back = tmp_path / f"{example.name}-ohne.toml", tmp_path / f"{example.name}-ohne.zcf"
        for arguments in (["export", str(original), "-o", str(text)], ["import", str(text), "-o", str(back)]):
            run = zavctl(*arguments)
            assert run.returncode == 0, (example.name, arguments[0], run.stderr.decode())
        assert back.read_bytes() == original.read_bytes(), example.name
        assert "ausstattung =" not in text.read_text()

    # A text written for a fitting names it: import, show and diff take it
    # from there, and a fitting given that is another is refused, both named.
    example = ROOT / "examples/kleine-wache.zcf"
    text = tmp_path / "wache.toml"
    assert zavctl("export", str(example), "--setup", SMALL, "-o", str(text)).returncode == 0
    assert 'ausstattung = "03 01"' in text.read_text()
    run = zavctl("import", str(text), "-o", str(tmp_path / "wache.zcf"))
    assert run.returncode == 0, run.stderr
    assert (tmp_path / "wache.zcf").read_bytes() == example.read_bytes()
    run = zavctl("diff", str(example), str(text))
    assert run.returncode == 0, run.stderr
    assert "Keine Unterschiede." in run.stdout.decode()
    assert "Setup-Bytes 03 01, aus dem Text" in run.stdout.decode()
    run = zavctl("show", str(text))
    assert run.returncode == 0, run.stderr
    assert "21402" in run.stdout.decode()
    run = zavctl("import", str(text), "--setup", "BF012F021E", "-o", str(tmp_path / "voll.zcf"))
    assert run.returncode == 4
    assert ("wache.toml ist für die Setup-Bytes 03 01 geschrieben, --setup nennt BF 01."
            in unwrapped(run.stderr)), run.stderr
    assert not (tmp_path / "voll.zcf").exists()


def test_the_examples_as_text_are_what_export_makes_of_them():
    for name, setup in [("kleine-wache", SMALL), ("voll-10-adressen-4-relais", "BF012F021E")]:
        run = zavctl("export", str(ROOT / f"examples/{name}.zcf"), "--setup", setup)
        assert run.returncode == 0, run.stderr
        assert run.stdout == (ROOT / f"examples/{name}.toml").read_bytes(), f"{name}.toml: tools/screenshots makes it"


def test_program_takes_a_text_and_the_device_holds_what_import_gives(device, tmp_path):
    setup = device.control("get setup")
    original = tmp_path / "original.zcf"
    record = bytearray(device.record())
    record[96] = 45  # Totzeit
    original.write_bytes(config_file(bytes(record)))
    text = tmp_path / "wache.toml"
    assert zavctl("export", str(original), "--setup", setup, "-o", str(text)).returncode == 0
    # A letter O for a zero is what the window takes: taken, with a warning
    # that names the field.
    lines = text.read_text().replace("totzeit = 45", "totzeit = 50").splitlines()
    number = next(i for i, line in enumerate(lines) if line.endswith("# Nummer 1"))
    lines[number] = '    "214O1",  # Nummer 1'
    text.write_text("\n".join(lines) + "\n")
    imported = tmp_path / "wache.zcf"
    assert zavctl("import", str(text), "--setup", setup, "-o", str(imported)).returncode == 0

    run = zavctl("program", str(text), port=device.port)
    assert run.returncode == 0, run.stderr
    assert (f"Warnung: {text}, Zeile {number + 1}, Spalte 5: adressen.nummern.1: '214O1': der Buchstabe 'O' an "
            "Stelle 4 ist keine Ziffer" in words(run.stderr)), run.stderr
    assert device.record() == imported.read_bytes()[23:131]
    assert zavctl("verify", str(text), port=device.port).returncode == 0

    # A text written for another fitting is refused, both named, and the
    # device keeps what it holds.
    small = tmp_path / "klein.toml"
    assert zavctl("export", str(ROOT / "examples/kleine-wache.zcf"), "--setup", SMALL, "-o", str(small)).returncode == 0
    run = zavctl("program", str(small), port=device.port)
    assert run.returncode == 4
    assert f"klein.toml ist für die Setup-Bytes 03 01 geschrieben, das Gerät hat {setup[:2]} {setup[2:4]}." \
        in unwrapped(run.stderr), run.stderr
    assert device.record() == imported.read_bytes()[23:131]


def test_program_and_verify_read_a_piped_text_once_before_the_device(device, tmp_path):
    # A pipe gives its bytes once: read a second time, after the device was
    # identified, it would be empty.
    text = tmp_path / "wache.toml"
    assert zavctl("export", str(ROOT / "examples/plan-vorlage.toml"), "--setup", device.control("get setup"),
                  "-o", str(text)).returncode == 0
    plan = tmp_path / "plan.csv"
    plan.write_text("bezeichnung;totzeit;adressen.nummern.1\nLF 8;50;214O1\n")
    environment = {key: value for key, value in os.environ.items() if key != "ZAV_PORT"}
    for arguments in (["program"], ["verify"], ["verify", "--series", "--plan", str(plan)]):
        run = subprocess.run([ZAVCTL, "--port", device.port, *arguments[:1], "/dev/stdin", *arguments[1:]],
                             input=text.read_bytes(), capture_output=True, timeout=60, env=environment)
        expected = 5 if "--series" in arguments else 0  # the plan's row differs from the device
        assert run.returncode == expected, (arguments, run.stderr.decode())
    # The plan's letter O, named by its row and column.
    assert f"Warnung: Plan {plan}, Zeile 2, Spalte 3: adressen.nummern.1: '214O1'" in words(run.stderr)
