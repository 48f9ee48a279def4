// The extension's icons (browser/icon-16.png ... icon-128.png), drawn from the program's own
// icon, packaging/quorvane.svg, by Debian's Chromium: node scripts/browser-icons.mjs
// (puppeteer-core from tests/browser; make browser-deps installs it).
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from '../tests/browser/node_modules/puppeteer-core/lib/esm/puppeteer/puppeteer-core.js';

const source = path.resolve(import.meta.dirname, '..');
const svg = fs.readFileSync(path.join(source, 'packaging/quorvane.svg'), 'utf8');
const browser = await puppeteer.launch({
  executablePath: '/usr/lib/chromium/chromium', headless: true, pipe: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run'],
});
const page = await browser.newPage();
for (const size of [16, 32, 48, 128]) {
  await page.setViewport({ width: size, height: size });
  await page.setContent(`<html><body style="margin:0;background:transparent">
    <img src="data:image/svg+xml;base64,${Buffer.from(svg).toString('base64')}" width="${size}" height="${size}"
         style="display:block"></body></html>`);
  await page.screenshot({ path: path.join(source, `browser/icon-${size}.png`), omitBackground: true });
}
await browser.close();
