// Measures ffglrun preview as a person sees it, in headless chromium:
// the render's frames/s and ms per frame as the page shows them, the frames/s
// the page draws, and the time from a slider move to the picture that has it.
// Run by scripts/preview-bench.sh; not a test.
//
//   node measure.mjs FFGLRUN MODULE SLIDER [preview arguments...]
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [ffglrun, module, slider, ...rest] = process.argv.slice(2);
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const proc = spawn(ffglrun, ['preview', module, ...rest], { stdio: ['ignore', 'pipe', 'inherit'] });
const url = await new Promise((resolve, reject) => {
  let out = '';
  proc.stdout.on('data', (d) => { out += d; const m = /open (http:\/\/\S+)/.exec(out); if (m) resolve(m[1]); });
  proc.on('exit', (code) => reject(new Error(`ffglrun preview ended (${code})`)));
});
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'preview-measure-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  userDataDir: profile,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  defaultViewport: { width: 1280, height: 800 },
});
try {
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForFunction(() => window.preview.frames > 5, { timeout: 60000 });
  await sleep(3000);  // warm up

  const read = () => page.evaluate(() => ({
    frames: window.preview.frames,
    renderFps: Number(document.getElementById('render-fps').textContent),
    renderMs: Number(document.getElementById('render-ms').textContent),
  }));
  const renderFps = [], renderMs = [];
  const first = await read();
  const start = Date.now();
  for (let i = 0; i < 10; ++i) {
    await sleep(1000);
    const r = await read();
    renderFps.push(r.renderFps);
    renderMs.push(r.renderMs);
  }
  const shown = ((await read()).frames - first.frames) / ((Date.now() - start) / 1000);

  // Slider moves, one at a time: each waits for its picture.
  const latencies = [];
  const box = await (await page.$(`input[aria-label="${slider}"]`)).boundingBox();
  for (let i = 0; i < 12; ++i) {
    await page.evaluate(() => { window.preview.latencyMs = null; });
    await page.mouse.click(box.x + box.width * (i % 2 ? 0.3 : 0.7), box.y + box.height / 2);
    await page.waitForFunction(() => window.preview.latencyMs !== null, { timeout: 30000 });
    latencies.push(await page.evaluate(() => window.preview.latencyMs));
    await sleep(300);
  }
  console.log(JSON.stringify({
    render_fps_median: median(renderFps), render_ms_median: median(renderMs), shown_fps: shown,
    latency_ms_median: median(latencies), latency_ms_min: Math.min(...latencies), latency_ms_max: Math.max(...latencies),
  }));
} finally {
  await browser.close();
  proc.kill('SIGTERM');
  fs.rmSync(profile, { recursive: true, force: true });
}
