// Draws the phrase's fingerprint as the window does: three shapes, each colour with a pattern of
// its own over it (plain, rows, columns, grid, rising and falling stripes, diagonal grid, dots),
// so that no one needs to tell the colours apart.
import { shapes } from './shapes.js';

const svg = 'http://www.w3.org/2000/svg';

// The colour, darkened as the window darkens it (QColor::darker): value divided by factor/100.
function darker(hex, factor) {
  const [r, g, b] = [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16));
  const scale = 100 / factor;
  return `rgb(${Math.round(r * scale)}, ${Math.round(g * scale)}, ${Math.round(b * scale)})`;
}

const patterns = {
  rows: 'M0 2 H4',
  columns: 'M2 0 V4',
  grid: 'M0 2 H4 M2 0 V4',
  'rising stripes': 'M0 4 L4 0',
  'falling stripes': 'M0 0 L4 4',
  'diagonal grid': 'M0 4 L4 0 M0 0 L4 4',
};

function element(name, attributes) {
  const node = document.createElementNS(svg, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  return node;
}

function symbol(shape, index) {
  const picture = element('svg', { viewBox: '-1 -1 2 2', 'aria-hidden': 'true' });
  const path = shapes[shape.shape];
  if (!path) return picture;
  const rule = path.evenOdd ? 'evenodd' : 'nonzero';
  const group = element('g', { transform: 'scale(0.92)' });
  group.append(element('path', { d: path.d, fill: shape.colour, 'fill-rule': rule, stroke: darker(shape.colour, 160),
                                 'stroke-width': '0.08' }));
  const lines = patterns[shape.pattern];
  if (lines || shape.pattern === 'dots') {
    const id = `pattern-${index}`;
    const pattern = element('pattern', { id, width: '4', height: '4', patternUnits: 'userSpaceOnUse',
                                         patternTransform: 'scale(0.1)' });
    pattern.append(lines ? element('path', { d: lines, stroke: darker(shape.colour, 190), 'stroke-width': '1' })
                         : element('circle', { cx: '2', cy: '2', r: '0.8', fill: darker(shape.colour, 190) }));
    const defs = element('defs', {});
    defs.append(pattern);
    picture.append(defs);
    group.append(element('path', { d: path.d, fill: `url(#${id})`, 'fill-rule': rule }));
  }
  picture.append(group);
  return picture;
}

// Shows the host's fingerprint reply; with none, three grey rings while it is computed.
export function showFingerprint(container, reply) {
  container.replaceChildren();
  if (!reply) {
    for (let i = 0; i < 3; ++i) {
      const ring = element('svg', { viewBox: '-1 -1 2 2', 'aria-hidden': 'true' });
      ring.append(element('circle', { r: '0.8', fill: 'none', stroke: '#999', 'stroke-width': '0.12' }));
      container.append(ring);
    }
    container.setAttribute('aria-label', 'fingerprint of the phrase: being computed');
    return;
  }
  reply.shapes.forEach((shape, index) => container.append(symbol(shape, index)));
  container.setAttribute('aria-label', `fingerprint of the phrase: ${reply.text}`);
  container.title = reply.text;
}

export function clearFingerprint(container) {
  container.replaceChildren();
  container.setAttribute('aria-label', 'fingerprint of the phrase');
  container.title = '';
}
