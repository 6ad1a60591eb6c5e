// The embed page as a reader gets it: written by `tovik-footprint embed` and
// opened straight from disk, with no server and no network.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const BIN = process.env.TOVIK_BIN;
const BINARY_DIR = process.env.TOVIK_BINARY_DIR;
const SOURCE_DIR = process.env.TOVIK_SOURCE_DIR;

// Four 1 x 0.5 side pads (2 paste dots each) around a 3 x 3 exposed pad whose
// four thermal vias keep 24 of its 36 dots out: 20 dots in 5 openings.
const FIXTURE = `(footprint "EP-TEST-5" (version 20240108) (generator "test") (layer "F.Cu")
  (fp_line (start -1.4 -2.2) (end 1.4 -2.2) (stroke (width 0.12) (type solid)) (layer "F.SilkS"))
  (fp_rect (start -1.8 -1.8) (end 1.8 1.8) (stroke (width 0.1) (type solid)) (fill none) (layer "F.Fab"))
  (fp_rect (start -3 -2.6) (end 3 2.6) (stroke (width 0.05) (type solid)) (fill none) (layer "F.CrtYd"))
  (pad "1" smd rect (at -2.2 -1) (size 1 0.5) (layers "F.Cu" "F.Paste" "F.Mask"))
  (pad "2" smd rect (at -2.2 1) (size 1 0.5) (layers "F.Cu" "F.Paste" "F.Mask"))
  (pad "3" smd rect (at 2.2 1) (size 1 0.5) (layers "F.Cu" "F.Paste" "F.Mask"))
  (pad "4" smd rect (at 2.2 -1) (size 1 0.5) (layers "F.Cu" "F.Paste" "F.Mask"))
  (pad "5" smd rect (at 0 0) (size 3 3) (layers "F.Cu" "F.Paste" "F.Mask"))
)
`;

const CORPUS_QFN = path.join(SOURCE_DIR ?? '.', '..', 'shared', 'corpus', 'kicad9',
  'Package_DFN_QFN.pretty__QFN-40-1EP_5x5mm_P0.4mm_EP3.8x3.8mm_ThermalVias.kicad_mod');

let browser;
let dir;

function writeEmbed(inputPath, outName) {
  const out = path.join(dir, outName);
  const r = spawnSync(BIN, ['embed', '--file', inputPath, '--out', out], { encoding: 'utf8' });
  assert.equal(r.status, 0, r.stderr);
  return out;
}

// Opens a page from disk, failing the test on any script error or on any
// request that is not for the file itself.
async function openPage(file, viewport = { width: 960, height: 600 }) {
  const page = await browser.newPage({ viewport });
  const problems = [];
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('console', (m) => { if (m.type() === 'error') problems.push(`console: ${m.text()}`); });
  page.on('request', (r) => { if (!r.url().startsWith('file:')) problems.push(`request: ${r.url()}`); });
  await page.goto(pathToFileURL(file).href);
  return { page, problems };
}

const svgBox = (page) => page.$eval('#vp > svg', (s) => {
  const r = s.getBoundingClientRect();
  return { x: r.x, y: r.y, w: r.width, h: r.height };
});

// Whether the layer's group takes up room on screen: a hidden group has an
// empty box; a drawn one at least a width or a height (a straight line).
const drawn = (page, sel) => page.$eval(sel, (g) => {
  const r = g.getBoundingClientRect();
  return r.width > 0 || r.height > 0;
});

function near(actual, expected, what) {
  assert.ok(Math.abs(actual - expected) < 0.5, `${what}: ${actual} is not ${expected}`);
}

before(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tovik-embed-'));
  fs.writeFileSync(path.join(dir, 'ep.kicad_mod'), FIXTURE);
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking'],
  });
});

after(async () => {
  await browser?.close();
  fs.rmSync(dir, { recursive: true, force: true });
});

test('draws the footprint and lists the layers it has, with paste counts', async () => {
  const { page, problems } = await openPage(writeEmbed(path.join(dir, 'ep.kicad_mod'), 'ep.html'));
  assert.equal(await page.title(), 'EP-TEST-5 - tovik-footprint');
  assert.equal(await page.textContent('header .nm'), 'EP-TEST-5');
  assert.equal(await page.$$eval('#vp > svg [data-pad]', (els) => els.length), 5);
  const box = await svgBox(page);
  assert.ok(box.w > 100 && box.h > 100, JSON.stringify(box));

  const rows = await page.$$eval('#layers .av-lrow', (els) => els.map((r) => ({
    cls: r.className,
    name: r.querySelector('.ln').textContent,
    meta: r.querySelector('.meta')?.textContent ?? null,
    chk: r.querySelector('.chk').textContent,
  })));
  assert.deepEqual(rows, [
    { cls: 'av-lrow on', name: 'Copper', meta: null, chk: '✓' },
    { cls: 'av-lrow on', name: 'Heatsink vias', meta: null, chk: '✓' },
    { cls: 'av-lrow on', name: 'Pad numbers', meta: null, chk: '✓' },
    { cls: 'av-lrow on', name: 'Silkscreen', meta: null, chk: '✓' },
    { cls: 'av-lrow on', name: 'Fab (F.Fab)', meta: null, chk: '✓' },
    { cls: 'av-lrow on', name: 'Courtyard', meta: null, chk: '✓' },
    { cls: 'av-lrow on', name: 'Paste apertures', meta: '5 openings', chk: '✓' },
    { cls: 'av-lrow off special', name: 'Solder paste jet', meta: '20 @ 300µm', chk: '' },
  ]);
  // The count beside the row is the number of dots actually drawn.
  assert.equal(await page.$$eval('.tovik-layer-paste-dots circle', (els) => els.length), 20);
  assert.deepEqual(problems, []);
  await page.close();
});

test('paste dots are off by default and the row toggles them and other layers', async () => {
  const { page, problems } = await openPage(writeEmbed(path.join(dir, 'ep.kicad_mod'), 'ep.html'));
  const dot = '.tovik-layer-paste-dots';
  const silk = '.tovik-layer-silk';
  assert.equal(await drawn(page, dot), false);
  assert.equal(await drawn(page, silk), true);

  const dotsRow = page.locator('.av-lrow', { hasText: 'Solder paste jet' });
  await dotsRow.click();
  assert.equal(await dotsRow.getAttribute('class'), 'av-lrow on special');
  assert.equal(await dotsRow.locator('.chk').textContent(), '✓');
  assert.equal(await drawn(page, dot), true);

  const silkRow = page.locator('.av-lrow', { hasText: 'Silkscreen' });
  await silkRow.click();
  assert.equal(await silkRow.getAttribute('class'), 'av-lrow off');
  assert.equal(await silkRow.locator('.chk').textContent(), '');
  assert.equal(await drawn(page, silk), false);
  await silkRow.click();
  assert.equal(await drawn(page, silk), true);

  await dotsRow.click();
  assert.equal(await drawn(page, dot), false);
  assert.deepEqual(problems, []);
  await page.close();
});

test('drag pans, the wheel zooms about the pointer, the toolbar zooms and fits', async () => {
  const { page, problems } = await openPage(writeEmbed(path.join(dir, 'ep.kicad_mod'), 'ep.html'));
  const start = await svgBox(page);
  const vp = await page.$eval('#vp', (v) => {
    const r = v.getBoundingClientRect();
    return { x: r.x, y: r.y, w: r.width, h: r.height };
  });

  await page.mouse.move(vp.x + 200, vp.y + 200);
  await page.mouse.down();
  assert.equal(await page.$eval('#vp', (v) => v.classList.contains('grab')), true);
  await page.mouse.move(vp.x + 230, vp.y + 220, { steps: 3 });
  await page.mouse.move(vp.x + 260, vp.y + 240, { steps: 3 });
  await page.mouse.up();
  assert.equal(await page.$eval('#vp', (v) => v.classList.contains('grab')), false);
  let box = await svgBox(page);
  near(box.x, start.x + 60, 'panned x');
  near(box.y, start.y + 40, 'panned y');
  near(box.w, start.w, 'width after pan');

  // A notch of 120 px is clamped to 50: one event scales by exp(0.11).
  const px = vp.x + 300, py = vp.y + 250;
  await page.mouse.move(px, py);
  await page.mouse.wheel(0, -120);
  await page.waitForFunction((w) => document.querySelector('#vp > svg').getBoundingClientRect().width > w + 1, box.w);
  const f = Math.exp(0.11);
  const zoomed = await svgBox(page);
  near(zoomed.w, box.w * f, 'wheel-zoomed width');
  near(zoomed.x, px - (px - box.x) * f, 'point under the pointer stays (x)');
  near(zoomed.y, py - (py - box.y) * f, 'point under the pointer stays (y)');

  await page.click('.av-tools button[data-z="fit"]');
  box = await svgBox(page);
  assert.deepEqual(box, start);

  const cx = vp.x + vp.w / 2, cy = vp.y + vp.h / 2;
  await page.click('.av-tools button[data-z="in"]');
  box = await svgBox(page);
  near(box.w, start.w * 1.2, 'zoom-in width');
  near(box.x, cx - (cx - start.x) * 1.2, 'zoom-in keeps the centre');
  await page.click('.av-tools button[data-z="out"]');
  await page.click('.av-tools button[data-z="out"]');
  box = await svgBox(page);
  near(box.w, start.w / 1.2, 'zoom-out width');
  near(box.y, cy - (cy - start.y) / 1.2, 'zoom-out keeps the centre');

  const titles = await page.$$eval('.av-tools button', (bs) => bs.map((b) => `${b.dataset.z}:${b.title}`));
  assert.deepEqual(titles, ['in:Zoom in', 'out:Zoom out', 'fit:Zoom to fit']);
  assert.equal(await page.textContent('.av-panhint'), 'drag to pan · scroll to zoom');
  // A press on the toolbar is a click, not the start of a drag.
  await page.click('.av-tools button[data-z="fit"]');
  assert.deepEqual(await svgBox(page), start);
  assert.deepEqual(problems, []);
  await page.close();
});

test('a real footprint, paste dots on, as a picture', async () => {
  const { page, problems } = await openPage(writeEmbed(CORPUS_QFN, 'qfn.html'), { width: 1000, height: 640 });
  await page.locator('.av-lrow', { hasText: 'Solder paste jet' }).click();
  assert.equal(await drawn(page, '.tovik-layer-paste-dots'), true);
  const pictures = path.join(BINARY_DIR, 'pictures');
  fs.mkdirSync(pictures, { recursive: true });
  await page.screenshot({ path: path.join(pictures, 'embed.png') });
  assert.deepEqual(problems, []);
  await page.close();
});

test('viewer core: saved layer states, missing counts, one toolbar, line-mode wheel', async () => {
  const { page, problems } = await openPage(writeEmbed(path.join(dir, 'ep.kicad_mod'), 'ep.html'));
  assert.deepEqual(await page.evaluate(() => Object.keys(window.AV)), [
    'LAYER_DEFS', 'groupHasGeo', 'layerPresent', 'applyLayer', 'buildLayers',
    'initViewport', 'addToolbar', 'ICON_FIT', 'ICON_ZIN', 'ICON_ZOUT',
  ]);

  // A second panel over the same drawing, started from a saved state and
  // without counts.
  const result = await page.evaluate(() => {
    const svg = document.querySelector('#vp > svg');
    const container = document.createElement('div');
    document.body.appendChild(container);
    const toggles = [];
    const state = { 'paste-dots': true, silk: false };
    const keys = AV.buildLayers({ svg, container, state, onToggle: (k, on) => toggles.push([k, on]) });
    const shown = (sel) => getComputedStyle(svg.querySelector(sel)).display !== 'none';
    const before = { dots: shown('.tovik-layer-paste-dots'), silk: shown('.tovik-layer-silk') };
    const rows = [...container.querySelectorAll('.av-lrow')];
    const dotsRow = rows.find((r) => r.textContent.startsWith('Solder paste jet'));
    const apRow = rows.find((r) => r.textContent.startsWith('Paste apertures'));
    dotsRow.click();
    return {
      keys, before, toggles, state,
      dotsMeta: dotsRow.querySelector('.meta').textContent,
      apMeta: apRow.querySelector('.meta').textContent,
      dotsAfter: shown('.tovik-layer-paste-dots'),
    };
  });
  assert.deepEqual(result.keys,
    ['copper', 'heatsink', 'padnum', 'silk', 'fab', 'courtyard', 'paste-ap', 'paste-dots']);
  assert.deepEqual(result.before, { dots: true, silk: false });
  assert.equal(result.dotsMeta, '0 @ 300µm');
  assert.equal(result.apMeta, '0 openings');
  assert.deepEqual(result.toggles, [['paste-dots', false]]);
  assert.deepEqual(result.state, { 'paste-dots': false, silk: false });
  assert.equal(result.dotsAfter, false);

  assert.equal(await page.evaluate(() => {
    const vp = document.getElementById('vp');
    AV.addToolbar(vp, { fit() {}, zoomIn() {}, zoomOut() {} });
    return vp.querySelectorAll('.av-tools').length + vp.querySelectorAll('.av-panhint').length;
  }), 2);

  // 7.5 lines are 120 px, clamped to 50: the scale drops by exp(-0.11).
  const start = await svgBox(page);
  const wheel = await page.evaluate(() => {
    const vp = document.getElementById('vp');
    const r = vp.getBoundingClientRect();
    const e = new WheelEvent('wheel', {
      deltaY: 7.5, deltaMode: 1, clientX: r.left + 100, clientY: r.top + 100, bubbles: true, cancelable: true,
    });
    return { notCancelled: vp.dispatchEvent(e) };
  });
  assert.deepEqual(wheel, { notCancelled: false });
  near((await svgBox(page)).w, start.w * Math.exp(-0.11), 'line-mode wheel width');
  assert.deepEqual(problems, []);
  await page.close();
});
