// The function the popup runs in the page, only on the user's click in the popup, in the top
// frame of the tab it was opened on. It is self-contained (the browser copies it into the page
// without anything around it) and takes nothing from the popup but its arguments.

// Finds the page's sign-in form and, unless `look`, fills it: a change-of-password form's current
// password with `passwords.current` (when given) and its new password and confirmation with
// `passwords.next`; a form that asks only for a new password (and its confirmation) with
// `passwords.next` when given (a change on a saved site), else `passwords.own`; the focused or
// only password field with `passwords.own`; and the user name field with `login` where the form
// has one that is still empty. A step that asks for the user name alone (identifier first) gets
// the login, and says so. Fields are found in the top document, in its same-origin frames and in
// open and closed shadow roots; never in a cross-origin frame, never cut to a field's maxlength.
// With `look`, says what kind of form it found and what its new-password field says of the
// passwords it takes (passwordrules, minlength, maxlength). Never returns a password.
export function fillPage(passwords, origin, login, look) {
  if (location.origin !== origin) return { outcome: 'navigated' };
  if (location.protocol !== 'http:' && location.protocol !== 'https:') return { outcome: 'not-web' };

  // Shown to the user: not hidden, not shrunk to nothing, not pushed off the page (where a
  // honeypot for robots stands).
  const usable = (field) => {
    if (field.disabled || field.readOnly) return false;
    const view = field.ownerDocument.defaultView;
    const box = field.getBoundingClientRect();
    const style = view.getComputedStyle(field);
    return box.width > 2 && box.height > 2 && box.right + view.scrollX > 0 && box.bottom + view.scrollY > 0
           && style.visibility !== 'hidden' && style.display !== 'none' && Number(style.opacity) > 0;
  };
  const sameOrigin = (frame) => {
    try {
      const inner = frame.contentDocument;
      return inner && inner.location.origin === origin ? inner : null;
    } catch (error) {
      return null;   // another origin's frame cannot be reached, and is left alone
    }
  };
  // A closed shadow root too, through the browser's own extension API (Chromium's
  // chrome.dom.openOrClosedShadowRoot, Firefox's openOrClosedShadowRoot property); the page's
  // scripts never see that we looked.
  const shadowOf = (element) => {
    if (element.shadowRoot) return element.shadowRoot;
    const ways = [
      () => element.openOrClosedShadowRoot,   // Firefox: a property of content scripts' view
      () => chrome.dom.openOrClosedShadowRoot(element),
      () => browser.dom.openOrClosedShadowRoot(element),
    ];
    for (const way of ways) {
      try {
        const root = way();
        if (root) return root;
      } catch (error) {
        // not this browser's way
      }
    }
    return null;
  };
  const marked = (field, word) =>
    (field.getAttribute('autocomplete') || '').toLowerCase().split(/\s+/).includes(word);

  // Every input of the top document, its same-origin frames and every shadow root, in document
  // order; the documents in which each was found, top first.
  const inputs = [];
  const seenDocuments = [];
  const walk = (root) => {
    for (const element of root.querySelectorAll('*')) {
      if (element.tagName === 'INPUT') inputs.push(element);
      const shadow = shadowOf(element);
      if (shadow) walk(shadow);
      if (element.tagName === 'IFRAME' || element.tagName === 'FRAME') {
        const inner = sameOrigin(element);
        if (inner && !seenDocuments.includes(inner)) {
          seenDocuments.push(inner);
          walk(inner);
        }
      }
    }
  };
  seenDocuments.push(document);
  walk(document);

  // The form a field belongs to: its own, else the form around it or around the shadow host it
  // stands in, else its document (a formless field).
  const ownerOf = (field) => {
    let node = field;
    for (;;) {
      if (node.form) return node.form;
      const form = node.closest ? node.closest('form') : null;
      if (form) return form;
      const root = node.getRootNode();
      if (!root.host) return root;
      node = root.host;
    }
  };
  const isPassword = (field) => field.type === 'password' && !marked(field, 'one-time-code');
  const passwordFields = inputs.filter((field) => isPassword(field) && usable(field));
  const groups = new Map();
  for (const field of passwordFields) {
    const owner = ownerOf(field);
    if (!groups.has(owner)) groups.set(owner, []);
    groups.get(owner).push(field);
  }
  // Fields of the top document first; frames only when it has none.
  const topGroups = Array.from(groups.entries()).filter(([, fields]) => fields[0].ownerDocument === document);
  const ordered = (topGroups.length > 0 ? topGroups : Array.from(groups.entries())).map(([, fields]) => fields);

  // A form's password fields: current and new by their autocomplete marks, else by shape (three
  // fields: current, new, confirm; two: new and confirm).
  const shapeOf = (group) => {
    const current = group.filter((field) => marked(field, 'current-password'));
    const fresh = group.filter((field) => marked(field, 'new-password'));
    if (current.length === 1 && fresh.length >= 1) return { kind: 'change', current: current[0], fresh: fresh.slice(0, 2) };
    if (fresh.length >= 1 && current.length === 0) return { kind: 'signup', fresh: fresh.slice(0, 2) };
    if (group.length === 3) return { kind: 'change', current: group[0], fresh: group.slice(1) };
    if (group.length === 2) return { kind: 'signup', fresh: group };
    return null;
  };

  // The password field that has the focus, into frames and shadow roots: its form comes first.
  let focused = document.activeElement;
  for (;;) {
    if (focused && (focused.tagName === 'IFRAME' || focused.tagName === 'FRAME')) {
      const inner = sameOrigin(focused);
      focused = inner ? inner.activeElement : null;
    } else if (focused && shadowOf(focused) && shadowOf(focused).activeElement) {
      focused = shadowOf(focused).activeElement;
    } else {
      break;
    }
  }
  let form = null;
  if (focused && passwordFields.includes(focused)) {
    const group = ordered.find((fields) => fields.includes(focused)) ?? [focused];
    form = shapeOf(group) ?? { kind: 'login', own: focused };
  } else {
    for (const group of ordered) {
      form = shapeOf(group);
      if (form) break;
    }
    const fields = ordered.flat();
    if (!form && fields.length === 1) form = { kind: 'login', own: fields[0] };
  }

  // The user name: a field marked username or email, else the text or email field before the
  // password field of the same form; with no password field, one that says it is for the user
  // name (a first step that asks for it alone).
  const textLike = (field) => ['text', 'email', 'tel', ''].includes((field.getAttribute('type') || '').toLowerCase())
                              && !marked(field, 'one-time-code') && usable(field);
  const userNamed = (field) => marked(field, 'username') || marked(field, 'email');
  const userField = (firstPassword) => {
    const owner = firstPassword ? ownerOf(firstPassword) : null;
    const candidates = inputs.filter((field) => textLike(field) && (!owner || ownerOf(field) === owner));
    const named = candidates.find(userNamed);
    if (named) return named;
    if (firstPassword) {
      const before = candidates.filter((field) => inputs.indexOf(field) < inputs.indexOf(firstPassword));
      return before.length > 0 ? before[before.length - 1] : null;
    }
    return candidates.find((field) => field.type === 'email'
                           || /user|login|email|account|identifier|e-mail/i.test(`${field.name} ${field.id}`)) ?? null;
  };

  if (look) {
    if (!form) return { kind: userField(null) ? 'user' : 'none' };
    if (form.kind === 'login') return { kind: 'login' };
    const field = form.fresh[0];
    return { kind: form.kind, rules: field.getAttribute('passwordrules') || '', minlength: field.minLength, maxlength: field.maxLength };
  }

  // As typing sets it: the element's own value setter, which pages built with React, Vue or
  // plain listeners watch through, then input and change events that bubble, out of shadow roots
  // too.
  const type = (field, text) => {
    const view = field.ownerDocument.defaultView;
    const setValue = Object.getOwnPropertyDescriptor(view.HTMLInputElement.prototype, 'value').set;
    field.focus();
    setValue.call(field, text);
    field.dispatchEvent(new view.Event('input', { bubbles: true, composed: true }));
    field.dispatchEvent(new view.Event('change', { bubbles: true, composed: true }));
  };

  if (!form) {
    const user = userField(null);
    if (!user) return { outcome: 'none' };
    if (!login) return { outcome: 'user-step' };
    if (user.value !== '') return { outcome: 'user-step', kept: true };
    type(user, login);
    return { outcome: 'user-filled' };
  }

  const targets = [];
  if (form.kind === 'login') {
    targets.push([form.own, passwords.own]);
  } else if (form.kind === 'signup') {
    for (const field of form.fresh) targets.push([field, passwords.next ?? passwords.own]);
  } else if (passwords.next === undefined) {
    for (const field of form.fresh) targets.push([field, passwords.own]);
  } else {
    if (passwords.current !== undefined) targets.push([form.current, passwords.current]);
    for (const field of form.fresh) targets.push([field, passwords.next]);
  }
  for (const [field, password] of targets) {
    if (field.maxLength > 0 && password.length > field.maxLength)
      return { outcome: 'too-long', kind: form.kind, allowed: field.maxLength, made: password.length };
  }
  const firstPassword = form.kind === 'login' ? form.own : (form.current ?? form.fresh[0]);
  const user = login ? userField(firstPassword) : null;
  const fillsUser = !!user && user.value === '';
  if (fillsUser) type(user, login);
  for (const [field, password] of targets) type(field, password);
  return { outcome: 'filled', kind: form.kind, count: targets.length, user: fillsUser };
}
