// The popup: asks Quorvane's browser host about the page of the tab it was opened on, shows the
// profiles that match it (or offers a new one), and fills the page on the user's click. Nothing
// is made or filled until the host has answered the lookup for this tab. The phrase lives in the
// phrase field only, while the popup is open; nothing is stored anywhere.
import { clearFingerprint, showFingerprint } from './fingerprint.js';
import { composeRequest, lengthFor, profileText, ruleLengths } from './lines.js';
import { fillPage } from './page.js';

const api = globalThis.browser ?? globalThis.chrome;
const $ = (id) => document.getElementById(id);
const hostName = 'org.quorvane.browser_host';

let tab = null;          // the tab the popup was opened on
let origin = null;       // its origin when it was looked up
let site = '';           // the page's host, as the header shows it
let siteDomain = '';     // its registrable domain, as the related sites' words name it
let lookedUp = false;    // the host has answered the lookup for this tab
let busy = false;        // a fill is under way
let formKind = 'none';   // the page's password form: login, signup, change (page.js)
let profilesShown = [];  // the saved profiles listed, as the host gave them
let lastChange = null;   // the change this popup filled: a second Fill on the form fills the same pair
const savedHere = new Set();   // profiles this popup made: a sign-up form gets their first version
let port = null;
const waiting = [];      // one callback per request sent, answered in order

// A message, and the field it is about: it goes away when that field changes.
let messageAbout = null;
function say(text, { problem = false, about = null } = {}) {
  // The host's words are sentences without their full stop.
  $('message').textContent = text && !/[.…]$/.test(text) ? `${text}.` : text;
  $('message').classList.toggle('problem', problem);
  messageAbout = about;
}

function unreachable(why) {
  return { error: `Quorvane's browser host cannot be reached (${why}). Install Quorvane, or run "quorvane-cli browser setup".` };
}

// One request to the host; the reply, or {error} when the host cannot be reached.
function ask(request) {
  if (!port) {
    port = api.runtime.connectNative(hostName);
    port.onMessage.addListener((reply) => waiting.shift()?.(reply));
    port.onDisconnect.addListener((closed) => {
      // Firefox gives the reason on the port, Chromium in runtime.lastError.
      const why = closed?.error?.message ?? api.runtime.lastError?.message ?? 'it stopped';
      port = null;
      while (waiting.length)
        waiting.shift()(unreachable(why));
    });
  }
  return new Promise((resolve) => {
    waiting.push(resolve);
    try {
      port.postMessage(request);
    } catch (error) {
      waiting.pop();
      resolve(unreachable(error.message));
    }
  });
}

function newProfileShown() {
  return !$('new').hidden;
}

function newProfileFields() {
  return {
    scheme: $('scheme').value,
    identifier: $('identifier').value,
    length: $('length').value,
    // A passphrase is the user's choice alone: a site's rule is never turned into words.
    rule: $('scheme').value === 'strong' && $('words').checked ? 'words' : $('rule').value,
    login: $('login').value,
    userName: $('username').value,
  };
}

// The field a problem of the new profile is about, for the focus and the message.
function fieldOf(problem) {
  const fields = [
    [/identifier/i, 'identifier'],
    [/Site rules|characters are not a rule/i, 'rule'],
    [/length|\d+ to \d+ characters/i, 'length'],
    [/user's name|user name/i, 'username'],
  ];
  return fields.find(([words]) => words.test(problem))?.[1] ?? 'scheme';
}

// The profile line to fill from: the chosen saved profile, or the new one composed by the host.
// Null, with the problem said, when there is none.
async function chosenLine() {
  const picked = document.querySelector('#profiles input[name="profile"]:checked');
  if (!newProfileShown() || (picked && picked.value !== newChoice)) {
    const chosen = picked;
    if (!chosen) {
      // A related site's profile is never taken by itself: the user picks it, or a new one.
      const related = profilesShown.find((p) => p.sharesWith);
      say(related ? `${siteDomain} shares its sign-in with ${related.sharesWith}: choose that profile, or a new one, first.`
                  : 'Choose a profile first.', { problem: true, about: 'profiles' });
      return null;
    }
    const profile = profilesShown.find((p) => p.line === chosen.value) ?? {};
    return { line: chosen.value, saved: true, identifier: profile.identifier, waits: !!profile.waits, login: profile.login };
  }
  // An identifier typed that a saved profile has: that profile, its version and settings, never
  // a second line for it.
  const named = await ask({ type: 'named', identifier: $('identifier').value.trim() });
  if (!named.error && named.profiles?.length > 0) {
    const profile = named.profiles[0];
    showProfiles(named.profiles);
    return { line: profile.line, saved: true, identifier: profile.identifier, waits: !!profile.waits, login: profile.login,
             label: profile.label, note: `${profile.identifier} is saved already (${profile.label}): Quorvane uses that profile.` };
  }
  const composed = await ask(composeRequest(newProfileFields()));
  if (composed.error) {
    const field = fieldOf(composed.error);
    say(composed.error, { problem: true, about: field });
    $(field).focus();
    return null;
  }
  return { line: composed.line, label: composed.label, saved: false, identifier: $('identifier').value.trim(), waits: false };
}

function showSchemeFields() {
  const scheme = $('scheme').value;
  for (const field of document.querySelectorAll('[data-for]'))
    field.hidden = !field.dataset.for.split(' ').includes(scheme);
  const length = $('length');
  const words = scheme === 'strong' && $('words').checked;
  length.min = scheme === 'lesspass' ? 5 : 4;
  length.max = scheme === 'lesspass' ? 35 : words ? 12 : 32;
  $('rule').disabled = words;
  $('length').title = words ? 'The number of words, 4 to 12' : '';
  document.querySelector('label[for="length"]').textContent = words ? 'Words' : 'Length';
}

// Words: six at first (the EFF's advice); back to characters: the length the form had.
let charactersLength = '16';
$('words').addEventListener('change', () => {
  if ($('words').checked) {
    charactersLength = $('length').value;
    $('length').value = '6';
  } else {
    $('length').value = charactersLength;
  }
  showSchemeFields();
});

// The radio of "a new profile", offered beside related sites' profiles.
const newChoice = ':new';   // no profile line: every line holds a "|"

function showProfiles(profiles, omitted = 0, related = []) {
  profilesShown = [...profiles, ...related];
  const list = $('profiles');
  list.querySelectorAll('label, p').forEach((label) => label.remove());
  const add = (value, text, title, checked) => {
    const label = document.createElement('label');
    const radio = document.createElement('input');
    radio.type = 'radio';
    radio.name = 'profile';
    radio.value = value;
    radio.checked = checked;
    label.title = title;
    label.append(radio, ` ${text}`);
    list.append(label);
  };
  profiles.forEach((profile, index) => add(profile.line, profileText(profile, site), `${profile.identifier}: ${profile.label}`, index === 0));
  // Sites that share their sign-in with this one: said so, and never chosen.
  for (const sharesWith of [...new Set(related.map((p) => p.sharesWith))]) {
    const note = document.createElement('p');
    note.className = 'hint';
    note.textContent = `${siteDomain} shares its sign-in with ${sharesWith}:`;
    list.append(note);
    related.filter((p) => p.sharesWith === sharesWith)
      .forEach((profile) => add(profile.line, `${profile.identifier}: ${profile.label}`, `${profile.identifier}: ${profile.label}`, false));
  }
  if (profiles.length === 0 && related.length > 0)
    add(newChoice, `A new profile for ${siteDomain}`, 'A profile of its own for this site', false);
  $('omitted').hidden = omitted === 0;
  $('omitted').textContent = omitted === 1
    ? 'One more profile of this site is not listed (quorvane-cli profiles list shows every one).'
    : `${omitted} more profiles of this site are not listed (quorvane-cli profiles list shows every one).`;
  $('saved').hidden = false;
  $('new').hidden = true;
  showPhraseNote();
}

// Beside related sites' profiles, the new profile's form shows only once it is picked.
function profileChoiceChanged() {
  const picked = document.querySelector('#profiles input[name="profile"]:checked');
  if (profilesShown.some((p) => p.sharesWith) && !profilesShown.some((p) => !p.sharesWith))
    $('new').hidden = picked?.value !== newChoice;
  showPhraseNote();
}

// During a change of the secret phrase: whether the chosen profile still uses the previous one,
// said above the phrase; on a change form, its previous phrase is asked for as well.
function showPhraseNote() {
  const chosen = document.querySelector('#profiles input[name="profile"]:checked');
  const profile = !$('saved').hidden && chosen ? profilesShown.find((p) => p.line === chosen.value) : null;
  const waits = !!profile?.waits;
  $('phrasenote').hidden = !waits;
  $('phrasenote').textContent = waits ? `${profile.identifier} still uses your previous secret phrase.` : '';
  $('previousblock').hidden = !(waits && formKind === 'change');
  // A site moved to the new phrase on a change form: the new phrase is typed twice, as the
  // window asks it, so that a typo never sets a site's password.
  $('againblock').hidden = $('previousblock').hidden;
  $('phraselabel').textContent = $('previousblock').hidden ? 'Secret phrase' : 'New secret phrase';
}

// A site with no saved profile: what the site lists know of it, else the defaults; the same on
// every page of the site. Only a form that makes a new password may add its own hints.
// What kind of password form the page holds, and what its new-password field says.
async function readPageForm() {
  const [form] = await api.scripting.executeScript({ target: { tabId: tab.id, frameIds: [0] }, func: fillPage,
                                                    args: [null, origin, '', true] });
  return form?.result ?? { kind: 'none' };
}

async function offerNewProfile(found, hints) {
  $('new').hidden = false;
  $('saved').hidden = true;
  $('identifier').value = found.domain;
  $('scheme').value = 'strong';
  let rules = found.rule ?? '';
  let length = 16;
  if (!rules) {
    if (hints.kind === 'signup' || hints.kind === 'change') {
      rules = hints.rules;
      length = lengthFor(hints.minlength, hints.maxlength, 16);
    }
  }
  const lengths = ruleLengths(rules);
  if (lengths)
    length = lengthFor(lengths.minimum, lengths.maximum, 32);
  $('rule').value = rules;
  $('length').value = String(length);
  showSchemeFields();
}

async function lookUp() {
  [tab] = await api.tabs.query({ active: true, currentWindow: true });
  const url = tab?.url ?? '';
  if (!/^https?:/i.test(url)) {
    $('site').textContent = 'Not a web page';
    say('Quorvane fills only web pages (http and https).', { problem: true });
    return;
  }
  origin = new URL(url).origin;
  site = new URL(url).host;
  $('site').textContent = site;
  const found = await ask({ type: 'lookup', url });
  if (found.error) {
    say(`This page cannot be looked up: ${found.error}`, { problem: true });
    $('phrase').disabled = true;   // nothing can be filled: no phrase is asked for
    return;
  }
  site = found.site;
  siteDomain = found.domain ?? found.site;
  $('site').textContent = found.site;
  const hints = await readPageForm();
  formKind = hints.kind;
  const related = found.related ?? [];
  if (found.profiles.length > 0) {
    showProfiles(found.profiles, found.omitted ?? 0, related);
  } else if (related.length > 0) {
    await offerNewProfile(found, hints);   // its fields ready, shown if the user picks it
    showProfiles([], found.omitted ?? 0, related);
  } else {
    await offerNewProfile(found, hints);
  }
  lookedUp = true;
  $('fill').disabled = false;
  if (messageAbout === 'lookup')
    say('');
}

// The fingerprint of the phrase now typed, shown only for a whole phrase (on Fill, or when the
// field is left), never while it is being typed; any edit takes it away at once.
const fingerprintAsked = {};
async function showPhraseFingerprint(field = 'phrase', shapes = 'fingerprint') {
  const phrase = $(field).value;
  if (!phrase)
    return;
  const asked = fingerprintAsked[field] = (fingerprintAsked[field] ?? 0) + 1;
  showFingerprint($(shapes), null);
  const reply = await ask({ type: 'fingerprint', phrase });
  if (asked !== fingerprintAsked[field] || $(field).value !== phrase)
    return;
  if (reply.error)
    clearFingerprint($(shapes));
  else
    showFingerprint($(shapes), reply);
}

function phraseEdited(field = 'phrase', shapes = 'fingerprint') {
  fingerprintAsked[field] = (fingerprintAsked[field] ?? 0) + 1;
  clearFingerprint($(shapes));
}

async function save(line) {
  const reply = await ask({ type: 'save', line });
  return reply.error && !reply.already ? reply.error : null;
}

// The new profile becomes the site's saved one: the form goes, the profile shows as saved.
function showSaved(line, label) {
  savedHere.add(line);
  showProfiles([{ line, identifier: $('identifier').value.trim(), label }]);
}

async function saveClicked() {
  const chosen = await chosenLine();
  if (!chosen)
    return;
  if (chosen.saved) {
    say(chosen.note ?? 'Saved already.');
    return;
  }
  const problem = await save(chosen.line);
  if (problem) {
    say(problem, { problem: true });
    return;
  }
  showSaved(chosen.line, chosen.label);
  say(`Saved the profile of ${$('identifier').value.trim()}.`);
}

function messageOf(result) {
  const messages = {
    filled: result.kind === 'change' && result.count === 3 ? 'Filled the current password, the new one and its confirmation.'
      : result.count === 2 ? 'Filled the new password and its confirmation.' : 'Filled the password field.',
    'too-long': `Not filled: the site allows ${result.allowed} characters and the profile makes ${result.made}.`,
    navigated: 'Not filled: the page changed since it was looked up. Open Quorvane again.',
    'not-web': 'Not filled: Quorvane fills only web pages.',
    none: 'Not filled: the page has no password field to fill (click into one, then try again).',
    'user-filled': 'Filled the user name: fill the password on the next step.',
    'user-step': result.kept ? 'This step asks for your user name, and it holds one already; fill the password on the next step.'
      : 'This step asks for your user name; fill the password on the next step.',
  };
  return messages[result.outcome] ?? messages.none;
}

// One password of a profile line, or null with the problem said.
async function derived(line, phrase) {
  const made = await ask({ type: 'derive', line, phrase });
  if (made.error) {
    say(made.error, { problem: true });
    return null;
  }
  return made.password;
}

// The passwords a fill puts into the page, and what it saves once filled; null when a problem
// was said. A change form of a saved profile gets the current password and the next version's
// (or, while the profile waits for a change of the secret phrase, the previous phrase's password
// and the new phrase's); a form that asks only for a new password on a saved site is a change too
// (its first step took the current one), and gets the next version. A second Fill on a form this
// popup changed fills the same pair again: a change moves the profile on once. Any other form
// gets the profile's own password; a site with no saved profile, its first version.
async function passwordsFor(chosen, phrase) {
  const changes = chosen.saved && !savedHere.has(chosen.line) && (formKind === 'change' || formKind === 'signup');
  if (!changes) {
    const own = await derived(chosen.line, phrase);
    return own === null ? null : { passwords: { own }, after: null };
  }
  if (lastChange && lastChange.origin === origin && lastChange.to === chosen.line) {
    const current = formKind === 'change' ? await derived(lastChange.from, lastChange.phrase === 'previous' ? $('previous').value : phrase) : undefined;
    const next = current === null ? null : await derived(lastChange.to, phrase);
    return next === null ? null : { passwords: { current, next, own: next }, after: null, again: true };
  }
  if (chosen.waits && formKind === 'signup') {
    const next = await derived(chosen.line, phrase);
    return next === null ? null : { passwords: { next, own: next }, after: { moved: chosen.line } };
  }
  if (chosen.waits) {
    const previous = $('previous').value;
    if (!previous) {
      $('previousblock').hidden = false;
      say(`${chosen.identifier} still uses your previous secret phrase: type it too, for the current password.`,
          { problem: true, about: 'previous' });
      $('previous').focus();
      return null;
    }
    if (previous === phrase) {
      say('The previous and the new secret phrase are the same.', { problem: true, about: 'previous' });
      return null;
    }
    if ($('again').value !== phrase) {
      $('againblock').hidden = false;
      say('The new secret phrase was typed two different ways: type it again below.', { problem: true, about: 'again' });
      $('again').focus();
      return null;
    }
    showPhraseFingerprint('previous', 'previousfingerprint');
    const current = await derived(chosen.line, previous);
    const next = current === null ? null : await derived(chosen.line, phrase);
    return next === null ? null : { passwords: { current, next, own: next }, after: { moved: chosen.line } };
  }
  const following = await ask({ type: 'next', line: chosen.line });
  if (following.error) {
    say(following.error, { problem: true });
    return null;
  }
  const current = formKind === 'change' ? await derived(chosen.line, phrase) : undefined;
  const next = current === null ? null : await derived(following.line, phrase);
  return next === null ? null
    : { passwords: { current, next, own: current ?? next }, after: { replace: chosen.line, with: following, identifier: chosen.identifier } };
}

// What a change-of-password fill keeps: the next version saved in the profile's place (with a
// way back for a site that refused it), or the profile marked as moved to the new phrase.
async function keep(after) {
  if (after.moved) {
    const reply = await ask({ type: 'moved', line: after.moved });
    if (reply.error)
      return `The profile was not marked: ${reply.error}`;
    const profile = profilesShown.find((p) => p.line === after.moved);
    if (profile) {
      profile.line = reply.line;
      profile.waits = false;
    }
    showProfiles(profilesShown);
    lastChange = { origin, from: after.moved, to: reply.line, phrase: 'previous' };
    const done = reply.finished ? ' Every profile now uses the new secret phrase: the change is complete.' : '';
    return `${profile?.identifier ?? 'The site'} now uses your new secret phrase.${done}`;
  }
  const reply = await ask({ type: 'replace', line: after.replace, with: after.with.line });
  if (reply.error)
    return `The next version was not saved: ${reply.error}`;
  const profile = profilesShown.find((p) => p.line === after.replace);
  if (profile) {
    profile.line = after.with.line;
    profile.label = after.with.label;
  }
  showProfiles(profilesShown);
  lastChange = { origin, from: after.replace, to: after.with.line, phrase: 'same' };
  offerBack(after.identifier, after.with.line, after.replace, after.with.previous);
  return after.with.previous === 'the original password' ? `${after.identifier} now has a strong password.`
                                                         : `${after.identifier} is now at ${after.with.version}.`;
}

// One click back to the version before, for a site that refused the new password.
function offerBack(identifier, line, previousLine, previousVersion) {
  const back = $('back');
  back.textContent = previousVersion === 'the original password' ? 'Back to the original password'
                                                                  : `Back to ${previousVersion}`;
  back.hidden = false;
  back.onclick = async () => {
    back.disabled = true;
    const reply = await ask({ type: 'replace', line, with: previousLine });
    back.disabled = false;
    if (reply.error) {
      say(reply.error, { problem: true });
      return;
    }
    back.hidden = true;
    lastChange = null;
    const profile = profilesShown.find((p) => p.line === line);
    if (profile)
      profile.line = previousLine;
    showProfiles(profilesShown);
    say(`${identifier} is back at ${previousVersion}.`);
  };
}

async function fill() {
  if (!lookedUp) {
    // Nothing is made before the host has said which profiles belong to this page.
    if (!$('message').classList.contains('problem'))
      say('Not yet: Quorvane is still looking this page up.', { about: 'lookup' });
    return;
  }
  if (busy)
    return;
  const phrase = $('phrase').value;
  if (!phrase) {
    say('Type the secret phrase first.', { problem: true, about: 'phrase' });
    $('phrase').focus();
    return;
  }
  busy = true;
  $('fill').disabled = true;
  $('back').hidden = true;
  try {
    const chosen = await chosenLine();
    if (!chosen)
      return;
    say('Making the password…');
    showPhraseFingerprint();
    const made = await passwordsFor(chosen, phrase);
    if (!made)
      return;
    // The tab must still show the page that was looked up; one that went elsewhere gets nothing
    // (the browser takes back the right to reach it, and hides its address, when it leaves).
    const current = await api.tabs.get(tab.id);
    if (!current.url || new URL(current.url).origin !== origin) {
      say(messageOf({ outcome: 'navigated' }), { problem: true });
      return;
    }
    const [filled] = await api.scripting.executeScript({
      target: { tabId: tab.id, frameIds: [0] },
      func: fillPage,
      args: [made.passwords, origin, chosen.login ?? '', false],
    });
    const result = filled?.result ?? { outcome: 'none' };
    let text = (chosen.note ? `${chosen.note} ` : '') + messageOf(result) + (result.user ? ' Filled the user name too.' : '');
    if (made.again && result.outcome === 'filled') {
      text += ` The same pair as before: ${chosen.identifier} stays at the version this form was given.`;
      $('back').hidden = lastChange?.phrase !== 'same';   // the way back is still the change's
    } else if (result.outcome === 'filled' && made.after && (result.kind === 'change' || result.kind === 'signup')) {
      text += ` ${await keep(made.after)}`;
    } else if (result.outcome === 'filled' && !chosen.saved && $('remember').checked) {
      // A fill from a new profile remembers it, so that the next visit gives the same password.
      const problem = await save(chosen.line);
      if (problem) {
        say(`${text} The profile was not saved: ${problem}`, { problem: true });
        return;
      }
      showSaved(chosen.line, chosen.label);
      text += ` Saved the profile of ${$('identifier').value.trim()}.`;
    }
    say(text, { problem: !['filled', 'user-filled', 'user-step'].includes(result.outcome) });
  } catch (error) {
    say(`Not filled: ${error.message}`, { problem: true });
  } finally {
    busy = false;
    $('fill').disabled = !lookedUp;
  }
}

$('phrase').addEventListener('input', () => phraseEdited());
$('phrase').addEventListener('blur', () => showPhraseFingerprint());
$('previous').addEventListener('input', () => phraseEdited('previous', 'previousfingerprint'));
$('previous').addEventListener('blur', () => showPhraseFingerprint('previous', 'previousfingerprint'));
$('profiles').addEventListener('change', profileChoiceChanged);
document.addEventListener('keydown', (event) => {
  if (event.key === 'Escape') {
    window.close();
  } else if (event.key === 'Enter' && event.target.tagName === 'INPUT' && event.target.type !== 'checkbox') {
    event.preventDefault();
    fill();
  }
});
// A message goes away once the user changes what it was about.
for (const id of ['phrase', 'previous', 'again', 'identifier', 'scheme', 'length', 'rule', 'login', 'username', 'profiles']) {
  for (const kind of ['input', 'change']) {
    $(id).addEventListener(kind, () => {
      if (messageAbout === id)
        say('');
    });
  }
}
$('fill').addEventListener('click', fill);
$('save').addEventListener('click', saveClicked);
$('scheme').addEventListener('change', showSchemeFields);
// The phrase has the keyboard when the popup opens; Firefox sometimes gives the window the
// focus without it.
window.addEventListener('focus', () => {
  if (document.activeElement === document.body || !document.activeElement)
    $('phrase').focus();
});
$('phrase').focus();
lookUp().catch((error) => say(error.message, { problem: true }));
