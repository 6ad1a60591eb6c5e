// Loading: the empty view, a pushed footprint, change detection, the
// connection indicator, console forwarding, and that text from outside never
// becomes markup.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {setUpLiveApp, tearDownLiveApp, newPage, reopen, waitLive, pushFootprint, getJson, waitUntil, sleep,
        QFN} from './lib.mjs';

const XSS = '<img src=x onerror="window.__pwned=(window.__pwned||0)+1">';
const EMPTY_TEXT = 'Waiting for a footprint… run tovik-footprint create, open the Library, or the AI will push one here.';

let h, server, browser, page;

before(async () => {
  // The page starts blank: the first test watches the first load.
  ({h, server, browser} = await setUpLiveApp({open: false}));
  page = await newPage(browser);
});

after(() => tearDownLiveApp({h, server, browser}));

const picture = (name, fill) =>
  `<svg xmlns="http://www.w3.org/2000/svg" viewBox="-3 -3 6 6"><g class="tovik-layer-copper"><g data-pad="1" data-shape="rect" data-size="2.000x2.000" data-mount="smd"><rect x="-1" y="-1" width="2" height="2" fill="${fill}"/></g></g><g class="tovik-layer-silk"></g></svg>`;

test('with nothing loaded the page shows the waiting text, "—" and turns live', async () => {
  // Hold the first poll back to see the indicator before any answer.
  let release;
  const held = new Promise(r => { release = r; });
  await page.route('**/state', async route => { await held; await route.continue().catch(() => {}); });
  await page.goto(server.url);
  assert.equal(await page.textContent('#connText'), 'connecting…');
  release();
  await page.unroute('**/state');
  await waitLive(page);
  assert.equal(await page.title(), 'tovik-footprint');
  assert.equal(await page.locator('#emptyMsg').innerText(), EMPTY_TEXT);
  assert.equal(await page.locator('#emptyMsg code').textContent(), 'tovik-footprint create');
  assert.equal(await page.textContent('#fpName'), '—');
  assert.equal(await page.textContent('#fpMeta'), '');
  assert.ok(await page.locator('#conn').evaluate(n => n.classList.contains('live')));
  for (const id of ['#svgbox', '#sendGroup', '#btnLayers', '#btnText', '#btnEmbed', '#layersSec', '#textSec']) {
    assert.equal(await page.locator(id).isVisible(), false, id);
  }
  assert.ok(await page.locator('#panelEmpty').isVisible());
  assert.deepEqual(await page.evaluate(() => window.ui.state()), {});
});

test('a footprint pushed with POST /load is drawn with its header meta and buttons', async () => {
  await reopen(page, server.url);
  const mod = readFileSync(h.partFile(QFN), 'utf8');
  await pushFootprint(server, {kicadMod: mod, description: 'buck', tags: 'QFN'});
  await page.waitForSelector('#svgbox > svg');
  assert.equal(await page.textContent('#fpName'), QFN);
  assert.equal(await page.textContent('#fpMeta'), '21 pads');
  assert.equal(await page.locator('#emptyMsg').isVisible(), false);
  assert.equal(await page.locator('#panelEmpty').isVisible(), false);
  assert.equal(await page.locator('#svgbox [data-pad]').count(), 21);
  for (const id of ['#sendGroup', '#btnLayers', '#btnText', '#btnEmbed', '#layersSec', '#textSec']) {
    assert.ok(await page.locator(id).isVisible(), id);
  }
  assert.deepEqual(await page.locator('#sendGroup button').evaluateAll(bs => bs.map(b => [b.textContent, b.dataset.target])),
                   [['KiCad', 'kicad'], ['Fusion', 'fusion360'], ['Altium', 'altium'], ['OrCAD', 'orcad']]);
  assert.equal(await page.textContent('#cardMeta'), '21 pads · QFN');
  assert.equal(await page.textContent('#cardDesc'), 'buck');
  assert.equal(await page.evaluate(() => window._lastState.footprintName), QFN);
  // The canvas toolbar and hint come back with every new picture.
  assert.equal(await page.locator('#svgbox #fpZin').getAttribute('title'), 'Zoom in');
  assert.equal(await page.textContent('#svgbox .av-panhint'), 'drag to pan · scroll to zoom');
  // ⧉ Embed opens the standalone page of this footprint in a new tab, without opener.
  const [popup] = await Promise.all([page.context().waitForEvent('page'), page.click('#btnEmbed')]);
  await popup.waitForLoadState();
  assert.equal(new URL(popup.url()).pathname, '/embed');
  assert.equal(await popup.title(), `${QFN} - tovik-footprint`);
  assert.equal(await popup.evaluate(() => window.opener), null);
  await popup.close();
  assert.deepEqual(page.errors, []);
});

test('a picture without footprint text shows canvas and layers but no Send-to, Text or Embed', async () => {
  await reopen(page, server.url);
  await pushFootprint(server, {footprintName: 'PIC', svg: picture('PIC', '#C83434'), padCount: 4});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'PIC');
  assert.equal(await page.textContent('#fpMeta'), '4 pads');
  assert.ok(await page.locator('#svgbox').isVisible());
  assert.ok(await page.locator('#layersSec').isVisible());
  assert.ok(await page.locator('#btnLayers').isVisible());
  for (const id of ['#sendGroup', '#btnText', '#btnEmbed', '#textSec']) {
    assert.equal(await page.locator(id).isVisible(), false, id);
  }
  // An empty document afterwards shows the waiting text again.
  await pushFootprint(server, {});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === '—');
  assert.ok(await page.locator('#emptyMsg').isVisible());
  assert.equal(await page.locator('#svgbox').isVisible(), false);
});

test('a re-push with the same name and SVG length is not redrawn; another length is', async () => {
  await reopen(page, server.url);
  await pushFootprint(server, {footprintName: 'SAME', svg: picture('SAME', '#C83434'), padCount: 1});
  await page.waitForFunction(() => document.getElementById('fpName').textContent === 'SAME');
  await page.evaluate(() => { document.querySelector('#svgbox > svg').dataset.mark = 'old'; });
  await pushFootprint(server, {footprintName: 'SAME', svg: picture('SAME', '#D83434'), padCount: 1});
  await sleep(2300);  // two polls
  assert.equal(await page.evaluate(() => document.querySelector('#svgbox > svg').dataset.mark), 'old');
  assert.equal(await page.locator('#svgbox rect').first().getAttribute('fill'), '#C83434');
  await pushFootprint(server, {footprintName: 'SAME', svg: picture('SAME', '#D834340'), padCount: 1});
  await page.waitForFunction(() => document.querySelector('#svgbox > svg').dataset.mark === undefined);
  assert.equal(await page.locator('#svgbox rect').first().getAttribute('fill'), '#D834340');
});

test('names, descriptions, tags and pushed SVG never run script', async () => {
  await reopen(page, server.url);
  const svg = '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 4 4" onload="window.__pwned=9">' +
    '<g class="tovik-layer-copper"><rect width="1" height="1" onclick="window.__pwned=8"/>' +
    '<image href="x" onerror="window.__pwned=7"/><a href="javascript:window.__pwned=6"><circle r="1"/></a></g>' +
    `<script>window.__pwned=5</script><foreignObject><div>${XSS}</div></foreignObject></svg>`;
  await pushFootprint(server, {footprintName: XSS, svg, padCount: 2, description: XSS, tags: XSS});
  await page.waitForFunction(x => document.getElementById('fpName').textContent === x, XSS);
  await page.locator('#svgbox rect').first().click({force: true});
  await sleep(300);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.textContent('#cardDesc'), XSS);
  assert.equal(await page.locator('#svgbox script, #svgbox foreignObject, #svgbox img').count(), 0);
  assert.equal(await page.locator('#svgbox [onclick], #svgbox [onerror], #svgbox [onload]').count(), 0);
  assert.equal(await page.locator('#svgbox a').getAttribute('href'), null);
  assert.deepEqual(page.errors, []);
});

test('console calls and script errors reach GET /console', async () => {
  await reopen(page, server.url);
  await page.evaluate(() => {
    console.log('hello', {a: 1}, 2);
    console.warn('careful');
  });
  // A fault inside the page's own script, so the error names the page's address.
  await page.evaluate(() => { setTimeout(showPadTip, 0, null); });
  const lines = await waitUntil(async () => {
    const l = (await getJson(server, 'console')).lines;
    return l.some(x => x.startsWith('[error] Uncaught TypeError: ')) && l;
  }, {what: 'console lines'});
  assert.ok(lines.includes('[log] hello {"a":1} 2'), lines.join('\n'));
  assert.ok(lines.includes('[warn] careful'));
  assert.match(lines.find(x => x.startsWith('[error] Uncaught TypeError: ')),
               /^\[error\] Uncaught TypeError: .* @http:\/\/127\.0\.0\.1:\d+\/:\d+$/);
});

test('the indicator turns "offline" when the server stops', async () => {
  await reopen(page, server.url);
  await server.stop();
  await page.waitForFunction(() => document.getElementById('connText').textContent === 'offline', null, {timeout: 4000});
  assert.equal(await page.locator('#conn').evaluate(n => n.classList.contains('live')), false);
});
