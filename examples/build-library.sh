#!/usr/bin/env bash
# Builds the example part library from the part descriptions in parts/, with
# tovik-footprint itself, in the layout the part library tool keeps:
#   library/<mpn>/<mpn>.kicad_mod                   (create)
#   library/<mpn>/<mpn>-footprint.extracted.json    (with textPlacement, placement --write)
#   library/<mpn>/info.json
#   library/<mpn>/<mpn>-3d-iso.png                  (when parts/<mpn>-3d-iso.svg exists)
#   home/.config/tovik-partloom/projects.json       (the projects file)
#   home/project/partloom/library -> ../../../library
# so that HOME=examples/home is a complete home folder for the live app.
# Usage: examples/build-library.sh [tovik-footprint executable]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(realpath "${1:-${TOVIK_BIN:-$here/../build/tovik-footprint}}")
lib=$here/library
home=$here/home
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -rf "$lib"
mkdir -p "$lib"
for part in "$here"/parts/*.json; do
  mpn=$(basename "$part" .json)
  dir=$lib/$mpn
  mkdir -p "$dir"
  # create writes <out>/<footprintName>.kicad_mod; the parts are named by their MPN.
  (cd "$work" && "$bin" create --file "$part" --out "$mpn" >/dev/null)
  cp "$work/$mpn/$mpn.kicad_mod" "$dir/$mpn.kicad_mod"
  node "$here/part-metadata.mjs" "$part" "$dir"
  "$bin" placement --file "$dir/$mpn-footprint.extracted.json" --write >/dev/null 2>"$work/placement.log" ||
    { cat "$work/placement.log" >&2; exit 1; }
  if [ -f "$here/parts/$mpn-3d-iso.svg" ]; then
    rsvg-convert "$here/parts/$mpn-3d-iso.svg" -o "$dir/$mpn-3d-iso.png"
  fi
  echo "built $dir"
done

mkdir -p "$home/.config/tovik-partloom" "$home/project/partloom"
ln -sfn ../../../library "$home/project/partloom/library"
node --input-type=module - "$here/parts" "$home/.config/tovik-partloom/projects.json" <<'JS'
import {readdirSync, readFileSync, writeFileSync} from 'node:fs';
const [partsDir, out] = process.argv.slice(2);
const projects = {};
for (const f of readdirSync(partsDir).filter(f => f.endsWith('.json')).sort()) {
  const mpn = f.slice(0, -'.json'.length);
  for (const name of JSON.parse(readFileSync(`${partsDir}/${f}`, 'utf8')).projects || []) {
    (projects[name] ||= {mpns: []}).mpns.push(mpn);
  }
}
writeFileSync(out, JSON.stringify({projects}, null, 2) + '\n');
JS
echo "built $home/.config/tovik-partloom/projects.json"
