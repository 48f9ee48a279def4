// Quorvane's extension in real browsers: Debian's chromium, driven by puppeteer-core through its
// own action button (the popup a user opens), against pages served here from 127.0.0.1 under
// real-looking names, with the built browser host. Firefox ESR: the same folder installs and its
// host answers. Run by run.sh (CTest's BrowserExtension): node --test extension.test.mjs
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import puppeteer from 'puppeteer-core';

const build = process.env.QUORVANE_BUILD;
const source = path.resolve(import.meta.dirname, '../..');
const extension = path.join(source, 'browser');
const host = path.join(build, 'quorvane-browser-host');
const cli = path.join(build, 'quorvane-cli');
const extensionId = 'neilhkkeidmiiopkkjlaampgfcblppbm';
const phrase = 'correct horse battery staple';

// A fresh HOME with the profile file, and the small site list of the tests.
const home = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-browser-home-'));
const profileFile = path.join(home, 'Documents/Quorvane/zavdata.txt');
const profiles = [
  'shop.example.com|16|strong',
  'login.shop.example.com|20|strong|aA9!|2',
  'shop.example.com|12',
  'shop.example.com|18|lesspass|aA9|1|me@example.com',
  'shop.example.com|0|spectre|long|1|3|password|Robert Lee Mitchell|',
  'change.example.com|16|strong',
  'short.example.com|16|strong',
  'frames.example.com|16|strong',
  'typed.example.com|16|strong',
  'moving.example.com|16|strong',
];
fs.mkdirSync(path.dirname(profileFile), { recursive: true });
fs.writeFileSync(profileFile, profiles.map((line) => `${line}\r\n`).join(''));
const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'),
              XDG_DATA_HOME: path.join(source, 'tests/data/sites') };

function cliPassword(line) {
  return execFileSync(cli, ['derive', '--exact', `--profile=${line}`], { input: phrase, env }).toString().trim();
}

// The pages, by host name and path.
const pages = {
  '/login': '<form><input name="user"><input type="password" id="pw"><button>Sign in</button></form>',
  '/change': `<form><input type="password" id="current" autocomplete="current-password">
              <input type="password" id="new" autocomplete="new-password">
              <input type="password" id="confirm" autocomplete="new-password"></form>`,
  '/short': '<form><input type="password" id="pw" maxlength="8"></form>',
  // Listens as a framework does: its own value property ignores script writes, and only input
  // events carry the value in.
  '/typed': `<form><input type="password" id="pw"></form><script>
      const field = document.getElementById('pw');
      const native = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, 'value');
      Object.defineProperty(field, 'value', { get() { return native.get.call(this); }, set() {} });
      window.typed = '';
      field.addEventListener('input', (event) => { window.typed = native.get.call(event.target); });
    </script>`,
  '/frames': `<p>No field here.</p><iframe id="same" src="/inner"></iframe>
              <iframe id="other" src="http://other.test:PORT/inner"></iframe>`,
  '/inner': '<form><input type="password" id="pw"></form>',
  '/rules': '<form><input type="password" id="pw" passwordrules="required: lower; required: digit; minlength: 10; maxlength: 12;"></form>',
  '/elsewhere': '<p>Another site.</p>',
};
let port = 0;
const server = http.createServer((request, response) => {
  const page = pages[new URL(request.url, 'http://x').pathname];
  response.writeHead(page ? 200 : 404, { 'content-type': 'text/html; charset=utf-8' });
  response.end(`<!DOCTYPE html><html><body>${(page ?? '').replaceAll('PORT', String(port))}</body></html>`);
});
const url = (name, pagePath) => `http://${name}:${port}${pagePath}`;

let browser;
let userData;

before(async () => {
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  port = server.address().port;
  // A fresh browser profile that knows the built host.
  userData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-chromium-'));
  fs.mkdirSync(path.join(userData, 'NativeMessagingHosts'));
  fs.writeFileSync(path.join(userData, 'NativeMessagingHosts/org.quorvane.browser_host.json'), JSON.stringify({
    name: 'org.quorvane.browser_host', description: 'Quorvane (tests)', path: host, type: 'stdio',
    allowed_origins: [`chrome-extension://${extensionId}/`],
  }));
  browser = await puppeteer.launch({
    executablePath: process.env.QUORVANE_CHROMIUM ?? '/usr/lib/chromium/chromium',
    headless: true, pipe: true, enableExtensions: true, userDataDir: userData, env,
    args: ['--no-sandbox', '--host-resolver-rules=MAP *.example.com 127.0.0.1, MAP *.test 127.0.0.1',
           '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
           '--disable-gpu'],
  });
  assert.equal(await browser.installExtension(extension), extensionId);
});

after(async () => {
  await browser?.close();
  server.close();
});

// Opens the page, then the popup the way a user does, with the extension's own action.
async function openPopup(address, { before: act } = {}) {
  const page = await browser.newPage();
  await page.goto(address);
  if (act)
    await act(page);
  await page.bringToFront();
  const installed = (await browser.extensions()).get(extensionId);
  await page.triggerExtensionAction(installed);
  const target = await browser.waitForTarget((t) => t.url() === `chrome-extension://${extensionId}/popup.html`
                                                    && !t._opened, { timeout: 15000 });
  target._opened = true;
  const popup = await target.asPage();
  await popup.waitForFunction(() => document.getElementById('site').textContent !== '…', { timeout: 15000 });
  return { page, popup };
}

async function fill(popup, { choose } = {}) {
  if (choose !== undefined)
    await popup.select('#profiles', choose);
  await popup.$eval('#message', (m) => { m.textContent = ''; });
  await popup.type('#phrase', phrase);
  await popup.keyboard.press('Enter');
  await popup.waitForFunction(() => document.getElementById('message').textContent.match(/^(Filled|Not filled|.*\.)/),
                              { timeout: 30000 });
  return popup.$eval('#message', (m) => m.textContent);
}

async function close(...pagesToClose) {
  for (const p of pagesToClose)
    await p.close();
}

describe('in Chromium', () => {
  test('the manifest asks for activeTab, scripting and nativeMessaging only', () => {
    const manifest = JSON.parse(fs.readFileSync(path.join(extension, 'manifest.json'), 'utf8'));
    assert.deepEqual([...manifest.permissions].sort(), ['activeTab', 'nativeMessaging', 'scripting']);
    assert.equal(manifest.host_permissions, undefined);
    assert.equal(manifest.content_scripts, undefined);
    assert.equal(manifest.optional_permissions, undefined);
    assert.equal(manifest.browser_specific_settings.gecko.id, 'browser@quorvane.org');
  });

  test('a login page: a parent domain\'s profile fills the field with the CLI\'s password, no script before', async () => {
    // No script of ours runs on the page before the popup opens: the page's script worlds are
    // watched from its load on; the extension's own shows up only with the fill.
    const ours = [];
    const { page, popup } = await openPopup(url('login.shop.example.com', '/login'), {
      before: async (page) => {
        const session = await page.createCDPSession();
        session.on('Runtime.executionContextCreated', ({ context }) => {
          if (context.origin.startsWith('chrome-extension://') || context.name === 'Quorvane')
            ours.push(context.name);
        });
        await session.send('Runtime.enable');
        await page.reload();
      },
    });
    assert.deepEqual(ours, []);
    assert.equal(await popup.$eval('#site', (s) => s.textContent), 'login.shop.example.com');
    const offered = await popup.$$eval('#profiles option', (options) => options.map((o) => o.value));
    assert.deepEqual(offered, ['login.shop.example.com|20|strong|aA9!|2', 'shop.example.com|16|strong',
                               'shop.example.com|12', 'shop.example.com|18|lesspass|aA9|1|me@example.com',
                               'shop.example.com|0|spectre|long|1|3|password|Robert Lee Mitchell|']);
    assert.equal(await fill(popup, { choose: 'shop.example.com|16|strong' }), 'Filled the password field');
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('shop.example.com|16|strong'));
    assert.equal(ours.length, 1, 'the fill ran in a world of its own');
    // The README's picture of the popup, when asked for (scripts/browser-screenshot).
    if (process.env.QUORVANE_SCREENSHOT) {
      await popup.waitForFunction(() => document.querySelectorAll('#fingerprint svg path[d]').length >= 3,
                                  { timeout: 20000 });
      await popup.screenshot({ path: process.env.QUORVANE_SCREENSHOT });
    }
    await close(popup, page);
  });

  test('every scheme fills the password the CLI gives', async () => {
    for (const line of profiles.slice(1, 5)) {
      const { page, popup } = await openPopup(url('login.shop.example.com', '/login'));
      assert.equal(await fill(popup, { choose: line }), 'Filled the password field', line);
      assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword(line), line);
      await close(popup, page);
    }
  });

  test('the fingerprint shows once typing pauses', async () => {
    const { page, popup } = await openPopup(url('login.shop.example.com', '/login'));
    await popup.type('#phrase', phrase);
    const expected = execFileSync(cli, ['fingerprint'], { input: phrase, env }).toString().trim();
    await popup.waitForFunction((text) => document.getElementById('fingerprint').getAttribute('aria-label').endsWith(text),
                                { timeout: 20000 }, expected);
    assert.equal(await popup.$$eval('#fingerprint svg path[d]', (paths) => paths.length >= 3), true);
    await close(popup, page);
  });

  test('a change of password fills the new one and its confirmation, never the current one', async () => {
    const { page, popup } = await openPopup(url('change.example.com', '/change'));
    assert.equal(await fill(popup), 'Filled the new password and its confirmation');
    const password = cliPassword('change.example.com|16|strong');
    assert.deepEqual(await page.$$eval('input', (fields) => fields.map((f) => f.value)), ['', password, password]);
    await close(popup, page);
  });

  test('a page that listens only to typed-like input sees the password', async () => {
    const { page, popup } = await openPopup(url('typed.example.com', '/typed'));
    assert.equal(await fill(popup), 'Filled the password field');
    assert.equal(await page.evaluate(() => window.typed), cliPassword('typed.example.com|16|strong'));
    await close(popup, page);
  });

  test('a field shorter than the password is not filled, and the message says so', async () => {
    const { page, popup } = await openPopup(url('short.example.com', '/short'));
    assert.equal(await fill(popup), 'Not filled: the site allows 8 characters and the profile makes 16.');
    assert.equal(await page.$eval('#pw', (f) => f.value), '');
    await close(popup, page);
  });

  test('a page that navigated before the click gets nothing', async () => {
    const { page, popup } = await openPopup(url('moving.example.com', '/login'));
    await page.goto(url('elsewhere.test', '/login'));
    assert.match(await fill(popup), /^Not filled: the page changed/);
    assert.equal(await page.$eval('#pw', (f) => f.value), '');
    await close(popup, page);
  });

  test('a same-origin frame is filled, a cross-origin one never', async () => {
    const { page, popup } = await openPopup(url('frames.example.com', '/frames'));
    await page.waitForFunction(() => document.getElementById('same').contentDocument?.getElementById('pw'));
    assert.equal(await fill(popup), 'Filled the password field');
    const same = await (await page.$('#same')).contentFrame();
    const other = await (await page.$('#other')).contentFrame();
    assert.equal(await same.$eval('#pw', (f) => f.value), cliPassword('frames.example.com|16|strong'));
    assert.equal(await other.$eval('#pw', (f) => f.value), '');
    await close(popup, page);
  });

  test('a new site: its passwordrules are offered, and Save adds exactly that profile', async () => {
    const { page, popup } = await openPopup(url('www.rules.test', '/rules'));
    assert.equal(await popup.$eval('#new', (s) => s.hidden), false);
    assert.equal(await popup.$eval('#identifier', (f) => f.value), 'rules.test');
    assert.equal(await popup.$eval('#scheme', (f) => f.value), 'strong');
    assert.equal(await popup.$eval('#rule', (f) => f.value),
                 'required: lower; required: digit; minlength: 10; maxlength: 12;');
    assert.equal(await popup.$eval('#length', (f) => f.value), '12');
    const before = fs.readFileSync(profileFile);
    assert.equal(Buffer.compare(fs.readFileSync(profileFile), before), 0, 'nothing is saved without the click');
    await popup.click('#save');
    await popup.waitForFunction(() => document.getElementById('message').textContent.startsWith('Saved'));
    assert.equal(fs.readFileSync(profileFile, 'utf8'),
                 before.toString('utf8') + 'rules.test|12|strong|required: lower; required: digit; allowed: lower, digit; minlength: 10; maxlength: 12;|1\r\n');
    assert.equal(await fill(popup), 'Filled the password field');
    assert.match(await page.$eval('#pw', (f) => f.value), /^[a-z0-9]{12}$/);
    await close(popup, page);
  });

  test('the phrase is written nowhere the extension can store things', async () => {
    const { page, popup } = await openPopup(url('login.shop.example.com', '/login'));
    await fill(popup, { choose: 'shop.example.com|16|strong' });
    assert.deepEqual(await popup.evaluate(async () => [localStorage.length, sessionStorage.length,
                                                          (await indexedDB.databases()).length,
                                                          typeof chrome.storage]), [0, 0, 0, 'undefined']);
    await close(popup, page);
    await browser.close();
    browser = null;
    const needles = [Buffer.from(phrase, 'utf8'), Buffer.from(phrase, 'utf16le')];
    const walk = (folder) => fs.readdirSync(folder, { withFileTypes: true }).flatMap((entry) => {
      const full = path.join(folder, entry.name);
      return entry.isDirectory() ? walk(full) : entry.isFile() ? [full] : [];
    });
    for (const file of walk(userData)) {
      const bytes = fs.readFileSync(file);
      for (const needle of needles)
        assert.equal(bytes.includes(needle), false, `the phrase is in ${file}`);
    }
  });
});

describe('in Firefox ESR', { skip: !fs.existsSync('/usr/lib/firefox-esr/firefox-esr') && 'firefox-esr is not installed' }, () => {
  test('the same folder installs without a warning, and its host answers', async () => {
    const firefoxHome = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-firefox-home-'));
    fs.mkdirSync(path.join(firefoxHome, '.mozilla/native-messaging-hosts'), { recursive: true });
    fs.writeFileSync(path.join(firefoxHome, '.mozilla/native-messaging-hosts/org.quorvane.browser_host.json'),
                     JSON.stringify({ name: 'org.quorvane.browser_host', description: 'Quorvane (tests)', path: host,
                                      type: 'stdio', allowed_extensions: ['browser@quorvane.org'] }));
    const firefox = await puppeteer.launch({
      browser: 'firefox', executablePath: '/usr/lib/firefox-esr/firefox-esr', headless: true,
      env: { ...env, HOME: firefoxHome },
      // The extension's console lines reach standard output, where the test reads them.
      extraPrefsFirefox: { 'devtools.console.stdout.chrome': true, 'devtools.console.stdout.content': true },
    });
    let output = '';
    firefox.process().stdout.on('data', (chunk) => { output += chunk; });
    firefox.process().stderr.on('data', (chunk) => { output += chunk; });
    assert.equal(await firefox.installExtension(extension), 'browser@quorvane.org');
    // The extension asks its host for its version when it is installed.
    for (let waited = 0; waited < 150 && !output.includes('Quorvane: the browser host'); ++waited)
      await new Promise((resolve) => setTimeout(resolve, 100));
    await firefox.close();
    assert.match(output, /Quorvane: the browser host 1\.0\.0 answers/);
    assert.doesNotMatch(output, /Reading manifest|manifest.*[Ww]arning/);
  });
});
