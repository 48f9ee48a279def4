// The functions the popup runs in the page, each only on the user's click in the popup, in the
// top frame of the tab it was opened on. They are self-contained (the browser copies them into
// the page without anything around them) and take nothing from the popup but their arguments.

// Fills the page's password fields: a change-of-password form's current password with
// `passwords.current` (when given) and its new password and confirmation with `passwords.next`;
// a sign-up form's new password and confirmation, or the focused or only password field, with
// `passwords.own`. Only on the page that was looked up, never cut to a field's maxlength, never
// in a cross-origin frame. Says what it did and what kind of form it found; never returns a
// password.
export function fillPage(passwords, origin) {
  if (location.origin !== origin) return { outcome: 'navigated' };
  if (location.protocol !== 'http:' && location.protocol !== 'https:') return { outcome: 'not-web' };

  const usable = (field) => {
    if (field.disabled || field.readOnly) return false;
    const box = field.getBoundingClientRect();
    const style = field.ownerDocument.defaultView.getComputedStyle(field);
    return box.width > 0 && box.height > 0 && style.visibility !== 'hidden' && style.display !== 'none';
  };
  const sameOrigin = (frame) => {
    try {
      const inner = frame.contentDocument;
      return inner && inner.location.origin === origin ? inner : null;
    } catch (error) {
      return null;   // another origin's frame cannot be reached, and is left alone
    }
  };
  const marked = (field, word) =>
    (field.getAttribute('autocomplete') || '').toLowerCase().split(/\s+/).includes(word);
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

  // The top document first, then its same-origin frames, depth first.
  const documents = [];
  const visit = (doc) => {
    documents.push(doc);
    for (const frame of doc.querySelectorAll('iframe, frame')) {
      const inner = sameOrigin(frame);
      if (inner) visit(inner);
    }
  };
  visit(document);

  // The visible password fields of each form (a field outside any form: of its document), top
  // document first; frames only when the top document has none.
  const groups = new Map();
  for (const doc of documents) {
    for (const field of Array.from(doc.querySelectorAll('input[type="password"]')).filter(usable)) {
      const owner = field.form || doc;
      if (!groups.has(owner)) groups.set(owner, []);
      groups.get(owner).push(field);
    }
    if (groups.size > 0) break;
  }
  // The password field that has the focus, into same-origin frames: its form comes first.
  let focused = document.activeElement;
  while (focused && (focused.tagName === 'IFRAME' || focused.tagName === 'FRAME')) {
    const inner = sameOrigin(focused);
    focused = inner ? inner.activeElement : null;
  }
  let form = null;
  if (focused && focused.tagName === 'INPUT' && focused.type === 'password' && usable(focused)) {
    const group = Array.from(groups.values()).find((fields) => fields.includes(focused)) ?? [focused];
    form = shapeOf(group) ?? { kind: 'login', own: focused };
  } else {
    const all = Array.from(groups.values());
    for (const group of all) {
      form = shapeOf(group);
      if (form) break;
    }
    const fields = all.flat();
    if (!form && fields.length === 1) form = { kind: 'login', own: fields[0] };
  }
  if (!form) return { outcome: 'none' };

  const targets = [];
  if (form.kind === 'login') {
    targets.push([form.own, passwords.own]);
  } else if (form.kind === 'signup' || passwords.next === undefined) {
    for (const field of form.fresh) targets.push([field, passwords.own]);
  } else {
    if (passwords.current !== undefined) targets.push([form.current, passwords.current]);
    for (const field of form.fresh) targets.push([field, passwords.next]);
  }
  for (const [field, password] of targets) {
    if (field.maxLength > 0 && password.length > field.maxLength)
      return { outcome: 'too-long', kind: form.kind, allowed: field.maxLength, made: password.length };
  }
  // As typing sets it: the element's own value setter, which pages built with React, Vue or
  // plain listeners watch through, then input and change events that bubble.
  for (const [field, password] of targets) {
    const view = field.ownerDocument.defaultView;
    const setValue = Object.getOwnPropertyDescriptor(view.HTMLInputElement.prototype, 'value').set;
    field.focus();
    setValue.call(field, password);
    field.dispatchEvent(new view.Event('input', { bubbles: true }));
    field.dispatchEvent(new view.Event('change', { bubbles: true }));
  }
  return { outcome: 'filled', kind: form.kind, count: targets.length };
}

// What kind of password form the page holds, and, for a form that makes a new password (a
// sign-up or a change of password), what its field says of the passwords it takes: its
// passwordrules attribute and its minlength and maxlength (-1 where there is none). A login
// form's hints are not given: a profile's settings must not depend on the page it was made on.
export function pageForm() {
  const fields = Array.from(document.querySelectorAll('input[type="password"]')).filter((input) => {
    const box = input.getBoundingClientRect();
    return box.width > 0 && box.height > 0 && !input.disabled;
  });
  if (fields.length === 0) return { kind: 'none' };
  const marked = (field, word) =>
    (field.getAttribute('autocomplete') || '').toLowerCase().split(/\s+/).includes(word);
  const fresh = fields.filter((field) => marked(field, 'new-password'));
  const current = fields.filter((field) => marked(field, 'current-password'));
  let kind = 'login';
  if (fresh.length > 0) kind = current.length > 0 ? 'change' : 'signup';
  else if (current.length === 0 && fields.length === 3) kind = 'change';
  else if (current.length === 0 && fields.length === 2) kind = 'signup';
  if (kind === 'login') return { kind };
  const field = fresh[0] ?? (kind === 'change' ? fields[1] : fields[0]);
  return { kind, rules: field.getAttribute('passwordrules') || '', minlength: field.minLength, maxlength: field.maxLength };
}
