// Screenshots of the live app with the example QFN loaded, the Layers section
// open and the paste dots on, at two window sizes, saved for a person to look
// at; the checks make sure no panel covers another and everything fits.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {mkdirSync} from 'node:fs';
import {join} from 'node:path';
import {setUpLiveApp, tearDownLiveApp, openApp, BINARY_DIR, QFN} from './lib.mjs';

let h, server, browser;

before(async () => {
  ({h, server, browser} = await setUpLiveApp({mpn: QFN, open: false}));
  mkdirSync(join(BINARY_DIR, 'pictures'), {recursive: true});
});

after(() => tearDownLiveApp({h, server, browser}));

const overlap = (a, b) => a.x < b.x + b.width - 0.5 && b.x < a.x + a.width - 0.5 &&
                          a.y < b.y + b.height - 0.5 && b.y < a.y + a.height - 0.5;

for (const [width, height] of [[1280, 800], [1920, 1080]]) {
  test(`live app at ${width}×${height}`, async () => {
    const page = await openApp(browser, server.url, {
      viewport: {width, height},
      storage: {tovikFpLayers_v2: JSON.stringify({'paste-dots': true}), tovikFpChipRail: '1'},
    });
    await page.waitForSelector('#chipList .chip-item.current');
    await page.waitForFunction(() => document.getElementById('chipImg').naturalWidth > 0);
    await page.click('#btnLayers');
    await page.mouse.move(width / 2, height - 10);
    const box = async sel => page.locator(sel).boundingBox();
    const parts = {};
    for (const sel of ['header.top', '#rail', '#stage', '#panel', 'footer']) parts[sel] = await box(sel);
    const names = Object.keys(parts);
    for (let i = 0; i < names.length; i++) {
      for (let j = i + 1; j < names.length; j++) {
        assert.ok(!overlap(parts[names[i]], parts[names[j]]), `${names[i]} overlaps ${names[j]}`);
      }
    }
    const head = [await box('.brand'), await box('.subject'), await box('.actions')];
    assert.ok(!overlap(head[0], head[1]) && !overlap(head[1], head[2]), 'header items overlap');
    assert.ok(head[2].x + head[2].width <= width, 'header actions fit');
    const sum = Object.values(parts).slice(1, 4).reduce((s, p) => s + p.width, 0);
    assert.ok(Math.abs(sum - width) < 1, 'rail, canvas and panel fill the width');
    assert.equal(parts.footer.y + parts.footer.height, height);
    // Nothing in the details panel is wider than the panel.
    const wide = await page.locator('#panel *').evaluateAll((els, right) =>
      els.filter(e => e.getBoundingClientRect().right > right + 0.5).map(e => e.id || e.className), parts['#panel'].x + parts['#panel'].width);
    assert.deepEqual(wide, []);
    assert.equal(await page.evaluate(() => document.querySelector('#svgbox .tovik-layer-paste-dots').style.display), '');
    await page.screenshot({path: join(BINARY_DIR, 'pictures', `live-app-${width}x${height}.png`)});
    await page.context().close();
  });
}
