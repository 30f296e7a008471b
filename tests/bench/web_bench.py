#!/usr/bin/env python3
"""Measures the page in the browser (headless Chromium, Web Serial) against
zavsim on the modelled 2400 baud line (wire.py): "Lesen" and
"Programmieren" from their first byte on the line to the end of the
exchange, against the line's lower bound; how soon the page is ready after
it is opened; the size of the page's file. tools/bench --web runs this in a
mount namespace of its own, where /dev/ttyS0 is the wire model's terminal
for the program and a policy gives the page that port (as in
tests/web/run_browser_tests.sh)."""
import argparse
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import READ_CLOSING_SILENCE, Wire, analyse, benchmark_record, median, tell_device, write_markdown  # noqa: E402

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402

TARGET_RATIO = 1.03
TARGET_READY_MS = 1000
TARGET_BYTES = 1.5 * 1024 * 1024
MARKERS = ("<!-- bench-web:begin (written by tools/bench --web) -->", "<!-- bench-web:end -->")
FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def raw_now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def other_record():
    """The benchmark record with another dead time: a device that holds it
    is written by "Programmieren" (one that holds the form's record is not)."""
    record = bytearray(bytes.fromhex(benchmark_record()))
    record[96] = 31
    return record.hex().upper()


class Browser:
    def __init__(self, url, work):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in FLAGS + [f"--user-data-dir={os.path.join(work, 'profile')}"]:
            options.add_argument(flag)
        downloads = os.path.join(work, "downloads")
        os.makedirs(downloads, exist_ok=True)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        self.url = url

    def open(self):
        """Loads the page; returns when it said it was ready, in ms after navigation began."""
        self.driver.get("about:blank")
        self.driver.get(self.url)
        for _ in range(400):
            ready = self.driver.execute_script("return document.body.dataset.ready")
            if ready:
                return int(ready)
            time.sleep(0.025)
        raise RuntimeError("the page did not get ready")

    def click(self, element_id):
        self.driver.execute_script("document.getElementById(arguments[0]).click()", element_id)

    def message(self, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            text = self.driver.execute_script(
                "const box = document.getElementById('message-box');"
                "return box.open ? document.getElementById('message-text').textContent : null;")
            if text is not None:
                seen = raw_now()
                self.click("message-ok")
                return text, seen
            time.sleep(0.005)
        raise RuntimeError("no message box")


def measure(browser, wire, element, expected):
    """One command. "Lesen" ends in the read's closing silence; in
    "Programmieren" that silence lies between the device's copy read and the
    programming, so it is in the bound but the exchange ends with the last
    byte on the line."""
    wire.sync()
    started = raw_now()
    browser.click(element)
    text, seen = browser.message()
    if text != expected:
        raise RuntimeError(f"{element}: {text!r}, expected {expected!r}")
    wire.sync()
    events = wire.events(started - 0.001, seen + 0.5)
    if element == "read":
        return analyse(events, started, seen, READ_CLOSING_SILENCE)
    result = analyse(events, started, seen, 0.0)
    result["lower_bound"] += READ_CLOSING_SILENCE
    result["program_reaction"] -= READ_CLOSING_SILENCE
    result["ratio"] = result["wall"] / result["lower_bound"]
    result["exchange_ratio"] = result["exchange_wall"] / result["lower_bound"]
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--page", required=True)
    parser.add_argument("--program-link", required=True, help="the wire model's terminal for the page")
    parser.add_argument("--wire", required=True, help="wire.py")
    parser.add_argument("--device", required=True, help="zavsim's terminal")
    parser.add_argument("--control", required=True, type=int)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--markdown")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="zav-web-bench-")
    wire = Wire(args.wire, args.program_link, args.device, os.path.join(work, "wire.log"))
    wire.tell("pids 0 0")
    subprocess.run(["mount", "--bind", os.path.realpath(args.program_link), "/dev/ttyS0"], check=True)
    site = os.path.join(work, "site")
    os.makedirs(site)
    shutil.copy(args.page, site)
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(
        type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *a: None}), directory=site))
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    origin = f"http://127.0.0.1:{httpd.server_address[1]}"
    policies = os.path.join(work, "etc-chromium")
    os.makedirs(os.path.join(policies, "policies", "managed"))
    for name in os.listdir("/etc/chromium"):
        if os.path.isfile(os.path.join("/etc/chromium", name)):
            shutil.copy(os.path.join("/etc/chromium", name), policies)
    with open(os.path.join(policies, "policies", "managed", "zav-bench.json"), "w") as policy:
        policy.write('{"SerialAllowAllPortsForUrls": ["%s"]}\n' % origin)
    subprocess.run(["mount", "--bind", policies, "/etc/chromium"], check=True)

    browser = Browser(f"{origin}/{os.path.basename(args.page)}", work)
    results = {"ready": [], "read": [], "program": []}
    try:
        browser.open()  # the first start of the module warms nothing but the disk cache
        for _ in range(args.runs + 1):
            results["ready"].append(browser.open())
        tell_device(args.control, "record " + benchmark_record())
        browser.click("menu-connect")
        browser.message()
        browser.click("menu-configuration")
        for run in range(args.runs + 1):
            read = measure(browser, wire, "read", "Konfiguration gelesen !")
            tell_device(args.control, "record " + other_record())
            program = measure(browser, wire, "program", "Programmierung erfolgreich !")
            if run > 0:  # the first run of each warms up
                results["read"].append(read)
                results["program"].append(program)
    finally:
        browser.driver.quit()
        wire.close()
        httpd.shutdown()
    size = os.path.getsize(args.page)
    table = render(results, size, args.runs)
    print(table)
    if args.markdown:
        write_markdown(args.markdown, table, MARKERS)
    shutil.rmtree(work, ignore_errors=True)


def render(results, size, runs):
    load = "load %.2f" % os.getloadavg()[0]
    chromium = subprocess.run(["chromium", "--version"], capture_output=True, text=True).stdout.strip()
    lines = [
        "Measured %s, %d CPUs (%s), %s, headless." % (time.strftime("%Y-%m-%d %H:%M"), os.cpu_count(), load,
                                                     chromium),
        "Median of %d runs per command after one warm-up; the page served on 127.0.0.1." % runs,
        "",
        "| Command | Bytes | Lower bound | First byte to end of exchange | Ratio (worst) | Target %.2f "
        "| Page's reaction to frames | First byte to the box seen |" % TARGET_RATIO,
        "|---|---:|---:|---:|---:|---|---:|---:|",
    ]
    for key, title in (("read", "Lesen (configuration read)"),
                       ("program", "Programmieren (identification, the device's copy read, programming)")):
        runs_of = results[key]
        ratio = median([r["exchange_ratio"] for r in runs_of])
        worst = max(r["exchange_ratio"] for r in runs_of)
        lines.append("| %s | %d | %.1f ms | %.1f ms | %.3f (%.3f) | %s | %.1f ms | %.1f ms |" % (
            title, runs_of[0]["bytes"], 1000 * median([r["lower_bound"] for r in runs_of]),
            1000 * median([r["exchange_wall"] for r in runs_of]), ratio, worst,
            "met" if ratio <= TARGET_RATIO else "MISSED", 1000 * median([r["program_reaction"] for r in runs_of]),
            1000 * median([r["wall"] for r in runs_of])))
    ready = results["ready"]
    lines += [
        "",
        "| Page | Median | Worst | Target | |",
        "|---|---:|---:|---|---|",
        "| ready after opening (module compiled and started, ports asked) | %d ms | %d ms | %d ms | %s |" % (
            median(ready), max(ready), TARGET_READY_MS, "met" if max(ready) <= TARGET_READY_MS else "MISSED"),
        "| size of zavkonfig-web file | %.0f KB | | %.0f KB | %s |" % (
            size / 1024, TARGET_BYTES / 1024, "met" if size < TARGET_BYTES else "MISSED"),
    ]
    return "\n".join(lines)


if __name__ == "__main__":
    main()
