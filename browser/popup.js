// The popup: asks Quorvane's browser host about the page of the tab it was opened on, shows the
// profiles that match it (or offers a new one), the phrase's fingerprint once typing pauses, and
// fills the page on the user's click. The phrase lives in the phrase field only, while the popup
// is open; nothing is stored anywhere.
import { clearFingerprint, showFingerprint } from './fingerprint.js';
import { lengthFor, profileLine } from './lines.js';
import { fillPage, pageHints } from './page.js';

const api = globalThis.browser ?? globalThis.chrome;
const $ = (id) => document.getElementById(id);
const hostName = 'org.quorvane.browser_host';
const fingerprintDelayMs = 400;

let tab = null;        // the tab the popup was opened on
let origin = null;     // its origin when it was looked up
let port = null;
const waiting = [];    // one callback per request sent, answered in order

function say(text, problem = false) {
  $('message').textContent = text;
  $('message').classList.toggle('problem', problem);
}

// One request to the host; the reply, or {error} when the host cannot be reached.
function ask(request) {
  if (!port) {
    port = api.runtime.connectNative(hostName);
    port.onMessage.addListener((reply) => waiting.shift()?.(reply));
    port.onDisconnect.addListener(() => {
      const why = api.runtime.lastError?.message ?? 'it stopped';
      port = null;
      while (waiting.length)
        waiting.shift()({ error: `Quorvane's browser host cannot be reached (${why}). Install Quorvane, or run "quorvane-cli browser setup".` });
    });
  }
  return new Promise((resolve) => {
    waiting.push(resolve);
    port.postMessage(request);
  });
}

function newProfileLine() {
  return profileLine({
    scheme: $('scheme').value,
    identifier: $('identifier').value.trim(),
    length: Number($('length').value),
    rule: $('rule').value.trim(),
    login: $('login').value,
    userName: $('username').value,
  });
}

// The line to derive from: the chosen saved profile, or the new one being made.
function chosenLine() {
  return $('saved').hidden ? newProfileLine() : $('profiles').value;
}

function showSchemeFields() {
  const scheme = $('scheme').value;
  for (const field of document.querySelectorAll('[data-for]'))
    field.hidden = !field.dataset.for.split(' ').includes(scheme);
  const length = $('length');
  length.min = scheme === 'lesspass' ? 5 : 4;
  length.max = scheme === 'lesspass' ? 35 : 32;
}

async function offerNewProfile(found) {
  $('new').hidden = false;
  $('identifier').value = found.domain;
  let rules = found.rule ?? '';
  let length = 16;
  if (!rules) {
    // The page's own hints, read only now that the user has opened the popup on it.
    const [hint] = await api.scripting.executeScript({ target: { tabId: tab.id, frameIds: [0] }, func: pageHints });
    const hints = hint?.result;
    if (hints) {
      rules = hints.rules;
      length = lengthFor(hints.minlength, hints.maxlength, 16);
    }
  }
  $('rule').value = rules;
  const maximum = /maxlength:\s*(\d+)/.exec(rules);
  const minimum = /minlength:\s*(\d+)/.exec(rules);
  if (rules)
    length = lengthFor(minimum ? Number(minimum[1]) : 0, maximum ? Number(maximum[1]) : 32, 32);
  $('length').value = String(length);
  showSchemeFields();
}

async function lookUp() {
  [tab] = await api.tabs.query({ active: true, currentWindow: true });
  const url = tab?.url ?? '';
  if (!/^https?:/.test(url)) {
    $('site').textContent = 'Not a web page';
    say('Quorvane fills only web pages (http and https).', true);
    return;
  }
  origin = new URL(url).origin;
  const found = await ask({ type: 'lookup', url });
  if (found.error) {
    $('site').textContent = new URL(url).host;
    say(found.error, true);
    return;
  }
  $('site').textContent = found.site;
  if (found.profiles.length > 0) {
    for (const profile of found.profiles) {
      const option = new Option(`${profile.identifier}: ${profile.label}`, profile.line);
      $('profiles').append(option);
    }
    $('saved').hidden = false;
  } else {
    await offerNewProfile(found);
  }
  $('fill').disabled = false;
}

let fingerprintTimer = 0;
let fingerprintAsked = 0;
function phraseChanged() {
  clearTimeout(fingerprintTimer);
  const phrase = $('phrase').value;
  if (!phrase) {
    clearFingerprint($('fingerprint'));
    return;
  }
  showFingerprint($('fingerprint'), null);
  fingerprintTimer = setTimeout(async () => {
    const asked = ++fingerprintAsked;
    const reply = await ask({ type: 'fingerprint', phrase });
    if (asked === fingerprintAsked && $('phrase').value === phrase && !reply.error)
      showFingerprint($('fingerprint'), reply);
  }, fingerprintDelayMs);
}

async function save() {
  const reply = await ask({ type: 'save', line: newProfileLine() });
  if (reply.error)
    say(reply.error, true);
  else
    say(`Saved the profile of ${$('identifier').value.trim()}.`);
}

function messageOf(result) {
  const messages = {
    filled: result.count === 2 ? 'Filled the new password and its confirmation' : 'Filled the password field',
    'too-long': `Not filled: the site allows ${result.allowed} characters and the profile makes ${result.made}.`,
    navigated: 'Not filled: the page changed since it was looked up. Open Quorvane again.',
    'not-web': 'Not filled: Quorvane fills only web pages.',
    none: 'Not filled: the page has no password field to fill (click into one, then try again).',
  };
  return messages[result.outcome] ?? messages.none;
}

async function fill() {
  const phrase = $('phrase').value;
  if (!phrase) {
    say('Type the secret phrase first.', true);
    $('phrase').focus();
    return;
  }
  $('fill').disabled = true;
  say('Making the password…');
  try {
    const made = await ask({ type: 'derive', line: chosenLine(), phrase });
    if (made.error) {
      say(made.error, true);
      return;
    }
    // The tab must still show the page that was looked up; one that went elsewhere gets nothing
    // (the browser takes back the right to reach it, and hides its address, when it leaves).
    const current = await api.tabs.get(tab.id);
    if (!current.url || new URL(current.url).origin !== origin) {
      say(messageOf({ outcome: 'navigated' }), true);
      return;
    }
    const [filled] = await api.scripting.executeScript({
      target: { tabId: tab.id, frameIds: [0] },
      func: fillPage,
      args: [made.password, origin],
    });
    const result = filled?.result ?? { outcome: 'none' };
    say(messageOf(result), result.outcome !== 'filled');
  } catch (error) {
    say(`Not filled: ${error.message}`, true);
  } finally {
    $('fill').disabled = false;
  }
}

$('phrase').addEventListener('input', phraseChanged);
$('phrase').addEventListener('keydown', (event) => {
  if (event.key === 'Enter') {
    event.preventDefault();
    fill();
  }
});
$('fill').addEventListener('click', fill);
$('save').addEventListener('click', save);
$('scheme').addEventListener('change', showSchemeFields);
$('phrase').focus();
lookUp().catch((error) => say(error.message, true));
