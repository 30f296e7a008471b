"""The serial line and the language: how zavctl leaves a port, what it says
when it may not use one, and what it prints when told to be quiet or called
wrongly."""
import json
import os
import pwd
import re
import signal
import subprocess
import termios

import pytest

from conftest import ROOT, ZAVCTL, config_file, wait_for, zavctl, unwrapped

ENGLISH = re.compile(r"\b(required|expected|argument|arguments|missing|following|not|error|denied|"
                     r"permission|resource|unavailable|such|file|directory)\b", re.IGNORECASE)


def test_the_port_is_set_for_the_device_and_given_back_as_it_was(device):
    # A previous program left the port at 9600 baud with hardware flow
    # control on; a pty keeps the flag, as a real port does.
    watcher = os.open(device.port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        found = termios.tcgetattr(watcher)
        found[2] |= termios.CRTSCTS
        found[4] = found[5] = termios.B9600
        termios.tcsetattr(watcher, termios.TCSANOW, found)
        found = termios.tcgetattr(watcher)

        run = zavctl("identify", port=device.port)
        assert run.returncode == 0, run.stderr
        assert termios.tcgetattr(watcher) == found

        # While zavctl holds the port (waiting for a silent device): no flow
        # control, 2400 baud; after Ctrl+C, the port as it was.
        device.control("fault silent")
        waiting = subprocess.Popen([ZAVCTL, "--port", device.port, "identify"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            wait_for(lambda: termios.tcgetattr(watcher)[4] == termios.B2400, 10, "zavctl to set the port")
            assert not termios.tcgetattr(watcher)[2] & termios.CRTSCTS
        finally:
            waiting.send_signal(signal.SIGINT)
            waiting.wait(timeout=20)
        assert waiting.returncode == 130
        assert termios.tcgetattr(watcher) == found
    finally:
        os.close(watcher)


@pytest.mark.skipif(os.geteuid() != 0, reason="needs root to run zavctl as a user without rights to the port")
def test_a_port_without_permission_names_the_group_that_may_use_it(tmp_path):
    nobody = pwd.getpwnam("nobody")
    device, terminal = os.openpty()
    port = os.ttyname(terminal)
    as_nobody = ["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups",
                 os.path.abspath(ZAVCTL), "--port", port, "identify"]
    try:
        os.chown(port, 0, 0)
        os.chmod(port, 0o600)
        run = subprocess.run(as_nobody, capture_output=True, timeout=30)
        err = unwrapped(run.stderr)
        assert run.returncode == 3, err
        assert "der Port gehört dem Benutzer root und der Gruppe root" in err
        assert "dialout" not in err

        os.chown(port, 0, 20)  # dialout, Debian's group for serial ports
        os.chmod(port, 0o660)
        run = subprocess.run(as_nobody, capture_output=True, timeout=30)
        err = unwrapped(run.stderr)
        assert run.returncode == 3, err
        assert "der Benutzer muss in der Gruppe dialout sein" in err
        assert not ENGLISH.search(err), err
    finally:
        os.close(terminal)
        os.close(device)


def run_with_terminal_for_errors(*arguments):
    """Runs zavctl with standard error on a terminal; returns the exit code
    and what reached the terminal."""
    controller, terminal = os.openpty()
    process = subprocess.Popen([ZAVCTL] + list(arguments), stdout=subprocess.DEVNULL, stderr=terminal)
    os.close(terminal)
    shown = b""
    while True:
        try:
            chunk = os.read(controller, 4096)
        except OSError:  # EIO: zavctl has ended and closed the terminal
            break
        if not chunk:
            break
        shown += chunk
    os.close(controller)
    return process.wait(timeout=60), shown.decode()


def test_quiet_prints_only_errors_and_the_bar_is_for_a_terminal_only(device, tmp_path):
    image = tmp_path / "image.zcf"
    image.write_bytes(config_file(device.record()))

    # --always: the device holds the file already, and would not be written.
    code, shown = run_with_terminal_for_errors("--port", device.port, "program", str(image), "--always")
    assert code == 0, shown
    assert "\rProgrammieren" in shown and "] 6/6" in shown

    code, shown = run_with_terminal_for_errors("--port", device.port, "program", str(image), "--always", "--quiet")
    assert (code, shown) == (0, "")

    run = zavctl("program", str(image), "--always", port=device.port)
    assert run.returncode == 0
    assert "\r" not in run.stderr.decode() and "[" not in run.stderr.decode()

    code, shown = run_with_terminal_for_errors("--quiet", "--port", device.port, "program",
                                               str(tmp_path / "missing.zcf"))
    assert code == 2 and "Datei nicht vorhanden !" in shown


def test_usage_errors_exit_1_in_german_and_options_may_follow_the_command(device):
    wrong = {
        (): "Kein Befehl angegeben.",
        ("frobnicate",): "Unbekannte Angabe: frobnicate.",
        ("show",): "DATEI fehlt.",
        ("read",): "Die Option --output fehlt.",
        ("show", "a.zcf", "b", "c"): "Unbekannte Angabe: b c.",
        ("show", "a.zcf", "--setup"): "Der Wert zu --setup fehlt.",
        ("--port", "a", "identify", "--port", "b"): "Die Option --port ist mehrfach angegeben.",
        ("help", "frobnicate"): "Den Befehl frobnicate gibt es nicht.",
    }
    for arguments, message in wrong.items():
        run = zavctl(*arguments)
        err = run.stderr.decode()
        assert (run.returncode, message in err) == (1, True), (arguments, err)
        assert not ENGLISH.search(err), (arguments, err)

    run = zavctl("identify", "--port", device.port, "--json", "--quiet")
    assert (run.returncode, run.stderr) == (0, b"")
    assert json.loads(run.stdout)["accepted"]


def test_every_command_refuses_a_wrong_setup_block_alike_before_anything_else(tmp_path):
    example = str(ROOT / "examples" / "kleine-wache.zcf")
    made = str(tmp_path / "made")
    calls = [("program", example), ("restore", example), ("program", example, "--series", "--no-backup"),
             ("verify", example, "--series"), ("show", example), ("diff", example, example), ("export", example),
             ("import", example, "-o", made), ("report", example, "-o", made)]
    for setup, said in (("BF073C02", "10 Hex-Ziffern erwartet Den Setup-Block angeben, wie \"zavctl identify\" ihn "
                                      "zeigt, z. B. BF073C020A."),
                        ("BF073D020A", "Setup-Daten ungültig ! Das Prüfbyte (3. Byte) passt nicht zu den Setup-Bytes.")):
        for call in calls:
            run = zavctl(*call, "--setup", setup)
            assert (run.returncode, unwrapped(run.stderr)) == (1, f"zavctl: --setup {setup}: {said}\n"), call
    assert list(tmp_path.iterdir()) == []
