// A KiCad 9 library footprint: its (property "Reference" …) and
// (property "Value" …) texts are shown as labels, dragged, and saved back into
// those entries; the whole footprint stays in view.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {join} from 'node:path';
import {setUpLiveApp, tearDownLiveApp, waitUntil, CORPUS} from './lib.mjs';

const SOURCE = join(CORPUS, 'kicad9', 'Package_DFN_QFN.pretty__QFN-64-1EP_9x9mm_P0.5mm_EP7.3x7.3mm.kicad_mod');
const MPN = 'QFN64-KICAD9';

let h, server, browser, page, original;

before(async () => {
  original = readFileSync(SOURCE, 'utf8');
  ({h, server, browser, page} = await setUpLiveApp({
    prepare: home => home.addPart(MPN, {[`${MPN}.kicad_mod`]: original}),
    mpn: MPN,
    waitFor: '#svgbox [data-pad]',
  }));
});

after(() => tearDownLiveApp({h, server, browser}));

function propertyAt(text, name) {
  const m = new RegExp(`\\(property "${name}" "[^"]*"\\s+\\(at (-?[\\d.]+) (-?[\\d.]+)( -?[\\d.]+)?\\)`).exec(text);
  return m ? [Number(m[1]), Number(m[2])] : null;
}

test('both property texts are shown as labels and the whole footprint is in view', async () => {
  assert.equal(await page.textContent('#fpName'), 'QFN-64-1EP_9x9mm_P0.5mm_EP7.3x7.3mm');
  await page.waitForSelector('#svgbox .fp-textlabel.val');
  const t = await page.evaluate(() => ({reference: _txt.reference, value: _txt.value}));
  assert.deepEqual(t, {reference: {x: 0, y: -5.83, size: 1, hidden: false}, value: {x: 0, y: 5.83, size: 1, hidden: false}});
  assert.deepEqual(await page.locator('#svgbox .fp-textlabel text').allTextContents(), ['Reference', 'Value']);
  // A canvas taller than wide: the view box alone decides what is seen across.
  await page.setViewportSize({width: 760, height: 900});
  const area = await page.locator('#svgbox').boundingBox();
  const boxes = await page.locator('#svgbox [data-pad], #svgbox .fp-textlabel').evaluateAll(
    els => els.map(e => { const r = e.getBoundingClientRect(); return [r.left, r.top, r.right, r.bottom]; }));
  // 64 pins and the exposed pad, plus the two labels.
  assert.ok(boxes.length >= 67, String(boxes.length));
  for (const [l, tp, r, b] of boxes) {
    assert.ok(l >= area.x && tp >= area.y && r <= area.x + area.width && b <= area.y + area.height,
              `inside the canvas: ${[l, tp, r, b]}`);
  }
  await page.setViewportSize({width: 1280, height: 800});
});

test('dragging the value label saves it into the Value property; nothing else changes', async () => {
  const label = page.locator('#svgbox .fp-textlabel.val text');
  const b = await label.boundingBox();
  await page.mouse.move(b.x + b.width / 2, b.y + b.height / 2);
  await page.mouse.down();
  await page.mouse.move(b.x + b.width / 2 + 12, b.y + b.height / 2 + 30, {steps: 6});
  await page.mouse.up();
  const value = await page.evaluate(() => _txt.value);
  assert.ok(value.y > 5.83 && value.x > 0, JSON.stringify(value));
  const file = h.partFile(MPN);
  await waitUntil(() => String(propertyAt(readFileSync(file, 'utf8'), 'Value')) === String([value.x, value.y]),
                  {what: 'saved Value property'});
  const saved = readFileSync(file, 'utf8');
  assert.deepEqual(propertyAt(saved, 'Reference'), [0, -5.83]);
  assert.equal(readFileSync(file + '.orig', 'utf8'), original);
  // Only the two positions changed.
  const strip = s => s.replace(/\(property "(Reference|Value)" "[^"]*"\s+\(at [^)]*\)/g, '');
  assert.equal(strip(saved), strip(original));
  assert.ok(saved.includes('(fp_text user "${REFERENCE}"'));
});
