// Black-box tests of the command line and of the create and placement
// commands: exit statuses, exact output lines and the files written.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { listFiles, readFile, run, tempDir, writeFile } from './lib.mjs';

const VERSION_LINE = 'tovik-footprint 1.0.20\n';
const COMMANDS = ['create', 'preview', 'render', 'render-vornel', 'placement', 'embed', 'ui', 'serve'];

const R1 = { footprintName: 'R1', pads: [{ number: '1', x: -0.5, y: 0, dx: 0.6, dy: 0.5 }] };
const R1_KICAD_MOD = [
  '(footprint "R1"',
  '  (version 20240108)',
  '  (generator "tovik-footprint")',
  '  (layer "F.Cu")',
  '  (attr smd)',
  '  (fp_text reference "REF**" (at 0 -1.25)',
  '    (layer "F.SilkS") (effects (font (size 0.5 0.5) (thickness 0.08))))',
  '  (fp_text value "R1" (at 0 1.25)',
  '    (layer "F.Fab") (effects (font (size 0.5 0.5) (thickness 0.08))))',
  '  (pad "1" smd roundrect (at -0.5 0) (size 0.6 0.5)',
  '    (layers "F.Cu" "F.Paste" "F.Mask") (roundrect_rratio 0.25))',
  ')',
  '',
].join('\n');

const SOT23 = {
  footprintName: 'SOT-23',
  description: 'SOT-23 small outline',
  tags: 'sot23',
  pads: [
    { number: '1', x: -0.95, y: 1.1, dx: 0.6, dy: 0.7 },
    { number: '2', x: 0.95, y: 1.1, dx: 0.6, dy: 0.7 },
    { number: '3', x: 0, y: -1.1, dx: 0.6, dy: 0.7 },
  ],
  body: { x1: -1.45, y1: -0.65, x2: 1.45, y2: 0.65 },
};

// The block printed for one pad at (0, 0) of 1.6 × 0.8.
const SINGLE_PAD = { footprintName: 'P', pads: [{ number: '1', x: 0, y: 0, dx: 1.6, dy: 0.8 }] };
const SINGLE_PAD_BLOCK = `{
  "courtyard": {
    "bottom": 0.4,
    "left": -0.8,
    "right": 0.8,
    "top": -0.4
  },
  "originRelative": "footprint-center",
  "reference": {
    "anchor": "center",
    "layer": "F.SilkS",
    "rotation": 0.0,
    "size": 0.6,
    "x": 0.0,
    "y": -1.4
  },
  "units": "mm",
  "value": {
    "anchor": "center",
    "layer": "F.Fab",
    "rotation": 0.0,
    "size": 0.6,
    "x": 0.0,
    "y": 1.4
  },
  "yAxis": "down"
}
`;

// The block indented one level, as it stands inside a rewritten file.
const nested = (block) => block.trimEnd().split('\n').join('\n  ');

function assertFailure(result, stderr) {
  assert.equal(result.status, 1, result.stderr);
  assert.equal(result.stdout, '');
  assert.equal(result.stderr, stderr);
}

describe('command line', () => {
  test('version on standard output', () => {
    for (const flag of ['--version', '-V']) {
      assert.deepEqual(run([flag]), { status: 0, signal: null, stdout: VERSION_LINE, stderr: '' });
    }
  });

  test('help lists every command, on standard output with status 0', () => {
    for (const args of [['--help'], ['-h'], ['help']]) {
      const r = run(args);
      assert.equal(r.status, 0, args.join(' '));
      assert.equal(r.stderr, '');
      assert.match(r.stdout, /^Create and preview KiCad PCB footprints/);
      for (const name of COMMANDS) assert.match(r.stdout, new RegExp(`\\n  ${name} `), name);
    }
  });

  test('command help: from `help COMMAND` and `COMMAND --help` alike', () => {
    for (const name of COMMANDS) {
      const viaHelp = run(['help', name]);
      const viaFlag = run([name, '--help']);
      assert.equal(viaHelp.status, 0, name);
      assert.equal(viaFlag.status, 0, name);
      assert.equal(viaHelp.stdout, viaFlag.stdout, name);
      assert.match(viaHelp.stdout, new RegExp(`Usage: tovik-footprint ${name}`));
    }
    assert.match(run(['placement', '-h']).stdout, /--write +Write the `textPlacement` block back into the JSON file \(in place\)/);
    assert.match(run(['ui', '--help']).stdout, /--port PORT \[default: 8783\]/);
    assert.match(run(['serve', '--help']).stdout, /--port PORT \[default: 8782\]/);
  });

  test('no arguments: help on standard error, status 2', () => {
    const r = run([]);
    assert.equal(r.status, 2);
    assert.equal(r.stdout, '');
    assert.equal(r.stderr, run(['--help']).stdout);
  });

  test('usage errors: standard error, status 2, nothing written', () => {
    const cases = [
      ['bogus'],
      ['create', '--bogus'],
      ['create', '--file'],
      ['create', '-o', 'x'],
      ['render', '--file', 'x.kicad_mod'],
      ['render-vornel', '--out', 'x.svg'],
      ['preview'],
      ['embed'],
      ['placement'],
      ['placement', '--file', 'p.json', '--write=yes'],
      ['ui'],
      ['ui', 'state', '--port', '65536'],
      ['serve', '--port', '-1'],
      ['serve', '--port', 'eighty'],
      ['create', '--version'],
      ['help', 'bogus'],
    ];
    const cwd = tempDir();
    for (const args of cases) {
      const r = run(args, { cwd });
      assert.equal(r.status, 2, args.join(' '));
      assert.equal(r.stdout, '', args.join(' '));
      assert.match(r.stderr, /Run with --help for more information\.\n$/, args.join(' '));
    }
    assert.deepEqual(listFiles(cwd), []);
    assert.equal(run(['bogus']).stderr, "unrecognized subcommand 'bogus'\nRun with --help for more information.\n");
  });
});

describe('create', () => {
  test('without --out: a directory named like the footprint', () => {
    const cwd = tempDir();
    const r = run(['create'], { stdin: JSON.stringify(SOT23), cwd });
    assert.equal(r.status, 0, r.stderr);
    assert.equal(r.stderr, '');
    const lines = r.stdout.split('\n');
    assert.equal(lines[0], 'created SOT-23/SOT-23.kicad_mod');
    assert.ok(listFiles(cwd).includes(path.join('SOT-23', 'SOT-23.kicad_mod')));
    const text = readFile(path.join(cwd, 'SOT-23', 'SOT-23.kicad_mod'));
    assert.match(text, /^\(footprint "SOT-23"\n {2}\(version 20240108\)\n/);
    assert.match(text, /\n {2}\(descr "SOT-23 small outline"\)\n {2}\(tags "sot23"\)\n/);
    assert.equal((text.match(/\(pad /g) || []).length, 3);
    // Every further line the command prints names a file it wrote.
    for (const line of lines.slice(1, -1)) {
      assert.ok(fs.existsSync(path.join(cwd, line.replace(/^\S+\s+/, ''))), line);
    }
  });

  test('the worked example, byte for byte, from --file', () => {
    const cwd = tempDir();
    writeFile(cwd, 'r1.json', JSON.stringify(R1, null, 2));
    const r = run(['create', '--file', 'r1.json', '--out', 'build'], { cwd });
    assert.equal(r.status, 0, r.stderr);
    assert.equal(r.stdout.split('\n')[0], 'created build/R1.kicad_mod');
    assert.equal(readFile(path.join(cwd, 'build', 'R1.kicad_mod')), R1_KICAD_MOD);
  });

  test('--out: missing parents are made, an existing directory is fine', () => {
    const cwd = tempDir();
    for (const out of ['a/b/c', 'a/b/c', 'a/b/c/']) {
      const r = run(['create', '--out', out], { stdin: JSON.stringify(R1), cwd });
      assert.equal(r.status, 0, r.stderr);
      assert.equal(r.stdout.split('\n')[0], `created ${out.replace(/\/$/, '')}/R1.kicad_mod`);
    }
    assert.equal(readFile(path.join(cwd, 'a', 'b', 'c', 'R1.kicad_mod')), R1_KICAD_MOD);
  });

  test('failures: one ERROR line, status 1, nothing written', () => {
    const cases = [
      ['', 'ERROR: parsing create JSON: EOF while parsing a value at line 1 column 0\n'],
      ['{"footprintName": "X"}', 'ERROR: pads array is required\n'],
      ['{"footprintName": "", "pads": []}', 'ERROR: footprintName is required\n'],
      ['{"pads": []}', 'ERROR: parsing create JSON: missing field `footprintName` at line 1 column 12\n'],
      ['{"footprintName": "X", "pads": [{"number": 1, "x": 0, "y": 0, "dx": 1, "dy": 1}]}',
        'ERROR: parsing create JSON: invalid type: integer `1`, expected a string at line 1 column 44\n'],
      ['{"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1, "dy": 1, "mount": "a", "type": "b"}]}',
        'ERROR: parsing create JSON: duplicate field `mount` at line 1 column 107\n'],
      ['{"footprintName": "X"} {}', 'ERROR: parsing create JSON: trailing characters at line 1 column 24\n'],
    ];
    for (const [stdin, stderr] of cases) {
      const cwd = tempDir();
      assertFailure(run(['create'], { stdin, cwd }), stderr);
      assert.deepEqual(listFiles(cwd), [], stdin);
    }
  });

  test('a missing input file names the path as typed', () => {
    const cwd = tempDir();
    assertFailure(run(['create', '--file', 'pads.json'], { cwd }), 'ERROR: reading pads.json: No such file or directory\n');
  });

  test('input that is not UTF-8, from standard input or a file', () => {
    const cwd = tempDir();
    const bytes = Buffer.concat([Buffer.from('{"footprintName": "'), Buffer.from([0xc3, 0x28]), Buffer.from('"}')]);
    writeFile(cwd, 'bad.json', bytes);
    assertFailure(run(['create'], { stdin: bytes, cwd }), 'ERROR: stream did not contain valid UTF-8\n');
    assertFailure(run(['create', '--file', 'bad.json'], { cwd }),
      'ERROR: reading bad.json: stream did not contain valid UTF-8\n');
  });

  test('a footprint name that is not one plain file name is refused', () => {
    for (const name of ['..', '.', '../escaped', 'a/b', '/tmp/abs', 'x\u0000y']) {
      const root = tempDir();
      const cwd = path.join(root, 'work');
      fs.mkdirSync(cwd);
      const input = JSON.stringify({ ...R1, footprintName: name });
      for (const args of [['create'], ['create', '--out', 'out']]) {
        assertFailure(run(args, { stdin: input, cwd }), `ERROR: footprintName \`${name}\` is not a plain file name\n`);
      }
      assert.deepEqual(listFiles(root), [], name);
    }
  });

  test('JSON nested deeper than 128 levels is refused', () => {
    const deep = (n) => `{"footprintName": "X", "extra": ${'['.repeat(n)}${']'.repeat(n)}, "pads": []}`;
    const r = run(['create'], { stdin: deep(127) });
    assertFailure(r, 'ERROR: pads array is required\n');
    const refused = run(['create'], { stdin: deep(128) });
    assert.equal(refused.status, 1);
    assert.match(refused.stderr, /^ERROR: parsing create JSON: recursion limit exceeded at line 1 column \d+\n$/);
    const huge = run(['create'], { stdin: '['.repeat(1_000_000) });
    assert.equal(huge.status, 1);
    assert.match(huge.stderr, /^ERROR: parsing create JSON: recursion limit exceeded/);
  });

  test('numbers that would not be finite in the output are refused', () => {
    const cases = [
      [{ ...R1, pads: [{ number: '1', x: 1e307, y: 0, dx: 1, dy: 1 }] }, "ERROR: the footprint's extent is too large to write\n"],
      [{ ...R1, pads: [{ number: '1', x: 1.7e308, y: 0, dx: 1.7e308, dy: 1 }] }, "ERROR: the footprint's extent is too large to write\n"],
    ];
    for (const [input, stderr] of cases) {
      const cwd = tempDir();
      assertFailure(run(['create'], { stdin: JSON.stringify(input), cwd }), stderr);
      assert.deepEqual(listFiles(cwd), []);
    }
    const overflow = run(['create'], { stdin: '{"footprintName": "X", "pads": [{"number": "1", "x": 1e400}]}' });
    assert.equal(overflow.status, 1);
    assert.match(overflow.stderr, /^ERROR: parsing create JSON: number out of range at line 1 column \d+\n$/);
  });

  test('an output directory that cannot be made: the system message alone', () => {
    const cwd = tempDir();
    writeFile(cwd, 'taken', 'a file\n');
    assertFailure(run(['create', '--out', 'taken'], { stdin: JSON.stringify(R1), cwd }), 'ERROR: Not a directory\n');
    assertFailure(run(['create', '--out', 'taken/sub'], { stdin: JSON.stringify(R1), cwd }), 'ERROR: Not a directory\n');
  });
});

describe('placement', () => {
  test('prints the block of the worked example and writes nothing', () => {
    const dir = tempDir();
    const text = JSON.stringify(SINGLE_PAD);
    const file = writeFile(dir, 'p.json', text);
    const before = fs.statSync(file).mtimeMs;
    const r = run(['placement', '--file', file]);
    assert.deepEqual(r, { status: 0, signal: null, stdout: SINGLE_PAD_BLOCK, stderr: '' });
    assert.equal(readFile(file), text);
    assert.equal(fs.statSync(file).mtimeMs, before);
  });

  test('--write adds the block, orders the members and is stable', () => {
    const cwd = tempDir();
    const text = '{"footprintName": "P", "zzz": [1, 1.0, 1.10, 2e3, -0.0, "\u00e9/\\"\\u0001"], ' +
      '"pads": [{"number": "1", "x": 0, "y": 0, "dx": 1.6, "dy": 0.8}], "tags": "t", ' +
      '"textPlacement": {"old": true}}';
    writeFile(cwd, 'p.json', text);
    const expected = `{
  "footprintName": "P",
  "pads": [
    {
      "dx": 1.6,
      "dy": 0.8,
      "number": "1",
      "x": 0,
      "y": 0
    }
  ],
  "tags": "t",
  "textPlacement": ${nested(SINGLE_PAD_BLOCK)},
  "zzz": [
    1,
    1.0,
    1.1,
    2000.0,
    -0.0,
    "\u00e9/\\"\\u0001"
  ]
}
`;
    for (let i = 0; i < 2; i++) {
      const r = run(['placement', '--file', 'p.json', '--write'], { cwd });
      assert.deepEqual(r, { status: 0, signal: null, stdout: SINGLE_PAD_BLOCK, stderr: 'wrote textPlacement \u2192 p.json\n' });
      assert.equal(readFile(path.join(cwd, 'p.json')), expected);
    }
    assert.deepEqual(listFiles(cwd), ['p.json']);
  });

  test('an extracted footprint, and a create JSON whose first pad lacks dx', () => {
    const dir = tempDir();
    const extracted = writeFile(dir, 'x-footprint.extracted.json', JSON.stringify({
      footprintName: 'X', pads: [{ number: '1', at: [0, 0], size: [1.6, 0.8] }],
    }));
    assert.equal(run(['placement', '--file', extracted]).stdout, SINGLE_PAD_BLOCK);
    // Read as extracted: no `at` or `size`, so one pad of size 0 at the origin.
    const noDx = writeFile(dir, 'nodx.json', JSON.stringify({ footprintName: 'X', pads: [{ number: '1', x: 5, y: 5, dy: 1 }] }));
    const r = run(['placement', '--file', noDx]);
    assert.equal(r.status, 0, r.stderr);
    assert.deepEqual(JSON.parse(r.stdout).courtyard, { top: 0, bottom: 0, left: 0, right: 0 });
    assert.deepEqual(JSON.parse(r.stdout).reference.y, -1);
  });

  test('failures name what was being done', () => {
    const dir = tempDir();
    const cases = [
      ['{"pads": []}', 'ERROR: footprint extraction has no pads\n'],
      ['{"pads": {}}', 'ERROR: footprint JSON has no pads[]\n'],
      ['[1, 2]', 'ERROR: footprint JSON has no pads[]\n'],
      ['{"pads": [', 'ERROR: parsing footprint JSON: EOF while parsing a value at line 1 column 10\n'],
      ['{"footprintName": 1, "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1, "dy": 1}]}',
        'ERROR: parsing create JSON: invalid type: integer `1`, expected a string\n'],
      ['{"footprintName": "X", "pads": [{"number": "1", "x": 1e307, "y": 0, "dx": 1, "dy": 1}]}',
        "ERROR: the footprint's extent is too large to write\n"],
    ];
    for (const [text, stderr] of cases) {
      const file = writeFile(dir, 'f.json', text);
      assertFailure(run(['placement', '--file', file, '--write']), stderr.replace('{}', file));
      assert.equal(readFile(file), text, 'the input stays as it was');
    }
    assertFailure(run(['placement', '--file', 'nope.json'], { cwd: dir }), 'ERROR: reading nope.json: No such file or directory\n');
    writeFile(dir, 'latin1.json', Buffer.from([0x7b, 0xe9, 0x7d]));
    assertFailure(run(['placement', '--file', 'latin1.json'], { cwd: dir }),
      'ERROR: reading latin1.json: stream did not contain valid UTF-8\n');
  });

  test('--write keeps the file mode and writes through a symbolic link', () => {
    const dir = tempDir();
    const target = writeFile(dir, 'real/p.json', JSON.stringify(SINGLE_PAD));
    fs.chmodSync(target, 0o640);
    const link = path.join(dir, 'link.json');
    fs.symlinkSync(target, link);
    const r = run(['placement', '--file', link, '--write']);
    assert.equal(r.status, 0, r.stderr);
    assert.ok(fs.lstatSync(link).isSymbolicLink());
    assert.equal(fs.statSync(target).mode & 0o777, 0o640);
    assert.deepEqual(JSON.parse(readFile(target)).textPlacement, JSON.parse(SINGLE_PAD_BLOCK));
    assert.deepEqual(listFiles(dir), ['link.json', path.join('real', 'p.json')]);
  });

  test('the written file is read back as the same footprint', () => {
    const dir = tempDir();
    const file = writeFile(dir, 'sot.json', JSON.stringify(SOT23));
    const first = run(['placement', '--file', file, '--write']);
    const second = run(['placement', '--file', file]);
    assert.equal(first.status, 0, first.stderr);
    assert.equal(second.stdout, first.stdout);
    const created = run(['create', '--file', file, '--out', path.join(dir, 'out')]);
    assert.equal(created.status, 0, created.stderr);
    const block = JSON.parse(first.stdout);
    const kicadMod = readFile(path.join(dir, 'out', 'SOT-23.kicad_mod'));
    assert.ok(kicadMod.includes(`(fp_text reference "REF**" (at 0 ${block.reference.y})`), kicadMod);
    assert.ok(kicadMod.includes(`(fp_text value "SOT-23" (at 0 ${block.value.y})`), kicadMod);
  });
});
