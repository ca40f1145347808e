// The preview page: the module's frames on a canvas, a control per
// parameter built from what the module reports, handles for X/Y pairs, the
// transport and the host's log. Every address is relative, so each request
// carries the session's token, which is the first part of the page's path.
'use strict';

const $ = (id) => document.getElementById(id);

// What tests and curious people can read from the console.
const preview = window.preview = {
  frames: 0,          // frames drawn
  frameId: 0,         // the last one's number
  latencyMs: null,    // last change-to-picture time
  build: -1,          // module build the controls were made for
  stateVersion: 0,
};

const TYPES_UNIT = new Set(['boolean', 'event', 'red', 'green', 'blue', 'hue', 'saturation', 'brightness', 'alpha']);

let params = [];          // from the state, by index
const controls = [];      // index -> {update(p)}; one control may serve several indices
let shownTimes = [];      // when recent frames were drawn, for frames/s shown

// ---------------------------------------------------------------- requests

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

function showRequestError(text) {
  $('request-error').textContent = text;
  if (text) setTimeout(() => { if ($('request-error').textContent === text) $('request-error').textContent = ''; }, 4000);
}

async function post(path, body) {
  const res = await fetch(path, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
  if (!res.ok) throw new Error(`${res.status}: ${(await res.text()).trim()}`);
  return res.json();
}

// Parameter changes: the newest value per parameter waits while one request
// is on its way, so a dragged slider never queues more than one request.
const outbox = new Map();
let sending = false;
let firstChangeAt = null;
const awaiting = [];      // {seq, at}: changes whose picture is still to come

function change(index, key, value) {
  outbox.set(index, { index, [key]: value });
  if (firstChangeAt === null) firstChangeAt = performance.now();
  pump();
}

async function pump() {
  if (sending || outbox.size === 0) return;
  sending = true;
  const batch = [...outbox.values()];
  const at = firstChangeAt;
  outbox.clear();
  firstChangeAt = null;
  try {
    const { seq } = await post('param', batch);
    awaiting.push({ seq, at });
  } catch (e) {
    showRequestError(e.message);
  } finally {
    sending = false;
    pump();
  }
}

async function transport(body) {
  try { await post('transport', body); } catch (e) { showRequestError(e.message); }
}

// ---------------------------------------------------------------- frames

async function frameLoop() {
  const canvas = $('picture');
  const ctx = canvas.getContext('2d');
  for (;;) {
    let res;
    try {
      res = await fetch(`frame?after=${preview.frameId}`);
    } catch {
      $('connection').textContent = 'disconnected';
      await sleep(1000);
      continue;
    }
    $('connection').textContent = '';
    const version = Number(res.headers.get('X-State'));
    if (version && version !== preview.stateVersion) refreshState();
    if (res.status === 204) continue;
    if (res.status !== 200) { await sleep(500); continue; }
    const bitmap = await createImageBitmap(await res.blob());
    if (canvas.width !== bitmap.width || canvas.height !== bitmap.height) {
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
    }
    ctx.drawImage(bitmap, 0, 0);
    bitmap.close();
    frameShown(res.headers);
  }
}

function frameShown(headers) {
  const now = performance.now();
  preview.frameId = Number(headers.get('X-Frame'));
  preview.frames++;
  shownTimes.push(now);
  shownTimes = shownTimes.filter((t) => now - t <= 1000);
  const applied = Number(headers.get('X-Applied'));
  while (awaiting.length && awaiting[0].seq <= applied) {
    preview.latencyMs = now - awaiting.shift().at;
    $('latency').textContent = preview.latencyMs.toFixed(0);
  }
  $('render-fps').textContent = Number(headers.get('X-Render-Fps')).toFixed(1);
  $('render-ms').textContent = Number(headers.get('X-Render-Ms')).toFixed(1);
  $('shown-fps').textContent = shownTimes.length > 1 ? ((shownTimes.length - 1) * 1000 / (now - shownTimes[0])).toFixed(1) : '-';
  $('time').textContent = `${Number(headers.get('X-Time')).toFixed(3)} s`;
}

// ---------------------------------------------------------------- state

let stateBusy = false;
async function refreshState() {
  if (stateBusy) return;
  stateBusy = true;
  try {
    const res = await fetch('state');
    if (res.ok) applyState(await res.json());
  } catch { /* the frame loop reports the connection */ } finally {
    stateBusy = false;
  }
}

function applyState(s) {
  preview.stateVersion = s.version;
  params = s.params || [];
  if (s.build !== preview.build) {
    buildControls(params);
    preview.build = s.build;
  }
  for (const p of params) controls[p.index]?.update(p);
  placeHandles();
  $('title').textContent = `${s.module.name} (${s.module.id}, ${s.module.type})`;
  $('module-path').textContent = `${s.module.path}, ${s.size[0]}x${s.size[1]}, load ${s.module.loads}`;
  const error = $('load-error');
  const lines = [];
  if (s.module.crash) lines.push('The module crashed and is called no more; the last frame stays until the next build.', s.module.crash);
  if (s.module.error) lines.push(`The new build did not load; ${s.module.crash ? 'the crashed one stays' : 'the previous one keeps running'}.`, s.module.error);
  error.hidden = lines.length === 0;
  error.textContent = lines.join('\n');
  showTransport(s.transport);
  showLog(s.log);
}

function showTransport(t) {
  $('play').textContent = t.playing ? 'Pause' : 'Play';
  $('play').dataset.playing = t.playing ? '1' : '';
  $('loop').checked = t.loop;
  $('loop-label').hidden = t.source !== 'clip';
}

function showLog(entries) {
  const list = $('log');
  list.replaceChildren(...entries.map((e) => {
    const li = document.createElement('li');
    li.className = e.kind + (/did not load/.test(e.text) ? ' bad' : '');
    const kind = document.createElement('span');
    kind.className = 'kind';
    kind.textContent = e.kind;
    li.append(kind, e.text + (e.repeats > 1 ? ` (x${e.repeats})` : ''));
    return li;
  }));
  list.scrollTop = list.scrollHeight;
}

// ---------------------------------------------------------------- controls

function element(tag, props = {}, ...children) {
  const el = Object.assign(document.createElement(tag), props);
  el.append(...children);
  return el;
}

// One row: label, the input, the module's display text.
function row(indices, labelText, input) {
  const display = element('span', { className: 'display' });
  const div = element('div', { className: 'control' }, element('label', { textContent: labelText, title: labelText }), input, display);
  div.dataset.params = indices.join(',');
  input.setAttribute('aria-label', labelText);
  return { div, display };
}

// Keeps the page from moving a control the user is holding.
function holding(input) {
  input.addEventListener('pointerdown', () => { input.dataset.active = '1'; });
  const release = () => { delete input.dataset.active; };
  input.addEventListener('pointerup', release);
  input.addEventListener('pointercancel', release);
  input.addEventListener('blur', release);
}

function sliderControl(p) {
  const input = element('input', { type: 'range', min: p.min, max: p.max, step: p.type === 'integer' ? 1 : (p.max - p.min) / 1000 || 'any' });
  const r = row([p.index], p.name, input);
  holding(input);
  input.addEventListener('input', () => change(p.index, 'value', Number(input.value)));
  return { div: r.div, update(q) { if (!input.dataset.active) input.value = q.value; r.display.textContent = q.display; } };
}

function switchControl(p) {
  const input = element('input', { type: 'checkbox', role: 'switch' });
  const r = row([p.index], p.name, input);
  input.addEventListener('change', () => change(p.index, 'value', input.checked ? 1 : 0));
  return { div: r.div, update(q) { input.checked = q.value >= 0.5; r.display.textContent = q.display; } };
}

function eventControl(p) {
  const input = element('button', { type: 'button', textContent: p.name });
  const r = row([p.index], p.name, input);
  const press = () => { input.dataset.down = '1'; change(p.index, 'value', 1); };
  const release = () => { if (input.dataset.down) change(p.index, 'value', 0); delete input.dataset.down; };
  input.addEventListener('pointerdown', press);
  input.addEventListener('pointerup', release);
  input.addEventListener('pointerleave', release);
  input.addEventListener('keydown', (e) => { if ((e.key === ' ' || e.key === 'Enter') && !input.dataset.down) press(); });
  input.addEventListener('keyup', release);
  return { div: r.div, update(q) { r.display.textContent = q.display; } };
}

function optionControl(p) {
  const input = element('select', {}, ...p.elements.map((e) => element('option', { value: String(e.value), textContent: e.name })));
  const r = row([p.index], p.name, input);
  input.addEventListener('change', () => change(p.index, 'value', Number(input.value)));
  return {
    div: r.div,
    update(q) {
      const i = q.elements.findIndex((e) => e.value === q.value);
      if (i >= 0) input.selectedIndex = i;
      r.display.textContent = q.display;
    },
  };
}

function textControl(p) {
  const input = element('input', { type: 'text', maxLength: 4096 });
  const r = row([p.index], p.name, input);
  input.addEventListener('change', () => change(p.index, 'text', input.value));
  input.addEventListener('focus', () => { input.dataset.active = '1'; });
  input.addEventListener('blur', () => { delete input.dataset.active; });
  return { div: r.div, update(q) { if (!input.dataset.active) input.value = q.text; } };
}

// Files are named on the command line only: the page never names a file.
function fileControl(p) {
  const input = element('input', { type: 'text', readOnly: true });
  const r = row([p.index], p.name, input);
  r.div.append(element('span', { className: 'note', textContent: 'a file: set it with --set' }));
  return { div: r.div, update(q) { input.value = q.text; } };
}

function bufferControl(p) {
  const input = element('span', { className: 'note', textContent: `${p.elementCount} values from the audio (--audio)` });
  const r = row([p.index], p.name, input);
  return { div: r.div, update() {} };
}

// Colours: red, green, blue members, or hue, saturation, brightness (and
// alpha), become one picker (and an alpha slider).
const hex = (v) => Math.round(Math.min(1, Math.max(0, v)) * 255).toString(16).padStart(2, '0');
function hsvToRgb(h, s, v) {
  const f = (n) => { const k = (n + h * 6) % 6; return v - v * s * Math.max(0, Math.min(k, 4 - k, 1)); };
  return [f(5), f(3), f(1)];
}
function rgbToHsv(r, g, b) {
  const max = Math.max(r, g, b), d = max - Math.min(r, g, b);
  let h = 0;
  if (d) h = max === r ? ((g - b) / d) % 6 : max === g ? (b - r) / d + 2 : (r - g) / d + 4;
  return [((h / 6) + 1) % 1, max ? d / max : 0, max];
}

function colourControl(members) {
  const hsv = members[0].type === 'hue';
  const [a, b, c] = members;
  const alpha = members[3];
  const picker = element('input', { type: 'color' });
  const indices = members.map((m) => m.index);
  const r = row(indices, a.name, picker);
  holding(picker);
  picker.addEventListener('input', () => {
    const rgb = [1, 3, 5].map((i) => parseInt(picker.value.substr(i, 2), 16) / 255);
    const v = hsv ? rgbToHsv(...rgb) : rgb;
    v.forEach((x, k) => change(members[k].index, 'value', x));
  });
  let alphaInput = null;
  if (alpha) {
    alphaInput = element('input', { type: 'range', min: 0, max: 1, step: 0.001 });
    holding(alphaInput);
    alphaInput.addEventListener('input', () => change(alpha.index, 'value', Number(alphaInput.value)));
    r.div.append(element('span', { className: 'note' }, 'alpha ', alphaInput));
  }
  return {
    div: r.div,
    update() {
      const v = [a, b, c].map((m) => params[m.index].value);
      const rgb = hsv ? hsvToRgb(...v) : v;
      if (!picker.dataset.active) picker.value = `#${rgb.map(hex).join('')}`;
      r.display.textContent = [a, b, c].map((m) => params[m.index].display).join(' ');
      if (alphaInput && !alphaInput.dataset.active) alphaInput.value = params[alpha.index].value;
    },
  };
}

// Consecutive members of one colour, or null.
function colourAt(list, i) {
  const kinds = list[i].type === 'red' ? ['red', 'green', 'blue'] : list[i].type === 'hue' ? ['hue', 'saturation', 'brightness'] : null;
  if (!kinds || !kinds.every((k, n) => list[i + n]?.type === k)) return null;
  const members = list.slice(i, i + 3);
  if (kinds[0] === 'hue' && list[i + 3]?.type === 'alpha') members.push(list[i + 3]);
  return members;
}

function controlFor(p) {
  switch (p.type) {
    case 'boolean': return switchControl(p);
    case 'event': return eventControl(p);
    case 'option': return optionControl(p);
    case 'text': return textControl(p);
    case 'file': return fileControl(p);
    case 'buffer': return bufferControl(p);
    default: return sliderControl(p);  // standard, integer, and a lone colour member
  }
}

function buildControls(list) {
  const aside = $('controls');
  aside.replaceChildren();
  controls.length = 0;
  const groups = new Map();
  const hidden = element('details', {}, element('summary', { textContent: 'Hidden parameters' }));
  const place = (p, div) => {
    if (!p.visible) return hidden.append(div);
    if (!p.group) return aside.append(div);
    if (!groups.has(p.group)) {
      const fs = element('fieldset', {}, element('legend', { textContent: p.group }));
      groups.set(p.group, fs);
      aside.append(fs);
    }
    groups.get(p.group).append(div);
  };
  for (let i = 0; i < list.length;) {
    const members = colourAt(list, i);
    const made = members ? colourControl(members) : controlFor(list[i]);
    for (const m of members || [list[i]]) controls[m.index] = made;
    place(list[i], made.div);
    i += members ? members.length : 1;
  }
  if (hidden.children.length > 1) aside.append(hidden);
  makeHandles(list);
}

// ---------------------------------------------------------------- handles

// X/Y pairs in one group ("Point 1 X" with "Point 1 Y", "posX" with "posY"),
// dragged on the picture; 0..1 of the range runs from the left and the top.
let handles = [];

function makeHandles(list) {
  const layer = $('handles');
  layer.replaceChildren();
  handles = [];
  const ranged = list.filter((p) => p.type === 'standard');
  for (const x of ranged) {
    const m = /^(.*?)([ _-]?)[xX]$/.exec(x.name);
    if (!m) continue;
    const y = ranged.find((q) => q.group === x.group && q.name === `${m[1]}${m[2]}${x.name.endsWith('x') ? 'y' : 'Y'}`);
    if (!y) continue;
    const el = element('div', { className: 'handle', title: m[1] || x.name }, element('span', { textContent: m[1].trim() }));
    el.dataset.params = `${x.index},${y.index}`;
    layer.append(el);
    const h = { el, x, y };
    handles.push(h);
    dragHandle(h);
  }
}

const unit = (p, v) => (v - p.min) / ((p.max - p.min) || 1);

function placeHandles() {
  for (const h of handles) {
    if (h.el.classList.contains('active')) continue;
    h.el.style.left = `${unit(h.x, params[h.x.index].value) * 100}%`;
    h.el.style.top = `${unit(h.y, params[h.y.index].value) * 100}%`;
  }
}

function dragHandle(h) {
  const move = (e) => {
    const box = $('handles').getBoundingClientRect();
    const u = Math.min(1, Math.max(0, (e.clientX - box.left) / box.width));
    const v = Math.min(1, Math.max(0, (e.clientY - box.top) / box.height));
    h.el.style.left = `${u * 100}%`;
    h.el.style.top = `${v * 100}%`;
    change(h.x.index, 'value', h.x.min + u * (h.x.max - h.x.min));
    change(h.y.index, 'value', h.y.min + v * (h.y.max - h.y.min));
  };
  h.el.addEventListener('pointerdown', (e) => {
    h.el.setPointerCapture(e.pointerId);
    h.el.classList.add('active');
    move(e);
  });
  h.el.addEventListener('pointermove', (e) => { if (h.el.classList.contains('active')) move(e); });
  const end = () => h.el.classList.remove('active');
  h.el.addEventListener('pointerup', end);
  h.el.addEventListener('pointercancel', end);
}

// ---------------------------------------------------------------- start

$('play').addEventListener('click', () => transport({ action: $('play').dataset.playing ? 'pause' : 'play' }));
$('step').addEventListener('click', () => transport({ action: 'step' }));
$('loop').addEventListener('change', () => transport({ action: 'loop', on: $('loop').checked }));
refreshState();
frameLoop();
