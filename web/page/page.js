"use strict";
// The page: the windowed program's main window, configuration window, setup
// window and info window as parts of one page, its message boxes as a
// modal dialog. What each command does and says comes from the module
// (ZavCore); this file shows it, carries out its steps (files, the port,
// the transactions) and keeps the menu's items as the windows keep them.

(function () {
  const FORM_KEYS = ["alarmSelector", "coding", "deadTime", "alarmPause", "alarmMemory", "fiveToneCount", "number",
    "fiveTone", "manual", "relaySelector", "relayFiveTone", "relayDoubleTone", "onTime"];
  const CHANGED_NUMBER_ITEMS = 1 << 20;
  const CHANGED_ENABLES = 1 << 21;
  const ID_NUMBER = 6;
  const ID_RELAY_DOUBLE_TONE = 11;
  const RELAY_CONTROLS = [9, 10, 12];
  const BUSY_TEXTS = {
    43: "Das Gerät wird erkannt ...",          // '+'
    45: "Die Konfiguration wird gelesen ...",   // '-'
    46: "Die Konfiguration wird geschrieben ...", // '.'
    42: "Der Setup-Block wird geschrieben ...", // '*'
  };

  const $ = (id) => document.getElementById(id);
  // The main window's own texts, as the module has them.
  let mainWindowTexts = null;
  const texts = () => mainWindowTexts || (mainWindowTexts = state.core.mainWindowTexts());
  const controls = [];
  document.querySelectorAll("[data-id]").forEach((element) => { controls[Number(element.dataset.id)] = element; });

  const state = {
    core: null,
    serial: null,
    port: null,
    portLabel: "",
    line: null,
    busy: false,
    service: false,
    deviceValid: false,
    configurationOpen: false,
    setupOpen: false,
    infoOpen: false,
    options: 0,
    fileName: "Konfiguration",
  };
  let runner = null;

  // ---- Message boxes -------------------------------------------------------

  function messageBox(caption, text, error, details) {
    const box = $("message-box");
    $("message-caption").textContent = caption;
    $("message-text").textContent = text;
    $("message-icon").className = "icon " + (error ? "error" : "info");
    const lines = (details || []).filter((line) => line);
    $("message-details").textContent = lines.join("\n");
    $("message-details").hidden = lines.length === 0;
    return new Promise((resolve) => {
      const ok = $("message-ok");
      const done = () => {
        ok.removeEventListener("click", done);
        box.removeEventListener("cancel", done);
        if (box.open) box.close();
        resolve();
      };
      ok.addEventListener("click", done);
      box.addEventListener("cancel", done);
      box.showModal();
      ok.focus();
    });
  }

  // ---- The menu ------------------------------------------------------------

  function updateMenu() {
    const windowOpen = state.configurationOpen || state.setupOpen;
    $("menu-configuration").disabled = state.busy || windowOpen || state.infoOpen || !state.deviceValid;
    $("menu-connect").disabled = state.busy || windowOpen;
    $("menu-setup").disabled = !state.service || state.busy || windowOpen || state.infoOpen;
    $("menu-info").disabled = state.infoOpen;
    $("menu-port").disabled = state.busy || !state.serial;
    for (const id of ["load", "save", "read", "verify", "program", "save-text", "setup-read", "setup-program",
      "configuration-close", "setup-close"]) {
      $(id).disabled = state.busy;
    }
    document.body.dataset.busy = state.busy ? "1" : "0";
  }

  function setDeviceValid(valid) {
    state.deviceValid = valid;
    if (valid && state.infoOpen) showInfo();
    updateMenu();
  }

  // ---- The port --------------------------------------------------------------

  function showPort(text) { $("port-status").textContent = text; }

  async function takeGrantedPort() {
    const ports = await state.serial.getPorts();
    if (ports.length === 0) return false;
    state.port = ports[0];
    state.portLabel = portLabel(ports[0], 0);
    showPort(`Port: ${state.portLabel} (für diese Seite schon freigegeben).`);
    return true;
  }

  async function choosePort() {
    try {
      const port = await state.serial.requestPort();
      const ports = await state.serial.getPorts();
      state.port = port;
      state.portLabel = portLabel(port, Math.max(0, ports.indexOf(port)));
      showPort(`Port: ${state.portLabel}.`);
      return true;
    } catch (error) {
      if (error && error.name === "NotFoundError") {
        showPort("Kein Port gewählt.");
      } else {
        await messageBox(texts().captionConnect, "Kein Zugriff auf serielle Schnittstellen.", true, [accessRefusedDetail(error)]);
      }
      return false;
    }
  }

  // The port for a command: the one chosen, else one granted before, else
  // the browser's choice; opened until the command ends.
  async function openLine() {
    try {
      if (!state.port && !(await takeGrantedPort()) && !(await choosePort())) return null;
    } catch (error) {
      await messageBox(texts().captionConnect, "Kein Zugriff auf serielle Schnittstellen.", true, [accessRefusedDetail(error)]);
      return null;
    }
    const line = new SerialLine(state.serial, {
      bytes: (bytes) => runner.feed(bytes),
      lost: (reason) => lineLost(reason),
    });
    try {
      await line.openPort(state.port);
    } catch (error) {
      await messageBox("ZAV-Setup", state.core.portOpenFailed(state.portLabel), true, [openFailureDetail(error)]);
      return null;
    }
    state.line = line;
    return line;
  }

  function lineLost(reason) {
    showPort(reason === "disconnect"
      ? `Der Adapter (${state.portLabel}) wurde getrennt.`
      : `Die Verbindung über ${state.portLabel} ist abgerissen (Lesefehler).`);
    runner.portLost();
  }

  // ---- Carrying out the module's steps -----------------------------------------

  function offerDownload(name, bytes, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  function setBusy(busy, transaction) {
    state.busy = busy;
    $("busy").hidden = !busy;
    if (busy) {
      $("busy-text").textContent = BUSY_TEXTS[transaction.command] || "";
      $("progress").max = Math.max(1, transaction.progressEnd);
      $("progress").value = 0;
      $("progress").hidden = transaction.progressEnd === 0;
    }
    updateMenu();
  }

  async function perform(step) {
    let line = null;
    try {
      while (step) {
        if (step.download) offerDownload(step.download.name, step.download.bytes, "application/octet-stream");
        if (step.form) showForm(step.form, -1);
        if (step.options !== null) showOptions(step.options);
        if (!step.transaction) break;
        if (step.deviceDataValid !== -1) setDeviceValid(step.deviceDataValid === 1);
        if (!line) {
          line = await openLine();
          if (!line) return;
        }
        setBusy(true, step.transaction);
        const outcome = await runner.run(step.transaction, (block) => { $("progress").value = block; });
        step = outcome.stopped !== undefined
          ? state.core.transactionStopped(outcome.stopped === "lost")
          : state.core.transactionEnded(outcome.result);
        if (step.transaction) setBusy(true, step.transaction);
      }
    } finally {
      if (line) await line.close();
      state.line = null;
      if (state.busy) setBusy(false);
    }
    if (step.message) await messageBox(step.caption, step.message, step.error, step.details);
    if (step.deviceDataValid !== -1) setDeviceValid(step.deviceDataValid === 1);
  }

  async function command(makeStep) {
    if (state.busy) return;
    state.busy = true;  // until the first step has been made
    updateMenu();
    let step;
    try {
      step = makeStep();
    } finally {
      state.busy = false;
    }
    await perform(step);
    updateMenu();
  }

  // ---- The configuration window ------------------------------------------------

  function readForm() {
    const form = {};
    FORM_KEYS.forEach((key, id) => {
      const element = controls[id];
      form[key] = element.tagName === "SELECT" ? element.selectedIndex : element.value;
    });
    return form;
  }

  function fillList(select, items) {
    const same = select.options.length === items.length &&
      items.every((item, index) => select.options[index].text === item);
    if (same) return;
    select.replaceChildren(...items.map((item) => new Option(item)));
  }

  // Shows the controls whose bit is in mask (-1: all of them).
  function showForm(form, mask) {
    FORM_KEYS.forEach((key, id) => {
      if (mask !== -1 && !(mask & (1 << id))) return;
      const element = controls[id];
      if (element.tagName === "SELECT") {
        if (id !== ID_NUMBER) fillList(element, form.lists[id]);
        element.selectedIndex = form[key];
      } else {
        element.value = form[key];
      }
    });
    if (mask === -1 || (mask & CHANGED_NUMBER_ITEMS)) {
      fillList(controls[ID_NUMBER], form.lists[ID_NUMBER]);
      controls[ID_NUMBER].selectedIndex = form.number;
    }
    if (mask === -1 || (mask & CHANGED_ENABLES)) {
      for (const id of RELAY_CONTROLS) controls[id].disabled = !form.relayControlsEnabled;
      controls[ID_RELAY_DOUBLE_TONE].disabled = !form.relayDoubleToneEnabled;
    }
  }

  function fieldChanged(event) {
    const id = Number(event.target.dataset.id);
    const answer = state.core.fieldChanged(id, readForm());
    showForm(answer.form, answer.changed);
  }

  function openConfiguration() {
    showForm(state.core.openConfiguration(), -1);
    state.configurationOpen = true;
    $("configuration").hidden = false;
    updateMenu();
    controls[0].focus();
  }

  function closeConfiguration() {
    state.configurationOpen = false;
    $("configuration").hidden = true;
    updateMenu();
  }

  function baseName(name) { return name.replace(/\.[^.]*$/, "") || "Konfiguration"; }

  async function loadChosenFile() {
    const input = $("load-input");
    const file = input.files && input.files[0];
    input.value = "";
    if (!file) return;
    const bytes = new Uint8Array(await file.arrayBuffer());
    state.fileName = baseName(file.name);
    await command(() => state.core.loadFile(bytes, file.name));
  }

  async function saveFile(kind) {
    const form = readForm();
    const step = kind === "text" ? state.core.saveText(form) : state.core.saveFile(form);
    if (step.download) {
      const name = state.fileName + (kind === "text" ? ".toml" : ".zcf");
      offerDownload(name, step.download.bytes, kind === "text" ? "text/plain" : "application/octet-stream");
      return;
    }
    await perform(step);
  }

  // ---- The setup window --------------------------------------------------------

  function buildSetup() {
    const container = $("setup-groups");
    for (const group of state.core.setupGroups()) {
      const fieldset = document.createElement("fieldset");
      const legend = document.createElement("legend");
      legend.textContent = group.name;
      fieldset.appendChild(legend);
      for (const option of group.options) {
        const label = document.createElement("label");
        const box = document.createElement("input");
        box.type = "checkbox";
        box.id = `option-${option.option}`;
        box.addEventListener("change", () => {
          showOptions(state.core.optionClicked(state.options, option.option));
        });
        label.append(box, " ", option.text);
        fieldset.appendChild(label);
      }
      container.appendChild(fieldset);
    }
  }

  function showOptions(options) {
    state.options = options;
    for (let option = 0; option < 16; option++) $(`option-${option}`).checked = (options & (1 << option)) !== 0;
  }

  function openSetup() {
    showOptions(0);
    state.setupOpen = true;
    $("setup").hidden = false;
    updateMenu();
  }

  function closeSetup() {
    state.setupOpen = false;
    $("setup").hidden = true;
    updateMenu();
  }

  // ---- The info window ---------------------------------------------------------

  function showInfo() {
    $("info-lines").replaceChildren(...state.core.infoLines().map((line) => {
      const item = document.createElement("li");
      item.textContent = line;
      return item;
    }));
  }

  async function openInfo() {
    if (!state.deviceValid) {
      await messageBox(texts().captionInfo, texts().noInfo, true);
      return;
    }
    showInfo();
    state.infoOpen = true;
    $("info").hidden = false;
    updateMenu();
  }

  function closeInfo() {
    state.infoOpen = false;
    $("info").hidden = true;
    updateMenu();
  }

  // ---- Start ---------------------------------------------------------------------

  function wire() {
    $("menu-connect").addEventListener("click", () => command(() => state.core.connect()));
    $("menu-configuration").addEventListener("click", openConfiguration);
    $("menu-setup").addEventListener("click", openSetup);
    $("menu-port").addEventListener("click", () => choosePort());
    $("menu-version").addEventListener("click", () => messageBox(texts().captionConfiguration, texts().version, false));
    $("menu-info").addEventListener("click", openInfo);
    $("configuration-close").addEventListener("click", closeConfiguration);
    $("setup-close").addEventListener("click", closeSetup);
    $("info-close").addEventListener("click", closeInfo);
    $("cancel").addEventListener("click", () => runner.cancel());

    for (const id of [0, 4, 6, 8, 9, 10, 11]) controls[id].addEventListener("change", fieldChanged);
    controls[5].addEventListener("input", fieldChanged);
    // "Totzeit" and "Alarmpause" take digits only, as their edit fields do.
    document.querySelectorAll("input.digits").forEach((input) => {
      input.addEventListener("beforeinput", (event) => {
        if (event.data && /[^0-9]/.test(event.data)) event.preventDefault();
      });
    });

    $("read").addEventListener("click", () => command(() => state.core.read()));
    $("verify").addEventListener("click", () => command(() => state.core.verify(readForm())));
    $("program").addEventListener("click", () => command(() => state.core.program(readForm())));
    $("save").addEventListener("click", () => saveFile("zcf"));
    $("save-text").addEventListener("click", () => saveFile("text"));
    $("load").addEventListener("click", () => $("load-input").click());
    $("load-input").addEventListener("change", loadChosenFile);
    $("setup-read").addEventListener("click", () => command(() => state.core.readSetup()));
    $("setup-program").addEventListener("click", () => command(() => state.core.writeSetup(state.options)));
  }

  async function start() {
    const unavailable = serialUnavailable(window);
    if (unavailable) {
      $("unavailable").textContent = unavailable;
      $("unavailable").hidden = false;
      showPort("");
    } else {
      state.serial = navigator.serial;
      state.serial.addEventListener("disconnect", (event) => {
        if (event.target === state.port && !state.line) showPort(`Der Adapter (${state.portLabel}) wurde getrennt.`);
      });
      state.serial.addEventListener("connect", () => { if (!state.port) takeGrantedPort().catch(() => {}); });
      try {
        await takeGrantedPort();
      } catch (error) {
        $("unavailable").textContent = accessRefusedDetail(error) || "Kein Zugriff auf serielle Schnittstellen.";
        $("unavailable").hidden = false;
      }
    }
    const module = await createZavCore();
    state.core = new module.ZavCore();
    runner = new TransactionRunner(state.core, { write: (bytes) => state.line ? state.line.write(bytes) : Promise.reject(new Error("closed")) });
    // The service mode: the access code as the address's fragment (after
    // "#"), which the browser never sends anywhere.
    state.service = state.core.isAccessCode(decodeURIComponent(location.hash.slice(1)));
    $("menu-setup").hidden = !state.service;
    buildSetup();
    wire();
    updateMenu();
    $("loading").hidden = true;
    document.body.dataset.ready = String(Math.round(performance.now()));
  }

  start();
})();
