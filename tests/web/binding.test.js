"use strict";
// The page's module without a browser (node --test): the texts that cross
// into JavaScript, the machine driven from chunks of bytes and a timer, and
// the port's loss as Web Serial reports it, through FakeSerialPort, a stand-in
// for what a pseudo-terminal cannot do (an adapter pulled, a read error).
// The device itself is the browser tests' business (run_browser_tests.py).
const test = require("node:test");
const assert = require("node:assert");
const path = require("node:path");

const root = path.resolve(__dirname, "../..");
const modulePath = process.env.ZAV_WEB_MODULE || path.join(root, "build/web/web/zavcore.js");
const createZavCore = require(modulePath);
const { TransactionRunner, WAIT_MS } = require(path.join(root, "web/page/link.js"));
const { SerialLine } = require(path.join(root, "web/page/port.js"));
const { FakeSerialPort } = require("./fake_serial_port.js");

const IDENTIFY = 0x2b;
const frame = (...payload) => Uint8Array.from([0xff, ...payload, 0xfe]);
const hex = (bytes) => Buffer.from(bytes).toString("hex");

let module_ = null;
async function newCore() {
  if (!module_) module_ = await createZavCore();
  return new module_.ZavCore();
}

// A clock that moves only when told.
class ManualClock {
  constructor() { this.now = 0; this.timers = new Map(); this.next = 1; }
  setTimeout(callback, ms) { const id = this.next++; this.timers.set(id, { at: this.now + ms, callback }); return id; }
  clearTimeout(id) { this.timers.delete(id); }
  advance(ms) {
    const until = this.now + ms;
    for (;;) {
      const due = [...this.timers.entries()].filter(([, t]) => t.at <= until).sort((a, b) => a[1].at - b[1].at)[0];
      if (!due) break;
      this.timers.delete(due[0]);
      this.now = due[1].at;
      due[1].callback();
    }
    this.now = until;
  }
}

test("every umlaut and ß reaches the page as its character, and typed ones reach the file as Windows-1252", async () => {
  const core = await newCore();
  // The program's own texts, converted once at the boundary.
  assert.strictEqual(core.portOpenFailed("COM3"), "Port COM3 konnte nicht geöffnet werden !");
  const refused = core.loadFile(new TextEncoder().encode("format = 1\n%\n"), "kaputt.toml");
  assert.match(refused.message, /Schlüssel, eine Überschrift/);
  const unclosed = core.loadFile(new TextEncoder().encode("format = 1\n[adressen\n"), "kaputt.toml");
  assert.match(unclosed.message, /schließende Klammer/);
  const bad = core.loadFile(Uint8Array.from([0x5a, 0x41, 0x56]), "Störung.zcf");
  assert.strictEqual(bad.message, "Ungültige Datei !");
  assert.strictEqual(bad.caption, "ZAV-Konfiguration");
  // The version box says the version the releases carry (the file VERSION).
  const version = require("node:fs").readFileSync(path.join(root, "VERSION"), "utf8").trim();
  assert.strictEqual(core.mainWindowTexts().version, `V${version} zavkonfig-Projekt`);

  // A record whose 5-tone entries hold ä ö ü Ä Ö Ü ß (Windows-1252 bytes)
  // shows them as those characters, and what the user types goes back as
  // the same bytes.
  const record = new Uint8Array(108).fill(0xff);
  record[0] = 2;
  record.set([0xe4, 0xf6, 0xfc, 0xc4, 0xd6], 1);
  record.set([0xdc, 0xdf, 0x31, 0x32, 0x33], 6);
  record.set([0x00, 0x00, 0x00, 0x00], 96);
  const header = new TextEncoder().encode("ZAV-Konfigurationsdatei");
  const file = new Uint8Array(133);
  file.set(header, 0);
  file.set(record, 23);
  const sum = record.reduce((a, b) => a + b, 0) & 0xffff;
  file[131] = sum & 0xff;
  file[132] = sum >> 8;
  core.openConfiguration();
  const loaded = core.loadFile(file, "Umlaute.zcf");
  assert.strictEqual(loaded.message, "Konfigurations-Datei gelesen !");
  assert.strictEqual(loaded.form.fiveTone, "äöüÄÖ");
  const second = core.fieldChanged(6, { ...loaded.form, number: 1 });
  assert.strictEqual(second.form.fiveTone, "Üß123");
  const saved = core.saveFile({ ...second.form, fiveTone: "ÖÜßäü", deadTime: "0", alarmPause: "0" });
  assert.deepStrictEqual([...saved.download.bytes.slice(29, 34)], [0xd6, 0xdc, 0xdf, 0xe4, 0xfc]);
  assert.deepStrictEqual([...saved.download.bytes.slice(24, 29)], [0xe4, 0xf6, 0xfc, 0xc4, 0xd6]);
});

test("frames in one chunk or split over several reach the machine in order, each send kept", async () => {
  const core = await newCore();
  const start = core.begin(IDENTIFY, 0);
  assert.deepStrictEqual(start.sends.map(hex), [hex(frame(0x2b))]);
  // A rejection (the command again at once), the acknowledgement and half
  // of the setup block: two sends from one chunk, each its own frame.
  const chunk = Uint8Array.from([...frame(0xf1), ...frame(0xf0), 0xff, 0x7f, 0x07]);
  const first = core.receive(chunk);
  assert.strictEqual(first.frames, 2);
  assert.deepStrictEqual(first.sends.map(hex), [hex(frame(0x2b))]);
  assert.strictEqual(first.ended, false);
  const rest = core.receive(Uint8Array.from([0x02, 0x02, 0x1e, 0xfe, ...frame(0xf0)]));
  assert.deepStrictEqual(rest.sends.map(hex), [hex(frame(0xf0))]);
  assert.strictEqual(rest.ended, true);
  assert.strictEqual(rest.result, 5);
  // After the end nothing more reaches the machine.
  assert.strictEqual(core.receive(frame(0xf0)).frames, 0);

  // Two sends made in one call are two frames, not the last one twice: a
  // refused identification frame is answered with F1 and the next one with F0.
  core.begin(IDENTIFY, 0);
  core.receive(frame(0xf0));
  const both = core.receive(Uint8Array.from([...frame(1, 2, 3, 4), ...frame(0x7f, 0x07, 0x02, 0x02, 0x1e)]));
  assert.deepStrictEqual(both.sends.map(hex), [hex(frame(0xf1)), hex(frame(0xf0))]);
  assert.strictEqual(both.result, 5);
});

test("a wait lasts 500 ms from the last frame; bytes without a whole frame do not start it again", async () => {
  const core = await newCore();
  const clock = new ManualClock();
  const written = [];
  const runner = new TransactionRunner(core, { write: (bytes) => { written.push({ at: clock.now, bytes: hex(bytes) }); } }, clock);
  let outcome = null;
  runner.run({ command: IDENTIFY, blockLength: 0 }).then((o) => { outcome = o; });
  clock.advance(400);
  runner.feed(frame(0xf0));        // acknowledged: the wait starts again
  clock.advance(400);
  runner.feed(Uint8Array.from([0xff, 0x7f]));  // half a frame: the wait goes on
  // Then silence: the identification gives up at its eleventh silent wait,
  // counted from the acknowledgement.
  clock.advance(400 + WAIT_MS * 11 - 801);
  await Promise.resolve();
  assert.strictEqual(outcome, null);
  clock.advance(1);
  await Promise.resolve();
  assert.deepStrictEqual(outcome, { result: 0 });
  assert.strictEqual(written.length, 1);

  // A device that never answers: five commands 1.5 s apart, then the end.
  const silent = runner.run({ command: IDENTIFY, blockLength: 0 });
  const startedAt = clock.now;
  clock.advance(WAIT_MS * 15);
  assert.deepStrictEqual(await silent, { result: 0 });
  assert.deepStrictEqual(written.slice(1).map((w) => w.at - startedAt), [0, 1500, 3000, 4500, 6000]);
});

test("a pulled adapter or a read error ends the transaction at once, as a lost line", async () => {
  const core = await newCore();
  for (const loss of ["pull", "readError"]) {
    const port = new FakeSerialPort();
    let lost = "";
    let runner = null;
    const line = new SerialLine(null, { bytes: (bytes) => runner.feed(bytes), lost: (reason) => { lost = reason; runner.portLost(); } });
    runner = new TransactionRunner(core, line);
    await line.openPort(port);
    assert.deepStrictEqual(port.options, { baudRate: 2400, dataBits: 8, stopBits: 1, parity: "none", flowControl: "none", bufferSize: 256 });
    const started = Date.now();
    const outcome = runner.run(core.connect().transaction);
    await port.delivered(1);
    assert.deepStrictEqual([...port.written[0]], [...frame(0x2b)]);
    port.answer(frame(0xf0));
    if (loss === "pull") port.pull(); else port.readError();
    assert.deepStrictEqual(await outcome, { stopped: "lost" });
    assert.ok(Date.now() - started < WAIT_MS, `${loss}: said within a wait, not after the machine's time-out`);
    assert.strictEqual(lost, loss === "pull" ? "disconnect" : "read");
    await line.close();
    const step = core.transactionStopped(true);
    assert.strictEqual(step.message, "Verbindung unterbrochen !");
    assert.ok(port.closed, `${loss}: the port is closed again`);
  }
});
