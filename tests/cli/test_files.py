"""The files zavctl writes and its standard output: a backup is never lost,
nothing but a regular file is ever replaced, and output that did not arrive
is no success."""
import json
import os
import resource
import stat
import subprocess

import pytest

from conftest import ZAVCTL, config_file, zavctl, unwrapped

# An older backup whose record differs from the device's.
OLD = config_file(bytes(range(108)))


def frames_seen(device):
    """How many frames went over the line since the device started."""
    return int(device.control("log").split()[0])


def leftovers(folder):
    """Temporary files the writer left behind (NAME.XXXXXX)."""
    return sorted(p.name for p in folder.iterdir() if ".zcf." in p.name)


def run_zavctl(*arguments, **options):
    """zavctl with its standard streams or limits set by the test."""
    environment = {key: value for key, value in os.environ.items() if key != "ZAV_PORT"}
    options.setdefault("stderr", subprocess.PIPE)
    return subprocess.run([ZAVCTL, *arguments], env=environment, timeout=60, **options)


def test_a_backup_is_replaced_only_with_force_through_its_link_and_keeps_its_permissions(device, tmp_path):
    backup = tmp_path / "wache.zcf"
    backup.write_bytes(OLD)
    backup.chmod(0o600)
    os.chown(backup, 1234, 1234)  # another technician's backup, kept private
    link = tmp_path / "letzte.zcf"
    link.symlink_to("wache.zcf")
    for name in (backup, link):
        run = zavctl("read", "-o", str(name), port=device.port)
        assert run.returncode == 2
        assert f"zavctl: Datei existiert bereits: {name} (--force ersetzt sie)\n" in run.stderr.decode()
    assert backup.read_bytes() == OLD
    assert frames_seen(device) == 0

    run = zavctl("read", "-o", str(link), "--force", port=device.port)
    assert run.returncode == 0, run.stderr
    assert link.is_symlink() and os.readlink(link) == "wache.zcf"
    assert backup.read_bytes() == config_file(device.record())
    kept = backup.stat()
    assert (stat.S_IMODE(kept.st_mode), kept.st_uid, kept.st_gid) == (0o600, 1234, 1234)
    assert leftovers(tmp_path) == []


def test_what_is_not_a_regular_file_is_refused_before_the_device_is_touched(device, tmp_path):
    fifo = tmp_path / "rohr.zcf"
    os.mkfifo(fifo)
    # A node of our own: were the refusal ever lost, only it would be replaced.
    node = tmp_path / "null.zcf"
    os.mknod(node, stat.S_IFCHR | 0o666, os.makedev(1, 3))
    folder = tmp_path / "ordner.zcf"
    folder.mkdir()
    cases = [(fifo, "--force", "ist eine FIFO, keine gewöhnliche Datei"),
             (node, "--force", "ist ein Gerät, keine gewöhnliche Datei"),
             (folder, "--force", "ist ein Ordner"),
             (tmp_path / "fehlt" / "x.zcf", "--force", f"den Ordner {tmp_path / 'fehlt'} gibt es nicht"),
             # The real one is named only without --force: were the kind
             # ever misjudged, the rule for existing files still holds.
             ("/dev/null", None, "ist ein Gerät, keine gewöhnliche Datei")]
    null_before = os.lstat("/dev/null")
    for target, force, why in cases:
        run = zavctl("read", "-o", str(target), *([force] if force else []), port=device.port)
        assert (run.returncode, f"{target}: {why}" in unwrapped(run.stderr)) == (2, True), run.stderr
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode) and stat.S_ISCHR(os.lstat(node).st_mode)
    assert list(folder.iterdir()) == []
    null_after = os.lstat("/dev/null")
    assert stat.S_ISCHR(null_after.st_mode)
    assert (null_after.st_ino, null_after.st_rdev) == (null_before.st_ino, null_before.st_rdev)
    assert frames_seen(device) == 0
    assert leftovers(tmp_path) == []


def test_a_write_or_a_rename_that_fails_keeps_the_old_file_and_leaves_nothing_else(device, tmp_path):
    backup = tmp_path / "wache.zcf"
    backup.write_bytes(OLD)

    def file_size_limit():
        # Smaller than a configuration file: the write stops part-way.
        resource.setrlimit(resource.RLIMIT_FSIZE, (100, 100))

    run = run_zavctl("--port", device.port, "read", "-o", str(backup), "--force", stdout=subprocess.PIPE,
                     preexec_fn=file_size_limit)
    assert run.returncode == 2, run.stderr
    assert "Datei kann nicht angelegt werden !" in run.stderr.decode()
    assert backup.read_bytes() == OLD
    assert leftovers(tmp_path) == []

    # An immutable file cannot be renamed over, even by root: the temporary
    # file is written in full and only the rename fails.
    if subprocess.run(["chattr", "+i", str(backup)], capture_output=True).returncode != 0:
        pytest.skip("chattr +i does not work here, so no rename can be made to fail")
    try:
        run = zavctl("read", "-o", str(backup), "--force", port=device.port)
    finally:
        subprocess.run(["chattr", "-i", str(backup)], check=True)
    assert run.returncode == 2, run.stderr
    assert f"{backup}: " in unwrapped(run.stderr)
    assert backup.read_bytes() == OLD
    assert leftovers(tmp_path) == []


def test_standard_output_carries_the_file_and_its_loss_is_an_error(device, tmp_path):
    run = zavctl("read", "-o", "-", port=device.port)
    assert run.returncode == 0, run.stderr
    assert run.stdout == config_file(device.record())
    assert "Setup-Block" in run.stderr.decode()

    report = tmp_path / "x.zcf"
    report.write_bytes(run.stdout)
    show = ("show", str(report), "--setup", device.control("get setup"))
    with open("/dev/full", "wb") as full:
        run = run_zavctl(*show, stdout=full)
    assert run.returncode == 2
    assert "zavctl: Die Ausgabe konnte nicht geschrieben werden." in run.stderr.decode()

    # A reader that has gone: an error like any other, not a silent death.
    reading, writing = os.pipe()
    os.close(reading)
    try:
        run = run_zavctl(*show, stdout=writing)
    finally:
        os.close(writing)
    assert run.returncode == 2
    assert "zavctl: Die Ausgabe konnte nicht geschrieben werden." in run.stderr.decode()


def test_read_identifies_the_device_first_and_names_it_in_its_output(device, tmp_path):
    # A name the terminal's code page lacks reaches JSON as it was given.
    name = tmp_path / "wache-3 日本.zcf"
    run = zavctl("--json", "read", "-o", str(name), port=device.port)
    assert run.returncode == 0, run.stderr
    document = json.loads(run.stdout)
    assert document["file"] == str(name)
    assert (document["version"], document["setup"]) == ("2.30", device.control("get setup"))
    run = zavctl("read", "-o", str(name), "--force", port=device.port)
    out = run.stdout.decode()
    assert "Software-Version  2.30\n" in out and f"Setup-Block       {device.control('get setup')}\n" in out

    # A device the window would refuse is not read.
    for refusal, message in (("version 3.1", "3.1"), ("fault bad-check", "Setup-Daten ungültig !")):
        device.control("reset")
        device.control(refusal)
        target = tmp_path / "abgelehnt.zcf"
        run = zavctl("read", "-o", str(target), port=device.port)
        assert (run.returncode, message in run.stderr.decode()) == (4, True), run.stderr
        assert not target.exists()
        assert device.control("get stats").startswith("reads=0 ")
