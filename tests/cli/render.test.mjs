// Black-box tests of the drawing commands: preview, render, render-vornel,
// embed, and the SVG and viewer page that create writes.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const BIN = process.env.TOVIK_BIN;

// Two pads, a silkscreen line; named in the current quoted form.
const TWO_PADS = `(footprint "R_Test" (version 20240108) (generator "test") (layer "F.Cu")
  (fp_line (start -1 -1) (end 1 -1) (stroke (width 0.12) (type solid)) (layer "F.SilkS"))
  (pad "1" smd rect (at -1 0) (size 1 0.5) (layers "F.Cu" "F.Paste" "F.Mask"))
  (pad "2" smd rect (at 1 0) (size 1 0.5) (layers "F.Cu" "F.Paste" "F.Mask"))
)
`;
// The older form has no footprint name, so outputs are called "footprint".
const OLD_MODULE = `(module R_Old (layer F.Cu) (tedit 0)
  (pad 1 smd rect (at 0 0) (size 1 1) (layers F.Cu F.Paste F.Mask))
)
`;
const NO_ELEMENTS = '(footprint "Empty" (layer "F.Cu"))\n';
const EMPTY_DRAWING =
  '<svg xmlns="http://www.w3.org/2000/svg" viewBox="-6.000 -6.000 12.000 12.000" ' +
  'preserveAspectRatio="xMidYMid meet"><g class="tovik-layer-courtyard"></g><g class="tovik-layer-fab"></g>' +
  '<g class="tovik-layer-copper"></g><g class="tovik-layer-heatsink"></g><g class="tovik-layer-drill"></g>' +
  '<g class="tovik-layer-silk"></g><g class="tovik-layer-padnum"></g></svg>';
const VORNEL = JSON.stringify({
  footprintName: 'SOT-23-V',
  pads: [
    { number: '1', at: [-0.95, 1.1], size: [0.6, 0.7] },
    { number: '2', at: [0.95, 1.1], size: [0.6, 0.7] },
    { number: '3', at: [0, -1.1], size: [0.6, 0.7] },
  ],
  bodyDimensions: [2.9, 1.3],
});
const CREATE = JSON.stringify({
  footprintName: 'SOT-23',
  description: 'Small <outline> & "transistor"',
  tags: 'SOT <23>',
  pads: [
    { number: '1', x: -0.95, y: 1.1, dx: 0.6, dy: 0.7 },
    { number: '2', x: 0.95, y: 1.1, dx: 0.6, dy: 0.7 },
    { number: '3', x: 0, y: -1.1, dx: 0.6, dy: 0.7 },
  ],
  body: { x1: -1.45, y1: -0.65, x2: 1.45, y2: 0.65 },
});
const NO_FILE = 'No such file or directory';

const made = [];
after(() => { for (const dir of made) fs.rmSync(dir, { recursive: true, force: true }); });

// A fresh working directory holding `files` (relative path -> text).
function workdir(files = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tovik-render-'));
  made.push(dir);
  for (const [name, text] of Object.entries(files)) {
    fs.mkdirSync(path.dirname(path.join(dir, name)), { recursive: true });
    fs.writeFileSync(path.join(dir, name), text);
  }
  return dir;
}

function run(cwd, args, input = '') {
  const r = spawnSync(BIN, args, { cwd, input, encoding: 'utf8' });
  return { status: r.status, stdout: r.stdout, stderr: r.stderr };
}

// Every file under `dir`, relative, sorted.
function listFiles(dir) {
  return fs.readdirSync(dir, { recursive: true, withFileTypes: true })
    .filter((e) => e.isFile())
    .map((e) => path.relative(dir, path.join(e.parentPath ?? e.path, e.name)))
    .sort();
}

const read = (dir, name) => fs.readFileSync(path.join(dir, name), 'utf8');

test('render writes the thumbnail SVG and prints the OK line', () => {
  const dir = workdir({ 'r.kicad_mod': TWO_PADS, 'empty.kicad_mod': NO_ELEMENTS });
  assert.deepEqual(run(dir, ['render', '--file', 'r.kicad_mod', '--out', 'r.svg']),
    { status: 0, stdout: 'OK: rendered r.kicad_mod → r.svg\n', stderr: '' });
  const svg = read(dir, 'r.svg');
  assert.match(svg, /^<svg xmlns="http:\/\/www.w3.org\/2000\/svg" viewBox="[^"]*" preserveAspectRatio="xMidYMid meet">/);
  assert.equal(svg.match(/data-pad="/g).length, 2);
  // The thumbnail carries no paste overlay.
  assert.doesNotMatch(svg, /tovik-layer-paste/);

  assert.deepEqual(run(dir, ['render', '--file', 'empty.kicad_mod', '--out', 'empty.svg']),
    { status: 0, stdout: 'OK: rendered empty.kicad_mod → empty.svg\n', stderr: '' });
  assert.equal(read(dir, 'empty.svg'), EMPTY_DRAWING);
});

test('preview writes NAME-viewer.html beside the input or into --out', () => {
  const cases = [
    { file: 'a/b.kicad_mod', out: null, page: 'a/R_Test-viewer.html' },
    { file: 'b.kicad_mod', out: null, page: 'R_Test-viewer.html' },
    { file: 'a/b.kicad_mod', out: 'x', page: 'x/R_Test-viewer.html' },
    { file: 'old.kicad_mod', out: null, page: 'footprint-viewer.html' },
  ];
  for (const c of cases) {
    const dir = workdir({ 'a/b.kicad_mod': TWO_PADS, 'b.kicad_mod': TWO_PADS, 'old.kicad_mod': OLD_MODULE });
    if (c.out) fs.mkdirSync(path.join(dir, c.out));
    const args = ['preview', '--file', c.file, ...(c.out ? ['--out', c.out] : [])];
    assert.deepEqual(run(dir, args), { status: 0, stdout: `viewer ${c.page}\n`, stderr: '' }, c.file);
    const inputs = ['a/b.kicad_mod', 'b.kicad_mod', 'old.kicad_mod'];
    assert.deepEqual(listFiles(dir), [...inputs, c.page].sort(), c.file);
  }
});

test('the preview card shows the drawing render writes, the name and the pad count', () => {
  const dir = workdir({ 'r.kicad_mod': TWO_PADS });
  assert.equal(run(dir, ['render', '--file', 'r.kicad_mod', '--out', 'r.svg']).status, 0);
  assert.equal(run(dir, ['preview', '--file', 'r.kicad_mod']).status, 0);
  const page = read(dir, 'R_Test-viewer.html');
  assert.ok(page.startsWith('<!doctype html><html><head><meta charset="utf-8"><title>R_Test — tovik-footprint</title>'));
  assert.ok(page.includes(`<div class="name">R_Test</div><div class="meta">2 pads</div><div class="svgbox">${read(dir, 'r.svg')}</div>`));
  assert.ok(!page.includes('\n'));
});

test('embed writes NAME-embed.html beside the input, or exactly --out', () => {
  const dir = workdir({ 'a/r.kicad_mod': TWO_PADS, 'empty.kicad_mod': NO_ELEMENTS });
  assert.deepEqual(run(dir, ['embed', '--file', 'a/r.kicad_mod']),
    { status: 0, stdout: 'OK: interactive embed (2 pads) → a/R_Test-embed.html\n', stderr: '' });
  assert.deepEqual(run(dir, ['embed', '--file', 'empty.kicad_mod', '--out', 'page.html']),
    { status: 0, stdout: 'OK: interactive embed (0 pads) → page.html\n', stderr: '' });
  assert.deepEqual(listFiles(dir), ['a/R_Test-embed.html', 'a/r.kicad_mod', 'empty.kicad_mod', 'page.html']);

  const page = read(dir, 'a/R_Test-embed.html');
  assert.ok(page.includes('<title>R_Test - tovik-footprint</title>'));
  assert.ok(page.includes('var META={"pasteApertures":2,"pasteDots":4};'));
  // The full drawing: thumbnail groups plus the paste overlay.
  assert.match(page, /<g class="tovik-layer-paste-apertures">.*<g class="tovik-layer-paste-dots">/);
  assert.ok(page.includes('window.AV = {'));
  assert.doesNotMatch(page, /__NAME__|__SVG__|__META__|__AV_CSS__|__AV_JS__/);
  assert.ok(read(dir, 'page.html').includes('var META={"pasteApertures":0,"pasteDots":0};'));
});

test('render-vornel converts an extracted footprint and draws it', () => {
  const dir = workdir({ 'p-footprint.extracted.json': VORNEL });
  assert.deepEqual(run(dir, ['render-vornel', '--file', 'p-footprint.extracted.json', '--out', 'v.svg']),
    { status: 0, stdout: 'OK: rendered vornel footprint → v.svg (3 pads)\n', stderr: '' });
  const svg = read(dir, 'v.svg');
  assert.equal(svg.match(/data-pad="/g).length, 3);
  assert.doesNotMatch(svg, /tovik-layer-paste/);
  // The body of the extracted file is drawn on the fabrication layer.
  assert.match(svg, /<g class="tovik-layer-fab"><[^/]/);
});

test('failures print one ERROR line, exit 1 and write nothing', () => {
  const emptyPads = JSON.stringify({ footprintName: 'X', pads: [] });
  const noPads = JSON.stringify({ footprintName: 'X' });
  const cases = [
    [['render', '--file', 'missing.kicad_mod', '--out', 'o.svg'], `ERROR: reading missing.kicad_mod: ${NO_FILE}`],
    [['render', '--file', 'r.kicad_mod', '--out', 'nodir/o.svg'], `ERROR: writing nodir/o.svg: ${NO_FILE}`],
    [['preview', '--file', 'missing.kicad_mod'], `ERROR: reading missing.kicad_mod: ${NO_FILE}`],
    // The viewer page is written without a context frame.
    [['preview', '--file', 'r.kicad_mod', '--out', 'nodir'], `ERROR: ${NO_FILE}`],
    [['embed', '--file', 'missing.kicad_mod'], `ERROR: reading missing.kicad_mod: ${NO_FILE}`],
    [['embed', '--file', 'r.kicad_mod', '--out', 'nodir/p.html'], `ERROR: writing nodir/p.html: ${NO_FILE}`],
    [['render-vornel', '--file', 'missing.json', '--out', 'o.svg'], `ERROR: reading missing.json: ${NO_FILE}`],
    [['render-vornel', '--file', 'v.json', '--out', 'nodir/o.svg'], `ERROR: writing nodir/o.svg: ${NO_FILE}`],
    [['render-vornel', '--file', 'empty-pads.json', '--out', 'o.svg'], 'ERROR: footprint extraction has no pads'],
    [['render-vornel', '--file', 'no-pads.json', '--out', 'o.svg'], 'ERROR: footprint JSON has no pads[]'],
  ];
  for (const [args, line] of cases) {
    const files = { 'r.kicad_mod': TWO_PADS, 'v.json': VORNEL, 'empty-pads.json': emptyPads, 'no-pads.json': noPads };
    const dir = workdir(files);
    assert.deepEqual(run(dir, args), { status: 1, stdout: '', stderr: `${line}\n` }, args.join(' '));
    assert.deepEqual(listFiles(dir), Object.keys(files).sort(), args.join(' '));
  }
});

test('render-vornel refuses numbers that would not be finite in the footprint, as create does', () => {
  const pad = (number, x) => ({ number, at: [x, 0], size: [1, 1] });
  const cases = [
    // Each coordinate is finite; the extent from one to the other is not.
    [[pad('1', 1e308), pad('2', -1e308)], "ERROR: the footprint's extent is too large to write"],
    [[pad('1', 1.7e308)], "ERROR: the footprint's extent is too large to write"],
  ];
  for (const [pads, line] of cases) {
    const dir = workdir({ 'big-footprint.extracted.json': JSON.stringify({ footprintName: 'Big', pads }) });
    assert.deepEqual(run(dir, ['render-vornel', '--file', 'big-footprint.extracted.json', '--out', 'o.svg']),
      { status: 1, stdout: '', stderr: `${line}\n` }, JSON.stringify(pads));
    assert.deepEqual(listFiles(dir), ['big-footprint.extracted.json']);
  }
});

test('render-vornel names a JSON syntax error with its context', () => {
  const dir = workdir({ 'bad.json': '{"pads": [' });
  const r = run(dir, ['render-vornel', '--file', 'bad.json', '--out', 'o.svg']);
  assert.equal(r.status, 1);
  assert.match(r.stderr, /^ERROR: parsing vornel footprint JSON: .+\n$/);
  assert.deepEqual(listFiles(dir), ['bad.json']);
});

test('a footprint name that is not a plain file name never becomes part of a path', () => {
  const text = TWO_PADS.replace('"R_Test"', '"../up"');
  for (const args of [['preview', '--file', 'a/r.kicad_mod'], ['embed', '--file', 'a/r.kicad_mod']]) {
    const dir = workdir({ 'a/r.kicad_mod': text });
    assert.deepEqual(run(dir, args),
      { status: 1, stdout: '', stderr: 'ERROR: footprint name `../up` is not a plain file name\n' }, args[0]);
    assert.deepEqual(listFiles(dir), ['a/r.kicad_mod'], args[0]);
  }
  // With --out naming the page itself, the name is only shown, escaped.
  const dir = workdir({ 'a/r.kicad_mod': text });
  assert.equal(run(dir, ['embed', '--file', 'a/r.kicad_mod', '--out', 'p.html']).status, 0);
  assert.ok(read(dir, 'p.html').includes('<span class="nm">../up</span>'));
});

test('render without --out is a usage error and writes nothing', () => {
  const dir = workdir({ 'r.kicad_mod': TWO_PADS });
  const r = run(dir, ['render', '--file', 'r.kicad_mod']);
  assert.equal(r.status, 2);
  assert.equal(r.stdout, '');
  assert.deepEqual(listFiles(dir), ['r.kicad_mod']);
});

test('create writes the footprint, its SVG and its viewer page and prints three aligned lines', () => {
  for (const out of [null, 'build/deep']) {
    const dir = workdir({ 'sot.json': CREATE });
    const args = ['create', '--file', 'sot.json', ...(out ? ['--out', out] : [])];
    const d = out ?? 'SOT-23';
    assert.deepEqual(run(dir, args), {
      status: 0,
      stdout: `created ${d}/SOT-23.kicad_mod\nsvg     ${d}/SOT-23.svg\nviewer  ${d}/SOT-23-viewer.html\n`,
      stderr: '',
    }, String(out));
    assert.deepEqual(listFiles(dir),
      [`${d}/SOT-23-viewer.html`, `${d}/SOT-23.kicad_mod`, `${d}/SOT-23.svg`, 'sot.json'].sort());

    // The SVG is what render draws from the written footprint.
    assert.equal(run(dir, ['render', '--file', `${d}/SOT-23.kicad_mod`, '--out', 'check.svg']).status, 0);
    const svg = read(dir, `${d}/SOT-23.svg`);
    assert.equal(svg, read(dir, 'check.svg'));
    // The card carries the input's pad count, tags and description, escaped.
    const page = read(dir, `${d}/SOT-23-viewer.html`);
    assert.ok(page.includes('<div class="name">SOT-23</div><div class="meta">3 pads · SOT &lt;23&gt;</div>' +
      '<div class="desc">Small &lt;outline&gt; &amp; "transistor"</div>' +
      `<div class="svgbox">${svg}</div>`));
  }
});

test('create from standard input behaves like --file', () => {
  const dir = workdir();
  const r = run(dir, ['create'], CREATE);
  assert.equal(r.status, 0, r.stderr);
  assert.equal(r.stdout.split('\n')[1], 'svg     SOT-23/SOT-23.svg');
  assert.deepEqual(listFiles(dir), ['SOT-23/SOT-23-viewer.html', 'SOT-23/SOT-23.kicad_mod', 'SOT-23/SOT-23.svg']);
});

test('create that cannot write its page keeps what it wrote and prints no path', () => {
  const dir = workdir({ 'sot.json': CREATE });
  // A directory in the page's place makes that one write fail.
  fs.mkdirSync(path.join(dir, 'SOT-23/SOT-23-viewer.html'), { recursive: true });
  assert.deepEqual(run(dir, ['create', '--file', 'sot.json']),
    { status: 1, stdout: '', stderr: 'ERROR: Is a directory\n' });
  assert.deepEqual(listFiles(dir), ['SOT-23/SOT-23.kicad_mod', 'SOT-23/SOT-23.svg', 'sot.json']);
});
