// Pan and zoom with real wheel and pointer events, the toolbar, pad and
// button tooltips, and the frame time with a 2000-pad footprint (measured and
// reported, not asserted).
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {setUpLiveApp, tearDownLiveApp, pushFootprint, createFootprint, gridFootprint, QFN} from './lib.mjs';

let h, server, browser, page;

before(async () => {
  ({h, server, browser, page} = await setUpLiveApp({mpn: QFN, waitFor: '#svgbox [data-pad]'}));
});

after(() => tearDownLiveApp({h, server, browser}));

const pad = n => page.locator(`#svgbox [data-pad="${n}"]`);
const box = async n => pad(n).boundingBox();
const centre = b => ({x: b.x + b.width / 2, y: b.y + b.height / 2});
const near = (a, b, tol, what) => assert.ok(Math.abs(a - b) <= tol, `${what}: ${a} vs ${b}`);

async function fit() {
  await page.click('#fpFit');
  await page.mouse.move(5, 400);
}

test('the wheel zooms about the pointer by exp(-0.0022·delta) with the delta clamped to ±50', async () => {
  await fit();
  const before = await box('21');
  const c = centre(await box('3'));
  await page.mouse.move(c.x, c.y);
  await page.mouse.wheel(0, 120);  // clamped to 50
  await page.waitForFunction(() => _fpScale !== 1);
  let after = await box('3');
  near(centre(after).x, c.x, 0.6, 'pointer x stays');
  near(centre(after).y, c.y, 0.6, 'pointer y stays');
  near((await box('21')).width / before.width, Math.exp(-0.11), 0.002, 'zoom out factor');

  await page.mouse.wheel(0, -20);
  await page.waitForFunction(() => Math.abs(_fpScale - Math.exp(-0.11 + 0.044)) < 1e-9);
  after = await box('3');
  near(centre(after).x, c.x, 0.6, 'pointer x stays');
  near((await box('21')).width / before.width, Math.exp(-0.11 + 0.044), 0.002, 'zoom in factor');

  // A line-mode delta (a mouse notch of 7.5 lines) is clamped the same way
  // and the page does not scroll.
  const prevented = await page.evaluate(({x, y}) => {
    const e = new WheelEvent('wheel', {deltaY: 7.5, deltaMode: 1, clientX: x, clientY: y, bubbles: true, cancelable: true});
    document.getElementById('svgbox').dispatchEvent(e);
    return e.defaultPrevented;
  }, c);
  assert.ok(prevented);
  near((await box('21')).width / before.width, Math.exp(-0.11 + 0.044 - 0.11), 0.002, 'line-mode factor');
});

test('dragging the canvas pans by the pointer movement', async () => {
  await fit();
  const before = centre(await box('21'));
  const sb = await page.locator('#svgbox').boundingBox();
  const start = {x: sb.x + 60, y: sb.y + sb.height - 60};
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move(start.x + 20, start.y + 10, {steps: 3});
  assert.ok(await page.locator('#svgbox').evaluate(n => n.classList.contains('grab')));
  await page.mouse.move(start.x + 40, start.y + 25, {steps: 3});
  await page.mouse.up();
  assert.equal(await page.locator('#svgbox').evaluate(n => n.classList.contains('grab')), false);
  const after = centre(await box('21'));
  near(after.x - before.x, 40, 0.6, 'pan x');
  near(after.y - before.y, 25, 0.6, 'pan y');
});

test('the toolbar zooms about the centre by 1.2 and fits back', async () => {
  await fit();
  const initial = await box('21');
  const sb = await page.locator('#svgbox').boundingBox();
  const mid = {x: sb.x + sb.width / 2, y: sb.y + sb.height / 2};
  const c0 = centre(initial);
  await page.click('#fpZin');
  const zin = await box('21');
  near(zin.width / initial.width, 1.2, 0.002, 'zoom in');
  near(centre(zin).x - mid.x, (c0.x - mid.x) * 1.2, 0.6, 'about the centre');
  await page.click('#fpZout');
  await page.click('#fpZout');
  near((await box('21')).width / initial.width, 1 / 1.2, 0.002, 'zoom out');
  await page.mouse.move(mid.x, mid.y);
  await page.mouse.wheel(0, 60);
  await page.click('#fpFit');
  const back = await box('21');
  near(back.x, initial.x, 0.3, 'fit x');
  near(back.width, initial.width, 0.3, 'fit width');
  assert.deepEqual(await page.locator('#svgbox .av-tools button').evaluateAll(bs => bs.map(b => b.title)),
                   ['Zoom in', 'Zoom out', 'Zoom to fit']);
});

test('a pad shows its tooltip at once; a button after resting on it', async () => {
  await fit();
  const c = centre(await box('1'));
  await page.mouse.move(c.x, c.y);
  await page.waitForSelector('#tip.show');
  assert.equal(await page.textContent('#tip .padttl'), 'Pad 1');
  assert.equal(await page.textContent('#tip .padsub'), 'roundrect · 0.800x0.250 mm · smd');
  await page.mouse.move(5, 400);
  assert.equal(await page.locator('#tip').isVisible(), false);

  const b = await page.locator('#btnLayers').boundingBox();
  await page.evaluate(() => {
    window.__tipTimes = {};
    document.getElementById('btnLayers').addEventListener('pointerover', () => { window.__tipTimes.over = performance.now(); }, {once: true});
    new MutationObserver((_, obs) => {
      if (document.getElementById('tip').classList.contains('show')) { window.__tipTimes.shown = performance.now(); obs.disconnect(); }
    }).observe(document.getElementById('tip'), {attributes: true});
  });
  await page.mouse.move(b.x + 5, b.y + 5);
  await page.waitForSelector('#tip.show');
  const times = await page.evaluate(() => window.__tipTimes);
  assert.ok(times.shown - times.over >= 490, `shown after ${times.shown - times.over} ms`);
  assert.equal(await page.textContent('#tip'), await page.getAttribute('#btnLayers', 'data-tooltip'));
  const t = await page.locator('#tip').boundingBox();
  assert.ok(t.y >= b.y + b.height + 7, 'placed below a button at the top edge');
  assert.ok(t.x >= 8 && t.x + t.width <= 1280 - 8, 'kept inside the window');
  await page.mouse.move(5, 400);
  assert.equal(await page.locator('#tip').isVisible(), false);
});

test('a pad under a drill hole and paste dots still shows its tooltip', async () => {
  await pushFootprint(server, {kicadMod: readFileSync(h.partFile('61300411121'), 'utf8')});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === '61300411121');
  await page.evaluate(() => window.ui.layer('paste-dots', 'on'));
  const c = centre(await box('2'));
  await page.mouse.move(c.x, c.y);
  await page.waitForSelector('#tip.show');
  assert.equal(await page.textContent('#tip .padttl'), 'Pad 2');
  assert.equal(await page.textContent('#tip .padsub'), 'oval · 1.700x1.700 mm · thru_hole');
  await page.mouse.move(5, 400);
});

test('a 2000-pad footprint loads and stays responsive (frame times reported)', async t => {
  const mod = await createFootprint(h, gridFootprint('GRID2000', 2000));
  await page.evaluate(() => {
    window.__longTasks = [];
    new PerformanceObserver(l => { for (const e of l.getEntries()) window.__longTasks.push(e.duration); })
      .observe({type: 'longtask', buffered: false});
  });
  const pushed = Date.now();
  await pushFootprint(server, {kicadMod: mod});
  await page.waitForFunction(() => document.querySelectorAll('#svgbox [data-pad]').length === 2000, null, {timeout: 15000});
  const shownAfter = Date.now() - pushed;

  await page.evaluate(() => {
    window.__frames = [];
    let last = performance.now();
    const tick = now => { window.__frames.push(now - last); last = now; if (window.__frames.length < 100000) requestAnimationFrame(tick); };
    requestAnimationFrame(tick);
  });
  const sb = await page.locator('#svgbox').boundingBox();
  const mid = {x: sb.x + sb.width / 2, y: sb.y + sb.height / 2};
  await page.mouse.move(mid.x, mid.y);
  for (let i = 0; i < 20; i++) await page.mouse.wheel(0, -40);
  await page.mouse.down();
  for (let i = 0; i < 40; i++) await page.mouse.move(mid.x + i * 4, mid.y + i * 2);
  await page.mouse.up();
  for (let i = 0; i < 20; i++) await page.mouse.wheel(0, 40);
  const m = await page.evaluate(() => {
    const f = window.__frames.slice(2).sort((a, b) => a - b);
    return {frames: f.length, median: f[Math.floor(f.length / 2)], p95: f[Math.floor(f.length * 0.95)],
            longest: f[f.length - 1], longTasks: window.__longTasks.slice()};
  });
  t.diagnostic(`2000 pads: shown ${shownAfter} ms after the push (poll every 1000 ms); ` +
               `frame time median ${m.median.toFixed(1)} ms, p95 ${m.p95.toFixed(1)} ms, longest ${m.longest.toFixed(1)} ms ` +
               `over ${m.frames} frames; long tasks while loading: ${m.longTasks.map(d => d.toFixed(0)).join(', ') || 'none'} ms`);
  assert.ok(m.frames > 10);
  assert.ok(await page.evaluate(() => _fpScale !== 1 && _fpTx !== 0));
  assert.deepEqual(page.errors, []);
});
