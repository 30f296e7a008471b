"""The page as a technician uses it, against the virtual device: what the
device saw (its frame log) and what it holds (its record, its setup block)
decide, not only what the page says."""
import pathlib
import subprocess

from conftest import ACCESS_CODE, ROOT, config_file, wait_for

EXAMPLES = ROOT / "examples"
ZAVCTL = pathlib.Path(__import__("os").environ.get("ZAV_WEB_NATIVE", str(ROOT / "build/native"))) / "zavctl"
IDENTIFY, READ, PROGRAM, SETUP_WRITE = b"+", b"-", b".", b"*"


def connect(page):
    page.click("menu-connect")
    assert page.confirm() == ("ZAV-Verbinden", "ZAV 160 erkannt", "")
    page.click("menu-configuration")


def commands(device):
    """The command frames the page sent, in order."""
    return [frame for frame in device.program_frames() if frame in (IDENTIFY, READ, PROGRAM, SETUP_WRITE)]


def setup_check_byte(word):
    """The setup block's 7-bit check value, worked out bit by bit."""
    register = word
    for _ in range(23):
        register <<= 1
        if register & (1 << 23):
            register ^= 0xA1 << 16
    return (register >> 16) & 0x7F


def test_identify_info_and_read(page, device):
    page.screenshot("browser-start.png")
    connect(page)
    assert commands(device) == [IDENTIFY]
    page.click("menu-info")
    lines = page.driver.execute_script(
        "return Array.from(document.querySelectorAll('#info-lines li')).map(li => li.textContent);")
    assert lines == ["Doppelton:", "675/1240", "675/1860", "675/2280", "675/825", "675/1010", "5-Ton Adressen:",
                     "max.10", "Zusatzrelais:", "bis zu 2", "Doppelton-Dauer:", "2000ms", "Rufton-Dauer", "70ms",
                     "SW-Version:", "2.30"]
    page.click("info-close")

    page.click("read")
    assert page.confirm() == ("ZAV-Konfiguration", "Konfiguration gelesen !", "")
    record = device.record()
    assert page.value("five-tone-count") == str(record[0])
    assert page.value("five-tone") == record[1:6].decode("cp1252")
    assert page.value("dead-time") == str(record[96])
    assert page.value("alarm-pause") == str(record[97])
    assert page.items("alarm-selector")[0] == "675Hz/1240Hz"
    assert page.items("relay-selector") == ["1", "2"]
    assert commands(device) == [IDENTIFY, READ]
    page.screenshot("browser-konfiguration-gelesen.png")


def test_edit_program_verify_with_backup_and_no_second_write(page, device):
    before = device.copy()
    connect(page)
    page.click("read")
    page.confirm()
    page.type("dead-time", "42")
    page.type("coding", "ON05,H1220,OFF05")
    page.click("program")
    page.message()
    page.screenshot("browser-programmierung-erfolgreich.png")
    caption, text, details = page.confirm()
    assert (caption, text) == ("ZAV-Konfiguration", "Programmierung erfolgreich !")
    # The device's own record was offered before the write, as a file of
    # the windowed program's kind.
    name, backup = page.download(".zcf")
    assert f"Gesichert: {name}" in details
    assert backup == config_file(before[:108])
    record = device.record()
    assert record[96] == 42
    assert record[51:57] == bytes([0x45, 0x8C, 0x20, 0x05, 0xFF, record[56]])[:6]
    assert commands(device) == [IDENTIFY, READ, IDENTIFY, READ, PROGRAM]

    page.click("verify")
    assert page.confirm()[:2] == ("ZAV-Konfiguration", "Verifikation OK !")
    # The device holds the record now: "Programmieren" reads and leaves it.
    page.clear_downloads()
    page.click("program")
    assert page.confirm()[:2] == ("ZAV-Konfiguration", "Unverändert: Das Gerät hält diese Konfiguration schon.")
    assert commands(device)[-3:] == [READ, IDENTIFY, READ]
    assert not list(page.downloads.iterdir())
    # A field check stops the command before anything is sent.
    sent = len(device.program_frames())
    page.type("dead-time", "181")
    page.click("program")
    assert page.confirm() == ("ZAV Konfiguration", "Fehler: Totzeit !", "")
    assert len(device.program_frames()) == sent


def test_files_and_text_as_the_windowed_program_and_zavctl_write_them(page, device):
    # kleine-wache.zcf was saved by the windowed program for setup bytes 03 01,
    # kleine-wache.toml written from it by zavctl export for the same fitting.
    device.control("options 0301")
    connect(page)
    page.load(EXAMPLES / "kleine-wache.zcf")
    assert page.confirm()[:2] == ("ZAV-Konfiguration", "Konfigurations-Datei gelesen !")
    page.click("save")
    name, saved = page.download(".zcf")
    assert name == "kleine-wache.zcf"
    assert saved == (EXAMPLES / "kleine-wache.zcf").read_bytes()
    page.click("save-text")
    name, text = page.download(".toml")
    assert text == (EXAMPLES / "kleine-wache.toml").read_bytes()

    # The text back: the same record, byte for byte; and a text written for
    # another fitting is refused, naming both.
    page.clear_downloads()
    page.type("dead-time", "99")
    page.load(EXAMPLES / "kleine-wache.toml")
    assert page.confirm()[:2] == ("ZAV-Konfiguration", "Konfigurations-Datei gelesen !")
    page.click("save")
    assert page.download(".zcf")[1] == (EXAMPLES / "kleine-wache.zcf").read_bytes()
    page.load(EXAMPLES / "voll-10-adressen-4-relais.toml")
    caption, text, details = page.confirm()
    assert "Die Ausstattungen passen nicht zusammen" in text and "BF 01" in text and "03 01" in text
    assert commands(device) == [IDENTIFY]


def test_service_setup_write(page, device):
    page.open(ACCESS_CODE)
    page.click("menu-setup")
    page.click("setup-program")
    assert page.confirm() == ("ZAV Setup", "Fehler: Doppelton !", "")
    page.click("setup-read")
    assert page.confirm() == ("ZAV-Setup", "Setup gelesen !", "")
    checked = page.driver.execute_script(
        "return Array.from({length: 16}, (_, n) => document.getElementById('option-' + n).checked);")
    assert checked == [True] * 5 + [False, True, False, True, False, False, True, True, False, True, False]
    # Alarm 3 off, four relays (a click in a group chooses that option), 700 ms.
    for option in (3, 9, 13):
        page.click(f"option-{option}")
    page.screenshot("browser-setup.png")
    page.click("setup-program")
    assert page.confirm() == ("ZAV-Setup", "Programmierung erfolgreich !", "")
    byte1, byte2 = 0x17 | 0x20 | 0x80, 0x01 | 0x02
    expected = bytes([byte1, byte2, setup_check_byte(byte1 | byte2 << 8), 2, 30])
    assert device.setup() == expected
    assert device.program_frames()[-2:] == [SETUP_WRITE, expected]


def test_silent_refusing_and_cut_off_devices(page, device):
    device.control("fault silent")
    page.click("menu-connect")
    assert page.confirm(timeout=15) == ("ZAV-Verbinden", "Kein ZAV 160 gefunden !", "")
    assert commands(device) == [IDENTIFY] * 5
    assert page.driver.execute_script("return document.getElementById('menu-configuration').disabled")

    device.reset()
    connect(page)
    page.click("read")
    page.confirm()
    page.type("alarm-pause", "17")
    # The device refuses block 2 after acknowledging it: blocks 0 and 1 are
    # in it, and it is told that it holds no valid configuration.
    device.control("fault refuse-block 2")
    device.control("log clear")
    page.click("program")
    caption, text, details = page.confirm()
    assert (caption, text) == ("ZAV-Konfiguration", "Fehler beim Konfig-Update !")
    assert "Das Gerät hat keine gültige Konfiguration mehr: neu programmieren." in details
    blocks = [frame[:2] for frame in device.program_frames() if len(frame) == 18]
    assert blocks == [b"\x00\x00", b"\x01\x00", b"\x02\x00"]

    # Cut off during the blocks: said at once, not after the machine's
    # time-outs, and the device's record is no longer whole.
    # The same way again, cut off when block 2 arrives.
    block_2 = device.program_frames().index(PROGRAM) + 3
    device.control("clear")
    device.control("log clear")
    device.control(f"fault vanish-after-frames {block_2}")
    page.click("program")
    caption, text, details = page.confirm(timeout=5)
    assert (caption, text) == ("ZAV-Konfiguration", "Verbindung unterbrochen !")
    assert "Das Gerät hat keine gültige Konfiguration mehr: neu programmieren." in details
    status = page.driver.execute_script("return document.getElementById('port-status').textContent")
    assert "abgerissen" in status or "getrennt" in status


def test_cancel_before_the_blocks_leaves_the_device_as_it_was(page, device):
    before = device.record()
    connect(page)
    page.click("read")
    page.confirm()
    page.type("dead-time", "77")
    # The device answers the identification and then stays silent: the page
    # waits in the backup read, and the user cancels.
    device.control("fault read-silent-after 0")
    page.click("program")
    wait_for(lambda: READ in commands(device)[2:], 5, "the backup read")
    page.click("cancel")
    caption, text, details = page.confirm(timeout=5)
    assert (caption, text) == ("ZAV-Konfiguration", "Abgebrochen.")
    assert "Nicht programmiert: Das Gerät ist unverändert." in details
    assert PROGRAM not in commands(device)
    assert device.record() == before


def test_the_page_works_from_a_file(driver, device):
    driver.get("about:blank")
    driver.get((ROOT / "build/web").as_uri() if False else pathlib.Path(__import__("os").environ["ZAV_WEB_PAGE"]).as_uri())
    wait_for(lambda: driver.execute_script("return document.body.dataset.ready"), 10, "the page from file://")
    assert driver.execute_script("return window.isSecureContext && !!navigator.serial")
    assert driver.execute_script("return document.getElementById('unavailable').hidden")
