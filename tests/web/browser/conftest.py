"""The page in headless Chromium, on the virtual device through Web Serial.

run_browser_tests.sh starts this in a private mount namespace; here the
session binds the virtual device's terminal onto /dev/ttyS0 and a policy
folder onto /etc/chromium, serves the page on 127.0.0.1 and starts one
Chromium (each start costs seconds). Every test gets the default device
again (zavsim's reset) and the page loaded afresh."""
import functools
import http.server
import os
import pathlib
import shutil
import socket
import subprocess
import tempfile
import threading
import time

import pytest
from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[3]
PAGE = pathlib.Path(os.environ.get("ZAV_WEB_PAGE", ""))
ZAVSIM = pathlib.Path(os.environ.get("ZAV_WEB_NATIVE", str(ROOT / "build/native"))) / "sim/zavsim"
SCREENSHOTS = pathlib.Path(os.environ.get("ZAV_WEB_SCREENSHOTS", str(ROOT / "build/web-screenshots")))
ACCESS_CODE = "618wqe402h9"
HEADER = b"ZAV-Konfigurationsdatei"
# Chromium without the connections a closed network refuses, as root.
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--window-size=1100,900"]


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    pytest.fail(f"waited {timeout} s in vain for {what}")


class VirtualDevice:
    """zavsim, its control channel and its frame log; its terminal is what
    the namespace's /dev/ttyS0 shows."""

    def __init__(self, folder):
        self.folder = folder
        self.link = folder / "ttyZAV"
        self.log = folder / "frames.log"
        control_file = folder / "control_port"
        self.process = subprocess.Popen([str(ZAVSIM), "--link", str(self.link), "--control", "0", "--control-file",
                                         str(control_file), "--log", str(self.log), "--quiet"])
        wait_for(lambda: control_file.exists() and control_file.read_text().strip(), 10, "zavsim to start")
        self.control_port = int(control_file.read_text())
        self.bound = False
        self.bind()

    def bind(self):
        """/dev/ttyS0 is the device's terminal. A line that vanished comes
        back on a new terminal, which may well have the old one's name:
        the bind is made anew each time."""
        if self.bound:
            subprocess.run(["umount", "/dev/ttyS0"], check=True)
        subprocess.run(["mount", "--bind", os.path.realpath(self.link), "/dev/ttyS0"], check=True)
        self.bound = True

    def control(self, command):
        with socket.create_connection(("127.0.0.1", self.control_port), timeout=10) as channel:
            channel.sendall(command.encode() + b"\n")
            answer = b""
            # "log" answers "ok N" and then N lines.
            while True:
                chunk = channel.recv(65536)
                if not chunk:
                    break
                answer += chunk
                lines = answer.split(b"\n")
                if len(lines) > 1 and command == "log" and lines[0].startswith(b"ok "):
                    if len(lines) - 2 >= int(lines[0].split()[1]):
                        break
                elif len(lines) > 1:
                    break
        text = answer.decode().strip()
        assert text.startswith("ok"), f"zavsim refused {command!r}: {text}"
        return text[2:].strip()

    def record(self):
        """The 108 record bytes the device holds."""
        return bytes.fromhex(self.control("get record"))[:108]

    def copy(self):
        """The device's copy: the record with its sum and complement."""
        return bytes.fromhex(self.control("get record"))

    def setup(self):
        return bytes.fromhex(self.control("get setup"))

    def frames(self):
        """The frame log: (direction, payload bytes) in order."""
        lines = self.control("log").splitlines()[1:]
        frames = []
        for line in lines:
            parts = line.split()
            frames.append((parts[1], bytes.fromhex("".join(parts[2:]))))
        return frames

    def program_frames(self):
        """What the page sent."""
        return [payload for direction, payload in self.frames() if direction == "pc>dev"]

    def reset(self):
        self.control("reset")
        self.bind()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Page:
    """The page in the browser, by the ids of its elements."""

    def __init__(self, driver, url, downloads):
        self.driver = driver
        self.url = url
        self.downloads = downloads

    def open(self, fragment=""):
        self.driver.get("about:blank")
        self.driver.get(self.url + (f"#{fragment}" if fragment else ""))
        wait_for(lambda: self.driver.execute_script("return document.body.dataset.ready"), 10, "the page to be ready")

    def element(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def click(self, element_id):
        self.element(element_id).click()

    def value(self, element_id):
        return self.driver.execute_script(
            "const e = document.getElementById(arguments[0]);"
            "return e.tagName === 'SELECT' ? (e.selectedIndex < 0 ? '' : e.options[e.selectedIndex].text) : e.value;",
            element_id)

    def items(self, element_id):
        return self.driver.execute_script(
            "return Array.from(document.getElementById(arguments[0]).options).map(o => o.text);", element_id)

    def type(self, element_id, text):
        field = self.element(element_id)
        field.clear()
        field.send_keys(text)

    def choose(self, element_id, text):
        """Chooses an item of a list as the user does, with its change event."""
        self.driver.execute_script(
            "const e = document.getElementById(arguments[0]);"
            "e.selectedIndex = Array.from(e.options).findIndex(o => o.text === arguments[1]);"
            "e.dispatchEvent(new Event('change'));", element_id, text)

    def message(self, timeout=20):
        """The message box: (caption, text, details); waits for it."""
        try:
            WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(
                lambda d: d.execute_script("return document.getElementById('message-box').open"))
        except TimeoutException:
            pytest.fail(f"no message box within {timeout} s")
        return tuple(self.driver.execute_script(
            "return [document.getElementById('message-caption').textContent,"
            " document.getElementById('message-text').textContent,"
            " document.getElementById('message-details').textContent];"))

    def confirm(self, timeout=20):
        """The message box's contents, then OK."""
        shown = self.message(timeout)
        self.click("message-ok")
        wait_for(lambda: not self.driver.execute_script("return document.getElementById('message-box').open"), 5,
                 "the message box to close")
        return shown

    def idle(self, timeout=20):
        wait_for(lambda: self.driver.execute_script("return document.body.dataset.busy === '0'"), timeout,
                 "the page to be idle")

    def load(self, path):
        self.element("load-input").send_keys(str(path))

    def clear_downloads(self):
        for entry in self.downloads.iterdir():
            entry.unlink()

    def download(self, suffix, timeout=10):
        """The bytes of the one finished download whose name ends so."""
        def finished():
            names = [p for p in self.downloads.iterdir() if p.name.endswith(suffix)]
            return names[0] if len(names) == 1 else None
        path = wait_for(finished, timeout, f"a download *{suffix}")
        time.sleep(0.1)
        return path.name, path.read_bytes()

    def screenshot(self, name):
        self.driver.save_screenshot(str(SCREENSHOTS / name))


@pytest.fixture(scope="session")
def session_folder():
    if os.environ.get("ZAV_WEB_NAMESPACE") != "1":
        pytest.exit("start the browser tests through tests/web/run_browser_tests.sh (a mount namespace of their own)",
                    returncode=1)
    folder = pathlib.Path(tempfile.mkdtemp(prefix="zav-web-"))
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture(scope="session")
def device(session_folder):
    sim = VirtualDevice(session_folder)
    yield sim
    sim.stop()


@pytest.fixture(scope="session")
def server(session_folder):
    """The page on 127.0.0.1, as any web server would offer it."""
    site = session_folder / "site"
    site.mkdir()
    shutil.copy(PAGE, site / PAGE.name)

    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=str(site)))
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    yield f"http://127.0.0.1:{httpd.server_address[1]}"
    httpd.shutdown()


@pytest.fixture(scope="session")
def driver(session_folder, server, device):
    # The browser's policy, in the namespace only: this address may use
    # every serial port without asking.
    policies = session_folder / "etc-chromium"
    (policies / "policies/managed").mkdir(parents=True)
    for entry in pathlib.Path("/etc/chromium").iterdir():
        if entry.is_file():
            shutil.copy(entry, policies / entry.name)
    (policies / "policies/managed/zav-test.json").write_text(
        '{"SerialAllowAllPortsForUrls": ["%s"]}\n' % server)
    subprocess.run(["mount", "--bind", str(policies), "/etc/chromium"], check=True)

    downloads = session_folder / "downloads"
    downloads.mkdir()
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS + [f"--user-data-dir={session_folder / 'profile'}"]:
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    chrome = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    chrome.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    chrome.downloads = downloads
    yield chrome
    chrome.quit()


@pytest.fixture
def page(driver, server, device):
    device.reset()
    device.control("log clear")
    shown = Page(driver, f"{server}/{PAGE.name}", driver.downloads)
    shown.clear_downloads()
    shown.open()
    return shown


def config_file(record):
    total = sum(record) & 0xFFFF
    return HEADER + bytes(record) + bytes([total & 0xFF, total >> 8])
