// Black-box tests of the part-library routes and of delivery, against a real
// `serve --port 0` with a temporary home folder, working directory and TMPDIR.
// Delivery runs the stand-in programs built with the project.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

import { BIN, tempDir, writeFile, readFile } from './lib.mjs';

const BUILD = process.env.TOVIK_BINARY_DIR;
const TOOLS_PATH = [path.join(BUILD, 'tools/tovik-lbr'), path.join(BUILD, 'tools/tovik-desktop')].join(':');
const JSON_TYPE = 'application/json';

const footprint = (name, pads = 2) => `(footprint "${name}" (version 20240108) (generator "test") (layer "F.Cu")
  (fp_text reference "REF**" (at 0 -2) (layer "F.SilkS") (effects (font (size 1 1) (thickness 0.15))))
  (fp_text value "${name}" (at 0 2) (layer "F.Fab") (effects (font (size 1 1) (thickness 0.15))))
${Array.from({ length: pads }, (_, i) => `  (pad "${i + 1}" smd rect (at ${i} 0) (size 0.6 0.8) (layers "F.Cu" "F.Paste" "F.Mask"))`).join('\n')}
)
`;

const servers = [];
after(async () => {
  for (const s of servers) await stopServer(s);
});

/** Starts `serve --port 0` with HOME = root/home, cwd = root, TMPDIR = root/tmp. */
function startServer(root, { args = [], pathEnv = process.env.PATH } = {}) {
  fs.mkdirSync(path.join(root, 'home'), { recursive: true });
  fs.mkdirSync(path.join(root, 'tmp'), { recursive: true });
  const env = { ...process.env, HOME: path.join(root, 'home'), TMPDIR: path.join(root, 'tmp'), PATH: pathEnv };
  const proc = spawn(BIN, ['serve', '--port', '0', ...args], { cwd: root, env, stdio: ['ignore', 'ignore', 'pipe'] });
  const exited = new Promise((resolve) => proc.on('exit', resolve));
  return new Promise((resolve, reject) => {
    let stderr = '';
    const timer = setTimeout(() => reject(new Error(`server did not start: ${stderr}`)), 10000);
    proc.stderr.on('data', (chunk) => {
      stderr += chunk;
      const m = /serving on http:\/\/127\.0\.0\.1:(\d+)\n/.exec(stderr);
      if (m) {
        clearTimeout(timer);
        const server = { port: Number(m[1]), proc, exited, root };
        servers.push(server);
        resolve(server);
      }
    });
    exited.then((code) => reject(new Error(`server exited with ${code}: ${stderr}`)));
  });
}

async function stopServer(server) {
  if (server.proc.exitCode !== null || server.proc.signalCode !== null) return;
  await request(server.port, 'POST', '/shutdown').catch(() => {});
  const done = await Promise.race([server.exited.then(() => true), new Promise((r) => setTimeout(r, 3000, false))]);
  if (!done) process.kill(server.proc.pid, 'SIGKILL');
  await server.exited;
}

function request(port, method, target, body) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port, method, path: target, agent: false }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => {
        const bytes = Buffer.concat(chunks);
        resolve({ status: res.statusCode, type: res.headers['content-type'], bytes, body: bytes.toString('utf8') });
      });
    });
    req.on('error', reject);
    if (body !== undefined) req.setHeader('Content-Type', JSON_TYPE);
    req.end(body);
  });
}

const get = (s, target) => request(s.port, 'GET', target);
const post = (s, target, body) => request(s.port, 'POST', target, typeof body === 'string' ? body : JSON.stringify(body));

/** A root folder whose home holds a library with the given parts ({mpn: {file: text}}). */
function makeLibrary(parts, root = tempDir('tovik-library-')) {
  const lib = path.join(root, 'home/project/partloom/library');
  fs.mkdirSync(lib, { recursive: true });
  for (const [mpn, files] of Object.entries(parts))
    for (const [name, text] of Object.entries(files)) writeFile(path.join(lib, mpn), name, text);
  return { root, lib };
}

test('the library rail: listing, projects, loading a part, its metadata and image', async () => {
  const png = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 1, 2, 255]);
  const { root, lib } = makeLibrary({
    b2: { 'b2.kicad_mod': footprint('B2') },
    A1: { 'A1.altium.kicad_mod': footprint('A1_Altium', 3), 'A1.manufacturer.kicad_mod': footprint('A1_Mfr'),
      'A1-footprint.extracted.json': '{"manufacturer":null,"package":"SOT-23","bodyDimensions":{"x":2.9,"y":1.3,"thickness_max":1.1},"padCount":3}',
      'info.json': '{"manufacturer":"Acme","family":"Regulators","datasheet_url":"https://example.com/a1.pdf"}',
      'A1-3d-iso-lg.png': png },
    a0: { 'other.kicad_mod': footprint('Other') },
    NoFootprint: { 'info.json': '{}' },
    OnlyDot: { '.kicad_mod': footprint('Dot'), 'notes.txt': 'x' },
  });
  writeFile(lib, 'loose.kicad_mod', footprint('Loose'));
  writeFile(root, 'home/.config/tovik-partloom/projects.json', 'not even JSON {');
  const s = await startServer(root);

  let r = await get(s, '/api/chips');
  assert.equal(r.type, JSON_TYPE);
  assert.equal(r.body, '{"chips":[{"current":false,"mpn":"a0"},{"current":false,"mpn":"A1"},{"current":false,"mpn":"b2"}],"current":""}');
  r = await get(s, '/api/projects');
  assert.deepEqual([r.status, r.type, r.body], [200, JSON_TYPE, 'not even JSON {']);
  assert.equal((await get(s, '/api/chip3d')).status, 404);

  r = await post(s, '/load-chip', { mpn: 'A1' });
  assert.deepEqual([r.status, r.type, r.body], [200, JSON_TYPE, '{"mpn":"A1","ok":true}']);
  const state = JSON.parse((await get(s, '/state')).body);
  assert.equal(state.footprintName, 'A1_Altium');  // the Altium variant comes before the manufacturer's
  assert.equal(state.padCount, 3);
  assert.equal(state.mpn, 'A1');
  assert.equal(state.canSave, true);
  assert.deepEqual(state.chip, {
    bodyDimensions: { thickness_max: 1.1, x: 2.9, y: 1.3 }, datasheet: 'https://example.com/a1.pdf', description: null,
    family: 'Regulators', has3d: false, manufacturer: 'Acme', mpn: 'A1', package: 'SOT-23', padCount: 3,
  });
  assert.equal((await get(s, '/api/chips')).body,
    '{"chips":[{"current":false,"mpn":"a0"},{"current":true,"mpn":"A1"},{"current":false,"mpn":"b2"}],"current":"A1"}');

  // The image is the loaded part's, whatever the query names.
  r = await get(s, '/api/chip3d?mpn=b2');
  assert.deepEqual([r.status, r.type], [200, 'image/png']);
  assert.deepEqual(r.bytes, png);

  // "/save" writes into the very library file that was loaded.
  r = await post(s, '/text', { reference: { x: 0, y: -3 }, value: { x: 0, y: 3 } });
  assert.equal(r.status, 200, r.body);
  r = await post(s, '/save', {});
  assert.equal(r.status, 200, r.body);
  assert.match(readFile(path.join(lib, 'A1/A1.altium.kicad_mod')), /\(at 0 -3\)/);
  assert.equal(readFile(path.join(lib, 'A1/A1.altium.kicad_mod.orig')), footprint('A1_Altium', 3));
});

test('/load-chip refuses bad requests and never leaves the library', async () => {
  const { root } = makeLibrary({ P1: { 'P1.kicad_mod': footprint('P1') } });
  // Footprints a path trick could reach.
  writeFile(root, 'home/project/partloom/evil/evil.kicad_mod', footprint('Evil'));
  writeFile(root, 'home/project/partloom/library/a/b/b.kicad_mod', footprint('Nested'));
  const s = await startServer(root);
  assert.equal((await post(s, '/load-chip', { mpn: 'P1' })).status, 200);
  const cases = [
    ['', 400, 'mpn required'], ['not json', 400, 'mpn required'], ['{}', 400, 'mpn required'],
    ['{"mpn":5}', 400, 'mpn required'], ['{"mpn":""}', 400, 'mpn required'],
    ['{"mpn":"NOPE"}', 404, 'chip not found in library'], ['{"mpn":"p1"}', 404, 'chip not found in library'],
    ['{"mpn":"../evil"}', 404, 'chip not found in library'], ['{"mpn":"a/b"}', 404, 'chip not found in library'],
    ['{"mpn":".."}', 404, 'chip not found in library'], ['{"mpn":"a\\\\b"}', 404, 'chip not found in library'],
    ['{"mpn":"P1\\u0000"}', 404, 'chip not found in library'],
  ];
  for (const [body, status, error] of cases) {
    const r = await post(s, '/load-chip', body);
    assert.deepEqual([r.status, r.type, r.body], [status, JSON_TYPE, `{"error":"${error}","ok":false}`], body);
  }
  assert.equal(JSON.parse((await get(s, '/state')).body).footprintName, 'P1');  // still loaded
});

test('a server started on a library file browses that file\'s library', async () => {
  const { root } = makeLibrary({ HOMEPART: { 'HOMEPART.kicad_mod': footprint('HomePart') } });
  const file = writeFile(root, 'data/lib/ABC/ABC.kicad_mod', footprint('ABC'));
  writeFile(root, 'data/lib/XYZ/XYZ.fusion.kicad_mod', footprint('XYZ'));
  const s = await startServer(root, { args: ['--file', file] });
  assert.equal((await get(s, '/api/chips')).body,
    '{"chips":[{"current":true,"mpn":"ABC"},{"current":false,"mpn":"XYZ"}],"current":"ABC"}');
  assert.equal((await post(s, '/load-chip', { mpn: 'XYZ' })).status, 200);
  assert.equal((await post(s, '/load-chip', { mpn: 'HOMEPART' })).status, 404);
  assert.equal((await get(s, '/api/projects')).body, '{"projects":{}}');
});

test('Send-to delivers through the stand-in programs', async () => {
  const root = tempDir('tovik-deliver-');
  const file = writeFile(root, 'parts/QFN 16/QFN 16.kicad_mod', footprint('QFN 16/3x3', 4));
  const s = await startServer(root, { args: ['--file', file], pathEnv: `${TOOLS_PATH}:${process.env.PATH}` });
  const work = path.join(root, 'tmp', `tovik-footprint-deliver-${s.proc.pid}`);
  const desktop = path.join(root, 'home', 'Tovik Desktop');

  let r = await post(s, '/deliver', 'not json');
  assert.deepEqual([r.status, r.type, r.body], [200, JSON_TYPE, '{"message":"Delivered footprint to KiCad.","ok":true,"target":"KiCad"}']);
  assert.equal(readFile(path.join(desktop, 'footprints/QFN_16_3x3.kicad_mod')), footprint('QFN 16/3x3', 4));

  r = await post(s, '/deliver', { target: 'fusion' });
  assert.equal(r.body, '{"message":"Delivered library (.lbr) to Fusion 360.","ok":true,"target":"Fusion 360"}');
  const lbr = path.join(desktop, 'fusion/QFN_16_3x3.lbr');
  assert.equal(spawnSync('xmllint', ['--noout', '--nonet', lbr]).status, 0);
  assert.match(readFile(lbr), /<package name="QFN_16\/3x3">/);

  for (const [target, tool] of [['altium', 'Altium'], ['orcad', 'OrCAD']]) {
    const answer = JSON.parse((await post(s, '/deliver', { target })).body);
    assert.equal(answer.needsBridge, true);
    assert.equal(answer.ok, false);
    assert.equal(answer.target, tool);
    assert.equal(answer.file, path.join(work, 'QFN_16_3x3.lbr'));
    assert.equal(answer.message.split(tool).length, 4, answer.message);  // the tool named three times
  }
  r = await post(s, '/deliver', { target: 'KiCad' });
  assert.equal(r.body, '{"error":"unknown target KiCad","ok":false}');
});

test('Send-to without the outside programs on PATH', async () => {
  const root = tempDir('tovik-deliver-');
  const file = writeFile(root, 'parts/R1/R1.kicad_mod', footprint('R1'));
  const s = await startServer(root, { args: ['--file', file], pathEnv: '/usr/bin:/bin' });
  assert.equal((await post(s, '/deliver', {})).body,
    '{"error":"tovik-desktop unreachable: No such file or directory","offline":true,"ok":false,"target":"KiCad"}');
  for (const target of ['fusion360', 'altium', 'orcad'])
    assert.equal((await post(s, '/deliver', { target })).body,
      '{"error":"tovik-lbr not available: No such file or directory","ok":false}', target);
  // The footprint file stays in the work folder after the failures.
  assert.equal(readFile(path.join(root, 'tmp', `tovik-footprint-deliver-${s.proc.pid}`, 'R1.kicad_mod')), footprint('R1'));
});
