"use strict";
// The worker thread's loop, on the page's event loop: one transaction of the
// core's machine (ZavCore.begin/receive/silence), fed by the port's read
// loop, with a timer for the 500 ms waits. The machine decides everything;
// this only carries bytes and time.
//
//   a wait starts when the machine has been called (begin, a frame, a
//   silence); bytes that complete no frame leave the wait running; 500 ms
//   without a frame are a silence for the machine.

const WAIT_MS = 500;

class TransactionRunner {
  // core: a ZavCore; line: {write(Uint8Array)}; clock: {setTimeout, clearTimeout}.
  constructor(core, line, clock) {
    this.core = core;
    this.line = line;
    this.clock = clock || { setTimeout: (f, ms) => setTimeout(f, ms), clearTimeout: (t) => clearTimeout(t) };
    this.current = null;
    this.timer = null;
  }

  get running() { return this.current !== null; }

  // Runs {command, blockLength}; resolves {result} on the end message, or
  // {stopped: "cancel" | "lost"} when the page stopped it.
  run(transaction, onProgress) {
    if (this.current) throw new Error("a transaction is running");
    return new Promise((resolve) => {
      this.current = { resolve, onProgress: onProgress || (() => {}) };
      this.apply(this.core.begin(transaction.command, transaction.blockLength), true);
    });
  }

  // Bytes from the port's read loop.
  feed(bytes) {
    if (!this.current) return;
    const step = this.core.receive(bytes);
    this.apply(step, step.frames > 0);
  }

  // The port-stop, by the user or because the port went away.
  cancel() { this.stop("cancel"); }
  portLost() { this.stop("lost"); }

  stop(reason) {
    if (!this.current) return;
    this.finish({ stopped: reason });
  }

  apply(step, waitAgain) {
    const current = this.current;
    for (const frame of step.sends) {
      // A write the port would not take is a send without an answer; the
      // machine's counting deals with it, the read loop with a lost port.
      Promise.resolve(this.line.write(frame)).catch(() => {});
    }
    for (const block of step.progress) current.onProgress(block);
    if (step.ended) {
      this.finish({ result: step.result });
    } else if (waitAgain) {
      this.startWait();
    }
  }

  startWait() {
    if (this.timer !== null) this.clock.clearTimeout(this.timer);
    this.timer = this.clock.setTimeout(() => {
      this.timer = null;
      if (this.current) this.apply(this.core.silence(), true);
    }, WAIT_MS);
  }

  finish(outcome) {
    if (this.timer !== null) this.clock.clearTimeout(this.timer);
    this.timer = null;
    const current = this.current;
    this.current = null;
    current.resolve(outcome);
  }
}

if (typeof module !== "undefined") module.exports = { TransactionRunner, WAIT_MS };
