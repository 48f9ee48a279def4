// The functions the popup runs in the page, each only on the user's click in the popup, in the
// top frame of the tab it was opened on. They are self-contained (the browser copies them into
// the page without anything around them) and take nothing from the popup but their arguments.

// Fills the page's password field, or a change-of-password form's new password and its
// confirmation, with the password: only on the page that was looked up, never cut to a field's
// maxlength, never in a cross-origin frame. Says what it did; never returns the password.
export function fillPage(password, origin) {
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

  let targets = [];
  // The password field that has the focus, into same-origin frames.
  let focused = document.activeElement;
  while (focused && (focused.tagName === 'IFRAME' || focused.tagName === 'FRAME')) {
    const inner = sameOrigin(focused);
    focused = inner ? inner.activeElement : null;
  }
  if (focused && focused.tagName === 'INPUT' && focused.type === 'password' && usable(focused)) {
    targets = [focused];
  } else {
    for (const doc of documents) {
      const fields = Array.from(doc.querySelectorAll('input[type="password"]')).filter(usable);
      if (fields.length === 0) continue;
      // A form of two or three password fields changes a password: the new one and its
      // confirmation (those marked new-password, else the last two), never the current one.
      const forms = new Map();
      for (const field of fields) {
        const form = field.form || doc;
        if (!forms.has(form)) forms.set(form, []);
        forms.get(form).push(field);
      }
      const change = Array.from(forms.values()).find((group) => group.length === 2 || group.length === 3);
      if (change) {
        const marked = change.filter((field) =>
          (field.getAttribute('autocomplete') || '').toLowerCase().split(/\s+/).includes('new-password'));
        targets = marked.length >= 2 ? marked.slice(0, 2) : change.slice(-2);
      } else if (fields.length === 1) {
        targets = fields;
      }
      break;   // frames only when the top document has no password field
    }
  }
  if (targets.length === 0) return { outcome: 'none' };
  for (const field of targets) {
    if (field.maxLength > 0 && password.length > field.maxLength)
      return { outcome: 'too-long', allowed: field.maxLength, made: password.length };
  }
  // As typing sets it: the element's own value setter, which pages built with React, Vue or
  // plain listeners watch through, then input and change events that bubble.
  for (const field of targets) {
    const view = field.ownerDocument.defaultView;
    const setValue = Object.getOwnPropertyDescriptor(view.HTMLInputElement.prototype, 'value').set;
    field.focus();
    setValue.call(field, password);
    field.dispatchEvent(new view.Event('input', { bubbles: true }));
    field.dispatchEvent(new view.Event('change', { bubbles: true }));
  }
  return { outcome: 'filled', count: targets.length };
}

// What the page's visible password field says of its passwords: its passwordrules attribute and
// its minlength and maxlength (-1 where there is none); null without such a field.
export function pageHints() {
  const field = Array.from(document.querySelectorAll('input[type="password"]')).find((input) => {
    const box = input.getBoundingClientRect();
    return box.width > 0 && box.height > 0 && !input.disabled;
  });
  if (!field) return null;
  return { rules: field.getAttribute('passwordrules') || '', minlength: field.minLength, maxlength: field.maxLength };
}
