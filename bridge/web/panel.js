"use strict";
// The web panel of quorvel-bridge: the crosspoint grid, mutes, presets and
// input levels of one switcher, kept up to date by the bridge's WebSocket.
// Every change goes through the bridge's HTTP API; the panel shows what the
// bridge's state document says and nothing it guessed.
(() => {
  const TOKEN_KEY = "quorvel-bridge-token";
  const LEVEL_EVERY_MS = 100; // at most one level per input this often while dragging
  const BACKOFF_S = [1, 2, 4, 8, 15];
  const PRESETS = 16;

  const $ = (id) => document.getElementById(id);

  let state = null;       // the last state document shown
  let socket = null;
  let socketUp = false;
  let lost = false;       // the events stopped and have not come back yet
  let retryStep = 0;
  let retryTimer = null;
  let retryAt = 0;
  let tokenPrompt = null; // the open token question, shared by whoever needs it
  let shape = "";         // inputs x outputs the grid was built for
  let cells = [];         // cells[o - 1][i - 1]: the gridcell of output o, input i
  let mutes = [];         // mutes[o - 1]: output o's mute button
  let rowHeads = [];
  let colHeads = [];
  let focusRow = 0;
  let focusCol = 0;
  let levelRows = [];
  const levelSends = new Map();

  class ApiError extends Error {
    constructor(status, text) {
      super(text);
      this.status = status;
    }
  }

  // --- the bridge ------------------------------------------------------------

  function token() {
    return sessionStorage.getItem(TOKEN_KEY) || "";
  }

  async function api(method, path, body) {
    for (;;) {
      const headers = {};
      if (body !== undefined) headers["Content-Type"] = "application/json";
      if (token()) headers.Authorization = "Bearer " + token();
      let answer;
      try {
        answer = await fetch(path, {
          method,
          headers,
          cache: "no-store",
          body: body === undefined ? undefined : JSON.stringify(body),
        });
      } catch (e) {
        throw new ApiError(0, "the bridge cannot be reached");
      }
      if (answer.status === 401) {
        await askToken(token() !== "");
        continue;
      }
      let json = null;
      try {
        json = await answer.json();
      } catch (e) {
        json = null;
      }
      if (!answer.ok) {
        throw new ApiError(answer.status, (json && json.error) || "the bridge answered " + answer.status);
      }
      return json;
    }
  }

  // Asks for the token once, however many requests were refused meanwhile.
  function askToken(refused) {
    if (tokenPrompt) return tokenPrompt;
    const dialog = $("token-dialog");
    $("token-text").textContent = refused
      ? "The bridge refused that token. Enter its token again; it is kept for this browser tab only."
      : "Enter the bridge's token. It is kept for this browser tab only.";
    $("token-input").value = "";
    tokenPrompt = new Promise((resolve, reject) => {
      dialog.addEventListener("close", () => {
        tokenPrompt = null;
        const given = $("token-input").value.trim();
        $("token-input").value = "";
        if (dialog.returnValue === "ok" && given) {
          sessionStorage.setItem(TOKEN_KEY, given);
          resolve();
        } else {
          reject(new ApiError(401, "this bridge needs its token; reload the page to enter it"));
        }
      }, { once: true });
    });
    showDialog(dialog);
    return tokenPrompt;
  }

  // A write; its lines or its refusal go to the status line.
  async function write(path, body, what) {
    try {
      const answer = await api("POST", path, body);
      if (answer.note) {
        say(capital(answer.note) + "; nothing sent.");
      } else {
        const sent = answer.sent || [];
        say((what ? what + ": " : "") + (sent.length ? "sent " + sent.join(", ") : "nothing sent") + ".");
      }
      if (!socketUp) await refresh();
      return answer;
    } catch (e) {
      say(capital(e.message) + ".", true);
      return null;
    }
  }

  async function refresh() {
    try {
      show(await api("GET", "/api/v1/state"), true);
    } catch (e) {
      say(capital(e.message) + ".", true);
    }
  }

  // GET the whole state, then follow the events; after a loss, the same
  // again with a growing pause.
  async function connect() {
    clearTimeout(retryTimer);
    retryTimer = null;
    let first;
    try {
      first = await api("GET", "/api/v1/state");
    } catch (e) {
      if (e.status === 401) {
        say(capital(e.message) + ".", true);
        return;
      }
      lost = true;
      retryLater();
      return;
    }
    show(first, true);
    openSocket();
  }

  function openSocket() {
    const scheme = location.protocol === "https:" ? "wss:" : "ws:";
    let url = scheme + "//" + location.host + "/api/v1/events";
    if (token()) url += "?token=" + encodeURIComponent(token());
    const ws = new WebSocket(url);
    socket = ws;
    ws.addEventListener("message", (event) => {
      if (socket !== ws) return;
      let doc;
      try {
        doc = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if (doc.type !== "state") return;
      if (!socketUp) {
        socketUp = true;
        lost = false;
        retryStep = 0;
      }
      show(doc, false);
    });
    ws.addEventListener("close", () => {
      if (socket !== ws) return;
      socket = null;
      socketUp = false;
      lost = true;
      retryLater();
    });
  }

  function retryLater() {
    const seconds = BACKOFF_S[Math.min(retryStep, BACKOFF_S.length - 1)];
    retryStep += 1;
    retryAt = Date.now() + seconds * 1000;
    clearTimeout(retryTimer);
    retryTimer = setTimeout(connect, seconds * 1000);
    showLink();
  }

  // --- the state -------------------------------------------------------------

  // `whole`: a state fetched by GET after a (re)connection, shown whatever
  // its revision (a restarted bridge counts again from the start).
  function show(doc, whole) {
    if (!whole && state && doc.revision < state.revision) return;
    state = doc;
    const key = doc.input_count + "x" + doc.output_count;
    if (key !== shape) buildGrid(doc.input_count, doc.output_count);
    $("model").textContent = doc.model ? "(" + doc.model + ")" : "";
    $("revision").textContent = String(doc.revision);
    updateGrid();
    updatePresets();
    updateLevels();
    showLink();
    document.body.dataset.revision = String(doc.revision);
  }

  function label(kind, n) {
    const text = (state && state.labels && state.labels[kind] && state.labels[kind][n - 1]) || "";
    return text === String(n) ? "" : text;
  }

  function named(word, kind, n) {
    const l = label(kind, n);
    return word + " " + n + (l ? " " + l : "");
  }

  function groupOf(o) {
    if (!state) return null;
    return (state.groups || []).find((g) => g.outputs.includes(o)) || null;
  }

  // Why output o may not show input i, or "" when it may.
  function refusal(o, i) {
    const g = groupOf(o);
    if (!g || g.inputs.length === 0 || g.inputs.includes(i)) return "";
    return "Input " + i + " is not one of the inputs of output " + o + "'s group";
  }

  // The banner's text, or "" when all is well (or still starting).
  function linkText() {
    if (lost) {
      return "No connection to the bridge; the panel keeps trying and shows the switcher again " +
        "as soon as the bridge answers.";
    }
    if (!socketUp || !state) {
      return "";
    }
    if (!state.link.up) {
      return "No link to the switcher" + (state.link.target ? " at " + state.link.target : "") +
        "; the bridge is reconnecting. Changes are not possible meanwhile.";
    }
    return "";
  }

  function showLink() {
    const up = socketUp && state && state.link.up;
    const link = $("link");
    const starting = !socketUp && !lost;
    link.classList.toggle("is-up", Boolean(up));
    link.classList.toggle("is-down", !up && !starting);
    link.classList.toggle("is-unknown", starting);
    if (up) {
      $("link-text").textContent = "Link up: " + state.link.kind + " " + state.link.target;
    } else if (lost) {
      const wait = Math.max(0, Math.ceil((retryAt - Date.now()) / 1000));
      $("link-text").textContent = "No connection to the bridge" +
        (retryTimer && wait > 0 ? " (next try in " + wait + " s)" : " (trying now)");
    } else if (!socketUp) {
      $("link-text").textContent = "Connecting to the bridge…";
    } else {
      $("link-text").textContent = "Link down";
    }
    const problem = linkText();
    const banner = $("banner");
    banner.hidden = problem === "";
    // An alert is read out whenever its text is set: only when it changes.
    if (banner.textContent !== problem) banner.textContent = problem;
    document.body.classList.toggle("is-offline", Boolean(lost || (socketUp && state && !state.link.up)));
  }

  setInterval(() => {
    if (lost) showLink();
  }, 1000);

  // --- the grid --------------------------------------------------------------

  function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function buildGrid(inputs, outputs) {
    shape = inputs + "x" + outputs;
    const grid = $("grid");
    grid.replaceChildren();
    cells = [];
    mutes = [];
    rowHeads = [];
    colHeads = [];
    const head = element("thead");
    const headRow = element("tr");
    headRow.setAttribute("role", "row");
    const corner = element("th", "corner");
    corner.setAttribute("role", "columnheader");
    corner.append(element("span", "corner-in", "Input →"), element("span", "corner-out", "Output ↓"));
    headRow.append(corner);
    for (let i = 1; i <= inputs; i++) {
      const th = element("th", "in-head");
      th.setAttribute("role", "columnheader");
      th.setAttribute("scope", "col");
      headRow.append(th);
      colHeads.push(th);
    }
    const muteHead = element("th", "mute-head", "Mute");
    muteHead.setAttribute("role", "columnheader");
    headRow.append(muteHead);
    head.append(headRow);
    const body = element("tbody");
    for (let o = 1; o <= outputs; o++) {
      const tr = element("tr");
      tr.setAttribute("role", "row");
      const th = element("th", "out-head");
      th.setAttribute("role", "rowheader");
      th.setAttribute("scope", "row");
      tr.append(th);
      rowHeads.push(th);
      const row = [];
      for (let i = 1; i <= inputs; i++) {
        const td = element("td", "cell");
        td.setAttribute("role", "gridcell");
        td.tabIndex = -1;
        td.dataset.output = String(o);
        td.dataset.input = String(i);
        td.addEventListener("click", () => {
          moveFocus(o - 1, i - 1, false);
          tap(o, i);
        });
        tr.append(td);
        row.push(td);
      }
      const muteCell = element("td", "mute-cell");
      muteCell.setAttribute("role", "gridcell");
      const mute = element("button", "mute", "Mute");
      mute.type = "button";
      mute.tabIndex = -1;
      mute.dataset.output = String(o);
      mute.addEventListener("click", () => {
        moveFocus(o - 1, inputs, false);
        toggleMute(o);
      });
      muteCell.append(mute);
      tr.append(muteCell);
      body.append(tr);
      cells.push(row);
      mutes.push(mute);
    }
    grid.append(head, body);
    grid.setAttribute("aria-rowcount", String(outputs + 1));
    grid.setAttribute("aria-colcount", String(inputs + 2));
    focusRow = Math.min(focusRow, outputs - 1);
    focusCol = Math.min(focusCol, inputs);
    item(focusRow, focusCol).tabIndex = 0;
  }

  // The focusable thing at a row and column: a route cell, or the mute
  // button in the last column.
  function item(r, c) {
    return c < cells[r].length ? cells[r][c] : mutes[r];
  }

  function moveFocus(r, c, focus) {
    const rows = cells.length;
    const cols = cells[0].length + 1;
    r = Math.max(0, Math.min(rows - 1, r));
    c = Math.max(0, Math.min(cols - 1, c));
    item(focusRow, focusCol).tabIndex = -1;
    focusRow = r;
    focusCol = c;
    const target = item(r, c);
    target.tabIndex = 0;
    if (focus) target.focus();
  }

  function layerWords(v, a, taken) {
    // v, a: whether video and audio show this input; taken: their commit flags.
    const parts = [];
    if (v && a && taken.video === taken.audio) {
      parts.push(taken.video ? "committed" : "temporary");
    } else {
      if (v) parts.push((taken.video ? "committed" : "temporary") + " video");
      if (a) parts.push((taken.audio ? "committed" : "temporary") + " audio");
    }
    return parts.join(", ");
  }

  function updateGrid() {
    const inputs = state.input_count;
    const outputs = state.output_count;
    for (let i = 1; i <= inputs; i++) {
      const th = colHeads[i - 1];
      const name = label("inputs", i);
      th.replaceChildren(...(name ? [element("span", "name", name)] : []), element("span", "num", String(i)));
      th.setAttribute("aria-label", named("Input", "inputs", i));
    }
    let pending = 0;
    for (let o = 1; o <= outputs; o++) {
      const out = state.outputs[o - 1] || { video: null, audio: null, video_taken: true, audio_taken: true, muted: false };
      const taken = { video: out.video_taken, audio: out.audio_taken };
      if (!out.video_taken || !out.audio_taken) pending += 1;
      const g = groupOf(o);
      const th = rowHeads[o - 1];
      const notes = [];
      if (out.video === null && !out.video_taken) notes.push("no video, temp");
      if (out.audio === null && !out.audio_taken && state.audio) notes.push("no audio, temp");
      const line = element("span", "head-line");
      line.append(element("span", "num", String(o)), element("span", "name", label("outputs", o)));
      const tags = element("span", "tags");
      if (g) tags.append(element("span", "tag group-tag", "G" + g.group));
      if (out.muted) tags.append(element("span", "tag muted-tag", "MUTED"));
      for (const n of notes) tags.append(element("span", "tag pending-tag", n));
      th.replaceChildren(line, tags);
      th.setAttribute("aria-label", named("Output", "outputs", o) + (g ? ", group " + g.group : "") +
        (out.muted ? ", muted" : "") + (notes.length ? ", " + notes.join(", ").replace(/temp/g, "temporary") : ""));
      th.parentElement.classList.toggle("is-muted", out.muted);
      const mute = mutes[o - 1];
      mute.textContent = out.muted ? "Muted" : "Mute";
      mute.setAttribute("aria-pressed", out.muted ? "true" : "false");
      mute.setAttribute("aria-label", "Mute " + named("output", "outputs", o));
      for (let i = 1; i <= inputs; i++) {
        const td = cells[o - 1][i - 1];
        const v = out.video === i;
        const a = state.audio && out.audio === i;
        const temp = (v && !taken.video) || (a && !taken.audio);
        const why = refusal(o, i);
        const words = layerWords(v, a, taken);
        td.classList.toggle("is-routed", v || a);
        td.classList.toggle("is-temporary", temp);
        td.classList.toggle("is-committed", (v || a) && !temp);
        td.classList.toggle("is-barred", why !== "");
        td.dataset.state = temp ? "temporary" : v || a ? "committed" : "none";
        td.dataset.signals = v && a ? "av" : v ? "video" : a ? "audio" : "";
        const mark = v && a ? "AV" : v ? "V" : a ? "A" : "";
        const content = [];
        if (mark) content.push(element("span", "mark", mark));
        if (temp) content.push(element("small", "temp", "temp"));
        td.replaceChildren(...content);
        td.setAttribute("aria-label", named("Output", "outputs", o) + ", " + named("input", "inputs", i) + ": " +
          (words || "not routed") + (why ? "; " + lower(why) : ""));
        if (why) {
          td.setAttribute("aria-disabled", "true");
          td.title = why;
        } else {
          td.removeAttribute("aria-disabled");
          td.removeAttribute("title");
        }
      }
    }
    const take = $("take");
    take.textContent = pending ? "Take (" + pending + ")" : "Take";
    take.classList.toggle("is-pending", pending > 0);
    $("signals").querySelectorAll("input[value=audio]").forEach((r) => {
      r.disabled = !state.audio;
    });
  }

  function signals() {
    const checked = document.querySelector("input[name=signals]:checked");
    return checked ? checked.value : "av";
  }

  function tap(o, i) {
    if (!state) return;
    const why = refusal(o, i);
    if (why) {
      say(why + "; nothing sent.", true);
      return;
    }
    write("/api/v1/route", {
      output: o,
      input: i,
      signals: state.audio ? signals() : "video",
      take: $("take-at-once").checked,
      group: true,
    }, named("Output", "outputs", o) + " to " + named("input", "inputs", i));
  }

  function toggleMute(o) {
    if (!state) return;
    const muted = !state.outputs[o - 1].muted;
    write("/api/v1/mute", { output: o, muted }, (muted ? "Muted " : "Unmuted ") + named("output", "outputs", o));
  }

  function take() {
    write("/api/v1/take", undefined, "Take");
  }

  $("grid").addEventListener("keydown", (event) => {
    if (!cells.length || event.altKey || event.metaKey) return;
    const last = cells[0].length;
    let r = focusRow;
    let c = focusCol;
    switch (event.key) {
      case "ArrowRight": c += 1; break;
      case "ArrowLeft": c -= 1; break;
      case "ArrowDown": r += 1; break;
      case "ArrowUp": r -= 1; break;
      case "Home": c = 0; if (event.ctrlKey) r = 0; break;
      case "End": c = last; if (event.ctrlKey) r = cells.length - 1; break;
      case "PageUp": r = 0; break;
      case "PageDown": r = cells.length - 1; break;
      case " ":
      case "Spacebar":
        event.preventDefault();
        if (focusCol === last) toggleMute(focusRow + 1);
        else tap(focusRow + 1, focusCol + 1);
        return;
      case "Enter":
        event.preventDefault();
        take();
        return;
      default:
        return;
    }
    event.preventDefault();
    moveFocus(r, c, true);
  });

  $("grid").addEventListener("focusin", (event) => {
    // Focus that arrives by a click or by Tab: the roving position follows.
    for (let r = 0; r < cells.length; r++) {
      for (let c = 0; c <= cells[r].length; c++) {
        if (item(r, c) === event.target && (r !== focusRow || c !== focusCol)) {
          moveFocus(r, c, false);
          return;
        }
      }
    }
  });

  $("take").addEventListener("click", take);
  $("cancel").addEventListener("click", () => write("/api/v1/cancel", undefined, "Cancel"));

  // --- presets ---------------------------------------------------------------

  let presetButtons = [];

  function buildPresets() {
    const box = $("presets");
    for (let n = 1; n <= PRESETS; n++) {
      const b = element("button", "preset");
      b.type = "button";
      b.dataset.preset = String(n);
      b.addEventListener("click", () => askRecall(n));
      box.append(b);
      presetButtons.push(b);
    }
    const select = $("store-number");
    for (let n = 1; n <= PRESETS; n++) {
      const option = element("option", "", String(n));
      option.value = String(n);
      select.append(option);
    }
  }

  function updatePresets() {
    const stored = state.presets || [];
    for (let n = 1; n <= PRESETS; n++) {
      const b = presetButtons[n - 1];
      const isStored = stored.includes(n);
      const live = state.live_preset === n;
      const content = [element("span", "num", String(n)), element("span", "name", label("presets", n))];
      if (live) content.push(element("span", "live", "LIVE"));
      b.replaceChildren(...content);
      b.disabled = !isStored;
      b.classList.toggle("is-live", live);
      b.setAttribute("aria-current", live ? "true" : "false");
      b.setAttribute("aria-label", "Recall " + named("preset", "presets", n) +
        (isStored ? "" : ", empty") + (live ? ", live: the routes now" : ""));
      const option = $("store-number").options[n - 1];
      option.textContent = named("Preset", "presets", n) + (isStored ? " (stored; replaced)" : " (empty)");
    }
  }

  function showDialog(dialog) {
    dialog.returnValue = "";
    if (!dialog.open) dialog.showModal();
  }

  for (const id of ["recall-cancel", "store-cancel", "token-cancel"]) {
    $(id).addEventListener("click", (event) => event.target.closest("dialog").close("cancel"));
  }

  function askRecall(n) {
    const dialog = $("recall-dialog");
    dialog.dataset.preset = String(n);
    $("recall-text").textContent = "Recall " + named("preset", "presets", n) +
      "? Every output switches to its routes at once.";
    showDialog(dialog);
    $("recall-cancel").focus();
  }

  $("recall-dialog").addEventListener("close", () => {
    const dialog = $("recall-dialog");
    if (dialog.returnValue !== "recall") return;
    const n = Number(dialog.dataset.preset);
    write("/api/v1/preset/recall", { preset: n }, "Recalled " + named("preset", "presets", n));
  });

  $("store").addEventListener("click", () => {
    const select = $("store-number");
    const live = state && state.live_preset;
    if (live) select.value = String(live);
    showDialog($("store-dialog"));
    select.focus();
  });

  $("store-dialog").addEventListener("close", () => {
    if ($("store-dialog").returnValue !== "store") return;
    const n = Number($("store-number").value);
    write("/api/v1/preset/store", { preset: n }, "Stored " + named("preset", "presets", n));
  });

  // --- levels ----------------------------------------------------------------

  // Whole dB of a level 0..252, as the state document counts it.
  function levelToDb(level) {
    if (level <= 0) return -74;
    if (level >= 252) return 20;
    return Math.trunc(level * 0.37301587301 - 74.0);
  }

  function dbText(level) {
    const db = levelToDb(level);
    return (db > 0 ? "+" : db < 0 ? "−" : "") + Math.abs(db) + " dB";
  }

  function buildLevels(inputs) {
    const box = $("levels");
    box.replaceChildren();
    levelRows = [];
    for (let i = 1; i <= inputs; i++) {
      const row = element("div", "level");
      const id = "level-" + i;
      const name = element("label", "level-name");
      name.htmlFor = id;
      const slider = element("input", "level-slider");
      slider.type = "range";
      slider.id = id;
      slider.min = "0";
      slider.max = "252";
      slider.step = "1";
      slider.dataset.input = String(i);
      const readout = element("output", "level-db");
      readout.htmlFor = id;
      const entry = { slider, readout, name, dragging: false };
      slider.addEventListener("pointerdown", () => { entry.dragging = true; });
      for (const end of ["pointerup", "pointercancel", "blur"]) {
        slider.addEventListener(end, () => { entry.dragging = false; });
      }
      slider.addEventListener("input", () => {
        readout.textContent = dbText(Number(slider.value));
        slider.setAttribute("aria-valuetext", dbText(Number(slider.value)));
        sendLevel(i, Number(slider.value));
      });
      slider.addEventListener("change", () => {
        entry.dragging = false;
        sendLevel(i, Number(slider.value));
      });
      row.append(name, slider, readout);
      box.append(row);
      levelRows.push(entry);
    }
  }

  // Sends the newest value at most every LEVEL_EVERY_MS per input; the
  // value at release always goes.
  function sendLevel(input, raw) {
    let q = levelSends.get(input);
    if (!q) {
      q = { value: raw, sent: null, last: -Infinity, timer: null, busy: false };
      levelSends.set(input, q);
    }
    q.value = raw;
    if (q.timer) return;
    const wait = Math.max(0, q.last + LEVEL_EVERY_MS - performance.now());
    q.timer = setTimeout(() => flushLevel(input), wait);
  }

  async function flushLevel(input) {
    const q = levelSends.get(input);
    q.timer = null;
    if (q.busy) {
      // The last one is still on its way: this one follows it.
      q.timer = setTimeout(() => flushLevel(input), LEVEL_EVERY_MS);
      return;
    }
    const raw = q.value;
    // Nothing to send when the switcher holds it already, unless a value of
    // ours on its way may have changed it.
    const now = state && state.levels[input - 1];
    if (now && now.level === raw && (q.sent === null || q.sent === raw)) return;
    q.sent = raw;
    q.last = performance.now();
    q.busy = true;
    await write("/api/v1/level", { input, raw }, "Level of " + named("input", "inputs", input));
    q.busy = false;
  }

  function updateLevels() {
    const section = $("levels-section");
    section.hidden = !state.audio;
    if (!state.audio) return;
    if (levelRows.length !== state.input_count) buildLevels(state.input_count);
    for (let i = 1; i <= state.input_count; i++) {
      const entry = levelRows[i - 1];
      const level = state.levels[i - 1];
      entry.name.textContent = named("Input", "inputs", i);
      const q = levelSends.get(i);
      const sending = q && (q.timer || q.busy);
      if (!level || entry.dragging || sending) continue;
      entry.slider.value = String(level.level);
      const text = (level.db > 0 ? "+" : level.db < 0 ? "−" : "") + Math.abs(level.db) + " dB";
      entry.readout.textContent = text;
      entry.slider.setAttribute("aria-valuetext", text);
    }
  }

  // --- the status line -------------------------------------------------------

  function capital(text) {
    return text ? text.charAt(0).toUpperCase() + text.slice(1) : text;
  }

  function lower(text) {
    return text ? text.charAt(0).toLowerCase() + text.slice(1) : text;
  }

  function say(text, problem) {
    const status = $("status");
    status.textContent = text;
    status.classList.toggle("is-problem", Boolean(problem));
  }

  buildPresets();
  say("Tap a cell to route its input to its output; Take commits what is temporary.");
  connect();
})();
