// Black-box tests of the two stand-in programs that delivery runs:
// tovik-lbr (EAGLE library generator) and tovik-desktop (bridge relay).
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const BUILD = process.env.TOVIK_BINARY_DIR;
const SOURCE = process.env.TOVIK_SOURCE_DIR;
const LBR = path.join(BUILD, 'tools/tovik-lbr/tovik-lbr');
const DESKTOP = path.join(BUILD, 'tools/tovik-desktop/tovik-desktop');
const CORPUS = path.join(SOURCE, '../shared/corpus');

// Pads of every kind, outlines of every kind, texts off the origin.
const FOOTPRINT = `(footprint "Test_Part" (version 20240108) (generator "test") (layer "F.Cu")
  (descr "A part & its <test>")
  (property "Reference" "REF**" (at 0.5 -3.25 90) (layer "F.SilkS")
    (effects (font (size 0.8 0.8) (thickness 0.12))))
  (property "Value" "Test_Part" (at -0.5 3.5) (layer "F.Fab")
    (effects (font (size 1.2 1.2) (thickness 0.15))))
  (fp_line (start -2 -2) (end 2 -2) (stroke (width 0.12) (type solid)) (layer "F.SilkS"))
  (fp_rect (start -1.5 -1) (end 1.5 1) (stroke (width 0.1) (type solid)) (fill none) (layer "F.Fab"))
  (fp_circle (center 0 0) (end 0.25 0) (stroke (width 0.1) (type solid)) (fill solid) (layer "F.Fab"))
  (fp_arc (start 1 0) (mid 0 -1) (end -1 0) (stroke (width 0.12) (type solid)) (layer "F.SilkS"))
  (fp_poly (pts (xy -1 1.5) (xy 1 1.5) (xy 0 2)) (stroke (width 0) (type solid)) (fill solid) (layer "F.SilkS"))
  (fp_line (start -3 -3) (end 3 -3) (stroke (width 0.05) (type solid)) (layer "Dwgs.User"))
  (pad "1" smd roundrect (at -1 0) (size 0.6 0.5) (layers "F.Cu" "F.Paste" "F.Mask") (roundrect_rratio 0.25))
  (pad "2" smd rect (at 1 0 90) (size 0.6 0.5) (layers "F.Cu" "F.Mask"))
  (pad "3" thru_hole circle (at 0 2.5) (size 1.6 1.6) (drill 0.8) (layers "*.Cu" "*.Mask"))
  (pad "3" thru_hole oval (at 0 -2.5) (size 1.2 2.4) (drill oval 0.6 1.2) (layers "*.Cu" "*.Mask"))
  (pad "" np_thru_hole circle (at 2 2) (size 1 1) (drill 1) (layers "*.Cu" "*.Mask"))
)
`;

const tempDirs = [];
after(() => tempDirs.forEach((d) => fs.rmSync(d, { recursive: true, force: true })));

function tempDir(prefix) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  tempDirs.push(dir);
  return dir;
}

function run(program, args, options = {}) {
  return spawnSync(program, args, { encoding: 'utf8', ...options });
}

function xpath(file, expression) {
  const r = run('xmllint', ['--nonet', '--xpath', expression, file]);
  assert.equal(r.status, 0, `xmllint ${expression}: ${r.stderr}`);
  return r.stdout.replace(/\n$/, '');
}

function generate(footprintText, name = 'Test Part') {
  const dir = tempDir('tovik-lbr-');
  const fp = path.join(dir, 'in.kicad_mod');
  const out = path.join(dir, 'out.lbr');
  fs.writeFileSync(fp, footprintText);
  const r = run(LBR, ['generate', '--fp', fp, '--name', name, '--output', out]);
  return { r, out, dir };
}

test('tovik-lbr writes a well-formed EAGLE library with package, symbol and device set', () => {
  const { r, out } = generate(FOOTPRINT);
  assert.equal(r.status, 0, r.stderr);
  assert.equal(r.stdout, '');
  assert.equal(run('xmllint', ['--noout', '--nonet', out]).status, 0);

  const count = (e) => xpath(out, `count(${e})`);
  assert.equal(xpath(out, 'string(/eagle/drawing/library/packages/package/@name)'), 'Test_Part');
  assert.equal(xpath(out, 'string(//package/description)'), 'A part & its <test>');
  // Pads: two smd, two through-hole (the repeated number gets "@1"), one hole.
  assert.equal(count('//package/smd'), '2');
  assert.equal(xpath(out, 'string(//smd[@name="1"]/@roundness)'), '50');
  assert.equal(xpath(out, 'string(//smd[@name="2"]/@rot)'), 'R90');
  assert.equal(xpath(out, 'string(//smd[@name="2"]/@cream)'), 'no');
  assert.equal(count('//package/pad'), '2');
  assert.equal(xpath(out, 'string(//pad[@name="3"]/@drill)'), '0.8');
  assert.equal(xpath(out, 'string(//pad[@name="3"]/@y)'), '-2.5');  // y flipped upwards
  assert.equal(xpath(out, 'string(//pad[@name="3@1"]/@drill)'), '0.6');
  assert.equal(xpath(out, 'string(//pad[@name="3@1"]/@shape)'), 'long');
  assert.equal(xpath(out, 'string(//pad[@name="3@1"]/@rot)'), 'R90');
  assert.equal(count('//package/hole'), '1');
  // Outlines: line, 4 rectangle sides, an arc (a half turn counter-clockwise
  // on screen is a positive EAGLE curve), a filled circle, a polygon; drawings
  // on user layers are left out.
  assert.equal(count('//package/wire[@layer="21"]'), '2');
  assert.equal(count('//package/wire[@layer="51"]'), '4');
  assert.equal(xpath(out, 'string(//package/wire[@curve]/@curve)'), '180');
  assert.equal(xpath(out, 'string(//package/circle/@width)'), '0');
  assert.equal(count('//package/polygon/vertex'), '3');
  assert.equal(count('//package/wire[@y1="3"]'), '0');
  // Texts at the footprint's own reference and value positions.
  assert.equal(xpath(out, 'concat(//package/text[.=">NAME"]/@x, " ", //package/text[.=">NAME"]/@y, " ", ' +
    '//package/text[.=">NAME"]/@size, " ", //package/text[.=">NAME"]/@rot, " ", //package/text[.=">NAME"]/@layer)'),
    '0.5 3.25 0.8 R90 25');
  assert.equal(xpath(out, 'concat(//package/text[.=">VALUE"]/@x, " ", //package/text[.=">VALUE"]/@y, " ", ' +
    '//package/text[.=">VALUE"]/@size, " ", //package/text[.=">VALUE"]/@layer)'), '-0.5 -3.5 1.2 27');
  // One pin per pad number; each connects to every pad of its number.
  assert.equal(count('//symbol/pin'), '3');
  assert.equal(count('//connect'), '3');
  assert.equal(xpath(out, 'string(//connect[@pin="3"]/@pad)'), '3 3@1');
  assert.equal(xpath(out, 'string(//connect[@pin="1"]/@pad)'), '1');
  assert.equal(xpath(out, 'string(//deviceset/@name)'), 'Test_Part');
  assert.equal(xpath(out, 'string(//device/@package)'), 'Test_Part');
  assert.equal(xpath(out, 'string(//gate/@symbol)'), 'Test_Part');
});

test('tovik-lbr escapes names and falls back for missing texts', () => {
  const old = `(module Old (layer F.Cu)
  (pad 1 smd rect (at 0 -1) (size 1 1) (layers F.Cu F.Paste F.Mask))
  (pad 2 smd rect (at 0 1) (size 1 1) (layers F.Cu F.Paste F.Mask))
)
`;
  const { r, out } = generate(old, 'A "B" <C> & D');
  assert.equal(r.status, 0, r.stderr);
  assert.equal(run('xmllint', ['--noout', '--nonet', out]).status, 0);
  assert.equal(xpath(out, 'string(//package/@name)'), 'A_"B"_<C>_&_D');
  // No texts in the file: 1 mm above and below the pads (y flipped).
  assert.equal(xpath(out, 'string(//package/text[.=">NAME"]/@y)'), '2.5');
  assert.equal(xpath(out, 'string(//package/text[.=">VALUE"]/@y)'), '-2.5');
});

test('tovik-lbr refuses bad input with a message and a failing status', () => {
  const dir = tempDir('tovik-lbr-bad-');
  const out = path.join(dir, 'out.lbr');
  const write = (name, text) => { fs.writeFileSync(path.join(dir, name), text); return path.join(dir, name); };
  const cases = [
    { name: 'missing file', args: ['generate', '--fp', path.join(dir, 'nope.kicad_mod'), '--output', out],
      stderr: `tovik-lbr: reading ${path.join(dir, 'nope.kicad_mod')}: No such file or directory\n` },
    { name: 'no pads', args: ['generate', '--fp', write('logo.kicad_mod', '(footprint "Logo" (fp_line (start 0 0) (end 1 1) (layer "F.SilkS")))'), '--output', out],
      stderr: `tovik-lbr: ${path.join(dir, 'logo.kicad_mod')}: the footprint has no numbered copper pads\n` },
    { name: 'only holes', args: ['generate', '--fp', write('holes.kicad_mod', '(footprint "H" (pad "" np_thru_hole circle (at 0 0) (size 1 1) (drill 1) (layers "*.Cu")))'), '--output', out],
      stderr: `tovik-lbr: ${path.join(dir, 'holes.kicad_mod')}: the footprint has no numbered copper pads\n` },
    { name: 'not a footprint', args: ['generate', '--fp', write('x.kicad_mod', '(symbol "x")'), '--output', out],
      stderr: `tovik-lbr: ${path.join(dir, 'x.kicad_mod')}: not a KiCad footprint (no (footprint ...) or (module ...) at the top)\n` },
    { name: 'unbalanced', args: ['generate', '--fp', write('u.kicad_mod', '(footprint "U" (pad "1" smd rect'), '--output', out],
      stderr: `tovik-lbr: ${path.join(dir, 'u.kicad_mod')}: unbalanced parenthesis at byte 32\n` },
    { name: 'nested too deep', args: ['generate', '--fp', write('d.kicad_mod', '('.repeat(100000) + ')'.repeat(100000)), '--output', out],
      stderr: `tovik-lbr: ${path.join(dir, 'd.kicad_mod')}: lists nested too deep at byte 64\n` },
    { name: 'unwritable output', args: ['generate', '--fp', write('ok.kicad_mod', FOOTPRINT), '--output', path.join(dir, 'no/such/dir.lbr')],
      stderr: `tovik-lbr: writing ${path.join(dir, 'no/such/dir.lbr')}: No such file or directory\n` },
  ];
  for (const c of cases) {
    const r = run(LBR, c.args);
    assert.equal(r.status, 1, c.name);
    assert.equal(r.stderr, c.stderr, c.name);
  }
  assert.equal(fs.existsSync(out), false);
  for (const args of [[], ['generate'], ['generate', '--fp', path.join(dir, 'ok.kicad_mod')], ['convert', '--fp', 'x'],
    ['generate', '--fp', path.join(dir, 'ok.kicad_mod'), '--output', out, '--colour', 'red']]) {
    const r = run(LBR, args);
    assert.notEqual(r.status, 0, args.join(' '));
    assert.notEqual(r.stderr, '', args.join(' '));
  }
});

test('tovik-lbr turns every corpus footprint with pads into a well-formed library', () => {
  const dir = tempDir('tovik-lbr-corpus-');
  const outputs = [];
  for (const set of ['kicad9', 'kicad5']) {
    for (const name of fs.readdirSync(path.join(CORPUS, set))) {
      const fp = path.join(CORPUS, set, name);
      const out = path.join(dir, `${set}-${name}.lbr`);
      const r = run(LBR, ['generate', '--fp', fp, '--name', name, '--output', out]);
      if (r.status === 0) {
        outputs.push(out);
      } else {
        assert.match(r.stderr, /the footprint has no numbered copper pads\n$/, `${name}: ${r.stderr}`);
      }
    }
  }
  assert.ok(outputs.length > 450, `only ${outputs.length} libraries`);
  const lint = run('xmllint', ['--noout', '--nonet', ...outputs]);
  assert.equal(lint.status, 0, lint.stderr.slice(0, 2000));
});

function desktop(args, home) {
  const r = run(DESKTOP, args, { env: { ...process.env, HOME: home } });
  const lines = r.stdout.split('\n');
  assert.equal(lines.length, 2, `one line of output: ${r.stdout}`);
  return { status: r.status, answer: JSON.parse(lines[0]), stderr: r.stderr };
}

test('tovik-desktop stores sent files in the desktop folder', () => {
  const home = tempDir('tovik-desktop-home-');
  const src = tempDir('tovik-desktop-src-');
  const a = path.join(src, 'R1.kicad_mod');
  const b = path.join(src, 'R 2.lbr');
  fs.writeFileSync(a, 'first');
  fs.writeFileSync(b, 'lib');
  const payload = { destinationFolder: 'footprints', filePaths: [a, b], targetApp: 'kicad' };
  const folder = path.join(home, 'Tovik Desktop', 'footprints');
  let r = desktop(['send_files', JSON.stringify(payload)], home);
  assert.equal(r.status, 0);
  assert.deepEqual(r.answer, {
    bridgeConnected: true, ok: true,
    destinationPaths: [path.join(folder, 'R1.kicad_mod'), path.join(folder, 'R 2.lbr')],
  });
  assert.equal(fs.readFileSync(path.join(folder, 'R 2.lbr'), 'utf8'), 'lib');
  // A second delivery of the same name replaces the copy.
  fs.writeFileSync(a, 'second');
  r = desktop(['send_files', JSON.stringify(payload)], home);
  assert.equal(r.status, 0);
  assert.equal(fs.readFileSync(path.join(folder, 'R1.kicad_mod'), 'utf8'), 'second');

  for (const [command, p] of [
    ['kicad_install_library', { libraryName: 'R1', libraryPath: a, libraryType: 'footprint' }],
    ['fusion_open_lbr', { filePath: path.join(folder, 'R 2.lbr') }],
  ]) {
    r = desktop([command, JSON.stringify(p)], home);
    assert.equal(r.status, 0, command);
    assert.deepEqual(r.answer, { bridgeConnected: true, command, ok: true });
  }
});

test('tovik-desktop answers every failure as JSON with the bridge connected', () => {
  const home = tempDir('tovik-desktop-home-');
  const file = path.join(home, 'x.kicad_mod');
  fs.writeFileSync(file, 'x');
  const send = (p) => ['send_files', JSON.stringify(p)];
  const cases = [
    { args: ['open_altium', '{}'], error: 'unknown command open_altium' },
    { args: ['send_files', 'not json'], error: /^payload is not JSON: .+ at line 1 column \d+$/ },
    { args: ['send_files', '[1]'], error: 'payload must be a JSON object' },
    { args: send({ destinationFolder: '../escape', filePaths: [file] }), error: 'destinationFolder must be one folder name' },
    { args: send({ destinationFolder: '..', filePaths: [file] }), error: 'destinationFolder must be one folder name' },
    { args: send({ filePaths: [file] }), error: 'destinationFolder must be one folder name' },
    { args: send({ destinationFolder: 'f', filePaths: file }), error: 'filePaths must be an array of paths' },
    { args: send({ destinationFolder: 'f', filePaths: [7] }), error: 'filePaths must be an array of paths' },
    { args: send({ destinationFolder: 'f', filePaths: [path.join(home, 'gone')] }), error: `not a file: ${path.join(home, 'gone')}` },
  ];
  for (const c of cases) {
    const r = desktop(c.args, home);
    assert.equal(r.status, 1, c.args.join(' '));
    const { error, ...rest } = r.answer;
    assert.deepEqual(rest, { bridgeConnected: true, ok: false }, c.args.join(' '));
    if (c.error instanceof RegExp) assert.match(error, c.error);
    else assert.equal(error, c.error, c.args.join(' '));
  }
  assert.equal(fs.existsSync(path.join(home, 'escape')), false);
  const r = desktop(['send_files'], home);
  assert.equal(r.status, 2);
  assert.equal(r.stderr, 'usage: tovik-desktop COMMAND PAYLOAD\n');
  assert.deepEqual(r.answer, { bridgeConnected: true, error: 'expected COMMAND and PAYLOAD', ok: false });
});
