// The viewer page: one frame on a canvas, drawn as the server sends it, and the controls that
// move through the sequence. At most one frame request is in flight; a newer wish replaces an
// older one, so that holding a key or playing drops frames instead of falling behind.
"use strict";

const $ = (id) => document.getElementById(id);
const STRIP_RADIUS = 4;

const state = {
  info: null,
  count: 0,
  forwardOnly: false,
  shown: -1,      // the frame on the canvas
  wanted: 0,      // the frame to show next
  inflight: false,
  drawnKey: "",   // what the canvas shows: frame and overlays
  stamp: false,
  arrow: null,    // [x, y] in picture pixels
  playing: false,
  playStart: 0,
  playFrom: 0,
  rate: 25,
  stripAt: -1,
};

// Figures the benchmark and the tests read: key-to-paint times, paints while playing.
window.viewerStats = { stepMs: [], paints: 0, playPaints: 0, playLag: [], keyAt: 0, keyFrame: -1 };

function overlayQuery() {
  const parts = [];
  if (state.stamp) parts.push("stamp=1");
  if (state.arrow) parts.push(`arrow=${state.arrow[0]},${state.arrow[1]}`);
  return parts.length ? "?" + parts.join("&") : "";
}

async function fetchOk(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error((await response.text()).trim() || `${response.status}`);
  return response;
}

function fillTable(table, entries) {
  table.replaceChildren(...entries.map(([name, value]) => {
    const row = document.createElement("tr");
    const key = document.createElement("td");
    const val = document.createElement("td");
    key.textContent = name;
    val.textContent = value === null || value === undefined ? "–" : String(value);
    row.append(key, val);
    return row;
  }));
}

function showStatus(text) { $("status").textContent = text; }

function clampFrame(n) { return Math.max(0, Math.min(state.count - 1, n)); }

// Asks for frame n; on a forward-only source a step back is refused here already.
function goTo(n) {
  if (state.count === 0) return;
  n = clampFrame(n);
  if (state.forwardOnly && n < state.shown) return;
  state.wanted = n;
  pump();
}

function frameKey(n) { return `${n}${overlayQuery()}`; }

async function pump() {
  if (state.inflight) return;
  const n = state.wanted;
  const key = frameKey(n);
  if (key === state.drawnKey) return;
  state.inflight = true;
  try {
    const [record, picture] = await Promise.all([
      fetchOk(`/api/frame/${n}`).then((r) => r.json()),
      fetchOk(`/frame/${n}${overlayQuery()}`).then((r) => r.blob()).then((b) => createImageBitmap(b)),
    ]);
    paint(n, key, record, picture);
    showStatus("");
  } catch (error) {
    showStatus(`frame ${n}: ${error.message}`);
    state.wanted = state.shown;  // stay on what is shown
    if (state.playing) setPlaying(false);
  } finally {
    state.inflight = false;
  }
  if (state.wanted !== n || frameKey(state.wanted) !== state.drawnKey) pump();
}

function paint(n, key, record, picture) {
  const canvas = $("picture");
  if (canvas.width !== picture.width || canvas.height !== picture.height) {
    canvas.width = picture.width;
    canvas.height = picture.height;
  }
  canvas.getContext("2d").drawImage(picture, 0, 0);
  picture.close();
  layoutCanvas();
  state.shown = n;
  state.drawnKey = key;
  showFacts(record, key.includes("?"));
  updateControls();
  const stats = window.viewerStats;
  stats.paints += 1;
  if (state.playing) {
    stats.playPaints += 1;
    stats.playLag.push(playTarget() - n);
    stats.playLastAt = performance.now();
    if (stats.playPaints === 1) stats.playFirstAt = stats.playLastAt;
  }
  document.body.dataset.frame = String(n);
  document.body.dataset.paints = String(stats.paints);
  if (stats.keyFrame === n && stats.keyAt) {
    const keyAt = stats.keyAt;
    stats.keyAt = 0;
    // The frame is on screen once the browser has run the next animation frame after it.
    requestAnimationFrame(() => { stats.stepMs.push(performance.now() - keyAt); });
  }
  if (!state.playing) scheduleStrip();
}

// The strip follows once stepping pauses, so that its thumbnails do not hold up the next frame.
let stripTimer = 0;
function scheduleStrip() {
  clearTimeout(stripTimer);
  stripTimer = setTimeout(updateStrip, 150);
}

function showFacts(r, drawn) {
  $("frame-number").textContent = String(r.number);
  fillTable($("frame-facts"), [
    ["time", r.time], ["size", `${r.width} × ${r.height}`], ["codec", r.codec],
    ["colour", r.colour === 1 ? "1 (colour)" : r.colour === 0 ? "0 (grey)" : r.colour],
    ["position", r.position], ["length", r.length],
    ["sent", drawn ? "drawn by the library (PNG)"
      : r.stored_jpeg_as_is ? "stored JPEG, as it is" : "decoded by the library (PNG)"],
  ]);
  fillTable($("sub-header"), r.sub_header ? Object.entries(r.sub_header) : [["(ser frames have none)", ""]]);
}

// Fitted, the picture fills the stage's width or 60% of the window's height, whichever is
// reached first, keeping its shape; otherwise it is shown pixel for pixel.
function layoutCanvas() {
  const canvas = $("picture");
  if (!$("fit").checked) {
    canvas.style.width = "";
    return;
  }
  const stage = $("stage");
  const scale = Math.min(stage.clientWidth / canvas.width, window.innerHeight * 0.6 / canvas.height);
  canvas.style.width = `${Math.floor(canvas.width * scale)}px`;
}

function updateControls() {
  const atStart = state.shown <= 0;
  const atEnd = state.shown >= state.count - 1;
  const noBack = state.forwardOnly || atStart;
  for (const id of ["first", "back10", "prev"]) $(id).disabled = noBack;
  for (const id of ["next", "fwd10", "last"]) $(id).disabled = atEnd;
  $("scrub").value = String(state.shown);
  if (document.activeElement !== $("jump-to")) $("jump-to").value = String(state.shown);
  $("clear-arrow").disabled = !state.arrow;
  const query = overlayQuery();
  $("save-png").href = `/save/${state.shown}.png${query}`;
  $("save-jpg").href = `/save/${state.shown}.jpg${query}`;
}

function updateStrip() {
  const strip = $("strip");
  if (state.stripAt === state.shown) return;
  state.stripAt = state.shown;
  // Thumbnails ahead would move a forward-only source past the frame shown.
  const from = Math.max(0, state.shown - (state.forwardOnly ? 2 * STRIP_RADIUS : STRIP_RADIUS));
  const to = state.forwardOnly ? state.shown : Math.min(state.count - 1, state.shown + STRIP_RADIUS);
  const figures = [];
  for (let n = from; n <= to; n++) {
    const figure = document.createElement("figure");
    const img = document.createElement("img");
    img.alt = `frame ${n}`;
    img.src = `/thumb/${n}.jpg`;
    img.onerror = () => figure.remove();
    const caption = document.createElement("figcaption");
    caption.textContent = String(n);
    figure.append(img, caption);
    if (n === state.shown) figure.className = "current";
    figure.addEventListener("click", () => goTo(n));
    figures.push(figure);
  }
  strip.replaceChildren(...figures);
}

function playTarget() {
  return state.playFrom + Math.floor((performance.now() - state.playStart) * state.rate / 1000);
}

function setPlaying(on) {
  state.playing = on && state.count > 0;
  $("play").textContent = state.playing ? "❚❚ pause" : "▶ play";
  document.body.dataset.playing = state.playing ? "1" : "0";
  if (!state.playing) {
    state.stripAt = -1;
    updateStrip();
    return;
  }
  state.rate = Math.max(1, Math.min(100, Number($("rate").value) || 25));
  const atEnd = state.shown >= state.count - 1;
  state.playFrom = atEnd && !state.forwardOnly ? 0 : Math.max(state.shown, 0);
  state.playStart = performance.now();
  requestAnimationFrame(tick);
}

// Each animation frame asks for the frame that belongs to this moment; what the server could
// not deliver in time is skipped.
function tick() {
  if (!state.playing) return;
  const target = playTarget();
  if (target >= state.count - 1) {
    goTo(state.count - 1);
    setPlaying(false);
    return;
  }
  goTo(target);
  requestAnimationFrame(tick);
}

function step(delta, event) {
  const stats = window.viewerStats;
  // Steps count from the latest wish, so that quick presses are not lost while one is loading.
  const target = clampFrame(state.wanted + delta);
  stats.keyAt = event && event.timeStamp ? event.timeStamp : performance.now();
  stats.keyFrame = target;
  goTo(target);
}

function onKey(event) {
  if (event.target === $("jump-to") || event.target === $("rate")) return;
  const keys = {
    ArrowRight: () => step(1, event), ArrowLeft: () => step(-1, event),
    PageDown: () => step(10, event), PageUp: () => step(-10, event),
    Home: () => step(-state.count, event), End: () => step(state.count, event),
    " ": () => setPlaying(!state.playing),
  };
  const action = keys[event.key];
  if (!action) return;
  event.preventDefault();
  action();
}

function onCanvasClick(event) {
  const canvas = $("picture");
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) * canvas.width / box.width);
  const y = Math.floor((event.clientY - box.top) * canvas.height / box.height);
  state.arrow = [Math.max(0, Math.min(canvas.width - 1, x)), Math.max(0, Math.min(canvas.height - 1, y))];
  state.wanted = state.shown;
  pump();
}

function showInfo(info) {
  state.info = info;
  state.count = info.frame_count;
  state.forwardOnly = info.forward_only;
  $("forward-only").hidden = !info.forward_only;
  $("file-summary").textContent = `${info.source} · ${info.type} · ${info.frame_count} frames · ` +
    `colour modes ${info.colour_mode} / ${info.colour_mode2}` +
    (info.length !== null ? ` · ${info.length} bytes` : " · remote");
  fillTable($("file-info"), Object.entries(info.info));
  $("scrub").max = String(Math.max(0, state.count - 1));
  $("jump-to").max = String(Math.max(0, state.count - 1));
  document.title = `vialto view · ${info.source}`;
}

function wireControls() {
  document.addEventListener("keydown", onKey);
  $("first").addEventListener("click", () => goTo(0));
  $("back10").addEventListener("click", () => goTo(state.shown - 10));
  $("prev").addEventListener("click", () => goTo(state.shown - 1));
  $("next").addEventListener("click", () => goTo(state.shown + 1));
  $("fwd10").addEventListener("click", () => goTo(state.shown + 10));
  $("last").addEventListener("click", () => goTo(state.count - 1));
  $("play").addEventListener("click", () => setPlaying(!state.playing));
  $("scrub").addEventListener("input", (e) => {
    const n = Number(e.target.value);
    if (state.forwardOnly && n < state.shown) { e.target.value = String(state.shown); return; }
    goTo(n);
  });
  $("jump").addEventListener("submit", (e) => {
    e.preventDefault();
    const n = Number($("jump-to").value);
    if (!Number.isInteger(n) || n < 0 || n >= state.count) {
      showStatus(`frame ${$("jump-to").value}: not a frame of this sequence (0..${state.count - 1})`);
      return;
    }
    if (state.forwardOnly && n < state.shown) {
      showStatus(`frame ${n}: this ftp source cannot go back`);
      return;
    }
    goTo(n);
  });
  $("fit").addEventListener("change", (e) => {
    $("stage").className = e.target.checked ? "fit" : "";
    layoutCanvas();
  });
  window.addEventListener("resize", layoutCanvas);
  $("stamp").addEventListener("change", (e) => { state.stamp = e.target.checked; pump(); });
  $("clear-arrow").addEventListener("click", () => { state.arrow = null; pump(); });
  $("picture").addEventListener("click", onCanvasClick);
  // A clicked button keeps no focus: space and Enter belong to the viewer's keys, not to it.
  for (const button of document.querySelectorAll("button")) {
    button.addEventListener("click", () => button.blur());
  }
}

async function start() {
  wireControls();
  try {
    showInfo(await (await fetchOk("/api/info")).json());
  } catch (error) {
    showStatus(`cannot read the sequence: ${error.message}`);
    return;
  }
  if (state.count === 0) { showStatus("the sequence holds no frames"); return; }
  goTo(0);
}

start();
