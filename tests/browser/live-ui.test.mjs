// Every window.ui action driven end to end by the real `ui` command: the page
// runs it and the command prints its result.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {existsSync, readFileSync} from 'node:fs';
import {setUpLiveApp, tearDownLiveApp, ui, getJson, pushFootprint, textAt, waitUntil, sleep, QFN} from './lib.mjs';

const ACTIONS = ['layer', 'zoom', 'send', 'toast', 'text', 'textAuto', 'textSave', 'autoSaveOnOpen', 'textSet',
                 'textState', 'textTool', 'undo', 'redo', 'loadChip', 'chips', 'library', 'state', 'list'];

let h, server, browser, page;

before(async () => {
  ({h, server, browser, page} = await setUpLiveApp({mpn: QFN, waitFor: '#layerRows .av-lrow'}));
});

after(() => tearDownLiveApp({h, server, browser}));

async function run(action, ...args) {
  const r = await ui(server, action, ...args);
  assert.equal(r.code, 0, `ui ${action}: ${r.stderr}`);
  return r.stdout;
}

const hidden = cls => page.evaluate(c => Array.from(document.querySelectorAll(`#svgbox .${c}`))
  .every(g => g.style.display === 'none'), cls);

test('list names every action in order; chips and state print as JSON', async () => {
  assert.equal(await run('list'), JSON.stringify(ACTIONS, null, 2) + '\n');
  assert.equal(await run('chips'), JSON.stringify(['61300411121', 'MMBT3904', 'RC0603FR-0710KL', QFN, 'UVR1H101MPD'], null, 2) + '\n');
  const state = JSON.parse(await run('state'));
  assert.equal(state.footprintName, QFN);
  assert.equal(state.padCount, 21);
  assert.equal((await run('bogus')), 'window.ui not ready — is a browser tab open?\n');
});

test('layer finds by key, name or part of a name and switches the row', async () => {
  assert.equal(await run('layer', 'silk', 'off'), 'Silkscreen=false\n');
  assert.ok(await hidden('tovik-layer-silk'));
  assert.equal(await run('layer', 'Silkscreen'), 'Silkscreen=true\n');
  assert.equal(await hidden('tovik-layer-silk'), false);
  assert.equal(await run('layer', 'paste'), 'Paste apertures=true\n');
  assert.equal(await run('layer', 'paste-dots', 'on'), 'Solder paste jet=true\n');
  assert.equal(await hidden('tovik-layer-paste-dots'), false);
  assert.equal(JSON.parse(await page.evaluate(() => localStorage.getItem('tovikFpLayers_v2')))['paste-dots'], true);
  assert.equal(await run('layer', 'paste-dots', '0'), 'Solder paste jet=false\n');
  assert.ok(await hidden('tovik-layer-paste-dots'));
  // No drill holes on this part: found, but there is no row to switch.
  assert.equal(await run('layer', 'drill', 'on'), 'Drill=true\n');
  assert.equal(await run('layer', 'nope'),
               'no layer: nope (have: copper, heatsink, padnum, silk, fab, courtyard, drill, paste-ap, paste-dots)\n');
  // window.layers, the smaller object, from the page itself.
  assert.equal(await page.evaluate(() => window.layers.toggle('fab', false)), 'fab=false');
  assert.ok(await hidden('tovik-layer-fab'));
  assert.equal(await page.locator('#layerRows .av-lrow', {hasText: 'Fab (F.Fab)'}).getAttribute('class'), 'av-lrow off');
  assert.equal(await page.evaluate(() => window.layers.toggle('bogus', true)), 'no layer bogus');
  assert.equal(await page.evaluate(() => window.layers.state().fab), false);
  await page.evaluate(() => window.layers.toggle('fab', true));
});

test('zoom in, out and anything else fits', async () => {
  assert.equal(await run('zoom', 'in'), 'zoom in\n');
  assert.ok(Math.abs(await page.evaluate(() => _fpScale) - 1.2) < 1e-9);
  assert.equal(await run('zoom', 'out'), 'zoom out\n');
  assert.equal(await run('zoom', 'out'), 'zoom out\n');
  assert.ok(Math.abs(await page.evaluate(() => _fpScale) - 1 / 1.2) < 1e-9);
  assert.equal(await run('zoom', 'reset'), 'zoom reset\n');
  assert.deepEqual(await page.evaluate(() => [_fpScale, _fpTx, _fpTy]), [1, 0, 0]);
});

test('toast and send show toasts; an unknown target is refused', async () => {
  assert.equal(await run('toast', 'hi "there"'), 'toast: hi "there"\n');
  assert.equal(await page.textContent('#toast'), 'hi "there"');
  assert.equal(await page.getAttribute('#toast', 'class'), 'toast show');
  assert.equal(await run('send', 'fusion'), 'no send target: fusion\n');
  assert.equal(await run('send', 'kicad'), 'send to kicad\n');
  await page.waitForFunction(() => document.getElementById('toast').textContent === '✓ Delivered footprint to KiCad.');
});

test('text, textTool, textState, textSet, undo and redo', async () => {
  await page.click('#panelClose');
  assert.equal(await run('text'), 'text editor open\n');
  assert.ok(await page.locator('#textSec .sec-body').isVisible());
  assert.equal(await run('textTool', 'fusion'), 'tool: fusion (>NAME / >VALUE)\n');
  assert.deepEqual(await page.locator('#svgbox .fp-textlabel text').allTextContents(), ['>NAME', '>VALUE']);
  assert.equal(await run('textTool', 'bogus'), 'tool: kicad (Reference / Value)\n');
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpTool')), 'kicad');

  const st = JSON.parse(await run('textState'));
  assert.deepEqual(Object.keys(st), ['bbox', 'reference', 'terms', 'tool', 'value']);
  assert.equal(st.tool, 'kicad');
  assert.deepEqual(st.terms, {reference: 'Reference', value: 'Value'});
  assert.deepEqual(st.reference, {hidden: false, size: 1, x: 0, y: -3.6});

  assert.equal(await run('textSet', 'value', '1.234', '3.005'), 'value → 1.23,3.01\n');
  // An argument that is not a number leaves its axis alone.
  assert.equal(await run('textSet', '>VALUE', 'nope', '7'), 'value → 1.23,7\n');
  assert.equal(await run('textSet', 'ref', '', '-4'), 'reference → 0,-4\n');
  assert.equal(await run('textSet', 'value', '2'), 'value → 2,7\n');  // y absent
  assert.deepEqual([await page.inputValue('#valX'), await page.inputValue('#valY')], ['2', '7']);
  assert.equal(await page.inputValue('#refY'), '-4');
  assert.equal(await run('undo'), 'undone\n');
  assert.equal(await page.inputValue('#valX'), '1.23');
  assert.equal(await run('redo'), 'redone\n');
  assert.equal(await run('redo'), 'nothing to redo\n');
  assert.equal(await page.textContent('#toast'), 'Nothing to redo');
  for (let i = 0; i < 4; i++) assert.equal(await run('undo'), 'undone\n');
  assert.deepEqual([await page.inputValue('#refY'), await page.inputValue('#valY')], ['-3.6', '3.6']);
  assert.equal(await run('undo'), 'nothing to undo\n');
  assert.equal(await page.textContent('#toast'), 'Nothing to undo');
});

test('textAuto lays out (and saves when asked), textSave saves, autoSaveOnOpen stores the option', async () => {
  const file = h.partFile(QFN);
  await run('textSet', 'value', '0', '0');
  let out = await run('textAuto');
  assert.equal(out, 'auto-layout: >NAME {"x":0,"y":-3.6,"size":1,"hidden":false} >VALUE {"x":0,"y":3.6,"size":1,"hidden":false}\n');
  // Any non-empty argument saves, "false" included.
  await run('textSet', 'value', '1', '5');
  await waitUntil(() => String(textAt(readFileSync(file, 'utf8'), 'value')) === '1,5', {what: 'auto save'});
  assert.ok(existsSync(file + '.orig'));
  out = await run('textAuto', 'false');
  assert.match(out, /^auto-layout\+save: >NAME /);
  assert.deepEqual(textAt(readFileSync(file, 'utf8'), 'value'), [0, 3.6]);
  assert.equal(await run('textSave'), 'saving\n');
  await page.waitForFunction(() => document.getElementById('toast').textContent === '✓ Saved to the library footprint');

  assert.equal(await run('autoSaveOnOpen', 'false'), 'auto-layout-on-open ON\n');
  assert.ok(await page.isChecked('#autoOpen'));
  assert.equal(await page.evaluate(() => localStorage.getItem('tovikFpAutoOpen')), '1');
  assert.equal(await page.evaluate(() => window.ui.autoSaveOnOpen(false)), 'auto-layout-on-open OFF');
  assert.equal(await page.isChecked('#autoOpen'), false);
});

test('loadChip loads a part at once and reports failures as a toast', async () => {
  assert.equal(await run('loadChip', ''), 'mpn required\n');
  assert.equal(await run('loadChip', 'MMBT3904'), 'loading MMBT3904\n');
  await waitUntil(async () => (await getJson(server, 'state')).mpn === 'MMBT3904', {what: 'load'});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'MMBT3904');
  assert.equal(await run('loadChip', 'NOPE'), 'loading NOPE\n');
  await page.waitForFunction(() => document.getElementById('toast').textContent === '✕ NOPE not in library');
  assert.equal(await page.getAttribute('#toast', 'class'), 'toast show err');
  assert.equal(new URL(page.url()).searchParams.get('mpn'), 'MMBT3904');
});

test('library opens and closes the rail', async () => {
  assert.equal(await run('library', 'off'), 'library closed\n');
  assert.ok(await page.locator('#railTab').isVisible());
  assert.equal(await run('library'), 'library open\n');
  await page.waitForSelector('#chipFilter', {state: 'visible'});
  assert.equal(await run('library', 'false'), 'library open\n');
});

test('send with nothing loaded still clicks the hidden button; the server refuses', async () => {
  await pushFootprint(server, {});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === '—');
  await sleep(100);
  assert.equal(await run('send', 'kicad'), 'send to kicad\n');
  await page.waitForFunction(() => document.getElementById('toast').textContent === '✕ no footprint loaded');
  assert.equal(await page.getAttribute('#toast', 'class'), 'toast show err');
});
