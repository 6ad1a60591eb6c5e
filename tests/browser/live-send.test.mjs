// Send-to: the toasts of a delivery, the not-connected and failure answers,
// the needs-bridge dialog, and one request per click while one is in flight.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {setUpLiveApp, tearDownLiveApp, recordRequests, waitUntil, QFN} from './lib.mjs';

let h, server, browser, page;

before(async () => {
  ({h, server, browser, page} = await setUpLiveApp({mpn: QFN, waitFor: '#sendGroup:not(.hidden)'}));
});

after(() => tearDownLiveApp({h, server, browser}));

const send = target => page.locator(`#sendGroup button[data-target="${target}"]`);
const toastIs = (text, kind) => page.waitForFunction(([t, k]) => {
  const n = document.getElementById('toast');
  return n.textContent === t && n.className === `toast show${k ? ' ' + k : ''}`;
}, [text, kind]);

test('a delivery shows the sending toast, then the success toast; the relay ran twice', async () => {
  h.setDesktop('ok');
  await send('kicad').click();
  await toastIs('✓ Delivered footprint to KiCad.', 'ok');
  const log = h.desktopLog();
  assert.equal(log.length, 2);
  assert.match(log[0], /^send_files \{"destinationFolder":"footprints","filePaths":\["[^"]+\/TPS62840DLCR\.kicad_mod"\],"targetApp":"kicad"\}$/);
  assert.match(log[1], /^kicad_install_library /);
  assert.equal(await page.getAttribute('#sendGroup', 'data-tooltip'),
               "Send this footprint to a desktop EDA tool via Tovik Desktop. KiCad receives the native .kicad_mod; Fusion 360 / Altium / OrCAD receive a true EAGLE .lbr (a symbol is synthesized from the pads so it's placeable).");
});

test('a bridge that is not connected gives the failure toast', async () => {
  h.setDesktop('offline');
  await send('fusion360').click();
  await toastIs("✕ File generated, but Tovik Desktop isn't connected to Fusion 360. Open Tovik Desktop on your laptop and try again.", 'err');
  h.setDesktop('ok');
});

test('buttons are disabled while a delivery is in flight, so two clicks send one request', async () => {
  h.setDesktop('slow');
  const requests = recordRequests(page, 'deliver');
  const before = h.desktopLog().length;
  const b = await send('kicad').boundingBox();
  await page.mouse.click(b.x + b.width / 2, b.y + b.height / 2);
  await toastIs('Sending to KiCad…', '');
  assert.deepEqual(await page.locator('#sendGroup button').evaluateAll(bs => bs.map(x => x.disabled)),
                   [true, true, true, true]);
  await page.mouse.click(b.x + b.width / 2, b.y + b.height / 2);
  await toastIs('✓ Delivered footprint to KiCad.', 'ok');
  assert.deepEqual(await page.locator('#sendGroup button').evaluateAll(bs => bs.map(x => x.disabled)),
                   [false, false, false, false]);
  assert.equal(requests.length, 1);
  assert.equal(h.desktopLog().length - before, 2);
  h.setDesktop('ok');
});

test('Altium opens the needs-bridge dialog; "Got it" and the backdrop close it', async () => {
  await send('altium').click();
  const dialog = page.locator('.modal-bg');
  await dialog.waitFor();
  assert.equal(await dialog.locator('h3').textContent(), 'Build the Altium bridge');
  assert.equal(await dialog.locator('.ico').textContent(), '🌉');
  assert.match(await dialog.locator('p').textContent(), /^Your EAGLE \.lbr for Altium is built and saved/);
  const link = dialog.locator('a');
  assert.equal(await link.textContent(), 'Contribute on the wiki →');
  assert.match(await link.getAttribute('href'), /^https?:\/\//);
  assert.equal(await link.getAttribute('target'), '_blank');
  assert.equal(await link.getAttribute('rel'), 'noopener');
  await dialog.locator('button', {hasText: 'Got it'}).click();
  assert.equal(await dialog.isVisible(), false);

  await send('orcad').click();
  await dialog.waitFor();
  assert.equal(await dialog.locator('h3').textContent(), 'Build the OrCAD bridge');
  await page.mouse.click(10, 10);  // the dimmed backdrop
  assert.equal(await dialog.isVisible(), false);
  assert.equal(await page.locator('.modal-bg').count(), 1, 'one dialog, reused');
});

test('a missing relay and a failed request give failure toasts', async () => {
  await page.route('**/deliver', route => route.abort());
  await send('kicad').click();
  await toastIs('✕ Delivery failed: Failed to fetch', 'err');
  await page.unroute('**/deliver');
  assert.deepEqual(await page.locator('#sendGroup button').evaluateAll(bs => bs.map(x => x.disabled)),
                   [false, false, false, false]);

  // Without the relay on the search path the server answers offline.
  h.setDesktop('ok');
  const {rmSync} = await import('node:fs');
  rmSync(`${h.bin}/tovik-desktop`);
  await send('kicad').click();
  await waitUntil(() => page.evaluate(() => document.getElementById('toast').textContent.startsWith('✕ tovik-desktop unreachable: ')),
                  {what: 'unreachable toast'});
  assert.equal(await page.getAttribute('#toast', 'class'), 'toast show err');
});
