// Library rail and chip section: listing, filter, project selector, arrow-key
// browsing with the 260 ms load, the ?mpn= deep link, chip rows and the 3D
// image, and metadata that must stay text.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {setUpLiveApp, tearDownLiveApp, startServer, reopen, recordRequests, getJson, fixtureMod, waitUntil, sleep,
        QFN} from './lib.mjs';

const XSS = '<img src=x onerror=window.__pwned=1>';

let h, server, browser, page;

before(async () => {
  ({h, server, browser, page} = await setUpLiveApp({prepare: addParts}));
});

after(() => tearDownLiveApp({h, server, browser}));

// A part with only the large image (not announced), one whose body lacks y
// and whose pad count is unknown, and one whose every text is markup.
function addParts(home) {
  const png = readFileSync(join(home.partDir(QFN), `${QFN}-3d-iso.png`));
  home.addPart('LGONLY', {'LGONLY.kicad_mod': fixtureMod('LGONLY'), 'LGONLY-3d-iso-lg.png': png});
  home.addPart('NOBODY', {
    'NOBODY.kicad_mod': fixtureMod('NOBODY'),
    'NOBODY-footprint.extracted.json': JSON.stringify({manufacturer: null, package: 'SON', padCount: null,
                                                       bodyDimensions: {x: 2}, pads: []}),
    'info.json': JSON.stringify({manufacturer: 'Acme', description: 'from info', family: ''}),
  });
  home.addPart(XSS, {
    'x.kicad_mod': fixtureMod(XSS),
    [`${XSS}-footprint.extracted.json`]: JSON.stringify({manufacturer: XSS, package: XSS, padCount: XSS,
                                                         bodyDimensions: {x: XSS, y: 1}, description: XSS}),
    'info.json': JSON.stringify({family: XSS, datasheet_url: 'javascript:window.__pwned=2'}),
  });
  const projFile = join(home.home, '.config', 'tovik-partloom', 'projects.json');
  const projects = JSON.parse(readFileSync(projFile, 'utf8'));
  projects.projects['Ghost board'] = {mpns: ['NOT-IN-LIBRARY']};
  projects.projects[XSS] = {mpns: [XSS]};
  writeFileSync(projFile, JSON.stringify(projects));
}

const items = () => page.locator('#chipList .chip-item').allTextContents();
const current = () => page.locator('#chipList .chip-item.current').allTextContents();
const stateMpn = async () => (await getJson(server, 'state')).mpn;

async function openRail() {
  await page.waitForSelector('#rail:not(.hidden)');
  if (await page.locator('#railTab').isVisible()) await page.click('#railTab');
  await page.waitForSelector('#chipList .chip-item');
}

test('the rail starts collapsed, opens from its tab and lists the library in order', async () => {
  await reopen(page, server.url);
  await page.waitForSelector('#rail:not(.hidden)');
  assert.ok(await page.locator('#railTab').isVisible());
  assert.equal(await page.getAttribute('#railTab', 'title'), 'Chip library — expand to browse the partloom library (↑/↓)');
  await page.click('#railTab');
  await page.waitForFunction(() => document.activeElement === document.getElementById('chipFilter'));
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpChipRail')), '1');
  // Sorted by the lower-cased part number, byte by byte: '<' sorts after digits.
  const all = ['61300411121', XSS, 'LGONLY', 'MMBT3904', 'NOBODY', 'RC0603FR-0710KL', 'TPS62840DLCR', 'UVR1H101MPD'];
  assert.deepEqual(await items(), all);
  assert.equal(await page.textContent('#railCount'), `Library · ${all.length}`);
  assert.equal(await page.getAttribute('#chipFilter', 'placeholder'), 'Filter chips…');
  assert.equal(await page.textContent('.rail-hint'), '↑ / ↓ to switch · click to load · ?mpn= to deep-link');
  await page.click('#railClose');
  assert.ok(await page.locator('#railTab').isVisible());
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpChipRail')), '0');
});

test('the filter and the project selector narrow the list', async () => {
  await reopen(page, server.url, {storage: {tovikFpChipRail: '1'}});
  await openRail();
  await page.fill('#chipFilter', '  RC06 ');
  assert.deepEqual(await items(), ['RC0603FR-0710KL']);
  await page.fill('#chipFilter', 'zzz');
  assert.deepEqual(await items(), []);
  assert.equal(await page.textContent('#chipList'), 'no matching chips');
  assert.equal(await page.textContent('#railCount'), 'Library · 0');
  await page.fill('#chipFilter', '');

  // Projects with no part in the library are not offered; names stay text.
  assert.deepEqual(await page.locator('#projSel option').allTextContents(),
                   ['All chips (8)', `${XSS} (1)`, 'Buck regulator board (3)', 'Sensor node (3)']);
  assert.equal(await page.getAttribute('#projSel', 'title'), 'Filter by partloom project');
  await page.selectOption('#projSel', 'Sensor node');
  assert.deepEqual(await items(), ['61300411121', 'MMBT3904', 'RC0603FR-0710KL']);
  assert.equal(await page.textContent('#railCount'), 'Sensor node · 3');
  assert.ok(await page.evaluate(() => document.activeElement.id === 'chipList'));
  await page.fill('#chipFilter', 'mm');
  assert.deepEqual(await items(), ['MMBT3904']);

  // A selected project that is gone when the lists are fetched again falls
  // back to all parts.
  const projFile = join(h.home, '.config', 'tovik-partloom', 'projects.json');
  const saved = readFileSync(projFile, 'utf8');
  const projects = JSON.parse(saved);
  delete projects.projects['Sensor node'];
  writeFileSync(projFile, JSON.stringify(projects));
  await page.fill('#chipFilter', '');
  await page.evaluate(() => window.ui.library('on'));
  await page.waitForFunction(() => document.getElementById('projSel').options.length === 3);
  assert.equal(await page.inputValue('#projSel'), '');
  assert.equal((await items()).length, 8);
  assert.equal(await page.textContent('#railCount'), 'Library · 8');
  writeFileSync(projFile, saved);
});

test('arrow keys highlight at once and load only the part finally reached, 260 ms later', async () => {
  await reopen(page, server.url, {storage: {tovikFpChipRail: '1'}});
  await openRail();
  const loads = recordRequests(page, 'load-chip');
  const historyLength = await page.evaluate(() => history.length);
  await page.selectOption('#projSel', 'Buck regulator board');
  await page.focus('#chipFilter');
  // The highlight after every key press, recorded in the page.
  await page.evaluate(() => {
    window.__highlights = [];
    new MutationObserver(() => {
      const c = document.querySelector('#chipList .chip-item.current');
      window.__highlights.push(c ? c.textContent : null);
    }).observe(document.getElementById('chipList'), {childList: true});
  });
  await page.keyboard.press('ArrowUp');  // nothing highlighted: the last part
  await page.keyboard.press('ArrowDown');  // stays on the last part
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('ArrowUp');
  assert.deepEqual(await page.evaluate(() => window.__highlights),
                   ['UVR1H101MPD', 'UVR1H101MPD', 'TPS62840DLCR', 'RC0603FR-0710KL']);
  await waitUntil(() => loads.length === 1, {what: 'one load'});
  await sleep(400);
  assert.equal(loads.length, 1, 'only the part finally reached is loaded');
  assert.deepEqual(JSON.parse(loads[0].body), {mpn: 'RC0603FR-0710KL'});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'RC0603FR-0710KL');
  assert.equal(new URL(page.url()).searchParams.get('mpn'), 'RC0603FR-0710KL');
  assert.equal(await page.evaluate(() => history.length), historyLength, 'no new history entry');

  // Outside the filter, with focus on the page, the arrows still browse.
  await page.locator('#stage').click({position: {x: 20, y: 300}});
  await page.keyboard.press('ArrowDown');
  assert.deepEqual(await current(), ['TPS62840DLCR']);
  await waitUntil(async () => (await stateMpn()) === 'TPS62840DLCR', {what: 'TPS load'});

  // Enter loads the highlighted part at once; a click selects.
  await page.focus('#chipFilter');
  await page.keyboard.press('ArrowDown');
  await page.evaluate(() => {
    window.__fetched = [];
    const original = window.fetch;
    window.fetch = (url, opts) => { window.__fetched.push(String(url)); return original(url, opts); };
  });
  await page.keyboard.press('Enter');
  assert.ok((await page.evaluate(() => window.__fetched)).includes('load-chip'), 'Enter loads without the pause');
  await waitUntil(() => loads.some(l => JSON.parse(l.body).mpn === 'UVR1H101MPD'), {what: 'Enter load'});
  await page.click('#chipList .chip-item >> text=RC0603FR-0710KL');
  await waitUntil(async () => (await stateMpn()) === 'RC0603FR-0710KL', {what: 'click load'});
});

test('the ?mpn= deep link loads a listed part once and ignores unknown parts', async () => {
  const loads = recordRequests(page, 'load-chip');
  await reopen(page, server.url, {query: '?mpn=MMBT3904'});
  await waitUntil(async () => (await stateMpn()) === 'MMBT3904', {what: 'deep link'});
  await sleep(1500);
  assert.ok(loads.length <= 1);
  await page.evaluate(() => window.ui.library('on'));  // refetching does not load again
  await sleep(500);
  assert.ok(loads.length <= 1);

  const otherLoads = recordRequests(page, 'load-chip');
  await reopen(page, server.url, {query: '?mpn=NOPE'});
  await page.waitForSelector('#rail:not(.hidden)');
  await sleep(800);
  assert.equal(otherLoads.length, 0);
  assert.equal(await page.locator('#toast').isVisible(), false);
  assert.equal(await stateMpn(), 'MMBT3904');
});

test('the chip section shows the part, its rows, datasheet and 3D image', async () => {
  await reopen(page, server.url);
  await page.evaluate(q => window.ui.loadChip(q), QFN);
  await page.waitForFunction(() => !document.getElementById('chipSec').classList.contains('hidden') &&
                                   document.querySelector('#chipInfo .mpn').textContent === 'TPS62840DLCR');
  assert.equal(await page.textContent('#chipInfo .mfr'), 'Texas Instruments');
  assert.match(await page.textContent('#chipInfo .desc'), /^Step-down converter/);
  const rows = await page.locator('#chipInfo dl > *').allTextContents();
  assert.deepEqual(rows, ['Package', 'VQFN-20 (4x4)', 'Body', '4 × 4 × 0.9 mm', 'Pads', '21', 'Family', 'DC/DC converters']);
  const link = page.locator('#chipInfo a');
  assert.equal(await link.textContent(), 'Datasheet ↗');
  assert.equal(await link.getAttribute('href'), 'https://www.ti.com/lit/ds/symlink/tps62840.pdf');
  assert.equal(await link.getAttribute('target'), '_blank');
  assert.equal(await link.getAttribute('rel'), 'noopener');
  assert.equal(await page.getAttribute('#chipImg', 'src'), `api/chip3d?mpn=${QFN}`);
  await page.waitForFunction(() => document.getElementById('chipImg').naturalWidth > 0);
  assert.ok(await page.locator('#chipImg').isVisible());
  assert.equal(await page.locator('#no3d').isVisible(), false);

  // Only the large image: no preview announced.
  await page.evaluate(() => window.ui.loadChip('LGONLY'));
  await page.waitForFunction(() => document.querySelector('#chipInfo .mpn').textContent === 'LGONLY');
  assert.ok(await page.locator('#no3d').isVisible());
  assert.equal(await page.textContent('#no3d'), 'No 3D preview for this part');
  assert.equal(await page.getAttribute('#chipImg', 'src'), null);
  assert.equal(await page.locator('#chipImg').isVisible(), false);

  // No body y: no Body row; unknown pad count: the footprint's own.
  await page.evaluate(() => window.ui.loadChip('NOBODY'));
  await page.waitForFunction(() => document.querySelector('#chipInfo .mpn').textContent === 'NOBODY');
  assert.deepEqual(await page.locator('#chipInfo dl > *').allTextContents(), ['Package', 'SON', 'Pads', '2']);
  assert.equal(await page.textContent('#chipInfo .mfr'), 'Acme');
  assert.equal(await page.textContent('#chipInfo .desc'), 'from info');
  assert.equal(await page.locator('#chipInfo a').count(), 0);
});

test('part numbers and metadata holding markup are shown as text and never run', async () => {
  await reopen(page, server.url, {storage: {tovikFpChipRail: '1'}});
  await openRail();
  await page.locator('#chipList .chip-item', {hasText: 'onerror'}).click();
  await page.waitForFunction(x => document.querySelector('#chipInfo .mpn')?.textContent === x, XSS, {timeout: 5000});
  assert.equal(await page.textContent('#fpName'), XSS);
  assert.equal(await page.textContent('#chipInfo .mfr'), XSS);
  assert.deepEqual(await page.locator('#chipInfo dl > *').allTextContents(),
                   ['Package', XSS, 'Body', `${XSS} × 1 mm`, 'Pads', XSS, 'Family', XSS]);
  assert.equal(await page.locator('#chipInfo a').count(), 0, 'a javascript: datasheet gets no link');
  await page.evaluate(x => window.ui.loadChip(x + 'missing'), XSS);
  await page.waitForSelector('#toast.show.err');
  assert.equal(await page.textContent('#toast'), `✕ ${XSS}missing not in library`);
  await sleep(300);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.locator('body img:not(#chipImg)').count(), 0);
  assert.deepEqual(page.errors, []);
});

test('an empty library keeps the rail hidden', async () => {
  const empty = {home: join(h.root, 'empty-home'), root: h.root, tmp: h.tmp, bin: h.bin};
  const emptyServer = await startServer(empty);
  try {
    await reopen(page, emptyServer.url, {storage: {tovikFpChipRail: '1'}});
    await sleep(500);
    assert.equal(await page.locator('#rail').isVisible(), false);
    assert.deepEqual(await page.evaluate(() => window.ui.chips()), []);
  } finally {
    await emptyServer.stop();
  }
});
