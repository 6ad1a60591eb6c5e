// Shared set-up of the live app browser tests: a temporary home folder with a
// copy of the example part library and fake delivery programs, a real
// `tovik-footprint serve --port 0` on 127.0.0.1, and headless Chromium.
import {execFile, spawn} from 'node:child_process';
import {cpSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync, chmodSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {chromium} from 'playwright-core';

export const BIN = process.env.TOVIK_BIN;
export const SOURCE_DIR = process.env.TOVIK_SOURCE_DIR;
export const BINARY_DIR = process.env.TOVIK_BINARY_DIR;
if (!BIN || !SOURCE_DIR) throw new Error('TOVIK_BIN and TOVIK_SOURCE_DIR must be set');

export const EXAMPLES = join(SOURCE_DIR, 'examples');
export const CORPUS = join(SOURCE_DIR, '..', 'shared', 'corpus');
export const QFN = 'TPS62840DLCR';

// The relay answers from $HOME/desktop-mode: ok (default), offline, slow
// (answers ok after a second) or a literal JSON text; every run is logged.
const FAKE_DESKTOP = `#!/bin/sh
echo "$1 $2" >> "$HOME/desktop.log"
mode=$(cat "$HOME/desktop-mode" 2>/dev/null || echo ok)
case "$mode" in
  ok) echo '{"ok":true,"bridgeConnected":true}' ;;
  offline) echo '{"ok":false,"bridgeConnected":false}' ;;
  slow) sleep 1; echo '{"ok":true,"bridgeConnected":true}' ;;
  *) echo "$mode" ;;
esac
`;

const FAKE_LBR = `#!/bin/sh
out=""
while [ $# -gt 0 ]; do
  if [ "$1" = "--output" ]; then out=$2; fi
  shift
done
echo '<?xml version="1.0"?><eagle/>' > "$out"
`;

/**
 * Makes a temporary home folder: project/partloom/library holds a copy of the
 * example library, .config/tovik-partloom/projects.json the example projects
 * file, bin/ the fake tovik-desktop and tovik-lbr. Returns its paths.
 */
export function makeHome() {
  const root = mkdtempSync(join(tmpdir(), 'tovik-browser-'));
  const home = join(root, 'home');
  const library = join(home, 'project', 'partloom', 'library');
  const bin = join(root, 'bin');
  const tmp = join(root, 'tmp');
  for (const d of [library, bin, tmp, join(home, '.config', 'tovik-partloom')]) mkdirSync(d, {recursive: true});
  cpSync(join(EXAMPLES, 'library'), library, {recursive: true, dereference: true});
  cpSync(join(EXAMPLES, 'home', '.config', 'tovik-partloom', 'projects.json'),
         join(home, '.config', 'tovik-partloom', 'projects.json'));
  writeFileSync(join(bin, 'tovik-desktop'), FAKE_DESKTOP);
  writeFileSync(join(bin, 'tovik-lbr'), FAKE_LBR);
  chmodSync(join(bin, 'tovik-desktop'), 0o755);
  chmodSync(join(bin, 'tovik-lbr'), 0o755);
  return {
    root, home, library, bin, tmp,
    partDir: mpn => join(library, mpn),
    partFile: mpn => join(library, mpn, `${mpn}.kicad_mod`),
    /** Adds a part folder holding the given files (name -> text or bytes). */
    addPart(mpn, files) {
      const dir = join(library, mpn);
      mkdirSync(dir, {recursive: true});
      for (const [name, content] of Object.entries(files)) writeFileSync(join(dir, name), content);
      return dir;
    },
    setDesktop(mode) { writeFileSync(join(home, 'desktop-mode'), mode); },
    desktopLog() {
      try { return readFileSync(join(home, 'desktop.log'), 'utf8').split('\n').filter(Boolean); } catch (_) { return []; }
    },
    cleanup() { rmSync(root, {recursive: true, force: true}); },
  };
}

/**
 * Starts `serve --port 0` for the home folder (optionally with --file) and
 * resolves once the start-up line has named the port.
 */
export function startServer(h, {file} = {}) {
  const args = ['serve', '--port', '0'];
  if (file) args.push('--file', file);
  const env = {...process.env, HOME: h.home, TMPDIR: h.tmp, PATH: `${h.bin}:${process.env.PATH}`};
  const proc = spawn(BIN, args, {cwd: h.root, env, stdio: ['ignore', 'ignore', 'pipe']});
  let stderr = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { proc.kill(); reject(new Error(`server did not start: ${stderr}`)); }, 10000);
    proc.stderr.on('data', chunk => {
      stderr += chunk;
      const m = /serving on http:\/\/127\.0\.0\.1:(\d+)/.exec(stderr);
      if (m && timer) {
        clearTimeout(timer);
        const port = Number(m[1]);
        resolve({
          port, proc,
          url: `http://127.0.0.1:${port}/`,
          stderr: () => stderr,
          stop: () => stopServer(proc),
        });
      }
    });
    proc.on('exit', code => { clearTimeout(timer); reject(new Error(`server exited with ${code}: ${stderr}`)); });
  });
}

function stopServer(proc) {
  if (proc.exitCode !== null || proc.signalCode !== null) return Promise.resolve();
  return new Promise(resolve => {
    proc.once('exit', () => resolve());
    process.kill(proc.pid, 'SIGTERM');
  });
}

export function launchBrowser() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking'],
  });
}

/**
 * A blank page in a fresh browser context (so storage starts empty unless
 * `storage` seeds it). Page errors are collected in page.errors.
 */
export async function newPage(browser, {viewport = {width: 1280, height: 800}, storage} = {}) {
  const context = await browser.newContext({viewport});
  if (storage) {
    await context.addInitScript(s => {
      for (const [k, v] of Object.entries(s)) window.localStorage.setItem(k, v);
    }, storage);
  }
  const page = await context.newPage();
  page.setDefaultTimeout(10000);
  page.errors = [];
  page.on('pageerror', e => page.errors.push(String(e)));
  return page;
}

/**
 * Opens the live app in a new page (see newPage) and waits for the first
 * successful poll.
 */
export async function openApp(browser, url, {viewport, storage, query = ''} = {}) {
  const page = await newPage(browser, {viewport, storage});
  await page.goto(url + query);
  await waitLive(page);
  return page;
}

/**
 * What a live app test file starts with: a home folder (which `prepare(h)`
 * may fill further), a server that serves the library part `mpn` when given,
 * a browser and, unless `open` is false, the app open in one page on which
 * the selector `waitFor` has appeared. Resolves with {h, server, browser,
 * page}; on a failure tears down what was made and rejects.
 */
export async function setUpLiveApp({prepare, mpn, open = true, waitFor} = {}) {
  const app = {h: makeHome()};
  try {
    await prepare?.(app.h);
    app.server = await startServer(app.h, {file: mpn && app.h.partFile(mpn)});
    app.browser = await launchBrowser();
    if (open) app.page = await openApp(app.browser, app.server.url);
    if (waitFor) await app.page.waitForSelector(waitFor);
    return app;
  } catch (e) {
    await tearDownLiveApp(app);
    throw e;
  }
}

/** Closes the browser, stops the server and removes the home folder of setUpLiveApp. */
export async function tearDownLiveApp({h, server, browser} = {}) {
  await browser?.close();
  await server?.stop();
  h?.cleanup();
}

/**
 * Loads the app again in the same page (cheaper than a new one) with storage
 * emptied and then seeded, and waits for the first successful poll.
 */
export async function reopen(page, url, {storage = {}, query = ''} = {}) {
  await page.evaluate(s => {
    window.localStorage.clear();
    for (const [k, v] of Object.entries(s)) window.localStorage.setItem(k, v);
  }, storage);
  await page.goto(url + query);
  await waitLive(page);
  return page;
}

export function waitLive(page) {
  return page.waitForFunction(() => document.getElementById('connText').textContent === 'live');
}

/** Runs the real `ui` command against the server; resolves with its outcome. */
export function ui(server, action, ...args) {
  return new Promise(resolve => {
    execFile(BIN, ['ui', action, ...args, '--port', String(server.port)], {timeout: 20000},
             (err, stdout, stderr) => resolve({code: err ? (err.code ?? 1) : 0, stdout, stderr}));
  });
}

export async function postJson(server, path, body) {
  const r = await fetch(server.url + path, {
    method: 'POST',
    headers: {'Content-Type': 'application/json'},
    body: typeof body === 'string' ? body : JSON.stringify(body),
  });
  return {status: r.status, body: await r.text()};
}

export async function getJson(server, path) {
  const r = await fetch(server.url + path);
  return r.json();
}

/** Pushes a footprint text (or a picture-and-metadata body) with POST /load. */
export function pushFootprint(server, body) {
  return postJson(server, 'load', body);
}

/** Polls fn until it returns a truthy value; resolves with that value. */
export async function waitUntil(fn, {timeout = 15000, interval = 50, what = 'condition'} = {}) {
  const end = Date.now() + timeout;
  for (;;) {
    const v = await fn();
    if (v) return v;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise(r => setTimeout(r, interval));
  }
}

export const sleep = ms => new Promise(r => setTimeout(r, ms));

/** Runs the create command on a create JSON object; returns the .kicad_mod text. */
export function createFootprint(h, input) {
  const dir = mkdtempSync(join(h.root, 'create-'));
  const file = join(dir, 'in.json');
  writeFileSync(file, JSON.stringify(input));
  return new Promise((resolve, reject) => {
    execFile(BIN, ['create', '--file', file, '--out', join(dir, 'out')], (err, stdout, stderr) => {
      if (err) return reject(new Error(stderr));
      resolve(readFileSync(join(dir, 'out', `${input.footprintName}.kicad_mod`), 'utf8'));
    });
  });
}

/** A create JSON of an n-pad BGA-like grid, for load and frame-time tests. */
export function gridFootprint(name, n) {
  const side = Math.ceil(Math.sqrt(n));
  const pads = [];
  for (let i = 0; i < n; i++) {
    const x = (i % side) * 0.8 - (side - 1) * 0.4, y = Math.floor(i / side) * 0.8 - (side - 1) * 0.4;
    pads.push({number: String(i + 1), x: Math.round(x * 1000) / 1000, y: Math.round(y * 1000) / 1000, dx: 0.5, dy: 0.5});
  }
  const e = (side - 1) * 0.4 + 0.6;
  return {footprintName: name, pads, body: {x1: -e, y1: -e, x2: e, y2: e}};
}

/** Centre of an element's box in page pixels. */
export async function centreOf(locator) {
  const b = await locator.boundingBox();
  return {x: b.x + b.width / 2, y: b.y + b.height / 2};
}

/**
 * A small hand-written footprint text: two SMD pads inside a courtyard
 * rectangle (so its extent is exactly the courtyard) and the two texts at the
 * given places.
 */
export function fixtureMod(name, {ref = [0, 0], val = [0, 1], size = 0.6, refHidden = false, valHidden = false,
                                  courtyard = [-2, -1.5, 2, 1.5]} = {}) {
  const [x1, y1, x2, y2] = courtyard;
  const t = size * 0.15;
  return `(footprint "${name}"
  (version 20240108)
  (generator "test")
  (layer "F.Cu")
  (attr smd)
  (fp_rect (start ${x1} ${y1}) (end ${x2} ${y2})
    (stroke (width 0.05) (type default)) (fill none) (layer "F.CrtYd"))
  (fp_text reference "REF**" (at ${ref[0]} ${ref[1]})
    (layer "F.SilkS")${refHidden ? ' hide' : ''} (effects (font (size ${size} ${size}) (thickness ${t}))))
  (fp_text value "${name}" (at ${val[0]} ${val[1]})
    (layer "F.Fab")${valHidden ? ' hide' : ''} (effects (font (size ${size} ${size}) (thickness ${t}))))
  (pad "1" smd roundrect (at -1 0) (size 0.8 1) (layers "F.Cu" "F.Paste" "F.Mask") (roundrect_rratio 0.25))
  (pad "2" smd roundrect (at 1 0) (size 0.8 1) (layers "F.Cu" "F.Paste" "F.Mask") (roundrect_rratio 0.25))
)
`;
}

/** Reads the (at x y) of a text entry ("reference"/"value") from footprint text. */
export function textAt(mod, kind) {
  const m = new RegExp(`\\(fp_text ${kind}\\s+(?:"[^"]*"|\\S+)\\s+\\(at\\s+(-?[\\d.]+)\\s+(-?[\\d.]+)`).exec(mod);
  return m ? [Number(m[1]), Number(m[2])] : null;
}

/** Collects the page's requests to one relative path (e.g. "text", "save"). */
export function recordRequests(page, path) {
  const seen = [];
  page.on('request', r => {
    const u = new URL(r.url());
    if (u.pathname === '/' + path) seen.push({method: r.method(), body: r.postData(), at: Date.now()});
  });
  return seen;
}
