// Layers: which rows are listed, the paste-dot default, toggling, and the
// choice remembered under "tovikFpLayers_v2" across a reload; the section and
// panel controls.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {setUpLiveApp, tearDownLiveApp, reopen, waitLive, pushFootprint, QFN} from './lib.mjs';

let h, server, browser, page;

before(async () => {
  ({h, server, browser, page} = await setUpLiveApp({mpn: QFN}));
});

after(() => tearDownLiveApp({h, server, browser}));

const rowNames = () => page.locator('#layerRows .av-lrow .ln').allTextContents();
const rowOf = name => page.locator('#layerRows .av-lrow', {has: page.locator(`.ln:text-is("${name}")`)});
const groupHidden = cls =>
  page.evaluate(c => Array.from(document.querySelectorAll(`#svgbox .${c}`)).every(g => g.style.display === 'none'), cls);

async function loaded(storage) {
  await reopen(page, server.url, {storage});
  await page.waitForSelector('#layerRows .av-lrow');
}

test('rows are listed only for groups with geometry; the paste-dot row is always there and off', async () => {
  await loaded();
  // The QFN has an exposed pad (heat-sink vias) and no drill holes.
  assert.deepEqual(await rowNames(), ['Copper', 'Heatsink vias', 'Pad numbers', 'Silkscreen', 'Fab (F.Fab)',
                                          'Courtyard', 'Paste apertures', 'Solder paste jet']);
  const state = await page.evaluate(() => window._lastState);
  const dots = rowOf('Solder paste jet');
  assert.equal(await dots.getAttribute('class'), 'av-lrow off special');
  assert.equal(await dots.locator('.meta').textContent(), `${state.pasteDots} @ 300µm`);
  assert.equal(await rowOf('Paste apertures').locator('.meta').textContent(), `${state.pasteApertures} openings`);
  assert.ok(state.pasteDots > 0);
  assert.ok(await groupHidden('tovik-layer-paste-dots'));
  assert.equal(await groupHidden('tovik-layer-silk'), false);
  assert.match(await page.textContent('#layersSec .note'), /^Solder-paste dispensing dots — 300µm each — computed/);

  // A through-hole part lists Drill; an SMD part without paste layers has no
  // paste apertures and no dots.
  await pushFootprint(server, {kicadMod: readFileSync(h.partFile('61300411121'), 'utf8')});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === '61300411121');
  assert.ok((await rowNames()).includes('Drill'));
  const noPaste = `(footprint "NOPASTE" (layer "F.Cu")
  (pad "1" smd rect (at 0 0) (size 1 1) (layers "F.Cu" "F.Mask"))
)`;
  await pushFootprint(server, {kicadMod: noPaste});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'NOPASTE');
  assert.deepEqual(await rowNames(), ['Copper', 'Pad numbers', 'Solder paste jet']);
  assert.equal(await rowOf('Solder paste jet').locator('.meta').textContent(), '0 @ 300µm');
});

test('toggling hides groups and is remembered under tovikFpLayers_v2 across a reload and a new footprint', async () => {
  await pushFootprint(server, {kicadMod: readFileSync(h.partFile(QFN), 'utf8')});
  await loaded();
  await page.waitForFunction(q => document.getElementById('fpName').textContent === q, QFN);
  await rowOf('Silkscreen').click();
  await rowOf('Solder paste jet').click();
  assert.ok(await groupHidden('tovik-layer-silk'));
  assert.equal(await groupHidden('tovik-layer-paste-dots'), false);
  assert.equal(await rowOf('Silkscreen').getAttribute('class'), 'av-lrow off');
  assert.equal(await rowOf('Silkscreen').locator('.chk').textContent(), '');
  assert.equal(await rowOf('Solder paste jet').locator('.chk').textContent(), '✓');
  const stored = JSON.parse(await page.evaluate(() => localStorage.getItem('tovikFpLayers_v2')));
  assert.equal(stored.silk, false);
  assert.equal(stored['paste-dots'], true);

  await page.reload();
  await page.waitForSelector('#layerRows .av-lrow');
  assert.ok(await groupHidden('tovik-layer-silk'));
  assert.equal(await groupHidden('tovik-layer-paste-dots'), false);
  assert.equal(await rowOf('Solder paste jet').getAttribute('class'), 'av-lrow on special');

  await pushFootprint(server, {kicadMod: readFileSync(h.partFile('MMBT3904'), 'utf8')});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'MMBT3904');
  assert.equal(await groupHidden('tovik-layer-paste-dots'), false);
  assert.ok(await groupHidden('tovik-layer-silk'));
});

test('choices stored under another key are ignored', async () => {
  await loaded({tovikFpLayers: JSON.stringify({silk: false, 'paste-dots': true})});
  assert.equal(await groupHidden('tovik-layer-silk'), false);
  assert.ok(await groupHidden('tovik-layer-paste-dots'));
});

test('the Layers section folds from its head, ▾ and ✕, and ▦ Layers brings it back', async () => {
  await loaded();
  const rows = page.locator('#layerRows');
  await page.click('#layersClose');
  assert.equal(await rows.isVisible(), false);
  assert.equal(await page.textContent('#layersFold'), '▸');
  await page.click('#layersHead .ttl');
  assert.ok(await rows.isVisible());
  assert.equal(await page.textContent('#layersFold'), '▾');
  await page.click('#layersFold');
  assert.equal(await rows.isVisible(), false);
  // Collapse the whole panel, then ▦ Layers opens both.
  await page.click('#panelClose');
  assert.equal(await page.locator('#layersSec').isVisible(), false);
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpPanel')), '0');
  assert.ok(await page.locator('#panelTab').isVisible());
  await page.click('#btnLayers');
  assert.ok(await rows.isVisible());
  assert.equal(await page.textContent('#layersFold'), '▾');
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpPanel')), '1');
});

test('the details panel remembers being closed across a reload and reopens from its tab', async () => {
  await loaded();
  await page.click('#panelClose');
  await page.reload();
  await waitLive(page);
  assert.ok(await page.locator('#panel').evaluate(n => n.classList.contains('collapsed')));
  assert.equal(await page.locator('#panelTab').textContent(), '›Details');
  await page.click('#panelTab');
  assert.ok(await page.locator('#layersSec').isVisible());
});
