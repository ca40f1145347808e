// ffglrun preview's page in a real browser: Debian's chromium, headless,
// driven by puppeteer-core. Each test starts its own `ffglrun preview` on a
// free port and opens the address it prints.
//
// Environment (set by CTest): FFGLRUN, TESSIVAR_MODULE_TESSIVAR,
// TESSIVAR_MODULE_FRAMETESTPLUGIN, TESSIVAR_MODULE_LEAKYPLUGIN, TESSIVAR_MODULE_CRASHINGPLUGIN;
// CHROMIUM (default /usr/bin/chromium); FFGLRUN_LAUNCHER in a cross build (Wine, which runs ffglrun.exe).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const puppeteer = (await import('puppeteer-core').catch(() => {
  throw new Error('puppeteer-core is not installed here: run scripts/install-browser-deps.sh');
})).default;

const ffglrun = process.env.FFGLRUN;
const tessivar = process.env.TESSIVAR_MODULE_TESSIVAR;
const frameTest = process.env.TESSIVAR_MODULE_FRAMETESTPLUGIN;
const leaky = process.env.TESSIVAR_MODULE_LEAKYPLUGIN;
const crashing = process.env.TESSIVAR_MODULE_CRASHINGPLUGIN;
const launcher = process.env.FFGLRUN_LAUNCHER;
// Under Wine a terminal's Ctrl-C (SIGINT) is what reaches ffglrun.exe as the
// console's interrupt; SIGTERM would end Wine's process without a word.
const STOP = launcher ? 'SIGINT' : 'SIGTERM';
// How a crash is named: Windows names its exception.
const SEGV = launcher ? 'EXCEPTION_ACCESS_VIOLATION' : 'SIGSEGV';

function ffglrunPreview(args, options) {
  return launcher ? spawn(launcher, [ffglrun, 'preview', ...args], options) : spawn(ffglrun, ['preview', ...args], options);
}
const WAIT = { timeout: 20000 };

let browser;
let profile;
const running = new Set();

before(async () => {
  assert.ok(ffglrun && tessivar && frameTest && leaky && crashing, 'FFGLRUN and the module paths come from CTest');
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'preview-chromium-'));
  // Without the background-networking flags chromium reaches for the
  // network at start, which this machine refuses.
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    defaultViewport: { width: 1280, height: 800 },
  });
});

after(async () => {
  for (const p of running) p.kill(STOP);
  await browser?.close();
  fs.rmSync(profile, { recursive: true, force: true });
});

// Starts `ffglrun preview` and answers once it has printed its address.
function startPreview(args, env = {}) {
  const proc = ffglrunPreview(args, { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env } });
  running.add(proc);
  let out = '', err = '';
  proc.stderr.on('data', (d) => { err += d; });
  return new Promise((resolve, reject) => {
    proc.stdout.on('data', (d) => {
      out += d;
      const m = /open (http:\/\/\S+)/.exec(out);
      if (m) resolve({ url: m[1], origin: new URL(m[1]).origin, stop: () => stop(proc), stderr: () => err });
    });
    proc.on('exit', (code) => reject(new Error(`ffglrun preview ended (${code}): ${err}`)));
  });
}

// Runs a preview that must fail at once; answers its exit code and stderr.
function runFailing(args) {
  const proc = ffglrunPreview(args, { stdio: ['ignore', 'ignore', 'pipe'] });
  let err = '';
  proc.stderr.on('data', (d) => { err += d; });
  return new Promise((resolve) => proc.on('exit', (code) => resolve({ code, err })));
}

function stop(proc) {
  running.delete(proc);
  return new Promise((resolve) => {
    proc.on('exit', (code, signal) => resolve(code ?? signal));
    proc.kill(STOP);
  });
}

async function openPage(url) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url);
  await page.waitForFunction(() => window.preview && window.preview.frames > 0 && window.preview.build > 0, WAIT);
  page.errors = errors;
  return page;
}

// The canvas's pixels (RGBA) as the page shows them.
function pixels(page) {
  return page.evaluate(() => {
    const c = document.getElementById('picture');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  });
}

function differing(a, b) {
  let n = 0;
  for (let i = 0; i < a.length; i += 4)
    if (Math.abs(a[i] - b[i]) + Math.abs(a[i + 1] - b[i + 1]) + Math.abs(a[i + 2] - b[i + 2]) > 24) n++;
  return n;
}

const sliderValue = (page, name) =>
  page.$eval(`input[aria-label="${name}"]`, (el) => Number(el.value));

test('one control per parameter, each of its kind, with the display text beside it', async () => {
  const p = await startPreview([frameTest, '--pattern', 'gradient', '--size', '160x90']);
  const page = await openPage(p.url);
  const covered = await page.$$eval('.control[data-params]', (els) => els.flatMap((e) => e.dataset.params.split(',').map(Number)));
  assert.deepEqual([...covered].sort((a, b) => a - b), [...Array(17).keys()], 'every parameter exactly once');
  const kinds = await page.evaluate(() => {
    const at = (i) => [...document.querySelectorAll('.control')].find((c) => c.dataset.params.split(',')[0] === String(i));
    const input = (i) => at(i).querySelector('input, select, button');
    return {
      standard: input(0).type, standardDisplay: at(0).querySelector('.display').textContent,
      boolean: input(1).type, event: input(2).tagName, rgb: [input(3).type, at(3).dataset.params],
      hsba: [input(6).type, at(6).dataset.params, at(6).querySelectorAll('input[type=range]').length],
      option: [...input(10).options].map((o) => o.textContent), integerStep: input(12).step,
      file: [input(13).readOnly, input(13).value], text: input(14).value,
      hiddenInDetails: !!at(15).closest('details'),
    };
  });
  assert.deepEqual(kinds, {
    standard: 'range', standardDisplay: '0.250000', boolean: 'checkbox', event: 'BUTTON', rgb: ['color', '3,4,5'],
    hsba: ['color', '6,7,8,9', 1], option: ['Add', 'Multiply', 'Screen'], integerStep: '1',
    file: [true, 'default.png'], text: 'hello', hiddenInDetails: true,
  });
  assert.deepEqual(page.errors, []);
  await page.close();
  assert.equal(await p.stop(), 0);
});

test('the auto-fit moves the controls and handles; moving a slider changes the picture', async () => {
  // A 4:3 picture on a 2:1 canvas: the auto-fit moves the points onto it.
  const p = await startPreview([tessivar, '--pattern', 'alpha-bars', '--size', '480x240']);
  const page = await openPage(p.url);
  assert.equal(await page.$$eval('.handle', (h) => h.length), 4);
  await page.waitForFunction(() => Math.abs(Number(document.querySelector('input[aria-label="Point 1 X"]').value) - 1 / 6) < 0.01, WAIT);
  const handleLeft = await page.$eval('.handle', (h) => parseFloat(h.style.left));
  assert.ok(Math.abs(handleLeft - 100 / 6) < 1, `Point 1's handle at ${handleLeft}%`);

  // Let the picture settle on the fitted points, then move a slider as a person does.
  await page.waitForFunction((id) => window.preview.frameId > id + 2, WAIT, await page.evaluate(() => window.preview.frameId));
  const before = await pixels(page);
  const box = await (await page.$('input[aria-label="Point 1 X"]')).boundingBox();
  await page.mouse.click(box.x + box.width * 0.6, box.y + box.height / 2);
  await page.waitForFunction(() => window.preview.latencyMs !== null, WAIT);
  const afterMove = await pixels(page);
  const changed = differing(before, afterMove);
  assert.ok(changed > before.length / 4 / 20, `${changed} pixels changed`);
  assert.ok((await sliderValue(page, 'Point 1 X')) > 0.5);
  console.log(`# change to picture: ${(await page.evaluate(() => window.preview.latencyMs)).toFixed(1)} ms`);

  // Dragging a handle moves its two parameters.
  const h3 = await (await page.$$('.handle'))[2].boundingBox();
  await page.mouse.move(h3.x + h3.width / 2, h3.y + h3.height / 2);
  await page.mouse.down();
  const stage = await (await page.$('#handles')).boundingBox();
  await page.mouse.move(stage.x + stage.width * 0.5, stage.y + stage.height * 0.75, { steps: 4 });
  await page.mouse.up();
  await page.waitForFunction(() => {
    const v = (n) => Number(document.querySelector(`input[aria-label="${n}"]`).value);
    return Math.abs(v('Point 3 X') - 0.5) < 0.02 && Math.abs(v('Point 3 Y') - 0.75) < 0.02;
  }, WAIT);
  assert.deepEqual(page.errors, []);
  await page.close();
  await p.stop();
});

test("the log panel shows the module's log, its GL errors and the GL state it left changed", async () => {
  const p = await startPreview([leaky, '--pattern', 'grid', '--size', '32x32'], { LEAKY_PLUGIN_FAULT: 'noisy' });
  const page = await openPage(p.url);
  await page.waitForFunction(() => document.querySelectorAll('#log li').length >= 3, WAIT);
  const lines = await page.$$eval('#log li', (li) => li.map((l) => l.textContent));
  assert.ok(lines.some((l) => /^host\s*leaky: frame( \(x\d+\))?$/.test(l)), lines.join('\n'));
  assert.ok(lines.some((l) => /^gl\s*.*GL_INVALID_OPERATION/i.test(l)), lines.join('\n'));
  assert.ok(lines.some((l) => /^state\s*after FF_PROCESS_OPENGL: scissor test: 0 -> 1/.test(l)), lines.join('\n'));
  await page.close();
  await p.stop();
});

test('bad arguments end it with one line before anything starts', async () => {
  for (const [args, code, line] of [
    [['/nonexistent/M.so'], 1, /^ffglrun: \/nonexistent\/M\.so: cannot copy it/],
    [[tessivar, '--fps', '0'], 2, /^ffglrun: --fps: /],
    [[tessivar, '--port', '65536'], 2, /^ffglrun: --port: /],
    [[tessivar, '--pattern', 'nothing'], 2, /^ffglrun: --pattern nothing: /],
  ]) {
    const r = await runFailing(args);
    assert.equal(r.code, code, r.err);
    assert.match(r.err, line);
    assert.equal(r.err.split('\n').length, 2, r.err);
  }
});

test('requests without the token are refused, and a malformed one changes nothing', async () => {
  const p = await startPreview([tessivar, '--pattern', 'grid', '--size', '64x48']);
  const token = new URL(p.url).pathname.split('/')[1];
  assert.equal((await fetch(`${p.origin}/`)).status, 403);
  assert.equal((await fetch(`${p.origin}/state`)).status, 403);
  assert.equal((await fetch(`${p.origin}/${token.replace(/.$/, (c) => (c === '0' ? '1' : '0'))}/state`)).status, 403);
  assert.equal((await fetch(`${p.url}state`)).status, 200);
  // Loopback only: another address of this machine finds nobody listening.
  const port = new URL(p.url).port;
  await assert.rejects(fetch(`http://127.0.0.2:${port}/${token}/state`));
  // Its port is taken now: a second preview there fails with one line.
  const taken = await runFailing([tessivar, '--pattern', 'grid', '--port', port]);
  assert.equal(taken.code, 1);
  assert.match(taken.err, /^ffglrun: --listen 127\.0\.0\.1 --port \d+: cannot listen there[^\n]*\n$/);
  const page = await openPage(p.url);
  const before = await sliderValue(page, 'Point 2 X');
  const bad = await page.evaluate(async () => (await fetch('param', { method: 'POST', body: '{"index": 2, "value": 7}' })).status);
  assert.equal(bad, 400);
  await page.waitForFunction((id) => window.preview.frameId > id, WAIT, await page.evaluate(() => window.preview.frameId));
  assert.equal(await sliderValue(page, 'Point 2 X'), before);

  // Paused, a step moves the host time on by one frame (30 frames/s).
  await page.click('#play');
  await page.waitForFunction(() => document.getElementById('play').textContent === 'Play', WAIT);
  const time = () => page.$eval('#time', (e) => parseFloat(e.textContent));
  let paused;
  for (let last = NaN; (paused = await time()) !== last; last = paused) await new Promise((r) => setTimeout(r, 300));
  await page.click('#step');
  await page.waitForFunction((t) => parseFloat(document.getElementById('time').textContent) !== t, WAIT, paused);
  assert.ok(Math.abs((await time()) - paused - 1 / 30) < 0.0015, `${paused} then ${await time()}`);
  await page.close();
  await p.stop();
});

test('a new build is loaded with the same values; a broken or crashing one leaves the preview running', async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'preview-reload-'));
  const module = path.join(dir, path.basename(tessivar));
  const replace = (from) => {  // as a linker writes it: a new file in place
    fs.copyFileSync(from, module + '.new');
    fs.renameSync(module + '.new', module);
  };
  fs.copyFileSync(tessivar, module);
  // Its copies of the builds go to a temporary folder of its own here. Not
  // under Wine: ffglrun.exe takes Windows' temporary folder whatever TMPDIR
  // says, and Wine 10 aborts at start when TMPDIR is not its server's.
  const p = await startPreview([module, '--pattern', 'grid', '--size', '96x64'], launcher ? {} : { TMPDIR: dir });
  const page = await openPage(p.url);
  await page.$eval('input[aria-label="Point 2 X"]', (el) => { el.value = 0.75; el.dispatchEvent(new Event('input')); });
  await page.waitForFunction(() => window.preview.latencyMs !== null, WAIT);
  const loads = () => page.$eval('#module-path', (e) => Number(/load (\d+)/.exec(e.textContent)[1]));
  assert.equal(await loads(), 1);

  fs.writeFileSync(module, 'not a module');
  await page.waitForSelector('#load-error:not([hidden])', WAIT);
  const frame = await page.evaluate(() => window.preview.frameId);
  await page.$eval('input[aria-label="Point 1 Y"]', (el) => { el.value = 0.25; el.dispatchEvent(new Event('input')); });
  await page.waitForFunction((id) => window.preview.frameId > id, WAIT, frame);
  assert.equal(await loads(), 1, 'the old build keeps running');
  assert.match(await page.$eval('#load-error', (e) => e.textContent), /did not load/);

  replace(tessivar);
  await page.waitForFunction(() => /load 2/.test(document.getElementById('module-path').textContent), WAIT);
  await page.waitForSelector('#load-error[hidden]', WAIT);
  assert.equal(await sliderValue(page, 'Point 2 X'), 0.75);
  assert.equal(await sliderValue(page, 'Point 1 Y'), 0.25);

  // A build that crashes in its first frame: the page names the call, and
  // the next good build runs again.
  replace(crashing);
  await page.waitForFunction((segv) => document.getElementById('load-error').textContent.includes(
    `crashed in FF_PROCESS_OPENGL: ${segv}`), WAIT, SEGV);
  assert.match(await page.$eval('#load-error', (e) => e.textContent), new RegExp(`^The module crashed.*\\n${module} crashed`));
  replace(tessivar);
  await page.waitForFunction(() => /load 4/.test(document.getElementById('module-path').textContent), WAIT);
  await page.waitForSelector('#load-error[hidden]', WAIT);
  const frame2 = await page.evaluate(() => window.preview.frameId);
  await page.waitForFunction((id) => window.preview.frameId > id, WAIT, frame2);
  await page.close();
  await p.stop();
  assert.deepEqual(fs.readdirSync(dir).filter((n) => n.startsWith('ffglrun-preview-')), [], 'no copies left');
  fs.rmSync(dir, { recursive: true, force: true });
});
