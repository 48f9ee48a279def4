// Quorvane's extension in real browsers, against pages served here from 127.0.0.1 under
// real-looking names, with the built browser host: Debian's Chromium, driven by puppeteer-core
// through its own action button (the popup a user opens), and Firefox ESR in a real window,
// driven by real clicks and keys (firefox.mjs). Run by run.sh (CTest's BrowserExtension).
import assert from 'node:assert/strict';
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import puppeteer from 'puppeteer-core';

import { composeRequest, lengthFor, profileText, ruleLengths } from '../../browser/lines.js';
import { Firefox, firefoxPath } from './firefox.mjs';

const build = process.env.QUORVANE_BUILD;
const source = path.resolve(import.meta.dirname, '../..');
const extension = path.join(source, 'browser');
const host = path.join(build, 'quorvane-browser-host');
const cli = path.join(build, 'quorvane-cli');
const extensionId = 'neilhkkeidmiiopkkjlaampgfcblppbm';
const phrase = 'correct horse battery staple';
const shortcut = JSON.parse(fs.readFileSync(path.join(extension, 'manifest.json'), 'utf8'))
  .commands._execute_action.suggested_key.default;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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
  'odd.example.com|16|strong',
  'slow.example.com|16|strong',
  'signup.example.com|16|strong',
  'moving.test|16|strong',
];
fs.mkdirSync(path.dirname(profileFile), { recursive: true });
fs.writeFileSync(profileFile, profiles.map((line) => `${line}\r\n`).join(''));
const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'),
              XDG_DATA_HOME: path.join(source, 'tests/data/sites') };

function cliPassword(line) {
  return execFileSync(cli, ['derive', '--exact', `--profile=${line}`], { input: phrase, env }).toString().trim();
}

// The password of any profile line, saved or not, through the host as the popup asks it.
function linePassword(line, secret = phrase) {
  const body = Buffer.from(JSON.stringify({ type: 'derive', line, phrase: secret }), 'utf8');
  const size = Buffer.alloc(4);
  size.writeUInt32LE(body.length);
  const out = spawnSync(host, ['chrome-extension://test/'], { input: Buffer.concat([size, body]), env }).stdout;
  return JSON.parse(out.subarray(4, 4 + out.readUInt32LE(0)).toString('utf8')).password;
}

function savedLines() {
  return fs.readFileSync(profileFile, 'utf8').split('\r\n').filter(Boolean);
}

// A login of web components: each input in a shadow root of its own (open or closed) inside the
// form, which listens for input.
const shadowPage = (mode) => `<form id="f"><x-field id="user" kind="text"></x-field><x-field id="pw" kind="password"></x-field>
              <button>Sign in</button></form><script>
      customElements.define('x-field', class extends HTMLElement {
        constructor() {
          super();
          const input = document.createElement('input');
          input.type = this.getAttribute('kind');
          this.attachShadow({ mode: '${mode}' }).append(input);
          this.input = input;
        }
      });
      window.heard = [];
      document.getElementById('f').addEventListener('input', (event) => window.heard.push(event.target.id));
    </script>`;

// The pages, by path.
const pages = {
  '/login': '<form><input name="user"><input type="password" id="pw"><button>Sign in</button></form>',
  '/change': `<form><input type="password" id="current" autocomplete="current-password">
              <input type="password" id="new" autocomplete="new-password">
              <input type="password" id="confirm" autocomplete="new-password"></form>`,
  '/short': '<form><input type="password" id="pw" maxlength="8"></form>',
  '/signup': `<form><input name="user"><input type="password" id="new" autocomplete="new-password">
              <input type="password" id="confirm" autocomplete="new-password"></form>`,
  '/short12': '<form><input name="user"><input type="password" id="pw" maxlength="12"></form>',
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
  // A sign-up form whose field says what the site takes.
  '/rules': `<form><input type="password" id="pw" autocomplete="new-password"
              passwordrules="required: lower; required: digit; minlength: 10; maxlength: 12;"></form>`,
  '/elsewhere': '<p>Another site.</p>',
  // Web components: each input in a shadow root of its own, open or closed, inside the form.
  '/shadow-open': shadowPage('open'),
  '/shadow-closed': shadowPage('closed'),
  // A login in a modal dialog (the top layer), and a formless one behind a "Show login" toggle.
  '/dialog': `<dialog id="d"><form method="dialog"><input name="user"><input type="password" id="pw"></form></dialog>
              <script>document.getElementById('d').showModal();</script>`,
  '/toggle': `<button id="show" onclick="document.getElementById('box').hidden = false">Show login</button>
              <div id="box" hidden><input type="password" id="pw"></div>`,
  // Identifier first: the user name alone, then the password on a page of its own.
  '/step1': '<form><input type="email" id="id" autocomplete="username"><button>Next</button></form>',
  '/step2': '<form><input type="password" id="pw" autocomplete="current-password"><button>Sign in</button></form>',
  // Honeypots, a one-time code and a search box beside the real fields.
  '/decoys': `<form><input type="search" id="search"><input name="user" id="user">
              <input type="password" id="trap" style="position:absolute;left:-9999px;width:0;height:0">
              <input type="password" id="pw"><input id="otp" autocomplete="one-time-code"></form>`,
  // A page that puts a "|" into its own address, as any page may.
  '/hash': `<form><input type="password" id="pw"></form><script>history.replaceState(null, '', '#|');</script>`,
};
let port = 0;
const server = http.createServer((request, response) => {
  const page = pages[new URL(request.url, 'http://x').pathname];
  response.writeHead(page ? 200 : 404, { 'content-type': 'text/html; charset=utf-8' });
  response.end(`<!DOCTYPE html><html><body>${(page ?? '').replaceAll('PORT', String(port))}</body></html>`);
});
const url = (name, pagePath) => `http://${name}:${port}${pagePath}`;

// The host as the browsers start it, and one that answers only after a while (for the race of a
// quick Enter against the lookup).
const slowHost = path.join(home, 'slow-host');
fs.writeFileSync(slowHost, `#!/bin/sh\nsleep 4\nexec '${host}' "$@"\n`, { mode: 0o755 });
function chromiumManifest(hostPath) {
  return JSON.stringify({ name: 'org.quorvane.browser_host', description: 'Quorvane (tests)', path: hostPath,
                          type: 'stdio', allowed_origins: [`chrome-extension://${extensionId}/`] });
}

before(async () => {
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  port = server.address().port;
});

after(() => server.close());

// The popup's module as the popup uses it, against the real host: the line of a new profile is
// written as the window and quorvane-cli write it.
describe('the popup\'s profile lines', () => {
  // One native-messaging exchange with a fresh host.
  function askHost(requests) {
    return new Promise((resolve, reject) => {
      const child = spawn(host, ['chrome-extension://test/'], { env });
      const chunks = [];
      child.stdout.on('data', (chunk) => chunks.push(chunk));
      child.on('error', reject);
      child.on('close', () => {
        const out = Buffer.concat(chunks);
        const replies = [];
        for (let at = 0; at + 4 <= out.length;) {
          const size = out.readUInt32LE(at);
          replies.push(JSON.parse(out.subarray(at + 4, at + 4 + size).toString('utf8')));
          at += 4 + size;
        }
        resolve(replies);
      });
      for (const request of requests) {
        const body = Buffer.from(JSON.stringify(request), 'utf8');
        const size = Buffer.alloc(4);
        size.writeUInt32LE(body.length);
        child.stdin.write(Buffer.concat([size, body]));
      }
      child.stdin.end();
    });
  }

  test('composed by the host, equal to quorvane-cli\'s, "%" in a short rule included', async () => {
    const rows = [
      [{ scheme: 'strong', identifier: 'a.test', length: 16, rule: 'aA9!:%$' }, ['--rule=aA9!:%$', '-l', '16']],
      [{ scheme: 'strong', identifier: 'b.test', length: 12, rule: 'required: digit; allowed: [%|]; maxlength: 12' },
       ['--rule=required: digit; allowed: [%|]; maxlength: 12', '-l', '12']],
      [{ scheme: 'strong', identifier: 'c.test', length: 16, rule: '' }, ['-l', '16']],
      [{ scheme: 'compatible', identifier: 'd.test', length: 4 }, ['--scheme=compatible', '-l', '4']],
      [{ scheme: 'lesspass', identifier: 'e.test', length: 20, login: 'me|you' }, null],
      [{ scheme: 'lesspass', identifier: 'e.test', length: 20, login: 'me' }, ['--scheme=lesspass', '-l', '20', '--login=me']],
      [{ scheme: 'spectre', identifier: 'f.test', userName: 'Robert' }, ['--scheme=spectre', '--user-name=Robert']],
    ];
    const replies = await askHost(rows.map(([fields]) => composeRequest(fields)));
    const cliHome = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-lines-'));
    rows.forEach(([fields, options], index) => {
      if (!options) {
        assert.match(replies[index].error, /login holds "\|"/);
        return;
      }
      execFileSync(cli, ['profiles', 'add', `--identifier=${fields.identifier}`, ...options], { env: { ...env, HOME: cliHome } });
      const listed = execFileSync(cli, ['profiles', 'list'], { env: { ...env, HOME: cliHome } }).toString().split('\n');
      assert.ok(listed.includes(replies[index].line), `${replies[index].line} in ${listed}`);
    });
    assert.equal(replies[0].line, 'a.test|16|strong|aA9!:%$|1');
  });

  test('lengths and labels', () => {
    assert.equal(lengthFor(0, 20, 16), 20);
    assert.equal(lengthFor(10, 40, 16), 32);
    assert.equal(lengthFor(-1, -1, 16), 16);
    assert.deepEqual(ruleLengths('required: digit; maxlength: 12;'), { minimum: 0, maximum: 12 });
    assert.equal(ruleLengths('required: digit;'), null);
    const profile = { identifier: 'www.Shop.example', label: 'strong, 16, letters digits + and /' };
    assert.equal(profileText(profile, 'shop.example'), 'strong, 16, letters digits + and /');
    assert.equal(profileText(profile, 'login.shop.example'), 'www.Shop.example: strong, 16, letters digits + and /');
  });
});

describe('in Chromium', () => {
  let browser;
  let userData;
  const manifestFile = () => path.join(userData, 'NativeMessagingHosts/org.quorvane.browser_host.json');

  before(async () => {
    // A fresh browser profile that knows the built host.
    userData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-chromium-'));
    fs.mkdirSync(path.join(userData, 'NativeMessagingHosts'));
    fs.writeFileSync(manifestFile(), chromiumManifest(host));
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
  });

  // Opens the page, then the popup the way a user does, with the extension's own action.
  async function openPopup(address, { before: act, waitForLookup = true } = {}) {
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
    if (waitForLookup)
      await popup.waitForFunction(() => !document.getElementById('fill').disabled
                                        || document.getElementById('message').textContent, { timeout: 15000 });
    return { page, popup };
  }

  const message = (popup) => popup.$eval('#message', (m) => m.textContent);

  async function fill(popup, { choose } = {}) {
    if (choose !== undefined)
      await popup.click(`#profiles input[value="${choose.replaceAll('"', '\\"')}"]`);
    await popup.$eval('#message', (m) => { m.textContent = ''; });
    await popup.type('#phrase', phrase);
    await popup.keyboard.press('Enter');
    await popup.waitForFunction(() => /^(Filled|Not filled|.*\.$)/.test(document.getElementById('message').textContent)
                                      && !document.getElementById('message').textContent.startsWith('Making'),
                                { timeout: 30000 });
    return message(popup);
  }

  async function close(...pagesToClose) {
    for (const p of pagesToClose)
      await p.close();
  }

  test('the manifest asks for activeTab, scripting and nativeMessaging only, and has every icon', () => {
    const manifest = JSON.parse(fs.readFileSync(path.join(extension, 'manifest.json'), 'utf8'));
    assert.deepEqual([...manifest.permissions].sort(), ['activeTab', 'nativeMessaging', 'scripting']);
    assert.equal(manifest.host_permissions, undefined);
    assert.equal(manifest.content_scripts, undefined);
    assert.equal(manifest.optional_permissions, undefined);
    assert.equal(manifest.browser_specific_settings.gecko.id, 'browser@quorvane.org');
    for (const size of ['16', '32', '48', '128']) {
      const png = fs.readFileSync(path.join(extension, manifest.icons[size]));
      assert.equal(png.readUInt32BE(16), Number(size), `icon ${size} is ${size} pixels wide`);
    }
  });

  test('a login page: a parent domain\'s profile fills the field with the CLI\'s password, no script before', async () => {
    // No script of ours runs on the page before the popup opens: the page's script worlds are
    // watched from its load on; the extension's own shows up only with the popup.
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
    assert.equal(await popup.$eval('#site', (s) => s.textContent), 'login.shop.example.com');
    const offered = await popup.$$eval('#profiles input', (inputs) => inputs.map((i) => i.value));
    assert.deepEqual(offered, ['login.shop.example.com|20|strong|aA9!|2', 'shop.example.com|16|strong',
                               'shop.example.com|12', 'shop.example.com|18|lesspass|aA9|1|me@example.com',
                               'shop.example.com|0|spectre|long|1|3|password|Robert Lee Mitchell|']);
    // Readable: the site the header names is not repeated, nothing is cut.
    const labels = await popup.$$eval('#profiles label', (all) => all.map((l) => [l.textContent.trim(), l.title,
                                                                                l.scrollWidth <= l.clientWidth]));
    assert.deepEqual(labels[0], ['strong, 20, letters digits and symbols, version 2',
                                 'login.shop.example.com: strong, 20, letters digits and symbols, version 2', true]);
    assert.equal(labels[1][0], 'shop.example.com: strong, 16, letters digits + and /');
    assert.ok(labels.every((l) => l[2]));
    assert.equal(await fill(popup, { choose: 'shop.example.com|16|strong' }), 'Filled the password field.');
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('shop.example.com|16|strong'));
    assert.equal(ours.length, 1, 'the fill ran in a world of its own');
    // The popup stays open, says what it did and shows the whole phrase's fingerprint.
    const expected = execFileSync(cli, ['fingerprint'], { input: phrase, env }).toString().trim();
    await popup.waitForFunction((text) => document.getElementById('fingerprint').getAttribute('aria-label').endsWith(text),
                                { timeout: 20000 }, expected);
    assert.equal(popup.isClosed(), false);
    // The README's picture of the popup, when asked for (scripts/browser-screenshot).
    if (process.env.QUORVANE_SCREENSHOT)
      await popup.screenshot({ path: process.env.QUORVANE_SCREENSHOT });
    // Escape closes it.
    const closed = new Promise((resolve) => popup.once('close', resolve));
    await popup.keyboard.press('Escape').catch(() => {});   // the popup is gone before the key is up
    await closed;
    await close(page);
  });

  test('every scheme fills the password the CLI gives', async () => {
    for (const line of profiles.slice(1, 5)) {
      const { page, popup } = await openPopup(url('login.shop.example.com', '/login'));
      // A LessPass profile keeps the account's login: it goes into the empty user name field.
      const login = line.includes('|lesspass|') ? 'me@example.com' : '';
      assert.equal(await fill(popup, { choose: line }), `Filled the password field.${login ? ' Filled the user name too.' : ''}`, line);
      assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword(line), line);
      assert.equal(await page.$eval('input[name=user]', (f) => f.value), login, line);
      await close(popup, page);
    }
  });

  test('the fingerprint shows for a whole phrase only: never while it is typed, gone at the next key', async () => {
    const { page, popup } = await openPopup(url('login.shop.example.com', '/login'));
    const shapes = () => popup.$$eval('#fingerprint svg', (all) => all.length);
    await popup.type('#phrase', phrase.slice(0, 7));
    await sleep(2500);   // a pause between words shows nothing
    assert.equal(await shapes(), 0);
    await popup.type('#phrase', phrase.slice(7));
    // Leaving the field shows the fingerprint of the whole phrase.
    await popup.focus('#fill');
    const expected = execFileSync(cli, ['fingerprint'], { input: phrase, env }).toString().trim();
    await popup.waitForFunction((text) => document.getElementById('fingerprint').getAttribute('aria-label').endsWith(text),
                                { timeout: 20000 }, expected);
    assert.ok(await shapes() >= 3);
    await popup.focus('#phrase');
    await popup.keyboard.press('Backspace');
    assert.equal(await shapes(), 0, 'an edit takes the shapes away at once');
    await sleep(2500);
    assert.equal(await shapes(), 0);
    await close(popup, page);
  });

  test('a change form: the current password and the next version\'s, kept; one click back', async () => {
    const { page, popup } = await openPopup(url('change.example.com', '/change'));
    const first = linePassword('change.example.com|16|strong');
    const second = linePassword('change.example.com|16|strong|base64|2');
    assert.equal(await fill(popup), 'Filled the current password, the new one and its confirmation. '
                                    + 'change.example.com is now at version 2.');
    assert.deepEqual(await page.$$eval('input', (fields) => fields.map((f) => f.value)), [first, second, second]);
    // Saved at its next version, in its place: every door now gives version 2's password.
    assert.ok(savedLines().includes('change.example.com|16|strong|base64|2'));
    assert.equal(execFileSync(cli, ['derive', '--profile=change.example.com'], { input: phrase, env }).toString().trim(), second);
    // The site refused it: back to version 1.
    assert.equal(await popup.$eval('#back', (b) => [b.hidden, b.textContent].join()), 'false,Back to version 1');
    await popup.click('#back');
    await popup.waitForFunction(() => document.getElementById('message').textContent.includes('back at version 1'));
    assert.ok(savedLines().includes('change.example.com|16|strong'));
    assert.equal(execFileSync(cli, ['derive', '--profile=change.example.com'], { input: phrase, env }).toString().trim(), first);
    await close(popup, page);
  });

  test('a new password on a saved site is a change: the next version, kept once however often Fill is pressed', async () => {
    const { page, popup } = await openPopup(url('signup.example.com', '/signup'));
    const next = linePassword('signup.example.com|16|strong|base64|2');
    const values = () => page.$$eval('input[type=password]', (fields) => fields.map((f) => f.value));
    assert.equal(await fill(popup), 'Filled the new password and its confirmation. signup.example.com is now at version 2.');
    assert.deepEqual(await values(), [next, next]);
    assert.ok(savedLines().includes('signup.example.com|16|strong|base64|2'));
    await popup.$eval('#phrase', (f) => { f.value = ''; });
    assert.match(await fill(popup), /^Filled the new password and its confirmation\. The same pair as before/);
    assert.deepEqual(await values(), [next, next]);
    assert.ok(!savedLines().some((line) => line.startsWith('signup.example.com|16|strong|base64|3')));
    await popup.click('#back');
    await popup.waitForFunction(() => document.getElementById('message').textContent.includes('back at version 1'));
    assert.ok(savedLines().includes('signup.example.com|16|strong'));
    await close(popup, page);
    // A site with no saved profile: a sign-up, its first version.
    const fresh = await openPopup(url('brand-new.test', '/signup'));
    assert.match(await fill(fresh.popup), /^Filled the new password and its confirmation\. Saved the profile of brand-new\.test\.$/);
    const own = cliPassword('brand-new.test|16|strong');
    assert.deepEqual(await fresh.page.$$eval('input[type=password]', (fields) => fields.map((f) => f.value)), [own, own]);
    await close(fresh.popup, fresh.page);
  });

  test('a change form filled twice moves the profile on once; back goes to where the change started', async () => {
    const { page, popup } = await openPopup(url('change.example.com', '/change'));
    const first = linePassword('change.example.com|16|strong');
    const second = linePassword('change.example.com|16|strong|base64|2');
    await fill(popup);
    await popup.$eval('#phrase', (f) => { f.value = ''; });
    assert.match(await fill(popup), /^Filled the current password, the new one and its confirmation\. The same pair as before/);
    assert.deepEqual(await page.$$eval('input', (fields) => fields.map((f) => f.value)), [first, second, second]);
    assert.ok(savedLines().includes('change.example.com|16|strong|base64|2'));
    assert.equal(await popup.$eval('#back', (b) => b.textContent), 'Back to version 1');
    await popup.click('#back');
    await popup.waitForFunction(() => document.getElementById('message').textContent.includes('back at version 1'));
    assert.ok(savedLines().includes('change.example.com|16|strong'));
    await close(popup, page);
  });

  for (const mode of ['open', 'closed']) {
    test(`a login built of web components in ${mode} shadow roots: found, filled, heard outside the root`, async () => {
      const { page, popup } = await openPopup(url(`shadow-${mode}.test`, `/shadow-${mode}`));
      assert.match(await fill(popup), /^Filled the password field\./);
      assert.equal(await page.evaluate(() => document.getElementById('pw').input.value), cliPassword(`shadow-${mode}.test|16|strong`));
      assert.equal(await page.evaluate(() => document.getElementById('user').input.value), '');
      assert.ok((await page.evaluate(() => window.heard)).includes('pw'), 'the form heard the input');
      await close(popup, page);
    });
  }

  test('identifier first: the login on step 1, the password on step 2; without a login step 1 is told plainly', async () => {
    fs.appendFileSync(profileFile, 'steps.test|16|lesspass|aA9!|1|me@steps.test\r\nnologin.test|16|strong\r\n');
    const one = await openPopup(url('steps.test', '/step1'));
    assert.equal(await fill(one.popup), 'Filled the user name: fill the password on the next step.');
    assert.equal(await one.page.$eval('#id', (f) => f.value), 'me@steps.test');
    await close(one.popup, one.page);
    const two = await openPopup(url('steps.test', '/step2'));
    assert.equal(await fill(two.popup), 'Filled the password field.');
    assert.equal(await two.page.$eval('#pw', (f) => f.value), cliPassword('steps.test|16|lesspass|aA9!|1|me@steps.test'));
    await close(two.popup, two.page);
    const plain = await openPopup(url('nologin.test', '/step1'));
    assert.equal(await fill(plain.popup), 'This step asks for your user name; fill the password on the next step.');
    assert.equal(await plain.page.$eval('#id', (f) => f.value), '');
    await close(plain.popup, plain.page);
  });

  test('a login in a top-layer dialog, and one behind a "Show login" toggle once it is shown', async () => {
    const dialog = await openPopup(url('dialog.test', '/dialog'));
    assert.match(await fill(dialog.popup), /^Filled the password field\./);
    assert.equal(await dialog.page.$eval('#pw', (f) => f.value), cliPassword('dialog.test|16|strong'));
    await close(dialog.popup, dialog.page);
    const hidden = await openPopup(url('toggle.test', '/toggle'));
    assert.match(await fill(hidden.popup), /^Not filled: the page has no password field/);
    await close(hidden.popup, hidden.page);
    // (A click into the page closes the popup: the login is shown first, as the user does.)
    const toggle = await openPopup(url('toggle.test', '/toggle'), { before: (page) => page.click('#show') });
    assert.match(await fill(toggle.popup), /^Filled the password field\./);
    assert.equal(await toggle.page.$eval('#pw', (f) => f.value), linePassword('toggle.test|16|strong'));
    await close(toggle.popup, toggle.page);
  });

  test('decoys stay empty: a hidden honeypot, a one-time code, a search box; the user name only when kept', async () => {
    const { page, popup } = await openPopup(url('decoys.test', '/decoys'));
    assert.match(await fill(popup), /^Filled the password field\./);
    const values = await page.$$eval('input', (fields) => Object.fromEntries(fields.map((f) => [f.id, f.value])));
    assert.deepEqual(values, { search: '', user: '', trap: '', pw: cliPassword('decoys.test|16|strong'), otp: '' });
    await close(popup, page);
  });

  test('a saved profile typed by name on another site: that profile, its version; no second line', async () => {
    execFileSync(cli, ['profiles', 'add', '-i', 'bank', '--counter=3', '--rule=aA9'], { env });
    const before = savedLines().filter((line) => line.startsWith('bank|')).length;
    const { page, popup } = await openPopup(url('unnamed.test', '/login'));
    await popup.$eval('#identifier', (f) => { f.value = 'bank'; });
    assert.equal(await fill(popup), 'bank is saved already (strong, 16, letters and digits, version 3): Quorvane uses that profile. '
                                    + 'Filled the password field.');
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('bank|16|strong|aA9|3'));
    assert.equal(savedLines().filter((line) => line.startsWith('bank|')).length, before);
    assert.equal(execFileSync(cli, ['derive', '--profile=bank'], { input: phrase, env }).toString().trim(), cliPassword('bank|16|strong|aA9|3'));
    await close(popup, page);
  });

  test('a page that listens only to typed-like input sees the password', async () => {
    const { page, popup } = await openPopup(url('typed.example.com', '/typed'));
    assert.equal(await fill(popup), 'Filled the password field.');
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
    assert.equal(await fill(popup), 'Filled the password field.');
    const same = await (await page.$('#same')).contentFrame();
    const other = await (await page.$('#other')).contentFrame();
    assert.equal(await same.$eval('#pw', (f) => f.value), cliPassword('frames.example.com|16|strong'));
    assert.equal(await other.$eval('#pw', (f) => f.value), '');
    await close(popup, page);
  });

  test('real addresses: a "|" the page put into its own address, a query with "|" and "^"', async () => {
    for (const [name, pagePath] of [['odd.example.com', '/hash'], ['odd.example.com', '/login?q=a|b&r=a^b&s={x}']]) {
      const { page, popup } = await openPopup(url(name, pagePath));
      assert.equal(await popup.$eval('#saved', (s) => s.hidden), false, pagePath);
      assert.equal(await fill(popup), 'Filled the password field.', pagePath);
      assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('odd.example.com|16|strong'));
      await close(popup, page);
    }
  });

  test('Enter before the lookup has answered fills nothing; afterwards the right password', async () => {
    fs.writeFileSync(manifestFile(), chromiumManifest(slowHost));
    try {
      const { page, popup } = await openPopup(url('slow.example.com', '/login'), { waitForLookup: false });
      await popup.type('#phrase', phrase);
      await popup.keyboard.press('Enter');
      assert.equal(await popup.$eval('#fill', (b) => b.disabled), true);
      assert.match(await message(popup), /still looking this page up/);
      await sleep(1000);
      assert.equal(await page.$eval('#pw', (f) => f.value), '', 'nothing is filled before the lookup');
      await popup.waitForFunction(() => !document.getElementById('fill').disabled, { timeout: 30000 });
      await popup.keyboard.press('Enter');
      await popup.waitForFunction(() => document.getElementById('message').textContent.startsWith('Filled'),
                                  { timeout: 30000 });
      assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('slow.example.com|16|strong'));
      await close(popup, page);
    } finally {
      fs.writeFileSync(manifestFile(), chromiumManifest(host));
    }
  });

  test('a failed lookup leaves Fill off and says why', async () => {
    fs.writeFileSync(manifestFile(), chromiumManifest(path.join(home, 'no-such-host')));
    try {
      const { page, popup } = await openPopup(url('slow.example.com', '/login'));
      await popup.type('#phrase', phrase);
      await popup.keyboard.press('Enter');
      assert.match(await message(popup), /cannot be reached/);
      assert.equal(await popup.$eval('#fill', (b) => b.disabled), true);
      assert.equal(await page.$eval('#pw', (f) => f.value), '');
      await close(popup, page);
    } finally {
      fs.writeFileSync(manifestFile(), chromiumManifest(host));
    }
  });

  test('a new site: the same settings on every page, a fill remembers them, the next popup shows them', async () => {
    // A login page's maxlength says nothing of the profile: the defaults, and a password that
    // does not fit is never cut.
    const first = await openPopup(url('new.test', '/short12'));
    assert.equal(await first.popup.$eval('#new', (s) => s.hidden), false);
    assert.deepEqual(await first.popup.$$eval(['#identifier', '#scheme', '#length', '#rule'].join(','),
                                              (fields) => fields.map((f) => f.value)),
                     ['new.test', 'strong', '16', '']);
    assert.equal(await first.popup.$eval('#remember', (box) => box.checked), true);
    assert.equal(await fill(first.popup), 'Not filled: the site allows 12 characters and the profile makes 16.');
    assert.ok(!savedLines().some((line) => line.startsWith('new.test')), 'nothing saved without a fill');
    await close(first.popup, first.page);

    const second = await openPopup(url('new.test', '/login'));
    assert.equal(await second.popup.$eval('#length', (f) => f.value), '16');
    assert.match(await fill(second.popup), /^Filled the password field\. Saved the profile of new\.test\.$/);
    assert.equal(await second.page.$eval('#pw', (f) => f.value), cliPassword('new.test|16|strong'));
    assert.ok(savedLines().includes('new.test|16|strong'));
    // The popup now shows it as saved: the new-profile form and its hint are gone.
    assert.equal(await second.popup.$eval('#new', (s) => s.hidden), true);
    assert.deepEqual(await second.popup.$$eval('#profiles input', (all) => all.map((i) => i.value)),
                     ['new.test|16|strong']);
    await close(second.popup, second.page);

    const third = await openPopup(url('www.new.test', '/login'));
    assert.deepEqual(await third.popup.$$eval('#profiles input', (all) => all.map((i) => i.value)),
                     ['new.test|16|strong']);
    assert.equal(await fill(third.popup), 'Filled the password field.');
    assert.equal(await third.page.$eval('#pw', (f) => f.value), cliPassword('new.test|16|strong'));
    await close(third.popup, third.page);

    // Unticked, a fill saves nothing.
    const fourth = await openPopup(url('unsaved.test', '/login'));
    await fourth.popup.click('#remember');
    assert.equal(await fill(fourth.popup), 'Filled the password field.');
    assert.ok(!savedLines().some((line) => line.startsWith('unsaved.test')));
    await close(fourth.popup, fourth.page);
  });

  test('a new site: a sign-up form\'s passwordrules are offered, and Save adds exactly that profile', async () => {
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
    assert.equal(await popup.$eval('#new', (s) => s.hidden), true);
    assert.equal(await fill(popup), 'Filled the password field.');
    assert.match(await page.$eval('#pw', (f) => f.value), /^[a-z0-9]{12}$/);
    await close(popup, page);
  });

  test('a new site: Words makes a passphrase, six words at first, saved as the CLI reads it', async () => {
    const { page, popup } = await openPopup(url('phrase.test', '/login'));
    await popup.click('#words');
    assert.equal(await popup.$eval('#length', (f) => [f.value, f.max].join(' ')), '6 12');
    assert.equal(await popup.$eval('#rule', (f) => f.disabled), true);
    assert.equal(await fill(popup), 'Filled the password field. Saved the profile of phrase.test.');
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('phrase.test|6|strong|words|1'));
    assert.ok(savedLines().includes('phrase.test|6|strong|words|1'));
    await close(popup, page);
    // Words is the user's choice alone, on each new site: never chosen by itself.
    const other = await openPopup(url('other-phrase.test', '/login'));
    assert.equal(await other.popup.$eval('#words', (f) => f.checked), false);
    await close(other.popup, other.page);
  });

  test('a related site: its profile offered, never chosen; Fill waits for a pick; picked, it fills and saves nothing', async () => {
    execFileSync(cli, ['profiles', 'add', '-i', 'signin.test'], { env });
    const before = fs.readFileSync(profileFile);
    const { page, popup } = await openPopup(url('www.shared.test', '/login'));
    assert.equal(await popup.$eval('#saved', (s) => s.hidden), false);
    assert.equal(await popup.$eval('#new', (s) => s.hidden), true);
    assert.match(await popup.$eval('#profiles', (p) => p.textContent), /shared\.test shares its sign-in with signin\.test:/);
    assert.deepEqual(await popup.$$eval('#profiles input', (radios) => radios.map((r) => r.checked)), [false, false]);
    assert.equal(await fill(popup), 'shared.test shares its sign-in with signin.test: choose that profile, or a new one, first.');
    assert.equal(await page.$eval('#pw', (f) => f.value), '');
    await popup.$eval('#phrase', (f) => { f.value = ''; });
    assert.equal(await fill(popup, { choose: 'signin.test|16|strong' }), 'Filled the password field.');
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('signin.test|16|strong'));
    assert.equal(Buffer.compare(fs.readFileSync(profileFile), before), 0, 'nothing saved');
    await close(popup, page);
    // Or a profile of its own: the new profile's form shows once it is picked.
    const again = await openPopup(url('shared.test', '/login'));
    await again.popup.click(`#profiles input[value=":new"]`);
    assert.equal(await again.popup.$eval('#new', (s) => s.hidden), false);
    assert.equal(await again.popup.$eval('#identifier', (f) => f.value), 'shared.test');
    await close(again.popup, again.page);
    // An unrelated site is offered nothing of it.
    const other = await openPopup(url('unrelated.test', '/login'));
    assert.equal(await other.popup.$eval('#new', (s) => s.hidden), false);
    assert.doesNotMatch(await other.popup.$eval('#profiles', (p) => p.textContent), /shares its sign-in/);
    await close(other.popup, other.page);
  });

  test('problems are said in words, and go when what they were about changes', async () => {
    const { page, popup } = await openPopup(url('words.test', '/login'));
    const cases = [
      [async () => { await popup.$eval('#identifier', (f) => { f.value = ''; }); }, 'Type the identifier (the site\'s name) first', '#identifier'],
      [async () => { await popup.select('#scheme', 'spectre'); }, 'Spectre needs the user\'s name', '#username'],
      [async () => { await popup.$eval('#rule', (f) => { f.value = 'required: letters'; }); },
       'The Site rules field holds no rule: "letters" is no class', '#rule'],
    ];
    for (const [set, words, field] of cases) {
      await popup.$eval('#identifier', (f) => { f.value = 'words.test'; });
      await popup.select('#scheme', 'strong');
      await popup.$eval('#rule', (f) => { f.value = ''; });
      await set();
      await popup.$eval('#phrase', (f) => { f.value = ''; });
      const said = await fill(popup);
      assert.ok(said.startsWith(words), said);
      assert.ok(!said.includes('|'), 'no raw profile line');
      await popup.type(field, 'x');
      assert.equal(await message(popup), '', `the message goes once ${field} changes`);
      await popup.$eval('#phrase', (f) => { f.value = ''; });
    }
    assert.equal(await page.$eval('#pw', (f) => f.value), '');
    assert.ok(!savedLines().some((line) => line.startsWith('words.test')));
    await close(popup, page);
  });

  test('a change of the secret phrase: the change form asks for the previous phrase too, and marks the site moved', async () => {
    const before = fs.readFileSync(profileFile);
    execFileSync(cli, ['phrase', 'change'], { env });
    try {
      const { page, popup } = await openPopup(url('moving.test', '/change'));
      assert.equal(await popup.$eval('#phrasenote', (n) => n.textContent), 'moving.test still uses your previous secret phrase.');
      assert.equal(await popup.$eval('#previousblock', (b) => b.hidden), false);
      const previous = 'the previous phrase';
      await popup.type('#previous', previous);
      // The new phrase twice, as the window asks it: a typo sets no site's password.
      assert.equal(await popup.$eval('#againblock', (b) => b.hidden), false);
      assert.equal(await popup.$eval('#phraselabel', (l) => l.textContent), 'New secret phrase');
      await popup.type('#again', `${phrase}x`);
      assert.equal(await fill(popup), 'The new secret phrase was typed two different ways: type it again below.');
      assert.deepEqual(await page.$$eval('input', (fields) => fields.map((f) => f.value)), ['', '', '']);
      await popup.$eval('#again', (f) => { f.value = ''; });
      await popup.type('#again', phrase);
      await popup.$eval('#phrase', (f) => { f.value = ''; });
      assert.match(await fill(popup), /^Filled the current password, the new one and its confirmation\. moving\.test now uses your new secret phrase\.$/);
      const old = linePassword('moving.test|16|strong', previous);
      const fresh = cliPassword('moving.test|16|strong');
      assert.deepEqual(await page.$$eval('input', (fields) => fields.map((f) => f.value)), [old, fresh, fresh]);
      assert.ok(savedLines().includes('moving.test|16|strong|#2'));
      assert.equal(await popup.$eval('#phrasenote', (n) => n.hidden), true);
      await close(popup, page);
      // A login page of a site not yet moved says so above the phrase.
      const other = await openPopup(url('short.example.com', '/short'));
      assert.equal(await other.popup.$eval('#phrasenote', (n) => n.textContent), 'short.example.com still uses your previous secret phrase.');
      assert.equal(await other.popup.$eval('#previousblock', (b) => b.hidden), true);
      await close(other.popup, other.page);
    } finally {
      // The lines' marks are what says a change is in progress: the lines go back as they were.
      fs.rmSync(path.join(path.dirname(profileFile), 'phrase-change.txt'), { force: true });
      fs.writeFileSync(profileFile, before);
    }
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

describe('in Chromium, in a window', { skip: !process.env.DISPLAY && 'no X display' }, () => {
  test(`the shortcut ${shortcut} opens the popup`, async () => {
    const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-chromium-window-'));
    fs.mkdirSync(path.join(userData, 'NativeMessagingHosts'));
    fs.writeFileSync(path.join(userData, 'NativeMessagingHosts/org.quorvane.browser_host.json'), chromiumManifest(host));
    const browser = await puppeteer.launch({
      executablePath: process.env.QUORVANE_CHROMIUM ?? '/usr/lib/chromium/chromium',
      headless: false, pipe: true, enableExtensions: true, userDataDir: userData, env,
      args: ['--no-sandbox', '--host-resolver-rules=MAP *.example.com 127.0.0.1', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-gpu'],
    });
    try {
      await browser.installExtension(extension);
      const page = await browser.newPage();
      await page.goto(url('login.shop.example.com', '/login'));
      await page.bringToFront();
      const window = execFileSync('xdotool', ['search', '--sync', '--onlyvisible', '--class', 'chromium']).toString()
        .trim().split('\n').pop();
      execFileSync('xdotool', ['windowfocus', '--sync', window]);
      await sleep(500);
      execFileSync('xdotool', ['key', shortcut.toLowerCase()]);
      const target = await browser.waitForTarget((t) => t.url() === `chrome-extension://${extensionId}/popup.html`,
                                                 { timeout: 15000 });
      const popup = await target.asPage();
      await popup.waitForFunction(() => document.getElementById('site').textContent === 'login.shop.example.com',
                                  { timeout: 15000 });
      // The button's tooltip names the shortcut.
      const worker = await browser.waitForTarget((t) => t.type() === 'service_worker' && t.url().includes(extensionId));
      const title = await (await worker.worker()).evaluate(async () => chrome.action.getTitle({}));
      assert.match(title, new RegExp(shortcut.replaceAll('+', '\\+')));
    } finally {
      await browser.close();
    }
  });
});

describe('in Firefox ESR', { skip: (!fs.existsSync(firefoxPath) && 'firefox-esr is not installed')
                                   || (!process.env.DISPLAY && 'no X display') }, () => {
  let firefox;
  let firefoxHome;

  before(async () => {
    // A throw-away HOME whose user manifest names the built host (run.sh hides the system's).
    firefoxHome = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-firefox-home-'));
    fs.mkdirSync(path.join(firefoxHome, '.mozilla/native-messaging-hosts'), { recursive: true });
    fs.writeFileSync(path.join(firefoxHome, '.mozilla/native-messaging-hosts/org.quorvane.browser_host.json'),
                     JSON.stringify({ name: 'org.quorvane.browser_host', description: 'Quorvane (tests)', path: host,
                                      type: 'stdio', allowed_extensions: ['browser@quorvane.org'] }));
    // The host reads the same profile file as the Chromium tests.
    fs.mkdirSync(path.join(firefoxHome, 'Documents'), { recursive: true });
    fs.symlinkSync(path.dirname(profileFile), path.join(firefoxHome, 'Documents/Quorvane'));
    firefox = await Firefox.launch({
      env: { ...env, HOME: firefoxHome }, extension,
      hosts: ['login.shop.example.com', 'change.example.com', 'short.example.com', 'firefox.example.com',
              'shadow-open.test', 'shadow-closed.test', 'steps.test'],
    });
  });

  after(async () => {
    await firefox?.close();
  });

  async function openPage(address) {
    const page = (await firefox.browser.pages())[0];
    await page.goto(address);
    return page;
  }

  async function typeAndFill() {
    firefox.type(phrase);
    firefox.key('Return');
    return firefox.waitInPopup(`/^(Filled|Not filled)/.test(document.getElementById('message').textContent)
                                && document.getElementById('message').textContent`);
  }

  test('the same folder installs without a warning, and its host answers', async () => {
    for (let waited = 0; waited < 150 && !firefox.output.includes('Quorvane: the browser host'); ++waited)
      await sleep(100);
    assert.match(firefox.output, /Quorvane: the browser host 1\.0\.0 answers/);
    assert.doesNotMatch(firefox.output, /Reading manifest|manifest.*[Ww]arning/);
  });

  test('a login page: opened from the Extensions button, the phrase has the keyboard, Fill fills', async () => {
    const page = await openPage(url('login.shop.example.com', '/login'));
    await firefox.openPopupByClick();
    assert.equal(await firefox.inPopup(`document.activeElement.id`), 'phrase');
    await firefox.inPopup(`document.querySelector('#profiles input[value="shop.example.com|16|strong"]').checked = true`);
    firefox.type(phrase);
    await firefox.clickInPopup('fill');
    await firefox.waitInPopup(`document.getElementById('message').textContent.startsWith('Filled')`);
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('shop.example.com|16|strong'));
    assert.equal(await firefox.popupOpen(), true, 'the popup stays open after a fill');
    firefox.key('Escape');
    await sleep(500);
    assert.equal(await firefox.popupOpen(), false);
  });

  test(`the shortcut ${shortcut} opens the popup, not Firefox's own window`, async () => {
    const page = await openPage(url('login.shop.example.com', '/login'));
    await firefox.openPopupByShortcut(shortcut.toLowerCase());
    assert.equal(await firefox.chrome('return [...Services.wm.getEnumerator(null)].length'), 1, 'no other window opened');
    assert.equal(await typeAndFill(), 'Filled the password field.');
    assert.equal(await page.$eval('#pw', (f) => f.value), cliPassword('login.shop.example.com|20|strong|aA9!|2'));
    firefox.key('Escape');
  });

  test('the fingerprint shows for a whole phrase only, not during a pause in the typing', async () => {
    await openPage(url('login.shop.example.com', '/login'));
    await firefox.openPopupByShortcut(shortcut.toLowerCase());
    const shapes = () => firefox.inPopup(`document.querySelectorAll('#fingerprint svg').length`);
    firefox.type(phrase.slice(0, 7));
    await sleep(2500);
    assert.equal(await shapes(), 0);
    firefox.type(phrase.slice(7));
    firefox.key('Tab');
    const expected = execFileSync(cli, ['fingerprint'], { input: phrase, env }).toString().trim();
    assert.ok(await firefox.waitInPopup(`document.getElementById('fingerprint').getAttribute('aria-label')
                                         .endsWith(${JSON.stringify(expected)})`, 20000));
    firefox.key('shift+Tab');
    firefox.key('BackSpace');
    assert.equal(await shapes(), 0, 'an edit takes the shapes away at once');
    firefox.key('Escape');
  });

  test('a change form: version 1 into the current password, version 2 into the new ones, and kept', async () => {
    const page = await openPage(url('change.example.com', '/change'));
    await firefox.openPopupByShortcut(shortcut.toLowerCase());
    assert.equal(await typeAndFill(), 'Filled the current password, the new one and its confirmation. '
                                      + 'change.example.com is now at version 2.');
    const first = linePassword('change.example.com|16|strong');
    const second = linePassword('change.example.com|16|strong|base64|2');
    assert.deepEqual(await page.$$eval('input', (fields) => fields.map((f) => f.value)), [first, second, second]);
    assert.equal(execFileSync(cli, ['derive', '--profile=change.example.com'], { input: phrase, env }).toString().trim(), second);
    firefox.key('Escape');
  });

  for (const mode of ['open', 'closed']) {
    test(`web components in ${mode} shadow roots are found and filled`, async () => {
      const page = await openPage(url(`shadow-${mode}.test`, `/shadow-${mode}`));
      await firefox.openPopupByShortcut(shortcut.toLowerCase());
      assert.match(await typeAndFill(), /^Filled the password field\./);
      assert.equal(await page.evaluate(() => document.getElementById('pw').input.value), linePassword(`shadow-${mode}.test|16|strong`));
      assert.ok((await page.evaluate(() => window.heard)).includes('pw'));
      firefox.key('Escape');
    });
  }

  test('identifier first: the login on step 1, the password on step 2', async () => {
    let page = await openPage(url('steps.test', '/step1'));
    await firefox.openPopupByShortcut(shortcut.toLowerCase());
    assert.equal(await typeAndFill(), 'Filled the user name: fill the password on the next step.');
    assert.equal(await page.$eval('#id', (f) => f.value), 'me@steps.test');
    firefox.key('Escape');
    page = await openPage(url('steps.test', '/step2'));
    await firefox.openPopupByShortcut(shortcut.toLowerCase());
    assert.equal(await typeAndFill(), 'Filled the password field.');
    assert.equal(await page.$eval('#pw', (f) => f.value), linePassword('steps.test|16|lesspass|aA9!|1|me@steps.test'));
    firefox.key('Escape');
  });

  test('a field too short for the password is not filled', async () => {
    const page = await openPage(url('short.example.com', '/short'));
    await firefox.openPopupByShortcut(shortcut.toLowerCase());
    assert.equal(await typeAndFill(), 'Not filled: the site allows 8 characters and the profile makes 16.');
    assert.equal(await page.$eval('#pw', (f) => f.value), '');
    firefox.key('Escape');
  });
});
