// Writes the library metadata of one example part, as the part library tool
// would have left it: the datasheet extraction `<mpn>-footprint.extracted.json`
// and `info.json`. The part description is a create JSON with a few extra
// members (manufacturer, package, family, bodyHeight, datasheet).
// Usage: node part-metadata.mjs <part.json> <part folder>
import {readFileSync, writeFileSync} from 'node:fs';
import {basename, join} from 'node:path';

const [partFile, dir] = process.argv.slice(2);
const part = JSON.parse(readFileSync(partFile, 'utf8'));
const mpn = basename(partFile, '.json');

function extractedPad(p) {
  const pad = {number: p.number, at: [p.x, p.y], size: [p.dx, p.dy]};
  if (p.shape) pad.shape = p.shape;
  if (p.mount) pad.mount = p.mount;
  if (p.drill) pad.drill = p.drill;
  if (p.angle) pad.rotation = p.angle;
  return pad;
}

const b = part.body;
const extracted = {
  footprintName: part.footprintName,
  manufacturer: part.manufacturer,
  package: part.package,
  description: part.description,
  padCount: part.pads.length,
  bodyDimensions: {
    x: Math.round(Math.abs(b.x2 - b.x1) * 100) / 100,
    y: Math.round(Math.abs(b.y2 - b.y1) * 100) / 100,
    thickness_max: part.bodyHeight,
  },
  courtyard: part.courtyard,
  pads: part.pads.map(extractedPad),
};
if (part.bodyShape) extracted.bodyShape = part.bodyShape;

const info = {
  mpn,
  manufacturer: part.manufacturer,
  description: part.description,
  family: part.family,
  datasheet_url: part.datasheet,
};

writeFileSync(join(dir, `${mpn}-footprint.extracted.json`), JSON.stringify(extracted, null, 2) + '\n');
writeFileSync(join(dir, 'info.json'), JSON.stringify(info, null, 2) + '\n');
