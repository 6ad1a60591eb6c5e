// Shared helpers of the black-box tests: run the real executable as a user
// would and look at what it printed and wrote.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const BIN = process.env.TOVIK_BIN;
export const SOURCE_DIR = process.env.TOVIK_SOURCE_DIR;
// Real footprints kept beside the repository (see its README).
export const CORPUS = SOURCE_DIR ? path.join(SOURCE_DIR, '..', 'shared', 'corpus') : undefined;

if (!BIN) throw new Error('TOVIK_BIN must name the built tovik-footprint');

// Runs the executable with `args` and waits for it. `stdin` is a string or a
// Buffer (empty when not given); `cwd` and `env` as for child_process.
// Returns { status, signal, stdout, stderr } with the outputs as UTF-8 text.
export function run(args, { stdin = '', cwd, env, timeout = 30000 } = {}) {
  const result = spawnSync(BIN, args, { input: stdin, cwd, env: env ?? process.env, timeout, maxBuffer: 1 << 28 });
  if (result.error) throw result.error;
  return {
    status: result.status,
    signal: result.signal,
    stdout: result.stdout.toString('utf8'),
    stderr: result.stderr.toString('utf8'),
  };
}

const tempDirs = [];
process.on('exit', () => {
  for (const dir of tempDirs) fs.rmSync(dir, { recursive: true, force: true });
});

// A new empty directory, removed when the test process ends.
export function tempDir(prefix = 'tovik-test-') {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  tempDirs.push(dir);
  return dir;
}

// Writes `contents` to `dir/name` (creating parent folders) and returns the path.
export function writeFile(dir, name, contents) {
  const file = path.join(dir, name);
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, contents);
  return file;
}

// The file's text, or undefined when it does not exist.
export function readFile(file) {
  return fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : undefined;
}

// Every file below `dir`, as sorted paths relative to it.
export function listFiles(dir) {
  const out = [];
  const walk = (sub) => {
    for (const entry of fs.readdirSync(path.join(dir, sub), { withFileTypes: true })) {
      const rel = path.join(sub, entry.name);
      if (entry.isDirectory()) walk(rel);
      else out.push(rel);
    }
  };
  walk('');
  return out.sort();
}
