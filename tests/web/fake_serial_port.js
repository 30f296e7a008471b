"use strict";
// FakeSerialPort: a stand-in for a Web Serial SerialPort, for the two things
// a pseudo-terminal behind /dev/ttyS0 cannot show the page: a USB adapter
// pulled out (the browser fires "disconnect" and the read stream fails) and
// a read error alone. Everything else runs against the virtual device.

class FakeSerialPort {
  constructor() {
    this.listeners = new Map();
    this.written = [];
    this.waiters = [];
    this.closed = false;
    this.options = null;
  }

  async open(options) {
    this.options = { ...options };
    this.readable = new ReadableStream({ start: (controller) => { this.controller = controller; } });
    this.writable = new WritableStream({
      write: (chunk) => {
        this.written.push(Uint8Array.from(chunk));
        this.waiters = this.waiters.filter((waiter) => !waiter());
      },
    });
  }

  async setSignals() {}
  async close() { this.closed = true; }
  getInfo() { return { usbVendorId: 0x0403, usbProductId: 0x6001 }; }
  addEventListener(type, listener) { this.listeners.set(type, listener); }
  removeEventListener(type) { this.listeners.delete(type); }

  // Resolves once count frames have been written.
  delivered(count) {
    return new Promise((resolve) => {
      const check = () => { if (this.written.length >= count) { resolve(); return true; } return false; };
      if (!check()) this.waiters.push(check);
    });
  }

  answer(bytes) { this.controller.enqueue(bytes); }

  // As Chromium reports a pulled adapter: the event, and the stream fails.
  pull() {
    const listener = this.listeners.get("disconnect");
    if (listener) listener({ type: "disconnect", target: this });
    this.controller.error(new DOMException("The device has been lost.", "NetworkError"));
  }

  readError() { this.controller.error(new DOMException("A framing error has been detected.", "FramingError")); }
}

module.exports = { FakeSerialPort };
