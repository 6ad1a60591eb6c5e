// Black-box tests of the live app server (`serve`) and the `ui` command: a
// real server on a free port of 127.0.0.1 with a temporary home folder, spoken
// to over plain sockets so that every byte of a request and reply is visible.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFile } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import path from 'node:path';

import { BIN, SOURCE_DIR, run, tempDir, writeFile } from './lib.mjs';

const NOT_FOUND = '{"error":"not found"}';
const OK = '{"ok":true}';
const JSON_TYPE = 'application/json';
const HTML_TYPE = 'text/html; charset=utf-8';
const NOTICE_PAGE =
  '<!doctype html><meta charset=utf-8><body style="background:#0d1117;color:#8b949e;' +
  'font-family:sans-serif;padding:24px">No footprint loaded to embed.</body>';
const FAVICON =
  '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="#ffffff" ' +
  'stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"><rect x="3" y="3" width="18" ' +
  'height="18" rx="2"/><rect x="6.5" y="9" width="3" height="6" rx="0.6"/><rect x="14.5" y="9" ' +
  'width="3" height="6" rx="0.6"/><path d="M6 6.2h1.2"/></svg>';
const NOT_READY = "'window.ui not ready — is a browser tab open?'";

// One pad, the reference at (1 2 90) and the value at (0 3); a paste pad.
const R0603 = `(footprint "R_0603" (version 20240108) (generator "test") (layer "F.Cu")
  (fp_text reference "REF**" (at 1 2 90) (layer "F.SilkS") (effects (font (size 1 1) (thickness 0.15))))
  (fp_text value "R_0603" (at 0 3) (layer "F.Fab") (effects (font (size 1 1) (thickness 0.15))))
  (pad "1" smd rect (at 0 0) (size 1 0.8) (layers "F.Cu" "F.Paste" "F.Mask"))
)
`;

/** A temporary folder with a home folder inside; files are written below the root. */
function makeRoot(files = {}) {
  const root = tempDir('tovik-server-');
  fs.mkdirSync(path.join(root, 'home'));
  for (const [name, text] of Object.entries(files)) writeFile(root, name, text);
  return root;
}

/** Starts `serve --port 0` in `root` (HOME = root/home); resolves once the start-up line names the port. */
function startServer(root, extraArgs = []) {
  const env = { ...process.env, HOME: path.join(root, 'home'), TMPDIR: root };
  const proc = spawn(BIN, ['serve', '--port', '0', ...extraArgs], { cwd: root, env, stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  let stdout = '';
  proc.stdout.on('data', (c) => (stdout += c));
  const exited = new Promise((resolve) => proc.on('exit', (code, signal) => resolve({ code, signal })));
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      proc.kill('SIGKILL');
      reject(new Error(`server did not start: ${stderr}`));
    }, 10000);
    proc.stderr.on('data', (chunk) => {
      stderr += chunk;
      const m = /serving on http:\/\/127\.0\.0\.1:(\d+)\n/.exec(stderr);
      if (m && timer) {
        clearTimeout(timer);
        resolve({ port: Number(m[1]), proc, exited, stderr: () => stderr, stdout: () => stdout });
      }
    });
    exited.then(({ code }) => {
      clearTimeout(timer);
      reject(new Error(`server exited with ${code}: ${stderr}`));
    });
  });
}

/** A fresh root (see makeRoot) holding `files`, and a server started in it. */
async function serveInNewRoot(files = {}, extraArgs = []) {
  const root = makeRoot(files);
  return { root, server: await startServer(root, extraArgs) };
}

/** Asks the server to stop, then makes sure by its process id; nothing when it never started. */
async function stopServer(server) {
  if (!server) return;
  if (server.proc.exitCode === null && server.proc.signalCode === null) {
    await request(server.port, 'POST', '/shutdown').catch(() => {});
    const outcome = await Promise.race([server.exited, sleep(3000).then(() => null)]);
    if (!outcome) process.kill(server.proc.pid, 'SIGKILL');
  }
  await server.exited;
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

/**
 * One request on its own connection; resolves with status, content type and
 * body text. `body` may be a string or a Buffer; `headers` are added as given.
 */
function request(port, method, target, body, headers = {}) {
  return new Promise((resolve, reject) => {
    const data = body === undefined ? undefined : Buffer.isBuffer(body) ? body : Buffer.from(body);
    const req = http.request(
      { host: '127.0.0.1', port, method, path: target, agent: false, headers: { ...headers } },
      (res) => {
        const chunks = [];
        res.on('data', (c) => chunks.push(c));
        res.on('end', () =>
          resolve({
            status: res.statusCode,
            type: res.headers['content-type'],
            length: res.headers['content-length'],
            body: Buffer.concat(chunks).toString('utf8'),
          }),
        );
      },
    );
    req.on('error', reject);
    if (data) req.setHeader('Content-Length', data.length);
    req.end(data);
  });
}

const get = (port, target) => request(port, 'GET', target);
const post = (port, target, body = '') => request(port, 'POST', target, body, { 'Content-Type': JSON_TYPE });
const getJson = async (port, target) => JSON.parse((await get(port, target)).body);

/** Writes raw bytes on a fresh connection and collects everything until the server closes it. */
function rawExchange(port, chunks, { endAfterWrite = false } = {}) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1');
    let received = '';
    socket.on('data', (d) => (received += d));
    socket.on('error', reject);
    // The server's end of the reply; it may linger to swallow unread bytes.
    socket.on('end', () => {
      resolve(received);
      socket.destroy();
    });
    socket.on('close', () => resolve(received));
    socket.on('connect', () => {
      for (const c of chunks) socket.write(c);
      if (endAfterWrite) socket.end();
    });
  });
}

/** Runs the real `ui` command; resolves with exit code, stdout and stderr. */
function ui(port, ...args) {
  return new Promise((resolve) => {
    const portArgs = port === undefined ? [] : ['--port', String(port)];
    execFile(BIN, ['ui', ...args, ...portArgs], { timeout: 20000 }, (err, stdout, stderr) =>
      resolve({ code: err ? err.code : 0, stdout, stderr }),
    );
  });
}

/** Plays the page: waits for a queued expression and returns it. */
async function takePending(port) {
  for (let i = 0; i < 100; i++) {
    const pending = await getJson(port, '/eval/pending');
    if (pending.id) return pending;
    await sleep(50);
  }
  throw new Error('nothing was queued');
}

describe('a server with nothing loaded', () => {
  let server;
  before(async () => ({ server } = await serveInNewRoot()));
  after(() => stopServer(server));

  test('announces itself with one line on standard error', () => {
    assert.equal(server.stderr(), `[tovik-footprint] serving on http://127.0.0.1:${server.port}\n`);
  });

  test('answers the route table', async () => {
    const cases = [
      ['GET', '/state', undefined, 200, JSON_TYPE, '{}'],
      ['GET', '/state?x=1', undefined, 200, JSON_TYPE, '{}'],
      ['GET', '/State', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/state/', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['PUT', '/state', '{}', 404, JSON_TYPE, NOT_FOUND],
      ['DELETE', '/state', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/shutdown', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/nowhere', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['POST', '/nowhere', '{}', 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/favicon.svg', undefined, 200, 'image/svg+xml', FAVICON],
      ['GET', '/embed', undefined, 200, HTML_TYPE, NOTICE_PAGE],
      ['GET', '/eval/pending', undefined, 200, JSON_TYPE, '{}'],
      ['POST', '/eval/pending', '{}', 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/eval/3', undefined, 200, JSON_TYPE, '{"done":false}'],
      ['PUT', '/eval/3', '{}', 200, JSON_TYPE, '{"done":false}'],
      ['POST', '/eval/3', '{}', 200, JSON_TYPE, '{"done":false}'],
      ['GET', '/eval/3/result', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/eval/abc', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['POST', '/eval/abc/result', '1', 200, JSON_TYPE, OK],
      ['GET', '/eval/', undefined, 404, JSON_TYPE, NOT_FOUND],
      ['GET', '/console', undefined, 200, JSON_TYPE, '{"lines":[]}'],
      ['POST', '/text', '{"reference":{"x":1,"y":2}}', 400, JSON_TYPE,
        '{"error":"need reference.{x,y} and value.{x,y}","ok":false}'],
      ['POST', '/text', '{"reference":{"x":1,"y":2},"value":{"x":"3","y":4}}', 400, JSON_TYPE,
        '{"error":"need reference.{x,y} and value.{x,y}","ok":false}'],
      ['POST', '/text', '{"reference":{"x":1,"y":2},"value":{"x":3,"y":4}}', 422, JSON_TYPE,
        '{"error":"no .kicad_mod loaded to edit","ok":false}'],
      ['POST', '/save', '{}', 422, JSON_TYPE,
        '{"error":"no file to save (footprint was pushed, not loaded from disk)","ok":false}'],
      ['POST', '/deliver', '{"target":"kicad"}', 200, JSON_TYPE, '{"error":"no footprint loaded","ok":false}'],
      ['POST', '/load-chip', '{}', 400, JSON_TYPE, '{"error":"mpn required","ok":false}'],
      ['POST', '/load-chip', '{"mpn":"NOPE"}', 404, JSON_TYPE, '{"error":"chip not found in library","ok":false}'],
      ['GET', '/api/chips', undefined, 200, JSON_TYPE, '{"chips":[],"current":""}'],
      ['GET', '/api/projects', undefined, 200, JSON_TYPE, '{"projects":{}}'],
      ['GET', '/api/chip3d?mpn=X', undefined, 404, JSON_TYPE, NOT_FOUND],
    ];
    for (const [method, target, body, status, type, text] of cases) {
      const reply = await request(server.port, method, target, body);
      const what = `${method} ${target}`;
      assert.equal(reply.status, status, what);
      assert.equal(reply.type, type, what);
      assert.equal(reply.body, text, what);
    }
  });

  test('HEAD gets the 404 of the table without a body', async () => {
    const reply = await request(server.port, 'HEAD', '/state');
    assert.equal(reply.status, 404);
    assert.equal(reply.type, JSON_TYPE);
    assert.equal(reply.length, String(NOT_FOUND.length));
    assert.equal(reply.body, '');
  });

  test('the index page carries the viewer core in place of its markers', async () => {
    const assets = path.join(SOURCE_DIR, 'assets');
    const css = fs.readFileSync(path.join(assets, 'viewer-core.css'), 'utf8');
    const js = fs.readFileSync(path.join(assets, 'viewer-core.js'), 'utf8');
    const page = fs.readFileSync(path.join(assets, 'live-app.html'), 'utf8');
    const expected = page.replaceAll('/*__AV_CSS__*/', css).replaceAll('/*__AV_JS__*/', js);
    for (const target of ['/', '/index.html', '/?mpn=X']) {
      const reply = await get(server.port, target);
      assert.equal(reply.status, 200, target);
      assert.equal(reply.type, HTML_TYPE, target);
      assert.equal(reply.body, expected, target);
      assert.ok(!reply.body.includes('/*__AV_CSS__*/') && !reply.body.includes('/*__AV_JS__*/'), target);
    }
  });

  test('queued expressions are handed out once, in order, with ids from 1', async () => {
    const first = await post(server.port, '/eval', '{"code":"1+1"}');
    assert.equal(first.body, '{"id":"1"}');
    assert.equal((await post(server.port, '/eval', 'not json')).body, '{"id":"2"}');
    assert.equal((await get(server.port, '/eval/pending')).body, '{"code":"1+1","id":"1"}');
    assert.equal((await get(server.port, '/eval/pending')).body, '{"code":"","id":"2"}');
    assert.equal((await get(server.port, '/eval/pending')).body, '{}');
    assert.equal((await post(server.port, '/eval/5/result', '42')).body, OK);
    for (let i = 0; i < 2; i++) assert.equal((await get(server.port, '/eval/5')).body, '{"done":true,"result":42}');
    assert.equal((await post(server.port, '/eval/+5/result', '[1]')).body, OK);
    assert.equal((await get(server.port, '/eval/5')).body, '{"done":true,"result":[1]}');
  });

  test('console lines keep the last 500', async () => {
    assert.equal((await post(server.port, '/console', '{"msg":"hi"}')).body, OK);
    assert.equal((await post(server.port, '/console', 'garbage')).body, OK);
    assert.deepEqual((await getJson(server.port, '/console')).lines, ['[log] hi']);
    for (let i = 0; i < 500; i++) await post(server.port, '/console', JSON.stringify({ level: 'warn', msg: `m${i}` }));
    const lines = (await getJson(server.port, '/console')).lines;
    assert.equal(lines.length, 500);
    assert.equal(lines[0], '[warn] m0');
    assert.equal(lines[499], '[warn] m499');
  });
});

describe('the ui command against a server', () => {
  let server;
  before(async () => ({ server } = await serveInNewRoot()));
  after(() => stopServer(server));

  // Runs `ui` while this test plays the page; returns the command's outcome
  // and the expression it queued.
  async function roundTrip(result, ...args) {
    const running = ui(server.port, ...args);
    const pending = await takePending(server.port);
    const posted = await post(server.port, `/eval/${pending.id}/result`, JSON.stringify(result));
    assert.equal(posted.body, OK);
    return { ...(await running), expression: pending.code };
  }

  test('prints what the page answered', async () => {
    const cases = [
      [{ result: 'Silkscreen=false', error: null }, 'Silkscreen=false\n'],
      [{ error: null }, 'ok\n'],
      [{ result: null, error: null }, 'ok\n'],
      [{ result: ['a', 'b'], error: null }, '[\n  "a",\n  "b"\n]\n'],
      [{ result: { zoom: 2, a: 'é' }, error: null }, '{\n  "a": "é",\n  "zoom": 2\n}\n'],
      [{ result: 1.5 }, '1.5\n'],
    ];
    for (const [result, stdout] of cases) {
      const outcome = await roundTrip(result, 'layer', 'silk', 'off');
      assert.deepEqual(outcome, {
        code: 0,
        stdout,
        stderr: '',
        expression: `(window.ui && window.ui.layer) ? window.ui.layer("silk","off") : ${NOT_READY}`,
      }, JSON.stringify(result));
    }
  });

  test('sends arguments as JSON string literals', async () => {
    const outcome = await roundTrip({ result: 'toast: hi "there"', error: null }, 'toast', 'hi "there"');
    assert.equal(outcome.expression, `(window.ui && window.ui.toast) ? window.ui.toast("hi \\"there\\"") : ${NOT_READY}`);
    assert.equal(outcome.stdout, 'toast: hi "there"\n');
    const list = await roundTrip({ result: 'x', error: null }, 'list');
    assert.equal(list.expression, `(window.ui && window.ui.list) ? window.ui.list() : ${NOT_READY}`);
  });

  test('fails with the page error', async () => {
    const running = ui(server.port, 'zoom', 'in');
    const pending = await takePending(server.port);
    await post(server.port, `/eval/${pending.id}/result`, JSON.stringify({ error: 'TypeError: boom\n    at x' }));
    assert.deepEqual(await running, { code: 1, stdout: '', stderr: 'ERROR: UI error: TypeError: boom\n    at x\n' });
  });

  test('gives up when no page answers', async () => {
    const started = Date.now();
    const outcome = await ui(server.port, 'list');
    const elapsed = Date.now() - started;
    assert.deepEqual(outcome, {
      code: 1,
      stdout: '',
      stderr: `ERROR: timed out — open a browser tab on http://127.0.0.1:${server.port}/ so the UI can run the command\n`,
    });
    // 60 polls 120 ms apart
    assert.ok(elapsed >= 7000, `gave up after ${elapsed} ms`);
    // The expression is still queued for a page that opens later.
    assert.ok((await getJson(server.port, '/eval/pending')).id);
  });
});

describe('the ui command against other servers', () => {
  // A stand-in server answering every request with `status` and `body`.
  async function withFake(status, body, fn) {
    const fake = http.createServer((req, res) => {
      req.resume();
      req.on('end', () => res.writeHead(status, { 'Content-Type': 'text/plain' }).end(body));
    });
    await new Promise((r) => fake.listen(0, '127.0.0.1', r));
    try {
      return await fn(fake.address().port);
    } finally {
      fake.close();
    }
  }

  test('fails with "no eval id" when the reply has none', async () => {
    for (const [status, body] of [[404, NOT_FOUND], [200, '{"id":7}'], [200, '[]']]) {
      const outcome = await withFake(status, body, (port) => ui(port, 'list'));
      assert.deepEqual(outcome, { code: 1, stdout: '', stderr: 'ERROR: no eval id\n' }, body);
    }
  });

  test('fails with the decoding error when the reply is not JSON', async () => {
    const outcome = await withFake(200, 'hello', (port) => ui(port, 'list'));
    assert.equal(outcome.code, 1);
    assert.match(outcome.stderr, /^ERROR: error decoding response body: .*line 1 column \d+\n$/);
  });

  test('names the port when nothing listens', async () => {
    const port = await new Promise((resolve) => {
      const s = net.createServer().listen(0, '127.0.0.1', () => {
        const p = s.address().port;
        s.close(() => resolve(p));
      });
    });
    const outcome = await ui(port, 'list');
    assert.deepEqual(outcome, {
      code: 1,
      stdout: '',
      stderr: `ERROR: POST http://127.0.0.1:${port}/eval — is the app running? (tovik-footprint serve --port ${port}): Connection refused\n`,
    });
  });
});

describe('default ports', () => {
  // Listens on `port` of 127.0.0.1 when it is free; resolves with the server or null.
  function listenIfFree(port, handler) {
    return new Promise((resolve) => {
      const server = http.createServer(handler);
      server.once('error', () => resolve(null));
      server.listen(port, '127.0.0.1', () => resolve(server));
    });
  }

  test('ui talks to port 8783 unless told otherwise', async (t) => {
    const seen = [];
    const fake = await listenIfFree(8783, (req, res) => {
      seen.push(`${req.method} ${req.url}`);
      req.resume();
      req.on('end', () => res.writeHead(404, { 'Content-Type': JSON_TYPE }).end(NOT_FOUND));
    });
    if (!fake) return t.skip('port 8783 is taken on this machine');
    try {
      assert.deepEqual(await ui(undefined, 'list'), { code: 1, stdout: '', stderr: 'ERROR: no eval id\n' });
      assert.deepEqual(seen, ['POST /eval']);
    } finally {
      fake.close();
    }
  });

  test('serve listens on port 8782 unless told otherwise', async (t) => {
    const probe = await listenIfFree(8782, () => {});
    if (!probe) return t.skip('port 8782 is taken on this machine');
    await new Promise((r) => probe.close(r));
    const root = makeRoot();
    const proc = spawn(BIN, ['serve'], { cwd: root, env: { ...process.env, HOME: path.join(root, 'home') } });
    let stderr = '';
    proc.stderr.on('data', (c) => (stderr += c));
    const exited = new Promise((resolve) => proc.on('exit', resolve));
    for (let i = 0; i < 100 && !stderr.includes('\n'); i++) await sleep(50);
    try {
      assert.equal(stderr, '[tovik-footprint] serving on http://127.0.0.1:8782\n');
      assert.equal((await post(8782, '/shutdown')).body, OK);
      assert.equal(await exited, 0);
    } finally {
      if (proc.exitCode === null) process.kill(proc.pid, 'SIGKILL');
    }
  });
});

describe('the footprint session', () => {
  let root;
  let server;
  const file = path.join('lib', 'R_0603', 'R_0603.kicad_mod');
  before(async () => ({ root, server } = await serveInNewRoot({ [file]: R0603 }, ['--file', file])));
  after(() => stopServer(server));

  test('the preloaded file is the state', async () => {
    const state = await getJson(server.port, '/state');
    assert.deepEqual(Object.keys(state), [
      'bbox', 'canSave', 'chip', 'description', 'footprintName', 'hasMod', 'mpn', 'padCount',
      'pasteApertures', 'pasteDots', 'svg', 'tags', 'text',
    ]);
    assert.equal(state.footprintName, 'R_0603');
    assert.equal(state.mpn, 'R_0603');
    assert.equal(state.canSave, true);
    assert.equal(state.hasMod, true);
    assert.equal(state.padCount, 1);
    assert.equal(state.pasteApertures, 1);
    assert.ok(state.pasteDots > 0);
    assert.deepEqual(state.text.reference, { hidden: false, size: 1, x: 1, y: 2 });
    assert.ok(state.svg.startsWith('<svg') && state.svg.includes('tovik-layer-paste-dots'));
    // The library is the folder above the part's folder: it lists the part.
    assert.deepEqual(await getJson(server.port, '/api/chips'), { chips: [{ current: true, mpn: 'R_0603' }], current: 'R_0603' });
    const embed = await get(server.port, '/embed');
    assert.equal(embed.type, HTML_TYPE);
    assert.notEqual(embed.body, NOTICE_PAGE);
  });

  test('moving texts rounds to hundredths; saving keeps the first contents once', async () => {
    const moved = await post(server.port, '/text',
      JSON.stringify({ reference: { x: 1.236, y: -2.004 }, value: { x: 1.005, y: 3, size: 1.234 } }));
    assert.equal(moved.status, 200);
    assert.deepEqual(JSON.parse(moved.body), {
      ok: true,
      text: { reference: { hidden: false, size: 1, x: 1.24, y: -2 }, value: { hidden: false, size: 1.23, x: 1, y: 3 } },
    });
    // Only the text changed; the file waits for "/save".
    assert.equal(fs.readFileSync(path.join(root, file), 'utf8'), R0603);
    const saved = await post(server.port, '/save', '{}');
    assert.equal(saved.body, JSON.stringify({ ok: true, path: file }));
    const written = fs.readFileSync(path.join(root, file), 'utf8');
    assert.ok(written.includes('(at 1.24 -2)'), written);
    assert.equal(fs.readFileSync(path.join(root, file + '.orig'), 'utf8'), R0603);

    await post(server.port, '/text', JSON.stringify({ reference: { x: 5, y: 5 }, value: { x: 6, y: 6 } }));
    assert.equal((await post(server.port, '/save', '{}')).status, 200);
    assert.ok(fs.readFileSync(path.join(root, file), 'utf8').includes('(at 5 5)'));
    assert.equal(fs.readFileSync(path.join(root, file + '.orig'), 'utf8'), R0603);
    // Replaced in one step: no temporary file stays beside it.
    assert.deepEqual(fs.readdirSync(path.join(root, 'lib', 'R_0603')).sort(), ['R_0603.kicad_mod', 'R_0603.kicad_mod.orig']);
  });

  test('pushing a footprint forgets the file, even with a body that is not JSON', async () => {
    await post(server.port, '/load', 'not json');
    const state = await getJson(server.port, '/state');
    assert.equal(state.footprintName, 'R_0603');
    assert.equal(state.canSave, false);
    assert.equal((await post(server.port, '/save', '{}')).status, 422);
  });

  test('both load forms', async () => {
    const noName = R0603.replace('(footprint "R_0603"', '(footprint');
    const cases = [
      [{ kicadMod: R0603 }, { footprintName: 'R_0603', padCount: 1, hasMod: true, canSave: false }],
      [{ kicadMod: noName }, { footprintName: 'footprint', padCount: 1, hasMod: true }],
      [{ kicadMod: R0603, footprintName: '', svg: 'ignored', padCount: 9 }, { footprintName: '', padCount: 1, hasMod: true }],
      [{ footprintName: 'X', svg: '<svg/>', padCount: 4, mpn: 'M1', tags: 't', description: 'd' },
        { footprintName: 'X', svg: '<svg/>', padCount: 4, hasMod: false, mpn: 'M1', tags: 't', description: 'd' }],
      [{ footprintName: 'Y' }, { footprintName: 'Y', mpn: '', chip: null, bbox: { minx: -2, miny: -2, maxx: 2, maxy: 2 } }],
      [{ footprintName: 'X', padCount: 4.0 }, { padCount: 0 }],
      [{ footprintName: 'X', padCount: -4 }, { padCount: 0 }],
      [[1, 2], { footprintName: '', svg: '', padCount: 0, hasMod: false }],
    ];
    for (const [body, expected] of cases) {
      // JSON.stringify writes 4.0 as 4; the case needs the text 4.0.
      const text = JSON.stringify(body).replace('"padCount":4}', '"padCount":4.0}');
      assert.equal((await post(server.port, '/load', text)).body, OK);
      const state = await getJson(server.port, '/state');
      for (const [key, value] of Object.entries(expected)) assert.deepEqual(state[key], value, `${text}: ${key}`);
    }
    // A picture without footprint text cannot be edited or embedded.
    assert.equal((await post(server.port, '/text', '{"reference":{"x":1,"y":2},"value":{"x":3,"y":4}}')).status, 422);
    assert.equal((await get(server.port, '/embed')).body, NOTICE_PAGE);
  });
});

describe('starting and stopping', () => {
  test('a port in use fails before the start-up line', async () => {
    const blocker = net.createServer();
    await new Promise((r) => blocker.listen(0, '127.0.0.1', r));
    const port = blocker.address().port;
    try {
      assert.deepEqual(run(['serve', '--port', String(port)], { timeout: 10000 }),
        { status: 1, signal: null, stdout: '', stderr: `ERROR: bind ${port}: Address already in use\n` });
    } finally {
      blocker.close();
    }
  });

  test('a missing --file fails before the server starts', async () => {
    const outcome = run(['serve', '--port', '0', '--file', 'gone.kicad_mod'], { cwd: makeRoot(), timeout: 10000 });
    assert.deepEqual(outcome,
      { status: 1, signal: null, stdout: '', stderr: 'ERROR: reading gone.kicad_mod: No such file or directory\n' });
  });

  test('TOVIK_LISTEN_ADDRESS narrows the interfaces it listens on', async () => {
    const saved = process.env.TOVIK_LISTEN_ADDRESS;
    process.env.TOVIK_LISTEN_ADDRESS = '127.0.0.2';
    let server;
    try {
      server = await startServer(makeRoot());
    } finally {
      process.env.TOVIK_LISTEN_ADDRESS = saved;
    }
    try {
      const reachable = (host) => new Promise((resolve) => {
        const socket = net.connect(server.port, host);
        socket.on('connect', () => { socket.destroy(); resolve(true); });
        socket.on('error', () => resolve(false));
      });
      assert.deepEqual([await reachable('127.0.0.2'), await reachable('127.0.0.1')], [true, false]);
    } finally {
      await stopServer(server);
    }
  });

  test('POST /shutdown answers, then the process ends promptly', async () => {
    const { server } = await serveInNewRoot();
    // An idle keep-alive connection must not keep the server alive.
    const idle = net.connect(server.port, '127.0.0.1');
    idle.on('error', () => {});
    await new Promise((r) => idle.on('connect', r));
    assert.equal((await get(server.port, '/shutdown')).status, 404);
    const started = Date.now();
    const reply = await post(server.port, '/shutdown', '');
    assert.deepEqual([reply.status, reply.type, reply.body], [200, JSON_TYPE, OK]);
    const outcome = await Promise.race([server.exited, sleep(5000).then(() => 'still running')]);
    const elapsed = Date.now() - started;
    idle.destroy();
    if (outcome === 'still running') process.kill(server.proc.pid, 'SIGKILL');
    assert.deepEqual(outcome, { code: 0, signal: null });
    // Unannouncing the port is bounded even when the container host does not answer.
    assert.ok(elapsed < 2500, `stopped after ${elapsed} ms`);
    assert.equal(server.stderr(), `[tovik-footprint] serving on http://127.0.0.1:${server.port}\n`);
  });
});

describe('requests the server refuses or survives', () => {
  let root;
  let server;
  before(async () => {
    root = makeRoot();
    server = await startServer(root);
  });
  after(async () => {
    await stopServer(server);
  });

  test('a body above 32 MiB gets 413 and the server stays up', async () => {
    // Announced by its length: refused before a byte of the body is read.
    const announced = await rawExchange(server.port, [
      'POST /load HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 33554433\r\n\r\n',
    ]);
    assert.match(announced, /^HTTP\/1\.1 413 /);
    assert.ok(announced.endsWith('{"error":"request body larger than 32 MiB","ok":false}'), announced);
    // Sent in chunks: refused once the limit is passed.
    const chunked = await new Promise((resolve, reject) => {
      const req = http.request({ host: '127.0.0.1', port: server.port, method: 'POST', path: '/console', agent: false },
        (res) => {
          let body = '';
          res.on('data', (d) => (body += d));
          res.on('end', () => resolve({ status: res.statusCode, body }));
        });
      req.on('error', reject);
      const chunk = Buffer.alloc(1 << 20, 0x20);
      for (let i = 0; i < 33; i++) req.write(chunk);
      req.end();
    });
    assert.deepEqual(chunked, { status: 413, body: '{"error":"request body larger than 32 MiB","ok":false}' });
    assert.equal((await get(server.port, '/state')).status, 200);
    // Exactly at the limit is accepted (and, being blanks, is not JSON).
    const atLimit = await post(server.port, '/console', Buffer.alloc(32 << 20, 0x20));
    assert.equal(atLimit.body, OK);
  });

  test('JSON nested deeper than 128 levels is not JSON to any route', async () => {
    const deep = (n) => '['.repeat(n) + ']'.repeat(n);
    await post(server.port, '/load', JSON.stringify({ footprintName: 'before', svg: '' }));
    assert.equal((await post(server.port, '/load', `{"footprintName":"after","x":${deep(200)}}`)).body, OK);
    assert.equal((await getJson(server.port, '/state')).footprintName, 'before');
    assert.equal((await post(server.port, '/eval/77/result', deep(129))).body, OK);
    assert.equal((await get(server.port, '/eval/77')).body, '{"done":false}');
    assert.equal((await post(server.port, '/eval/78/result', deep(128))).body, OK);
    assert.equal((await get(server.port, '/eval/78')).body, `{"done":true,"result":${deep(128)}}`);
    assert.equal((await post(server.port, '/console', `{"msg":"deep","x":${deep(100000)}}`)).body, OK);
    assert.ok(!(await getJson(server.port, '/console')).lines.includes('[log] deep'));
  });

  test('a body that is not UTF-8 reaches the route as the empty text', async () => {
    const bytes = Buffer.concat([Buffer.from('{"code":"'), Buffer.from([0xff, 0xfe]), Buffer.from('"}')]);
    const { id } = JSON.parse((await post(server.port, '/eval', bytes)).body);
    let pending;
    while ((pending = await getJson(server.port, '/eval/pending')).id !== id);
    assert.equal(pending.code, '');
  });

  test('a body cut short is routed with the part that arrived', async () => {
    const reply = await rawExchange(server.port, [
      'POST /console HTTP/1.1\r\nHost: x\r\nContent-Length: 500\r\n\r\n{"msg":"cut short"}',
    ], { endAfterWrite: true });
    assert.match(reply, /^HTTP\/1\.1 200 /);
    assert.ok((await getJson(server.port, '/console')).lines.includes('[log] cut short'));
  });

  test('a silent client is dropped and holds up nobody', async () => {
    const socket = net.connect(server.port, '127.0.0.1');
    const closed = new Promise((resolve) => socket.on('close', resolve));
    socket.on('error', () => {});
    await new Promise((r) => socket.on('connect', r));
    socket.write('POST /load HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{"footprint');
    const started = Date.now();
    assert.equal((await get(server.port, '/console')).status, 200);
    assert.ok(Date.now() - started < 2000, "the silent client held up another");
    const outcome = await Promise.race([closed.then(() => 'closed'), sleep(10000).then(() => 'open')]);
    assert.equal(outcome, 'closed');
  });

  test('requests from another site are refused before routing', async () => {
    const host = `127.0.0.1:${server.port}`;
    const cases = [
      [{ Origin: 'http://evil.example' }, 403],
      [{ Origin: 'null' }, 403],
      [{ Origin: `https://${host}` }, 403],
      [{ Origin: `http://${host}` }, 200],
      [{}, 200],
    ];
    for (const [headers, status] of cases) {
      const reply = await request(server.port, 'POST', '/eval', '{"code":"steal()"}', headers);
      assert.equal(reply.status, status, JSON.stringify(headers));
      if (status === 403) assert.equal(reply.body, '{"error":"cross-origin request refused","ok":false}');
    }
    const queued = [];
    for (let p; (p = await getJson(server.port, '/eval/pending')).id;) queued.push(p.id);
    assert.equal(queued.length, 2);
  });

  test('pipelined requests are answered in order on one connection', async () => {
    const reply = await rawExchange(server.port, [
      'GET /eval/9 HTTP/1.1\r\nHost: x\r\n\r\nGET /nothing HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n',
    ]);
    const statuses = [...reply.matchAll(/HTTP\/1\.1 (\d+)/g)].map((m) => m[1]);
    assert.deepEqual(statuses, ['200', '404']);
  });

  test('bytes that are no HTTP request get a 400', async () => {
    const reply = await rawExchange(server.port, ['HELLO THERE\r\n\r\n']);
    assert.match(reply, /^HTTP\/1\.1 400 /);
    assert.equal((await get(server.port, '/console')).status, 200);
  });
});
