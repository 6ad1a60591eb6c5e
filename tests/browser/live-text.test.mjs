// Text placement editor: dragging, number fields, nudges, auto-layout, undo
// and redo, the status line, the tool wording, the save states and the file
// on disk.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {existsSync, readFileSync} from 'node:fs';
import {setUpLiveApp, tearDownLiveApp, pushFootprint, recordRequests, fixtureMod, textAt, getJson, waitUntil,
        sleep} from './lib.mjs';

let h, server, browser, page, original;

before(async () => {
  original = fixtureMod('TXTFIX');
  const prepare = home => {
    home.addPart('TXTFIX', {'TXTFIX.kicad_mod': original});
    for (const mpn of ['AUTO1', 'AUTO2', 'AUTO3']) home.addPart(mpn, {[`${mpn}.kicad_mod`]: fixtureMod(mpn)});
  };
  ({h, server, browser, page} = await setUpLiveApp({prepare, mpn: 'TXTFIX', waitFor: '#svgbox .fp-textlabel'}));
});

after(() => tearDownLiveApp({h, server, browser}));

const r2 = v => Math.round(v * 100) / 100;
const txt = () => page.evaluate(() => ({reference: _txt.reference, value: _txt.value}));
const status = async () => [await page.textContent('#textStatus'), await page.getAttribute('#textStatus', 'class')];
const fileText = mpn => readFileSync(h.partFile(mpn), 'utf8');
const onDisk = (mpn, kind) => textAt(fileText(mpn), kind);
const waitOnDisk = (mpn, kind, xy) =>
  waitUntil(() => String(onDisk(mpn, kind)) === String(xy), {what: `${mpn} ${kind} at ${xy}`});

test('the labels, fields, status and save chip of a fresh footprint', async () => {
  const labels = page.locator('#svgbox .fp-textlabel');
  assert.deepEqual(await labels.evaluateAll(gs => gs.map(g => g.getAttribute('class'))),
                   ['fp-textlabel ref sel', 'fp-textlabel val']);
  assert.deepEqual(await labels.locator('text').allTextContents(), ['Reference', 'Value']);
  const ref = page.locator('#svgbox .fp-textlabel.ref');
  assert.equal(await ref.locator('text').getAttribute('font-size'), '0.8');  // raised from 0.6
  assert.ok(Math.abs(Number(await ref.locator('rect').getAttribute('width')) - 9 * 0.62 * 0.8) < 1e-9);
  assert.ok(Math.abs(Number(await ref.locator('rect').getAttribute('height')) - 1.2) < 1e-9);
  assert.deepEqual([await page.inputValue('#refX'), await page.inputValue('#refY'),
                    await page.inputValue('#valX'), await page.inputValue('#valY')], ['0', '0', '0', '1']);
  assert.deepEqual(await status(), ['⚠ Reference & Value over the pads — Auto-layout to clear.', 'tstatus warn']);
  assert.equal(await page.textContent('#saveChip'), '✓ Saved automatically');
  assert.ok(await page.locator('#saveChip').isDisabled());
  assert.ok(await page.locator('#btnUndo').isDisabled());
  assert.ok(await page.locator('#btnRedo').isDisabled());
  assert.deepEqual(await page.locator('#toolSel option').allTextContents(), ['KiCad', 'Fusion 360 / EAGLE', 'Altium', 'OrCAD']);
  assert.equal(await page.inputValue('#toolSel'), 'kicad');
  // The view box frames the extent (-2, -1.5, 2, 1.5) and the labels with a margin.
  // ✕ and the head fold the section; ⌖ Text opens the panel and unfolds it.
  await page.click('#textClose');
  assert.equal(await page.locator('#btnAuto').isVisible(), false);
  await page.click('#textHead .ttl');
  assert.ok(await page.locator('#btnAuto').isVisible());
  await page.click('#textClose');
  await page.click('#panelClose');
  await page.click('#btnText');
  assert.ok(await page.locator('#btnAuto').isVisible());
  const vb = (await page.getAttribute('#svgbox > svg', 'viewBox')).split(' ').map(Number);
  assert.ok(vb[0] <= -2.6 && vb[1] <= -2.1 && vb[0] + vb[2] >= 2.6 && vb[1] + vb[3] >= 2.1, String(vb));
});

test('dragging a label moves it in 0.01 mm steps; one send after 220 ms, one save after 600 ms', async () => {
  const texts = recordRequests(page, 'text');
  const saves = recordRequests(page, 'save');
  // The debounces are timed inside the page, so a busy machine cannot upset them.
  await page.evaluate(() => {
    window.__timeline = {};
    document.addEventListener('pointerup', () => { window.__timeline.released = performance.now(); }, {once: true, capture: true});
    const original = window.fetch;
    window.fetch = (url, opts) => {
      const name = String(url);
      if ((name === 'text' || name === 'save') && !(name in window.__timeline)) window.__timeline[name] = performance.now();
      return original(url, opts);
    };
  });
  const label = page.locator('#svgbox .fp-textlabel.val text');
  const b = await label.boundingBox();
  const pxPerMm = await page.evaluate(() => document.querySelector('#svgbox > svg').getScreenCTM().a);
  const from = {x: b.x + b.width / 2, y: b.y + b.height / 2};
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  for (let i = 1; i <= 8; i++) await page.mouse.move(from.x + i * 5, from.y + i * 3.5);
  assert.ok(await page.locator('#svgbox .fp-textlabel.val').evaluate(g => g.classList.contains('sel')));
  await page.mouse.up();
  const {value, reference} = await txt();
  assert.ok(Math.abs(value.x - 40 / pxPerMm) <= 0.011, `${value.x} vs ${40 / pxPerMm}`);
  assert.ok(Math.abs(value.y - (1 + 28 / pxPerMm)) <= 0.011, `${value.y}`);
  assert.equal(r2(value.x), value.x);
  assert.equal(r2(value.y), value.y);
  assert.deepEqual(reference, {x: 0, y: 0, size: 0.6, hidden: false});
  assert.deepEqual([await page.inputValue('#valX'), await page.inputValue('#valY')], [String(value.x), String(value.y)]);
  assert.equal(await page.locator('#svgbox .fp-textlabel.val text').getAttribute('x'), String(value.x));
  assert.equal(await page.evaluate(() => _fpTx), 0, 'the canvas did not pan');

  await waitUntil(() => saves.length === 1, {timeout: 4000, what: 'save'});
  assert.equal(texts.length, 1);
  const timeline = await page.evaluate(() => window.__timeline);
  assert.ok(timeline.text - timeline.released >= 219, `sent ${timeline.text - timeline.released} ms after the release`);
  assert.ok(timeline.save - timeline.text >= 599, `saved ${timeline.save - timeline.text} ms after the send`);
  assert.deepEqual(JSON.parse(texts[0].body), {reference: {x: 0, y: 0, size: 0.6}, value: {x: value.x, y: value.y, size: 0.6}});
  assert.equal(saves[0].body, '{}');
  await waitOnDisk('TXTFIX', 'value', [value.x, value.y]);
  assert.deepEqual(onDisk('TXTFIX', 'reference'), [0, 0]);
  assert.equal(readFileSync(h.partFile('TXTFIX') + '.orig', 'utf8'), original);
  await page.waitForFunction(() => document.getElementById('saveChip').textContent === '✓ Saved automatically');
  assert.equal(await page.locator('#btnUndo').isDisabled(), false);
});

test('a click on a label without moving it still sends and saves', async () => {
  const texts = recordRequests(page, 'text');
  const saves = recordRequests(page, 'save');
  const undoDepth = await page.evaluate(() => _undo.length);
  await page.locator('#svgbox .fp-textlabel.ref text').click();
  await waitUntil(() => saves.length === 1, {timeout: 4000, what: 'save'});
  assert.equal(texts.length, 1);
  assert.equal(await page.evaluate(() => _undo.length), undoDepth, 'no undo step');
  assert.ok(await page.locator('#svgbox .fp-textlabel.ref').evaluate(g => g.classList.contains('sel')));
});

test('number fields and nudges move the label in 0.01 mm steps', async () => {
  const texts = recordRequests(page, 'text');
  await page.fill('#refX', '1.234');
  await page.press('#refX', 'Tab');
  assert.equal((await txt()).reference.x, 1.23);
  assert.equal(await page.inputValue('#refX'), '1.23');
  assert.equal(await page.locator('#svgbox .fp-textlabel.ref text').getAttribute('x'), '1.23');
  await page.fill('#refY', '');
  await page.press('#refY', 'Tab');
  assert.equal((await txt()).reference.y, 0);
  await page.click('#rowVal .nudge >> text=↑');
  const y = (await txt()).value.y;
  await page.click('#rowVal .nudge >> text=↓');
  await page.click('#rowVal .nudge >> text=↓');
  assert.equal((await txt()).value.y, r2(y + 1));
  assert.ok(await page.locator('#svgbox .fp-textlabel.val').evaluate(g => g.classList.contains('sel')));
  await waitUntil(() => texts.length >= 1, {what: 'send'});
  await sleep(300);
  const last = JSON.parse(texts[texts.length - 1].body);
  assert.equal(last.reference.x, 1.23);
  assert.equal(last.value.y, r2(y + 1));

  // A burst of edits inside the 220 ms window is sent once, with the last positions.
  const before = texts.length;
  await page.evaluate(() => {
    const up = document.querySelector('#rowRef .nudge[data-dy="-0.5"]');
    for (let i = 0; i < 4; i++) up.click();
  });
  await waitUntil(() => texts.length > before, {what: 'burst send'});
  await sleep(400);
  assert.equal(texts.length, before + 1);
  assert.equal(JSON.parse(texts[before].body).reference.y, -2);
});

test('auto-layout places the labels 1 mm clear of the extent, sends at once and saves', async () => {
  const texts = recordRequests(page, 'text');
  await page.click('#btnAuto');
  await waitUntil(() => texts.length === 1, {what: 'send'});
  assert.deepEqual(await txt(), {reference: {x: 0, y: -2.5, size: 1, hidden: false},
                                 value: {x: 0, y: 2.5, size: 1, hidden: false}});
  assert.deepEqual(await status(), ['✓ Clear of the footprint (keep-out top -1.50 / bottom 1.50 mm)', 'tstatus ok']);
  assert.equal(await page.locator('#svgbox .fp-textlabel.ref text').getAttribute('font-size'), '1');
  await waitOnDisk('TXTFIX', 'reference', [0, -2.5]);
  await waitOnDisk('TXTFIX', 'value', [0, 2.5]);
  // The placement goes out in the same moment, without the send debounce.
  const calls = await page.evaluate(() => {
    const seen = [];
    const original = window.fetch;
    window.fetch = (url, opts) => { seen.push(String(url)); return original(url, opts); };
    document.getElementById('btnAuto').click();
    window.fetch = original;
    return seen;
  });
  assert.deepEqual(calls, ['text']);
  assert.match(fileText('TXTFIX'), /\(fp_text reference "REF\*\*" \(at 0 -2\.5\)\s+\(layer "F\.SilkS"\) \(effects \(font \(size 1 1\) \(thickness 0\.15\)\)\)\)/);
});

test('the status line judges each label against the extent', async () => {
  await page.evaluate(() => { window.ui.textSet('reference', 0, -1.5); window.ui.textSet('value', 0, 1.49); });
  assert.deepEqual(await status(), ['⚠ Value over the pads — Auto-layout to clear.', 'tstatus warn']);
  await page.evaluate(() => window.ui.textSet('value', 0, 1.5));
  assert.deepEqual(await status(), ['✓ Clear of the footprint (keep-out top -1.50 / bottom 1.50 mm)', 'tstatus ok']);
  await page.evaluate(() => window.ui.textSet('reference', 0, -1.49));
  assert.deepEqual(await status(), ['⚠ Reference over the pads — Auto-layout to clear.', 'tstatus warn']);
});

test('the tool selector changes only the wording and is remembered', async () => {
  await page.selectOption('#toolSel', 'fusion');
  assert.deepEqual(await page.locator('#svgbox .fp-textlabel text').allTextContents(), ['>NAME', '>VALUE']);
  assert.deepEqual([await page.textContent('#termRef'), await page.textContent('#termVal')], ['>NAME', '>VALUE']);
  const size = (await txt()).reference.size;
  const w = Number(await page.getAttribute('#svgbox .fp-textlabel.ref rect', 'width'));
  assert.ok(Math.abs(w - 5 * 0.62 * Math.max(0.8, size)) < 1e-9);
  assert.deepEqual(await status(), ['⚠ >NAME over the pads — Auto-layout to clear.', 'tstatus warn']);
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpTool')), 'fusion');
  await page.selectOption('#toolSel', 'altium');
  assert.deepEqual(await page.locator('#svgbox .fp-textlabel text').allTextContents(), ['Designator', 'Comment']);
  await page.evaluate(() => localStorage.setItem('tovikFpTool', 'bogus'));
  await page.evaluate(() => { updateHudTerms(); injectLabels(); });
  assert.deepEqual(await page.locator('#svgbox .fp-textlabel text').allTextContents(), ['Reference', 'Value']);
  assert.equal(await page.inputValue('#toolSel'), 'kicad');
  await page.selectOption('#toolSel', 'kicad');
});

test('undo and redo: keys, buttons, the 60-step limit and a new edit clearing redo', async () => {
  await page.evaluate(() => { _undo.length = 0; _redo.length = 0; refreshUndoButtons(); });
  await page.locator('#stage').click({position: {x: 30, y: 500}});  // focus off the fields
  await page.keyboard.press('Control+z');
  assert.equal(await page.textContent('#toast'), 'Nothing to undo');
  const before = (await txt()).value.y;
  await page.click('#rowVal .nudge >> text=↓');
  await page.locator('#stage').click({position: {x: 30, y: 500}});
  await page.keyboard.press('Control+z');
  assert.equal(await page.textContent('#toast'), '↶ Undid placement change');
  assert.equal((await txt()).value.y, before);
  await page.keyboard.press('Control+Shift+z');
  assert.equal(await page.textContent('#toast'), '↷ Redid placement change');
  assert.equal((await txt()).value.y, r2(before + 0.5));
  await page.keyboard.press('Control+z');
  await page.keyboard.press('Control+y');
  assert.equal((await txt()).value.y, r2(before + 0.5));
  await page.click('#btnUndo');
  assert.equal((await txt()).value.y, before);
  await page.click('#btnRedo');
  assert.ok(await page.locator('#btnRedo').isDisabled());

  // Typing in a field keeps Ctrl+Z for the field.
  const depth = await page.evaluate(() => _undo.length);
  await page.focus('#valX');
  await page.keyboard.press('Control+z');
  assert.equal(await page.evaluate(() => _undo.length), depth);

  const results = await page.evaluate(() => {
    for (let i = 0; i < 61; i++) window.ui.textSet('value', i / 10, 2);
    const out = [];
    for (let i = 0; i < 61; i++) out.push(window.ui.undo());
    return out;
  });
  assert.deepEqual(results.slice(0, 60), Array(60).fill('undone'));
  assert.equal(results[60], 'nothing to undo');
  assert.equal((await txt()).value.x, 0);
  assert.equal(await page.evaluate(() => window.ui.redo()), 'redone');
  await page.evaluate(() => window.ui.textSet('value', 0, 2.5));
  assert.equal(await page.evaluate(() => window.ui.redo()), 'nothing to redo');
});

test('hidden labels are neither drawn nor listed; a pushed footprint is never saved', async () => {
  await page.evaluate(() => flushPending());  // the earlier edits are settled
  const saves = recordRequests(page, 'save');
  const texts = recordRequests(page, 'text');
  await pushFootprint(server, {kicadMod: fixtureMod('HID1', {valHidden: true})});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'HID1');
  assert.deepEqual(await page.locator('#svgbox .fp-textlabel text').allTextContents(), ['Reference']);
  assert.equal(await page.locator('#rowVal').isVisible(), false);
  assert.deepEqual(await status(), ['⚠ Reference over the pads — Auto-layout to clear.', 'tstatus warn']);
  assert.equal(await page.locator('#saveChip').isVisible(), false, 'nofile hides the chip');
  assert.equal(await page.evaluate(() => _saveState), 'nofile');
  assert.equal((await getJson(server, 'state')).canSave, false);
  await page.click('#rowRef .nudge >> text=↑');
  await waitUntil(() => texts.length === 1, {what: 'send'});
  assert.equal(await page.evaluate(() => window.ui.textSave()), 'saving');
  await sleep(1200);
  assert.equal(saves.length, 0);
  assert.equal(await page.locator('#saveChip').isVisible(), false);

  await pushFootprint(server, {kicadMod: fixtureMod('HID2', {refHidden: true, valHidden: true})});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'HID2');
  assert.equal(await page.locator('#svgbox .fp-textlabel').count(), 0);
  assert.deepEqual(await status(), ['Both labels are hidden in this footprint.', 'tstatus']);
});

test('a footprint arriving from elsewhere never receives the previous placement still waiting to be sent', async () => {
  await page.evaluate(() => flushPending());
  await pushFootprint(server, {kicadMod: fixtureMod('OTHER', {ref: [0.5, -0.5], val: [0.5, 0.5]})});
  const texts = recordRequests(page, 'text');
  // An edit made just before the page's next poll sees the new footprint.
  await page.evaluate(() => { window.ui.textSet('value', 1.11, 1.22); return pollState(); });
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'OTHER');
  await sleep(500);
  assert.equal(texts.length, 0);
  assert.deepEqual((await txt()).value, {x: 0.5, y: 0.5, size: 0.6, hidden: false});
  assert.deepEqual((await getJson(server, 'state')).text.value, {hidden: false, size: 0.6, x: 0.5, y: 0.5});
});

test('edits of the part being left are saved into it, never into the next part', async () => {
  await page.evaluate(() => window.ui.loadChip('AUTO3'));
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'AUTO3');
  const auto1 = fileText('AUTO1');
  await page.evaluate(() => { window.ui.textSet('value', 0.3, 1.7); window.ui.loadChip('AUTO1'); });
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'AUTO1');
  await waitOnDisk('AUTO3', 'value', [0.3, 1.7]);
  await sleep(1200);
  assert.equal(fileText('AUTO1'), auto1);
  assert.deepEqual((await txt()).value, {x: 0, y: 1, size: 0.6, hidden: false});
});

test('with "Auto-layout on open" checked, browsing with the arrow keys lays out and saves each part', async () => {
  await page.check('#autoOpen');
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpAutoOpen')), '1');
  await waitOnDisk('AUTO1', 'value', [0, 2.5]);  // the open part at once
  await page.evaluate(() => window.ui.library('on'));
  await page.waitForSelector('#chipList .chip-item');
  await page.fill('#chipFilter', 'auto');
  await page.keyboard.press('ArrowDown');
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'AUTO2');
  await waitOnDisk('AUTO2', 'reference', [0, -2.5]);
  await waitOnDisk('AUTO2', 'value', [0, 2.5]);
  await page.keyboard.press('ArrowDown');
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'AUTO3');
  await waitOnDisk('AUTO3', 'value', [0, 2.5]);
  assert.ok(existsSync(h.partFile('AUTO3') + '.orig'));
  await page.uncheck('#autoOpen');
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpAutoOpen')), '0');
});
