"use strict";
// The serial port through the browser's Web Serial API: which ports this
// page may use, opening one at 2400 baud 8N1 without flow control, its read
// loop, its writes, and what the browser's refusals mean in German.

const LINE_OPTIONS = { baudRate: 2400, dataBits: 8, stopBits: 1, parity: "none", flowControl: "none", bufferSize: 256 };

// Why the page cannot reach a serial port at all, or "" when it can.
function serialUnavailable(scope) {
  if (!scope.isSecureContext) {
    return "Diese Seite wurde nicht sicher geöffnet (http:// von einem anderen Rechner). Der Browser erlaubt " +
      "serielle Schnittstellen nur Seiten von https://, http://localhost oder aus einer Datei (file://). " +
      "Öffnen Sie die Datei zavkonfig-web-2.30.html direkt oder über https://.";
  }
  if (!scope.navigator || !scope.navigator.serial) {
    return "Dieser Browser kann keine seriellen Schnittstellen ansprechen (Web Serial fehlt, so in Firefox und " +
      "Safari). Nehmen Sie Chrome oder Edge (ab Version 89), oder zavkonfig.exe bzw. zavctl.";
  }
  return "";
}

// A port as the user reads it: a USB adapter by its ids, else by its place
// in the list of ports this page may use.
function portLabel(port, index) {
  const info = typeof port.getInfo === "function" ? port.getInfo() : {};
  const hex = (value) => value.toString(16).toUpperCase().padStart(4, "0");
  if (info.usbVendorId !== undefined && info.usbProductId !== undefined) {
    return `USB ${hex(info.usbVendorId)}:${hex(info.usbProductId)}`;
  }
  return `Port ${index + 1}`;
}

// What a refused open means, for the line under "Port ... konnte nicht
// geöffnet werden !".
function openFailureDetail(error) {
  const name = error && error.name;
  if (name === "InvalidStateError") return "Der Port ist auf dieser Seite schon offen.";
  if (name === "SecurityError") {
    return "Der Browser verbietet dieser Seite den Zugriff auf serielle Schnittstellen " +
      "(Richtlinie DefaultSerialGuardSetting oder SerialBlockedForUrls): fragen Sie Ihre IT.";
  }
  return "Der Port ist belegt: ein anderes Programm oder ein anderer Browser-Tab benutzt ihn " +
    "(oder der Adapter wurde eben abgezogen).";
}

// What the browser says when it refuses the page any port.
function accessRefusedDetail(error) {
  if (error && error.name === "SecurityError") return openFailureDetail(error);
  return "";
}

class SerialLine {
  // serial: navigator.serial (or a stand-in); events: {bytes(Uint8Array), lost(reason)}.
  constructor(serial, events) {
    this.serial = serial;
    this.events = events;
    this.port = null;
    this.reader = null;
    this.writing = Promise.resolve();
    this.closing = false;
    this.reading = null;
    this.closed = null;
    this.onDisconnect = () => this.lose("disconnect");
  }

  get open() { return this.port !== null; }

  // Throws what port.open throws.
  async openPort(port) {
    await port.open(LINE_OPTIONS);
    this.port = port;
    this.closing = false;
    this.closed = null;
    port.addEventListener("disconnect", this.onDisconnect);
    try {
      // DTR and RTS held inactive, as the program holds them.
      await port.setSignals({ dataTerminalReady: false, requestToSend: false });
    } catch (ignored) {
      // A port without modem lines (a pseudo-terminal) has nothing to set.
    }
    this.reading = this.readLoop(port);
  }

  async readLoop(port) {
    while (this.port === port && port.readable) {
      const reader = port.readable.getReader();
      this.reader = reader;
      try {
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          if (value && value.length) this.events.bytes(value);
        }
      } catch (error) {
        if (!this.closing) {
          // A read error ends the stream: an adapter pulled, a line hung up.
          this.lose("read");
          return;
        }
      } finally {
        reader.releaseLock();
        this.reader = null;
      }
      if (this.closing) return;
    }
    if (!this.closing && this.port === port) this.lose("read");
  }

  write(bytes) {
    const port = this.port;
    if (!port || !port.writable) return Promise.reject(new Error("closed"));
    this.writing = this.writing.then(async () => {
      const writer = port.writable.getWriter();
      try {
        await writer.write(bytes);
      } finally {
        writer.releaseLock();
      }
    });
    return this.writing;
  }

  lose(reason) {
    const port = this.port;
    if (!port || this.closing) return;
    this.close();
    this.events.lost(reason);
  }

  // Closes the port; a second call waits for the first.
  close() {
    if (!this.closed) this.closed = this.closePort();
    return this.closed;
  }

  async closePort() {
    const port = this.port;
    if (!port) return;
    this.closing = true;
    this.port = null;
    port.removeEventListener("disconnect", this.onDisconnect);
    try {
      if (this.reader) await this.reader.cancel();
    } catch (ignored) {
      // The stream is gone already.
    }
    try {
      await this.reading;
    } catch (ignored) {
      // Ended by the cancel.
    }
    try {
      await this.writing;
    } catch (ignored) {
      // A write that failed has been counted as unanswered.
    }
    try {
      await port.close();
    } catch (ignored) {
      // A port that vanished closes itself.
    }
  }
}

if (typeof module !== "undefined") {
  module.exports = { SerialLine, serialUnavailable, portLabel, openFailureDetail, accessRefusedDetail, LINE_OPTIONS };
}
