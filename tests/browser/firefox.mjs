// Firefox ESR driven as a user drives it: a real window on the X display (run.sh starts Xvfb),
// real clicks and keys from xdotool, the popup opened by its toolbar button or its shortcut.
// puppeteer-core speaks WebDriver BiDi to it; with --remote-allow-system-access BiDi evaluates in
// the browser window's own (chrome) context, which says where the buttons are on the screen and
// reads the popup through a frame script (the popup runs in a process of its own).
import { execFileSync } from 'node:child_process';
import puppeteer from 'puppeteer-core';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
export const firefoxPath = '/usr/lib/firefox-esr/firefox-esr';

function xdotool(...args) {
  return execFileSync('xdotool', args, { env: process.env }).toString();
}

export class Firefox {
  // `hosts`: names that resolve to this machine (network.dns.localDomains).
  static async launch({ env, hosts, extension }) {
    const browser = await puppeteer.launch({
      browser: 'firefox', executablePath: firefoxPath, headless: false, env,
      args: ['--remote-allow-system-access'],
      extraPrefsFirefox: {
        // puppeteer's own default, true, keeps the popup from ever taking the keyboard focus
        'focusmanager.testmode': false,
        'network.dns.localDomains': hosts.join(','),
        'devtools.console.stdout.chrome': true,
        'devtools.console.stdout.content': true,
      },
    });
    const firefox = new Firefox(browser);
    firefox.output = '';
    browser.process().stdout.on('data', (chunk) => { firefox.output += chunk; });
    browser.process().stderr.on('data', (chunk) => { firefox.output += chunk; });
    firefox.extensionId = await browser.installExtension(extension);
    firefox.window = xdotool('search', '--sync', '--onlyvisible', '--class', 'firefox').trim().split('\n')[0];
    return firefox;
  }

  constructor(browser) {
    this.browser = browser;
    this.asked = 0;
  }

  async close() {
    await this.browser.close();
  }

  // A script in the browser window's chrome context; its value, through JSON.
  async chrome(body) {
    const tree = await this.browser.connection.send('browsingContext.getTree', { 'moz:scope': 'chrome' });
    const context = tree.result.contexts[0].context;
    const reply = await this.browser.connection.send('script.evaluate', {
      expression: `JSON.stringify((() => { ${body} })() ?? null)`, target: { context }, awaitPromise: false,
    });
    if (reply.result.type !== 'success')
      throw new Error(`chrome script: ${JSON.stringify(reply.result)}`);
    return JSON.parse(reply.result.result.value);
  }

  // Whether the extension's popup is open.
  async popupOpen() {
    return this.chrome(`const p = document.querySelector('.webextension-popup-browser');
                        return !!p && p.closest('panel')?.state === 'open';`);
  }

  // An expression evaluated in the open popup's document (`document`), through a frame script;
  // sent again when a busy machine lets the first go unanswered.
  async inPopup(expression) {
    for (let attempt = 0; attempt < 4; ++attempt) {
      const id = `quorvane-test-${++this.asked}`;
      const script = `sendAsyncMessage(${JSON.stringify(id)}, (() => { const document = content.document; `
                     + `return JSON.stringify(${expression}); })())`;
      await this.chrome(`const p = document.querySelector('.webextension-popup-browser');
        window.quorvaneReplies ??= {};
        p.messageManager.addMessageListener(${JSON.stringify(id)}, (m) => { window.quorvaneReplies[${JSON.stringify(id)}] = m.data; });
        p.messageManager.loadFrameScript('data:,' + encodeURIComponent(${JSON.stringify(script)}), false);
        return true;`);
      for (let waited = 0; waited < 60; ++waited) {
        const value = await this.chrome(`return window.quorvaneReplies?.[${JSON.stringify(id)}] ?? null;`);
        if (value !== null)
          return JSON.parse(value);
        await sleep(50);
      }
    }
    throw new Error(`the popup did not answer ${expression}`);
  }

  async waitInPopup(expression, timeout = 30000) {
    for (const started = Date.now(); Date.now() - started < timeout; await sleep(200)) {
      if (await this.popupOpen()) {
        const value = await this.inPopup(expression);
        if (value)
          return value;
      }
    }
    throw new Error(`timed out waiting in the popup for ${expression}`);
  }

  focusWindow() {
    xdotool('windowfocus', '--sync', this.window);
  }

  // (No --sync: a pointer already at the place would be waited for in vain.)
  click(x, y) {
    xdotool('mousemove', String(Math.round(x)), String(Math.round(y)), 'sleep', '0.1', 'click', '1');
  }

  key(...keys) {
    xdotool('key', '--delay', '30', ...keys);
  }

  type(text) {
    xdotool('type', '--delay', '30', text);
  }

  // Opens the popup as a user does: the Extensions button in the toolbar, then Quorvane's entry.
  async openPopupByClick() {
    this.focusWindow();
    const button = await this.chrome(`const r = document.getElementById('unified-extensions-button').getBoundingClientRect();
      return { x: window.mozInnerScreenX + r.x + r.width / 2, y: window.mozInnerScreenY + r.y + r.height / 2 };`);
    this.click(button.x, button.y);
    let entry = null;
    for (let waited = 0; waited < 50 && !entry; ++waited, await sleep(100)) {
      entry = await this.chrome(`const e = document.querySelector('[data-extensionid=${JSON.stringify(this.extensionId)}] .unified-extensions-item-action-button');
        if (!e || document.getElementById('unified-extensions-panel')?.state !== 'open') return null;
        const r = e.getBoundingClientRect();
        return { x: e.screenX + r.width / 2, y: e.screenY + r.height / 2 };`);
    }
    if (!entry)
      throw new Error('Quorvane is not in the Extensions panel');
    this.click(entry.x, entry.y);
    await this.waitForPopup();
  }

  async openPopupByShortcut(shortcut) {
    this.focusWindow();
    if (await this.popupOpen()) {
      this.key('Escape');
      await sleep(300);
    }
    this.key(shortcut);
    await this.waitForPopup();
  }

  async waitForPopup() {
    await this.waitInPopup(`document.getElementById('site').textContent !== '…'`);
  }

  // Clicks an element of the popup where it stands on the screen.
  async clickInPopup(id) {
    const box = await this.inPopup(`document.getElementById(${JSON.stringify(id)}).getBoundingClientRect()`);
    const origin = await this.chrome(`const p = document.querySelector('.webextension-popup-browser');
                                      return { x: p.screenX, y: p.screenY };`);
    this.click(origin.x + box.x + box.width / 2, origin.y + box.y + box.height / 2);
  }
}
